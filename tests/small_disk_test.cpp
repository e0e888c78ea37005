// The bitmap writers on a disk that fills: a 64 KiB memory file system that
// tests/small_disk.sh mounts and names in ZEVART_SMALL_DISK. Whatever room
// is left, a write either succeeds with the whole file or fails leaving no
// file of its own (nor a temporary one) and the earlier file of that name as
// it was.
#include "art_handle.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

#include <sys/statvfs.h>

namespace fs = std::filesystem;

namespace {

typedef std::vector<uint8_t> bytes;

bytes read_file(const fs::path &path) {
    std::ifstream in(path, std::ios::binary);
    return bytes(std::istreambuf_iterator<char>(in), {});
}

void write_file(const fs::path &path, const bytes &data) {
    std::ofstream(path, std::ios::binary)
        .write(reinterpret_cast<const char *>(data.data()), std::streamsize(data.size()));
}

TEST(SmallDisk, EveryWriteIsWholeOrLeavesNothing) {
    const char *disk = std::getenv("ZEVART_SMALL_DISK");
    if (!disk) GTEST_SKIP() << "run through tests/small_disk.sh";
    struct statvfs st;
    auto room = [&] { return statvfs(disk, &st) == 0 ? uint64_t(st.f_bavail) * st.f_frsize : 0; };
    const uint64_t block = room() ? st.f_frsize : 4096;
    const fs::path keep = fs::path(disk) / "keep.bmp", fresh = fs::path(disk) / "new.bmp";
    const bytes old(6000, 0xAB), src(200 * 60 * 4, 0x3C);
    const RGBQUAD colors[2] = {{255, 255, 255, 0}, {0, 0, 0, 0}};
    // Writer 0 DIBitsToFile from 32 bits, 1 DIBitsToFile8 and 2 DIBitsToFile1
    // from two colours; width, height.
    const int cases[][3] = {{0, 1, 1},  {0, 30, 30},   {0, 100, 40},  {0, 200, 60},
                            {1, 33, 2}, {1, 2000, 40}, {2, 5000, 60}, {2, 64, 1}};
    int succeeded = 0, failed = 0;
    for (uint64_t blocks : {0, 1, 2, 3, 5, 8})
        for (const auto &[writer, width, height] : cases)
            for (const fs::path &target : {keep, fresh}) {
                fs::remove(fresh);
                write_file(keep, old);
                fs::remove(fs::path(disk) / "filler"); // leaves `blocks` blocks
                write_file(fs::path(disk) / "filler",
                           bytes(room() - std::min(room(), blocks * block)));
                const uint64_t left = room();
                BITMAPINFO bi = {};
                bi.bmiHeader = {40, width, height, 1, WORD(writer ? 1 : 32), BI_RGB, 0, 0, 0, 0, 0};
                uint64_t size = 58 + uint64_t(width) * height * 4;
                bool ok;
                if (writer == 0) {
                    ok = DIBitsToFile(target.c_str(), src.data(), &bi, 0);
                } else {
                    bi.bmiHeader.biClrUsed = 2;
                    bi.bmiHeader.biSizeImage = uint32_t(height * 4 * ((width + 31) / 32));
                    size = 62 + bi.bmiHeader.biSizeImage;
                    ok = (writer == 1 ? DIBitsToFile8 : DIBitsToFile1)(target.c_str(), src.data(),
                                                                       &bi, colors);
                }
                const std::string what = "writer " + std::to_string(writer) + ", " +
                                         std::to_string(width) + " x " + std::to_string(height) +
                                         " to " + target.filename().string() + " with " +
                                         std::to_string(left) + " bytes free";
                // The new file needs its own blocks: the old one stays until
                // the new one is whole.
                EXPECT_EQ(ok, (size + block - 1) / block * block <= left) << what;
                ok ? ++succeeded : ++failed;
                std::vector<std::string> names, want = {"filler", "keep.bmp"};
                for (const auto &e : fs::directory_iterator(disk))
                    names.push_back(e.path().filename().string());
                std::sort(names.begin(), names.end());
                if (ok && target == fresh) want.push_back("new.bmp");
                EXPECT_EQ(names, want) << what;
                const bytes got = read_file(target);
                if (ok) {
                    EXPECT_EQ(got.size(), size) << what;
                    EXPECT_EQ(got.size() < 6 ? 0 : got[2] | got[3] << 8 | got[4] << 16,
                              int(got.size()))
                        << what << ": the size field";
                }
                if (!ok || target != keep) {
                    EXPECT_EQ(read_file(keep), old) << what;
                }
            }
    // Both outcomes must really occur.
    EXPECT_GT(succeeded, 5);
    EXPECT_GT(failed, 5);
    std::printf("[ SMALL DISK ] %d writes whole, %d refused cleanly\n", succeeded, failed);
}

} // namespace
