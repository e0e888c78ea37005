// The draw check: every object of whatever loads, drawn into guarded surfaces
// and compared with the per-pixel reference.
#include "fuzz_checks.h"
#include "fuzz_input.h"
#include "reference_draw.h"

namespace {

using reference::surface;

constexpr int64_t kMaxFitSide = 256;   // rectangle-sized surfaces no larger than this
constexpr int64_t kMaxFitArea = 16384; // ... and this many pixels

int32_t le32(const uint8_t *p) {
    return int32_t(uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 |
                   uint32_t(p[3]) << 24);
}

// Rectangles in 64 bits, held to the 32-bit range as the library documents.
struct rect64 {
    int64_t left, top, right, bottom;
};

void unite(rect64 &all, bool &any, const rect64 &r) {
    all = !any ? r
               : rect64{std::min(all.left, r.left), std::min(all.top, r.top),
                        std::max(all.right, r.right), std::max(all.bottom, r.bottom)};
    any = true;
}

rect64 pic_rect(const mem_pic &p) {
    if (!p.image) return {p.x, p.y, p.x, p.y};
    return {p.x, p.y, p.x + int64_t(p.image->width), p.y + int64_t(p.image->height)};
}

// Pictures without an image add nothing; nothing at all is (0, 0, 0, 0).
rect64 frame_rect(const mem_frame &f) {
    rect64 all{0, 0, 0, 0};
    bool any = false;
    for (unsigned i = 0; f.pics && i < f.picCount; ++i)
        if (f.pics[i].image) unite(all, any, pic_rect(f.pics[i]));
    return all;
}

// Frames that cover nothing add nothing.
rect64 group_rect(const mem_group &g) {
    rect64 all{0, 0, 0, 0};
    bool any = false;
    for (uint32_t i = 0; g.frames && i < g.frameCount; ++i) {
        const rect64 r = frame_rect(g.frames[i]);
        if (r.right > r.left && r.bottom > r.top) unite(all, any, r);
    }
    return all;
}

LONG clamp32(int64_t v) {
    return LONG(std::min<int64_t>(std::max<int64_t>(v, INT32_MIN), INT32_MAX));
}

struct draw_check {
    const surface_choice &choice;
    const surface blank; // the chosen surface before any draw
    surface got = blank, expect = blank, fit = blank;
    std::string fault;

    explicit draw_check(const surface_choice &c)
        : choice(c), blank(c.width, c.height, c.bitCount) {}

    // One object at one anchor against the reference; `want` is the result
    // the draw must give.
    template <typename Obj, typename Ref>
    bool draw_at(const char *kind, uint32_t index, Obj &obj, Ref ref, bool want, int32_t x,
                 int32_t y) {
        got = blank;
        expect = blank;
        const bool result = obj.draw(got.pixels(), &got.info, x, y);
        ref(obj, expect, x, y);
        std::string diff = reference::first_difference(got, expect);
        if (result != want) diff = std::string("result ") + (result ? "true" : "false");
        if (diff.empty()) return true;
        fault = std::string(kind) + " " + std::to_string(index) + " at (" + std::to_string(x) +
                ", " + std::to_string(y) + ") on " + std::to_string(choice.width) + " x " +
                std::to_string(choice.height) + ": " + diff;
        return false;
    }

    bool rect_is(const char *kind, uint32_t index, RECT &r, const rect64 &w) {
        if (r.left == clamp32(w.left) && r.top == clamp32(w.top) && r.right == clamp32(w.right) &&
            r.bottom == clamp32(w.bottom))
            return true;
        fault = std::string(kind) + " " + std::to_string(index) + " has the wrong draw rectangle";
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
        surface &s = fit;
        s.make(int32_t(w + 2), int32_t(choice.height < 0 ? -(h + 2) : h + 2));
        f.draw(s.pixels(), &s.info, int32_t(1 - int64_t(r.left)), int32_t(1 - int64_t(r.top)));
        const size_t last = s.mem.size() - 1;
        for (size_t i = 0; i < reference::kGuard; ++i)
            if (!reference::same(s.mem[i], surface::fill(i)) ||
                !reference::same(s.mem[last - i], surface::fill(last - i)))
                fault = "frame " + std::to_string(index) + " drew past its surface";
        for (int64_t y = 0; y < s.rows; ++y)
            for (int64_t x = 0; x < s.width; x += (y == 0 || y == s.rows - 1) ? 1 : s.width - 1)
                if (!reference::same(s.mem[s.index(x, y)], surface::fill(s.index(x, y))))
                    fault = "frame " + std::to_string(index) + " drew outside its rectangle at (" +
                            std::to_string(x - 1) + ", " + std::to_string(y - 1) + ")";
        return fault.empty();
    }
};

surface_choice read_surface_choice(const uint8_t *b) {
    surface_choice c;
    c.width = b[0] & 0x40 ? -(b[0] & 0x3F) : b[0] & 0x3F;
    c.height = b[1] & 0x40 ? -(b[1] & 0x3F) : b[1] & 0x3F;
    c.bitCount = b[2] & 1 ? 24 : 32;
    c.nearX = int8_t(b[3]);
    c.nearY = int8_t(b[4]);
    c.farX = le32(b + 5);
    c.farY = le32(b + 9);
    return c;
}

} // namespace

std::string check_set_draws(art_handle &h, const surface_choice &choice) {
    // What each kind of draw must answer on this surface: an image draw
    // refuses a surface that isn't 32-bit or has no rows, a picture passes
    // that on (and fails without an image), a frame always succeeds.
    const bool usable = choice.bitCount == 32 && choice.height != 0;
    draw_check d(choice);
    const int32_t xs[] = {choice.nearX, choice.farX}, ys[] = {choice.nearY, choice.farY};
    RECT r;
    for (uint32_t i = 0; i < h.imageCount; ++i)
        for (int a = 0; a < 2; ++a)
            if (!d.draw_at("image", i, h.images[i], reference::draw_image, usable, xs[a], ys[a]) ||
                !h.images[i].getDrawRect(&r) ||
                !d.rect_is("image", i, r, {0, 0, h.images[i].width, h.images[i].height}))
                return d.fault;
    for (uint32_t i = 0; i < h.picCount; ++i)
        for (int a = 0; a < 2; ++a)
            if (!d.draw_at("picture", i, h.pics[i], reference::draw_pic, usable && h.pics[i].image,
                           xs[a], ys[a]) ||
                !h.pics[i].getDrawRect(&r) || !d.rect_is("picture", i, r, pic_rect(h.pics[i])))
                return d.fault;
    for (uint32_t i = 0; i < h.frameCount; ++i)
        for (int a = 0; a < 2; ++a)
            if (!d.draw_at("frame", i, h.frames[i], reference::draw_frame, true, xs[a], ys[a]) ||
                !h.frames[i].getDrawRect(&r) ||
                !d.rect_is("frame", i, r, frame_rect(h.frames[i])) ||
                !d.stays_in_rect(i, h.frames[i]))
                return d.fault;
    for (uint32_t i = 0; i < h.groupCount; ++i)
        if (!h.groups[i].getDrawRect(&r) || !d.rect_is("group", i, r, group_rect(h.groups[i])))
            return d.fault;
    // The index exports draw what the records draw, and stop at the ends of
    // their tables.
    bool (*const exports[])(RGBQUAD *, BITMAPINFO *, int, int, art_handle *,
                            unsigned) = {drawImageDIB, drawPicDIB, drawFrameDIB};
    const uint32_t counts[] = {h.imageCount, h.picCount, h.frameCount};
    for (int k = 0; k < 3; ++k)
        for (uint32_t i = 0; i <= counts[k]; ++i) {
            d.got = d.expect = d.blank;
            const bool result = exports[k](d.got.pixels(), &d.got.info, xs[0], ys[0], &h, i);
            const bool want =
                i == counts[k] ? false
                : k == 0       ? h.images[i].draw(d.expect.pixels(), &d.expect.info, xs[0], ys[0])
                : k == 1       ? h.pics[i].draw(d.expect.pixels(), &d.expect.info, xs[0], ys[0])
                               : h.frames[i].draw(d.expect.pixels(), &d.expect.info, xs[0], ys[0]);
            if (result != want || !reference::first_difference(d.got, d.expect).empty())
                return "index export " + std::to_string(k) + " of object " + std::to_string(i) +
                       " does not draw as the record";
        }
    return "";
}

std::string check_draw_input(const uint8_t *data, size_t size, int *code) {
    if (size < kSurfaceChoiceBytes) return "";
    const surface_choice choice = read_surface_choice(data);
    const fuzz_files f = split_fuzz_input(data + kSurfaceChoiceBytes, size - kSurfaceChoiceBytes);
    art_handle h;
    return check_load(h, f.prt, f.prtSize, f.bmp, f.bmpSize, code, &choice);
}
