#include "png_out.h"

#include <png.h>

#include <cstring>
#include <new>

namespace {

struct encode_state {
    std::vector<uint8_t> *out;
    char message[200];
};

void on_error(png_structp png, png_const_charp message) {
    auto *state = static_cast<encode_state *>(png_get_error_ptr(png));
    std::snprintf(state->message, sizeof state->message, "%s", message);
    png_longjmp(png, 1);
}

void on_warning(png_structp, png_const_charp) {}

void append(png_structp png, png_bytep data, png_size_t n) {
    auto *state = static_cast<encode_state *>(png_get_io_ptr(png));
    bool ok = true;
    try {
        state->out->insert(state->out->end(), data, data + n);
    } catch (const std::bad_alloc &) {
        ok = false;
    }
    if (!ok) png_error(png, "not enough memory for the encoded picture");
}

void flush(png_structp) {}

} // namespace

// libpng reports errors by longjmp back here: nothing with a destructor lives
// between the setjmp and the calls that may jump.
bool png_encode(const rgba_image &img, const png_settings &settings, std::vector<uint8_t> &out,
                std::string &err) {
    encode_state state{&out, "libpng failed"};
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, &state, on_error, on_warning);
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
    png_set_write_fn(png, &state, append, flush);
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
