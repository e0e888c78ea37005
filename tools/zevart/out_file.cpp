#include "out_file.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <filesystem>
#include <sys/stat.h>

#ifdef _WIN32
#include <fcntl.h>
#include <io.h>
#include <process.h>
#include <windows.h>
#define getpid _getpid
#else
#include <unistd.h>
#endif

#ifndef O_BINARY
#define O_BINARY 0
#endif

namespace {

std::atomic<unsigned> g_tempCounter{0};

// The target's name with the process id and a serial: no two writers meet.
// No leading dot: Wine marks such files hidden, and the library's writers
// refuse to replace hidden files.
std::string temp_name_for(const std::string &path) {
    return path + "." + std::to_string(getpid()) + "-" + std::to_string(++g_tempCounter) + ".tmp";
}

// 0 when named; EEXIST when the target is taken; otherwise another value
// with the reason in `why`.
#ifdef _WIN32
int name_file(const std::string &from, const std::string &to, bool replace, std::string &why) {
    if (MoveFileExA(from.c_str(), to.c_str(), replace ? MOVEFILE_REPLACE_EXISTING : 0)) return 0;
    DWORD e = GetLastError();
    if (e == ERROR_ALREADY_EXISTS || e == ERROR_FILE_EXISTS) return EEXIST;
    why = "system error " + std::to_string(e);
    return EIO;
}
#else
int name_file(const std::string &from, const std::string &to, bool replace, std::string &why) {
    int e = 0;
    if (replace) {
        if (rename(from.c_str(), to.c_str()) == 0) return 0;
        e = errno;
        why = std::strerror(e);
        return e;
    }
#ifdef RENAME_NOREPLACE
    if (renameat2(AT_FDCWD, from.c_str(), AT_FDCWD, to.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS && errno != ENOTSUP) return errno;
#endif
    // A file system without the no-replace rename: a hard link fails the
    // same way when the name is taken.
    if (link(from.c_str(), to.c_str()) == 0) {
        unlink(from.c_str());
        return 0;
    }
    e = errno;
    why = std::strerror(e);
    return e;
}
#endif

} // namespace

namespace {

bool is_stdout(const std::string &path) {
    if (path == "-") return true;
#ifdef _WIN32
    return false;
#else
    struct stat target, out;
    return stat(path.c_str(), &target) == 0 && fstat(STDOUT_FILENO, &out) == 0 &&
           target.st_dev == out.st_dev && target.st_ino == out.st_ino;
#endif
}

} // namespace

bool writes_in_place(const std::string &path) {
    if (is_stdout(path)) return true;
#ifdef _WIN32
    return false;
#else
    struct stat st;
    return stat(path.c_str(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode);
#endif
}

std::string scratch_path(const std::string &suffix) {
    std::error_code ec;
    std::string dir = std::filesystem::temp_directory_path(ec).string();
    if (ec || dir.empty()) dir = ".";
    return temp_name_for(dir + "/zevart") + suffix;
}

std::string shown_name(const std::string &path) {
    return path == "-" ? "standard output" : path;
}

bool path_taken(const std::string &path) {
#ifdef _WIN32
    return GetFileAttributesA(path.c_str()) != INVALID_FILE_ATTRIBUTES;
#else
    struct stat st;
    return lstat(path.c_str(), &st) == 0;
#endif
}

out_file::~out_file() {
    discard();
}

bool out_file::open(const std::string &path, std::string &err) {
    discard();
    targetExisted_ = false;
    path_ = path;
    inPlace_ = writes_in_place(path);
    if (inPlace_) {
        ownsStream_ = !is_stdout(path);
        file_ = ownsStream_ ? std::fopen(path.c_str(), "wb") : stdout;
        if (!file_) {
            err = "cannot write " + path + ": " + std::strerror(errno);
            return false;
        }
#ifdef _WIN32
        if (!ownsStream_) _setmode(_fileno(stdout), _O_BINARY);
#endif
        return true;
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        std::string temp = temp_name_for(path);
        int fd = ::open(temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_BINARY, 0666);
        if (fd < 0) {
            if (errno == EEXIST) continue;
            err = "cannot create a file next to " + path + ": " + std::strerror(errno);
            return false;
        }
        temp_ = temp;
        file_ = fdopen(fd, "wb");
        if (!file_) {
            ::close(fd);
            err = "cannot write " + path + ": " + std::strerror(errno);
            discard();
            return false;
        }
        return true;
    }
    err = "cannot find a free temporary name next to " + path;
    return false;
}

void out_file::write(const void *data, size_t n) {
    if (!file_ || writeError_ || n == 0) return;
    if (std::fwrite(data, 1, n, file_) != n) writeError_ = errno ? errno : EIO;
}

const std::string &out_file::temp_path() {
    if (file_ && std::fclose(file_) != 0) writeError_ = errno ? errno : EIO;
    file_ = nullptr;
    return temp_;
}

bool out_file::commit(bool replace, std::string &err) {
    if (inPlace_) {
        if (file_ && (std::fflush(file_) != 0 || std::ferror(file_)))
            writeError_ = errno ? errno : EIO;
        if (file_ && ownsStream_ && std::fclose(file_) != 0 && !writeError_)
            writeError_ = errno ? errno : EIO;
        file_ = nullptr;
        inPlace_ = false;
        if (writeError_) {
            err = "cannot write " + shown_name(path_) + ": " + std::strerror(writeError_);
            writeError_ = 0;
            return false;
        }
        return true;
    }
    if (temp_.empty()) {
        err = "nothing to write for " + path_;
        return false;
    }
    if (file_) {
        if (std::fflush(file_) != 0 || std::ferror(file_)) writeError_ = errno ? errno : EIO;
        if (std::fclose(file_) != 0 && !writeError_) writeError_ = errno ? errno : EIO;
        file_ = nullptr;
    }
    if (writeError_) {
        err = "cannot write " + path_ + ": " + std::strerror(writeError_);
        discard();
        return false;
    }
    std::string why;
    int e = name_file(temp_, path_, replace, why);
    if (e == EEXIST) {
        targetExisted_ = true;
        err = path_ + " exists (use --force to replace it)";
        discard();
        return false;
    }
    if (e != 0) {
        err = "cannot name " + path_ + ": " + why;
        discard();
        return false;
    }
    temp_.clear();
    return true;
}

namespace {

#if defined(__linux__) && defined(O_TMPFILE)
// 1: written; 0: the name is taken; -1: failed with `err`; -2: this file
// system or system cannot, try the ordinary way.
int write_unnamed(const std::string &path, const void *data, size_t n, std::string &err) {
    const size_t slash = path.find_last_of('/');
    const std::string dir = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
    const int fd = ::open(dir.c_str(), O_TMPFILE | O_WRONLY | O_CLOEXEC, 0666);
    if (fd < 0) {
        if (errno == EOPNOTSUPP || errno == EISDIR || errno == EINVAL) return -2;
        err = "cannot create a file in " + dir + ": " + std::strerror(errno);
        return -1;
    }
    const char *p = static_cast<const char *>(data);
    int result = 1, e = 0;
    for (size_t left = n; left > 0 && result == 1;) {
        const ssize_t put = ::write(fd, p, left);
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) {
            e = put < 0 ? errno : EIO;
            result = -1;
        } else {
            p += put;
            left -= size_t(put);
        }
    }
    if (result == 1) {
        // Linking through /proc needs no privilege (AT_EMPTY_PATH does), and
        // fails as a no-replace rename does when the name is taken.
        const std::string self = "/proc/self/fd/" + std::to_string(fd);
        if (linkat(AT_FDCWD, self.c_str(), AT_FDCWD, path.c_str(), AT_SYMLINK_FOLLOW) != 0) {
            e = errno;
            result = e == EEXIST ? 0 : e == ENOENT && access("/proc/self/fd", F_OK) != 0 ? -2 : -1;
        }
    }
    ::close(fd); // an unnamed file that was not linked disappears here
    if (result == -1) err = "cannot write " + path + ": " + std::strerror(e);
    return result;
}
#endif

} // namespace

bool write_whole_file(const std::string &path, const void *data, size_t n, bool replace,
                      std::string &err, bool *existed) {
    if (existed) *existed = false;
#if defined(__linux__) && defined(O_TMPFILE)
    const int r = write_unnamed(path, data, n, err);
    if (r == 1) return true;
    if (r == -1) return false;
    if (r == 0 && !replace) {
        if (existed) *existed = true;
        err = path + " exists (use --force to replace it)";
        return false;
    }
#endif
    out_file out;
    if (!out.open(path, err)) return false;
    out.write(data, n);
    if (out.commit(replace, err)) return true;
    if (existed) *existed = out.target_existed();
    return false;
}

void out_file::discard() {
    if (file_ && inPlace_ && !ownsStream_)
        std::fflush(file_); // standard output stays open
    else if (file_)
        std::fclose(file_);
    file_ = nullptr;
    inPlace_ = ownsStream_ = false;
    if (!temp_.empty()) std::remove(temp_.c_str());
    temp_.clear();
    writeError_ = 0;
}
