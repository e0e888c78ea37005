// Group animation through zevart.dll in real windows: the library's timer
// drives it while this thread's message loop runs, and what the windows show
// is read back from their device contexts.
#include "art_handle.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

std::string sample(const char *name) {
    std::string dir = ZEVART_SAMPLE_DIR;
    if (!dir.empty() && dir[0] == '/') dir = "Z:" + dir; // the Unix root under Wine
    return dir + "/" + name;
}

enum { WALK = 0, COIN = 1 }; // groups of the sample set

const COLORREF kClassBrush = RGB(0, 200, 0); // what a window shows before the library draws
RGBQUAD g_background = {40, 90, 160, 0};

void __cdecl paint_background(HWND, RGBQUAD **buffer, BITMAPINFO *info) {
    size_t n = size_t(info->bmiHeader.biWidth) * size_t(-info->bmiHeader.biHeight);
    for (size_t i = 0; i < n; ++i) (*buffer)[i] = g_background;
}

// Grey in every byte reads the same as 24 or 32 bits per pixel.
void __cdecl grey_at_24_bits(HWND, RGBQUAD **buffer, BITMAPINFO *info) {
    size_t n = size_t(info->bmiHeader.biWidth) * size_t(-info->bmiHeader.biHeight);
    memset(*buffer, 0x40, n * sizeof(RGBQUAD));
    info->bmiHeader.biBitCount = 24;
}

const char *window_class() {
    static const char *name = [] {
        WNDCLASSA wc{};
        wc.lpfnWndProc = DefWindowProcA;
        wc.hInstance = GetModuleHandleA(nullptr);
        wc.hbrBackground = CreateSolidBrush(kClassBrush);
        wc.lpszClassName = "zevart_group_test";
        RegisterClassA(&wc);
        return wc.lpszClassName;
    }();
    return name;
}

// Dispatches what is queued; with `ticks`, goes on until the library's timer
// (a thread timer: no window) has ticked that often. The deadline only keeps
// a broken timer from hanging the run.
bool pump(int ticks = 0) {
    DWORD deadline = GetTickCount() + 20000;
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

// Dispatches only the paints queued for the window, leaving timer ticks queued.
void paint_now(HWND w) {
    MSG msg;
    while (PeekMessageA(&msg, w, WM_PAINT, WM_PAINT, PM_REMOVE)) DispatchMessageA(&msg);
}

// What the window's client area shows, top row first.
std::vector<RGBQUAD> read_window(HWND w) {
    RECT r;
    GetClientRect(w, &r);
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), r.right, -r.bottom, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    void *bits = nullptr;
    HDC screen = GetDC(w);
    HDC mem = CreateCompatibleDC(screen);
    HBITMAP section = CreateDIBSection(mem, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ old = SelectObject(mem, section);
    BitBlt(mem, 0, 0, r.right, r.bottom, screen, 0, 0, SRCCOPY);
    GdiFlush();
    auto *px = static_cast<RGBQUAD *>(bits);
    std::vector<RGBQUAD> out(px, px + size_t(r.right) * r.bottom);
    SelectObject(mem, old);
    DeleteObject(section);
    DeleteDC(mem);
    ReleaseDC(w, screen);
    return out;
}

std::string str(RGBQUAD c) {
    return "(b " + std::to_string(c.rgbBlue) + ", g " + std::to_string(c.rgbGreen) + ", r " +
           std::to_string(c.rgbRed) + ")";
}

// "" when the colours match (the screen keeps no fourth byte), else the first
// pixel that differs.
std::string diff(const std::vector<RGBQUAD> &got, const std::vector<RGBQUAD> &want, int width) {
    if (got.size() != want.size()) return "picture of another size";
    for (size_t i = 0; i < want.size(); ++i)
        if (got[i].rgbBlue != want[i].rgbBlue || got[i].rgbGreen != want[i].rgbGreen ||
            got[i].rgbRed != want[i].rgbRed)
            return "pixel (" + std::to_string(i % width) + ", " + std::to_string(i / width) +
                   ") is " + str(got[i]) + " instead of " + str(want[i]);
    return "";
}

RGBQUAD quad(COLORREF c) {
    return {GetBValue(c), GetGValue(c), GetRValue(c), 0};
}

class GroupWindows : public ::testing::Test {
protected:
    art_handle art;
    std::vector<HWND> windows;

    void SetUp() override {
        ASSERT_EQ(
            LoadArtFromFile(sample("zev_art.bmp").c_str(), sample("zev_art.prt").c_str(), &art),
            ART_OK);
    }
    void TearDown() override {
        end_drawGroupAll(); // before the windows go
        for (HWND w : windows) DestroyWindow(w);
        pump();
    }

    // A shown popup window whose client area is width x height, fully painted.
    HWND make_window(int x, int y, int width, int height) {
        HWND w = CreateWindowExA(0, window_class(), "", WS_POPUP | WS_VISIBLE, x, y, width, height,
                                 nullptr, nullptr, GetModuleHandleA(nullptr), nullptr);
        windows.push_back(w);
        UpdateWindow(w);
        pump();
        return w;
    }

    RECT rect_of(int g) {
        RECT r{};
        art.groups[g].getDrawRect(&r);
        return r;
    }

    // Frames of group g drawn one after the other over a background, by the
    // frame drawing.
    std::vector<RGBQUAD> composed(int width, int height, int g, std::vector<uint32_t> frames, int x,
                                  int y, RGBQUAD background = g_background) {
        std::vector<RGBQUAD> px(size_t(width) * height, background);
        BITMAPINFO info{};
        info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        for (uint32_t f : frames) art.groups[g].frames[f].draw(px.data(), &info, x, y);
        return px;
    }
    std::vector<RGBQUAD> composed(int width, int height, int g, uint32_t f, int x, int y) {
        return composed(width, height, g, std::vector<uint32_t>{f}, x, y);
    }

    // The frames of group g that the window may show: those whose picture it
    // shows (frames can look alike).
    std::vector<uint32_t> shown_frames(HWND w, int width, int height, int g, int x, int y) {
        std::vector<RGBQUAD> seen = read_window(w);
        std::vector<uint32_t> frames;
        for (uint32_t f = 0; f < art.groups[g].frameCount; ++f)
            if (diff(seen, composed(width, height, g, f, x, y), width).empty()) frames.push_back(f);
        return frames;
    }
};

TEST_F(GroupWindows, FramesAdvanceOneATickAsTheFrameDrawingComposesThem) {
    RECT r = rect_of(COIN);
    int width = r.right - r.left + 10, height = r.bottom - r.top + 6;
    int x = -r.left + 5, y = -r.top + 3;
    HWND w = make_window(10, 10, width, height);
    uint32_t id = art.groups[COIN].start_draw(w, x, y, paint_background, nullptr);
    ASSERT_EQ(id, 1u);
    std::vector<uint32_t> candidates = shown_frames(w, width, height, COIN, x, y);
    ASSERT_FALSE(candidates.empty()) << "the start shows a frame of the coin at once";

    // Each tick shows the frame after the last one.
    uint32_t n = art.groups[COIN].frameCount;
    for (uint32_t k = 1; k <= 4; ++k) {
        ASSERT_TRUE(pump(1)) << "the library's timer does not tick";
        std::vector<RGBQUAD> seen = read_window(w);
        std::vector<uint32_t> still;
        std::string why;
        for (uint32_t c : candidates) {
            why = diff(seen, composed(width, height, COIN, (c + k) % n, x, y), width);
            if (why.empty()) still.push_back(c);
        }
        candidates = still;
        ASSERT_FALSE(candidates.empty()) << "tick " << k << " after the start: " << why;
    }
}

TEST_F(GroupWindows, GroupsInTwoWindowsShowTheSameFrameNumber) {
    RECT r = rect_of(WALK);
    int width = r.right - r.left, height = r.bottom - r.top;
    HWND a = make_window(200, 10, width, height);
    HWND b = make_window(300, 10, width, height);
    EXPECT_EQ(start_drawGroup(a, -r.left, -r.top, &art, WALK), 1);
    EXPECT_EQ(art.groups[WALK].start_draw(b, -r.left, -r.top, paint_background, nullptr), 1u);
    EXPECT_EQ(get_groupWindow(1), b);
    ASSERT_TRUE(pump(2));
    std::vector<uint32_t> frames = shown_frames(b, width, height, WALK, -r.left, -r.top);
    ASSERT_FALSE(frames.empty()) << "window b shows no frame of the walk";
    // Window a has no beforeDraw: its new buffer was black, and the frames of
    // the start and of both ticks lie on one another there.
    std::vector<RGBQUAD> seen = read_window(a);
    std::string why;
    for (uint32_t f : frames) {
        std::vector<uint32_t> history = {(f + 6) % 8, (f + 7) % 8, f};
        why = diff(seen, composed(width, height, WALK, history, -r.left, -r.top, {}), width);
        if (why.empty()) break;
    }
    EXPECT_EQ(why, "") << "window a does not show the frames of window b piled up";
}

TEST_F(GroupWindows, ADepthChangedByBeforeDrawStillTransfers) {
    RECT r = rect_of(COIN);
    int width = r.right - r.left, height = r.bottom - r.top;
    HWND w = make_window(400, 10, width, height);
    std::vector<RGBQUAD> green(size_t(width) * height, quad(kClassBrush));
    ASSERT_EQ(diff(read_window(w), green, width), "");
    art.groups[COIN].start_draw(w, -r.left, -r.top, grey_at_24_bits, nullptr);
    ASSERT_TRUE(pump(1));
    std::vector<RGBQUAD> grey(size_t(width) * height, RGBQUAD{0x40, 0x40, 0x40, 0});
    EXPECT_EQ(diff(read_window(w), grey, width), "") << "no frame drawn, the buffer shown";
}

TEST_F(GroupWindows, RepaintsPutTheLastPictureBack) {
    RECT r = rect_of(COIN);
    int width = r.right - r.left, height = r.bottom - r.top;
    HWND w = make_window(500, 10, width, height);
    uint32_t id = art.groups[COIN].start_draw(w, -r.left, -r.top, paint_background, nullptr);
    ASSERT_TRUE(pump(1));
    std::vector<RGBQUAD> picture = read_window(w);
    auto scribble = [&] {
        HDC dc = GetDC(w);
        RECT all{0, 0, width, height};
        HBRUSH white = HBRUSH(GetStockObject(WHITE_BRUSH));
        FillRect(dc, &all, white);
        ReleaseDC(w, dc);
        ASSERT_NE(diff(read_window(w), picture, width), "");
    };

    // A null dc: the window's own, given back afterwards, so the same cache
    // entry serves the next GetDC of the window.
    scribble();
    HDC before = GetDC(w);
    ReleaseDC(w, before);
    EXPECT_TRUE(redraw_groupWindow(w, nullptr));
    HDC after = GetDC(w);
    ReleaseDC(w, after);
    EXPECT_EQ(before, after) << "the library kept the window's device context";
    EXPECT_EQ(diff(read_window(w), picture, width), "");

    scribble();
    EXPECT_TRUE(redraw_frameByGroupID(id, nullptr));
    EXPECT_EQ(diff(read_window(w), picture, width), "");

    // The caller's dc stays the caller's.
    scribble();
    HDC dc = GetDC(w);
    EXPECT_TRUE(redraw_groupWindow(w, dc));
    EXPECT_NE(GetPixel(dc, 0, 0), CLR_INVALID);
    EXPECT_EQ(ReleaseDC(w, dc), 1);
    EXPECT_EQ(diff(read_window(w), picture, width), "");

    EXPECT_TRUE(end_drawGroupAll());
    EXPECT_FALSE(redraw_groupWindow(w, nullptr));
    EXPECT_EQ(get_groupWindow(id), nullptr);
    EXPECT_EQ(diff(read_window(w), picture, width), "") << "ending repaints nothing";
}

TEST_F(GroupWindows, AResizeReallocatesAtTheNextTick) {
    RECT r = rect_of(COIN);
    int width = r.right - r.left, height = r.bottom - r.top;
    int x = -r.left, y = -r.top;
    HWND w = make_window(600, 10, width, height);
    art.groups[COIN].start_draw(w, x, y, paint_background, nullptr);
    ASSERT_TRUE(pump(1));
    std::vector<uint32_t> frames = shown_frames(w, width, height, COIN, x, y);
    ASSERT_EQ(frames.size(), 1u) << "the coin's frames all look different";
    uint32_t f = frames[0];

    int wider = width + 20, taller = height + 10;
    SetWindowPos(w, nullptr, 0, 0, wider, taller, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    paint_now(w); // the new strips get the class brush
    EXPECT_TRUE(redraw_groupWindow(w, nullptr));
    std::vector<RGBQUAD> seen = read_window(w), old = composed(width, height, COIN, f, x, y);
    ASSERT_EQ(seen.size(), size_t(wider) * taller);
    for (int py = 0; py < taller; ++py)
        for (int px = 0; px < wider; ++px) {
            bool inOld = px < width && py < height;
            RGBQUAD want = inOld ? old[size_t(py) * width + px] : quad(kClassBrush);
            ASSERT_EQ(diff({seen[size_t(py) * wider + px]}, {want}, 1), "")
                << "pixel (" << px << ", " << py << ") after a repaint at the old size";
        }

    ASSERT_TRUE(pump(1));
    EXPECT_EQ(diff(read_window(w), composed(wider, taller, COIN, (f + 1) % 10, x, y), wider), "")
        << "the tick after the resize fills the new client area";
}

} // namespace
