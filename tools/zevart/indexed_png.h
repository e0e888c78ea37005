// PNG files read back for the modding round trip: any PNG a paint program
// saves, either as the indexes it holds or as RGBA colours. (They are
// written by png_out.h, as every PNG of the program.)
#pragma once

#include "png_out.h"

#include <cstdint>
#include <string>
#include <vector>

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
