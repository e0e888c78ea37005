// The drawing rules walked pixel by pixel, with no shortcut: the reference
// every drawing path (each processor's loops, pictures, frames) is compared
// with, by the fuzz checks and the tests. Surfaces are caller-owned 32-bit
// pixels with guard pixels on both sides, filled with a pattern that shows
// halving and overwriting in all four bytes.
#pragma once

#include "art_handle.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace reference {

constexpr size_t kGuard = 8; // pixels before and after every surface

struct surface {
    BITMAPINFO info{};
    int64_t width = 0, rows = 0; // valid pixels; 0 when the header has none
    std::vector<RGBQUAD> mem;

    surface(int32_t biWidth, int32_t biHeight, uint16_t bitCount = 32) {
        make(biWidth, biHeight, bitCount);
    }
    // Made anew, in the memory it holds already.
    void make(int32_t biWidth, int32_t biHeight, uint16_t bitCount = 32) {
        info = BITMAPINFO{};
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = biWidth;
        info.bmiHeader.biHeight = biHeight;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = bitCount;
        const bool any = biWidth > 0 && biHeight != 0;
        width = any ? biWidth : 0;
        rows = any ? (biHeight < 0 ? -int64_t(biHeight) : biHeight) : 0;
        mem.resize(size_t(width * rows) + 2 * kGuard);
        static std::vector<RGBQUAD> filled; // the fill worked out once
        for (size_t i = filled.size(); i < mem.size(); ++i) filled.push_back(fill(i));
        std::copy(filled.begin(), filled.begin() + ptrdiff_t(mem.size()), mem.begin());
    }
    // What memory index i holds before any draw.
    static RGBQUAD fill(size_t i) {
        uint32_t v = uint32_t(i) * 2654435761u;
        return RGBQUAD{uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)};
    }
    RGBQUAD *pixels() { return mem.data() + kGuard; }
    bool topDown() const { return info.bmiHeader.biHeight < 0; }
    // Display pixel (x, y), as the row order places it in memory.
    size_t index(int64_t x, int64_t y) const {
        return kGuard + size_t((topDown() ? y : rows - 1 - y) * width + x);
    }
    RGBQUAD &at(int64_t x, int64_t y) { return mem[index(x, y)]; }
};

inline bool same(const RGBQUAD &a, const RGBQUAD &b) {
    return std::memcmp(&a, &b, 4) == 0;
}

inline std::string show(const RGBQUAD &q) {
    return "(b " + std::to_string(q.rgbBlue) + ", g " + std::to_string(q.rgbGreen) + ", r " +
           std::to_string(q.rgbRed) + ", x " + std::to_string(q.rgbReserved) + ")";
}

// The image's pixel (c, r) lands on display pixel (x + c, y + r). Records
// that can't be drawn safely (no pixels, no colours, rows shorter than the
// width) draw nothing; values without a colour are transparent.
inline void draw_image(const mem_image &im, surface &s, int64_t x, int64_t y) {
    const int64_t width = im.width, height = im.height;
    const bool mask = im.type == 4 || im.type == 5;
    const mem_palette *pal = im.palette;
    if (width <= 0 || height <= 0 || !im.pixels || s.info.bmiHeader.biBitCount != 32) return;
    if (!mask && (!pal || !pal->colors || im.rowBytes < width)) return;
    const int64_t stride = mask ? 4 * ((width + 31) / 32) : im.rowBytes;
    for (int64_t Y = std::max<int64_t>(0, y); Y < std::min(s.rows, y + height); ++Y)
        for (int64_t X = std::max<int64_t>(0, x); X < std::min(s.width, x + width); ++X) {
            const int64_t c = X - x, r = Y - y;
            RGBQUAD &p = s.at(X, Y);
            if (!mask) {
                const uint8_t v = im.pixels[r * stride + c];
                if (v != 0 && v < pal->colorCount) p = pal->colors[v];
            } else if (im.pixels[r * stride + c / 8] & (0x80 >> (c % 8))) {
                p.rgbBlue >>= 1;
                p.rgbGreen >>= 1;
                p.rgbRed >>= 1;
            }
        }
}

inline void draw_pic(const mem_pic &p, surface &s, int64_t x, int64_t y) {
    if (p.image) draw_image(*p.image, s, x + p.x, y + p.y);
}

inline void draw_frame(const mem_frame &f, surface &s, int64_t x, int64_t y) {
    for (unsigned i = 0; f.pics && i < f.picCount; ++i) draw_pic(f.pics[i], s, x, y);
}

// "" when both hold the same; else the first pixel that differs, by its
// display position, or the guard pixel or header that changed.
inline std::string first_difference(const surface &got, const surface &want) {
    if (std::memcmp(&got.info, &want.info, sizeof got.info) != 0) return "the header changed";
    if (std::memcmp(got.mem.data(), want.mem.data(), got.mem.size() * 4) == 0) return "";
    for (size_t i = 0; i < got.mem.size(); ++i) {
        if (same(got.mem[i], want.mem[i])) continue;
        const std::string values = ": got " + show(got.mem[i]) + ", want " + show(want.mem[i]);
        if (i < kGuard || i >= got.mem.size() - kGuard)
            return "guard pixel " + std::to_string(i) + " changed" + values;
        const int64_t e = int64_t(i - kGuard), row = e / got.width;
        return "display pixel (" + std::to_string(e % got.width) + ", " +
               std::to_string(got.topDown() ? row : got.rows - 1 - row) + ")" + values;
    }
    return "";
}

} // namespace reference
