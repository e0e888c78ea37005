// Decoders for the files zevart writes, for tests: PNG and GIF through libpng
// and giflib; each APNG frame is rebuilt as a PNG of its own for libpng, which
// has no APNG support. Pictures come back as top-down R, G, B, A bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

struct rgba_picture {
    uint32_t width = 0, height = 0;
    std::vector<uint8_t> px;
};
struct apng_frame {
    rgba_picture picture;
    uint16_t delayNum = 0, delayDen = 0;
    uint8_t blend = 0;
};
struct apng_file {
    uint32_t plays = 0; // 0: forever
    std::vector<apng_frame> frames;
};
struct gif_frame {
    uint32_t width = 0, height = 0;
    std::vector<uint8_t> indexes;
    std::vector<uint32_t> colours; // 0xRRGGBB, the frame's table (local or global)
    bool localTable = false;
    int transparent = -1, delayCs = -1, disposal = -1;
};
struct gif_file {
    bool loopsForever = false; // NETSCAPE2.0 with repeat count 0
    std::vector<gif_frame> frames;
};

// Each false, with `err`, for a file that is not sound; decode_png also for
// one that is no 8-bit RGBA PNG, decode_apng for bad CRCs or sequence numbers.
bool decode_png(const std::string &path, rgba_picture &out, std::string &err);
bool decode_apng(const std::string &path, apng_file &out, std::string &err);
bool decode_gif(const std::string &path, gif_file &out, std::string &err);
