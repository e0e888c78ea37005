// Drawing onto real device contexts under Wine: windows on the session's
// display and memory contexts, read back pixel by pixel and compared with the
// surface drawing of the same object onto a surface holding what the context
// held. The display is 24-bit, so colours are compared without their fourth
// byte.
#include "art_handle.h"
#include "artset_writer.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <climits>
#include <cstring>
#include <sstream>
#include <string>
#include <vector>

using namespace artgen;

namespace {

// ---------------------------------------------------------------------------
// Art sets, pixels and windows.

std::string temp_file() {
    char dir[MAX_PATH], name[MAX_PATH];
    if (!GetTempPathA(MAX_PATH, dir) || !GetTempFileNameA(dir, "zev", 0, name)) return "";
    return name;
}

// An art set written to scratch files and loaded through the library.
struct loaded_set {
    art_handle art;
    int code = -1;
    explicit loaded_set(const art_set &set) {
        std::string bmp = temp_file(), prt = temp_file();
        save_file(bmp, write_bmp(set));
        save_file(prt, write_prt(set));
        code = LoadArtFromFile(bmp.c_str(), prt.c_str(), &art);
        DeleteFileA(bmp.c_str());
        DeleteFileA(prt.c_str());
    }
};

RGBQUAD quad(int b, int g, int r) {
    return RGBQUAD{BYTE(b), BYTE(g), BYTE(r), 0};
}

// A top-down 32-bit surface: what a device context shows, or should show.
struct screen {
    int width, height;
    BITMAPINFO info{};
    std::vector<RGBQUAD> px;

    screen(int w, int h) : width(w), height(h), px(size_t(w) * size_t(h), quad(0, 0, 0)) {
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = w;
        info.bmiHeader.biHeight = -h;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
    }
    RGBQUAD &at(int x, int y) { return px[size_t(y) * width + x]; }
    const RGBQUAD &at(int x, int y) const { return px[size_t(y) * width + x]; }
    // The display keeps blue, green and red only.
    void drop_fourth_bytes() {
        for (RGBQUAD &q : px) q.rgbReserved = 0;
    }
};

// A background in which every pixel differs from its neighbours, so a block
// put back one pixel off shows.
screen pattern(int w, int h) {
    screen s(w, h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x)
            s.at(x, y) = quad(40 + 5 * x, 250 - 7 * y, (x * 31 + y * 17) & 255);
    return s;
}

void put(HDC dc, const screen &s) {
    SetDIBitsToDevice(dc, 0, 0, s.width, s.height, 0, 0, 0, s.height, s.px.data(), &s.info,
                      DIB_RGB_COLORS);
}

// What dc shows in its w x h block at (0, 0).
screen grab(HDC dc, int w, int h) {
    screen s(w, h);
    HDC memory = CreateCompatibleDC(dc);
    void *bits = nullptr;
    HBITMAP section = CreateDIBSection(memory, &s.info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ previous = SelectObject(memory, section);
    BitBlt(memory, 0, 0, w, h, dc, 0, 0, SRCCOPY);
    GdiFlush();
    std::memcpy(s.px.data(), bits, s.px.size() * 4);
    SelectObject(memory, previous);
    DeleteObject(section);
    DeleteDC(memory);
    s.drop_fourth_bytes();
    return s;
}

std::string show(const RGBQUAD &q) {
    std::ostringstream s;
    s << "(b " << int(q.rgbBlue) << ", g " << int(q.rgbGreen) << ", r " << int(q.rgbRed) << ")";
    return s.str();
}

// Empty when both show the same colours; else names the first pixel that differs.
std::string first_difference(const screen &got, const screen &want) {
    for (int y = 0; y < got.height; ++y)
        for (int x = 0; x < got.width; ++x) {
            const RGBQUAD &a = got.px[size_t(y) * got.width + x],
                          &b = want.px[size_t(y) * want.width + x];
            if (a.rgbBlue == b.rgbBlue && a.rgbGreen == b.rgbGreen && a.rgbRed == b.rgbRed)
                continue;
            std::ostringstream s;
            s << "pixel (" << x << ", " << y << "): got " << show(a) << ", want " << show(b);
            return s.str();
        }
    return "";
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
        hwnd_ = CreateWindowExA(WS_EX_TOPMOST, MAKEINTATOM(cls), "zevart dc test",
                                style | WS_VISIBLE, GetSystemMetrics(SM_CXSCREEN) - ww - 8,
                                GetSystemMetrics(SM_CYSCREEN) - wh - 8, ww, wh, nullptr, nullptr,
                                GetModuleHandleA(nullptr), nullptr);
        pump();
        dc_ = GetDC(hwnd_);
    }
    ~test_window() {
        ReleaseDC(hwnd_, dc_);
        DestroyWindow(hwnd_);
        pump();
    }
    test_window(const test_window &) = delete;
    test_window &operator=(const test_window &) = delete;

    HWND hwnd() const { return hwnd_; }
    HDC dc() const { return dc_; }
    SIZE client() const {
        RECT r{};
        GetClientRect(hwnd_, &r);
        return SIZE{r.right, r.bottom};
    }

private:
    static void pump() {
        MSG m;
        while (PeekMessageA(&m, nullptr, 0, 0, PM_REMOVE)) DispatchMessageA(&m);
    }
    HWND hwnd_;
    HDC dc_;
};

// A memory context with a top-down 32-bit section of w x h selected.
class memory_dc {
public:
    memory_dc(int w, int h) : s_(w, h) {
        dc_ = CreateCompatibleDC(nullptr);
        section_ = CreateDIBSection(dc_, &s_.info, DIB_RGB_COLORS, &bits_, nullptr, 0);
        previous_ = SelectObject(dc_, section_);
    }
    ~memory_dc() {
        SelectObject(dc_, previous_);
        DeleteObject(section_);
        DeleteDC(dc_);
    }
    memory_dc(const memory_dc &) = delete;
    memory_dc &operator=(const memory_dc &) = delete;

    HDC dc() const { return dc_; }
    void put(const screen &s) {
        GdiFlush();
        std::memcpy(bits_, s.px.data(), s.px.size() * 4);
    }
    screen pixels() {
        GdiFlush();
        std::memcpy(s_.px.data(), bits_, s_.px.size() * 4);
        screen s = s_;
        s.drop_fourth_bytes();
        return s;
    }

private:
    screen s_;
    HDC dc_;
    HBITMAP section_;
    HGDIOBJ previous_;
    void *bits_ = nullptr;
};

// The set every drawing test uses. Palette 0 has ten colours, entry i being
// (b 30 + 20 i, g 200 - 15 i, r 10 + 9 i, fourth byte 0x80 + i).
RGBQUAD colour(int i) {
    return quad(30 + 20 * i, 200 - 15 * i, 10 + 9 * i);
}

art_set dc_set() {
    art_set set;
    palette p;
    for (int i = 0; i < 10; ++i)
        p.add(uint8_t(10 + 9 * i), uint8_t(200 - 15 * i), uint8_t(30 + 20 * i), uint8_t(0x80 + i));
    set.palettes.push_back(p);
    // 0: 12 x 9, rows of 16 bytes; every fourth pixel 0, the row padding opaque.
    std::vector<uint8_t> px(16 * 9);
    for (int y = 0; y < 9; ++y)
        for (int x = 0; x < 16; ++x)
            px[size_t(y) * 16 + x] = x >= 12            ? 9
                                     : (x + y) % 4 == 0 ? 0
                                                        : uint8_t(1 + (x * 3 + y) % 9);
    set.images.push_back(image8(12, 9, 0, px, 16));
    // 1: a 13 x 7 shadow, a checkerboard with a solid row: clipped rows start
    // mid-byte.
    std::vector<uint8_t> bits(13 * 7);
    for (int y = 0; y < 7; ++y)
        for (int x = 0; x < 13; ++x) bits[size_t(y) * 13 + x] = y == 3 || (x + y) % 2 == 0;
    set.images.push_back(mask1(13, 7, bits));
    // 2: 10 x 10 solid colour 1; 3: 4 x 20 solid colour 2; 4: 2 x 2 diagonal shadow.
    set.images.push_back(image8(10, 10, 0, std::vector<uint8_t>(100, 1)));
    set.images.push_back(image8(4, 20, 0, std::vector<uint8_t>(80, 2)));
    set.images.push_back(mask1(2, 2, {1, 0, 0, 1}));

    auto pic = [](uint16_t image, uint8_t slot, int16_t x, int16_t y) {
        picture p;
        p.image = image;
        p.slot = slot;
        p.x = x;
        p.y = y;
        return p;
    };
    group g;
    frame f;
    // Frame 0: A, B over it (stored first, its slot puts it second), a shadow
    // over both, the 12 x 9 image on top.
    f.pics = {pic(3, 1, 5, -3), pic(2, 0, 0, 0), pic(4, 2, 4, 2), pic(0, 3, -6, 9)};
    g.frames.push_back(f);
    // Frame 1: no pictures.
    f.pics.clear();
    g.frames.push_back(f);
    set.groups.push_back(g);
    // One picture more than the frames fill: an entry without an image.
    set.picCountField = set.picture_count() + 1;
    return set;
}

class DcDraw : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(set.code, ART_OK); }
    loaded_set set{dc_set()};
    art_handle &art = set.art;
};

struct position {
    int x, y;
};

std::string where(int x, int y, bool clip) {
    std::ostringstream s;
    s << "at (" << x << ", " << y << ") clip " << (clip ? "true" : "false");
    return s.str();
}

// ---------------------------------------------------------------------------
// FillDC.

TEST(FillDC, PaintsTheWholeClientAreaInOneColour) {
    test_window w(3, 5);
    ASSERT_EQ(w.client().cx, 3);
    ASSERT_EQ(w.client().cy, 5);
    struct fill {
        DWORD colour;
        COLORREF shown;
    };
    // The colour is in RGBQUAD order: blue lowest.
    for (fill f : {fill{0x000000FF, RGB(0, 0, 255)}, fill{0x7F123456, RGB(0x12, 0x34, 0x56)}}) {
        EXPECT_EQ(FillDC(w.dc(), f.colour), 5) << std::hex << f.colour;
        for (int y = 0; y < 5; ++y)
            for (int x = 0; x < 3; ++x)
                EXPECT_EQ(GetPixel(w.dc(), x, y), f.shown)
                    << "colour " << std::hex << f.colour << std::dec << ", pixel " << x << ", "
                    << y;
    }
}

// A memory context has no window: it is filled to its bitmap's bounds. A
// metafile context has neither and gets nothing.
TEST(FillDC, ContextsOfNoWindowUseTheirBitmap) {
    memory_dc m(7, 3);
    m.put(pattern(7, 3));
    EXPECT_EQ(FillDC(m.dc(), 0x00102030), 3);
    screen got = m.pixels();
    for (int y = 0; y < 3; ++y)
        for (int x = 0; x < 7; ++x)
            EXPECT_EQ(show(got.at(x, y)), show(quad(0x30, 0x20, 0x10))) << x << ", " << y;

    HDC bare = CreateCompatibleDC(nullptr); // holds its 1 x 1 stock bitmap
    EXPECT_EQ(FillDC(bare, 0x00FFFFFF), 1);
    DeleteDC(bare);

    HDC meta = CreateEnhMetaFileA(nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(meta, nullptr);
    EXPECT_EQ(FillDC(meta, 0x00FFFFFF), 0);
    DeleteEnhMetaFile(CloseEnhMetaFile(meta));
}

// ---------------------------------------------------------------------------
// Images on a window.

// Every position relative to the 40 x 30 client area: inside, hanging over
// each edge, wholly outside each edge, and where 32-bit sums overflow.
std::vector<position> positions(int w, int h) {
    return {{10, 8},
            {-5, -4},
            {40 - w + 3, 30 - h + 2},
            {-5, 30 - h + 1},
            {-w, 0},
            {40, 5},
            {3, -h},
            {3, 30},
            {-w + 1, -h + 1},
            {39, 29},
            {INT_MIN, INT_MIN},
            {INT_MAX - 3, 0},
            {0, INT_MAX}};
}

TEST_F(DcDraw, ImagesMatchTheSurfaceDrawing) {
    test_window w(40, 30);
    const screen before = pattern(40, 30);
    int failures = 0;
    for (unsigned i : {0u, 1u}) {
        mem_image &im = art.images[i];
        const int iw = im.width, ih = im.height;
        for (position p : positions(iw, ih))
            for (bool clip : {true, false}) {
                put(w.dc(), before);
                // The member and the index export alternately.
                bool ok = clip ? im.draw(w.dc(), p.x, p.y, clip)
                               : drawImage(w.dc(), p.x, p.y, &art, i, clip);
                screen want = before;
                im.draw(want.px.data(), &want.info, p.x, p.y);
                want.drop_fourth_bytes();
                std::string diff = first_difference(grab(w.dc(), 40, 30), want);
                if (ok && diff.empty()) continue;
                ADD_FAILURE() << "image " << i << " " << where(p.x, p.y, clip)
                              << (ok ? "" : ": returned false") << (diff.empty() ? "" : ": ")
                              << diff;
                if (++failures == 5) return;
            }
    }
}

TEST_F(DcDraw, PixelRulesHoldOnTheWindow) {
    test_window w(40, 30);
    screen bg(40, 30);
    for (RGBQUAD &q : bg.px) q = quad(200, 100, 50);
    put(w.dc(), bg);
    // Image 0 at (-5, -4): its pixel (c, r) lands on (c - 5, r - 4). Pixel
    // (8, 4) is 0 and keeps the background; pixel (6, 4) is 1 + 22 % 9 = 5.
    ASSERT_TRUE(drawImage(w.dc(), -5, -4, &art, 0, true));
    screen got = grab(w.dc(), 40, 30);
    EXPECT_EQ(show(got.at(3, 0)), show(quad(200, 100, 50))) << "value 0 keeps what is there";
    EXPECT_EQ(show(got.at(1, 0)), show(colour(5))) << "value 5";
    EXPECT_EQ(show(got.at(7, 0)), show(quad(200, 100, 50))) << "row padding is not drawn";

    // Shadow row 3 is solid: darkened once, then twice.
    put(w.dc(), bg);
    ASSERT_TRUE(drawImage(w.dc(), 20, 10, &art, 1, true));
    EXPECT_EQ(show(grab(w.dc(), 40, 30).at(21, 13)), show(quad(100, 50, 25))) << "once";
    ASSERT_TRUE(art.images[1].draw(w.dc(), 20, 10, false));
    got = grab(w.dc(), 40, 30);
    EXPECT_EQ(show(got.at(21, 13)), show(quad(50, 25, 12))) << "twice";
    // (21, 14) is image pixel (1, 4): a clear bit.
    EXPECT_EQ(show(got.at(21, 14)), show(quad(200, 100, 50))) << "clear bit";
}

// A window context that reaches past the client area (the whole window, its
// caption included) shows the difference: with clip, nothing outside the
// client rectangle is read or written; without, the whole image is composed
// and the context's own clipping decides.
TEST_F(DcDraw, ClipCutsToTheClientRectangle) {
    test_window w(40, 30, WS_POPUP | WS_CAPTION);
    HDC dc = GetWindowDC(w.hwnd());
    RECT wr;
    GetWindowRect(w.hwnd(), &wr);
    const int W = wr.right - wr.left, H = wr.bottom - wr.top;
    ASSERT_GT(H, 30 + 4) << "the window has no caption";
    const screen before = pattern(W, H);
    mem_image &im = art.images[0];
    for (position p : {position{5, 26}, position{5, 31}, position{38, 3}, position{-5, -4}})
        for (bool clip : {true, false}) {
            put(dc, before);
            ASSERT_TRUE(im.draw(dc, p.x, p.y, clip));
            screen want = before;
            im.draw(want.px.data(), &want.info, p.x, p.y);
            want.drop_fourth_bytes();
            if (clip) // only the client rectangle's part, placed as unclipped
                for (int y = 0; y < H; ++y)
                    for (int x = 0; x < W; ++x)
                        if (x >= 40 || y >= 30) want.at(x, y) = before.at(x, y);
            EXPECT_EQ(first_difference(grab(dc, W, H), want), "") << where(p.x, p.y, clip);
        }
    ReleaseDC(w.hwnd(), dc);
}

// ---------------------------------------------------------------------------
// Pictures and frames.

TEST_F(DcDraw, FramesStackLikeOnASurface) {
    test_window w(40, 30);
    const screen before = pattern(40, 30);
    mem_frame &f = art.frames[0];
    for (position p : {position{12, 6}, position{-3, 20}, position{33, -2}})
        for (bool clip : {true, false}) {
            put(w.dc(), before);
            EXPECT_TRUE(clip ? drawFrame(w.dc(), p.x, p.y, &art, 0, clip)
                             : f.draw(w.dc(), p.x, p.y, clip));
            screen want = before;
            f.draw(want.px.data(), &want.info, p.x, p.y);
            want.drop_fourth_bytes();
            EXPECT_EQ(first_difference(grab(w.dc(), 40, 30), want), "") << where(p.x, p.y, clip);
        }
    // The stacking itself: B over A, the shadow over both.
    put(w.dc(), before);
    ASSERT_TRUE(drawFrame(w.dc(), 10, 5, &art, 0, true));
    screen got = grab(w.dc(), 40, 30);
    RGBQUAD a = colour(1), b = colour(2);
    EXPECT_EQ(show(got.at(14, 5)), show(a)) << "A";
    EXPECT_EQ(show(got.at(15, 5)), show(b)) << "B over A";
    EXPECT_EQ(show(got.at(14, 7)), show(quad(a.rgbBlue >> 1, a.rgbGreen >> 1, a.rgbRed >> 1)))
        << "shadow over A";
    EXPECT_EQ(show(got.at(15, 8)), show(quad(b.rgbBlue >> 1, b.rgbGreen >> 1, b.rgbRed >> 1)))
        << "shadow over B";

    // A picture through its member and its export, at the frame's anchor.
    for (bool clip : {true, false}) {
        put(w.dc(), before);
        mem_pic &shadow = f.pics[2];
        EXPECT_TRUE(shadow.draw(w.dc(), 30, 25, clip));
        EXPECT_TRUE(drawPic(w.dc(), -1, -1, &art, unsigned(&f.pics[0] - art.pics), clip));
        screen want = before;
        shadow.draw(want.px.data(), &want.info, 30, 25);
        f.pics[0].draw(want.px.data(), &want.info, -1, -1);
        want.drop_fourth_bytes();
        EXPECT_EQ(first_difference(grab(w.dc(), 40, 30), want), "") << "pictures, clip " << clip;
    }
}

TEST_F(DcDraw, PicturesWithoutAnImageAndEmptyFrames) {
    test_window w(40, 30);
    const screen before = pattern(40, 30);
    put(w.dc(), before);
    const unsigned last = art.picCount - 1;
    ASSERT_EQ(art.pics[last].image, nullptr);
    EXPECT_FALSE(art.pics[last].draw(w.dc(), 0, 0, true));
    EXPECT_FALSE(drawPic(w.dc(), 0, 0, &art, last, false));
    EXPECT_TRUE(art.frames[1].draw(w.dc(), 0, 0, true)) << "no pictures";
    EXPECT_TRUE(drawFrame(w.dc(), 0, 0, &art, 1, false)) << "no pictures";
    EXPECT_EQ(first_difference(grab(w.dc(), 40, 30), before), "");

    // A frame passes over its image-less pictures.
    mem_pic run[3] = {{-50, -50, nullptr}, {2, 1, &art.images[0]}, {6, 6, nullptr}};
    mem_frame f{3, run};
    EXPECT_TRUE(f.draw(w.dc(), 0, 0, true));
    screen want = before;
    art.images[0].draw(want.px.data(), &want.info, 2, 1);
    want.drop_fourth_bytes();
    EXPECT_EQ(first_difference(grab(w.dc(), 40, 30), want), "");
}

TEST_F(DcDraw, IndexExportsCheckTheHandleAndIndex) {
    test_window w(40, 30);
    const screen before = pattern(40, 30);
    put(w.dc(), before);
    art_handle empty;
    for (bool clip : {true, false}) {
        EXPECT_FALSE(drawImage(w.dc(), 0, 0, &art, art.imageCount, clip));
        EXPECT_FALSE(drawImage(w.dc(), 0, 0, &art, UINT_MAX, clip));
        EXPECT_FALSE(drawPic(w.dc(), 0, 0, &art, art.picCount, clip));
        EXPECT_FALSE(drawFrame(w.dc(), 0, 0, &art, art.frameCount, clip));
        EXPECT_FALSE(drawImage(w.dc(), 0, 0, nullptr, 0, clip));
        EXPECT_FALSE(drawPic(w.dc(), 0, 0, nullptr, 0, clip));
        EXPECT_FALSE(drawFrame(w.dc(), 0, 0, nullptr, 0, clip));
        EXPECT_FALSE(drawImage(w.dc(), 0, 0, &empty, 0, clip)) << "nothing loaded";
        EXPECT_FALSE(drawPic(w.dc(), 0, 0, &empty, 0, clip)) << "nothing loaded";
        EXPECT_FALSE(drawFrame(w.dc(), 0, 0, &empty, 0, clip)) << "nothing loaded";
    }
    EXPECT_EQ(first_difference(grab(w.dc(), 40, 30), before), "");
}

// ---------------------------------------------------------------------------
// Contexts of no window, and sizes past what can be had.

TEST_F(DcDraw, MemoryContextIsBoundedByItsBitmap) {
    memory_dc m(24, 16);
    const screen before = pattern(24, 16);
    int failures = 0;
    for (unsigned i : {0u, 1u}) {
        mem_image &im = art.images[i];
        for (position p : {position{-5, -4}, position{18, 12}, position{24, 0}, position{3, -9}})
            for (bool clip : {true, false}) {
                m.put(before);
                bool ok = im.draw(m.dc(), p.x, p.y, clip);
                screen want = before;
                im.draw(want.px.data(), &want.info, p.x, p.y);
                want.drop_fourth_bytes();
                std::string diff = first_difference(m.pixels(), want);
                if (ok && diff.empty()) continue;
                ADD_FAILURE() << "image " << i << " " << where(p.x, p.y, clip)
                              << (ok ? "" : ": returned false") << (diff.empty() ? "" : ": ")
                              << diff;
                if (++failures == 5) return;
            }
    }
    // A metafile context has no rectangle to clip to: nothing, and true.
    HDC meta = CreateEnhMetaFileA(nullptr, nullptr, nullptr, nullptr);
    EXPECT_TRUE(drawImage(meta, 0, 0, &art, 0, true));
    DeleteEnhMetaFile(CloseEnhMetaFile(meta));
    // No context at all: unclipped, the capture fails and nothing is written.
    for (bool clip : {true, false}) EXPECT_TRUE(drawImage(nullptr, 0, 0, &art, 0, clip));
    EXPECT_EQ(FillDC(nullptr, 0), 0);
}

// Records far larger than any context: clipped to the window, only the
// visible rows are read (the blocks here hold just those); unclipped, the
// block can't be had and nothing is drawn.
TEST_F(DcDraw, HugeImagesDrawTheirVisiblePartOrNothing) {
    test_window w(40, 30);
    const screen before = pattern(40, 30);
    const int32_t big8 = 1 << 16, bigMask = 1 << 20;
    std::vector<uint8_t> rows8(size_t(big8) * 30), rowsMask(size_t(bigMask / 8) * 30);
    for (size_t k = 0; k < rows8.size(); ++k) rows8[k] = uint8_t(k % 11 % 10);
    for (size_t k = 0; k < rowsMask.size(); ++k) rowsMask[k] = uint8_t(k * 37);
    struct record {
        const char *what;
        mem_image im;
        int x;
    };
    const record cases[] = {
        {"8-bit 65536 x 65536", {big8, rows8.data(), big8, big8, 0, art.images[0].palette}, -1000},
        {"mask 2^20 x 2^20", {0, rowsMask.data(), bigMask, bigMask, 4, nullptr}, -(1 << 19) - 3},
    };
    for (const record &c : cases) {
        mem_image im = c.im;
        put(w.dc(), before);
        EXPECT_TRUE(im.draw(w.dc(), c.x, 0, true)) << c.what;
        screen want = before;
        im.draw(want.px.data(), &want.info, c.x, 0);
        want.drop_fourth_bytes();
        EXPECT_NE(first_difference(want, before), "") << c.what << ": nothing to see";
        EXPECT_EQ(first_difference(grab(w.dc(), 40, 30), want), "") << c.what << ", clipped";

        put(w.dc(), before);
        EXPECT_TRUE(im.draw(w.dc(), 0, 0, false)) << c.what;
        EXPECT_EQ(first_difference(grab(w.dc(), 40, 30), before), "") << c.what << ", unclipped";
    }
}

} // namespace
