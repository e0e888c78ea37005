// Writes art sets: an in-memory description turned into an art-structure file
// ("CPAL") and a bitmap file holding the pixel blocks. Every stored number is
// a plain field here, so tests can describe broken files as easily as sound
// ones; the counts the file stores are worked out unless overridden.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace artgen {

struct palette {
    std::array<uint8_t, 24> skipped{};
    std::vector<uint8_t> data; // colour entries as stored: red, green, blue, fourth byte
    std::optional<uint32_t> sizeField;

    // Adds a colour entry (stored red first).
    void add(uint8_t r, uint8_t g, uint8_t b, uint8_t x = 0) {
        data.insert(data.end(), {r, g, b, x});
    }
};

struct image {
    int32_t rowBytes = 0;
    int32_t height = 0;
    int32_t width = 0;
    int16_t type = 0;
    uint16_t palette = 0;
    std::vector<uint8_t> pixels;    // the block, top row first
    std::optional<uint32_t> offset; // default: right after the previous block
};

struct picture {
    uint16_t image = 0;
    uint8_t spare = 0;
    uint8_t slot = 0;
    int16_t x = 0, y = 0;
};

struct frame {
    std::vector<picture> pics; // in file order; the slot decides drawing order
    uint8_t flagLowBits = 0;   // bits 0..6 of the flag byte, not interpreted
    std::optional<std::array<uint8_t, 2>> ext1, ext2;
    std::optional<uint8_t> countField; // low 7 bits override the picture count
};

struct group {
    std::array<uint32_t, 8> header{};
    std::vector<frame> frames;
    std::vector<std::array<uint32_t, 4>> appendix;
    std::optional<uint32_t> frameCountField, appendixCountField;
};

struct art_set {
    std::vector<palette> palettes;
    std::vector<image> images;
    std::vector<group> groups;
    std::optional<uint32_t> paletteCountField, imageCountField;
    std::optional<uint32_t> groupCountField, frameCountField, picCountField, extInfoCountField;
    std::vector<uint8_t> trailing; // bytes after the last group record

    uint32_t frame_count() const;
    uint32_t picture_count() const;
    uint32_t ext_info_count() const; // frames of groups with any flagged frame
};

// An 8-bit image of w x h pixels, rows of exactly w bytes unless rowBytes says more.
image image8(int32_t w, int32_t h, uint16_t palette, std::vector<uint8_t> pixels,
             int32_t rowBytes = 0);
// A 1-bit shadow mask (type 4) from one byte per pixel (non-zero: set bit).
image mask1(int32_t w, int32_t h, const std::vector<uint8_t> &bits);
// Bytes per stored row of a 1-bit image of width w.
int32_t mask_row_bytes(int32_t w);

std::vector<uint8_t> write_prt(const art_set &set);
// A valid 8-bit grayscale Windows bitmap whose pixel area holds the blocks at
// their offsets.
std::vector<uint8_t> write_bmp(const art_set &set);

// Offset of the pixel area in files written by write_bmp.
constexpr uint32_t kBitmapPixelOffset = 14 + 40 + 256 * 4;

void save_file(const std::string &path, const std::vector<uint8_t> &bytes);
std::vector<uint8_t> load_file(const std::string &path);

} // namespace artgen
