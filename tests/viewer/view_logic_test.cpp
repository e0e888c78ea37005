// The viewer's window-free logic: lookups that must never read a closed set or
// past a table, the display buffer and what is saved, index texts, scroll
// steps and the group background.
#include "view_logic.h"

#include "artset_writer.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <new>
#include <vector>

namespace {

// Loads a set written by artgen through the library's file loader, into a
// handle on the heap as the viewer keeps it.
class loaded_set {
public:
    explicit loaded_set(const artgen::art_set &set) {
        namespace fs = std::filesystem;
        static int counter = 0;
        stem_ = (fs::temp_directory_path() / ("zevart-view-" + std::to_string(++counter))).string();
        artgen::save_file(stem_ + ".bmp", artgen::write_bmp(set));
        artgen::save_file(stem_ + ".prt", artgen::write_prt(set));
        art = new (operator new(sizeof(art_handle))) art_handle();
        result = LoadArtFromFile((stem_ + ".bmp").c_str(), (stem_ + ".prt").c_str(), art);
    }
    ~loaded_set() {
        art->~art_handle();
        operator delete(art);
        std::remove((stem_ + ".bmp").c_str());
        std::remove((stem_ + ".prt").c_str());
    }
    loaded_set(const loaded_set &) = delete;
    loaded_set &operator=(const loaded_set &) = delete;

    art_handle *art;
    int result;

private:
    std::string stem_;
};

// Two images, one group of two frames of one picture each.
artgen::art_set small_set() {
    artgen::art_set set;
    artgen::palette p;
    p.add(0, 0, 0);
    p.add(10, 20, 30);
    set.palettes.push_back(p);
    set.images.push_back(artgen::image8(3, 2, 0, {0, 1, 1, 1, 1, 0}));
    set.images.push_back(artgen::image8(5, 4, 0, std::vector<uint8_t>(20, 1)));
    artgen::group g;
    for (uint16_t i = 0; i < 2; ++i) {
        artgen::frame f;
        artgen::picture pic;
        pic.image = i;
        pic.x = int16_t(-2 * i);
        f.pics = {pic};
        g.frames.push_back(f);
    }
    set.groups.push_back(g);
    return set;
}

const RECT kPoison{int32_t(0xCCCCCCCC), int32_t(0xCCCCCCCC), int32_t(0xCCCCCCCC),
                   int32_t(0xCCCCCCCC)};

bool untouched(const RECT &r) {
    return std::memcmp(&r, &kPoison, sizeof r) == 0;
}

TEST(ViewLogic, LooksUpOnlyObjectsOfALoadedSet) {
    loaded_set s(small_set());
    ASSERT_EQ(s.result, ART_OK);
    art_handle *art = s.art;
    const uint32_t counts[] = {0, 2, 2, 2, 1};
    for (int kind = OBJ_IMAGE; kind <= OBJ_GROUP; ++kind) {
        SCOPED_TRACE("kind " + std::to_string(kind));
        EXPECT_EQ(object_count(art, kind), counts[kind]);
        RECT r = kPoison;
        EXPECT_TRUE(object_draw_rect(art, kind, counts[kind] - 1, &r)) << "the last object";
        EXPECT_FALSE(untouched(r));
        r = kPoison;
        EXPECT_FALSE(object_draw_rect(art, kind, counts[kind], &r)) << "one past the table";
        EXPECT_TRUE(untouched(r));
        EXPECT_FALSE(object_draw_rect(art, kind, UINT32_MAX, &r));
        EXPECT_TRUE(untouched(r));
    }
    for (int kind : {0, 5, -1}) {
        RECT r = kPoison;
        EXPECT_EQ(object_count(art, kind), 0u) << "kind " << kind;
        EXPECT_FALSE(object_draw_rect(art, kind, 0, &r)) << "kind " << kind;
        EXPECT_TRUE(untouched(r));
    }
    EXPECT_EQ(object_group(art, 0), &art->groups[0]);
    EXPECT_EQ(object_group(art, 1), nullptr);

    // Once closed, whatever the counts say, only the state may be trusted:
    // the tables are gone.
    CloseArt(art);
    art->imageCount = art->picCount = art->frameCount = art->groupCount = 2;
    art->images = nullptr;
    art->pics = nullptr;
    art->frames = nullptr;
    art->groups = nullptr;
    for (int kind = OBJ_IMAGE; kind <= OBJ_GROUP; ++kind) {
        RECT r = kPoison;
        EXPECT_EQ(object_count(art, kind), 0u) << "closed, kind " << kind;
        EXPECT_FALSE(object_draw_rect(art, kind, 0, &r)) << "closed, kind " << kind;
        EXPECT_TRUE(untouched(r));
    }
    EXPECT_EQ(object_group(art, 0), nullptr);
    EXPECT_EQ(object_count(nullptr, OBJ_IMAGE), 0u);

    art->loadState = ART_FAILED;
    EXPECT_EQ(object_count(art, OBJ_IMAGE), 0u) << "a failed load";
    art->loadState = ART_EMPTY;
}

TEST(ViewLogic, DrawsImagesPicturesAndFramesButNotGroupsOrMissingObjects) {
    loaded_set s(small_set());
    ASSERT_EQ(s.result, ART_OK);
    // A 5 x 4 surface, bottom-up as the viewer's, inside a poisoned block.
    std::vector<RGBQUAD> block(40, RGBQUAD{0xCC, 0xCC, 0xCC, 0xCC});
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biWidth = 5;
    bi.bmiHeader.biHeight = 4;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    RGBQUAD *surface = block.data() + 10;

    EXPECT_TRUE(draw_object(s.art, OBJ_IMAGE, 1, surface, &bi, 0, 0));
    for (int i = 0; i < 20; ++i) {
        EXPECT_EQ(surface[i].rgbRed, 10) << "pixel " << i;
        EXPECT_EQ(surface[i].rgbBlue, 30) << "pixel " << i;
    }
    for (int i : {0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 30, 31, 32, 33, 34, 35, 36, 37, 38, 39})
        EXPECT_EQ(block[size_t(i)].rgbRed, 0xCC) << "outside the surface, element " << i;

    std::vector<RGBQUAD> before = block;
    EXPECT_FALSE(draw_object(s.art, OBJ_GROUP, 0, surface, &bi, 0, 0)) << "groups play instead";
    EXPECT_FALSE(draw_object(s.art, OBJ_IMAGE, 2, surface, &bi, 0, 0)) << "past the images";
    EXPECT_FALSE(draw_object(s.art, OBJ_PICTURE, 2, surface, &bi, 0, 0)) << "past the pictures";
    EXPECT_FALSE(draw_object(s.art, OBJ_FRAME, 2, surface, &bi, 0, 0)) << "past the frames";
    EXPECT_FALSE(draw_object(s.art, 0, 0, surface, &bi, 0, 0)) << "no kind yet";
    CloseArt(s.art);
    EXPECT_FALSE(draw_object(s.art, OBJ_IMAGE, 0, surface, &bi, 0, 0)) << "a closed set";
    EXPECT_EQ(std::memcmp(before.data(), block.data(), block.size() * sizeof(RGBQUAD)), 0)
        << "a refused draw wrote pixels";
}

TEST(ViewLogic, MakesOrangeBuffersOnlyOfSizesThatFit) {
    RGBQUAD *p = make_pixels(3, 2);
    ASSERT_NE(p, nullptr);
    for (int i = 0; i < 6; ++i) {
        EXPECT_EQ(p[i].rgbBlue, 0x00) << "pixel " << i;
        EXPECT_EQ(p[i].rgbGreen, 0x7F) << "pixel " << i;
        EXPECT_EQ(p[i].rgbRed, 0xFF) << "pixel " << i;
        EXPECT_EQ(p[i].rgbReserved, 0x00) << "pixel " << i;
    }
    free_pixels(p);

    const struct {
        long w, h;
    } refused[] = {
        {0, 5},       {5, 0}, {-1, 5}, {5, -1}, {LONG_MIN, LONG_MIN}, {LONG_MAX, LONG_MAX},
        {LONG_MAX, 2}};
    for (auto c : refused) EXPECT_EQ(make_pixels(c.w, c.h), nullptr) << c.w << " x " << c.h;
#if defined(_WIN32) && !defined(_WIN64)
    // 2^32 bytes: one past what a 32-bit size holds.
    EXPECT_EQ(make_pixels(0x10000, 0x4000), nullptr) << "the byte size wraps";
    EXPECT_EQ(make_pixels(30000, 30000), nullptr) << "3.6 GB";
    // 2.1 GB: a size a block may have, but more than a 32-bit process holds.
    EXPECT_EQ(make_pixels(25000, 21000), nullptr) << "memory runs out";
#endif
    free_pixels(nullptr);
}

TEST(ViewLogic, ReadsIndexTextsAsTheUnsignedScanDoes) {
    const struct {
        const char *text;
        bool ok;
        uint32_t value;
    } cases[] = {
        {"0", true, 0},
        {"12", true, 12},
        {"  7", true, 7},
        {"\t\n 8", true, 8},
        {"12abc", true, 12},
        {"+3", true, 3},
        {"-1", true, UINT32_MAX},
        {"-0", true, 0},
        {"-5", true, UINT32_MAX - 4},
        {"4294967295", true, UINT32_MAX},
        {"4294967296", true, UINT32_MAX},
        {"99999999999999999999", true, UINT32_MAX},
        {"-99999999999", true, UINT32_MAX},
        {"", false, 0},
        {"abc", false, 0},
        {"-", false, 0},
        {"+ 1", false, 0},
        {"  ", false, 0},
    };
    for (const auto &c : cases) {
        uint32_t value = 0xCCCCCCCC;
        EXPECT_EQ(parse_index(c.text, &value), c.ok) << '"' << c.text << '"';
        EXPECT_EQ(value, c.ok ? c.value : 0xCCCCCCCC) << '"' << c.text << '"';
    }
}

TEST(ViewLogic, ClampsIndexesToTheTable) {
    uint32_t index = 77;
    EXPECT_FALSE(clamp_index(0, 0, &index)) << "an empty table has no index";
    EXPECT_EQ(index, 77u);
    const struct {
        uint32_t wanted, count, shown;
    } cases[] = {{0, 1, 0},        {5, 1, 0},
                 {39, 40, 39},     {40, 40, 39},
                 {999999, 40, 39}, {UINT32_MAX, 40, 39},
                 {3, 40, 3},       {UINT32_MAX, UINT32_MAX, UINT32_MAX - 1}};
    for (const auto &c : cases) {
        EXPECT_TRUE(clamp_index(c.wanted, c.count, &index)) << c.wanted << " of " << c.count;
        EXPECT_EQ(index, c.shown) << c.wanted << " of " << c.count;
    }
}

TEST(ViewLogic, StepsScrollPositionsByLinesPagesAndTheThumb) {
    const struct {
        int code, pos, page, track, want;
    } cases[] = {
        {SCROLL_LINE_BACK, 10, 200, 0, 9},       {SCROLL_LINE_FORWARD, 10, 200, 0, 11},
        {SCROLL_PAGE_BACK, 10, 200, 0, -190},    {SCROLL_PAGE_FORWARD, 10, 200, 0, 210},
        {SCROLL_TRACK, 10, 200, 57, 57},         {4 /* SB_THUMBPOSITION */, 10, 200, 57, 10},
        {6 /* SB_LEFT */, 10, 200, 57, 10},      {7 /* SB_RIGHT */, 10, 200, 57, 10},
        {8 /* SB_ENDSCROLL */, 10, 200, 57, 10},
    };
    for (const auto &c : cases)
        EXPECT_EQ(scroll_position(c.code, c.pos, c.page, c.track), c.want) << "code " << c.code;
}

TEST(ViewLogic, EndsScrollRangesAtTheLastPixelOfTheObject) {
    EXPECT_EQ(last_scroll_position(0, 600), 599);
    EXPECT_EQ(last_scroll_position(-56, 5), 60) << "a rectangle above its anchor";
    EXPECT_EQ(last_scroll_position(0, 1), 0);
    EXPECT_EQ(last_scroll_position(0, 0), -1) << "nothing to scroll";
    EXPECT_EQ(last_scroll_position(-32768, INT_MAX), INT_MAX) << "wider than positions go";
    EXPECT_EQ(last_scroll_position(INT_MAX, INT_MIN), INT_MIN);
}

TEST(ViewLogic, PaintsTheBackgroundOverTheWholeSurfaceOnly) {
    for (int32_t height : {3, -3}) {
        std::vector<RGBQUAD> block(4 + 12 + 4, RGBQUAD{0xCC, 0xCC, 0xCC, 0x5A});
        BITMAPINFO bi{};
        bi.bmiHeader.biWidth = 4;
        bi.bmiHeader.biHeight = height;
        fill_background(block.data() + 4, &bi, 0x00332211); // red 11, green 22, blue 33
        for (size_t i = 0; i < block.size(); ++i) {
            bool inside = i >= 4 && i < 16;
            EXPECT_EQ(block[i].rgbRed, inside ? 0x11 : 0xCC) << "height " << height << ", " << i;
            EXPECT_EQ(block[i].rgbGreen, inside ? 0x22 : 0xCC) << "height " << height << ", " << i;
            EXPECT_EQ(block[i].rgbBlue, inside ? 0x33 : 0xCC) << "height " << height << ", " << i;
            EXPECT_EQ(block[i].rgbReserved, 0x5A) << "the fourth byte keeps its value, " << i;
        }
    }
    RGBQUAD one{0xCC, 0xCC, 0xCC, 0xCC};
    BITMAPINFO empty{};
    empty.bmiHeader.biWidth = 0;
    empty.bmiHeader.biHeight = 5;
    fill_background(&one, &empty, 0);
    EXPECT_EQ(one.rgbRed, 0xCC) << "a surface without pixels";
    empty.bmiHeader.biWidth = 1;
    fill_background(nullptr, &empty, 0); // no buffer: nothing happens
}

// small_set with a third picture that no frame uses (it has no image) and a
// second group without frames.
artgen::art_set odd_set() {
    artgen::art_set set = small_set();
    set.picCountField = 3;
    set.groups.push_back(artgen::group{});
    return set;
}

bool same_pixels(const RGBQUAD *a, const std::vector<RGBQUAD> &b) {
    return std::memcmp(a, b.data(), b.size() * sizeof(RGBQUAD)) == 0;
}

TEST(ViewLogic, RendersObjectsAsShownAndAGroupAsItsFirstFrame) {
    loaded_set s(odd_set());
    ASSERT_EQ(s.result, ART_OK);
    BITMAPINFO bi{};
    bi.bmiHeader.biSize = sizeof bi.bmiHeader;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;

    // Images, pictures and frames: their draw rectangle, on orange, the
    // corner on pixel 0,0. Group 0's rectangle (-2, 0, 3, 4) holds its first
    // frame (image 0 at the anchor) two pixels in.
    const struct {
        int kind;
        uint32_t index;
        int frameOfGroup; // -1: the object itself
        long w, h;
    } cases[] = {{OBJ_IMAGE, 1, -1, 5, 4},
                 {OBJ_PICTURE, 1, -1, 5, 4},
                 {OBJ_FRAME, 0, -1, 3, 2},
                 {OBJ_GROUP, 0, 0, 5, 4}};
    for (const auto &c : cases) {
        SCOPED_TRACE("kind " + std::to_string(c.kind) + ", object " + std::to_string(c.index));
        RGBQUAD *pixels = render_object(s.art, c.kind, c.index, &bi);
        ASSERT_NE(pixels, nullptr);
        EXPECT_EQ(bi.bmiHeader.biWidth, c.w);
        EXPECT_EQ(bi.bmiHeader.biHeight, c.h) << "bottom-up rows";
        RECT r;
        ASSERT_TRUE(object_draw_rect(s.art, c.kind, c.index, &r));
        RGBQUAD *want = make_pixels(c.w, c.h);
        if (c.frameOfGroup < 0)
            draw_object(s.art, c.kind, c.index, want, &bi, -r.left, -r.top);
        else
            draw_object(s.art, OBJ_FRAME, uint32_t(c.frameOfGroup), want, &bi, -r.left, -r.top);
        EXPECT_TRUE(same_pixels(pixels, std::vector<RGBQUAD>(want, want + c.w * c.h)));
        free_pixels(want);
        if (c.kind == OBJ_GROUP) {
            // The top row is the buffer's last: image 0's row 0 (0, 1, 1).
            EXPECT_EQ(pixels[15 + 2].rgbRed, 0xFF) << "index 0 stays orange";
            EXPECT_EQ(pixels[15 + 3].rgbRed, 10) << "image 0's pixel (1, 0)";
            EXPECT_EQ(pixels[15 + 0].rgbRed, 0xFF) << "left of the first frame";
        }
        free_pixels(pixels);
    }

    // Nothing to draw: a group without frames, a picture without an image,
    // objects past their tables, a closed set.
    const struct {
        int kind;
        uint32_t index;
    } nothing[] = {{OBJ_GROUP, 1}, {OBJ_PICTURE, 2}, {OBJ_IMAGE, 2}, {OBJ_GROUP, 2}, {0, 0}};
    for (const auto &c : nothing) {
        bi.bmiHeader.biWidth = bi.bmiHeader.biHeight = 77;
        EXPECT_EQ(render_object(s.art, c.kind, c.index, &bi), nullptr)
            << "kind " << c.kind << ", object " << c.index;
        EXPECT_EQ(bi.bmiHeader.biWidth * bi.bmiHeader.biHeight, 0)
            << "kind " << c.kind << ", object " << c.index;
    }
    CloseArt(s.art);
    EXPECT_EQ(render_object(s.art, OBJ_IMAGE, 0, &bi), nullptr) << "a closed set";
}

TEST(ViewLogic, SavesTheOwnPixelsOfImagesAndOfPicturesWithAnImageOnly) {
    loaded_set s(odd_set());
    ASSERT_EQ(s.result, ART_OK);
    art_handle *art = s.art;
    EXPECT_EQ(saved_image(art, OBJ_IMAGE, 1), &art->images[1]);
    EXPECT_EQ(saved_image(art, OBJ_PICTURE, 1), &art->images[1]);
    EXPECT_EQ(saved_image(art, OBJ_PICTURE, 2), nullptr) << "a picture without an image";
    EXPECT_EQ(saved_image(art, OBJ_IMAGE, 2), nullptr) << "past the images";
    EXPECT_EQ(saved_image(art, OBJ_FRAME, 0), nullptr);
    EXPECT_EQ(saved_image(art, OBJ_GROUP, 0), nullptr);
    CloseArt(art);
    EXPECT_EQ(saved_image(art, OBJ_IMAGE, 0), nullptr) << "a closed set";
}

TEST(ViewLogic, PreparesIndexedFilesFromTheImagesOwnBlock) {
    RGBQUAD colours[3] = {{1, 2, 3, 0}, {4, 5, 6, 0}, {7, 8, 9, 0}};
    mem_palette palette{3, colours};
    const RGBQUAD white{255, 255, 255, 0}, black{0, 0, 0, 0};
    const struct {
        int32_t rowBytes, height, width;
        int16_t type;
        uint32_t size; // the file's pixel bytes: rows of whole 32-bit words
    } cases[] = {
        {4, 2, 3, 0, 8},   {3, -3, 3, 0, 12},
        {7, 5, 7, 1, 40},  {5, 0, 5, 0, 0},
        {0, 2, 33, 4, 16}, {0, 2, 32, 4, 8},
        {0, 3, 1, 5, 12},  {0, -2, 65, 4, 24},
        {0, 2, 0, 4, 0},   {1 << 20, 4095, 1 << 20, 0, 0xFFF00000u},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(std::to_string(c.width) + " x " + std::to_string(c.height) + ", type " +
                     std::to_string(c.type));
        mem_image image{c.rowBytes, nullptr, c.height, c.width, c.type, &palette};
        BITMAPINFO bi;
        std::memset(&bi, 0xCC, sizeof bi);
        const RGBQUAD *table = nullptr;
        ASSERT_TRUE(indexed_file_header(image, &bi, &table));
        const BITMAPINFOHEADER h = bi.bmiHeader;
        const bool mask = c.type == 4 || c.type == 5;
        EXPECT_EQ(h.biWidth, c.width);
        EXPECT_EQ(h.biHeight, c.height < 0 ? c.height : -c.height) << "rows top row first";
        EXPECT_EQ(h.biSizeImage, c.size);
        EXPECT_EQ(h.biBitCount, mask ? 1 : 8);
        EXPECT_EQ(h.biClrUsed, mask ? 2u : 3u);
        EXPECT_EQ(h.biClrImportant, mask ? 2u : 0xCCCCCCCCu) << "kept for 8-bit";
        if (mask) {
            ASSERT_NE(table, nullptr);
            EXPECT_EQ(std::memcmp(&table[0], &white, 4), 0) << "white first";
            EXPECT_EQ(std::memcmp(&table[1], &black, 4), 0) << "then black";
        } else {
            EXPECT_EQ(table, colours) << "the image's palette";
        }
        EXPECT_EQ(h.biSize, 0xCCCCCCCCu);
        EXPECT_EQ(h.biPlanes, 0xCCCC);
        EXPECT_EQ(h.biCompression, 0xCCCCCCCCu);
        EXPECT_EQ(h.biXPelsPerMeter, int32_t(0xCCCCCCCC));
        EXPECT_EQ(h.biYPelsPerMeter, int32_t(0xCCCCCCCC));
    }

    // A block that a 32-bit size cannot count: the header stays as it was.
    mem_image huge{1 << 20, nullptr, 4096, 1 << 20, 0, &palette};
    BITMAPINFO bi;
    std::memset(&bi, 0xCC, sizeof bi);
    const RGBQUAD *table = nullptr;
    EXPECT_FALSE(indexed_file_header(huge, &bi, &table));
    EXPECT_EQ(bi.bmiHeader.biSizeImage, 0xCCCCCCCCu);
    EXPECT_EQ(bi.bmiHeader.biHeight, int32_t(0xCCCCCCCC));
    uint32_t size = 5;
    EXPECT_FALSE(image_block_size(huge, &size));
    EXPECT_EQ(size, 5u);
}

// Rows of an 8-bit image that are not whole 32-bit words are laid out anew
// for the file, cut to the width and padded with zeros; others are written
// as stored.
TEST(ViewLogic, LaysOutIndexedFileRowsAsWholeWords) {
    const uint8_t block[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    const struct {
        int32_t rowBytes, height, width;
        int16_t type;
        std::vector<uint8_t> file; // empty: the block itself
    } cases[] = {
        {3, 2, 3, 0, {1, 2, 3, 0, 4, 5, 6, 0}},
        {8, -2, 3, 0, {1, 2, 3, 0, 9, 10, 11, 0}},
        {5, 1, 5, 0, {1, 2, 3, 4, 5, 0, 0, 0}},
        {4, 3, 4, 0, {}},
        {4, 2, 33, 4, {}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE("rowBytes " + std::to_string(c.rowBytes) + ", width " +
                     std::to_string(c.width));
        mem_image image{c.rowBytes, const_cast<uint8_t *>(block), c.height, c.width, c.type,
                        nullptr};
        std::vector<uint8_t> aligned;
        const uint8_t *rows = nullptr;
        ASSERT_TRUE(indexed_file_rows(image, aligned, &rows));
        if (c.file.empty()) {
            EXPECT_EQ(rows, block);
        } else {
            ASSERT_EQ(rows, aligned.data());
            EXPECT_EQ(aligned, c.file);
        }
    }
}

} // namespace
