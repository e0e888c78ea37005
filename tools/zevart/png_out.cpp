#include "png_out.h"

#include "png_io.h"

#include <cstring>
#include <new>

// libpng reports errors by longjmp back here: nothing with a destructor lives
// between the setjmp and the calls that may jump.
bool png_encode(const rgba_image &img, const png_settings &settings, std::vector<uint8_t> &out,
                std::string &err) {
    png_io state;
    state.out = &out;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &state, png_io_error, png_io_warning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_write_struct(&png, nullptr);
        err = "not enough memory for libpng";
        return false;
    }
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        err = std::string("PNG encoding failed: ") + state.message;
        return false;
    }
    png_set_write_fn(png, &state, png_io_append, png_io_flush);
    png_set_user_limits(png, 0x7FFFFFFF, 0x7FFFFFFF); // our own surface limit applies
    png_set_compression_level(png, settings.level);
    png_set_filter(png, PNG_FILTER_TYPE_BASE, PNG_FILTER_NONE);
    png_set_IHDR(png, info, img.width, img.height, 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    const size_t stride = size_t(img.width) * 4;
    for (uint32_t y = 0; y < img.height; ++y)
        png_write_row(png, const_cast<png_bytep>(img.px.data() + y * stride));
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return true;
}
