// The bitmap writers: files against the reference writer of the writers check
// (fuzz/check_writers.cpp) over depths, sizes and arguments, and files that
// are never left half written.
#include "fuzz_checks.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <random>

#ifndef _WIN32
#include <limits.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

using testing_support::temp_dir;
namespace fs = std::filesystem;

namespace {

typedef std::vector<uint8_t> bytes;

using artgen::load_file;
using artgen::save_file;

std::vector<std::string> names(const temp_dir &dir) {
    std::vector<std::string> n;
    for (const auto &e : fs::directory_iterator(dir.path()))
        n.push_back(e.path().filename().string());
    return n;
}

BITMAPINFO header(LONG width, LONG height, WORD bits, DWORD colors = 0, DWORD sizeImage = 0) {
    BITMAPINFO bi{};
    bi.bmiHeader = {40, width, height, 1, bits, 0, sizeImage, 0, 0, colors, 0};
    return bi;
}

writer_call call(int writer, BITMAPINFO info, int32_t depth = 0) {
    writer_call c;
    c.writer = writer;
    c.info = info;
    c.depth = depth;
    return c;
}

std::string what(const writer_call &c) {
    const BITMAPINFOHEADER &h = c.info.bmiHeader;
    return "writer " + std::to_string(c.writer) + ", " + std::to_string(h.biWidth) + " x " +
           std::to_string(h.biHeight) + ", " + std::to_string(h.biBitCount) + " bits to " +
           std::to_string(c.depth) + ", " + std::to_string(h.biClrUsed) + " colours, size " +
           std::to_string(h.biSizeImage) + (c.existing ? ", over a file" : "");
}

// Every depth pair over widths that need each row fill and the tails of the
// fast conversion, heights of both signs, onto a new file or over an older
// one, the 24-bit conversion under every level of loops this processor has;
// the indexed writers over colour counts and widths about 32 pixels.
TEST(BmpWriter, FilesMatchTheReference) {
    temp_dir dir;
    const int pairs[][2] = {{32, 24}, {32, 0},  {32, 32}, {32, 16}, {24, 0},
                            {24, 24}, {24, 32}, {24, 16}, {16, 0},  {16, 16}};
    const std::vector<blit_level> levels = testing_support::blit_levels();
    for (blit_level level : levels)
        for (const auto &pair : pairs)
            for (LONG w : {0, 1, 2, 3, 4, 5, 7, 8, 9, 33, 5000})
                for (LONG h : {0, 1, 3, -3}) {
                    if (&pair != &pairs[0] && level != levels.back()) continue;
                    blit_use_level(level);
                    writer_call c = call(0, header(w, h, WORD(pair[0])), pair[1]);
                    c.info.bmiHeader.biSizeImage = 0xA1B2C3D4; // unchanged whatever the depth
                    c.info.bmiHeader.biXPelsPerMeter = -7;
                    c.info.bmiColors[0] = {1, 2, 3, 4};
                    c.existing = (w + h) % 2;
                    EXPECT_EQ(check_writer_call(c, dir.path()), "") << what(c) << ", " << level;
                }
    blit_use_level(BLIT_BEST);
    for (int writer : {1, 2})
        for (DWORD colors : {0, 2, 16, 256, 65535})
            for (LONG w : {0, 1, 32, 33, 64, 65})
                for (LONG h : {2, -2, 0}) {
                    writer_call c = call(writer, header(w, h, 8, colors, DWORD(w * 3)));
                    c.info.bmiHeader.biClrImportant = 3;
                    c.existing = w % 2;
                    EXPECT_EQ(check_writer_call(c, dir.path()), "") << what(c);
                }
}

// Headers refused for their depths, for sizes past the buffers or the 32-bit
// size field, for missing arguments; and the edges that are still written.
TEST(BmpWriter, RefusalsLeaveNoFileAndEdgesAreWritten) {
    temp_dir dir;
    std::vector<writer_call> calls;
    const int depths[][2] = {{8, 0},   {8, 8},   {1, 0},   {0, 0},   {15, 0},  {48, 0},
                             {16, 24}, {16, 32}, {16, 8},  {32, 8},  {32, 1},  {24, 15},
                             {32, -1}, {24, 64}, {32, 48}, {16, 15}, {24, 12}, {32, 33}};
    for (auto [source, target] : depths)
        calls.push_back(call(0, header(1, 1, WORD(source)), target));
    // Sizes past the 32-bit size field or with no room for a row, and the
    // edges that fit (the last: however wide, no rows is headers only).
    const struct {
        int writer;
        LONG w, h;
        WORD bits;
        int target;
        DWORD colors, sizeImage;
    } edges[] = {
        // clang-format off
        {0, -1, 1, 32, 0, 0, 0}, {0, -1, 0, 32, 0, 0, 0}, {0, INT32_MIN, 1, 24, 16, 0, 0},
        {0, 0x40000000, 1, 32, 0, 0, 0}, {0, 0x3FFFFFF2, 1, 32, 0, 0, 0},
        {0, 1, INT32_MIN, 32, 0, 0, 0}, {0, 0x7FFFFFFF, 2, 16, 0, 0, 0},
        {0, 65536, 16384, 32, 0, 0, 0}, {0, 21846, 65536, 24, 0, 0, 0},
        {1, 1, 1, 8, 0, 0xFFFFFFFF, 0}, {1, 1, 1, 8, 0, 0x3FFFFFF3, 0},
        {1, 1, 1, 8, 0, 0, 0xFFFFFFCA},
        {1, 1, 1, 8, 0, 2, 0xFFFFFFC2}, {1, 1, 1, 8, 0, 0x3FFFFFF2, 0}, {2, -1, 1, 8, 0, 2, 0},
        {2, 0x7FFFFFFF, INT32_MIN, 8, 0, 2, 0}, {2, 0x7FFFFFE0, 0x8000, 8, 0, 0, 0},
        {0, 0x7FFFFFFF, 0, 32, 0, 0, 0},
        // clang-format on
    };
    for (const auto &e : edges)
        calls.push_back(call(e.writer, header(e.w, e.h, e.bits, e.colors, e.sizeImage), e.target));
    for (int writer = 0; writer < 3; ++writer)
        for (int flag = 0; flag < 7; ++flag)
            for (LONG w : {0, 1}) { // with no pixels nothing need be given
                writer_call c = call(writer, header(w, 5, 32, 1, 4));
                bool *flags[] = {&c.nullPixels, &c.nullColors,    &c.nullName, &c.emptyName,
                                 &c.nullInfo,   &c.missingFolder, &c.existing};
                *flags[flag] = true;
                calls.push_back(c);
            }
    for (const writer_call &c : calls) EXPECT_EQ(check_writer_call(c, dir.path()), "") << what(c);
}

// Seeded random inputs of the writers check, as the fuzz target takes them,
// with all arguments given: half with their sizes folded into small ranges,
// where most calls succeed, half as they come, most of them absurd.
TEST(BmpWriter, RandomHeaders) {
    temp_dir dir;
    std::mt19937 rng(20240611);
    bytes in(kWriterControlBytes + 64);
    for (int i = 0; i < 1000; ++i) {
        for (uint8_t &b : in) b = uint8_t(rng());
        in[1] = uint8_t((in[1] & 0x10) | (i % 2) << 7); // only: a file is there, sizes folded
        EXPECT_EQ(check_writers_input(in.data(), in.size(), dir.path()), "") << "case " << i;
    }
}

// Each writer to `path` fails and leaves the folder holding only `kept`.
void expect_refused(const temp_dir &dir, const std::string &path,
                    const std::vector<std::string> &kept) {
    BITMAPINFO bi = header(1, 1, 32, 0, 4);
    const uint8_t px[4] = {};
    EXPECT_FALSE(DIBitsToFile(path.c_str(), px, &bi, 0)) << path.size() << " characters";
    EXPECT_FALSE(DIBitsToFile8(path.c_str(), px, &bi, nullptr)) << path;
    EXPECT_FALSE(DIBitsToFile1(path.c_str(), px, &bi, nullptr)) << path;
    EXPECT_EQ(names(dir), kept) << path;
}

// A folder of the name, a folder that is a file, a name too long (on
// Windows a path of 261 characters, as Wine takes one of 260): nothing is
// made, no temporary file stays and the file in the way is kept. A name of the longest length the
// system takes (a whole path of 259 characters for the ANSI functions on Windows, a name of 255 on
// POSIX) is saved over what was there.
TEST(BmpWriterFiles, NamesThatCannotBeMadeAndTheLongestThatCan) {
    temp_dir dir;
    fs::create_directory(dir.file("taken.bmp"));
    expect_refused(dir, dir.file("taken.bmp"), {"taken.bmp"});
    EXPECT_TRUE(fs::is_empty(dir.file("taken.bmp")));
    fs::remove(dir.file("taken.bmp"));
    save_file(dir.file("file"), bytes(7, 0xAB));
    expect_refused(dir, dir.file("file/x.bmp"), {"file"});
    EXPECT_EQ(load_file(dir.file("file")), bytes(7, 0xAB));
    fs::remove(dir.file("file"));
#ifdef _WIN32
    const size_t longest = MAX_PATH - 1 - (dir.path().size() + 1), over = 2;
#else
    const size_t longest = NAME_MAX, over = 1;
#endif
    expect_refused(dir, dir.file(std::string(longest + over, 'n')), {});
    const std::string name = std::string(longest - 4, 'n') + ".bmp";
    save_file(dir.file(name), bytes(100, 0xAB));
    BITMAPINFO bi = header(3, 2, 32);
    const uint8_t px[24] = {1, 2, 3};
    ASSERT_TRUE(DIBitsToFile(dir.file(name).c_str(), px, &bi, 24)) << name.size() << " characters";
    EXPECT_EQ(load_file(dir.file(name)).size(), 58u + 2 * 12);
    EXPECT_EQ(names(dir), std::vector<std::string>{name});
}

#ifdef _WIN32

// Files that CREATE_ALWAYS would not overwrite are not replaced either.
TEST(BmpWriterFiles, ReadOnlyHiddenAndSystemFilesAreKept) {
    temp_dir dir;
    const std::string path = dir.file("locked.bmp");
    for (DWORD attribute :
         {FILE_ATTRIBUTE_READONLY, FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_SYSTEM}) {
        save_file(path, bytes(100, 0xAB));
        ASSERT_TRUE(SetFileAttributesA(path.c_str(), attribute));
        expect_refused(dir, path, {"locked.bmp"});
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        EXPECT_EQ(load_file(path), bytes(100, 0xAB)) << attribute;
    }
}

#else

// Runs `body` in a child process: 1 when it returned true, 0 when false,
// anything else when the child failed otherwise.
template <class F> int in_child(F body) {
    fflush(nullptr);
    const pid_t pid = fork();
    if (pid == 0) _exit(body() ? 1 : 0);
    int status = -1;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100;
}

// A disk that fills up after `limit` bytes: the child's files may grow no
// further, and writes beyond fail instead of killing it.
bool with_full_disk(rlim_t limit) {
    signal(SIGXFSZ, SIG_IGN);
    const rlimit rl = {limit, limit};
    return setrlimit(RLIMIT_FSIZE, &rl) == 0;
}

TEST(BmpWriterFiles, FullDiskKeepsTheOldFile) {
    temp_dir dir;
    const std::string path = dir.file("full.bmp");
    const bytes old(70000, 0xAB), src(40000, 0x3C);
    BITMAPINFO bi = header(100, 100, 32, 256, 40000);
    const RGBQUAD *colors = reinterpret_cast<const RGBQUAD *>(src.data());
    const size_t fileSizes[] = {58 + 100 * 300, 54 + 1024 + 40000, 54 + 1024 + 1600};
    for (int writer = 0; writer < 3; ++writer)
        for (rlim_t limit : {0, 30, 58, 1000, 2600, 20000, 100000}) {
            save_file(path, old);
            const int result = in_child([&] {
                if (!with_full_disk(limit)) _exit(7);
                return writer == 0 ? DIBitsToFile(path.c_str(), src.data(), &bi, 24)
                                   : (writer == 1 ? DIBitsToFile8 : DIBitsToFile1)(
                                         path.c_str(), src.data(), &bi, colors);
            });
            const bool fits = limit >= fileSizes[writer];
            EXPECT_EQ(result, int(fits)) << "writer " << writer << ", disk full after " << limit;
            EXPECT_EQ(load_file(path).size(), fits ? fileSizes[writer] : old.size())
                << "writer " << writer << ", " << limit;
            EXPECT_EQ(names(dir), std::vector<std::string>{"full.bmp"}) << writer << ", " << limit;
        }
}

// A replaced file keeps its permissions; one its owner made read-only is not
// replaced, though the folder would allow a rename. Root may write anything,
// so that runs as nobody.
TEST(BmpWriterFiles, PermissionsAreKept) {
    temp_dir dir;
    const std::string path = dir.file("mode.bmp");
    BITMAPINFO bi = header(1, 1, 32);
    const uint8_t px[4] = {};
    save_file(path, bytes(10, 0));
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    ASSERT_TRUE(DIBitsToFile(path.c_str(), px, &bi, 0));
    struct stat st;
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);

    save_file(path, bytes(100, 0xAB));
    ASSERT_EQ(chmod(path.c_str(), 0444), 0);
    ASSERT_EQ(chmod(dir.path().c_str(), 0777), 0);
    EXPECT_EQ(in_child([&] {
                  if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) return true;
                  return DIBitsToFile(path.c_str(), px, &bi, 0);
              }),
              0);
    EXPECT_EQ(load_file(path), bytes(100, 0xAB));
    EXPECT_EQ(names(dir), std::vector<std::string>{"mode.bmp"});
}

#endif

} // namespace
