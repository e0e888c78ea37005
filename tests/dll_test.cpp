// zevart.dll as its clients see it: bound by name as the viewer binds it, and
// from a C client in its own process that binds every call by ordinal.
#include "art_handle.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

const std::string kSample = "Z:" ZEVART_SAMPLE_DIR "/"; // the Unix root under Wine

std::string temp_file() {
    char dir[MAX_PATH], name[MAX_PATH];
    return GetTempPathA(MAX_PATH, dir) && GetTempFileNameA(dir, "zev", 0, name) ? name : "";
}

std::vector<uint8_t> read_file(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// A bottom-up 32-bit surface of the frame's rectangle, poisoned, as the
// viewer keeps it.
struct viewer_surface {
    RECT r;
    BITMAPINFO info{};
    std::vector<RGBQUAD> px;
    explicit viewer_surface(mem_frame &f) {
        f.getDrawRect(&r);
        info.bmiHeader = {40, r.right - r.left, r.bottom - r.top, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        px.assign(size_t(r.right - r.left) * (r.bottom - r.top), RGBQUAD{0xCC, 0xCC, 0xCC, 0xCC});
    }
};

TEST(Dll, LoadsDrawsAndClosesTheSampleAsTheViewerDoes) {
    // Its own heap block, the library's constructor.
    void *block = operator new(sizeof(art_handle));
    art_handle *h = new (block) art_handle();
    ASSERT_EQ(
        LoadArtFromFile((kSample + "zev_art.bmp").c_str(), (kSample + "zev_art.prt").c_str(), h),
        ART_OK);
    EXPECT_EQ(h->paletteCount, 3u);
    EXPECT_EQ(h->groups[0].frames, h->frames);
    EXPECT_EQ(LoadArtFromFile("a", "b", h), ART_ERR_NOT_EMPTY);

    // Every surface draw and rectangle, members and index exports.
    viewer_surface a(h->frames[0]), b(h->frames[0]), poison(h->frames[0]);
    ASSERT_GT(a.px.size(), 0u);
    EXPECT_TRUE(h->frames[0].draw(a.px.data(), &a.info, -a.r.left, -a.r.top));
    EXPECT_TRUE(drawFrameDIB(b.px.data(), &b.info, -a.r.left, -a.r.top, h, 0));
    EXPECT_EQ(std::memcmp(a.px.data(), b.px.data(), a.px.size() * 4), 0);
    EXPECT_NE(std::memcmp(a.px.data(), poison.px.data(), a.px.size() * 4), 0) << "nothing drawn";
    mem_pic &pic = h->frames[0].pics[0];
    RECT r;
    EXPECT_TRUE(pic.getDrawRect(&r) && pic.image->getDrawRect(&r) &&
                pic.draw(a.px.data(), &a.info, 0, 0) &&
                pic.image->draw(a.px.data(), &a.info, 0, 0) &&
                drawPicDIB(a.px.data(), &a.info, 0, 0, h, 0) &&
                drawImageDIB(a.px.data(), &a.info, 0, 0, h, 0));
    EXPECT_FALSE(drawImageDIB(a.px.data(), &a.info, 0, 0, h, h->imageCount) ||
                 drawPicDIB(a.px.data(), &a.info, 0, 0, h, h->picCount) ||
                 drawFrameDIB(a.px.data(), &a.info, 0, 0, h, h->frameCount));
    EXPECT_EQ(CloseArt(h), 1);
    EXPECT_EQ(h->loadState, ART_EMPTY);
    h->~art_handle();
    operator delete(block);
}

// The ordinal client draws a frame and writes it as a bitmap file in its own
// process; this one writes the same frame, drawn by name, and the two files
// must be the same: the first frame (a figure over its shadow) and the one
// of most pictures.
TEST(Dll, OrdinalClientDrawsWhatClientsByNameDraw) {
    art_handle art;
    const std::string bmp = kSample + "zev_art.bmp", prt = kSample + "zev_art.prt";
    ASSERT_EQ(LoadArtFromFile(bmp.c_str(), prt.c_str(), &art), ART_OK);
    unsigned most = 0;
    for (unsigned i = 0; i < art.frameCount; ++i)
        if (art.frames[i].picCount > art.frames[most].picCount) most = i;
    char exe[MAX_PATH];
    std::string client(exe, GetModuleFileNameA(nullptr, exe, MAX_PATH));
    client = client.substr(0, client.find_last_of("\\/") + 1) + "ordinal_client.exe";
    const std::string out = temp_file(), ref = temp_file();
    for (unsigned index : {0u, most}) {
        std::string line = "\"" + client + "\" \"" + bmp + "\" \"" + prt + "\" " +
                           std::to_string(index) + " \"" + out + "\"";
        STARTUPINFOA si{};
        si.cb = sizeof si;
        PROCESS_INFORMATION pi{};
        DWORD code = 1;
        ASSERT_TRUE(CreateProcessA(nullptr, &line[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr,
                                   &si, &pi))
            << line;
        WaitForSingleObject(pi.hProcess, INFINITE);
        GetExitCodeProcess(pi.hProcess, &code);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
        EXPECT_EQ(code, 0u) << line;

        viewer_surface want(art.frames[index]);
        ASSERT_TRUE(art.frames[index].draw(want.px.data(), &want.info, -want.r.left, -want.r.top));
        ASSERT_TRUE(DIBitsToFile(ref.c_str(), want.px.data(), &want.info, 0));
        EXPECT_TRUE(read_file(out) == read_file(ref)) << "frame " << index;
    }
    DeleteFileA(out.c_str());
    DeleteFileA(ref.c_str());
}

} // namespace
