// zevart.dll as a client sees it: the sample set loaded through the exports.
#include "art_handle.h"

#include <gtest/gtest.h>

#include <string>

namespace {

std::string sample(const char *name) {
    std::string dir = ZEVART_SAMPLE_DIR;
    if (!dir.empty() && dir[0] == '/') dir = "Z:" + dir; // the Unix root under Wine
    return dir + "/" + name;
}

TEST(Dll, LoadsAndClosesTheSample) {
    // As the viewer does: its own heap block, the library's constructor.
    void *block = operator new(sizeof(art_handle));
    art_handle *h = new (block) art_handle();
    ASSERT_EQ(LoadArtFromFile(sample("zev_art.bmp").c_str(), sample("zev_art.prt").c_str(), h), 0);
    EXPECT_EQ(h->loadState, ART_LOADED);
    EXPECT_EQ(h->paletteCount, 3u);
    EXPECT_EQ(h->groupCount, 5u);
    EXPECT_EQ(h->groups[0].frames, h->frames);
    EXPECT_EQ(LoadArtFromFile("a", "b", h), ART_ERR_NOT_EMPTY);
    EXPECT_EQ(CloseArt(h), 1);
    EXPECT_EQ(h->loadState, ART_EMPTY);
    h->~art_handle();
    operator delete(block);
}

} // namespace
