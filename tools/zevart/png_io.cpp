#include "png_io.h"

#include <cstdio>
#include <cstring>

void png_io_error(png_structp png, png_const_charp message) {
    auto *io = static_cast<png_io *>(png_get_error_ptr(png));
    std::snprintf(io->message, sizeof io->message, "%s", message);
    png_longjmp(png, 1);
}

void png_io_warning(png_structp, png_const_charp) {}

void png_io_take(png_structp png, png_bytep data, png_size_t n) {
    auto *io = static_cast<png_io *>(png_get_io_ptr(png));
    if (n > io->in->size() - io->pos) png_error(png, "the file ends early");
    std::memcpy(data, io->in->data() + io->pos, n);
    io->pos += n;
}
