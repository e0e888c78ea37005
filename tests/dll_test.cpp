// zevart.dll as its clients see it: bound by name as the viewer binds it, and
// from a C client in its own process that binds every call by ordinal. (The
// end-to-end and device-context tests draw through the DLL by name too.)
#include "art_handle.h"

#include <gtest/gtest.h>

#include <windows.h>

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

// A bottom-up 32-bit surface of the frame's rectangle, poisoned.
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
