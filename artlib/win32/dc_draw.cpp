// Drawing images, pictures and frames onto device contexts, and FillDC.
//
// A device context can't be composed on directly, so each image captures the
// block of the context it will cover into a 32-bit buffer, composes there with
// the surface drawing of compose.cpp (the same pixel rules and row loops) and
// writes the block back. Every device context, bitmap and buffer taken is
// released before the call returns.
#include "art_set.h"

#include <windows.h>

#include <stdint.h>
#include <stdlib.h>

#include <memory>

namespace {

struct free_deleter {
    void operator()(void *p) const { free(p); }
};

// GDI sizes are 32-bit signed, and a block past 2 GiB can't be had by a
// 32-bit process anyway.
constexpr uint64_t kMaxBlockBytes = INT32_MAX;

// The rectangle that clipping cuts to and FillDC fills: the client area of the
// window that owns dc. A context of no window (a memory context) has no client
// area; the bitmap selected into it bounds what it can show, so its bounds
// stand in. Any other context has no rectangle.
bool target_rect(HDC dc, RECT &r) {
    if (HWND window = WindowFromDC(dc)) return GetClientRect(window, &r) != 0;
    HGDIOBJ bitmap = GetCurrentObject(dc, OBJ_BITMAP);
    BITMAP bm;
    if (!bitmap || GetObjectA(bitmap, sizeof bm, &bm) != sizeof bm) return false;
    r = {0, 0, bm.bmWidth, bm.bmHeight};
    return true;
}

// Captures the w x h block at (x, y) of dc, draws the image on it at
// (-leftSkip, -topSkip) and writes it back. When the buffer, memory context or
// section can't be had, or the capture fails, nothing is written: the device
// never sees a pixel that wasn't captured.
void compose_block(mem_image &im, HDC dc, int x, int y, int w, int h, int leftSkip, int topSkip) {
    if (uint64_t(w) * uint64_t(h) * 4 > kMaxBlockBytes) return;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = -h; // top-down: buffer row r is display row r
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = BI_RGB;
    std::unique_ptr<RGBQUAD, free_deleter> buffer(
        static_cast<RGBQUAD *>(malloc(size_t(w) * size_t(h) * 4)));
    if (!buffer) return;

    HDC memory = CreateCompatibleDC(dc);
    if (!memory) return;
    bool captured = false;
    void *bits = nullptr;
    if (HBITMAP section = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0)) {
        HGDIOBJ previous = SelectObject(memory, section);
        if (previous && previous != HGDI_ERROR) {
            captured = BitBlt(memory, 0, 0, w, h, dc, x, y, SRCCOPY) != 0;
            // GetDIBits wants the bitmap out of every context.
            SelectObject(memory, previous);
            BITMAPINFO read = info; // GetDIBits may fill in header fields
            captured = captured && GetDIBits(memory, section, 0, UINT(h), buffer.get(), &read,
                                             DIB_RGB_COLORS) == h;
        }
        DeleteObject(section);
    }
    DeleteDC(memory);
    if (!captured) return;

    im.draw(buffer.get(), &info, -leftSkip, -topSkip);
    SetDIBitsToDevice(dc, x, y, DWORD(w), DWORD(h), 0, 0, 0, UINT(h), buffer.get(), &info,
                      DIB_RGB_COLORS);
}

// Positions are 64-bit so that an anchor plus a picture offset can't
// overflow; whatever reaches GDI is 32-bit again.
bool draw_image(mem_image &im, HDC dc, int64_t x, int64_t y, bool clip) {
    int64_t w = im.width, h = im.height, leftSkip = 0, topSkip = 0;
    if (clip) {
        RECT r;
        if (!target_rect(dc, r)) return true;
        if (x + w <= r.left || y + h <= r.top || x >= r.right || y >= r.bottom) return true;
        if (x + w > r.right) w = r.right - x;
        if (y + h > r.bottom) h = r.bottom - y;
        if (x < r.left) {
            leftSkip = r.left - x;
            w -= leftSkip;
            x = r.left;
        }
        if (y < r.top) {
            topSkip = r.top - y;
            h -= topSkip;
            y = r.top;
        }
    }
    if (w <= 0 || h <= 0) return true;
    // Only an unclipped block can reach past the coordinates GDI has; none of
    // it could show.
    if (x < INT32_MIN || y < INT32_MIN || x + w > INT32_MAX || y + h > INT32_MAX) return true;
    compose_block(im, dc, int(x), int(y), int(w), int(h), int(leftSkip), int(topSkip));
    return true;
}

// As on surfaces: a picture without an image has nothing to draw.
bool draw_pic(const mem_pic &p, HDC dc, int64_t x, int64_t y, bool clip) {
    if (!p.image) return false;
    return draw_image(*p.image, dc, x + p.x, y + p.y, clip);
}

} // namespace

bool mem_image::draw(HDC dc, int x, int y, bool clip) {
    return draw_image(*this, dc, x, y, clip);
}

bool mem_pic::draw(HDC dc, int x, int y, bool clip) {
    return draw_pic(*this, dc, x, y, clip);
}

bool mem_frame::draw(HDC dc, int x, int y, bool clip) {
    mem_pic *run = pics;
    if (!run) return true;
    for (unsigned i = 0; i < picCount; ++i) draw_pic(run[i], dc, x, y, clip);
    return true;
}

extern "C" {

int FillDC(HDC dc, DWORD color) {
    RECT r;
    if (!target_rect(dc, r)) return 0;
    const int64_t w = int64_t(r.right) - r.left, h = int64_t(r.bottom) - r.top;
    if (w <= 0 || h <= 0) return 0;
    const uint64_t rowBytes = uint64_t(w + 3) & ~uint64_t(3);
    if (rowBytes * uint64_t(h) > kMaxBlockBytes) return 0;
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    info.bmiHeader.biWidth = LONG(w);
    info.bmiHeader.biHeight = LONG(h);
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 8;
    info.bmiHeader.biCompression = BI_RGB;
    info.bmiHeader.biClrUsed = 1;
    info.bmiHeader.biClrImportant = 1;
    // The colour comes in RGBQUAD order: blue in the lowest byte.
    info.bmiColors[0] =
        RGBQUAD{BYTE(color), BYTE(color >> 8), BYTE(color >> 16), BYTE(color >> 24)};
    // Every pixel is index 0, the one colour.
    std::unique_ptr<uint8_t, free_deleter> pixels(
        static_cast<uint8_t *>(calloc(size_t(rowBytes * uint64_t(h)), 1)));
    if (!pixels) return 0;
    return SetDIBitsToDevice(dc, 0, 0, DWORD(w), DWORD(h), 0, 0, 0, UINT(h), pixels.get(), &info,
                             DIB_RGB_COLORS);
}

bool drawImage(HDC dc, int x, int y, art_handle *art, unsigned index, bool clip) {
    if (!art_loaded(art) || index >= art->imageCount) return false;
    return art->images[index].draw(dc, x, y, clip);
}

bool drawPic(HDC dc, int x, int y, art_handle *art, unsigned index, bool clip) {
    if (!art_loaded(art) || index >= art->picCount) return false;
    return art->pics[index].draw(dc, x, y, clip);
}

bool drawFrame(HDC dc, int x, int y, art_handle *art, unsigned index, bool clip) {
    if (!art_loaded(art) || index >= art->frameCount) return false;
    return art->frames[index].draw(dc, x, y, clip);
}

} // extern "C"
