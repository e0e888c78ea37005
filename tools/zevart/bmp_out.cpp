#include "bmp_out.h"
#include "out_file.h"

#include <algorithm>
#include <climits>
#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <vector>

namespace {

bool is_mask(const mem_image &im) {
    return im.type == 4 || im.type == 5;
}

// The image a still of an image or picture shows; null for frames.
const mem_image *image_of(const art_handle &art, const still &s) {
    if (s.what == kind::image) return &art.images[s.index];
    if (s.what == kind::picture) return art.pics[s.index].image;
    return nullptr;
}

// Runs `write` on a temporary file next to `path` and names it `path`; for a
// stream, on a scratch file whose bytes then go to the stream.
template <typename Write>
bool through_library(const std::string &path, bool replace, std::string &err, Write write) {
    out_file out;
    if (!out.open(path, err)) return false;
    const std::string written = out.in_place() ? scratch_path(".bmp") : out.temp_path();
    bool ok = write(written.c_str());
    if (ok && out.in_place()) {
        std::ifstream in(written, std::ios::binary);
        const std::vector<char> bytes{std::istreambuf_iterator<char>(in), {}};
        ok = !in.bad();
        out.write(bytes.data(), bytes.size());
        std::remove(written.c_str());
    }
    if (!ok) {
        err = "the library's writer could not write " + shown_name(path);
        return false;
    }
    return out.commit(replace, err);
}

// Each pixel of `in` as a square of scale x scale pixels.
surface enlarged(const surface &in, uint32_t scale) {
    surface out(in.width * scale, in.height * scale, true, kBlack);
    for (uint32_t y = 0; y < out.height; ++y) {
        const RGBQUAD *src = &in.pixels[size_t(y / scale) * in.width];
        RGBQUAD *dst = &out.pixels[size_t(y) * out.width];
        for (uint32_t x = 0; x < out.width; ++x) dst[x] = src[x / scale];
    }
    return out;
}

} // namespace

uint32_t block_bytes(const mem_image &im) {
    const int64_t rows = im.height < 0 ? -int64_t(im.height) : im.height;
    if (is_mask(im)) return uint32_t(rows * ((((int64_t(im.width) - 1) >> 5) + 1) * 4));
    return uint32_t(rows * im.rowBytes); // the loader keeps blocks below 2 GiB
}

bool write_bmp(art_handle &art, const still &s, int depth, RGBQUAD background, uint32_t scale,
               const std::string &path, bool replace, std::string &err) {
    uint32_t w = 0, h = 0;
    fit f = surface_fit(s.rect, scale, w, h);
    if (f != fit::ok) {
        err = fit_problem(f, s.rect, scale);
        return false;
    }
    surface canvas(w / scale, h / scale, true, background);
    draw_still(art, s, canvas);
    if (scale > 1) canvas = enlarged(canvas, scale);
    const mem_image *im = image_of(art, s);
    canvas.info.bmiHeader.biSizeImage = im ? block_bytes(*im) : 0;
    return through_library(path, replace, err, [&](const char *file) {
        return DIBitsToFile(file, canvas.pixels.data(), &canvas.info, depth);
    });
}

bool write_viewer_bmp8(art_handle &art, const still &s, const std::string &path, bool replace,
                       std::string &err) {
    const mem_image *im = image_of(art, s);
    uint32_t w = 0, h = 0;
    fit f = surface_fit(s.rect, 1, w, h);
    if (f != fit::ok) {
        err = fit_problem(f, s.rect, 1);
        return false;
    }
    if (!im) {
        err = "an 8-bit file holds only images and pictures";
        return false;
    }
    // The viewer's header: its surface header with the fields below changed.
    BITMAPINFO info{};
    BITMAPINFOHEADER &bh = info.bmiHeader;
    bh.biSize = sizeof(BITMAPINFOHEADER);
    bh.biWidth = LONG(w);
    bh.biHeight = -LONG(h); // the block's top row comes first
    bh.biPlanes = 1;
    bh.biCompression = BI_RGB;
    // A file's rows are whole 32-bit words. Masks are stored so; an 8-bit
    // block stored with rows of another length is laid out anew, each row
    // cut to the width and padded with zeros, as the viewer saves it.
    const uint8_t *rows = im->pixels;
    std::vector<uint8_t> aligned;
    bh.biSizeImage = block_bytes(*im);
    const size_t fileRow = (size_t(w) + 3) / 4 * 4, stored = size_t(im->rowBytes);
    if (!is_mask(*im) && stored != fileRow) {
        if (fileRow * h > UINT32_MAX) {
            err = "the image is too large for an 8-bit file";
            return false;
        }
        aligned.assign(fileRow * h, 0);
        for (size_t y = 0; y < h; ++y)
            std::copy_n(im->pixels + y * stored, std::min<size_t>(stored, w),
                        &aligned[y * fileRow]);
        rows = aligned.data();
        bh.biSizeImage = uint32_t(fileRow * h);
    }
    static const RGBQUAD kWhiteBlack[2] = {{255, 255, 255, 0}, {0, 0, 0, 0}};
    const RGBQUAD *colors;
    if (is_mask(*im)) {
        bh.biBitCount = 1;
        bh.biClrUsed = bh.biClrImportant = 2;
        colors = kWhiteBlack;
    } else {
        bh.biBitCount = 8;
        bh.biClrUsed = im->palette->colorCount;
        colors = im->palette->colors;
    }
    return through_library(path, replace, err, [&](const char *file) {
        return DIBitsToFile8(file, rows, &info, colors);
    });
}
