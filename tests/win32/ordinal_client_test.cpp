// The ordinal-only C client against the library as C++ clients bind to it:
// the client runs in its own process, draws a frame of the sample through
// ordinals and writes it as a bitmap file; this program draws the same frame
// by name and compares pixel for pixel.
#include "art_handle.h"

#include <gtest/gtest.h>

#include <windows.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace {

std::string sample(const char *name) {
    std::string dir = ZEVART_SAMPLE_DIR;
    if (!dir.empty() && dir[0] == '/') dir = "Z:" + dir; // the Unix root under Wine
    return dir + "/" + name;
}

std::string here(const char *name) {
    char path[MAX_PATH];
    DWORD n = GetModuleFileNameA(nullptr, path, MAX_PATH);
    std::string s(path, n);
    return s.substr(0, s.find_last_of("\\/") + 1) + name;
}

// Runs a program to its end; its exit code, or -1 when it can't start.
int run(const std::string &commandLine) {
    STARTUPINFOA si{};
    si.cb = sizeof si;
    PROCESS_INFORMATION pi{};
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    if (!CreateProcessA(nullptr, line.data(), nullptr, nullptr, FALSE, 0, nullptr, nullptr, &si,
                        &pi))
        return -1;
    WaitForSingleObject(pi.hProcess, INFINITE);
    DWORD code = 1;
    GetExitCodeProcess(pi.hProcess, &code);
    CloseHandle(pi.hThread);
    CloseHandle(pi.hProcess);
    return int(code);
}

uint32_t le32(const std::vector<uint8_t> &b, size_t at) {
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 |
           uint32_t(b[at + 3]) << 24;
}

TEST(OrdinalClient, DrawsWhatTheLibraryDrawsForItsCallers) {
    art_handle art;
    const std::string bmp = sample("zev_art.bmp"), prt = sample("zev_art.prt");
    ASSERT_EQ(LoadArtFromFile(bmp.c_str(), prt.c_str(), &art), ART_OK);
    // The first frame (a figure over its shadow) and the one of most pictures.
    unsigned most = 0;
    for (unsigned i = 0; i < art.frameCount; ++i)
        if (art.frames[i].picCount > art.frames[most].picCount) most = i;

    char dir[MAX_PATH], out[MAX_PATH];
    ASSERT_TRUE(GetTempPathA(MAX_PATH, dir) && GetTempFileNameA(dir, "zev", 0, out));
    for (unsigned index : {0u, most}) {
        const std::string cmd = "\"" + here("ordinal_client.exe") + "\" \"" + bmp + "\" \"" + prt +
                                "\" " + std::to_string(index) + " \"" + out + "\"";
        ASSERT_EQ(run(cmd), 0) << cmd;

        std::ifstream in(out, std::ios::binary);
        std::vector<uint8_t> file((std::istreambuf_iterator<char>(in)),
                                  std::istreambuf_iterator<char>());
        ASSERT_GE(file.size(), 58u) << "frame " << index;
        ASSERT_EQ(file[0], 'B');
        ASSERT_EQ(file[1], 'M');
        const uint32_t offset = le32(file, 10);
        const int32_t width = int32_t(le32(file, 18)), rows = int32_t(le32(file, 22));
        ASSERT_EQ(le32(file, 28) & 0xFFFF, 32u) << "frame " << index;

        RECT r;
        ASSERT_TRUE(art.frames[index].getDrawRect(&r));
        ASSERT_EQ(width, r.right - r.left) << "frame " << index;
        ASSERT_EQ(rows, r.bottom - r.top) << "frame " << index;
        BITMAPINFO info{};
        info.bmiHeader.biSize = sizeof info.bmiHeader;
        info.bmiHeader.biWidth = width;
        info.bmiHeader.biHeight = rows;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        std::vector<RGBQUAD> want(size_t(width) * rows);
        std::memset(want.data(), 0xCC, want.size() * 4);
        ASSERT_TRUE(art.frames[index].draw(want.data(), &info, -r.left, -r.top));
        ASSERT_EQ(file.size(), offset + want.size() * 4) << "frame " << index;
        for (size_t k = 0; k < want.size(); ++k)
            ASSERT_EQ(std::memcmp(&file[offset + 4 * k], &want[k], 4), 0)
                << "frame " << index << ", pixel " << k % width << " of memory row " << k / width;
    }
    DeleteFileA(out);
}

} // namespace
