// The handle's lifecycle: constructors, closing, and copies that share a set.
#include "sample_art.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstring>

using testing_support::load_set;

namespace {

artgen::art_set small_set() {
    artgen::art_set set;
    artgen::palette p;
    p.add(1, 2, 3);
    set.palettes.push_back(p);
    set.images.push_back(artgen::image8(2, 2, 0, {0, 1, 1, 0}));
    return set;
}

TEST(Handle, ConstructorsStartEmptyOrLoad) {
    art_handle plain;
    EXPECT_EQ(plain.loadState, ART_EMPTY);
    EXPECT_EQ(CloseArt(&plain), 1);
    EXPECT_EQ(plain.loadState, ART_EMPTY);

    art_handle named("zev_art.prt");
    EXPECT_EQ(named.loadState, ART_EMPTY);

    testing_support::temp_dir dir;
    auto files = testing_support::save_set(dir, small_set());
    art_handle loaded(files.bmp.c_str(), files.prt.c_str());
    EXPECT_EQ(loaded.loadState, ART_LOADED);
    EXPECT_EQ(loaded.imageCount, 1u);

    art_handle notArt(files.bmp.c_str(), files.bmp.c_str());
    EXPECT_EQ(notArt.loadState, ART_FAILED);
    EXPECT_EQ(CloseArt(&notArt), 1);
    EXPECT_EQ(LoadArtFromFile(files.bmp.c_str(), files.prt.c_str(), &notArt), ART_OK);
}

TEST(Handle, ClosingTwiceFreesOnce) {
    art_handle h;
    ASSERT_EQ(load_set(h, small_set()), ART_OK);
    EXPECT_EQ(CloseArt(&h), 1);
    EXPECT_EQ(h.loadState, ART_EMPTY);
    EXPECT_EQ(h.images, nullptr);
    EXPECT_EQ(CloseArt(&h), 1);
    EXPECT_EQ(CloseArt(nullptr), 1);
}

TEST(Handle, CopiesShareTheSetUntilTheLastLetsGo) {
    art_handle *source = new art_handle;
    ASSERT_EQ(load_set(*source, small_set()), ART_OK);
    art_handle copy;
    copy = *source;
    EXPECT_EQ(copy.loadState, ART_LOADED);
    EXPECT_EQ(copy.imageCount, source->imageCount);
    EXPECT_EQ(copy.images, source->images);
    EXPECT_EQ(copy.palettes, source->palettes);
    EXPECT_EQ(copy.bmpFileName, source->bmpFileName);

    delete source; // the copy still reads the set (AddressSanitizer watches)
    EXPECT_EQ(copy.images[0].pixels[1], 1);
    EXPECT_EQ(copy.images[0].palette->colors[0].rgbRed, 1);
    EXPECT_EQ(CloseArt(&copy), 1); // the last sharer frees it
    EXPECT_EQ(CloseArt(&copy), 1);
}

TEST(Handle, CopyInEitherOrderAndOntoALoadedHandle) {
    art_handle a, b, c;
    ASSERT_EQ(load_set(a, small_set()), ART_OK);
    ASSERT_EQ(load_set(b, small_set()), ART_OK);
    b = a; // b's own set goes (LeakSanitizer would see it otherwise)
    EXPECT_EQ(b.images, a.images);
    b = b;
    EXPECT_EQ(b.loadState, ART_LOADED);
    c = b;
    CloseArt(&a);
    CloseArt(&c);
    EXPECT_EQ(b.images[0].pixels[2], 1);
    art_handle copied(b); // copy construction shares too
    EXPECT_EQ(copied.images, b.images);
}

TEST(Handle, RawCopiesCannotFreeTwice) {
    art_handle h;
    ASSERT_EQ(load_set(h, small_set()), ART_OK);
    art_handle raw;
    std::memcpy(static_cast<void *>(&raw), &h, sizeof h); // a client's byte copy
    CloseArt(&h);
    EXPECT_EQ(CloseArt(&raw), 1); // the set is already gone: nothing is freed again
    EXPECT_EQ(raw.loadState, ART_EMPTY);

    art_handle stale;
    std::memcpy(static_cast<void *>(&stale), &h, sizeof h);
    stale.loadState = ART_LOADED;
    art_handle target;
    target = stale; // a set nobody owns is not shared
    EXPECT_EQ(target.loadState, ART_FAILED);
    EXPECT_EQ(target.images, nullptr);
    stale.loadState = ART_EMPTY;
}

TEST(Handle, CopiesOfEmptyAndFailedHandles) {
    art_handle failed;
    std::vector<uint8_t> junk = {'n', 'o', 'p', 'e'};
    ASSERT_EQ(testing_support::load_bytes(failed, junk, junk), ART_ERR_MAGIC);
    art_handle copy;
    copy = failed;
    EXPECT_EQ(copy.loadState, ART_FAILED);
    art_handle empty;
    copy = empty;
    EXPECT_EQ(copy.loadState, ART_EMPTY);
}

} // namespace
