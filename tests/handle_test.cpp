// The handle's lifecycle: constructors, closing, and copies that share a set.
#include "sample_art.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstring>

using testing_support::load_set;

namespace {

artgen::art_set small_set() {
    artgen::art_set set;
    set.palettes.resize(1);
    set.palettes[0].add(1, 2, 3);
    set.images.push_back(artgen::image8(2, 2, 0, {0, 1, 1, 0}));
    return set;
}

TEST(Handle, ConstructorsAndClosing) {
    art_handle plain, named("zev_art.prt");
    EXPECT_TRUE(plain.loadState == ART_EMPTY && named.loadState == ART_EMPTY);
    EXPECT_EQ(CloseArt(&plain), 1) << "closing an empty handle";
    EXPECT_EQ(CloseArt(nullptr), 1);

    testing_support::temp_dir dir;
    const auto files = testing_support::save_set(dir, small_set());
    art_handle loaded(files.bmp.c_str(), files.prt.c_str()),
        notArt(files.bmp.c_str(), files.bmp.c_str());
    EXPECT_TRUE(loaded.loadState == ART_LOADED && loaded.imageCount == 1u);
    EXPECT_EQ(notArt.loadState, ART_FAILED);
    EXPECT_EQ(CloseArt(&notArt), 1);
    EXPECT_EQ(LoadArtFromFile(files.bmp.c_str(), files.prt.c_str(), &notArt), ART_OK);
    EXPECT_EQ(CloseArt(&loaded), 1);
    EXPECT_TRUE(loaded.loadState == ART_EMPTY && loaded.images == nullptr);
    EXPECT_EQ(CloseArt(&loaded), 1) << "closing twice frees once";
}

// Copies share the set until the last lets go (AddressSanitizer sees a use
// after free, LeakSanitizer a set never freed).
TEST(Handle, CopiesShareTheSetUntilTheLastLetsGo) {
    art_handle *source = new art_handle, a, b;
    ASSERT_EQ(load_set(*source, small_set()), ART_OK);
    ASSERT_EQ(load_set(b, small_set()), ART_OK);
    a = *source;
    EXPECT_TRUE(a.loadState == ART_LOADED && a.imageCount == source->imageCount &&
                a.images == source->images && a.palettes == source->palettes &&
                a.bmpFileName == source->bmpFileName);
    delete source;
    EXPECT_EQ(a.images[0].pixels[1], 1);
    EXPECT_EQ(a.images[0].palette->colors[0].rgbRed, 1);
    b = a; // b's own set goes
    b = b;
    art_handle c(b), d;
    EXPECT_TRUE(b.images == a.images && c.images == a.images && b.loadState == ART_LOADED);
    CloseArt(&a);
    CloseArt(&b);
    EXPECT_EQ(c.images[0].pixels[2], 1) << "the last sharer still reads the set";
    d = c;
    EXPECT_EQ(CloseArt(&c), 1);
    EXPECT_EQ(CloseArt(&d), 1);

    art_handle failed, empty, copy;
    const std::vector<uint8_t> junk = {'n', 'o', 'p', 'e'};
    ASSERT_EQ(testing_support::load_bytes(failed, junk, junk), ART_ERR_MAGIC);
    copy = failed;
    EXPECT_EQ(copy.loadState, ART_FAILED);
    copy = empty;
    EXPECT_EQ(copy.loadState, ART_EMPTY);
}

// A client's byte copy of a handle can neither free the set twice nor share
// a set already gone.
TEST(Handle, RawCopiesCannotFreeTwice) {
    art_handle h, raw, stale, target;
    ASSERT_EQ(load_set(h, small_set()), ART_OK);
    std::memcpy(static_cast<void *>(&raw), &h, sizeof h);
    std::memcpy(static_cast<void *>(&stale), &h, sizeof h);
    CloseArt(&h);
    EXPECT_EQ(CloseArt(&raw), 1);
    EXPECT_EQ(raw.loadState, ART_EMPTY);
    target = stale;
    EXPECT_TRUE(target.loadState == ART_FAILED && target.images == nullptr)
        << "a set nobody owns is not shared";
    stale.loadState = ART_EMPTY;
}

} // namespace
