// Group animation without windows: a fake window system records what the
// engine shows, and ticks are driven by hand.
#include "group_engine.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

using testing_support::load_set;

namespace {

HWND window(int n) {
    return reinterpret_cast<HWND>(uintptr_t(0x1000 + 0x10 * n));
}

// A window's own device context: the window's handle plus one.
HDC dc_of(HWND w) {
    return reinterpret_cast<HDC>(uintptr_t(w) + 1);
}

HDC foreign_dc() {
    return reinterpret_cast<HDC>(uintptr_t(0x9999));
}

struct shown {
    HDC dc;
    int32_t width, height;
    BITMAPINFOHEADER header;
    std::vector<RGBQUAD> pixels; // the buffer as handed over, top row first

    RGBQUAD at(int x, int y) const { return pixels[size_t(y) * width + x]; }
};

class fake_host : public group_host {
public:
    std::map<HWND, std::pair<int32_t, int32_t>> clients; // a window not here is gone
    std::vector<shown> shows;
    int dcsTaken = 0, dcsReleased = 0;
    long allocationsLeft = -1; // -1: memory never runs out
    long allocations = 0;
    bool timerRunning = false;

    bool client_size(HWND w, int32_t &width, int32_t &height) override {
        auto it = clients.find(w);
        if (it == clients.end()) return false;
        width = it->second.first;
        height = it->second.second;
        return true;
    }
    HDC get_dc(HWND w) override {
        ++dcsTaken;
        return dc_of(w);
    }
    void release_dc(HWND w, HDC dc) override {
        EXPECT_EQ(dc, dc_of(w)) << "released a device context of another window";
        ++dcsReleased;
    }
    void transfer(HDC dc, int32_t width, int32_t height, const RGBQUAD *pixels,
                  const BITMAPINFO *info) override {
        shows.push_back({dc, width, height, info->bmiHeader,
                         std::vector<RGBQUAD>(pixels, pixels + size_t(width) * height)});
    }
    void start_timer() override { timerRunning = true; }
    void stop_timer() override { timerRunning = false; }
    void *allocate(size_t bytes) override {
        if (allocationsLeft == 0) return nullptr;
        if (allocationsLeft > 0) --allocationsLeft;
        ++allocations;
        return group_host::allocate(bytes);
    }

    const shown &last() const { return shows.back(); }
};

// Palette entry k (1..15): distinct, non-grey colours with fourth byte 0.
RGBQUAD colour(int k) {
    return {uint8_t(200 - 10 * k), uint8_t(20 * k), uint8_t(100 + 9 * k), 0};
}

bool same(RGBQUAD a, RGBQUAD b) {
    return a.rgbBlue == b.rgbBlue && a.rgbGreen == b.rgbGreen && a.rgbRed == b.rgbRed &&
           a.rgbReserved == b.rgbReserved;
}

std::string str(RGBQUAD c) {
    return "(b " + std::to_string(c.rgbBlue) + ", g " + std::to_string(c.rgbGreen) + ", r " +
           std::to_string(c.rgbRed) + ", x " + std::to_string(c.rgbReserved) + ")";
}

// "" when the pictures match, else the first pixel that differs.
std::string diff(const shown &got, const std::vector<RGBQUAD> &want) {
    if (got.pixels.size() != want.size()) return "picture of another size";
    for (size_t i = 0; i < want.size(); ++i)
        if (!same(got.pixels[i], want[i]))
            return "pixel (" + std::to_string(i % got.width) + ", " +
                   std::to_string(i / got.width) + ") is " + str(got.pixels[i]) + " instead of " +
                   str(want[i]);
    return "";
}

RGBQUAD halve(RGBQUAD c) {
    return {uint8_t(c.rgbBlue >> 1), uint8_t(c.rgbGreen >> 1), uint8_t(c.rgbRed >> 1),
            c.rgbReserved};
}

const RGBQUAD kBackground = {7, 77, 177, 0};
const RGBQUAD kBlack = {0, 0, 0, 0};

enum {
    COUNTER,    // 4 frames: frame f is a 4 x 4 square of colour f + 1 at (0, 0)
    ACCUMULATE, // 4 frames of 2 x 1: [1, clear], [clear, 2], shadow, shadow
    RECTS,      // 2 frames: (0, 0, 10, 10) and (-5, 2, 8, 20)
    NO_FRAMES,  // frameCount 0
    NO_PICS,    // 2 frames without pictures
    SOLID,      // 1 frame: a 4 x 4 square of colour 8 at (0, 0)
    HOLLOW,     // 2 frames: none, then (3, 4, 13, 12)
    GROUPS
};

artgen::picture pic(uint16_t image, uint8_t slot, int16_t x, int16_t y) {
    artgen::picture p;
    p.image = image;
    p.slot = slot;
    p.x = x;
    p.y = y;
    return p;
}

artgen::frame frame_of(std::vector<artgen::picture> pics) {
    artgen::frame f;
    f.pics = std::move(pics);
    return f;
}

artgen::art_set test_set() {
    artgen::art_set set;
    artgen::palette p;
    p.add(0, 0, 0);
    for (int k = 1; k < 16; ++k) {
        RGBQUAD c = colour(k);
        p.add(c.rgbRed, c.rgbGreen, c.rgbBlue, c.rgbReserved);
    }
    set.palettes.push_back(p);
    auto add = [&](artgen::image im) {
        set.images.push_back(std::move(im));
        return uint16_t(set.images.size() - 1);
    };
    set.groups.resize(GROUPS);

    for (uint8_t f = 0; f < 4; ++f) {
        uint16_t square = add(artgen::image8(4, 4, 0, std::vector<uint8_t>(16, uint8_t(f + 1))));
        set.groups[COUNTER].frames.push_back(frame_of({pic(square, 0, 0, 0)}));
    }
    uint16_t left = add(artgen::image8(2, 1, 0, {1, 0}));
    uint16_t right = add(artgen::image8(2, 1, 0, {0, 2}));
    uint16_t shadow = add(artgen::mask1(2, 1, {1, 1}));
    for (uint16_t im : {left, right, shadow, shadow})
        set.groups[ACCUMULATE].frames.push_back(frame_of({pic(im, 0, 0, 0)}));

    uint16_t ten = add(artgen::image8(10, 10, 0, std::vector<uint8_t>(100, 3)));
    uint16_t tall = add(artgen::image8(13, 18, 0, std::vector<uint8_t>(13 * 18, 4)));
    set.groups[RECTS].frames = {frame_of({pic(ten, 0, 0, 0)}), frame_of({pic(tall, 0, -5, 2)})};

    set.groups[NO_PICS].frames.resize(2);

    uint16_t solid = add(artgen::image8(4, 4, 0, std::vector<uint8_t>(16, 8)));
    set.groups[SOLID].frames = {frame_of({pic(solid, 0, 0, 0)})};

    uint16_t wide = add(artgen::image8(10, 8, 0, std::vector<uint8_t>(80, 5)));
    set.groups[HOLLOW].frames.resize(2);
    set.groups[HOLLOW].frames[1].pics = {pic(wide, 0, 3, 4)};
    return set;
}

// Callbacks (cdecl, as clients pass them) and what they saw.
std::vector<std::string> g_calls;
RGBQUAD *g_replacement;
art_handle *g_callbackArt;

void paint_background(HWND, RGBQUAD **buffer, BITMAPINFO *info) {
    g_calls.push_back("paint");
    size_t n = size_t(info->bmiHeader.biWidth) * size_t(-info->bmiHeader.biHeight);
    for (size_t i = 0; i < n; ++i) (*buffer)[i] = kBackground;
}

void other_background(HWND, RGBQUAD **, BITMAPINFO *) {
    g_calls.push_back("other");
}

void take_over(HWND, RGBQUAD **, BITMAPINFO *) {
    g_calls.push_back("after");
}

void paint_then_24_bits(HWND w, RGBQUAD **buffer, BITMAPINFO *info) {
    paint_background(w, buffer, info);
    info->bmiHeader.biBitCount = 24;
}

void replace_buffer(HWND w, RGBQUAD **buffer, BITMAPINFO *info) {
    paint_background(w, buffer, info);
    *buffer = g_replacement;
}

void start_and_end_inside(HWND w, RGBQUAD **, BITMAPINFO *) {
    g_calls.push_back(std::to_string(start_drawGroup(w, 0, 0, g_callbackArt, 0)));
    g_calls.push_back(end_drawGroup(1) ? "ended" : "kept");
    g_calls.push_back(end_drawGroupAll() ? "ended all" : "kept all");
    group_timer_tick(); // as a message box's loop would dispatch it
}

void close_set(HWND, RGBQUAD **, BITMAPINFO *) {
    g_calls.push_back("close");
    CloseArt(g_callbackArt);
}

void grow_header(HWND w, RGBQUAD **buffer, BITMAPINFO *info) {
    paint_background(w, buffer, info);
    info->bmiHeader.biWidth += 1;
}

class Groups : public ::testing::Test {
protected:
    fake_host host;
    art_handle art;

    void SetUp() override {
        g_calls.clear();
        group_engine_start(&host);
        ASSERT_TRUE(host.timerRunning);
        ASSERT_EQ(load_set(art, test_set()), ART_OK);
        ASSERT_EQ(art.groupCount, unsigned(GROUPS));
    }
    void TearDown() override { group_engine_stop(); }

    mem_group *group(int g) { return &art.groups[g]; }
    void tick(int n = 1) {
        for (int i = 0; i < n; ++i) group_timer_tick();
    }
    // What a render of these groups (newest first) at this frame shows, by
    // the frame drawing itself, over the background.
    std::vector<RGBQUAD> composed(int32_t w, int32_t h,
                                  std::vector<std::pair<int, int>> groupFrames, int x, int y) {
        std::vector<RGBQUAD> px(size_t(w) * h, kBackground);
        BITMAPINFO info{};
        info.bmiHeader = {40, w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        for (auto [g, f] : groupFrames) group(g)->frames[f].draw(px.data(), &info, x, y);
        return px;
    }
    // Which frame of COUNTER the last picture of window w shows (anchor 2, 2).
    int counter_frame(HWND w) {
        for (auto it = host.shows.rbegin(); it != host.shows.rend(); ++it)
            if (it->dc == dc_of(w))
                for (int f = 0; f < 4; ++f)
                    if (same(it->at(3, 3), colour(f + 1))) return f;
        return -1;
    }
};

TEST_F(Groups, FramesFollowOneSharedCounter) {
    host.clients[window(1)] = {8, 8};
    host.clients[window(2)] = {8, 8};
    tick(10); // only counts: nothing plays
    EXPECT_TRUE(host.shows.empty());

    EXPECT_EQ(group(COUNTER)->start_draw(window(1), 2, 2, paint_background, nullptr), 1u);
    ASSERT_EQ(host.shows.size(), 1u) << "a start shows its window at once";
    EXPECT_EQ(counter_frame(window(1)), 2) << "started at tick 10";
    EXPECT_EQ(diff(host.last(), composed(8, 8, {{COUNTER, 2}}, 2, 2)), "");
    for (int expected : {3, 0, 1}) {
        tick();
        EXPECT_EQ(counter_frame(window(1)), expected);
    }

    // A start renders without moving the counter: window 2 shows window 1's frame.
    EXPECT_EQ(group(COUNTER)->start_draw(window(2), 2, 2, paint_background, nullptr), 1u);
    EXPECT_EQ(counter_frame(window(2)), 1);
    for (int expected : {2, 3, 0}) {
        size_t before = host.shows.size();
        tick();
        ASSERT_EQ(host.shows.size(), before + 2) << "one transfer per window per tick";
        EXPECT_EQ(host.shows[before].dc, dc_of(window(2))) << "newest window record first";
        EXPECT_EQ(host.shows[before + 1].dc, dc_of(window(1)));
        EXPECT_EQ(counter_frame(window(1)), expected);
        EXPECT_EQ(counter_frame(window(2)), expected);
        EXPECT_EQ(diff(host.last(), composed(8, 8, {{COUNTER, expected}}, 2, 2)), "");
    }
    EXPECT_EQ(host.dcsTaken, host.dcsReleased);
    const BITMAPINFOHEADER h = host.last().header;
    EXPECT_EQ(h.biSize, 40u);
    EXPECT_EQ(h.biWidth, 8);
    EXPECT_EQ(h.biHeight, -8);
    EXPECT_EQ(h.biPlanes, 1);
    EXPECT_EQ(h.biBitCount, 32);
    EXPECT_EQ(h.biCompression, DWORD(BI_RGB));
    EXPECT_EQ(h.biSizeImage | h.biClrUsed | h.biClrImportant, 0u);
}

TEST_F(Groups, IdsCountPerWindowRecordAndLookupsTakeTheNewest) {
    host.clients[window(1)] = {8, 8};
    host.clients[window(2)] = {8, 8};
    EXPECT_EQ(group(COUNTER)->start_draw(window(1), 0, 0, nullptr, nullptr), 1u);
    EXPECT_EQ(group(SOLID)->start_draw(window(1), 0, 0, nullptr, nullptr), 2u);
    EXPECT_EQ(group(COUNTER)->start_draw(window(2), 0, 0, nullptr, nullptr), 1u);

    EXPECT_EQ(get_groupWindow(1), window(2)) << "the record made last comes first";
    EXPECT_EQ(get_groupWindow(2), window(1));
    EXPECT_EQ(get_groupWindow(3), nullptr);
    EXPECT_TRUE(end_drawGroup(1));
    EXPECT_EQ(get_groupWindow(1), window(1));
    EXPECT_FALSE(redraw_groupWindow(window(2), nullptr)) << "its last group ended the record";
    EXPECT_TRUE(end_drawGroup(1));
    EXPECT_FALSE(end_drawGroup(1));

    // Window 1 keeps its record with group 2; ids are never given twice.
    EXPECT_EQ(get_groupWindow(2), window(1));
    size_t before = host.shows.size();
    tick();
    EXPECT_EQ(host.shows.size(), before + 1);
    EXPECT_EQ(group(COUNTER)->start_draw(window(1), 0, 0, nullptr, nullptr), 3u);
    EXPECT_TRUE(end_drawGroup(3));
    EXPECT_TRUE(end_drawGroup(2));
    EXPECT_EQ(get_groupWindow(2), nullptr);
    EXPECT_EQ(group(COUNTER)->start_draw(window(1), 0, 0, nullptr, nullptr), 1u)
        << "a new record counts from 1";
    EXPECT_EQ(group(COUNTER)->start_draw(window(2), 0, 0, nullptr, nullptr), 1u);

    for (HWND w : {window(1), window(2)}) {
        EXPECT_FALSE(set_groupPos(GROUP_NO_ID, 1, 1));
        EXPECT_EQ(get_groupWindow(GROUP_NO_ID), nullptr);
        EXPECT_FALSE(end_drawGroup(GROUP_NO_ID));
        EXPECT_FALSE(redraw_frameByGroupID(GROUP_NO_ID, nullptr));
        EXPECT_TRUE(redraw_groupWindow(w, nullptr));
    }
    EXPECT_FALSE(redraw_groupWindow(nullptr, nullptr));
    EXPECT_EQ(group(COUNTER)->start_draw(nullptr, 0, 0, nullptr, nullptr), GROUP_NO_ID)
        << "no window to show in";
}

TEST_F(Groups, CallbacksComeFromTheStartThatMadeTheRecord) {
    host.clients[window(1)] = {8, 8};
    group(COUNTER)->start_draw(window(1), 0, 0, paint_background, nullptr);
    group(SOLID)->start_draw(window(1), 0, 0, other_background, take_over);
    tick();
    EXPECT_EQ(g_calls, (std::vector<std::string>{"paint", "paint", "paint"}));
    EXPECT_EQ(host.shows.size(), 3u) << "no afterDraw: the library transfers";

    end_drawGroupAll();
    g_calls.clear();
    host.shows.clear();
    int taken = host.dcsTaken;
    EXPECT_EQ(group(COUNTER)->start_draw(window(1), 0, 0, other_background, take_over), 1u);
    tick();
    EXPECT_EQ(g_calls, (std::vector<std::string>{"other", "after", "other", "after"}));
    EXPECT_TRUE(host.shows.empty()) << "afterDraw takes the transfer over";
    EXPECT_EQ(host.dcsTaken, taken);
    EXPECT_TRUE(redraw_groupWindow(window(1), nullptr)) << "a repaint still transfers";
    EXPECT_EQ(host.shows.size(), 1u);

    end_drawGroupAll();
    g_calls.clear();
    EXPECT_EQ(start_drawGroup(window(1), 0, 0, &art, COUNTER), 1);
    group(SOLID)->start_draw(window(1), 0, 0, paint_background, take_over);
    tick();
    EXPECT_TRUE(g_calls.empty()) << "start_drawGroup made the record without callbacks";
}

TEST_F(Groups, EarliestStartedGroupIsDrawnOnTop) {
    host.clients[window(1)] = {8, 8};
    group(COUNTER)->start_draw(window(1), 2, 2, paint_background, nullptr); // id 1
    group(SOLID)->start_draw(window(1), 2, 2, paint_background, nullptr);   // id 2
    for (int i = 0; i < 4; ++i) {
        size_t before = host.shows.size();
        tick();
        ASSERT_EQ(host.shows.size(), before + 1) << "one buffer, one transfer";
        int f = counter_frame(window(1));
        ASSERT_GE(f, 0) << "group 1 must lie over group 2";
        EXPECT_EQ(diff(host.last(), composed(8, 8, {{SOLID, 0}, {COUNTER, f}}, 2, 2)), "");
    }
}

TEST_F(Groups, EndingAllLeavesEveryLookupFailing) {
    host.clients[window(1)] = {8, 8};
    host.clients[window(2)] = {8, 8};
    group(COUNTER)->start_draw(window(1), 0, 0, nullptr, nullptr);
    group(COUNTER)->start_draw(window(1), 0, 0, nullptr, nullptr);
    group(COUNTER)->start_draw(window(2), 0, 0, nullptr, nullptr);
    EXPECT_TRUE(end_drawGroupAll());
    for (uint32_t id : {1u, 2u, 3u}) {
        EXPECT_EQ(get_groupWindow(id), nullptr) << id;
        EXPECT_FALSE(end_drawGroup(id)) << id;
        EXPECT_FALSE(set_groupPos(id, 0, 0)) << id;
        EXPECT_FALSE(redraw_frameByGroupID(id, nullptr)) << id;
    }
    EXPECT_FALSE(redraw_groupWindow(window(1), nullptr));
    EXPECT_FALSE(redraw_groupWindow(window(2), nullptr));
    size_t before = host.shows.size();
    tick();
    EXPECT_EQ(host.shows.size(), before) << "nothing plays; the timer only counts";
    EXPECT_TRUE(host.timerRunning);
    EXPECT_TRUE(end_drawGroupAll());
}

TEST_F(Groups, DrawRectangleIsTheUnionOfFramesThatCoverSomething) {
    auto rect_of = [&](int g) {
        RECT r{-99, -99, -99, -99};
        EXPECT_TRUE(group(g)->getDrawRect(&r)) << g;
        return std::vector<LONG>{r.left, r.top, r.right, r.bottom};
    };
    EXPECT_EQ(rect_of(RECTS), (std::vector<LONG>{-5, 0, 10, 20}));
    EXPECT_EQ(rect_of(SOLID), (std::vector<LONG>{0, 0, 4, 4})) << "one frame: its rectangle";
    EXPECT_EQ(rect_of(NO_FRAMES), (std::vector<LONG>{0, 0, 0, 0}));
    EXPECT_EQ(rect_of(NO_PICS), (std::vector<LONG>{0, 0, 0, 0}));
    EXPECT_EQ(rect_of(HOLLOW), (std::vector<LONG>{3, 4, 13, 12}))
        << "a frame without pictures adds nothing";
    EXPECT_FALSE(group(RECTS)->getDrawRect(nullptr));
}

TEST_F(Groups, GroupsWithoutFramesOrPicturesShowOnlyTheBackground) {
    host.clients[window(1)] = {6, 5};
    EXPECT_EQ(group(NO_FRAMES)->start_draw(window(1), 0, 0, paint_background, nullptr), 1u);
    EXPECT_EQ(group(NO_PICS)->start_draw(window(1), 0, 0, paint_background, nullptr), 2u);
    tick(3);
    ASSERT_EQ(host.shows.size(), 5u) << "two starts, three ticks";
    for (const shown &s : host.shows) EXPECT_EQ(diff(s, std::vector<RGBQUAD>(30, kBackground)), "");
}

TEST_F(Groups, ABeforeDrawThatChangesTheDepthLeavesFramesUndrawn) {
    host.clients[window(1)] = {8, 8};
    group(COUNTER)->start_draw(window(1), 0, 0, paint_then_24_bits, nullptr);
    tick();
    ASSERT_EQ(host.shows.size(), 2u) << "still transferred";
    EXPECT_EQ(host.last().header.biBitCount, 24) << "with the header as the callback left it";
    EXPECT_EQ(diff(host.last(), std::vector<RGBQUAD>(64, kBackground)), "");
    EXPECT_TRUE(redraw_groupWindow(window(1), foreign_dc()));
    EXPECT_EQ(host.last().header.biBitCount, 32) << "a repaint builds a fresh header";
    EXPECT_EQ(host.last().dc, foreign_dc());
}

TEST_F(Groups, WithoutABeforeDrawFramesAccumulate) {
    host.clients[window(1)] = {2, 1};
    group(ACCUMULATE)->start_draw(window(1), 0, 0, nullptr, nullptr); // tick 0: frame 0
    tick(4);
    RGBQUAD c1 = colour(1), c2 = colour(2);
    std::vector<std::vector<RGBQUAD>> expected = {
        {c1, kBlack},                         // a new buffer is black
        {c1, c2},                             // frame 0 shows through frame 1
        {halve(c1), halve(c2)},               // the shadow darkens both
        {halve(halve(c1)), halve(halve(c2))}, // and again
        {c1, halve(halve(c2))},               // frame 0 covers only its own pixel
    };
    ASSERT_EQ(host.shows.size(), expected.size());
    for (size_t i = 0; i < expected.size(); ++i)
        for (int x = 0; x < 2; ++x)
            EXPECT_TRUE(same(host.shows[i].at(x, 0), expected[i][x]))
                << "render " << i << " pixel " << x << ": " << str(host.shows[i].at(x, 0))
                << " instead of " << str(expected[i][x]);
}

TEST_F(Groups, AResizeReallocatesAtTheNextRender) {
    host.clients[window(1)] = {8, 8};
    group(SOLID)->start_draw(window(1), 2, 2, paint_background, nullptr);
    long allocations = host.allocations;
    tick(3);
    EXPECT_EQ(host.allocations, allocations) << "ticks of an unchanged size allocate nothing";

    host.clients[window(1)] = {12, 9};
    EXPECT_TRUE(redraw_groupWindow(window(1), nullptr));
    EXPECT_EQ(host.last().width, 8) << "a repaint before the next tick shows the old buffer";
    EXPECT_EQ(host.last().height, 8);
    EXPECT_EQ(host.last().header.biHeight, -8);
    tick();
    EXPECT_EQ(host.allocations, allocations + 1);
    EXPECT_EQ(host.last().width, 12);
    EXPECT_EQ(host.last().height, 9);
    EXPECT_EQ(diff(host.last(), composed(12, 9, {{SOLID, 0}}, 2, 2)), "");
    EXPECT_TRUE(redraw_frameByGroupID(1, nullptr));
    EXPECT_EQ(host.last().width, 12);
}

TEST_F(Groups, AMoveShowsFromTheNextRenderOn) {
    host.clients[window(1)] = {8, 8};
    group(SOLID)->start_draw(window(1), 0, 0, paint_background, nullptr);
    uint32_t second = group(SOLID)->start_draw(window(2), 0, 0, nullptr, nullptr);
    EXPECT_EQ(second, 1u);
    size_t before = host.shows.size();
    EXPECT_TRUE(set_groupPos(1, 3, 4)) << "moves window 2's group 1: the newest record";
    EXPECT_TRUE(set_groupPos(1, 3, 4)); // harmless twice
    end_drawGroup(1);                   // window 2's; window 1's group is next
    EXPECT_TRUE(set_groupPos(1, 3, 4));
    EXPECT_EQ(host.shows.size(), before) << "nothing drawn at once";
    EXPECT_TRUE(redraw_frameByGroupID(1, nullptr));
    EXPECT_EQ(diff(host.last(), composed(8, 8, {{SOLID, 0}}, 0, 0)), "") << "the old picture";
    tick();
    EXPECT_EQ(diff(host.last(), composed(8, 8, {{SOLID, 0}}, 3, 4)), "");
}

TEST_F(Groups, RepaintsUseTheGivenOrTheWindowsOwnDeviceContext) {
    host.clients[window(1)] = {8, 8};
    group(COUNTER)->start_draw(window(1), 2, 2, paint_background, nullptr);
    tick(2);
    std::vector<RGBQUAD> picture = host.last().pixels;
    int taken = host.dcsTaken;
    EXPECT_TRUE(redraw_groupWindow(window(1), foreign_dc()));
    EXPECT_EQ(host.dcsTaken, taken) << "a given device context is the caller's";
    EXPECT_EQ(host.last().dc, foreign_dc());
    EXPECT_TRUE(redraw_frameByGroupID(1, nullptr));
    EXPECT_EQ(host.last().dc, dc_of(window(1)));
    EXPECT_EQ(host.dcsTaken, taken + 1);
    EXPECT_EQ(host.dcsReleased, host.dcsTaken);
    EXPECT_EQ(diff(host.last(), picture), "") << "repaints compose nothing";
    tick();
    EXPECT_EQ(counter_frame(window(1)), 3) << "repaints do not move the counter";
}

TEST_F(Groups, ExhaustedMemoryLinksNothingHalfway) {
    host.clients[window(1)] = {8, 8};
    host.clients[window(2)] = {8, 8};
    host.allocationsLeft = 0; // the window record
    EXPECT_EQ(group(SOLID)->start_draw(window(1), 0, 0, paint_background, nullptr), GROUP_NO_ID);
    host.allocationsLeft = 1; // the record, not its draw
    EXPECT_EQ(start_drawGroup(window(1), 0, 0, &art, SOLID), -1);
    EXPECT_EQ(get_groupWindow(1), nullptr);
    EXPECT_FALSE(redraw_groupWindow(window(1), nullptr));
    EXPECT_TRUE(g_calls.empty());

    host.allocationsLeft = 2; // record and draw, not the buffer
    EXPECT_EQ(group(SOLID)->start_draw(window(1), 0, 0, paint_background, nullptr), 1u);
    EXPECT_TRUE(host.shows.empty()) << "no buffer, no render";
    EXPECT_TRUE(g_calls.empty()) << "no callback without a buffer";
    EXPECT_FALSE(redraw_groupWindow(window(1), nullptr)) << "nothing composed to show";
    host.allocationsLeft = 0;
    EXPECT_EQ(group(COUNTER)->start_draw(window(1), 0, 0, nullptr, nullptr), GROUP_NO_ID);
    tick();
    EXPECT_TRUE(host.shows.empty());
    host.allocationsLeft = -1;
    tick();
    ASSERT_EQ(host.shows.size(), 1u) << "the window plays once memory is back";
    EXPECT_EQ(group(COUNTER)->start_draw(window(1), 0, 0, nullptr, nullptr), 2u)
        << "a failed start uses up no id";

    // A resize that can't get its buffer keeps the old one and skips the tick.
    host.clients[window(1)] = {20, 20};
    host.allocationsLeft = 0;
    size_t before = host.shows.size();
    tick();
    EXPECT_EQ(host.shows.size(), before);
    EXPECT_TRUE(redraw_groupWindow(window(1), nullptr));
    EXPECT_EQ(host.last().width, 8);
    host.allocationsLeft = -1;
    tick();
    EXPECT_EQ(host.last().width, 20);
}

TEST_F(Groups, GoneAndEmptyWindowsAreSkippedAndKept) {
    host.clients[window(1)] = {8, 8};
    host.clients[window(2)] = {0, 5};
    group(SOLID)->start_draw(window(1), 0, 0, paint_background, nullptr);
    group(SOLID)->start_draw(window(2), 0, 0, paint_background, nullptr);
    group(SOLID)->start_draw(window(3), 0, 0, paint_background, nullptr); // never existed
    host.clients.erase(window(1));
    host.shows.clear();
    g_calls.clear();
    long allocations = host.allocations;
    tick(2);
    EXPECT_TRUE(host.shows.empty());
    EXPECT_TRUE(g_calls.empty());
    EXPECT_EQ(host.allocations, allocations) << "no buffer for an empty client area";
    EXPECT_EQ(get_groupWindow(1), window(3)) << "records are kept";
    EXPECT_TRUE(redraw_groupWindow(window(1), nullptr)) << "its last picture is still there";
    EXPECT_FALSE(redraw_groupWindow(window(2), nullptr)) << "never composed";

    host.clients[window(1)] = {8, 8};
    host.clients[window(2)] = {3, 5};
    host.shows.clear();
    tick();
    ASSERT_EQ(host.shows.size(), 2u);
    EXPECT_EQ(host.shows[0].dc, dc_of(window(2)));
    EXPECT_EQ(host.shows[0].width, 3);
}

TEST_F(Groups, ClosingASetEndsItsDrawsOnly) {
    art_handle other;
    ASSERT_EQ(load_set(other, test_set()), ART_OK);
    host.clients[window(1)] = {8, 8};
    host.clients[window(2)] = {8, 8};
    group(SOLID)->start_draw(window(1), 2, 2, paint_background, nullptr); // 1
    start_drawGroup(window(1), 2, 2, &other, COUNTER);                    // 2
    start_drawGroup(window(1), 2, 2, &other, RECTS);                      // 3
    start_drawGroup(window(2), 2, 2, &other, HOLLOW);                     // 1
    art_handle sharer;
    sharer = other;
    CloseArt(&other);
    EXPECT_EQ(get_groupWindow(3), window(1)) << "a sharer still holds the set";
    CloseArt(&sharer);
    EXPECT_EQ(get_groupWindow(2), nullptr);
    EXPECT_EQ(get_groupWindow(3), nullptr);
    EXPECT_EQ(get_groupWindow(1), window(1));
    EXPECT_FALSE(redraw_groupWindow(window(2), nullptr)) << "its only group went with the set";
    host.shows.clear();
    tick();
    ASSERT_EQ(host.shows.size(), 1u);
    EXPECT_EQ(diff(host.last(), composed(8, 8, {{SOLID, 0}}, 2, 2)), "")
        << "only the open set's group is drawn";
    EXPECT_EQ(group(SOLID)->start_draw(window(1), 0, 0, nullptr, nullptr), 4u);
}

TEST_F(Groups, AReplacedBufferIsNotTaken) {
    host.clients[window(1)] = {8, 8};
    std::vector<RGBQUAD> clients(64, RGBQUAD{0xCC, 0xCC, 0xCC, 0xCC});
    g_replacement = clients.data();
    group(SOLID)->start_draw(window(1), 2, 2, replace_buffer, nullptr);
    tick();
    host.clients[window(1)] = {9, 9}; // releases the library's own block
    tick();
    EXPECT_EQ(diff(host.last(), composed(9, 9, {{SOLID, 0}}, 2, 2)), "");
    for (const RGBQUAD &c : clients) ASSERT_TRUE(same(c, {0xCC, 0xCC, 0xCC, 0xCC}));
    EXPECT_TRUE(end_drawGroupAll()); // frees only what the library allocated
}

TEST_F(Groups, CallbacksCannotChangeTheRecordsUnderARender) {
    host.clients[window(1)] = {8, 8};
    host.clients[window(2)] = {8, 8};
    g_callbackArt = &art;
    group(SOLID)->start_draw(window(1), 0, 0, start_and_end_inside, nullptr);
    EXPECT_EQ(g_calls, (std::vector<std::string>{"-1", "kept", "kept all"}));
    tick();
    EXPECT_EQ(get_groupWindow(1), window(1));
    EXPECT_EQ(get_groupWindow(2), nullptr);
    EXPECT_TRUE(end_drawGroupAll());

    // A header grown past the buffer: nothing is drawn or transferred.
    host.shows.clear();
    group(SOLID)->start_draw(window(1), 0, 0, grow_header, nullptr);
    tick();
    EXPECT_TRUE(host.shows.empty());
    EXPECT_TRUE(end_drawGroupAll());

    // A callback that closes the set playing in its window, at a tick and at
    // a start: the window's record goes once the callback has returned.
    art_handle other;
    ASSERT_EQ(load_set(other, test_set()), ART_OK);
    group(SOLID)->start_draw(window(2), 0, 0, paint_background, nullptr);
    g_callbackArt = nullptr;
    other.groups[SOLID].start_draw(window(1), 0, 0, close_set, nullptr);
    g_callbackArt = &other;
    g_calls.clear();
    tick();
    EXPECT_EQ(g_calls, (std::vector<std::string>{"close"})) << "the rest of that tick is skipped";
    EXPECT_EQ(other.loadState, ART_EMPTY);
    EXPECT_EQ(get_groupWindow(1), window(2));
    EXPECT_FALSE(redraw_groupWindow(window(1), nullptr));
    tick();
    EXPECT_EQ(g_calls, (std::vector<std::string>{"close", "paint"}));

    ASSERT_EQ(load_set(other, test_set()), ART_OK);
    EXPECT_EQ(other.groups[SOLID].start_draw(window(1), 0, 0, close_set, nullptr), 1u);
    EXPECT_EQ(other.loadState, ART_EMPTY);
    EXPECT_EQ(get_groupWindow(1), window(2));
}

TEST_F(Groups, StartByIndexChecksTheSet) {
    host.clients[window(1)] = {8, 8};
    EXPECT_EQ(start_drawGroup(window(1), 0, 0, &art, art.groupCount), -1);
    EXPECT_EQ(start_drawGroup(window(1), 0, 0, &art, 0xFFFFFFFFu), -1);
    EXPECT_EQ(start_drawGroup(window(1), 0, 0, nullptr, 0), -1);
    art_handle empty;
    EXPECT_EQ(start_drawGroup(window(1), 0, 0, &empty, 0), -1);
    EXPECT_EQ(get_groupWindow(1), nullptr);
    EXPECT_TRUE(host.shows.empty());
    EXPECT_EQ(start_drawGroup(window(1), 0, 0, &art, GROUPS - 1), 1);
}

TEST_F(Groups, UnloadFreesEverythingAndStopsTheTimer) {
    host.clients[window(1)] = {8, 8};
    tick(5);
    group(COUNTER)->start_draw(window(1), 2, 2, paint_background, nullptr);
    group_engine_stop();
    EXPECT_FALSE(host.timerRunning);
    EXPECT_EQ(get_groupWindow(1), nullptr);
    EXPECT_EQ(group(COUNTER)->start_draw(window(1), 2, 2, nullptr, nullptr), GROUP_NO_ID)
        << "nothing plays while unloaded";

    group_engine_start(&host);
    EXPECT_TRUE(host.timerRunning);
    group(COUNTER)->start_draw(window(1), 2, 2, paint_background, nullptr);
    EXPECT_EQ(counter_frame(window(1)), 0) << "a load starts the counter at 0";
}

} // namespace
