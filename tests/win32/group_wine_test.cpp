// Group animation through zevart.dll in real windows: the library's timer
// drives it while this thread's message loop runs, and what the windows show
// is read back from their device contexts. Which group runs where is the
// engine's business, tested without windows; here the window system's side.
#include "art_handle.h"
#include "dc_pixels.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

const COLORREF kClassBrush = RGB(0, 200, 0); // what a window shows before the library draws
const RGBQUAD kBackground = {40, 90, 160, 0};

void __cdecl paint_background(HWND, RGBQUAD **buffer, BITMAPINFO *info) {
    size_t n = size_t(info->bmiHeader.biWidth) * size_t(-info->bmiHeader.biHeight);
    for (size_t i = 0; i < n; ++i) (*buffer)[i] = kBackground;
}

// Dispatches what is queued; with `ticks`, goes on until the library's timer
// (a thread timer: no window) has ticked that often. The deadline only keeps
// a broken timer from hanging the run.
bool pump(int ticks = 0) {
    const DWORD deadline = GetTickCount() + 20000;
    for (;;) {
        MSG msg;
        while (PeekMessageA(&msg, nullptr, 0, 0, PM_REMOVE)) {
            DispatchMessageA(&msg);
            if (msg.message == WM_TIMER && !msg.hwnd && --ticks == 0) return true;
        }
        if (ticks <= 0) return true;
        if (int(GetTickCount() - deadline) > 0) return false;
        MsgWaitForMultipleObjects(0, nullptr, FALSE, 200, QS_ALLINPUT);
    }
}

// What the window's client area shows.
std::vector<RGBQUAD> read_window(HWND w) {
    RECT r;
    GetClientRect(w, &r);
    HDC dc = GetDC(w);
    std::vector<RGBQUAD> px = read_dc(dc, r.right, r.bottom);
    ReleaseDC(w, dc);
    return px;
}

std::string diff(const std::vector<RGBQUAD> &got, const std::vector<RGBQUAD> &want, int width) {
    return pixel_difference(got, want, width);
}

class GroupWindows : public ::testing::Test {
protected:
    art_handle art;
    HWND w = nullptr;
    int width = 0, height = 0, x = 0, y = 0; // the coin's window and anchor
    uint32_t frames = 0;

    void SetUp() override {
        std::string dir = "Z:" ZEVART_SAMPLE_DIR "/";
        ASSERT_EQ(
            LoadArtFromFile((dir + "zev_art.bmp").c_str(), (dir + "zev_art.prt").c_str(), &art),
            ART_OK);
        static const ATOM cls = [] {
            WNDCLASSA wc{};
            wc.lpfnWndProc = DefWindowProcA;
            wc.hbrBackground = CreateSolidBrush(kClassBrush);
            wc.lpszClassName = "zevart_group_test";
            return RegisterClassA(&wc);
        }();
        RECT r;
        art.groups[COIN].getDrawRect(&r);
        frames = art.groups[COIN].frameCount;
        width = r.right - r.left + 10, height = r.bottom - r.top + 6;
        x = 5 - r.left, y = 3 - r.top;
        w = CreateWindowExA(0, MAKEINTATOM(cls), "", WS_POPUP | WS_VISIBLE, 10, 10, width, height,
                            nullptr, nullptr, nullptr, nullptr);
        UpdateWindow(w);
        pump();
    }
    void TearDown() override {
        end_drawGroupAll(); // before the window goes
        DestroyWindow(w);
        pump();
    }

    static constexpr unsigned COIN = 1; // a group of the sample set, all frames different
    // Frame f of the coin over the background, as the frame drawing composes it.
    std::vector<RGBQUAD> composed(uint32_t f, int cx, int cy) {
        std::vector<RGBQUAD> px(size_t(cx) * cy, kBackground);
        BITMAPINFO info = top_down(cx, cy);
        art.groups[COIN].frames[f % frames].draw(px.data(), &info, x, y);
        for (RGBQUAD &q : px) q.rgbReserved = 0;
        return px;
    }
    // The frame the window shows, or -1.
    int shown_frame() {
        const std::vector<RGBQUAD> seen = read_window(w);
        for (uint32_t f = 0; f < frames; ++f)
            if (diff(seen, composed(f, width, height), width).empty()) return int(f);
        return -1;
    }
};

TEST_F(GroupWindows, FramesAdvanceOneATickAsTheFrameDrawingComposesThem) {
    ASSERT_EQ(art.groups[COIN].start_draw(w, x, y, paint_background, nullptr), 1u);
    const int first = shown_frame();
    ASSERT_GE(first, 0) << "the start shows a frame of the coin at once";
    for (int k = 1; k <= 4; ++k) {
        ASSERT_TRUE(pump(1)) << "the library's timer does not tick";
        EXPECT_EQ(shown_frame(), (first + k) % int(frames)) << "tick " << k;
    }
}

TEST_F(GroupWindows, RepaintsPutTheLastPictureBack) {
    uint32_t id = art.groups[COIN].start_draw(w, x, y, paint_background, nullptr);
    ASSERT_TRUE(pump(1));
    const std::vector<RGBQUAD> picture = read_window(w);
    auto scribble = [&] {
        HDC dc = GetDC(w);
        RECT all{0, 0, width, height};
        FillRect(dc, &all, HBRUSH(GetStockObject(WHITE_BRUSH)));
        ReleaseDC(w, dc);
        return !diff(read_window(w), picture, width).empty();
    };
    // A null dc: the window's own, given back afterwards, so the same cache
    // entry serves the next GetDC of the window.
    ASSERT_TRUE(scribble());
    HDC before = GetDC(w);
    ReleaseDC(w, before);
    EXPECT_TRUE(redraw_groupWindow(w, nullptr));
    HDC after = GetDC(w);
    ReleaseDC(w, after);
    EXPECT_EQ(before, after) << "the library kept the window's device context";
    EXPECT_EQ(diff(read_window(w), picture, width), "");
    ASSERT_TRUE(scribble());
    EXPECT_TRUE(redraw_frameByGroupID(id, nullptr));
    EXPECT_EQ(diff(read_window(w), picture, width), "");
    // The caller's dc stays the caller's.
    ASSERT_TRUE(scribble());
    HDC dc = GetDC(w);
    EXPECT_TRUE(redraw_groupWindow(w, dc));
    EXPECT_EQ(ReleaseDC(w, dc), 1);
    EXPECT_EQ(diff(read_window(w), picture, width), "");
    EXPECT_TRUE(end_drawGroupAll());
    EXPECT_EQ(diff(read_window(w), picture, width), "") << "ending repaints nothing";
}

TEST_F(GroupWindows, AResizeReallocatesAtTheNextTick) {
    art.groups[COIN].start_draw(w, x, y, paint_background, nullptr);
    ASSERT_TRUE(pump(1));
    const int f = shown_frame();
    ASSERT_GE(f, 0);
    const int wider = width + 20, taller = height + 10;
    SetWindowPos(w, nullptr, 0, 0, wider, taller, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    MSG msg; // the new strips get the class brush; timer ticks stay queued
    while (PeekMessageA(&msg, w, WM_PAINT, WM_PAINT, PM_REMOVE)) DispatchMessageA(&msg);
    EXPECT_TRUE(redraw_groupWindow(w, nullptr));
    std::vector<RGBQUAD> want(size_t(wider) * taller, {0, 200, 0, 0}),
        old = composed(f, width, height);
    for (int row = 0; row < height; ++row)
        std::copy_n(&old[size_t(row) * width], width, &want[size_t(row) * wider]);
    EXPECT_EQ(diff(read_window(w), want, wider), "") << "a repaint at the old size";
    ASSERT_TRUE(pump(1));
    EXPECT_EQ(diff(read_window(w), composed(f + 1, wider, taller), wider), "")
        << "the tick after the resize fills the new client area";
}

} // namespace
