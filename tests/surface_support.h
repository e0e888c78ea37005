// Caller-owned 32-bit surfaces for drawing tests, poisoned and guarded, and
// the drawing rules walked pixel by pixel as the reference every drawing
// path is compared with.
#pragma once

#include "art_handle.h"

#include <cstring>
#include <sstream>
#include <string>
#include <vector>

namespace testing_support {

inline constexpr uint8_t kPoison = 0xCC;
inline constexpr size_t kGuard = 16; // poisoned pixels before and after every surface

// A caller-owned surface with guard pixels around it, poisoned.
struct surface {
    int width, rows;
    bool topDown;
    BITMAPINFO info{};
    std::vector<RGBQUAD> mem;

    surface(int w, int h, bool topDownRows = true) : width(w), rows(h), topDown(topDownRows) {
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = w;
        info.bmiHeader.biHeight = topDown ? -h : h;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        mem.resize(size_t(w) * size_t(h) + 2 * kGuard);
        poison();
    }
    void poison() { std::memset(static_cast<void *>(mem.data()), kPoison, mem.size() * 4); }
    RGBQUAD *pixels() { return mem.data() + kGuard; }
    // Element of display pixel (x, y), as the row order places it.
    size_t index(int x, int y) const {
        int row = topDown ? y : rows - 1 - y;
        return kGuard + size_t(row) * size_t(width) + size_t(x);
    }
    RGBQUAD &at(int x, int y) { return mem[index(x, y)]; }
};

inline RGBQUAD quad(uint8_t b, uint8_t g, uint8_t r, uint8_t x) {
    return RGBQUAD{b, g, r, x};
}

inline bool same(const RGBQUAD &a, const RGBQUAD &b) {
    return std::memcmp(&a, &b, 4) == 0;
}

inline bool same_bytes(const std::vector<RGBQUAD> &a, const std::vector<RGBQUAD> &b) {
    return a.size() == b.size() && std::memcmp(a.data(), b.data(), a.size() * 4) == 0;
}

inline std::string show(const RGBQUAD &q) {
    std::ostringstream s;
    s << "(b " << int(q.rgbBlue) << ", g " << int(q.rgbGreen) << ", r " << int(q.rgbRed) << ", x "
      << int(q.rgbReserved) << ")";
    return s.str();
}

// The drawing rules walked pixel by pixel, every position tested, with the
// library's choices for values past the palette and for unusable records.
inline void reference_image(const mem_image &im, surface &s, int64_t x, int64_t y) {
    const int32_t width = im.width, height = im.height, rowBytes = im.rowBytes;
    const int16_t type = im.type;
    const uint8_t *pixels = im.pixels;
    const mem_palette *palette = im.palette;
    const bool mask = type == 4 || type == 5;
    if (!pixels || (!mask && (!palette || !palette->colors || rowBytes < width))) return;
    for (int64_t r = 0; r < height; ++r)
        for (int64_t c = 0; c < width; ++c) {
            int64_t X = x + c, Y = y + r;
            if (X < 0 || X >= s.width || Y < 0 || Y >= s.rows) continue;
            RGBQUAD &t = s.at(int(X), int(Y));
            if (mask) {
                int64_t stride = 4 * ((width + 31) / 32);
                if (pixels[r * stride + c / 8] & (1 << (7 - c % 8))) {
                    t.rgbBlue >>= 1;
                    t.rgbGreen >>= 1;
                    t.rgbRed >>= 1;
                }
            } else {
                uint8_t v = pixels[r * rowBytes + c];
                if (v != 0 && v < palette->colorCount) t = palette->colors[v];
            }
        }
}

// Empty when both surfaces hold the same bytes; else names the first pixel
// that differs.
inline std::string first_difference(const surface &got, const surface &want) {
    for (size_t i = 0; i < got.mem.size(); ++i) {
        if (same(got.mem[i], want.mem[i])) continue;
        std::ostringstream s;
        if (i < kGuard || i >= kGuard + size_t(got.width) * got.rows) {
            s << "guard pixel " << i << " outside the surface changed";
        } else {
            size_t e = i - kGuard;
            int row = int(e / got.width), x = int(e % got.width);
            int y = got.topDown ? row : got.rows - 1 - row;
            s << "display pixel (" << x << ", " << y << ")";
        }
        s << ": got " << show(got.mem[i]) << ", want " << show(want.mem[i]);
        return s.str();
    }
    return "";
}

} // namespace testing_support
