// libpng's reader over a file in memory, and libpng's error message kept for
// the caller (libpng reports an error by longjmp back to the setjmp of the
// call that failed).
#pragma once

#include <png.h>

#include <cstddef>
#include <cstdint>
#include <vector>

struct png_io {
    const std::vector<uint8_t> *in = nullptr; // a file being decoded
    size_t pos = 0;                           // how much of `in` is read
    char message[200] = "libpng failed";
};

// Callbacks for png_create_read_struct (error pointer: the png_io) and
// png_set_read_fn (io pointer: the png_io).
void png_io_error(png_structp png, png_const_charp message);
void png_io_warning(png_structp png, png_const_charp message);
void png_io_take(png_structp png, png_bytep data, png_size_t n);
