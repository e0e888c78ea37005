// Decoders for the files zevart writes, for tests: PNG through libpng, APNG by
// hand (chunks, zlib, unfiltering), GIF through giflib. Pictures come back as
// top-down R, G, B, A bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct rgba_picture {
    uint32_t width = 0, height = 0;
    std::vector<uint8_t> px;
    const uint8_t *at(uint32_t x, uint32_t y) const { return &px[(size_t(y) * width + x) * 4]; }
};

// False (with `err`) when the file is no 8-bit RGBA PNG of ours.
bool decode_png(const std::string &path, rgba_picture &out, std::string &err);

struct apng_frame {
    rgba_picture picture;
    uint16_t delayNum = 0, delayDen = 0;
    uint8_t dispose = 0, blend = 0;
    uint32_t x = 0, y = 0;
};
struct apng_file {
    uint32_t plays = 0; // 0: forever
    std::vector<apng_frame> frames;
};
// Checks signature, CRCs and sequence numbers on the way.
bool decode_apng(const std::string &path, apng_file &out, std::string &err);

struct gif_frame {
    uint32_t left = 0, top = 0, width = 0, height = 0;
    std::vector<uint8_t> indexes;
    std::vector<uint32_t> colours; // 0xRRGGBB, the frame's table (local or global)
    bool localTable = false;
    int transparent = -1;
    int delayCs = -1;
    int disposal = -1;
};
struct gif_file {
    uint32_t width = 0, height = 0;
    bool loopsForever = false; // NETSCAPE2.0 with repeat count 0
    std::vector<gif_frame> frames;
};
bool decode_gif(const std::string &path, gif_file &out, std::string &err);
