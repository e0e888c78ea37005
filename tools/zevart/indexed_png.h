// Indexed PNG files for the modding round trip: an image's own palette
// indexes written with its palette, and any PNG a paint program saves read
// back, either as the indexes it holds or as RGBA colours.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct png_colour {
    uint8_t r, g, b, a;
};

// Pixels as indexes (bit depth 1 or 8) with a palette of at most 256 entries.
struct indexed_picture {
    uint32_t width = 0, height = 0;
    int bitDepth = 8;                // 1 for shadow masks
    std::vector<uint8_t> px;         // one index a pixel, rows top first
    std::vector<png_colour> palette; // PLTE with the alpha of tRNS
};

// The complete PNG file appended to `out`; false with `err` when libpng refuses.
bool png_encode_indexed(const indexed_picture &pic, std::vector<uint8_t> &out, std::string &err);

// A PNG file read back. Palette PNGs keep their indexes (`indexed`, `px` one
// index a pixel, `palette` from PLTE); every other kind becomes RGBA (`px`
// four bytes a pixel).
struct decoded_png {
    uint32_t width = 0, height = 0;
    bool indexed = false;
    std::vector<uint8_t> px;
    std::vector<png_colour> palette;
};

// The largest picture read back: sprites are far smaller, and a damaged
// header must not ask for gigabytes.
constexpr uint64_t kMaxPngPixels = uint64_t(1) << 24;

bool png_decode(const std::vector<uint8_t> &file, decoded_png &out, std::string &err);
