// The bundled sample set: the committed files are what the generator makes,
// and they load.
#include "sample_art.h"
#include "test_support.h"

#include <gtest/gtest.h>

namespace {

std::string sample(const char *name) {
    return testing_support::sample_dir() + "/" + name;
}

TEST(Sample, LoadsFromDisk) {
    art_handle h;
    ASSERT_EQ(LoadArtFromFile(sample("zev_art.bmp").c_str(), sample("zev_art.prt").c_str(), &h),
              ART_OK);
    EXPECT_EQ(h.paletteCount, 3u);
    EXPECT_EQ(h.imageCount, 39u);
    EXPECT_EQ(h.groupCount, 5u);
    EXPECT_GT(h.extInfoCount, 0u);
}

#ifndef _WIN32
// Floating-point rounding may differ between C libraries, so the files are
// made and compared natively only.
TEST(Sample, CommittedFilesMatchTheGenerator) {
    artgen::art_set set = artgen::make_sample();
    EXPECT_TRUE(artgen::load_file(sample("zev_art.prt")) == artgen::write_prt(set))
        << "samples/zev_art.prt is stale: regenerate it with `artgen sample samples`";
    EXPECT_TRUE(artgen::load_file(sample("zev_art.bmp")) == artgen::write_bmp(set))
        << "samples/zev_art.bmp is stale: regenerate it with `artgen sample samples`";
}
#endif

} // namespace
