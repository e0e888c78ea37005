// PNG files through libpng: RGBA pictures, encoded into memory so that a
// caller can write them whole or take their compressed data apart (APNG).
#pragma once

#include "render.h"

#include <cstdint>
#include <string>
#include <vector>

// How hard zlib works. Sprites are runs of flat colour along rows, which
// LZ77 matches find without any row filter: zlib level 1 with no filtering
// writes files as small as level 6 with adaptive filters in about a quarter
// of the time (figures in docs/zevart-cli.md).
struct png_settings {
    int level = 1;
};

// The complete PNG file of `img` (8-bit RGBA, not interlaced) appended to
// `out`; false with `err` when libpng refuses or memory runs out.
bool png_encode(const rgba_image &img, const png_settings &settings, std::vector<uint8_t> &out,
                std::string &err);
