// The bundled sample set: the committed files are what the generator makes
// (the other suites load them). Floating-point rounding may differ between C
// libraries, so the files are made and compared natively only.
#include "sample_art.h"
#include "test_support.h"

#include <gtest/gtest.h>

#ifndef _WIN32
TEST(Sample, CommittedFilesMatchTheGenerator) {
    const std::string dir = testing_support::sample_dir() + "/";
    artgen::art_set set = artgen::make_sample();
    EXPECT_TRUE(artgen::load_file(dir + "zev_art.prt") == artgen::write_prt(set))
        << "samples/zev_art.prt is stale: regenerate it with `artgen sample samples`";
    EXPECT_TRUE(artgen::load_file(dir + "zev_art.bmp") == artgen::write_bmp(set))
        << "samples/zev_art.bmp is stale: regenerate it with `artgen sample samples`";
}
#endif
