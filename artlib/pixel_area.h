// The memory a loaded set's pixels live in: one block, often nearly the
// whole bitmap file, owned by the set and freed with it.
#pragma once

#include <stddef.h>

class pixel_area {
public:
    pixel_area() = default;
    // Null data() when memory is out. Contents are undefined until written.
    explicit pixel_area(size_t size);
    ~pixel_area();
    pixel_area(pixel_area &&other) noexcept;
    pixel_area &operator=(pixel_area &&other) noexcept;
    pixel_area(const pixel_area &) = delete;
    pixel_area &operator=(const pixel_area &) = delete;

    unsigned char *data() const { return data_; }

private:
    void release();

    unsigned char *data_ = nullptr;
    size_t size_ = 0;
    bool mapped_ = false; // from mmap rather than malloc
};
