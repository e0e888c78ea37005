// Random-access byte sources the loader reads from: a file on disk, or bytes
// already in memory (tests and fuzzing).
#pragma once

#include <stddef.h>
#include <stdint.h>

#include <memory>

class byte_source {
public:
    virtual ~byte_source() = default;
    virtual uint64_t size() const = 0;
    // Reads exactly n bytes at offset; false when fewer are there or reading fails.
    virtual bool read(uint64_t offset, void *dst, size_t n) const = 0;
};

class memory_source : public byte_source {
public:
    memory_source(const void *data, size_t size)
        : data_(static_cast<const uint8_t *>(data)), size_(size) {}
    uint64_t size() const override { return size_; }
    bool read(uint64_t offset, void *dst, size_t n) const override;

private:
    const uint8_t *data_;
    size_t size_;
};

// Opens an existing file for reading (others may read it too); null when it
// can't be opened.
std::unique_ptr<byte_source> open_file_source(const char *path);
