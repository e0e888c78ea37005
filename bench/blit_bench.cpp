// Drawing sprites and shadows: the library's loops at each level against
// SDL2's software blit (8-bit, colour key 0, onto 32 bits), a per-bit shadow
// loop written as the drawing rules read, and memcpy of the same pixels.
#include "bench.h"

#include "art_handle.h"
#include "blitter.h"

#include <SDL2/SDL.h>

#include <memory>
#include <stdexcept>
#include <stdint.h>
#include <string.h>

namespace bench {
namespace {

const int kMargin = 8; // the sprite sits this far inside its surface: no clipping

uint32_t next_random(uint32_t &state) {
    state ^= state << 13;
    state ^= state >> 17;
    state ^= state << 5;
    return state;
}

// Inside an ellipse filling 93% of the square: about 32% of it lies outside.
bool in_body(int x, int y, int side) {
    const double r = side * 0.465, c = (side - 1) / 2.0;
    const double dx = (x - c) / r, dy = (y - c) / r;
    return dx * dx + dy * dy <= 1.0;
}

enum class shape { body, random }; // game-art body; every pixel clear or not at 50%

struct surface32 {
    int width, height;
    BITMAPINFO info{};
    std::vector<RGBQUAD> pixels;
    surface32(int w, int h) : width(w), height(h), pixels(size_t(w) * h) {
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = w;
        info.bmiHeader.biHeight = -h;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        for (size_t i = 0; i < pixels.size(); ++i)
            pixels[i] = RGBQUAD{uint8_t(i), uint8_t(i >> 8), 200, 0};
    }
};

struct sdl_surface {
    SDL_Surface *s;
    explicit sdl_surface(SDL_Surface *p) : s(p) {
        if (!s) throw std::runtime_error(SDL_GetError());
    }
    ~sdl_surface() { SDL_FreeSurface(s); }
    sdl_surface(const sdl_surface &) = delete;
    sdl_surface &operator=(const sdl_surface &) = delete;
};

// One 8-bit sprite with its 256-colour palette, as the library and as SDL
// hold it, and its pixels as 32 bits for memcpy.
struct sprite_bench {
    int side;
    std::vector<uint8_t> bytes;
    std::vector<RGBQUAD> colors;
    mem_palette palette{};
    mem_image image{};
    std::vector<uint32_t> expanded;
    surface32 ours;
    sdl_surface sdlSprite, sdlTarget;
    SDL_Rect at{kMargin, kMargin, 0, 0};
    std::vector<uint32_t> copyTarget;
    std::vector<RGBQUAD> naive;

    sprite_bench(int n, shape kind)
        : side(n), bytes(size_t(n) * n), colors(256), expanded(bytes.size()),
          ours(n + 2 * kMargin, n + 2 * kMargin),
          sdlSprite(SDL_CreateRGBSurfaceWithFormat(0, n, n, 8, SDL_PIXELFORMAT_INDEX8)),
          sdlTarget(SDL_CreateRGBSurfaceWithFormat(0, n + 2 * kMargin, n + 2 * kMargin, 32,
                                                   SDL_PIXELFORMAT_XRGB8888)),
          copyTarget(ours.pixels.size()), naive(ours.pixels) {
        uint32_t rnd = 0x12345u + uint32_t(n);
        SDL_Color sdlColors[256];
        for (int c = 0; c < 256; ++c) {
            colors[c] = RGBQUAD{uint8_t(c * 3), uint8_t(c * 5), uint8_t(255 - c), 0};
            sdlColors[c] = SDL_Color{colors[c].rgbRed, colors[c].rgbGreen, colors[c].rgbBlue, 255};
        }
        for (int y = 0; y < n; ++y)
            for (int x = 0; x < n; ++x) {
                bool opaque = kind == shape::body ? in_body(x, y, n) : next_random(rnd) % 2 == 0;
                uint8_t v = opaque ? uint8_t(1 + next_random(rnd) % 255) : 0;
                bytes[size_t(y) * n + x] = v;
                uint32_t c;
                memcpy(&c, &colors[v], 4);
                expanded[size_t(y) * n + x] = c;
            }
        palette = {256, colors.data()};
        image = {n, bytes.data(), n, n, 0, &palette};

        SDL_SetPaletteColors(sdlSprite.s->format->palette, sdlColors, 0, 256);
        SDL_SetColorKey(sdlSprite.s, SDL_TRUE, 0);
        for (int y = 0; y < n; ++y)
            memcpy(static_cast<uint8_t *>(sdlSprite.s->pixels) + size_t(y) * sdlSprite.s->pitch,
                   &bytes[size_t(y) * n], size_t(n));
        at.w = at.h = n;
        SDL_FillRect(sdlTarget.s, nullptr, 0x00C08040);
    }

    void draw(blit_level level) {
        blit_use_level(level);
        image.draw(ours.pixels.data(), &ours.info, kMargin, kMargin);
    }
    // Pixel by pixel as the drawing rules read: a bounds test per pixel, then
    // the transparent key and the palette look-up.
    void per_pixel() {
        const BITMAPINFOHEADER &h = ours.info.bmiHeader;
        const int rows = h.biHeight < 0 ? -h.biHeight : h.biHeight;
        for (int r = 0; r < side; ++r)
            for (int c = 0; c < side; ++c) {
                const int X = kMargin + c, Y = kMargin + r;
                if (X < 0 || X >= h.biWidth || Y < 0 || Y >= rows) continue;
                const uint8_t v = bytes[size_t(r) * side + c];
                if (v == 0) continue;
                const int memRow = h.biHeight < 0 ? Y : rows - 1 - Y;
                naive[size_t(memRow) * h.biWidth + X] = colors[v];
            }
    }
    void sdl() {
        SDL_Rect to = at;
        SDL_BlitSurface(sdlSprite.s, nullptr, sdlTarget.s, &to);
    }
    void copy() {
        const size_t w = size_t(ours.width);
        for (int y = 0; y < side; ++y)
            memcpy(&copyTarget[(y + kMargin) * w + kMargin], &expanded[size_t(y) * side],
                   size_t(side) * 4);
    }
};

// A 1-bit mask: an elliptic blob, solid or dithered as a checkerboard.
struct shadow_bench {
    int side, rowBytes;
    std::vector<uint8_t> bits;
    mem_image image{};
    surface32 ours, naive;
    std::vector<uint32_t> source, copyTarget;

    shadow_bench(int n, bool dithered)
        : side(n), rowBytes((n + 31) / 32 * 4), bits(size_t(rowBytes) * n),
          ours(n + 2 * kMargin, n + 2 * kMargin), naive(n + 2 * kMargin, n + 2 * kMargin),
          source(size_t(n) * n, 0x01020304u), copyTarget(ours.pixels.size()) {
        for (int y = 0; y < n; ++y)
            for (int x = 0; x < n; ++x)
                if (in_body(x, y, n) && (!dithered || (x + y) % 2 == 0))
                    bits[size_t(y) * rowBytes + x / 8] |= uint8_t(0x80 >> (x % 8));
        image = {0, bits.data(), n, n, 4, nullptr};
    }

    void draw(blit_level level) {
        blit_use_level(level);
        image.draw(ours.pixels.data(), &ours.info, kMargin, kMargin);
    }
    // Pixel by pixel: find the bit, test it, halve three bytes.
    void per_bit() {
        const size_t w = size_t(naive.width);
        for (int r = 0; r < side; ++r) {
            RGBQUAD *row = &naive.pixels[(r + kMargin) * w + kMargin];
            const uint8_t *src = &bits[size_t(r) * rowBytes];
            for (int c = 0; c < side; ++c)
                if (src[c / 8] & (0x80 >> (c % 8))) {
                    row[c].rgbBlue >>= 1;
                    row[c].rgbGreen >>= 1;
                    row[c].rgbRed >>= 1;
                }
        }
    }
    void copy() {
        const size_t w = size_t(ours.width);
        for (int y = 0; y < side; ++y)
            memcpy(&copyTarget[(y + kMargin) * w + kMargin], &source[size_t(y) * side],
                   size_t(side) * 4);
    }
};

std::string size_name(int n) {
    return std::to_string(n) + "x" + std::to_string(n);
}

} // namespace

void add_blit_cases(std::vector<bench_case> &cases) {
    if (SDL_Init(0) != 0) throw std::runtime_error(SDL_GetError());
    const bool avx2 = blit_kernels_for(BLIT_AVX2).level == BLIT_AVX2;
    const bool avx512 = blit_kernels_for(BLIT_AVX512).level == BLIT_AVX512;
    const bool sse2 = blit_kernels_for(BLIT_SSE2).level == BLIT_SSE2;
    // The fast form's goals are on the form the library draws with here.
    const char *fastest = avx512 ? "avx512" : avx2 ? "avx2" : "portable";
    for (shape kind : {shape::body, shape::random})
        for (int n : {64, 256, 1024}) {
            auto b = std::make_shared<sprite_bench>(n, kind);
            bench_case c;
            c.group = "8-bit sprite";
            c.name = std::string(kind == shape::body ? "shaped " : "random ") + size_name(n);
            c.items = double(n) * n;
            c.contenders.push_back({"portable", [b] { b->draw(BLIT_PORTABLE); }, nullptr});
            if (avx2) c.contenders.push_back({"avx2", [b] { b->draw(BLIT_AVX2); }, nullptr});
            if (avx512)
                c.contenders.push_back({"avx512", [b] { b->draw(BLIT_AVX512); }, nullptr});
            c.contenders.push_back({"SDL2", [b] { b->sdl(); }, nullptr});
            c.contenders.push_back({"per-pixel loop", [b] { b->per_pixel(); }, nullptr});
            c.contenders.push_back({"memcpy", [b] { b->copy(); }, nullptr});
            const bool body = kind == shape::body;
            c.ratios.push_back({"portable", "SDL2",
                                body       ? (n == 64 ? 1.0 : 1.3)
                                : n == 256 ? 3
                                           : 0});
            const double fastGoal = body ? 2.0 : n == 256 ? 10 : 0;
            if (avx2) c.ratios.push_back({"avx2", "SDL2", avx512 ? 0 : fastGoal});
            if (avx512) c.ratios.push_back({"avx512", "SDL2", fastGoal});
            c.ratios.push_back({"portable", "per-pixel loop", 0});
            c.ratios.push_back({"memcpy", fastest, 0});
            if (n == 256) c.instructionCounted = {"portable", "SDL2", "per-pixel loop"};
            cases.push_back(std::move(c));
        }
    for (bool dithered : {false, true})
        for (int n : {64, 256, 1024}) {
            auto b = std::make_shared<shadow_bench>(n, dithered);
            bench_case c;
            c.group = "1-bit shadow";
            c.name = std::string(dithered ? "dithered " : "solid ") + size_name(n);
            c.items = double(n) * n;
            c.contenders.push_back({"portable", [b] { b->draw(BLIT_PORTABLE); }, nullptr});
            if (sse2) c.contenders.push_back({"sse2", [b] { b->draw(BLIT_SSE2); }, nullptr});
            if (avx2) c.contenders.push_back({"avx2", [b] { b->draw(BLIT_AVX2); }, nullptr});
            c.contenders.push_back({"per-bit loop", [b] { b->per_bit(); }, nullptr});
            c.contenders.push_back({"memcpy", [b] { b->copy(); }, nullptr});
            const double goal = n < 256 ? 0 : dithered ? 5 : 8;
            c.ratios.push_back({"portable", "per-bit loop", 0});
            if (sse2) c.ratios.push_back({"sse2", "per-bit loop", avx2 ? 0 : goal});
            if (avx2) c.ratios.push_back({"avx2", "per-bit loop", goal});
            c.ratios.push_back({"memcpy", avx2 ? "avx2" : sse2 ? "sse2" : "portable", 0});
            if (n == 256) c.instructionCounted = {"portable", "per-bit loop"};
            cases.push_back(std::move(c));
        }
    blit_use_level(BLIT_BEST);
}

} // namespace bench
