// Loading art sets: what loads is, field by field, the set the files
// describe; broken files fail with their code and leave a handle that owns
// nothing and can be loaded again; files on disk.
#include "fuzz_checks.h"
#include "sample_art.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <fstream>

using namespace artgen;
using testing_support::load_bytes;
using testing_support::load_set;
using testing_support::temp_dir;

namespace {

typedef std::vector<uint8_t> bytes;

// The smallest useful set: one palette of two colours, one 3 x 2 image with
// rows of 4 bytes, one group of one frame of one picture at (-1, -2).
art_set minimal_set() {
    art_set set;
    set.palettes.resize(1);
    set.palettes[0].add(10, 20, 30, 40);
    set.palettes[0].add(50, 60, 70, 80);
    set.images.push_back(image8(3, 2, 0, {1, 0, 1, 9, 0, 1, 0, 9}, 4));
    set.groups.resize(1);
    set.groups[0].frames.resize(1);
    set.groups[0].frames[0].pics.resize(1);
    set.groups[0].frames[0].pics[0].x = -1;
    set.groups[0].frames[0].pics[0].y = -2;
    return set;
}

// A frame of pictures of image 0 with the given slots in file order, each
// picture's x telling which record it came from.
frame frame_with_slots(std::vector<uint8_t> slots) {
    frame f;
    f.pics.resize(slots.size());
    for (size_t i = 0; i < slots.size(); ++i)
        f.pics[i].slot = slots[i], f.pics[i].x = int16_t(100 + i);
    return f;
}

bool has_ext(const group &g) {
    return std::any_of(g.frames.begin(), g.frames.end(),
                       [](const frame &f) { return f.ext1 || f.ext2; });
}

// The loaded handle against the set its files describe: colours in RGBQUAD
// order, every pixel block as the bitmap holds it, pictures placed by slot,
// frame j's extended info in entry j of its group's run, the runs following
// each other in group order, and the entries no group reaches zero.
void expect_loaded_as(const art_handle &h, const art_set &s, const bytes &bmp) {
    ASSERT_EQ(h.loadState, ART_LOADED);
    ASSERT_EQ(h.paletteCount, s.palettes.size());
    for (uint32_t i = 0; i < h.paletteCount; ++i) {
        const bytes &d = s.palettes[i].data;
        ASSERT_EQ(h.palettes[i].colorCount, d.size() / 4) << "palette " << i;
        for (size_t c = 0; c < d.size() / 4; ++c) {
            const uint8_t want[4] = {d[4 * c + 2], d[4 * c + 1], d[4 * c], d[4 * c + 3]};
            EXPECT_EQ(std::memcmp(&h.palettes[i].colors[c], want, 4), 0)
                << "palette " << i << ", colour " << c;
        }
    }
    ASSERT_EQ(h.imageCount, s.images.size());
    const std::vector<size_t> offsets = testing_support::block_offsets(s);
    for (uint32_t i = 0; i < h.imageCount; ++i) {
        const image &w = s.images[i];
        const mem_image im = h.images[i]; // packed: copied, never bound by reference
        const size_t size = testing_support::block_size(w);
        EXPECT_TRUE(
            im.rowBytes == w.rowBytes && im.height == w.height && im.width == w.width &&
            im.type == w.type && im.palette == h.palettes + w.palette &&
            (!size || !std::memcmp(im.pixels, bmp.data() + kBitmapPixelOffset + offsets[i], size)))
            << "image " << i;
    }
    ASSERT_EQ(h.groupCount, s.groups.size());
    ASSERT_EQ(h.frameCount, s.frameCountField.value_or(s.frame_count()));
    ASSERT_EQ(h.picCount, s.picCountField.value_or(s.picture_count()));
    ASSERT_EQ(h.extInfoCount, s.extInfoCountField.value_or(s.ext_info_count()));
    uint32_t f = 0, p = 0, e = 0;
    for (uint32_t g = 0; g < h.groupCount; ++g) {
        const group &wg = s.groups[g];
        const mem_group &hg = h.groups[g];
        EXPECT_TRUE(std::equal(wg.header.begin(), wg.header.end(), hg.header) &&
                    hg.frameCount == wg.frames.size() && hg.frames == h.frames + f &&
                    hg.extInfo == (has_ext(wg) ? h.extInfos + e : nullptr) &&
                    hg.appendixCount == wg.appendix.size())
            << "group " << g;
        for (size_t a = 0; a < wg.appendix.size(); ++a)
            EXPECT_EQ(std::memcmp(hg.appendix[a].data, wg.appendix[a].data(), 16), 0)
                << "group " << g << ", appendix " << a;
        for (size_t j = 0; j < wg.frames.size(); ++j, ++f) {
            const frame &wf = wg.frames[j];
            const mem_frame hf = h.frames[f];
            const std::string where = "group " + std::to_string(g) + ", frame " + std::to_string(j);
            ASSERT_TRUE(hf.picCount == wf.pics.size() && hf.pics == h.pics + p) << where;
            for (const picture &wp : wf.pics)
                EXPECT_TRUE(hf.pics[wp.slot].image == h.images + wp.image &&
                            hf.pics[wp.slot].x == wp.x && hf.pics[wp.slot].y == wp.y)
                    << where << ", slot " << int(wp.slot);
            p += uint32_t(wf.pics.size());
            uint8_t ext[4] = {};
            if (wf.ext1) std::memcpy(ext, wf.ext1->data(), 2);
            if (wf.ext2) std::memcpy(ext + 2, wf.ext2->data(), 2);
            EXPECT_TRUE(!hg.extInfo || !std::memcmp(hg.extInfo[j].data, ext, 4)) << where;
        }
        if (has_ext(wg)) e += uint32_t(wg.frames.size());
    }
    for (; f < h.frameCount; ++f)
        EXPECT_TRUE(!h.frames[f].picCount && !h.frames[f].pics) << "frame " << f;
    for (; p < h.picCount; ++p)
        EXPECT_TRUE(!h.pics[p].image && !h.pics[p].x && !h.pics[p].y) << "picture " << p;
    for (; e < h.extInfoCount; ++e)
        EXPECT_EQ(std::memcmp(h.extInfos[e].data, "\0\0\0", 4), 0) << "entry " << e;
    EXPECT_STREQ(h.bmpFileName, "memory.bmp");
    EXPECT_STREQ(h.prtFileName, "memory.prt");
}

// Sound sets, each loading as written; its bitmap cut to exactly the end of
// the blocks still loads, a byte less fails with code 4.
TEST(Loader, SetsLoadAsTheirFilesDescribeThem) {
    const struct {
        const char *what;
        void (*change)(art_set &);
    } kSets[] = {
        {"the minimal set of 134 bytes", [](art_set &) {}},
        {"a palette of 9 bytes: two colours and a byte over",
         [](art_set &s) { s.palettes[0].data.push_back(0xEE); }},
        {"slots stored 2, 0, 1",
         [](art_set &s) {
             s.groups[0].frames[0] = frame_with_slots({2, 0, 1});
         }},
        {"count byte 0x03 with flag byte 0x7F, 0x83 with 0x80, the second pair alone",
         [](art_set &s) {
             frame plain = frame_with_slots({0, 1, 2}), both = plain,
                   second = frame_with_slots({0});
             plain.flagLowBits = 0x7F;
             both.ext1 = std::array<uint8_t, 2>{0x11, 0x22};
             both.ext2 = std::array<uint8_t, 2>{0x33, 0x44};
             second.ext2 = std::array<uint8_t, 2>{0x55, 0x66};
             s.groups[0].frames = {plain, both, second};
         }},
        {"extended-info runs of groups with and without",
         [](art_set &s) {
             const group g = s.groups[0];
             s.groups.resize(3, g);
             s.groups[0].frames[0].ext1 = s.groups[2].frames[0].ext1 = std::array<uint8_t, 2>{1, 2};
             s.groups[2].frames.push_back(s.groups[2].frames[0]);
         }},
        {"appendix entries, none and two, and bytes after the last group",
         [](art_set &s) {
             s.groups.push_back(s.groups[0]);
             s.groups[1].appendix = {{1, 2, 3, 4}, {5, 6, 7, 8}};
             s.groups[1].header = {9, 8, 7, 6, 5, 4, 3, 0xFFFFFFFF};
             s.trailing = {1, 2, 3, 4, 5};
         }},
        {"frames and pictures no group reaches",
         [](art_set &s) { s.frameCountField = 3, s.picCountField = 4; }},
        {"a frame table of 40 and nothing after the last group",
         [](art_set &s) { s.frameCountField = 40; }},
        {"an extended-info table larger than the frame table",
         [](art_set &s) { s.extInfoCountField = 5; }},
        {"the most spare entries of every table",
         [](art_set &s) {
             s.frameCountField = 1 + (1u << 20), s.picCountField = 1 + (1u << 20);
             s.extInfoCountField = 1u << 20;
         }},
        {"a negative height", [](art_set &s) { s.images[0].height = -2; }},
        {"8-bit rows of 10 bytes for a width of 3",
         [](art_set &s) { s.images[0] = image8(3, 2, 0, bytes(20, 1), 10); }},
        {"1-bit widths 1, 33, 64, 65 and 32 (last: its block ends the bitmap)",
         [](art_set &s) {
             s.images.clear();
             for (int w : {1, 33, 64, 65, 32})
                 s.images.push_back(mask1(w, 3, bytes(size_t(w) * 3, 1)));
         }},
        {"1-bit widths 0, -1 and -31: rows of no bytes",
         [](art_set &s) {
             for (int w : {0, -1, -31}) {
                 s.images.push_back(mask1(1, 3, bytes(3, 1)));
                 s.images.back().width = w, s.images.back().pixels.clear();
             }
         }},
    };
    ASSERT_EQ(write_prt(minimal_set()).size(), 134u);
    std::vector<std::pair<std::string, art_set>> sets = {{"the sample", make_sample()},
                                                         {"the shapes", make_shapes()}};
    for (const auto &c : kSets) {
        sets.push_back({c.what, minimal_set()});
        c.change(sets.back().second);
    }
    for (const auto &[what, set] : sets) {
        SCOPED_TRACE(what);
        const bytes prt = write_prt(set), bmp = write_bmp(set);
        art_handle h;
        ASSERT_EQ(load_bytes(h, bmp, prt), ART_OK);
        expect_loaded_as(h, set, bmp);
        const size_t end = kBitmapPixelOffset + testing_support::blocks_end(set);
        art_handle exact, short1;
        EXPECT_EQ(load_bytes(exact, bytes(bmp.begin(), bmp.begin() + ptrdiff_t(end)), prt), ART_OK);
        EXPECT_EQ(load_bytes(short1, bytes(bmp.begin(), bmp.begin() + ptrdiff_t(end - 1)), prt),
                  ART_ERR_BITMAP);
    }
}

// Files that break what a sound set promises, each with the code it fails
// with, the byte offset its report gives (in the art-structure file, or the
// bitmap file for code 4; -1 for none) and words of its reason. The loader
// check proves each failure clean: the handle ART_FAILED, owning nothing
// (LeakSanitizer watches) and refusing another load until it is closed; one
// handle takes every case, so each must leave it reusable.
//
// The minimal set's art-structure file: palette count at 4, its data size at
// 32, image count at 44, the image record at 48, the four table counts at 68,
// group 0 at 84 (its frame count at 116), the frame record at 120, its
// picture record at 122, the appendix count at 130.
struct corrupt_case {
    const char *what;
    int code;
    int64_t offset;
    const char *reason;
    void (*spoil)(art_set &);
    void (*cut)(bytes &prt, bytes &bmp) = nullptr;
};

picture &pic0(art_set &s) {
    return s.groups[0].frames[0].pics[0];
}

constexpr uint32_t kSpare = 1u << 20; // spare entries accepted per table

const corrupt_case kCorrupt[] = {
    {"no art-structure file", ART_ERR_MAGIC, 0, "holds 0 bytes, too few for the magic", nullptr,
     [](bytes &prt, bytes &) { prt.clear(); }},
    {"3 bytes", ART_ERR_MAGIC, 0, "holds 3 bytes", nullptr,
     [](bytes &prt, bytes &) { prt.resize(3); }},
    {"magic CPAX", ART_ERR_MAGIC, 0, "43 50 41 58, not with \"CPAL\"", nullptr,
     [](bytes &prt, bytes &) { prt[3] = 'X'; }},
    {"colours cut at 5 of 8", ART_ERR_PALETTE, 32,
     "palette 0: data size 8 is more than the 5 bytes left", nullptr,
     [](bytes &p, bytes &) { p.resize(41); }},
    {"palette size past the file", ART_ERR_PALETTE, 32, "palette 0: data size 4294967295",
     [](art_set &s) { s.palettes[0].sizeField = ~0u; }},
    {"65 536 colours", ART_ERR_FORMAT, 32, "palette 0: data size 262144 means 65 536 colours",
     [](art_set &s) { s.palettes[0].data.resize(262144); }},
    {"palette index past the table", ART_ERR_FORMAT, 66,
     "image 0: palette index 1 is not below the palette count 1",
     [](art_set &s) { s.images[0].palette = 1; }},
    {"image index past the table", ART_ERR_FORMAT, 122,
     "group 0, frame 0 (frame 0 of the table), picture record 0: image index 1 is not below",
     [](art_set &s) { pic0(s).image = 1; }},
    {"slot past the frame", ART_ERR_FORMAT, 125, "slot 1 is not below the frame's picture count 1",
     [](art_set &s) { pic0(s).slot = 1; }},
    {"slot used twice", ART_ERR_FORMAT, 141, "picture record 2: slot 1 is taken",
     [](art_set &s) {
         s.groups[0].frames[0] = frame_with_slots({0, 1, 1});
     }},
    {"appendix count of 3", ART_ERR_FORMAT, 130, "group 0: appendix count 3 is more than 2",
     [](art_set &s) { s.groups[0].appendix.resize(3); }},
    {"appendix entries missing", ART_ERR_FORMAT, 134,
     "group 0: the file ends inside the appendix entries (0 of its 32 bytes there)",
     [](art_set &s) { s.groups[0].appendixCountField = 2; }},
    {"frames past the frame table", ART_ERR_FORMAT, 116,
     "group 0: frame count 1 is more than the 0 frames left in the frame table",
     [](art_set &s) { s.frameCountField = 0; }},
    {"pictures past the picture table", ART_ERR_FORMAT, 120,
     "frame 0 (frame 0 of the table): picture count 1 is more than the 0 pictures left",
     [](art_set &s) { s.picCountField = 0; }},
    {"extended info past its table", ART_ERR_FORMAT, 120, "more than the 0 left in the extended",
     [](art_set &s) {
         s.groups[0].frames[0].ext1 = {{1, 2}}, s.extInfoCountField = 0;
     }},
    {"image count of 4 billion", ART_ERR_FORMAT, 44, "image count 4294967295: more image records",
     [](art_set &s) { s.imageCountField = ~0u; }},
    {"group count of 4 billion", ART_ERR_FORMAT, 68, "group count 4294967295: more group records",
     [](art_set &s) { s.groupCountField = ~0u; }},
    {"frame count of 4 billion", ART_ERR_FORMAT, 72,
     "frame count 4294967295: 4294967294 entries more than the groups use (1)",
     [](art_set &s) { s.frameCountField = ~0u; }},
    {"picture count of 4 billion", ART_ERR_FORMAT, 76, "picture count 4294967295",
     [](art_set &s) { s.picCountField = ~0u; }},
    {"one spare frame past the limit", ART_ERR_FORMAT, 72,
     "at most 1048576 spare entries are accepted",
     [](art_set &s) { s.frameCountField = 1 + kSpare + 1; }},
    {"one spare picture past the limit", ART_ERR_FORMAT, 76, "picture count 1048578",
     [](art_set &s) { s.picCountField = 1 + kSpare + 1; }},
    {"one spare extended-info record past the limit", ART_ERR_FORMAT, 80,
     "extended-info count 1048577", [](art_set &s) { s.extInfoCountField = kSpare + 1; }},
    {"group frame count past the records", ART_ERR_FORMAT, 132,
     "group 0: the file ends inside the appendix count (2 of its 4 bytes there)",
     [](art_set &s) { s.groups[0].frameCountField = 2, s.frameCountField = 2; }},
    {"picture count past the records", ART_ERR_FORMAT, 130,
     "picture record 1: the file ends inside the picture record (4 of its 8 bytes there)",
     [](art_set &s) { s.groups[0].frames[0].countField = 2, s.picCountField = 2; }},
    {"row shorter than the image", ART_ERR_FORMAT, 48,
     "image 0: row bytes 2 is less than the width 3",
     [](art_set &s) { s.images[0].rowBytes = 2, s.images[0].pixels.resize(4); }},
    {"negative row bytes", ART_ERR_FORMAT, 48, "image 0: row bytes -4 is negative",
     [](art_set &s) { s.images[0].rowBytes = -4; }},
    {"block of more than 2 GiB", ART_ERR_FORMAT, 48,
     "image 0: its pixel block of 2147483648 bytes is larger",
     [](art_set &s) { s.images[0].rowBytes = 0x10000, s.images[0].height = 0x8000; }},
    {"1-bit image of width -32", ART_ERR_FORMAT, 60, "image 0: width -32 gives a 1-bit image",
     [](art_set &s) { s.images[0].type = 4, s.images[0].width = -32; }},
    {"pixel block past the bitmap", ART_ERR_BITMAP, kBitmapPixelOffset + (~0u >> 1),
     "image 0: its pixel block of 8 bytes (pixel data at 1078 + data offset 2147483647) runs "
     "past the end of the bitmap file",
     [](art_set &s) { s.images[0].offset = ~0u >> 1; }},
    {"no bitmap file", ART_ERR_BITMAP, 10, "holds 0 bytes, too few for its pixel-data offset",
     nullptr, [](bytes &, bytes &bmp) { bmp.clear(); }},
    {"no pixel-offset field", ART_ERR_BITMAP, 10, "holds 13 bytes", nullptr,
     [](bytes &, bytes &bmp) { bmp.resize(13); }},
    {"pixel offset past the bitmap", ART_ERR_BITMAP, 0x7F000000 + kBitmapPixelOffset,
     "runs past the end", nullptr, [](bytes &, bytes &b) { b[13] = 0x7F; }},
};

TEST(Loader, CorruptFilesFailCleanlyAndSayWhereAndWhy) {
    const art_set good = minimal_set();
    art_handle h;
    for (const corrupt_case &c : kCorrupt) {
        art_set set = minimal_set();
        if (c.spoil) c.spoil(set);
        bytes prt = write_prt(set), bmp = write_bmp(good); // the bitmap stays the sound set's
        if (c.cut) c.cut(prt, bmp);
        int code = -1;
        load_report report;
        EXPECT_EQ(
            check_load(h, prt.data(), prt.size(), bmp.data(), bmp.size(), &code, nullptr, &report),
            "")
            << c.what;
        EXPECT_TRUE(code == c.code && report.offset == c.offset &&
                    std::strstr(report.reason, c.reason))
            << c.what << ": code " << code << ", offset " << report.offset << ", \""
            << report.reason << "\"";
    }
    // A loaded handle refuses too, and stays as it was.
    ASSERT_EQ(load_set(h, good), ART_OK);
    mem_image *images = h.images;
    EXPECT_EQ(load_set(h, good), ART_ERR_NOT_EMPTY);
    EXPECT_TRUE(h.loadState == ART_LOADED && h.images == images);
}

TEST(Loader, FilesOnDisk) {
    temp_dir dir;
    const auto files = testing_support::save_set(dir, minimal_set());
    const std::string none = dir.file("none");
    const struct {
        const char *bmp, *prt;
        int code;
    } cases[] = {{files.bmp.c_str(), none.c_str(), ART_ERR_MAGIC},
                 {none.c_str(), files.prt.c_str(), ART_ERR_BITMAP},
                 {files.bmp.c_str(), dir.path().c_str(), ART_ERR_MAGIC}, // a folder
                 {"", "", ART_ERR_MAGIC},
                 {nullptr, nullptr, ART_ERR_MAGIC},
                 {files.bmp.c_str(), files.prt.c_str(), ART_OK}};
    for (const auto &c : cases) {
        art_handle h;
        EXPECT_EQ(LoadArtFromFile(c.bmp, c.prt, &h), c.code)
            << (c.bmp ? c.bmp : "null") << ", " << (c.prt ? c.prt : "null");
        EXPECT_TRUE(c.code || (files.bmp == h.bmpFileName && files.prt == h.prtFileName));
    }
    EXPECT_EQ(LoadArtFromFile(files.bmp.c_str(), files.prt.c_str(), nullptr), ART_ERR_NOT_EMPTY);
}

// A set large enough for the pixel area's own mapping is read, not mapped
// from the file: cutting and removing the files afterwards changes nothing.
TEST(Loader, LargeSetOutlivesItsFiles) {
    temp_dir dir;
    const art_set set = make_bulk(700, 64, 160, 5); // about 9 MB of pixels
    const auto files = testing_support::save_set(dir, set);
    art_handle h;
    ASSERT_EQ(LoadArtFromFile(files.bmp.c_str(), files.prt.c_str(), &h), ART_OK);
    std::ofstream(files.bmp, std::ios::binary | std::ios::trunc).put('x');
    std::remove(files.prt.c_str());
    std::remove(files.bmp.c_str());
    ASSERT_EQ(h.imageCount, set.images.size());
    for (uint32_t i = 0; i < h.imageCount; ++i) {
        const bytes &want = set.images[i].pixels;
        const uint8_t *got = h.images[i].pixels;
        ASSERT_TRUE(std::memcmp(got, want.data(), want.size()) == 0) << "image " << i;
    }
}

} // namespace
