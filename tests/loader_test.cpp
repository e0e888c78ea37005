// Loading art sets: the stored format, the result codes and what a handle owns
// afterwards.
#include "sample_art.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>

using namespace artgen;
using testing_support::load_bytes;
using testing_support::load_set;
using testing_support::temp_dir;

namespace {

// The smallest useful set: one palette of two colours, one 3 x 2 image with
// rows of 4 bytes, one group of one frame of one picture at (-1, -2).
art_set minimal_set() {
    art_set set;
    palette p;
    p.add(10, 20, 30, 40);
    p.add(50, 60, 70, 80);
    set.palettes.push_back(p);
    set.images.push_back(image8(3, 2, 0, {1, 0, 1, 9, 0, 1, 0, 9}, 4));
    group g;
    frame f;
    picture pic;
    pic.x = -1;
    pic.y = -2;
    f.pics.push_back(pic);
    g.frames.push_back(f);
    set.groups.push_back(g);
    return set;
}

// A frame of `n` pictures of image 0 with the given slots in file order, each
// picture's x telling which record it came from.
frame frame_with_slots(std::vector<uint8_t> slots) {
    frame f;
    for (size_t i = 0; i < slots.size(); ++i) {
        picture p;
        p.slot = slots[i];
        p.x = int16_t(100 + i);
        f.pics.push_back(p);
    }
    return f;
}

TEST(Loader, MinimalSetLoads) {
    art_set set = minimal_set();
    ASSERT_EQ(write_prt(set).size(), 134u);
    art_handle h;
    ASSERT_EQ(load_set(h, set), ART_OK);
    EXPECT_EQ(h.loadState, ART_LOADED);
    ASSERT_EQ(h.imageCount, 1u);
    const mem_image &im = h.images[0];
    EXPECT_EQ(im.rowBytes, 4);
    EXPECT_EQ(im.width, 3);
    EXPECT_EQ(im.height, 2);
    // Packed fields are read by value: no reference may bind to them.
    mem_palette *palette = im.palette;
    uint8_t *pixels = im.pixels;
    EXPECT_EQ(palette, &h.palettes[0]);
    EXPECT_EQ(std::memcmp(pixels, set.images[0].pixels.data(), 8), 0);
    ASSERT_EQ(h.picCount, 1u);
    EXPECT_EQ(h.pics[0].x, -1);
    EXPECT_EQ(h.pics[0].y, -2);
    EXPECT_EQ(h.pics[0].image, &h.images[0]);
    ASSERT_EQ(h.groupCount, 1u);
    EXPECT_EQ(h.groups[0].frames, &h.frames[0]);
    mem_pic *run = h.frames[0].pics;
    EXPECT_EQ(run, &h.pics[0]);
    EXPECT_EQ(h.groups[0].extInfo, nullptr);
    EXPECT_EQ(h.groups[0].appendixCount, 0u);
    EXPECT_STREQ(h.bmpFileName, "memory.bmp");
    EXPECT_STREQ(h.prtFileName, "memory.prt");
}

TEST(Loader, PaletteEntriesTurnToRgbquadOrder) {
    art_set set = minimal_set();
    set.palettes[0].data.push_back(0xEE); // 9 bytes: two colours and a spare byte
    art_handle h;
    ASSERT_EQ(load_set(h, set), ART_OK);
    ASSERT_EQ(h.palettes[0].colorCount, 2u);
    const RGBQUAD &c = h.palettes[0].colors[1];
    EXPECT_EQ(c.rgbBlue, 70);
    EXPECT_EQ(c.rgbGreen, 60);
    EXPECT_EQ(c.rgbRed, 50);
    EXPECT_EQ(c.rgbReserved, 80);
    // The records after the odd-sized palette are still read in step.
    EXPECT_EQ(h.pics[0].x, -1);
}

TEST(Loader, SlotsDecideTheRunOrder) {
    art_set set = minimal_set();
    set.groups[0].frames[0] = frame_with_slots({2, 0, 1});
    art_handle h;
    ASSERT_EQ(load_set(h, set), ART_OK);
    ASSERT_EQ(h.frames[0].picCount, 3);
    EXPECT_EQ(h.frames[0].pics[0].x, 101);
    EXPECT_EQ(h.frames[0].pics[1].x, 102);
    EXPECT_EQ(h.frames[0].pics[2].x, 100);
}

TEST(Loader, ExtendedInfoPairsFollowTheirFlagBits) {
    art_set set = minimal_set();
    frame flagged = frame_with_slots({0, 1, 2});
    flagged.ext1 = std::array<uint8_t, 2>{0x11, 0x22};
    flagged.ext2 = std::array<uint8_t, 2>{0x33, 0x44};
    frame plain = frame_with_slots({0, 1, 2});
    plain.flagLowBits = 0x7F;
    frame second = frame_with_slots({0});
    second.ext2 = std::array<uint8_t, 2>{0x55, 0x66};
    set.groups[0].frames = {plain, flagged, second};

    std::vector<uint8_t> prt = write_prt(set);
    // The frame bytes as stored: 0x03 0x7F, then 0x83 0x80 and both pairs.
    const uint8_t flaggedStart[] = {0x83, 0x80, 0x11, 0x22, 0x33, 0x44};
    ASSERT_NE(std::search(prt.begin(), prt.end(), std::begin(flaggedStart), std::end(flaggedStart)),
              prt.end());

    art_handle h;
    ASSERT_EQ(load_set(h, set), ART_OK);
    ASSERT_EQ(h.extInfoCount, 3u);
    const mem_group &g = h.groups[0];
    ASSERT_EQ(g.extInfo, &h.extInfos[0]);
    // Entry j of the run belongs to frame j, also when earlier frames carry none.
    const uint8_t none[4] = {0, 0, 0, 0}, both[4] = {0x11, 0x22, 0x33, 0x44},
                  secondOnly[4] = {0, 0, 0x55, 0x66};
    EXPECT_EQ(std::memcmp(g.extInfo[0].data, none, 4), 0);
    EXPECT_EQ(std::memcmp(g.extInfo[1].data, both, 4), 0);
    EXPECT_EQ(std::memcmp(g.extInfo[2].data, secondOnly, 4), 0);
    EXPECT_EQ(h.frames[0].picCount, 3);
    EXPECT_EQ(h.frames[1].picCount, 3);
    EXPECT_EQ(h.frames[2].picCount, 1);
}

TEST(Loader, ExtendedInfoRunsFollowEachOtherByGroup) {
    art_set set = minimal_set();
    set.groups[0].frames[0].ext1 = std::array<uint8_t, 2>{1, 2};
    group plain = set.groups[0];
    plain.frames[0].ext1.reset();
    group twoFrames = set.groups[0];
    twoFrames.frames.push_back(twoFrames.frames[0]);
    set.groups = {set.groups[0], plain, twoFrames};
    art_handle h;
    ASSERT_EQ(load_set(h, set), ART_OK);
    EXPECT_EQ(h.groups[0].extInfo, &h.extInfos[0]);
    EXPECT_EQ(h.groups[1].extInfo, nullptr);
    EXPECT_EQ(h.groups[2].extInfo, &h.extInfos[1]);
    EXPECT_EQ(h.groups[2].frames, &h.frames[2]);
    mem_pic *run = h.groups[2].frames[1].pics;
    EXPECT_EQ(run, &h.pics[3]);
}

TEST(Loader, AppendixEntriesAndTheRecordsAfterThem) {
    art_set set = minimal_set();
    group second = set.groups[0];
    second.appendix = {{1, 2, 3, 4}, {5, 6, 7, 8}};
    second.frames[0].pics[0].x = 77;
    set.groups.push_back(second); // group 0 has no appendix: group 1 follows at once
    set.trailing = {1, 2, 3, 4, 5};
    art_handle h;
    ASSERT_EQ(load_set(h, set), ART_OK);
    EXPECT_EQ(h.groups[0].appendixCount, 0u);
    ASSERT_EQ(h.groups[1].appendixCount, 2u);
    EXPECT_EQ(h.groups[1].appendix[1].data[2], 7u);
    EXPECT_EQ(h.groups[1].frames[0].pics[0].x, 77);
}

TEST(Loader, FramesNoGroupReachesStayEmpty) {
    art_set set = minimal_set();
    set.frameCountField = 3;
    art_handle h;
    ASSERT_EQ(load_set(h, set), ART_OK);
    ASSERT_EQ(h.frameCount, 3u);
    EXPECT_EQ(h.frames[1].picCount, 0);
    mem_pic *run = h.frames[1].pics;
    EXPECT_EQ(run, nullptr);
    EXPECT_EQ(h.frames[2].picCount, 0);
}

TEST(Loader, NegativeHeightStillGetsItsRows) {
    art_set set = minimal_set();
    set.images[0].height = -2;
    art_handle h;
    ASSERT_EQ(load_set(h, set), ART_OK);
    EXPECT_EQ(h.images[0].height, -2);
    EXPECT_EQ(h.images[0].pixels[7], 9);
    // Without its second row in the bitmap the block is incomplete.
    std::vector<uint8_t> bmp = write_bmp(set);
    bmp.resize(kBitmapPixelOffset + 7);
    art_handle cut;
    EXPECT_EQ(load_bytes(cut, bmp, write_prt(set)), ART_ERR_BITMAP);
}

// A 1-bit block is |height| rows of whole 32-bit words: exactly that many
// bytes must be in the bitmap, and no more are needed.
TEST(Loader, ShadowMaskRowsAreWholeWords) {
    for (int width : {1, 32, 33, 64, 65}) {
        art_set set = minimal_set();
        set.images[0] = mask1(width, 3, std::vector<uint8_t>(size_t(width) * 3, 1));
        size_t block = size_t(3) * 4 * ((width + 31) / 32);
        ASSERT_EQ(set.images[0].pixels.size(), block);
        std::vector<uint8_t> bmp = write_bmp(set), prt = write_prt(set);
        bmp.resize(kBitmapPixelOffset + block);
        art_handle h;
        EXPECT_EQ(load_bytes(h, bmp, prt), ART_OK) << "width " << width;
        bmp.pop_back();
        art_handle shortBy1;
        EXPECT_EQ(load_bytes(shortBy1, bmp, prt), ART_ERR_BITMAP) << "width " << width;
    }
}

TEST(Loader, EightBitBlocksTakeRowBytesWhateverTheWidth) {
    art_set set = minimal_set();
    set.images[0] = image8(3, 2, 0, std::vector<uint8_t>(20, 1), 10);
    std::vector<uint8_t> bmp = write_bmp(set), prt = write_prt(set);
    bmp.resize(kBitmapPixelOffset + 20);
    art_handle h;
    EXPECT_EQ(load_bytes(h, bmp, prt), ART_OK);
    bmp.pop_back();
    art_handle cut;
    EXPECT_EQ(load_bytes(cut, bmp, prt), ART_ERR_BITMAP);
}

TEST(Loader, AnyHandleNotEmptyIsRefusedUntouched) {
    art_set good = minimal_set();
    art_handle loaded;
    ASSERT_EQ(load_set(loaded, good), ART_OK);
    art_handle before = loaded;
    EXPECT_EQ(load_set(loaded, good), ART_ERR_NOT_EMPTY);
    EXPECT_EQ(loaded.images, before.images);
    EXPECT_EQ(loaded.loadState, ART_LOADED);

    art_handle failed;
    std::vector<uint8_t> junk = {'X', 'P', 'A', 'L'};
    ASSERT_EQ(load_bytes(failed, write_bmp(good), junk), ART_ERR_MAGIC);
    EXPECT_EQ(failed.loadState, ART_FAILED);
    EXPECT_EQ(load_set(failed, good), ART_ERR_NOT_EMPTY);
    EXPECT_EQ(failed.loadState, ART_FAILED);

    // Closing makes either reusable.
    EXPECT_EQ(CloseArt(&failed), 1);
    EXPECT_EQ(failed.loadState, ART_EMPTY);
    EXPECT_EQ(load_set(failed, good), ART_OK);
}

TEST(Loader, MagicMustBeCpal) {
    std::vector<uint8_t> bmp = write_bmp(minimal_set());
    for (std::vector<uint8_t> prt :
         {std::vector<uint8_t>{}, {'C', 'P', 'A'}, {'C', 'P', 'A', 'X', 0, 0, 0, 0}}) {
        art_handle h;
        EXPECT_EQ(load_bytes(h, bmp, prt), ART_ERR_MAGIC) << prt.size() << " bytes";
        EXPECT_EQ(h.loadState, ART_FAILED);
        EXPECT_EQ(h.images, nullptr);
    }
}

TEST(Loader, ShortPaletteIsCodeTwoAndLeavesNothing) {
    art_set set = minimal_set();
    std::vector<uint8_t> prt = write_prt(set);
    prt.resize(4 + 4 + 28 + 5); // palette data cut after 5 of its 8 bytes
    art_handle h;
    EXPECT_EQ(load_bytes(h, write_bmp(set), prt), ART_ERR_PALETTE);
    EXPECT_EQ(h.loadState, ART_FAILED);
    EXPECT_EQ(h.palettes, nullptr);
    EXPECT_EQ(h.bmpFileName, nullptr);

    // A size field larger than the whole file is code 2 too, with nothing allocated.
    set.palettes[0].sizeField = 0xFFFFFFF0;
    art_handle huge;
    EXPECT_EQ(load_set(huge, set), ART_ERR_PALETTE);
}

// Files that break what a sound set promises. Each fails with its code,
// leaves the handle ART_FAILED and owning nothing, and allocates nothing the
// file could not back (LeakSanitizer and the small heap of a 4-billion count
// prove it).
struct corrupt_case {
    const char *what;
    std::function<void(art_set &)> spoil;
    int code;
};

const corrupt_case kCorrupt[] = {
    {"palette count of 4 billion", [](art_set &s) { s.paletteCountField = 0xFFFFFFFF; },
     ART_ERR_FORMAT},
    {"image count of 4 billion", [](art_set &s) { s.imageCountField = 0xFFFFFFFF; },
     ART_ERR_FORMAT},
    {"group count of 4 billion", [](art_set &s) { s.groupCountField = 0xFFFFFFFF; },
     ART_ERR_FORMAT},
    {"frame count of 4 billion", [](art_set &s) { s.frameCountField = 0xFFFFFFFF; },
     ART_ERR_FORMAT},
    {"picture count of 4 billion", [](art_set &s) { s.picCountField = 0xFFFFFFFF; },
     ART_ERR_FORMAT},
    {"palette of 65 536 colours", [](art_set &s) { s.palettes[0].data.resize(262144); },
     ART_ERR_FORMAT},
    {"palette index past the table", [](art_set &s) { s.images[0].palette = 1; }, ART_ERR_FORMAT},
    {"image index past the table", [](art_set &s) { s.groups[0].frames[0].pics[0].image = 1; },
     ART_ERR_FORMAT},
    {"slot past the frame", [](art_set &s) { s.groups[0].frames[0].pics[0].slot = 1; },
     ART_ERR_FORMAT},
    {"slot used twice",
     [](art_set &s) {
         s.groups[0].frames[0] = frame_with_slots({0, 1, 1});
     },
     ART_ERR_FORMAT},
    {"appendix count of 3",
     [](art_set &s) {
         s.groups[0].appendix.assign(3, {0, 0, 0, 0});
     },
     ART_ERR_FORMAT},
    {"appendix entries missing", [](art_set &s) { s.groups[0].appendixCountField = 2; },
     ART_ERR_FORMAT},
    {"groups' frames past the frame table", [](art_set &s) { s.frameCountField = 0; },
     ART_ERR_FORMAT},
    {"frames' pictures past the picture table", [](art_set &s) { s.picCountField = 0; },
     ART_ERR_FORMAT},
    {"extended info past its table",
     [](art_set &s) {
         s.groups[0].frames[0].ext1 = std::array<uint8_t, 2>{1, 2};
         s.extInfoCountField = 0;
     },
     ART_ERR_FORMAT},
    {"extended-info table larger than the frame table", [](art_set &s) { s.extInfoCountField = 2; },
     ART_ERR_FORMAT},
    {"group frame count past the records",
     [](art_set &s) {
         s.groups[0].frameCountField = 2;
         s.frameCountField = 2;
     },
     ART_ERR_FORMAT},
    {"picture count past the records",
     [](art_set &s) {
         s.groups[0].frames[0].countField = 2;
         s.picCountField = 2;
     },
     ART_ERR_FORMAT},
    {"row shorter than the image",
     [](art_set &s) {
         s.images[0].rowBytes = 2;
         s.images[0].pixels.resize(4);
     },
     ART_ERR_FORMAT},
    {"negative row bytes", [](art_set &s) { s.images[0].rowBytes = -4; }, ART_ERR_FORMAT},
    {"block of more than 2 GiB",
     [](art_set &s) {
         s.images[0].rowBytes = 0x10000;
         s.images[0].height = 0x8000;
     },
     ART_ERR_FORMAT},
    {"1-bit image of negative width",
     [](art_set &s) {
         s.images[0].type = 4;
         s.images[0].width = -100;
     },
     ART_ERR_FORMAT},
    {"pixel block past the bitmap", [](art_set &s) { s.images[0].offset = 0x7FFFFFF0; },
     ART_ERR_BITMAP},
};

TEST(Loader, CorruptFilesFailCleanly) {
    for (const corrupt_case &c : kCorrupt) {
        art_set set = minimal_set();
        c.spoil(set);
        art_handle h; // the bitmap stays the sound set's
        EXPECT_EQ(load_bytes(h, write_bmp(minimal_set()), write_prt(set)), c.code) << c.what;
        EXPECT_EQ(h.loadState, ART_FAILED) << c.what;
        EXPECT_EQ(h.images, nullptr) << c.what;
        EXPECT_EQ(h.groups, nullptr) << c.what;
        EXPECT_EQ(CloseArt(&h), 1);
        EXPECT_EQ(load_set(h, minimal_set()), ART_OK) << "reload after " << c.what;
    }
}

TEST(Loader, BitmapFileProblemsAreCodeFour) {
    art_set set = minimal_set();
    std::vector<uint8_t> prt = write_prt(set), bmp = write_bmp(set);
    art_handle missing;
    memory_source p(prt.data(), prt.size());
    EXPECT_EQ(load_art(&missing, "none.bmp", "x.prt", nullptr, &p), ART_ERR_BITMAP);

    std::vector<uint8_t> header(bmp.begin(), bmp.begin() + 13); // no pixel-offset field
    art_handle tiny;
    EXPECT_EQ(load_bytes(tiny, header, prt), ART_ERR_BITMAP);

    bmp[10] = 0xFF, bmp[11] = 0xFF, bmp[12] = 0xFF, bmp[13] = 0x7F; // offset past the end
    art_handle pastEnd;
    EXPECT_EQ(load_bytes(pastEnd, bmp, prt), ART_ERR_BITMAP);
}

TEST(Loader, FilesOnDisk) {
    temp_dir dir;
    auto files = testing_support::save_set(dir, minimal_set());
    art_handle h;
    ASSERT_EQ(LoadArtFromFile(files.bmp.c_str(), files.prt.c_str(), &h), ART_OK);
    EXPECT_EQ(std::string(h.bmpFileName), files.bmp);
    EXPECT_EQ(std::string(h.prtFileName), files.prt);
    EXPECT_EQ(h.images[0].pixels[2], 1);

    art_handle noPrt;
    EXPECT_EQ(LoadArtFromFile(files.bmp.c_str(), dir.file("none.prt").c_str(), &noPrt),
              ART_ERR_MAGIC);
    art_handle noBmp;
    EXPECT_EQ(LoadArtFromFile(dir.file("none.bmp").c_str(), files.prt.c_str(), &noBmp),
              ART_ERR_BITMAP);
    art_handle folder;
    EXPECT_EQ(LoadArtFromFile(files.bmp.c_str(), dir.path().c_str(), &folder), ART_ERR_MAGIC);
    art_handle empty;
    EXPECT_EQ(LoadArtFromFile("", "", &empty), ART_ERR_MAGIC);
    art_handle nulls;
    EXPECT_EQ(LoadArtFromFile(nullptr, nullptr, &nulls), ART_ERR_MAGIC);
    EXPECT_EQ(LoadArtFromFile(files.bmp.c_str(), files.prt.c_str(), nullptr), ART_ERR_NOT_EMPTY);
}

// A set large enough for the pixel area's own mapping is read, not mapped
// from the file: cutting and removing the files afterwards changes nothing.
TEST(Loader, LargeSetOutlivesItsFiles) {
    temp_dir dir;
    const art_set set = make_bulk(700, 64, 160, 5); // about 9 MB of pixels
    auto files = testing_support::save_set(dir, set);
    art_handle h;
    ASSERT_EQ(LoadArtFromFile(files.bmp.c_str(), files.prt.c_str(), &h), ART_OK);
    std::ofstream(files.bmp, std::ios::binary | std::ios::trunc).put('x');
    std::remove(files.prt.c_str());
    std::remove(files.bmp.c_str());
    ASSERT_EQ(h.imageCount, set.images.size());
    for (uint32_t i = 0; i < h.imageCount; ++i) {
        const std::vector<uint8_t> &want = set.images[i].pixels;
        const uint8_t *got = h.images[i].pixels;
        ASSERT_TRUE(std::memcmp(got, want.data(), want.size()) == 0) << "image " << i;
    }
}

// Every cut of the sample's files either still holds all the loader needs or
// fails with the code that names what is missing.
TEST(LoaderSweep, TruncatedArtStructureFile) {
    art_set set = make_sample();
    std::vector<uint8_t> prt = write_prt(set), bmp = write_bmp(set);
    // Where each palette's colour data lies: a cut inside it may be code 2.
    std::vector<std::pair<size_t, size_t>> colourData;
    size_t at = 8;
    for (const palette &p : set.palettes) {
        colourData.push_back({at + 28, at + 28 + p.data.size()});
        at += 28 + p.data.size();
    }
    for (size_t cut = 0; cut < prt.size(); ++cut) {
        std::vector<uint8_t> part(prt.begin(), prt.begin() + cut);
        art_handle h;
        int code = load_bytes(h, bmp, part);
        bool inColours = false;
        for (auto [from, to] : colourData) inColours |= cut >= from && cut < to;
        if (cut < 4) {
            EXPECT_EQ(code, ART_ERR_MAGIC) << "cut at " << cut;
        } else if (code != ART_ERR_FORMAT) {
            EXPECT_TRUE(code == ART_ERR_PALETTE && inColours) << "cut at " << cut << ": " << code;
        }
        EXPECT_EQ(h.loadState, ART_FAILED) << "cut at " << cut;
    }
    art_handle whole;
    EXPECT_EQ(load_bytes(whole, bmp, prt), ART_OK);
}

TEST(LoaderSweep, TruncatedBitmapFile) {
    art_set set = make_sample();
    std::vector<uint8_t> prt = write_prt(set), bmp = write_bmp(set);
    size_t needed = kBitmapPixelOffset; // the sample's blocks lie back to back
    for (const image &im : set.images) needed += im.pixels.size();
    for (size_t cut = 0; cut <= bmp.size(); ++cut) {
        memory_source b(bmp.data(), cut), p(prt.data(), prt.size());
        art_handle h;
        int code = load_art(&h, "b", "p", &b, &p);
        EXPECT_EQ(code, cut >= needed ? ART_OK : ART_ERR_BITMAP) << "cut at " << cut;
    }
}

} // namespace
