// The draw check: every object of whatever loads, drawn into guarded surfaces
// and compared with a slow per-pixel reference.
#include "art_set.h"
#include "fuzz_checks.h"
#include "fuzz_input.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

constexpr size_t kGuard = 8;           // pixels before and after every surface
constexpr int64_t kMaxFitSide = 256;   // rectangle-sized surfaces no larger than this
constexpr int64_t kMaxFitArea = 16384; // ... and this many pixels
// Surfaces up to this many pixels get their fill by a copy.
constexpr size_t kLargestSurface = (kMaxFitSide + 2) * (kMaxFitSide + 2);

int32_t le32(const uint8_t *p) {
    return int32_t(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 |
                   uint32_t(p[3]) << 24);
}

// A surface as a caller owns it: guard pixels on both sides of the pixels,
// everything filled with a pattern that shows halving and overwriting.
struct surface {
    BITMAPINFO info{};
    int64_t width = 0, rows = 0; // valid pixels; 0 when the header has none
    std::vector<RGBQUAD> mem;

    surface(int32_t biWidth, int32_t biHeight, uint16_t bitCount) {
        make(biWidth, biHeight, bitCount);
    }

    // Reuses the memory already held.
    void make(int32_t biWidth, int32_t biHeight, uint16_t bitCount) {
        info = BITMAPINFO{};
        width = rows = 0;
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = biWidth;
        info.bmiHeader.biHeight = biHeight;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = bitCount;
        if (biWidth > 0 && biHeight != 0) {
            width = biWidth;
            rows = biHeight < 0 ? -int64_t(biHeight) : biHeight;
        }
        mem.resize(size_t(width * rows) + 2 * kGuard);
        const std::vector<RGBQUAD> &fill = pattern::filled();
        const size_t copied = std::min(mem.size(), fill.size());
        std::memcpy(mem.data(), fill.data(), copied * sizeof(RGBQUAD));
        for (size_t i = copied; i < mem.size(); ++i) mem[i] = pattern().at(i);
    }

    // What a surface holds before any draw: a pattern that shows halving and
    // overwriting, the same for every surface.
    struct pattern {
        RGBQUAD at(size_t i) const {
            uint32_t v = uint32_t(i) * 2654435761u;
            return RGBQUAD{uint8_t(v >> 24), uint8_t(v >> 16), uint8_t(v >> 8), uint8_t(v)};
        }
        bool holds(const std::vector<RGBQUAD> &mem, size_t i) const {
            RGBQUAD want = at(i);
            return std::memcmp(&mem[i], &want, 4) == 0;
        }
        // The pattern for the largest surface made.
        static const std::vector<RGBQUAD> &filled() {
            static const std::vector<RGBQUAD> all = [] {
                std::vector<RGBQUAD> v(kLargestSurface + 2 * kGuard);
                for (size_t i = 0; i < v.size(); ++i) v[i] = pattern().at(i);
                return v;
            }();
            return all;
        }
    };
    // Back to what `blank` holds, which has the same size.
    void reset(const surface &blank) {
        info = blank.info;
        std::memcpy(mem.data(), blank.mem.data(), mem.size() * sizeof(RGBQUAD));
    }
    RGBQUAD *pixels() { return mem.data() + kGuard; }
    bool topDown() const { return info.bmiHeader.biHeight < 0; }
    // Display pixel (x, y), as the row order places it in memory.
    size_t index(int64_t x, int64_t y) const {
        int64_t row = topDown() ? y : rows - 1 - y;
        return kGuard + size_t(row * width + x);
    }
    RGBQUAD &at(int64_t x, int64_t y) { return mem[index(x, y)]; }
};

// The pixel rules, pixel by pixel over the surface, with no shortcut: the
// image's pixel (c, r) lands on display pixel (x + c, y + r).
void reference_image(const mem_image &im, surface &s, int64_t x, int64_t y) {
    const int64_t width = im.width, height = im.height;
    const bool mask = im.type == 4 || im.type == 5;
    if (width <= 0 || height <= 0 || !im.pixels || s.info.bmiHeader.biBitCount != 32) return;
    // Rows too short for the width, or no colours, draw nothing at all.
    const mem_palette *pal = im.palette;
    if (!mask && (!pal || !pal->colors || im.rowBytes < width)) return;
    const int64_t stride = mask ? ((((width - 1) >> 5) + 1) * 4) : im.rowBytes;
    const int64_t x0 = std::max<int64_t>(0, x), x1 = std::min(s.width, x + width);
    const int64_t y0 = std::max<int64_t>(0, y), y1 = std::min(s.rows, y + height);
    for (int64_t Y = y0; Y < y1; ++Y)
        for (int64_t X = x0; X < x1; ++X) {
            const int64_t c = X - x, r = Y - y;
            RGBQUAD &p = s.at(X, Y);
            if (mask) {
                if (im.pixels[r * stride + c / 8] & (0x80 >> (c % 8))) {
                    p.rgbBlue >>= 1;
                    p.rgbGreen >>= 1;
                    p.rgbRed >>= 1;
                }
            } else {
                uint8_t v = im.pixels[r * stride + c];
                if (v != 0 && v < pal->colorCount) p = pal->colors[v];
            }
        }
}

void reference_pic(const mem_pic &p, surface &s, int64_t x, int64_t y) {
    if (p.image) reference_image(*p.image, s, x + p.x, y + p.y);
}

void reference_frame(const mem_frame &f, surface &s, int64_t x, int64_t y) {
    for (unsigned i = 0; f.pics && i < f.picCount; ++i) reference_pic(f.pics[i], s, x, y);
}

std::string first_difference(const surface &got, const surface &want) {
    if (std::memcmp(got.mem.data(), want.mem.data(), got.mem.size() * 4) == 0 &&
        std::memcmp(&got.info, &want.info, sizeof got.info) == 0)
        return "";
    for (size_t i = 0; i < got.mem.size(); ++i)
        if (std::memcmp(&got.mem[i], &want.mem[i], 4) != 0) {
            if (i < kGuard || i >= got.mem.size() - kGuard)
                return "guard pixel " + std::to_string(i) + " changed";
            return "pixel at memory index " + std::to_string(i - kGuard) + " differs";
        }
    if (std::memcmp(&got.info, &want.info, sizeof got.info) != 0) return "the header changed";
    return "";
}

// 64-bit rectangles, held to the 32-bit range as the library documents.
struct rect64 {
    int64_t left, top, right, bottom;
};

LONG clamp32(int64_t v) {
    return LONG(std::min<int64_t>(std::max<int64_t>(v, INT32_MIN), INT32_MAX));
}

bool same_rect(const RECT &r, const rect64 &want) {
    return r.left == clamp32(want.left) && r.top == clamp32(want.top) &&
           r.right == clamp32(want.right) && r.bottom == clamp32(want.bottom);
}

rect64 image_rect(const mem_image &im) {
    return {0, 0, im.width, im.height};
}

rect64 pic_rect(const mem_pic &p) {
    if (!p.image) return {p.x, p.y, p.x, p.y};
    return {p.x, p.y, p.x + int64_t(p.image->width), p.y + int64_t(p.image->height)};
}

rect64 frame_rect(const mem_frame &f) {
    rect64 all{0, 0, 0, 0};
    bool any = false;
    for (unsigned i = 0; f.pics && i < f.picCount; ++i) {
        if (!f.pics[i].image) continue;
        rect64 r = pic_rect(f.pics[i]);
        if (!any) all = r;
        all = {std::min(all.left, r.left), std::min(all.top, r.top), std::max(all.right, r.right),
               std::max(all.bottom, r.bottom)};
        any = true;
    }
    return all;
}

// Frames that cover nothing add nothing; a group of none gets (0, 0, 0, 0).
rect64 group_rect(const mem_group &g) {
    rect64 all{0, 0, 0, 0};
    bool any = false;
    for (uint32_t i = 0; g.frames && i < g.frameCount; ++i) {
        rect64 r = frame_rect(g.frames[i]);
        if (r.right <= r.left || r.bottom <= r.top) continue;
        if (!any) all = r;
        all = {std::min(all.left, r.left), std::min(all.top, r.top), std::max(all.right, r.right),
               std::max(all.bottom, r.bottom)};
        any = true;
    }
    return all;
}

struct draw_check {
    const surface_choice &choice;
    const surface blank; // the chosen surface before any draw
    surface got, expect; // drawn by the library and by the reference
    surface fit{0, 0, 32};
    std::string fault;

    explicit draw_check(const surface_choice &c)
        : choice(c), blank(c.width, c.height, c.bitCount), got(blank), expect(blank) {}

    // One object at one anchor against the reference; `want` is the result
    // the draw must give.
    template <typename Obj, typename Ref>
    bool draw_at(const char *kind, uint32_t index, Obj &obj, Ref ref, bool want, int32_t x,
                 int32_t y) {
        got.reset(blank);
        expect.reset(blank);
        bool result = obj.draw(got.pixels(), &got.info, x, y);
        ref(obj, expect, x, y);
        std::string diff = first_difference(got, expect);
        if (result != want) diff = std::string("result ") + (result ? "true" : "false");
        if (diff.empty()) return true;
        fault = std::string(kind) + " " + std::to_string(index) + " at (" + std::to_string(x) +
                ", " + std::to_string(y) + ") on " + std::to_string(choice.width) + " x " +
                std::to_string(choice.height) + ": " + diff;
        return false;
    }

    // A frame drawn at (-left, -top) into a surface of its rectangle's size,
    // with a one-pixel ring around it, touches nothing in the ring.
    bool stays_in_rect(uint32_t index, mem_frame &f) {
        RECT r;
        f.getDrawRect(&r);
        const int64_t w = int64_t(r.right) - r.left, h = int64_t(r.bottom) - r.top;
        if (w <= 0 || h <= 0 || w > kMaxFitSide || h > kMaxFitSide || w * h > kMaxFitArea)
            return true;
        const int32_t ringed = int32_t(h + 2);
        surface &s = fit;
        s.make(int32_t(w + 2), choice.height < 0 ? -ringed : ringed, 32);
        f.draw(s.pixels(), &s.info, int32_t(1 - int64_t(r.left)), int32_t(1 - int64_t(r.top)));
        // The fill pattern depends only on the memory index.
        const surface::pattern fill;
        for (size_t i = 0; i < kGuard; ++i)
            if (!fill.holds(s.mem, i) || !fill.holds(s.mem, s.mem.size() - 1 - i)) {
                fault = "frame " + std::to_string(index) + " drew past its surface";
                return false;
            }
        for (int64_t y = 0; y < s.rows; ++y)
            for (int64_t x = 0; x < s.width; x += (y == 0 || y == s.rows - 1) ? 1 : s.width - 1)
                if (!fill.holds(s.mem, s.index(x, y))) {
                    fault = "frame " + std::to_string(index) + " drew outside its rectangle at (" +
                            std::to_string(x - 1) + ", " + std::to_string(y - 1) + ")";
                    return false;
                }
        return true;
    }

    bool rect_is(const char *kind, uint32_t index, const RECT &r, const rect64 &want) {
        if (same_rect(r, want)) return true;
        fault = std::string(kind) + " " + std::to_string(index) + " has the wrong draw rectangle";
        return false;
    }
};

} // namespace

surface_choice read_surface_choice(const uint8_t *b) {
    surface_choice c;
    c.width = b[0] & 0x3F;
    if (b[0] & 0x40) c.width = -c.width;
    c.height = b[1] & 0x3F;
    if (b[1] & 0x40) c.height = -c.height;
    c.bitCount = b[2] & 1 ? 24 : 32;
    c.nearX = int8_t(b[3]);
    c.nearY = int8_t(b[4]);
    c.farX = le32(b + 5);
    c.farY = le32(b + 9);
    return c;
}

std::string check_set_draws(art_handle &h, const surface_choice &choice) {
    // What each kind of draw must answer on this surface: an image draw
    // refuses a surface that isn't 32-bit or has no rows, a picture passes
    // that on (and fails without an image), a frame always succeeds.
    const bool usable = choice.bitCount == 32 && choice.height != 0;
    draw_check d(choice);
    const int32_t xs[] = {choice.nearX, choice.farX}, ys[] = {choice.nearY, choice.farY};
    auto image_ref = [](mem_image &im, surface &s, int64_t x, int64_t y) {
        reference_image(im, s, x, y);
    };
    auto pic_ref = [](mem_pic &p, surface &s, int64_t x, int64_t y) { reference_pic(p, s, x, y); };
    auto frame_ref = [](mem_frame &f, surface &s, int64_t x, int64_t y) {
        reference_frame(f, s, x, y);
    };
    RECT r;
    for (uint32_t i = 0; i < h.imageCount; ++i) {
        mem_image &im = h.images[i];
        for (int a = 0; a < 2; ++a)
            if (!d.draw_at("image", i, im, image_ref, usable, xs[a], ys[a])) return d.fault;
        if (!im.getDrawRect(&r) || !d.rect_is("image", i, r, image_rect(im))) return d.fault;
    }
    for (uint32_t i = 0; i < h.picCount; ++i) {
        mem_pic &p = h.pics[i];
        for (int a = 0; a < 2; ++a)
            if (!d.draw_at("picture", i, p, pic_ref, usable && p.image, xs[a], ys[a]))
                return d.fault;
        if (!p.getDrawRect(&r) || !d.rect_is("picture", i, r, pic_rect(p))) return d.fault;
    }
    for (uint32_t i = 0; i < h.frameCount; ++i) {
        mem_frame &f = h.frames[i];
        for (int a = 0; a < 2; ++a)
            if (!d.draw_at("frame", i, f, frame_ref, true, xs[a], ys[a])) return d.fault;
        if (!f.getDrawRect(&r) || !d.rect_is("frame", i, r, frame_rect(f))) return d.fault;
        if (!d.stays_in_rect(i, f)) return d.fault;
    }
    for (uint32_t i = 0; i < h.groupCount; ++i) {
        mem_group &g = h.groups[i];
        if (!g.getDrawRect(&r) || !d.rect_is("group", i, r, group_rect(g))) return d.fault;
    }
    // The index exports stop at the ends of their tables.
    surface s(choice.width, choice.height, choice.bitCount);
    const surface before = s;
    if (drawImageDIB(s.pixels(), &s.info, 0, 0, &h, h.imageCount) ||
        drawPicDIB(s.pixels(), &s.info, 0, 0, &h, h.picCount) ||
        drawFrameDIB(s.pixels(), &s.info, 0, 0, &h, h.frameCount) ||
        !first_difference(s, before).empty())
        return "an index at the end of its table was drawn";
    return "";
}

std::string check_draw_input(const uint8_t *data, size_t size, int *codeOut) {
    if (size < kSurfaceChoiceBytes) return "";
    const surface_choice choice = read_surface_choice(data);
    fuzz_files f = split_fuzz_input(data + kSurfaceChoiceBytes, size - kSurfaceChoiceBytes);
    memory_source prt(f.prt, f.prtSize), bmp(f.bmp, f.bmpSize);
    art_handle h;
    const int code = load_art(&h, "fuzz.bmp", "fuzz.prt", &bmp, &prt);
    if (codeOut) *codeOut = code;
    std::string fault = code == ART_OK ? check_set_draws(h, choice) : "";
    CloseArt(&h);
    return fault;
}
