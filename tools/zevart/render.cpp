// Objects to pixels through the library: its draw rectangles size the
// surfaces, its surface draws fill them.
#include "render.h"

#include <algorithm>

still still_of(art_handle &art, kind what, uint32_t index) {
    still s{what, index, {0, 0, 0, 0}};
    switch (what) {
    case kind::image:
        art.images[index].getDrawRect(&s.rect);
        break;
    case kind::picture:
        art.pics[index].getDrawRect(&s.rect);
        break;
    case kind::frame:
    case kind::group: // a group is not a still; its frames are (group_frame)
        art.frames[index].getDrawRect(&s.rect);
        break;
    }
    return s;
}

RECT group_rect(art_handle &art, uint32_t group) {
    RECT r{0, 0, 0, 0};
    art.groups[group].getDrawRect(&r);
    return r;
}

still group_frame(art_handle &art, uint32_t group, uint32_t frame, const RECT &rect) {
    const mem_group &g = art.groups[group];
    return still{kind::frame, uint32_t(g.frames - art.frames) + frame, rect};
}

fit surface_fit(const RECT &rect, uint32_t scale, uint32_t &width, uint32_t &height) {
    const int64_t w = int64_t(rect.right) - rect.left, h = int64_t(rect.bottom) - rect.top;
    if (w <= 0 || h <= 0) return fit::empty;
    // The anchor (-left, -top) must be an int for the draw call.
    if (-int64_t(rect.left) > INT32_MAX || -int64_t(rect.top) > INT32_MAX) return fit::too_big;
    const uint64_t sw = uint64_t(w) * scale, sh = uint64_t(h) * scale; // below 2^32 * 2^32
    if (sw > kMaxSurfaceBytes / 4 || sh > kMaxSurfaceBytes / 4 || sw * sh > kMaxSurfaceBytes / 4)
        return fit::too_big;
    width = uint32_t(sw);
    height = uint32_t(sh);
    return fit::ok;
}

std::string fit_problem(fit f, const RECT &rect, uint32_t scale) {
    if (f == fit::empty) return "its draw rectangle is empty: nothing to draw";
    const int64_t w = int64_t(rect.right) - rect.left, h = int64_t(rect.bottom) - rect.top;
    std::string size = std::to_string(w) + " x " + std::to_string(h) + " pixels";
    if (scale > 1) size += " scaled " + std::to_string(scale) + " times";
    return "its draw rectangle (" + size + ") exceeds the limit of " +
           std::to_string(kMaxSurfaceBytes >> 20) + " MiB a picture";
}

surface::surface(uint32_t w, uint32_t h, bool bottomUp, RGBQUAD fill) : info{} {
    reset(w, h, bottomUp, fill);
}

void surface::reset(uint32_t w, uint32_t h, bool bottomUp, RGBQUAD fill) {
    width = w;
    height = h;
    pixels.assign(size_t(w) * h, fill);
    info = BITMAPINFO{};
    BITMAPINFOHEADER &bh = info.bmiHeader;
    bh.biSize = sizeof(BITMAPINFOHEADER);
    bh.biWidth = LONG(w);
    bh.biHeight = bottomUp ? LONG(h) : -LONG(h);
    bh.biPlanes = 1;
    bh.biBitCount = 32;
    bh.biCompression = BI_RGB;
}

void draw_still(art_handle &art, const still &s, surface &target) {
    const int x = int(-int64_t(s.rect.left)), y = int(-int64_t(s.rect.top));
    RGBQUAD *px = target.pixels.data();
    switch (s.what) {
    case kind::image:
        art.images[s.index].draw(px, &target.info, x, y);
        break;
    case kind::picture:
        art.pics[s.index].draw(px, &target.info, x, y);
        break;
    case kind::frame:
    case kind::group:
        art.frames[s.index].draw(px, &target.info, x, y);
        break;
    }
}

void derive_rgba(const RGBQUAD &b, const RGBQUAD &w, uint8_t *rgba) {
    // Over black a pixel shows a*C, over white a*C + (1-a)*255: white shows
    // more by (1-a)*255. Drawing changes the three channels alike, so the
    // largest difference is the one to trust.
    int d = std::max(
        {int(w.rgbRed) - b.rgbRed, int(w.rgbGreen) - b.rgbGreen, int(w.rgbBlue) - b.rgbBlue, 0});
    const int a = 255 - d;
    if (a == 0) {
        rgba[0] = rgba[1] = rgba[2] = rgba[3] = 0;
        return;
    }
    auto unmix = [a](int c) { return uint8_t(std::min(255, (c * 255 + a / 2) / a)); };
    rgba[0] = unmix(b.rgbRed);
    rgba[1] = unmix(b.rgbGreen);
    rgba[2] = unmix(b.rgbBlue);
    rgba[3] = uint8_t(a);
}

namespace {

uint32_t checked_size(const still &s, uint32_t &h) {
    uint32_t w = 0;
    h = 0;
    surface_fit(s.rect, 1, w, h); // callers checked; a refused still gives 0 x 0
    return w;
}

} // namespace

rgba_image render_transparent(art_handle &art, const still &s) {
    rgba_image out;
    out.width = checked_size(s, out.height);
    // The two surfaces live as long as the thread: a picture then costs no
    // fresh memory from the system (on a virtual machine each fresh page, and
    // each page handed back, is slow), unless it is larger than any before.
    thread_local surface black(0, 0, false, kBlack), white(0, 0, false, kWhite);
    black.reset(out.width, out.height, false, kBlack);
    draw_still(art, s, black);
    white.reset(out.width, out.height, false, kWhite);
    draw_still(art, s, white);
    out.px.resize(black.pixels.size() * 4);
    uint8_t *dst = out.px.data();
    for (size_t i = 0; i < black.pixels.size(); ++i, dst += 4) {
        const RGBQUAD &b = black.pixels[i], &w = white.pixels[i];
        // Most pixels are opaque or untouched: settle those without division.
        if (b.rgbRed == w.rgbRed && b.rgbGreen == w.rgbGreen && b.rgbBlue == w.rgbBlue) {
            dst[0] = b.rgbRed, dst[1] = b.rgbGreen, dst[2] = b.rgbBlue, dst[3] = 255;
        } else if ((b.rgbRed | b.rgbGreen | b.rgbBlue) == 0 &&
                   (w.rgbRed & w.rgbGreen & w.rgbBlue) == 255) {
            dst[0] = dst[1] = dst[2] = dst[3] = 0;
        } else {
            derive_rgba(b, w, dst);
        }
    }
    if (black.pixels.capacity() > (size_t(16) << 20) / sizeof(RGBQUAD)) // keep no giant
        black.pixels = {}, white.pixels = {};
    return out;
}

rgba_image render_over(art_handle &art, const still &s, RGBQUAD background) {
    rgba_image out;
    out.width = checked_size(s, out.height);
    surface canvas(out.width, out.height, false, background);
    draw_still(art, s, canvas);
    out.px.resize(canvas.pixels.size() * 4);
    uint8_t *dst = out.px.data();
    for (const RGBQUAD &p : canvas.pixels) {
        *dst++ = p.rgbRed;
        *dst++ = p.rgbGreen;
        *dst++ = p.rgbBlue;
        *dst++ = 255;
    }
    return out;
}

rgba_image scale_nearest(const rgba_image &in, uint32_t scale) {
    if (scale <= 1) return in;
    rgba_image out;
    out.width = in.width * scale;
    out.height = in.height * scale;
    out.px.resize(size_t(out.width) * out.height * 4);
    uint8_t *dst = out.px.data();
    for (uint32_t y = 0; y < out.height; ++y) {
        const uint8_t *row = in.px.data() + size_t(y / scale) * in.width * 4;
        for (uint32_t x = 0; x < in.width; ++x)
            for (uint32_t k = 0; k < scale; ++k, dst += 4) std::copy_n(row + size_t(x) * 4, 4, dst);
    }
    return out;
}

rgba_image render_still(art_handle &art, const still &s, const look &how) {
    rgba_image img =
        how.transparent ? render_transparent(art, s) : render_over(art, s, how.background);
    return scale_nearest(img, how.scale);
}

group_frames::group_frames(art_handle &art, uint32_t group, const RECT &rect, const look &how)
    : art_(art), group_(group), count_(art.groups[group].frameCount), rect_(rect), how_(how) {
    uint32_t w = 0, h = 0;
    surface_fit(rect, how.scale, w, h);
    keepAll_ = uint64_t(w) * h * 4 * count_ <= kMaxSurfaceBytes;
    if (keepAll_) kept_.resize(count_);
}

const rgba_image &group_frames::frame(uint32_t i) {
    if (keepAll_) {
        if (kept_[i].px.empty())
            kept_[i] = render_still(art_, group_frame(art_, group_, i, rect_), how_);
        return kept_[i];
    }
    if (scratchIndex_ != i) {
        scratchIndex_ = UINT32_MAX; // stays so if rendering throws
        scratch_ = render_still(art_, group_frame(art_, group_, i, rect_), how_);
        scratchIndex_ = i;
    }
    return scratch_;
}
