// zevart.dll as a client sees it: the sample set loaded through the exports.
#include "art_handle.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

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

// As the viewer does: size a surface by the rectangle, draw at (-left, -top).
TEST(Dll, DrawsThroughTheExports) {
    art_handle h;
    ASSERT_EQ(LoadArtFromFile(sample("zev_art.bmp").c_str(), sample("zev_art.prt").c_str(), &h), 0);
    RECT r;
    ASSERT_TRUE(h.frames[0].getDrawRect(&r));
    const int w = r.right - r.left, rows = r.bottom - r.top;
    ASSERT_GT(w, 0);
    ASSERT_GT(rows, 0);
    BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof info.bmiHeader;
    info.bmiHeader.biWidth = w;
    info.bmiHeader.biHeight = rows;
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    std::vector<RGBQUAD> a(size_t(w) * rows), b(a.size());
    std::memset(a.data(), 0xCC, a.size() * 4);
    std::memset(b.data(), 0xCC, b.size() * 4);
    EXPECT_TRUE(h.frames[0].draw(a.data(), &info, -r.left, -r.top));
    EXPECT_TRUE(drawFrameDIB(b.data(), &info, -r.left, -r.top, &h, 0));
    EXPECT_EQ(std::memcmp(a.data(), b.data(), a.size() * 4), 0);
    std::vector<RGBQUAD> poison(a.size());
    std::memset(poison.data(), 0xCC, poison.size() * 4);
    EXPECT_NE(std::memcmp(a.data(), poison.data(), a.size() * 4), 0) << "nothing was drawn";

    // Each member and export once, the results as clients see them.
    mem_pic *run = h.frames[0].pics;
    ASSERT_TRUE(run[0].getDrawRect(&r));
    ASSERT_TRUE(run[0].image->getDrawRect(&r));
    EXPECT_TRUE(run[0].draw(a.data(), &info, 0, 0));
    EXPECT_TRUE(run[0].image->draw(a.data(), &info, 0, 0));
    EXPECT_TRUE(drawPicDIB(a.data(), &info, 0, 0, &h, 0));
    EXPECT_TRUE(drawImageDIB(a.data(), &info, 0, 0, &h, 0));
    EXPECT_FALSE(drawImageDIB(a.data(), &info, 0, 0, &h, h.imageCount));
    EXPECT_FALSE(drawPicDIB(a.data(), &info, 0, 0, &h, h.picCount));
    EXPECT_FALSE(drawFrameDIB(a.data(), &info, 0, 0, &h, h.frameCount));
}

TEST(Dll, WritesBitmapFiles) {
    char folder[MAX_PATH], name[MAX_PATH];
    ASSERT_TRUE(GetTempPathA(MAX_PATH, folder));
    ASSERT_TRUE(GetTempFileNameA(folder, "zev", 0, name)); // an existing file to replace
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = 40;
    bi.bmiHeader.biWidth = 5;
    bi.bmiHeader.biHeight = 3;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = 32;
    RGBQUAD pixels[15] = {};
    auto size = [&] {
        WIN32_FILE_ATTRIBUTE_DATA data;
        return GetFileAttributesExA(name, GetFileExInfoStandard, &data) ? data.nFileSizeLow : 0;
    };
    EXPECT_TRUE(DIBitsToFile(name, pixels, &bi, 16));
    EXPECT_EQ(size(), 94u);
    bi.bmiHeader.biClrUsed = 2;
    bi.bmiHeader.biSizeImage = 12;
    EXPECT_TRUE(DIBitsToFile8(name, pixels, &bi, pixels));
    EXPECT_EQ(size(), 74u);
    EXPECT_TRUE(DIBitsToFile1(name, pixels, &bi, pixels));
    EXPECT_EQ(size(), 74u);
    bi.bmiHeader.biBitCount = 8;
    EXPECT_FALSE(DIBitsToFile(name, pixels, &bi, 0));
    EXPECT_TRUE(DeleteFileA(name));
}

} // namespace
