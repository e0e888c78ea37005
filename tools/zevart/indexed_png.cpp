#include "indexed_png.h"

#include "png_io.h"

#include <cstring>
#include <new>

// libpng reports errors by longjmp back here: nothing with a destructor lives
// between the setjmp and the calls that may jump.
bool png_decode(const std::vector<uint8_t> &file, decoded_png &out, std::string &err) {
    if (file.size() < 8 || png_sig_cmp(file.data(), 0, 8) != 0) {
        err = "not a PNG file";
        return false;
    }
    png_io state;
    state.in = &file;
    png_structp png = png_create_read_struct(PNG_LIBPNG_VER_STRING, &state, png_io_error, png_io_warning);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info) {
        png_destroy_read_struct(&png, nullptr, nullptr);
        err = "not enough memory for libpng";
        return false;
    }
    // Rows are read into `out.px`, sized before any row arrives; a jump
    // leaves it as it was.
    std::vector<png_bytep> rows;
    bool tooBig = false, noMemory = false;
    if (setjmp(png_jmpbuf(png))) {
        png_destroy_read_struct(&png, &info, nullptr);
        err = tooBig     ? "larger than " + std::to_string(kMaxPngPixels) + " pixels"
              : noMemory ? "not enough memory"
                         : std::string("damaged PNG: ") + state.message;
        return false;
    }
    png_set_read_fn(png, &state, png_io_take);
    png_set_user_limits(png, 1 << 20, 1 << 20);
    png_set_benign_errors(png, 1);
#ifdef PNG_CHECK_FOR_INVALID_INDEX_SUPPORTED
    png_set_check_for_invalid_index(png, 0); // indexes are data here, PLTE only a preview
#endif
    png_read_info(png, info);
    png_uint_32 w = png_get_image_width(png, info), h = png_get_image_height(png, info);
    int colourType = png_get_color_type(png, info), depth = png_get_bit_depth(png, info);
    if (uint64_t(w) * h > kMaxPngPixels) {
        tooBig = true;
        png_error(png, "too big");
    }
    out.width = w, out.height = h;
    out.indexed = colourType == PNG_COLOR_TYPE_PALETTE;
    if (out.indexed) {
        png_colorp plte = nullptr;
        int n = 0;
        png_get_PLTE(png, info, &plte, &n);
        png_bytep trns = nullptr;
        int nt = 0;
        png_get_tRNS(png, info, &trns, &nt, nullptr);
        out.palette.clear();
        for (int i = 0; i < n; ++i)
            out.palette.push_back(
                {plte[i].red, plte[i].green, plte[i].blue, png_byte(i < nt ? trns[i] : 255)});
        if (depth < 8) png_set_packing(png);
    } else {
        if (depth == 16) png_set_strip_16(png);
        if (colourType == PNG_COLOR_TYPE_GRAY || colourType == PNG_COLOR_TYPE_GRAY_ALPHA)
            png_set_gray_to_rgb(png);
        png_set_expand(png); // low bit depths, tRNS to alpha
        if (!(colourType & PNG_COLOR_MASK_ALPHA) && !png_get_valid(png, info, PNG_INFO_tRNS))
            png_set_filler(png, 0xFF, PNG_FILLER_AFTER);
    }
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    const size_t stride = size_t(w) * (out.indexed ? 1 : 4);
    if (png_get_rowbytes(png, info) != stride) png_error(png, "unexpected row layout");
    try {
        out.px.assign(stride * h, 0);
        rows.resize(h);
    } catch (const std::bad_alloc &) {
        noMemory = true;
    }
    if (noMemory) png_error(png, "no memory");
    for (png_uint_32 y = 0; y < h; ++y) rows[y] = out.px.data() + y * stride;
    png_read_image(png, rows.data());
    png_read_end(png, nullptr);
    png_destroy_read_struct(&png, &info, nullptr);
    return true;
}
