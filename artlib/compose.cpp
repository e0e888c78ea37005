// Drawing images, pictures and frames onto a 32-bit surface, and their draw
// rectangles.
//
// Positions are carried as 64-bit numbers from the anchor down to the clip,
// so an anchor plus an offset or a position plus a width never overflows.
// The image rectangle is clipped against the surface once; the row loops of
// blitter.h (the fastest this processor runs) then touch only pixels that lie
// inside it.
#include "art_set.h"
#include "blitter.h"

#include <algorithm>
#include <stdint.h>

namespace {

bool is_mask(const mem_image &im) {
    return im.type == 4 || im.type == 5;
}

bool draw_image(const mem_image &im, RGBQUAD *surface, const BITMAPINFO *info, int64_t x,
                int64_t y) {
    if (!surface || !info) return false;
    const BITMAPINFOHEADER &h = info->bmiHeader;
    if (h.biBitCount != 32 || h.biHeight == 0) return false;

    const int64_t width = im.width, height = im.height;
    const int64_t surfWidth = h.biWidth;
    const int64_t rows = h.biHeight < 0 ? -int64_t(h.biHeight) : int64_t(h.biHeight);
    const bool mask = is_mask(im);
    uint8_t *const pixels = im.pixels;
    mem_palette *const palette = im.palette;
    const int64_t rowBytes = im.rowBytes;
    // Nothing to draw, or nothing that can be drawn safely: no pixels, no
    // colours, or 8-bit rows too short for the width (they would run past the
    // block). None of these is a fault of the surface, so the result is true.
    if (width <= 0 || height <= 0 || surfWidth <= 0 || !pixels) return true;
    if (!mask && (!palette || !palette->colors || palette->colorCount == 0 || rowBytes < width))
        return true;

    // Clip once.
    const int64_t left = std::max<int64_t>(x, 0), right = std::min(x + width, surfWidth);
    const int64_t top = std::max<int64_t>(y, 0), bottom = std::min(y + height, rows);
    if (left >= right || top >= bottom) return true;
    const size_t n = size_t(right - left);
    const int64_t skipCols = left - x, skipRows = top - y;

    // Display row Y is memory row Y of a top-down surface and rows - 1 - Y of
    // a bottom-up one: walk down or up the memory.
    const bool topDown = h.biHeight < 0;
    const int64_t firstRow = topDown ? top : rows - 1 - top;
    const ptrdiff_t dstStep = ptrdiff_t(topDown ? surfWidth : -surfWidth);
    RGBQUAD *dst = surface + ptrdiff_t(firstRow * surfWidth + left);
    const blit_kernels &loops = blitter();
    blit_rows r{dst, dstStep, nullptr, 0, n, size_t(bottom - top)};
    if (mask) {
        // Rows padded to whole 32-bit words; a clipped row can start mid-byte.
        r.srcStep = ptrdiff_t((((width - 1) >> 5) + 1) * 4);
        r.src = pixels + ptrdiff_t(skipRows * r.srcStep + (skipCols >> 3));
        loops.shadow(r, unsigned(skipCols & 7));
    } else {
        r.srcStep = ptrdiff_t(rowBytes);
        r.src = pixels + ptrdiff_t(skipRows * rowBytes + skipCols);
        loops.indexed(r, palette->colors, palette->colorCount);
    }
    return true;
}

// A picture without an image is a table entry no frame filled: it has nothing
// to draw, so a draw of it alone fails and a frame passes over it.
bool draw_pic(const mem_pic &p, RGBQUAD *surface, const BITMAPINFO *info, int64_t x, int64_t y) {
    if (!p.image) return false;
    return draw_image(*p.image, surface, info, x + p.x, y + p.y);
}

LONG clamp_long(int64_t v) {
    return LONG(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

// The picture's rectangle in 64 bits; false for a picture without an image.
struct rect64 {
    int64_t left, top, right, bottom;
};

bool pic_rect(const mem_pic &p, rect64 &r) {
    if (!p.image) return false;
    const int64_t width = p.image->width, height = p.image->height;
    r = {p.x, p.y, p.x + width, p.y + height};
    return true;
}

bool set_rect(RECT *out, const rect64 &r) {
    if (!out) return false;
    // Offset plus size can pass the 32-bit range only for absurd image
    // sizes; such a side is held at the range's end.
    *out = {clamp_long(r.left), clamp_long(r.top), clamp_long(r.right), clamp_long(r.bottom)};
    return true;
}

} // namespace

bool mem_image::draw(RGBQUAD *surface, BITMAPINFO *info, int x, int y) {
    return draw_image(*this, surface, info, x, y);
}

bool mem_pic::draw(RGBQUAD *surface, BITMAPINFO *info, int x, int y) {
    return draw_pic(*this, surface, info, x, y);
}

bool mem_frame::draw(RGBQUAD *surface, BITMAPINFO *info, int x, int y) {
    mem_pic *run = pics;
    if (!run) return true;
    for (unsigned i = 0; i < picCount; ++i) draw_pic(run[i], surface, info, x, y);
    return true;
}

// A null `out` has nowhere to put the rectangle and is the one failure.
bool mem_image::getDrawRect(RECT *out) {
    return set_rect(out, {0, 0, width, height});
}

// A picture without an image covers nothing: the empty rectangle at its offset.
bool mem_pic::getDrawRect(RECT *out) {
    rect64 r{x, y, x, y};
    pic_rect(*this, r);
    return set_rect(out, r);
}

// Pictures without an image add nothing; a frame with no picture that has one
// (an empty run included) gets the empty rectangle at the anchor.
bool mem_frame::getDrawRect(RECT *out) {
    rect64 all{0, 0, 0, 0};
    bool any = false;
    mem_pic *run = pics;
    for (unsigned i = 0; run && i < picCount; ++i) {
        rect64 r;
        if (!pic_rect(run[i], r)) continue;
        if (!any) {
            all = r;
            any = true;
            continue;
        }
        all.left = std::min(all.left, r.left);
        all.top = std::min(all.top, r.top);
        all.right = std::max(all.right, r.right);
        all.bottom = std::max(all.bottom, r.bottom);
    }
    return set_rect(out, all);
}

extern "C" {

bool drawImageDIB(RGBQUAD *surface, BITMAPINFO *info, int x, int y, art_handle *art,
                  unsigned index) {
    if (!art_loaded(art) || index >= art->imageCount) return false;
    return art->images[index].draw(surface, info, x, y);
}

bool drawPicDIB(RGBQUAD *surface, BITMAPINFO *info, int x, int y, art_handle *art, unsigned index) {
    if (!art_loaded(art) || index >= art->picCount) return false;
    return art->pics[index].draw(surface, info, x, y);
}

bool drawFrameDIB(RGBQUAD *surface, BITMAPINFO *info, int x, int y, art_handle *art,
                  unsigned index) {
    if (!art_loaded(art) || index >= art->frameCount) return false;
    return art->frames[index].draw(surface, info, x, y);
}

} // extern "C"
