// PNG files, written chunk by chunk into memory so that a caller can write
// them whole: indexed pictures (PLTE and tRNS) and true colour with alpha.
// A picture of at most 256 colours is written indexed, which is exact; only
// one with more is written as RGBA. Rows are stored unfiltered: sprites are
// runs of flat colour along rows, which deflate's matches find as they are.
// Deflate is libdeflate's where the build has it (one call a picture; on the
// generated noise sprites about 1.3 times zlib's speed at the same level and
// size, more on flat art), else zlib's.
#pragma once

#include "render.h"

#include <cstdint>
#include <string>
#include <vector>

// How hard deflate works: 0 (stored) to 9 (smallest), zlib's scale.
struct png_settings {
    int level = 1;
};

struct png_colour {
    uint8_t r, g, b, a;
};

// Pixels as indexes (bit depth 1, 2, 4 or 8) with a palette of at most 256
// entries.
struct indexed_picture {
    uint32_t width = 0, height = 0;
    int bitDepth = 8;                // 1 for shadow masks
    std::vector<uint8_t> px;         // one index a pixel, rows top first
    std::vector<png_colour> palette; // PLTE with the alpha of tRNS
};

// The complete PNG file of `pic` appended to `out`; false with `err` when the
// palette does not fit the bit depth or memory runs out.
bool png_encode_indexed(const indexed_picture &pic, const png_settings &settings,
                        std::vector<uint8_t> &out, std::string &err);

// The complete PNG file of `img` (8-bit RGBA, rows top first) appended to
// `out`: indexed when it has at most 256 colours, else RGBA.
bool png_encode(const rgba_image &img, const png_settings &settings, std::vector<uint8_t> &out,
                std::string &err);

// The exact palette of one or more pictures (colours in order of first
// appearance), while they have at most 256 colours together. Indexes, once
// given, never change, so the frames of an animation can be indexed one by
// one.
class exact_palette {
public:
    exact_palette();
    // Adds the colours of `img` and gives its pixels as indexes in `px`;
    // false when that takes the palette above 256 colours (it is then of no
    // further use).
    bool add(const rgba_image &img, std::vector<uint8_t> &px);
    const std::vector<png_colour> &colours() const { return colours_; }
    // The smallest bit depth that holds the palette's indexes.
    int bit_depth() const;

private:
    int find(uint32_t rgba) const; // the slot of the colour, or the free slot for it
    static constexpr uint32_t kSlots = 1024;
    uint32_t keys_[kSlots];
    int16_t index_[kSlots]; // -1: a free slot
    std::vector<png_colour> colours_;
};

// What APNG frames share with still pictures: the file head (signature,
// IHDR, and PLTE and tRNS for a palette) and a picture's rows as one zlib
// stream, each appended to `out`.
void png_begin(std::vector<uint8_t> &out, uint32_t width, uint32_t height, int bitDepth,
               const std::vector<png_colour> *palette);
bool png_deflate_rows(const uint8_t *px, uint32_t width, uint32_t height, int bitsPerPixel,
                      const png_settings &settings, std::vector<uint8_t> &out, std::string &err);
// One chunk: length, type, `head` then `body` as its data, CRC.
void png_chunk(std::vector<uint8_t> &out, const char *type, const uint8_t *head, size_t headSize,
               const uint8_t *body, size_t bodySize);
