#include "byte_source.h"

#include <string.h>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

bool memory_source::read(uint64_t offset, void *dst, size_t n) const {
    if (offset > size_ || n > size_ - offset) return false;
    if (n) memcpy(dst, data_ + offset, n);
    return true;
}

namespace {

#ifdef _WIN32
class file_source : public byte_source {
public:
    file_source(HANDLE h, uint64_t size) : h_(h), size_(size) {}
    ~file_source() override { CloseHandle(h_); }
    uint64_t size() const override { return size_; }

    bool read(uint64_t offset, void *dst, size_t n) const override {
        if (offset > size_ || n > size_ - offset) return false;
        uint8_t *p = static_cast<uint8_t *>(dst);
        while (n) {
            DWORD chunk = n > (1u << 30) ? (1u << 30) : static_cast<DWORD>(n);
            OVERLAPPED at = {};
            at.Offset = static_cast<DWORD>(offset);
            at.OffsetHigh = static_cast<DWORD>(offset >> 32);
            DWORD got = 0;
            if (!ReadFile(h_, p, chunk, &got, &at) || got == 0) return false;
            p += got;
            offset += got;
            n -= got;
        }
        return true;
    }

private:
    HANDLE h_;
    uint64_t size_;
};
#else
class file_source : public byte_source {
public:
    file_source(int fd, uint64_t size) : fd_(fd), size_(size) {}
    ~file_source() override { close(fd_); }
    uint64_t size() const override { return size_; }

    bool read(uint64_t offset, void *dst, size_t n) const override {
        if (offset > size_ || n > size_ - offset) return false;
        uint8_t *p = static_cast<uint8_t *>(dst);
        while (n) {
            size_t chunk = n > (1u << 30) ? (1u << 30) : n;
            ssize_t got = pread(fd_, p, chunk, static_cast<off_t>(offset));
            if (got <= 0) return false;
            p += got;
            offset += static_cast<uint64_t>(got);
            n -= static_cast<size_t>(got);
        }
        return true;
    }

private:
    int fd_;
    uint64_t size_;
};
#endif

} // namespace

std::unique_ptr<byte_source> open_file_source(const char *path) {
    if (!path) return nullptr;
#ifdef _WIN32
    HANDLE h = CreateFileA(path, GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    if (h == INVALID_HANDLE_VALUE) return nullptr;
    LARGE_INTEGER size;
    if (!GetFileSizeEx(h, &size)) {
        CloseHandle(h);
        return nullptr;
    }
    return std::unique_ptr<byte_source>(new file_source(h, static_cast<uint64_t>(size.QuadPart)));
#else
    int fd = open(path, O_RDONLY | O_CLOEXEC);
    if (fd < 0) return nullptr;
    struct stat st;
    if (fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        close(fd);
        return nullptr;
    }
    return std::unique_ptr<byte_source>(new file_source(fd, static_cast<uint64_t>(st.st_size)));
#endif
}
