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

std::string disk() {
    const char *d = std::getenv("ZEVART_SMALL_DISK");
    return d ? d : "";
}

bytes read_file(const fs::path &path) {
    std::ifstream in(path, std::ios::binary);
    return bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void write_file(const fs::path &path, const bytes &data) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char *>(data.data()), std::streamsize(data.size()));
}

uint64_t room_left() {
    struct statvfs st;
    if (statvfs(disk().c_str(), &st) != 0) return 0;
    return uint64_t(st.f_bavail) * st.f_frsize;
}

uint64_t block_size() {
    struct statvfs st;
    return statvfs(disk().c_str(), &st) == 0 ? st.f_frsize : 4096;
}

std::vector<std::string> names() {
    std::vector<std::string> n;
    for (const auto &e : fs::directory_iterator(disk())) n.push_back(e.path().filename().string());
    std::sort(n.begin(), n.end());
    return n;
}

// Fills the disk with a filler file until `blocks` blocks are left.
void leave_blocks(uint64_t blocks) {
    const fs::path filler = fs::path(disk()) / "filler";
    fs::remove(filler);
    const uint64_t bs = block_size();
    const uint64_t fill = room_left() - std::min(room_left(), blocks * bs);
    write_file(filler, bytes(size_t(fill), 0x55));
}

struct write_case {
    int writer; // 0 DIBitsToFile, 1 DIBitsToFile8, 2 DIBitsToFile1
    LONG width, height;
};

// The file a writer must make from `src` (32-bit source, target 0) or from
// an indexed block with two colours.
bool run(const write_case &c, const fs::path &path, const bytes &src, uint64_t &size) {
    BITMAPINFO bi = {};
    bi.bmiHeader.biSize = 40;
    bi.bmiHeader.biWidth = c.width;
    bi.bmiHeader.biHeight = c.height;
    bi.bmiHeader.biPlanes = 1;
    const RGBQUAD colors[2] = {{255, 255, 255, 0}, {0, 0, 0, 0}};
    const std::string name = path.string();
    if (c.writer == 0) {
        bi.bmiHeader.biBitCount = 32;
        size = 58 + uint64_t(c.width) * uint64_t(c.height) * 4;
        return DIBitsToFile(name.c_str(), src.data(), &bi, 0);
    }
    bi.bmiHeader.biBitCount = 1;
    bi.bmiHeader.biClrUsed = 2;
    const uint64_t pixels = uint64_t(c.height) * 4 * ((uint64_t(c.width) + 31) / 32);
    bi.bmiHeader.biSizeImage = uint32_t(pixels);
    size = 54 + 8 + pixels;
    return (c.writer == 1 ? DIBitsToFile8 : DIBitsToFile1)(name.c_str(), src.data(), &bi, colors);
}

TEST(SmallDisk, EveryWriteIsWholeOrLeavesNothing) {
    if (disk().empty()) GTEST_SKIP() << "run through tests/small_disk.sh";
    const fs::path keep = fs::path(disk()) / "keep.bmp", fresh = fs::path(disk()) / "new.bmp";
    const bytes old(6000, 0xAB);
    const bytes src(200 * 60 * 4, 0x3C);
    const write_case cases[] = {{0, 1, 1},  {0, 30, 30},   {0, 100, 40},  {0, 200, 60},
                                {1, 33, 2}, {1, 2000, 40}, {2, 5000, 60}, {2, 64, 1}};
    const uint64_t bs = block_size();
    int succeeded = 0, failed = 0;
    for (uint64_t blocks : {0, 1, 2, 3, 5, 8}) {
        for (const write_case &c : cases)
            for (const fs::path &target : {keep, fresh}) {
                fs::remove(fresh);
                write_file(keep, old);
                leave_blocks(blocks);
                const uint64_t room = room_left();
                uint64_t size = 0;
                const bool ok = run(c, target, src, size);
                const std::string what =
                    "writer " + std::to_string(c.writer) + ", " + std::to_string(c.width) + " x " +
                    std::to_string(c.height) + " to " + target.filename().string() + " with " +
                    std::to_string(room) + " bytes free";
                // The new file needs its own blocks: the old one stays
                // until the new one is whole.
                const bool fits = (size + bs - 1) / bs * bs <= room;
                EXPECT_EQ(ok, fits) << what;
                ok ? ++succeeded : ++failed;
                const std::vector<std::string> expected =
                    ok && target == fresh
                        ? std::vector<std::string>{"filler", "keep.bmp", "new.bmp"}
                        : std::vector<std::string>{"filler", "keep.bmp"};
                EXPECT_EQ(names(), expected) << what;
                if (ok) {
                    const bytes got = read_file(target);
                    EXPECT_EQ(got.size(), size) << what;
                    const size_t field = got.size() < 6 ? 0 : got[2] | got[3] << 8 | got[4] << 16;
                    EXPECT_EQ(field, got.size()) << what << ": the size field";
                }
                if (!ok || target != keep) {
                    EXPECT_EQ(read_file(keep), old) << what;
                }
            }
    }
    // Both outcomes must really occur.
    EXPECT_GT(succeeded, 5);
    EXPECT_GT(failed, 5);
    std::printf("[ SMALL DISK ] %d writes whole, %d refused cleanly\n", succeeded, failed);
}

} // namespace
