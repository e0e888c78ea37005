// The viewer's window-free logic: lookups that must never read a closed set or
// past a table, draw rectangles too large to draw, the display buffer, what
// an indexed save writes, index texts, scroll steps, the group background and
// the structure tree's texts.
#include "tree_texts.h"
#include "view_logic.h"

#include "artset_writer.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string>
#include <utility>
#include <vector>

namespace {

// A set loaded through the library's file loader: images 3 x 2 and 5 x 4;
// pictures 0 (image 0 at x -2) and 1 (image 1) and a third without an image
// in no frame; frames 0 and 1 of one picture each, both in group 0; group 1
// without frames.
struct loaded_set {
    loaded_set() {
        artgen::art_set set;
        set.palettes.resize(1);
        set.palettes[0].add(0, 0, 0);
        set.palettes[0].add(10, 20, 30);
        set.images = {artgen::image8(3, 2, 0, {0, 1, 1, 1, 1, 0}),
                      artgen::image8(5, 4, 0, std::vector<uint8_t>(20, 1))};
        set.groups.resize(2);
        for (uint16_t i = 0; i < 2; ++i) {
            set.groups[0].frames.emplace_back().pics.emplace_back().image = i;
            set.groups[0].frames[i].pics[0].x = int16_t(i == 0 ? -2 : 0);
        }
        set.picCountField = 3;
        const char *test = ::testing::UnitTest::GetInstance()->current_test_info()->name();
        stem = (std::filesystem::temp_directory_path() / "zevart-view-").string() + test;
        artgen::save_file(stem + ".bmp", artgen::write_bmp(set));
        artgen::save_file(stem + ".prt", artgen::write_prt(set));
        result = LoadArtFromFile((stem + ".bmp").c_str(), (stem + ".prt").c_str(), art);
    }
    ~loaded_set() {
        std::remove((stem + ".bmp").c_str());
        std::remove((stem + ".prt").c_str());
    }
    art_handle handle, *art = &handle;
    int result;
    std::string stem;
};

const RGBQUAD kPoisonPixel{0xCC, 0xCC, 0xCC, 0xCC}, kOrange{0x00, 0x7F, 0xFF, 0x00};

BITMAPINFO surface_info(LONG width, LONG height) {
    return BITMAPINFO{{sizeof(BITMAPINFOHEADER), width, height, 1, 32, 0, 0, 0, 0, 0, 0}, {}};
}

bool same(const void *a, const void *b, size_t bytes) {
    return std::memcmp(a, b, bytes) == 0;
}

bool empty_rect(const RECT &r) {
    return r.left == 0 && r.top == 0 && r.right == 0 && r.bottom == 0;
}

// Every lookup, for every kind (known or not) and index (first, last, at and
// past the end of its table), answers only for objects there are, touches
// nothing otherwise and, once the set is closed, reads no table whatever the
// counts say.
TEST(ViewLogic, LooksUpOnlyObjectsInTheTablesOfALoadedSet) {
    loaded_set s;
    ASSERT_EQ(s.result, ART_OK);
    art_handle *art = s.art;
    const uint32_t counts[] = {0, 2, 3, 2, 2};
    std::vector<RGBQUAD> block(40, kPoisonPixel);
    RGBQUAD *surface = block.data() + 10; // 5 x 4 pixels inside poison
    for (bool closed : {false, true}) {
        if (closed) {
            CloseArt(art);
            art->imageCount = art->picCount = art->frameCount = art->groupCount = 2;
        }
        for (int kind = -1; kind <= 5; ++kind) {
            const bool known = kind >= OBJ_IMAGE && kind <= OBJ_GROUP;
            const uint32_t count = closed || !known ? 0 : counts[kind];
            EXPECT_EQ(object_count(art, kind), count) << "kind " << kind << ", closed " << closed;
            for (uint32_t index : {0u, count - 1, count, UINT32_MAX}) {
                SCOPED_TRACE("kind " + std::to_string(kind) + ", object " + std::to_string(index) +
                             (closed ? ", closed" : ""));
                const bool there = index < count;
                RECT r, poison;
                std::memset(&poison, 0xCC, sizeof poison);
                r = poison;
                EXPECT_EQ(object_draw_rect(art, kind, index, &r), there);
                EXPECT_EQ(same(&r, &poison, sizeof r), !there) << "rectangle written";
                EXPECT_EQ(drawable_rect(art, kind, index, &r), there);
                EXPECT_TRUE(there || empty_rect(r));
                EXPECT_TRUE(kind != OBJ_GROUP ||
                            object_group(art, index) == (there ? &art->groups[index] : nullptr));
                const bool own = kind == OBJ_IMAGE || (kind == OBJ_PICTURE && index < 2);
                EXPECT_EQ(saved_image(art, kind, index),
                          there && own ? &art->images[index] : nullptr);

                // Nothing to draw for a picture without an image, a group
                // without frames, or no object; groups play instead.
                const bool area = there && !(kind == OBJ_PICTURE && index == 2) &&
                                  !(kind == OBJ_GROUP && index == 1);
                BITMAPINFO bi = surface_info(5, 4);
                const std::vector<RGBQUAD> before = block;
                const bool drawn = draw_object(art, kind, index, surface, &bi, 0, 0);
                EXPECT_EQ(drawn, area && kind != OBJ_GROUP);
                EXPECT_TRUE(drawn || same(before.data(), block.data(), 40 * 4)) << "refused, drew";
                bi.bmiHeader.biWidth = bi.bmiHeader.biHeight = 77;
                RGBQUAD *pixels = render_object(art, kind, index, &bi);
                EXPECT_EQ(pixels != nullptr, area);
                EXPECT_TRUE(area || (bi.bmiHeader.biWidth == 0 && bi.bmiHeader.biHeight == 0));
                free_pixels(pixels);
            }
        }
    }
    EXPECT_EQ(object_count(nullptr, OBJ_IMAGE), 0u);
    art->loadState = ART_FAILED;
    EXPECT_EQ(object_count(art, OBJ_IMAGE), 0u) << "a failed load";
}

TEST(ViewLogic, DrawsOnlyRectanglesAndBuffersOfSizesThatFit) {
    loaded_set s;
    ASSERT_EQ(s.result, ART_OK);
    s.art->images[1].width = INT_MAX; // group 0 then spans -2 .. INT_MAX
    RECT r;
    EXPECT_TRUE(drawable_rect(s.art, OBJ_FRAME, 1, &r));
    EXPECT_EQ(r.right, INT_MAX);
    EXPECT_FALSE(drawable_rect(s.art, OBJ_GROUP, 0, &r)) << "2^31 + 1 wide";
    EXPECT_TRUE(empty_rect(r));
    BITMAPINFO bi = surface_info(77, 77);
    EXPECT_EQ(render_object(s.art, OBJ_GROUP, 0, &bi), nullptr);
    EXPECT_TRUE(bi.bmiHeader.biWidth == 0 && bi.bmiHeader.biHeight == 0) << "no size";
    s.art->images[1].width = 5;

    RGBQUAD *p = make_pixels(3, 2);
    ASSERT_NE(p, nullptr);
    for (int i = 0; i < 6; ++i) EXPECT_TRUE(same(&p[i], &kOrange, 4)) << "pixel " << i;
    free_pixels(p);
    // clang-format off
    const long refused[][2] = {{0, 5}, {5, 0}, {-1, 5}, {5, -1}, {LONG_MIN, LONG_MIN},
                               {LONG_MAX, LONG_MAX}, {LONG_MAX, 2},
                               {0x10000, 0x4000}, // 2^32 bytes: the size wraps in 32 bits
                               {32768, 16384},    // 2 GiB, on every architecture
    };
    // clang-format on
    for (auto c : refused) EXPECT_EQ(make_pixels(c[0], c[1]), nullptr) << c[0] << " x " << c[1];
}

TEST(ViewLogic, ReadsIndexTextsAsTheUnsignedScanDoesAndClampsThemToTheTable) {
    // clang-format off
    const std::pair<const char *, uint32_t> numbers[] = {
        {"0", 0}, {"  7", 7}, {"\t\n 8", 8}, {"12abc", 12}, {"+3", 3}, {"-0", 0},
        {"-1", UINT32_MAX}, {"-5", UINT32_MAX - 4}, {"-4294967295", 1},
        {"4294967295", UINT32_MAX}, {"4294967296", UINT32_MAX}, {"42949672950", UINT32_MAX},
        {"99999999999999999999", UINT32_MAX}, {"-99999999999", UINT32_MAX}};
    // clang-format on
    for (const auto &c : numbers) {
        uint32_t value = 0xCCCCCCCC;
        EXPECT_TRUE(parse_index(c.first, &value)) << '"' << c.first << '"';
        EXPECT_EQ(value, c.second) << '"' << c.first << '"';
    }
    for (const char *junk : {"", "abc", "-", "+ 1", "  ", "-+1"}) {
        uint32_t value = 0xCCCCCCCC;
        EXPECT_FALSE(parse_index(junk, &value)) << '"' << junk << '"';
        EXPECT_EQ(value, 0xCCCCCCCC) << '"' << junk << '"';
    }

    uint32_t index = 77;
    EXPECT_FALSE(clamp_index(0, 0, &index)) << "an empty table has no index";
    EXPECT_EQ(index, 77u);
    // clang-format off
    const uint32_t clamps[][3] = {{0, 1, 0}, {5, 1, 0}, {3, 40, 3}, {39, 40, 39}, {40, 40, 39},
        {UINT32_MAX, 40, 39}, {UINT32_MAX, UINT32_MAX, UINT32_MAX - 1}}; // wanted, count, shown
    // clang-format on
    for (const auto &c : clamps) {
        EXPECT_TRUE(clamp_index(c[0], c[1], &index)) << c[0] << " of " << c[1];
        EXPECT_EQ(index, c[2]) << c[0] << " of " << c[1];
    }
}

TEST(ViewLogic, ScrollsByLinesPagesAndTheThumbUpToTheLastPixel) {
    // From 10, pages of 200, the thumb at 57; the other codes keep the position.
    // clang-format off
    const int steps[][2] = {{SCROLL_LINE_BACK, 9}, {SCROLL_LINE_FORWARD, 11},
        {SCROLL_PAGE_BACK, -190}, {SCROLL_PAGE_FORWARD, 210}, {SCROLL_TRACK, 57},
        {4 /* SB_THUMBPOSITION */, 10}, {6 /* SB_LEFT */, 10}, {8 /* SB_ENDSCROLL */, 10}};
    const long ranges[][3] = {{0, 600, 599}, {-56, 5, 60}, {0, 1, 0}, {0, 0, -1},
        {-32768, INT_MAX, INT_MAX}, {INT_MAX, INT_MIN, INT_MIN}}; // low, high, last
    // clang-format on
    for (const auto &c : steps)
        EXPECT_EQ(scroll_position(c[0], 10, 200, 57), c[1]) << "code " << c[0];
    for (const auto &c : ranges)
        EXPECT_EQ(last_scroll_position(c[0], c[1]), c[2]) << c[0] << " .. " << c[1];
}

TEST(ViewLogic, PaintsTheBackgroundOverTheWholeSurfaceOnly) {
    for (LONG height : {3, -3, 0}) {
        std::vector<RGBQUAD> block(20, RGBQUAD{0xCC, 0xCC, 0xCC, 0x5A}), want = block;
        for (size_t i = 4; height && i < 16; ++i) want[i] = RGBQUAD{0x33, 0x22, 0x11, 0x5A};
        BITMAPINFO bi = surface_info(4, height);
        fill_background(block.data() + 4, &bi, 0x00332211);
        EXPECT_TRUE(same(block.data(), want.data(), 20 * 4)) << "height " << height;
    }
}

// The header and rows an indexed save writes: the image's own pixels, rows
// top row first, each a whole number of 32-bit words.
TEST(ViewLogic, PreparesIndexedFilesFromTheImagesOwnBlock) {
    RGBQUAD colours[3] = {{1, 2, 3, 0}, {4, 5, 6, 0}, {7, 8, 9, 0}};
    mem_palette palette{3, colours};
    const RGBQUAD maskColours[2] = {{255, 255, 255, 0}, {0, 0, 0, 0}};
    // rowBytes, height, width, type; the file's pixel bytes, the stored block's
    // clang-format off
    const long long cases[][6] = {{4, 2, 3, 0, 8, 8}, {3, -3, 3, 0, 12, 9}, {7, 5, 7, 1, 40, 35},
        {5, 0, 5, 0, 0, 0}, {0, 2, 33, 4, 16, 16}, {0, 2, 32, 4, 8, 8}, {0, 3, 1, 5, 12, 12},
        {0, -2, 65, 4, 24, 24}, {0, 2, 0, 4, 0, 0}, {1 << 20, 4095, 1 << 20, 0, 0xFFF00000, 0xFFF00000},
        {1 << 20, 4096, 1 << 20, 0, -1, -1}}; // -1: past 32 bits
    // clang-format on
    for (const auto &c : cases) {
        SCOPED_TRACE("case " + std::to_string(&c - cases));
        const mem_image image{int32_t(c[0]), nullptr,       int32_t(c[1]),
                              int32_t(c[2]), int16_t(c[3]), &palette};
        BITMAPINFO bi, poison;
        std::memset(&poison, 0xCC, sizeof poison);
        bi = poison;
        const RGBQUAD *table = nullptr;
        uint32_t block = 5;
        EXPECT_EQ(image_block_size(image, &block), c[5] >= 0);
        EXPECT_EQ(block, c[5] >= 0 ? uint32_t(c[5]) : 5u);
        ASSERT_EQ(indexed_file_header(image, &bi, &table), c[4] >= 0);
        const bool mask = c[3] == 4 || c[3] == 5;
        BITMAPINFOHEADER want = poison.bmiHeader; // other fields stay, and all when refused
        if (c[4] >= 0) {
            want.biWidth = LONG(c[2]);
            want.biHeight = LONG(c[1] < 0 ? c[1] : -c[1]);
            want.biSizeImage = uint32_t(c[4]);
            want.biBitCount = mask ? 1 : 8;
            want.biClrUsed = mask ? 2 : 3;
            if (mask) want.biClrImportant = 2;
            EXPECT_TRUE(mask ? table && same(table, maskColours, sizeof maskColours)
                             : table == colours)
                << "white and black, or the image's palette";
        }
        EXPECT_TRUE(same(&bi.bmiHeader, &want, sizeof want));
    }

    // Rows of an 8-bit image that are not whole words are laid out anew, cut
    // to the width and padded with zeros; others are written as stored.
    const uint8_t pixels[] = {1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15, 16};
    const struct {
        int32_t rowBytes, height, width;
        int16_t type;
        std::vector<uint8_t> file; // empty: the block itself
    } layouts[] = {{3, 2, 3, 0, {1, 2, 3, 0, 4, 5, 6, 0}},
                   {8, -2, 3, 0, {1, 2, 3, 0, 9, 10, 11, 0}},
                   {5, 1, 5, 0, {1, 2, 3, 4, 5, 0, 0, 0}},
                   {4, 3, 4, 0, {}},
                   {4, 2, 33, 4, {}}};
    for (const auto &c : layouts) {
        SCOPED_TRACE("layout " + std::to_string(&c - layouts));
        mem_image image{c.rowBytes, const_cast<uint8_t *>(pixels), c.height, c.width, c.type,
                        nullptr};
        std::vector<uint8_t> aligned;
        const uint8_t *rows = nullptr;
        ASSERT_TRUE(indexed_file_rows(image, aligned, &rows));
        EXPECT_EQ(rows, c.file.empty() ? pixels : aligned.data());
        EXPECT_EQ(aligned, c.file);
    }
}

} // namespace

namespace {

// One node a line, its depth in leading tabs, as the web viewer gets them.
std::string lines(const tree_node &node, int depth = 0) {
    std::string out = std::string(size_t(depth), '\t') + node.text + "\n";
    for (const tree_node &child : node.children) out += lines(child, depth + 1);
    return out;
}

} // namespace

// Whole trees of the small set: an image, the picture without an image (its
// image node has no children), a frame, a group of two frames without
// extended info or appendix, indexes past the tables; and the sample's group 2
// with extended info on every frame and two appendix entries.
TEST(ViewLogic, BuildsTheTreesTextsDownToEveryImage) {
    loaded_set s;
    ASSERT_EQ(s.result, ART_OK);
    const std::string rect0 = "\tRect\n\t\tleft: -2\n\t\ttop: 0\n\t\tright: 1\n\t\tbottom: 2\n";
    const std::string image0 = "Image: 0 [00000000]\n\tRect\n\t\tleft: 0\n\t\ttop: 0\n"
                               "\t\tright: 3\n\t\tbottom: 2\n\tPalette: 0\n\tType: 0\n";
    auto indent = [](const std::string &text) {
        std::string out;
        for (size_t at = 0, end; at < text.size(); at = end + 1) {
            end = text.find('\n', at);
            out += "\t" + text.substr(at, end - at + 1);
        }
        return out;
    };
    const std::string picture0 = "Picture: 0 [00000000]\n" + rect0 + indent(image0);
    const std::string frame0 =
        "Frame: 0 [00000000]\n" + rect0 + "\tPictures (1)\n" + indent(indent(picture0));
    const struct {
        int kind, index;
        std::string want;
    } trees[] = {
        {OBJ_IMAGE, 0, image0},
        {OBJ_IMAGE, 2, "Image: 2 [00000002]\n"},
        {OBJ_PICTURE, 0, picture0},
        {OBJ_PICTURE, 2,
         "Picture: 2 [00000002]\n\tRect\n\t\tleft: 0\n\t\ttop: 0\n\t\tright: 0\n"
         "\t\tbottom: 0\n\tImage: -1 [FFFFFFFF]\n"},
        {OBJ_FRAME, 0, frame0},
        {OBJ_FRAME, -1, "Frame: -1 [FFFFFFFF]\n"},
        {OBJ_GROUP, 1,
         "Group: 1 [00000001]\n\tRect\n\t\tleft: 0\n\t\ttop: 0\n\t\tright: 0\n"
         "\t\tbottom: 0\n\tunknown1 = 00000000\n\tunknown2 = 00000000\n\tunknown3 = 00000000\n"
         "\tunknown4 = 00000000\n\tunknown5 = 00000000\n\tunknown6 = 00000000\n"
         "\tunknown7 = 00000000\n\tunknown8 = 00000000\n\tExtended Information: No\n"
         "\tFrames (0)\n\tNo Appendix\n"},
        {OBJ_GROUP, 2, "Group: 2 [00000002]\n"},
        {0, 0, "\n"}, // no kind: one empty node
    };
    for (const auto &t : trees)
        EXPECT_EQ(lines(object_tree(s.art, t.kind, t.index)), t.want)
            << "kind " << t.kind << ", object " << t.index;
    const std::string group0 = lines(object_tree(s.art, OBJ_GROUP, 0));
    EXPECT_NE(group0.find("\tFrames (2)\n" + indent(indent(frame0))), std::string::npos) << group0;

    art_handle sample;
    ASSERT_EQ(LoadArtFromFile(ZEVART_SAMPLE_DIR "/zev_art.bmp", ZEVART_SAMPLE_DIR "/zev_art.prt",
                              &sample),
              ART_OK);
    const tree_node group2 = object_tree(&sample, OBJ_GROUP, 2);
    ASSERT_EQ(group2.children.size(), 12u);
    EXPECT_EQ(group2.children[1].text, "unknown1 = 544F5243");
    EXPECT_EQ(group2.children[9].text, "Extended Information: Yes");
    const tree_node &frames = group2.children[10];
    EXPECT_EQ(frames.text, "Frames (6)");
    ASSERT_EQ(frames.children.size(), 6u);
    const int firstExt = int(sample.groups[2].extInfo - sample.extInfos);
    for (int k = 0; k < 6; ++k) {
        ASSERT_EQ(frames.children[k].children.size(), 3u) << "frame " << k;
        const tree_node &ext = frames.children[k].children[1];
        EXPECT_EQ(ext.text, "Extended info: " + std::to_string(firstExt + k));
        EXPECT_EQ(ext.children.size(), 4u);
    }
    const tree_node &appendix = group2.children[11];
    EXPECT_EQ(appendix.text, "Appendix (2)");
    ASSERT_EQ(appendix.children.size(), 2u);
    EXPECT_EQ(appendix.children[1].text, "apdx 1");
    EXPECT_EQ(appendix.children[1].children[0].text.substr(0, 12), "unknown 1 = ");
}
