#include "file_sink.h"

#include <errno.h>
#include <stdio.h>
#include <string.h>

#include <atomic>

#ifndef _WIN32
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

// Temporary names are the target's name plus the process id and a serial, so
// sinks in different threads and processes never meet.
unsigned next_serial() {
    static std::atomic<unsigned> serial{0};
    return ++serial;
}

const int kNameAttempts = 100;

#ifdef _WIN32
const size_t kLongestPath = MAX_PATH - 1; // what the ANSI file functions take
const size_t kLongestName = MAX_PATH - 1;
bool is_separator(char c) {
    return c == '\\' || c == '/' || c == ':';
}
#else
const size_t kLongestPath = PATH_MAX - 1;
const size_t kLongestName = NAME_MAX;
bool is_separator(char c) {
    return c == '/';
}
#endif

// Names the temporary file for `path` in `out` (room for the path and 32
// more characters): the target's name with a tag, "x.bmp.<pid>-<serial>.tmp".
// Where that would be longer than the system allows a name or path to be, the
// end of the target's name is replaced by the tag instead, so any name that
// can be saved has a temporary name that can be made. Never the target's own.
void temp_name(char *out, size_t size, const char *path, unsigned long pid, unsigned serial) {
    snprintf(out, size, "%s.%lu-%u.tmp", path, pid, serial);
    const size_t pathLength = strlen(path);
    size_t nameStart = pathLength;
    while (nameStart > 0 && !is_separator(path[nameStart - 1])) --nameStart;
    const size_t nameLength = pathLength - nameStart, extra = strlen(out) - pathLength;
    if (nameLength == 0 ||
        (pathLength + extra <= kLongestPath && nameLength + extra <= kLongestName))
        return;

    char tag[32];
    snprintf(tag, sizeof tag, "~%lx%x", pid, serial);
    size_t tagLength = strlen(tag);
    if (tagLength > nameLength) { // keep the tag's varying end
        memmove(tag, tag + (tagLength - nameLength), nameLength + 1);
        tagLength = nameLength;
    }
    memcpy(out, path, pathLength + 1);
    memcpy(out + pathLength - tagLength, tag, tagLength);
    if (strcmp(out, path) == 0) out[pathLength - 1] = out[pathLength - 1] == '~' ? '-' : '~';
}

} // namespace

#ifdef _WIN32

bool file_sink::open(const char *path) {
    discard();
    if (!path || !*path || strlen(path) > kMaxPath) return false;
    // Writing in place (CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL) would be refused
    // for a read-only, hidden or system file; so is replacing it.
    DWORD old = GetFileAttributesA(path);
    const DWORD kept = FILE_ATTRIBUTE_READONLY | FILE_ATTRIBUTE_HIDDEN | FILE_ATTRIBUTE_SYSTEM;
    if (old != INVALID_FILE_ATTRIBUTES && !(old & FILE_ATTRIBUTE_DIRECTORY) && (old & kept))
        return false;
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        temp_name(temp_, sizeof temp_, path, GetCurrentProcessId(), next_serial());
        file_ = CreateFileA(temp_, GENERIC_READ | GENERIC_WRITE, FILE_SHARE_READ, nullptr,
                            CREATE_NEW, FILE_ATTRIBUTE_NORMAL, nullptr);
        if (file_ != INVALID_HANDLE_VALUE) {
            target_ = path;
            return true;
        }
        DWORD error = GetLastError();
        if (error != ERROR_FILE_EXISTS && error != ERROR_ALREADY_EXISTS) break;
    }
    temp_[0] = 0;
    return false;
}

bool file_sink::write(const void *data, size_t n) {
    if (file_ == INVALID_HANDLE_VALUE) return false;
    const char *p = static_cast<const char *>(data);
    while (n) {
        DWORD chunk = n > (1u << 30) ? (1u << 30) : static_cast<DWORD>(n);
        DWORD done = 0;
        if (!WriteFile(file_, p, chunk, &done, nullptr) || done == 0) return false;
        p += done;
        n -= done;
    }
    return true;
}

bool file_sink::close_file() {
    if (file_ == INVALID_HANDLE_VALUE) return true;
    bool ok = CloseHandle(file_) != 0;
    file_ = INVALID_HANDLE_VALUE;
    return ok;
}

bool file_sink::replace_target() {
    return MoveFileExA(temp_, target_, MOVEFILE_REPLACE_EXISTING);
}

void file_sink::remove_temp() {
    DeleteFileA(temp_);
}

#else

bool file_sink::open(const char *path) {
    discard();
    if (!path || !*path || strlen(path) > kMaxPath) return false;
    // A rename would replace a file whose owner made it read-only; writing it
    // in place would not be allowed, so neither is replacing it. The file that
    // replaces it keeps its permissions.
    struct stat old;
    bool replacing = stat(path, &old) == 0 && S_ISREG(old.st_mode);
    if (replacing && faccessat(AT_FDCWD, path, W_OK, AT_EACCESS) != 0) return false;
    for (int attempt = 0; attempt < kNameAttempts; ++attempt) {
        temp_name(temp_, sizeof temp_, path, static_cast<unsigned long>(getpid()), next_serial());
        file_ = ::open(temp_, O_RDWR | O_CREAT | O_EXCL | O_CLOEXEC, 0666);
        if (file_ >= 0) {
            target_ = path;
            if (replacing && fchmod(file_, old.st_mode & 07777) != 0) {
                discard();
                return false;
            }
            return true;
        }
        if (errno != EEXIST) break;
    }
    temp_[0] = 0;
    return false;
}

bool file_sink::write(const void *data, size_t n) {
    if (file_ < 0) return false;
    const char *p = static_cast<const char *>(data);
    while (n) {
        size_t chunk = n > (1u << 30) ? (1u << 30) : n;
        ssize_t done = ::write(file_, p, chunk);
        if (done < 0 && errno == EINTR) continue;
        if (done <= 0) return false;
        p += done;
        n -= static_cast<size_t>(done);
    }
    return true;
}

bool file_sink::close_file() {
    if (file_ < 0) return true;
    bool ok = ::close(file_) == 0 || errno == EINTR; // Linux closes it even then
    file_ = -1;
    return ok;
}

bool file_sink::replace_target() {
    return rename(temp_, target_) == 0;
}

void file_sink::remove_temp() {
    unlink(temp_);
}

#endif

bool file_sink::commit() {
    if (!target_) return false;
    if (close_file() && replace_target()) {
        temp_[0] = 0;
        target_ = nullptr;
        return true;
    }
    discard();
    return false;
}

void file_sink::discard() {
    close_file();
    if (temp_[0]) remove_temp();
    temp_[0] = 0;
    target_ = nullptr;
}
