// Drawing onto real device contexts under Wine: windows on the session's
// display and memory contexts, read back pixel by pixel and compared with the
// surface drawing of the same object onto a surface holding what the context
// held. The display is 24-bit, so colours are compared without their fourth
// byte.
#include "art_handle.h"
#include "artset_writer.h"
#include "dc_pixels.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <climits>
#include <cstring>
#include <string>
#include <vector>

namespace {

// A top-down 32-bit surface: what a device context shows, or should show.
struct screen {
    int width, height;
    BITMAPINFO info{};
    std::vector<RGBQUAD> px;

    screen(int w, int h) : width(w), height(h), info(top_down(w, h)), px(size_t(w) * h) {}
    RGBQUAD &at(int x, int y) { return px[size_t(y) * width + x]; }
};

// Every pixel differs from its neighbours, so a block put back one pixel off
// shows.
screen pattern(int w, int h) {
    screen s(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            s.at(x, y) = {BYTE(40 + 5 * x), BYTE(250 - 7 * y), BYTE((x * 31 + y * 17) & 255), 0};
    return s;
}

void put(HDC dc, const screen &s) {
    SetDIBitsToDevice(dc, 0, 0, s.width, s.height, 0, 0, 0, s.height, s.px.data(), &s.info,
                      DIB_RGB_COLORS);
}

screen grab(HDC dc, int w, int h) {
    screen s(w, h);
    s.px = read_dc(dc, w, h);
    return s;
}

std::string first_difference(const screen &got, const screen &want) {
    return pixel_difference(got.px, want.px, got.width);
}

// Draws a record on a context, or the same on a surface.
template <class R> bool on(R &r, HDC dc, int x, int y, bool clip) {
    return r.draw(dc, x, y, clip);
}
template <class R> bool on(R &r, screen &s, int x, int y, bool) {
    return r.draw(s.px.data(), &s.info, x, y);
}
// The index exports: of a context, or their surface forms.
bool by_index(int kind, HDC dc, int x, int y, art_handle *a, unsigned i, bool clip) {
    return kind == 0   ? drawImage(dc, x, y, a, i, clip)
           : kind == 1 ? drawPic(dc, x, y, a, i, clip)
                       : drawFrame(dc, x, y, a, i, clip);
}
bool by_index(int kind, screen &s, int x, int y, art_handle *a, unsigned i, bool) {
    return kind == 0   ? drawImageDIB(s.px.data(), &s.info, x, y, a, i)
           : kind == 1 ? drawPicDIB(s.px.data(), &s.info, x, y, a, i)
                       : drawFrameDIB(s.px.data(), &s.info, x, y, a, i);
}

// Puts the pattern on the first w x h pixels of dc and calls draw(dc), and
// draw(surface) on a surface holding the pattern; "" when the context then
// shows the surface's picture (only the pattern outside the first `kept`
// columns and rows: with {0, 0}, nothing may change).
template <class Draw>
std::string draw_like_surface(HDC dc, int w, int h, Draw draw, SIZE kept = {INT_MAX, INT_MAX}) {
    const screen before = pattern(w, h);
    put(dc, before);
    if (!draw(dc)) return "returned false";
    screen want = before;
    draw(want);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            if (x >= kept.cx || y >= kept.cy) want.at(x, y) = before.px[size_t(y) * w + x];
    return first_difference(grab(dc, w, h), want);
}

// A frameless, topmost window in a corner of the display, where no other
// test's window comes, with a client area of w x h. Its class has no
// background brush, so nothing repaints what a test draws.
class test_window {
public:
    test_window(int w, int h, DWORD style = WS_POPUP) {
        static ATOM cls = [] {
            WNDCLASSA wc{};
            wc.lpfnWndProc = DefWindowProcA;
            wc.hInstance = GetModuleHandleA(nullptr);
            wc.lpszClassName = "zevart_dc_test";
            return RegisterClassA(&wc);
        }();
        RECT r{0, 0, w, h};
        AdjustWindowRectEx(&r, style, FALSE, WS_EX_TOPMOST);
        const int ww = r.right - r.left, wh = r.bottom - r.top;
        hwnd = CreateWindowExA(WS_EX_TOPMOST, MAKEINTATOM(cls), "zevart dc test",
                               style | WS_VISIBLE, GetSystemMetrics(SM_CXSCREEN) - ww - 8,
                               GetSystemMetrics(SM_CYSCREEN) - wh - 8, ww, wh, nullptr, nullptr,
                               GetModuleHandleA(nullptr), nullptr);
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
        dc = GetDC(hwnd);
    }
    ~test_window() {
        ReleaseDC(hwnd, dc);
        DestroyWindow(hwnd);
    }
    HWND hwnd;
    HDC dc;
};

// A memory context (no window) with a w x h 32-bit section selected.
struct memory_dc {
    HDC dc = CreateCompatibleDC(nullptr);
    HBITMAP section;
    HGDIOBJ previous;
    memory_dc(int w, int h) {
        void *bits;
        const screen s(w, h);
        section = CreateDIBSection(dc, &s.info, DIB_RGB_COLORS, &bits, nullptr, 0);
        previous = SelectObject(dc, section);
    }
    ~memory_dc() {
        SelectObject(dc, previous);
        DeleteObject(section);
        DeleteDC(dc);
    }
};

// Images: 0 is 12 x 9 in rows of 16 bytes, every fourth pixel 0, the row
// padding opaque; 1 a 13 x 7 checkerboard shadow with a solid row (clipped
// rows start mid-byte); 2 and 3 solid blocks; 4 a 2 x 2 diagonal shadow.
// Frame 0: 3 and 2 (its slot puts it second), the shadow over both, image 0
// on top; frame 1 has no pictures; the last picture has no image.
artgen::art_set dc_set() {
    artgen::art_set set;
    set.palettes.resize(1);
    for (int i = 0; i < 10; ++i)
        set.palettes[0].add(uint8_t(10 + 9 * i), uint8_t(200 - 15 * i), uint8_t(30 + 20 * i),
                            uint8_t(0x80 + i));
    std::vector<uint8_t> px(16 * 9), bits(13 * 7);
    for (size_t k = 0; k < px.size(); ++k) {
        const int x = int(k % 16), y = int(k / 16);
        px[k] = x >= 12 ? 9 : (x + y) % 4 == 0 ? 0 : uint8_t(1 + (x * 3 + y) % 9);
    }
    for (size_t k = 0; k < bits.size(); ++k) bits[k] = k / 13 == 3 || (k % 13 + k / 13) % 2 == 0;
    set.images = {artgen::image8(12, 9, 0, px, 16), artgen::mask1(13, 7, bits),
                  artgen::image8(10, 10, 0, std::vector<uint8_t>(100, 1)),
                  artgen::image8(4, 20, 0, std::vector<uint8_t>(80, 2)),
                  artgen::mask1(2, 2, {1, 0, 0, 1})};
    set.groups.resize(1);
    set.groups[0].frames.resize(2);
    set.groups[0].frames[0].pics = {
        {3, 0, 1, 5, -3}, {2, 0, 0, 0, 0}, {4, 0, 2, 4, 2}, {0, 0, 3, -6, 9}};
    set.picCountField = set.picture_count() + 1;
    return set;
}

class DcDraw : public ::testing::Test {
protected:
    void SetUp() override {
        char dir[MAX_PATH], bmp[MAX_PATH], prt[MAX_PATH];
        ASSERT_TRUE(GetTempPathA(MAX_PATH, dir) && GetTempFileNameA(dir, "zev", 0, bmp) &&
                    GetTempFileNameA(dir, "zev", 0, prt));
        artgen::save_file(bmp, artgen::write_bmp(dc_set()));
        artgen::save_file(prt, artgen::write_prt(dc_set()));
        ASSERT_EQ(LoadArtFromFile(bmp, prt, &art), ART_OK);
        DeleteFileA(bmp);
        DeleteFileA(prt);
    }
    art_handle art;
    test_window w{40, 30};
};

TEST_F(DcDraw, FillPaintsTheClientAreaOrTheBitmap) {
    test_window small(3, 5);
    // The colour is in RGBQUAD order: blue lowest.
    const std::pair<DWORD, COLORREF> fills[] = {{0x000000FF, RGB(0, 0, 255)},
                                                {0x7F123456, RGB(0x12, 0x34, 0x56)}};
    for (auto [colour, shown] : fills) {
        EXPECT_EQ(FillDC(small.dc, colour), 5);
        for (int i = 0; i < 15; ++i) EXPECT_EQ(GetPixel(small.dc, i % 3, i / 3), shown) << i;
    }
    // No window: filled to the bitmap's bounds; a metafile or no context gets nothing.
    memory_dc m(7, 3);
    EXPECT_EQ(FillDC(m.dc, 0x00102030), 3);
    screen filled(7, 3);
    for (RGBQUAD &q : filled.px) q = {0x30, 0x20, 0x10, 0};
    EXPECT_EQ(first_difference(grab(m.dc, 7, 3), filled), "");
    HDC bare = CreateCompatibleDC(nullptr); // holds its 1 x 1 stock bitmap
    EXPECT_EQ(FillDC(bare, 0x00FFFFFF), 1);
    DeleteDC(bare);
    HDC meta = CreateEnhMetaFileA(nullptr, nullptr, nullptr, nullptr);
    EXPECT_EQ(FillDC(meta, 0x00FFFFFF), 0);
    EXPECT_TRUE(drawImage(meta, 0, 0, &art, 0, true)) << "no rectangle to clip to: nothing";
    DeleteEnhMetaFile(CloseEnhMetaFile(meta));
    EXPECT_EQ(FillDC(nullptr, 0), 0);
    for (bool clip : {true, false}) EXPECT_TRUE(drawImage(nullptr, 0, 0, &art, 0, clip));
}

// Both images at every position relative to the 40 x 30 client area (inside,
// over each edge, wholly outside each edge, where 32-bit sums overflow), on a
// window and on a memory context.
TEST_F(DcDraw, ImagesMatchTheSurfaceDrawing) {
    memory_dc m(40, 30);
    for (HDC dc : {w.dc, m.dc})
        for (unsigned i : {0u, 1u}) {
            mem_image &im = art.images[i];
            const int iw = im.width, ih = im.height;
            const POINT positions[] = {
                {10, 8},          {-5, -4}, {43 - iw, 32 - ih}, {-5, 31 - ih},
                {-iw, 0},         {40, 5},  {3, -ih},           {3, 30},
                {1 - iw, 1 - ih}, {39, 29}, {INT_MIN, INT_MIN}, {INT_MAX - 3, 0},
                {0, INT_MAX}};
            for (POINT p : positions)
                for (bool clip : {true, false})
                    EXPECT_EQ(draw_like_surface(dc, 40, 30,
                                                [&](auto &t) { return on(im, t, p.x, p.y, clip); }),
                              "")
                        << (dc == w.dc ? "window" : "memory") << " image " << i << " at " << p.x
                        << ", " << p.y << " clip " << clip;
        }
}

// A window context that reaches past the client area (the whole window, its
// caption included): with clip, nothing outside the client rectangle is read
// or written; without, the whole image is composed and the context's own
// clipping decides.
TEST_F(DcDraw, ClipCutsToTheClientRectangle) {
    test_window captioned(40, 30, WS_POPUP | WS_CAPTION);
    HDC dc = GetWindowDC(captioned.hwnd);
    RECT r;
    GetWindowRect(captioned.hwnd, &r);
    ASSERT_GT(r.bottom - r.top, 30 + 4) << "the window has no caption";
    for (POINT p : {POINT{5, 26}, {5, 31}, {38, 3}, {-5, -4}})
        for (bool clip : {true, false})
            EXPECT_EQ(draw_like_surface(
                          dc, r.right - r.left, r.bottom - r.top,
                          [&](auto &t) { return on(art.images[0], t, p.x, p.y, clip); },
                          clip ? SIZE{40, 30} : SIZE{INT_MAX, INT_MAX}),
                      "")
                << p.x << ", " << p.y << " clip " << clip;
    ReleaseDC(captioned.hwnd, dc);
}

// Frames and pictures, through members and index exports; pictures without
// an image draw nothing and say so, frames pass over them, and frames
// without pictures draw nothing. Bad indexes and handles draw nothing.
TEST_F(DcDraw, PicturesAndFramesStackLikeOnASurface) {
    mem_frame &f = art.frames[0];
    mem_pic run[3] = {{-50, -50, nullptr}, {2, 1, &art.images[0]}, {6, 6, nullptr}};
    mem_frame holes{3, run};
    const unsigned shadow = unsigned(&f.pics[2] - art.pics), last = art.picCount - 1;
    art_handle empty;
    for (POINT p : {POINT{12, 6}, {-3, 20}, {33, -2}})
        for (bool clip : {true, false}) {
            EXPECT_EQ(draw_like_surface(w.dc, 40, 30,
                                        [&](auto &t) {
                                            return on(f, t, p.x, p.y, clip) &&
                                                   on(f.pics[0], t, p.y, p.x, clip) &&
                                                   on(holes, t, p.x, p.x, clip) &&
                                                   !on(art.pics[last], t, 0, 0, clip) &&
                                                   on(art.frames[1], t, 0, 0, clip);
                                        }),
                      "")
                << "members at " << p.x << ", " << p.y << " clip " << clip;
            for (int kind : {0, 1, 2}) {
                const unsigned counts[] = {art.imageCount, art.picCount, art.frameCount};
                EXPECT_EQ(draw_like_surface(
                              w.dc, 40, 30,
                              [&](auto &t) {
                                  return by_index(kind, t, p.x, p.y, &art, kind == 1 ? shadow : 0,
                                                  clip) &&
                                         !by_index(kind, t, 0, 0, &art, counts[kind], clip) &&
                                         !by_index(kind, t, 0, 0, &art, UINT_MAX, clip) &&
                                         !by_index(kind, t, 0, 0, &empty, 0, clip) &&
                                         !by_index(kind, t, 0, 0, nullptr, 0, clip) &&
                                         (kind != 1 || !by_index(1, t, 0, 0, &art, last, clip));
                              }),
                          "")
                    << "export " << kind << " at " << p.x << ", " << p.y << " clip " << clip;
            }
        }
}

// Records far larger than any context: clipped to the window, only the
// visible rows are read (the blocks here hold just those); unclipped, the
// block can't be had and nothing is drawn.
TEST_F(DcDraw, HugeImagesDrawTheirVisiblePartOrNothing) {
    const int32_t big8 = 1 << 16, bigMask = 1 << 20;
    std::vector<uint8_t> rows8(size_t(big8) * 30), rowsMask(size_t(bigMask / 8) * 30);
    for (size_t k = 0; k < rows8.size(); ++k) rows8[k] = uint8_t(k % 11 % 10);
    for (size_t k = 0; k < rowsMask.size(); ++k) rowsMask[k] = uint8_t(k * 37);
    const std::pair<mem_image, int> cases[] = {
        {{big8, rows8.data(), big8, big8, 0, art.images[0].palette}, -1000},
        {{0, rowsMask.data(), bigMask, bigMask, 4, nullptr}, -(1 << 19) - 3},
    };
    for (auto [im, x] : cases) {
        const int32_t width = im.width;
        EXPECT_EQ(draw_like_surface(w.dc, 40, 30, [&](auto &t) { return on(im, t, x, 0, true); }),
                  "")
            << width << ", clipped";
        screen want = pattern(40, 30);
        on(im, want, x, 0, true);
        EXPECT_NE(first_difference(want, pattern(40, 30)), "") << width << ": nothing to see";
        EXPECT_EQ(draw_like_surface(w.dc, 40, 30, [&](auto &t) { return on(im, t, 0, 0, false); },
                                    {0, 0}),
                  "")
            << width << ", unclipped: nothing";
    }
}

} // namespace
