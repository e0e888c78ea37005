// Group animation without windows: a fake window system records what the
// engine shows, and ticks are driven by hand.
#include "group_engine.h"
#include "reference_draw.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <map>
#include <string>
#include <vector>

using reference::same;
using reference::show;
using testing_support::load_set;

namespace {

HWND window(int n) {
    return reinterpret_cast<HWND>(uintptr_t(0x1000 + 0x10 * n));
}
// A window's own device context: its handle plus one.
HDC dc_of(HWND w) {
    return reinterpret_cast<HDC>(uintptr_t(w) + 1);
}
const HDC kForeignDc = reinterpret_cast<HDC>(uintptr_t(0x9999));

struct shown {
    HDC dc;
    int32_t width, height;
    BITMAPINFOHEADER header;
    std::vector<RGBQUAD> pixels; // top row first
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
        std::tie(width, height) = it->second;
        return true;
    }
    HDC get_dc(HWND w) override { return ++dcsTaken, dc_of(w); }
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

// Palette entry k (1..15): distinct, non-grey colours.
RGBQUAD colour(int k) {
    return {uint8_t(200 - 10 * k), uint8_t(20 * k), uint8_t(100 + 9 * k), 0};
}
// "" when the pictures match, else the first pixel that differs.
std::string diff(const shown &got, const std::vector<RGBQUAD> &want) {
    if (got.pixels.size() != want.size()) return "picture of another size";
    for (size_t i = 0; i < want.size(); ++i)
        if (!same(got.pixels[i], want[i]))
            return "pixel (" + std::to_string(i % got.width) + ", " +
                   std::to_string(i / got.width) + ") is " + show(got.pixels[i]) + " not " +
                   show(want[i]);
    return "";
}
RGBQUAD halve(RGBQUAD c) {
    return {uint8_t(c.rgbBlue >> 1), uint8_t(c.rgbGreen >> 1), uint8_t(c.rgbRed >> 1), 0};
}

const RGBQUAD kBackground = {7, 77, 177, 0};

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

artgen::art_set test_set() {
    using artgen::image8;
    artgen::art_set set;
    set.palettes.resize(1);
    set.palettes[0].add(0, 0, 0);
    for (int k = 1; k < 16; ++k)
        set.palettes[0].add(colour(k).rgbRed, colour(k).rgbGreen, colour(k).rgbBlue);
    auto one = [&](artgen::image im, int16_t x = 0, int16_t y = 0) { // a frame of one picture
        set.images.push_back(std::move(im));
        artgen::frame f;
        f.pics = {{uint16_t(set.images.size() - 1), 0, 0, x, y}};
        return f;
    };
    set.groups.resize(GROUPS);
    for (uint8_t f = 0; f < 4; ++f)
        set.groups[COUNTER].frames.push_back(one(image8(4, 4, 0, std::vector<uint8_t>(16, f + 1))));
    artgen::frame shadow = one(artgen::mask1(2, 1, {1, 1}));
    set.groups[ACCUMULATE].frames = {one(image8(2, 1, 0, {1, 0})), one(image8(2, 1, 0, {0, 2})),
                                     shadow, shadow};
    set.groups[RECTS].frames = {one(image8(10, 10, 0, std::vector<uint8_t>(100, 3))),
                                one(image8(13, 18, 0, std::vector<uint8_t>(13 * 18, 4)), -5, 2)};
    set.groups[NO_PICS].frames.resize(2);
    set.groups[SOLID].frames = {one(image8(4, 4, 0, std::vector<uint8_t>(16, 8)))};
    set.groups[HOLLOW].frames = {{}, one(image8(10, 8, 0, std::vector<uint8_t>(80, 5)), 3, 4)};
    return set;
}

// Callbacks (cdecl, as clients pass them) and what they did.
std::vector<std::string> g_calls;
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
void grow_header(HWND w, RGBQUAD **buffer, BITMAPINFO *info) {
    paint_background(w, buffer, info);
    info->bmiHeader.biWidth += 1;
}
void replace_buffer(HWND w, RGBQUAD **buffer, BITMAPINFO *info) {
    static RGBQUAD clients[100];
    paint_background(w, buffer, info);
    *buffer = clients;
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

class Groups : public ::testing::Test {
protected:
    fake_host host;
    art_handle art;

    void SetUp() override {
        g_calls.clear();
        group_engine_start(&host);
        ASSERT_TRUE(host.timerRunning);
        ASSERT_EQ(load_set(art, test_set()), ART_OK);
        host.clients[window(1)] = host.clients[window(2)] = {8, 8};
    }
    void TearDown() override { group_engine_stop(); }

    uint32_t start(int g, int w, int x = 0, int y = 0, group_draw_callback before = nullptr,
                   group_draw_callback after = nullptr) {
        return art.groups[g].start_draw(window(w), x, y, before, after);
    }
    void tick(int n = 1) {
        while (n--) group_timer_tick();
    }
    // What a render of these groups (newest first) at these frames shows, by
    // the frame drawing itself, over the background.
    std::vector<RGBQUAD> composed(int32_t w, int32_t h, std::vector<std::pair<int, int>> frames,
                                  int x, int y) {
        std::vector<RGBQUAD> px(size_t(w) * h, kBackground);
        BITMAPINFO info{{40, w, -h, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, {}};
        for (auto [g, f] : frames) art.groups[g].frames[f].draw(px.data(), &info, x, y);
        return px;
    }
    // Which frame of COUNTER (anchor 2, 2) the last picture of window w shows.
    int counter_frame(HWND w) {
        for (auto it = host.shows.rbegin(); it != host.shows.rend(); ++it)
            if (it->dc == dc_of(w))
                for (int f = 0; f < 4; ++f)
                    if (same(it->pixels[3 * 8 + 3], colour(f + 1))) return f;
        return -1;
    }
};

TEST_F(Groups, FramesFollowOneSharedCounterEarliestGroupOnTop) {
    tick(10); // nothing plays: only counts
    EXPECT_TRUE(host.shows.empty());
    EXPECT_EQ(start(COUNTER, 1, 2, 2, paint_background), 1u);
    ASSERT_EQ(host.shows.size(), 1u) << "a start shows its window at once";
    EXPECT_EQ(counter_frame(window(1)), 2) << "started at tick 10";
    tick();
    EXPECT_EQ(start(COUNTER, 2, 2, 2, paint_background), 1u);
    EXPECT_EQ(counter_frame(window(2)), 3) << "a start does not move the counter";
    EXPECT_EQ(start(SOLID, 2, 2, 2, paint_background), 2u);
    for (int f : {0, 1, 2, 3}) {
        size_t before = host.shows.size();
        tick();
        ASSERT_EQ(host.shows.size(), before + 2) << "one transfer per window per tick";
        EXPECT_EQ(host.shows[before].dc, dc_of(window(2))) << "newest window record first";
        EXPECT_EQ(diff(host.shows[before], composed(8, 8, {{SOLID, 0}, {COUNTER, f}}, 2, 2)), "")
            << "group 1 over group 2, frame " << f;
        EXPECT_EQ(diff(host.last(), composed(8, 8, {{COUNTER, f}}, 2, 2)), "") << f;
    }
    EXPECT_EQ(host.dcsTaken, host.dcsReleased);
    BITMAPINFOHEADER want{40, 8, -8, 1, 32, BI_RGB, 0, 0, 0, 0, 0}, got = host.last().header;
    EXPECT_EQ(memcmp(&got, &want, sizeof want), 0) << "the render header";
}

TEST_F(Groups, IdsCountPerWindowRecordAndLookupsTakeTheFirstMatch) {
    EXPECT_EQ(start(SOLID, 1, 0, 0, paint_background), 1u);
    EXPECT_EQ(start(NO_PICS, 1), 2u);
    EXPECT_EQ(start(COUNTER, 2), 1u);
    EXPECT_EQ(get_groupWindow(1), window(2)) << "the record made last comes first";
    EXPECT_EQ(get_groupWindow(2), window(1));
    EXPECT_EQ(get_groupWindow(3), nullptr);
    EXPECT_TRUE(end_drawGroup(1)) << "window 2's";
    EXPECT_FALSE(redraw_groupWindow(window(2), nullptr)) << "its last group took the record";
    EXPECT_EQ(get_groupWindow(1), window(1));

    // A move shows from the next render on.
    size_t before = host.shows.size();
    EXPECT_TRUE(set_groupPos(1, 3, 4));
    EXPECT_EQ(host.shows.size(), before) << "nothing drawn at once";
    EXPECT_TRUE(redraw_frameByGroupID(1, nullptr));
    EXPECT_EQ(diff(host.last(), composed(8, 8, {{SOLID, 0}}, 0, 0)), "") << "the old picture";
    tick();
    EXPECT_EQ(diff(host.last(), composed(8, 8, {{SOLID, 0}}, 3, 4)), "");

    EXPECT_TRUE(end_drawGroup(1));
    EXPECT_FALSE(end_drawGroup(1));
    EXPECT_EQ(start(COUNTER, 1), 3u) << "the record lives on: ids are never given twice";
    EXPECT_TRUE(end_drawGroup(3));
    EXPECT_TRUE(end_drawGroup(2));
    EXPECT_EQ(start(COUNTER, 1), 1u) << "a new record counts from 1";
    EXPECT_EQ(start(COUNTER, 2), 1u);

    EXPECT_FALSE(set_groupPos(GROUP_NO_ID, 1, 1));
    EXPECT_EQ(get_groupWindow(GROUP_NO_ID), nullptr);
    EXPECT_FALSE(end_drawGroup(GROUP_NO_ID));
    EXPECT_FALSE(redraw_frameByGroupID(GROUP_NO_ID, nullptr));
    EXPECT_FALSE(redraw_groupWindow(nullptr, nullptr));
    EXPECT_EQ(art.groups[0].start_draw(nullptr, 0, 0, nullptr, nullptr), GROUP_NO_ID);
    art_handle empty;
    const std::pair<art_handle *, unsigned> bad[] = {
        {&art, art.groupCount}, {&art, ~0u}, {nullptr, 0}, {&empty, 0}};
    for (auto [set, index] : bad)
        EXPECT_EQ(start_drawGroup(window(3), 0, 0, set, index), -1) << index;
    EXPECT_EQ(get_groupWindow(1), window(2)) << "nothing was made in window 3";

    EXPECT_TRUE(end_drawGroupAll());
    for (uint32_t id : {1u, 2u, 3u}) {
        EXPECT_EQ(get_groupWindow(id), nullptr) << id;
        EXPECT_FALSE(end_drawGroup(id) || set_groupPos(id, 0, 0) ||
                     redraw_frameByGroupID(id, nullptr))
            << id;
    }
    EXPECT_FALSE(redraw_groupWindow(window(1), nullptr) || redraw_groupWindow(window(2), nullptr));
    before = host.shows.size();
    tick();
    EXPECT_EQ(host.shows.size(), before) << "nothing plays";
    EXPECT_TRUE(host.timerRunning);
    EXPECT_EQ(start_drawGroup(window(1), 0, 0, &art, GROUPS - 1), 1);
}

TEST_F(Groups, CallbacksComeFromTheStartThatMadeTheRecord) {
    start(COUNTER, 1, 0, 0, paint_background);
    start(SOLID, 1, 0, 0, other_background, take_over);
    tick();
    EXPECT_EQ(g_calls, (std::vector<std::string>{"paint", "paint", "paint"}));
    EXPECT_EQ(host.shows.size(), 3u) << "no afterDraw: the library transfers";

    end_drawGroupAll();
    g_calls.clear();
    host.shows.clear();
    int taken = host.dcsTaken;
    EXPECT_EQ(start(COUNTER, 1, 0, 0, other_background, take_over), 1u);
    tick();
    EXPECT_EQ(g_calls, (std::vector<std::string>{"other", "after", "other", "after"}));
    EXPECT_TRUE(host.shows.empty()) << "afterDraw takes the transfer over";
    EXPECT_EQ(host.dcsTaken, taken);
    EXPECT_TRUE(redraw_groupWindow(window(1), nullptr)) << "a repaint still transfers";
    EXPECT_EQ(host.shows.size(), 1u);

    end_drawGroupAll();
    g_calls.clear();
    EXPECT_EQ(start_drawGroup(window(1), 0, 0, &art, COUNTER), 1);
    start(SOLID, 1, 0, 0, paint_background, take_over);
    tick();
    EXPECT_TRUE(g_calls.empty()) << "start_drawGroup made the record without callbacks";

    // A depth changed by beforeDraw: frames undrawn, the buffer still shown.
    end_drawGroupAll();
    host.shows.clear();
    start(COUNTER, 1, 0, 0, paint_then_24_bits);
    ASSERT_EQ(host.shows.size(), 1u);
    EXPECT_EQ(host.last().header.biBitCount, 24) << "the header as the callback left it";
    EXPECT_EQ(diff(host.last(), std::vector<RGBQUAD>(64, kBackground)), "");
    EXPECT_TRUE(redraw_groupWindow(window(1), kForeignDc));
    EXPECT_EQ(host.last().header.biBitCount, 32) << "a repaint builds a fresh header";

    // A header grown past the buffer: nothing drawn or transferred.
    end_drawGroupAll();
    host.shows.clear();
    start(SOLID, 1, 0, 0, grow_header);
    EXPECT_TRUE(host.shows.empty());
}

TEST_F(Groups, DrawRectangleIsTheUnionOfFramesThatCoverSomething) {
    const std::pair<int, RECT> cases[] = {{RECTS, {-5, 0, 10, 20}},
                                          {SOLID, {0, 0, 4, 4}},
                                          {NO_FRAMES, {0, 0, 0, 0}},
                                          {NO_PICS, {0, 0, 0, 0}},
                                          {HOLLOW, {3, 4, 13, 12}}};
    for (auto [g, want] : cases) {
        RECT r{-99, -99, -99, -99};
        EXPECT_TRUE(art.groups[g].getDrawRect(&r));
        EXPECT_EQ(memcmp(&r, &want, sizeof r), 0) << "group " << g << ": " << r.left << ", "
                                                  << r.top << ", " << r.right << ", " << r.bottom;
    }
}

TEST_F(Groups, GroupsWithoutFramesOrPicturesShowOnlyTheBackground) {
    host.clients[window(1)] = {6, 5};
    EXPECT_EQ(start(NO_FRAMES, 1, 0, 0, paint_background), 1u);
    EXPECT_EQ(start(NO_PICS, 1, 0, 0, paint_background), 2u);
    tick(3);
    EXPECT_FALSE(art.groups[NO_FRAMES].getDrawRect(nullptr)) << "nowhere to put the rectangle";
    ASSERT_EQ(host.shows.size(), 5u) << "two starts, three ticks";
    for (const shown &s : host.shows) EXPECT_EQ(diff(s, std::vector<RGBQUAD>(30, kBackground)), "");
}

TEST_F(Groups, WithoutABeforeDrawFramesAccumulate) {
    host.clients[window(1)] = {2, 1};
    start(ACCUMULATE, 1); // tick 0: frame 0
    tick(4);
    RGBQUAD c1 = colour(1), c2 = colour(2), black{};
    const std::vector<std::vector<RGBQUAD>> want = {
        {c1, black},                          // a new buffer is black
        {c1, c2},                             // frame 0 shows through frame 1
        {halve(c1), halve(c2)},               // the shadow darkens both
        {halve(halve(c1)), halve(halve(c2))}, // and again
        {c1, halve(halve(c2))},               // frame 0 covers only its own pixel
    };
    ASSERT_EQ(host.shows.size(), want.size());
    for (size_t i = 0; i < want.size(); ++i)
        EXPECT_EQ(diff(host.shows[i], want[i]), "") << "render " << i;
}

TEST_F(Groups, BuffersAreReallocatedOnlyWhenTheSizeChanges) {
    start(COUNTER, 1, 2, 2, paint_background);
    long allocations = host.allocations;
    tick(3);
    EXPECT_EQ(host.allocations, allocations) << "ticks of an unchanged size allocate nothing";
    std::vector<RGBQUAD> picture = host.last().pixels;

    host.clients[window(1)] = {12, 9};
    EXPECT_TRUE(redraw_groupWindow(window(1), kForeignDc));
    EXPECT_EQ(host.dcsTaken, 4) << "a given device context is the caller's";
    EXPECT_EQ(host.last().dc, kForeignDc);
    EXPECT_EQ(diff(host.last(), picture), "") << "a repaint before the next tick: the old buffer";
    EXPECT_EQ(host.last().header.biHeight, -8);
    EXPECT_TRUE(redraw_frameByGroupID(1, nullptr));
    EXPECT_EQ(host.last().dc, dc_of(window(1)));
    EXPECT_EQ(host.dcsReleased, host.dcsTaken);
    tick();
    EXPECT_EQ(host.allocations, allocations + 1);
    EXPECT_EQ(diff(host.last(), composed(12, 9, {{COUNTER, 0}}, 2, 2)), "")
        << "repaints move no counter";
}

TEST_F(Groups, ExhaustedMemoryLinksNothingHalfway) {
    host.allocationsLeft = 0; // the window record
    EXPECT_EQ(start(SOLID, 1, 0, 0, paint_background), GROUP_NO_ID);
    host.allocationsLeft = 1; // the record, not its draw
    EXPECT_EQ(start_drawGroup(window(1), 0, 0, &art, SOLID), -1);
    EXPECT_EQ(get_groupWindow(1), nullptr);
    EXPECT_FALSE(redraw_groupWindow(window(1), nullptr));

    host.allocationsLeft = 2; // record and draw, not the buffer
    EXPECT_EQ(start(SOLID, 1, 0, 0, paint_background), 1u);
    EXPECT_FALSE(redraw_groupWindow(window(1), nullptr)) << "nothing composed to show";
    host.allocationsLeft = 0;
    EXPECT_EQ(start(COUNTER, 1), GROUP_NO_ID);
    tick();
    EXPECT_TRUE(host.shows.empty() && g_calls.empty()) << "no buffer: no callback, no render";
    host.allocationsLeft = -1;
    tick();
    ASSERT_EQ(host.shows.size(), 1u) << "the window plays once memory is back";
    EXPECT_EQ(start(COUNTER, 1), 2u) << "a failed start uses up no id";

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
    host.clients[window(2)] = {0, 5};
    start(SOLID, 1, 0, 0, paint_background);
    start(SOLID, 2, 0, 0, paint_background);
    start(SOLID, 3, 0, 0, paint_background); // never existed
    host.clients.erase(window(1));
    host.shows.clear();
    g_calls.clear();
    long allocations = host.allocations;
    tick(2);
    EXPECT_TRUE(host.shows.empty() && g_calls.empty());
    EXPECT_EQ(host.allocations, allocations) << "no buffer for an empty client area";
    EXPECT_EQ(get_groupWindow(1), window(3)) << "records are kept";
    EXPECT_TRUE(redraw_groupWindow(window(1), nullptr)) << "its last picture is still there";
    EXPECT_FALSE(redraw_groupWindow(window(2), nullptr)) << "never composed";
    host.clients[window(1)] = {8, 8};
    host.clients[window(2)] = {3, 5};
    host.shows.clear();
    tick();
    ASSERT_EQ(host.shows.size(), 2u);
    EXPECT_EQ(host.shows[0].width, 3);
}

TEST_F(Groups, ClosingASetEndsItsDrawsOnly) {
    art_handle other, sharer;
    ASSERT_EQ(load_set(other, test_set()), ART_OK);
    start(SOLID, 1, 2, 2, paint_background);           // 1
    start_drawGroup(window(1), 2, 2, &other, COUNTER); // 2
    start_drawGroup(window(1), 2, 2, &other, RECTS);   // 3
    start_drawGroup(window(2), 2, 2, &other, HOLLOW);  // 1
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
    EXPECT_EQ(diff(host.last(), composed(8, 8, {{SOLID, 0}}, 2, 2)), "");
    EXPECT_EQ(start(SOLID, 1), 4u);
}

TEST_F(Groups, CallbacksCannotChangeTheRecordsUnderARender) {
    g_callbackArt = &art;
    start(SOLID, 1, 0, 0, start_and_end_inside);
    EXPECT_EQ(g_calls, (std::vector<std::string>{"-1", "kept", "kept all"}));
    tick();
    EXPECT_EQ(get_groupWindow(1), window(1));
    EXPECT_EQ(get_groupWindow(2), nullptr);
    EXPECT_TRUE(end_drawGroupAll());

    // A buffer the callback replaces is neither drawn into nor freed.
    start(SOLID, 1, 2, 2, replace_buffer);
    host.clients[window(1)] = {9, 9}; // releases the library's own block
    tick();
    EXPECT_EQ(diff(host.last(), composed(9, 9, {{SOLID, 0}}, 2, 2)), "");
    EXPECT_TRUE(end_drawGroupAll());

    // A callback that closes the set playing in its window, at a tick and at
    // a start: the window's record goes once the callback has returned.
    art_handle other;
    ASSERT_EQ(load_set(other, test_set()), ART_OK);
    start(SOLID, 2, 0, 0, paint_background);
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

TEST_F(Groups, UnloadFreesEverythingAndStopsTheTimer) {
    tick(5);
    start(COUNTER, 1, 2, 2, paint_background);
    group_engine_stop();
    EXPECT_FALSE(host.timerRunning);
    EXPECT_EQ(get_groupWindow(1), nullptr);
    EXPECT_EQ(start(COUNTER, 1, 2, 2), GROUP_NO_ID) << "nothing plays while unloaded";
    group_engine_start(&host);
    EXPECT_TRUE(host.timerRunning);
    start(COUNTER, 1, 2, 2, paint_background);
    EXPECT_EQ(counter_frame(window(1)), 0) << "a load starts the counter at 0";
}

} // namespace
