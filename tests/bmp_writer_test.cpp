// The bitmap writers: file layouts against a slow byte-by-byte reference, the
// sizes they refuse, and files that must never be left half written.
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

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

bytes read_file(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void write_file(const std::string &path, const bytes &data) {
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char *>(data.data()), std::streamsize(data.size()));
}

std::vector<std::string> folder(const temp_dir &dir) {
    std::vector<std::string> names;
    for (const auto &e : fs::directory_iterator(dir.path()))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

uint32_t u32at(const bytes &b, size_t at) {
    return b[at] | b[at + 1] << 8 | b[at + 2] << 16 | uint32_t(b[at + 3]) << 24;
}

bytes random_bytes(size_t n, unsigned seed) {
    std::mt19937 rng(seed);
    bytes b(n);
    for (auto &x : b) x = uint8_t(rng());
    return b;
}

BITMAPINFO make_info(LONG width, LONG height, WORD bits) {
    BITMAPINFO bi;
    memset(&bi, 0, sizeof bi);
    bi.bmiHeader.biSize = 40;
    bi.bmiHeader.biWidth = width;
    bi.bmiHeader.biHeight = height;
    bi.bmiHeader.biPlanes = 1;
    bi.bmiHeader.biBitCount = bits;
    return bi;
}

// The writers, each checking that the caller's header is as it was.
bool dib(const std::string &path, const void *pixels, BITMAPINFO &bi, int target) {
    BITMAPINFO before = bi;
    bool ok = DIBitsToFile(path.c_str(), pixels, &bi, target);
    EXPECT_EQ(memcmp(&before, &bi, sizeof bi), 0) << "header changed, " << path;
    return ok;
}

bool dib8(const std::string &path, const void *pixels, BITMAPINFO &bi, const RGBQUAD *colors,
          bool oneBit = false) {
    BITMAPINFO before = bi;
    bool ok = (oneBit ? DIBitsToFile1 : DIBitsToFile8)(path.c_str(), pixels, &bi, colors);
    EXPECT_EQ(memcmp(&before, &bi, sizeof bi), 0) << "header changed, " << path;
    return ok;
}

// What DIBitsToFile must write, built the obvious way, byte by byte. The info
// header is the caller's struct as it lies in memory (the tests run on
// little-endian machines).
bytes reference_dib(const BITMAPINFO &bi, const uint8_t *src, int target) {
    const BITMAPINFOHEADER &h = bi.bmiHeader;
    const int source = h.biBitCount, depth = target ? target : source;
    const uint64_t w = uint64_t(h.biWidth), rows = uint64_t(std::llabs(h.biHeight));
    const uint64_t stored = (w * depth / 8 + 3) / 4 * 4;
    bytes out = {'B', 'M'};
    auto le = [&](uint64_t v, int n) {
        for (int i = 0; i < n; ++i) out.push_back(uint8_t(v >> 8 * i));
    };
    le(58 + rows * stored, 4);
    le(0, 4);
    le(58, 4);
    const uint8_t *head = reinterpret_cast<const uint8_t *>(&bi);
    out.insert(out.end(), head, head + 44); // info header and bmiColors[0]
    out[28] = uint8_t(depth);
    out[29] = 0;
    for (uint64_t y = 0; y < rows; ++y) {
        for (uint64_t x = 0; x < w; ++x) {
            const uint8_t *p = src + (y * w + x) * (source / 8);
            if (depth == source)
                out.insert(out.end(), p, p + source / 8);
            else if (depth == 24)
                le(p[0] | p[1] << 8 | p[2] << 16, 3);
            else if (depth == 32)
                le(p[0] | p[1] << 8 | p[2] << 16, 4);
            else
                le((p[2] / 8) * 1024 + (p[1] / 8) * 32 + p[0] / 8, 2);
        }
        while ((out.size() - 58) % 4) out.push_back(0);
    }
    return out;
}

bytes reference_indexed(const BITMAPINFO &bi, const RGBQUAD *colors, const uint8_t *pixels,
                        size_t pixelBytes) {
    const uint32_t c = bi.bmiHeader.biClrUsed;
    bytes out = {'B', 'M'};
    auto le = [&](uint64_t v) {
        for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> 8 * i));
    };
    le(54 + 4 * uint64_t(c) + pixelBytes);
    le(0);
    le(54 + 4 * uint64_t(c));
    const uint8_t *head = reinterpret_cast<const uint8_t *>(&bi);
    out.insert(out.end(), head, head + 40);
    const uint8_t *table = reinterpret_cast<const uint8_t *>(colors);
    if (c) out.insert(out.end(), table, table + 4 * size_t(c));
    if (pixelBytes) out.insert(out.end(), pixels, pixels + pixelBytes);
    return out;
}

// ---- DIBitsToFile ------------------------------------------------------------

struct depth_pair {
    int source, target;
};
const depth_pair kPairs[] = {{32, 0},  {32, 32}, {32, 24}, {32, 16}, {24, 0},
                             {24, 24}, {24, 32}, {24, 16}, {16, 0},  {16, 16}};

TEST(BmpWriter, TrueColourFilesMatchTheReference) {
    temp_dir dir;
    const std::string path = dir.file("out.bmp");
    for (depth_pair pair : kPairs)
        for (LONG w : {0, 1, 2, 3, 4, 5, 7, 8, 33, 5000})
            for (LONG h : {0, 1, 3, -3}) {
                BITMAPINFO bi = make_info(w, h, WORD(pair.source));
                bi.bmiHeader.biSizeImage = 0xA1B2C3D4; // unchanged whatever the depth
                bi.bmiHeader.biXPelsPerMeter = -7;
                bi.bmiColors[0] = {1, 2, 3, 4};
                bytes src = random_bytes(size_t(w) * std::abs(h) * pair.source / 8, unsigned(w));
                std::string what = std::to_string(pair.source) + " to " +
                                   std::to_string(pair.target) + ", " + std::to_string(w) + " x " +
                                   std::to_string(h);
                ASSERT_TRUE(dib(path, src.data(), bi, pair.target)) << what;
                bytes file = read_file(path);
                ASSERT_EQ(file, reference_dib(bi, src.data(), pair.target)) << what;
                EXPECT_EQ(u32at(file, 2), file.size()) << what;
                EXPECT_EQ(folder(dir), std::vector<std::string>{"out.bmp"}) << what;
            }
}

TEST(BmpWriter, FiveByThreeInEachDepth) {
    temp_dir dir;
    BITMAPINFO bi = make_info(5, 3, 32);
    bytes src = random_bytes(60, 1);
    const std::string path = dir.file("five.bmp");

    ASSERT_TRUE(dib(path, src.data(), bi, 0));
    bytes file = read_file(path);
    ASSERT_EQ(file.size(), 118u);
    EXPECT_EQ(bytes(file.begin() + 58, file.end()), src);
    EXPECT_EQ(u32at(file, 10), 58u);
    EXPECT_EQ(u32at(file, 54), 0u) << "bmiColors[0] of the viewer's header";

    ASSERT_TRUE(dib(path, src.data(), bi, 24));
    file = read_file(path);
    ASSERT_EQ(file.size(), 106u);
    EXPECT_EQ(u32at(file, 2), 106u);
    EXPECT_EQ(file[28], 24);
    for (int row = 0; row < 3; ++row) EXPECT_EQ(file[58 + 16 * row + 15], 0) << "row " << row;

    ASSERT_TRUE(dib(path, src.data(), bi, 16));
    file = read_file(path);
    ASSERT_EQ(file.size(), 94u);
    EXPECT_EQ(u32at(file, 2), 94u);
    for (int row = 0; row < 3; ++row)
        EXPECT_EQ(file[58 + 12 * row + 10] | file[58 + 12 * row + 11], 0) << "row " << row;
}

TEST(BmpWriter, RowFill) {
    temp_dir dir;
    BITMAPINFO four = make_info(4, 2, 32);
    bytes src = random_bytes(32, 2);
    ASSERT_TRUE(dib(dir.file("a.bmp"), src.data(), four, 24));
    EXPECT_EQ(read_file(dir.file("a.bmp")).size(), 58u + 2 * 12) << "width 4 at 24 needs no fill";

    BITMAPINFO one = make_info(1, 2, 32);
    ASSERT_TRUE(dib(dir.file("b.bmp"), src.data(), one, 16));
    bytes file = read_file(dir.file("b.bmp"));
    ASSERT_EQ(file.size(), 58u + 2 * 4);
    EXPECT_EQ(file[60] | file[61] | file[64] | file[65], 0) << "2 pixel bytes, 2 zeros a row";
}

TEST(BmpWriter, NegativeHeightAndRowOrderKept) {
    temp_dir dir;
    BITMAPINFO bi = make_info(1, -3, 32);
    const uint8_t src[] = {1, 1, 1, 0, 2, 2, 2, 0, 3, 3, 3, 0};
    ASSERT_TRUE(dib(dir.file("a.bmp"), src, bi, 24));
    bytes file = read_file(dir.file("a.bmp"));
    ASSERT_EQ(file.size(), 58u + 3 * 4);
    EXPECT_EQ(int32_t(u32at(file, 22)), -3);
    for (int row = 0; row < 3; ++row) EXPECT_EQ(file[58 + 4 * row], row + 1) << "row " << row;
}

TEST(BmpWriter, TargetOfSourceDepthIsTargetZero) {
    temp_dir dir;
    for (int depth : {16, 24, 32}) {
        BITMAPINFO bi = make_info(3, 2, WORD(depth));
        bytes src = random_bytes(size_t(6 * depth / 8), unsigned(depth));
        ASSERT_TRUE(dib(dir.file("zero.bmp"), src.data(), bi, 0));
        ASSERT_TRUE(dib(dir.file("same.bmp"), src.data(), bi, depth));
        EXPECT_EQ(read_file(dir.file("zero.bmp")), read_file(dir.file("same.bmp"))) << depth;
    }
}

TEST(BmpWriter, FiveFiveFiveWords) {
    struct {
        uint8_t b, g, r;
        uint16_t word;
    } cases[] = {
        {255, 128, 8, 31 | 16 << 5 | 1 << 10}, // blue 31, green 16, red 1
        {0, 127, 255, 0 | 15 << 5 | 31 << 10}, // the viewer's orange
        {255, 255, 255, 0x7FFF},               // white: bit 15 clear
        {7, 7, 7, 0},
    };
    temp_dir dir;
    for (auto c : cases)
        for (int source : {24, 32}) {
            const uint8_t px[4] = {c.b, c.g, c.r, 0xFF};
            BITMAPINFO bi = make_info(1, 1, WORD(source));
            ASSERT_TRUE(dib(dir.file("p.bmp"), px, bi, 16));
            bytes file = read_file(dir.file("p.bmp"));
            EXPECT_EQ(file[58] | file[59] << 8, c.word) << source << " bit, R" << int(c.r);
        }
}

TEST(BmpWriter, RefusedDepthsLeaveNoFile) {
    temp_dir dir;
    const std::string path = dir.file("no.bmp");
    const uint8_t px[8] = {};
    const depth_pair refused[] = {{8, 0},   {8, 8},   {1, 0},   {0, 0},   {15, 0},  {48, 0},
                                  {16, 24}, {16, 32}, {16, 8},  {32, 8},  {32, 1},  {24, 15},
                                  {32, -1}, {24, 64}, {32, 48}, {16, 15}, {24, 12}, {32, 33}};
    for (depth_pair pair : refused) {
        BITMAPINFO bi = make_info(1, 1, WORD(pair.source));
        EXPECT_FALSE(dib(path, px, bi, pair.target)) << pair.source << " to " << pair.target;
    }
    EXPECT_TRUE(folder(dir).empty());
}

// ---- sizes and arguments -------------------------------------------------------

TEST(BmpWriter, SizesBeyondTheBuffersOrTheSizeFieldAreRefused) {
    temp_dir dir;
    const std::string path = dir.file("no.bmp");
    const uint8_t px[16] = {};
    const RGBQUAD table[2] = {};
    struct dib_case {
        LONG w, h;
        WORD bits;
        int target;
    } dibs[] = {
        {-1, 1, 32, 0},         {-1, 0, 32, 0},         {INT32_MIN, 1, 24, 16},
        {0x40000000, 1, 32, 0}, {0x3FFFFFF2, 1, 32, 0}, {1, INT32_MIN, 32, 0},
        {0x7FFFFFFF, 2, 16, 0}, {65536, 16384, 32, 0},  {21846, 65536, 24, 0},
    };
    for (auto c : dibs) {
        BITMAPINFO bi = make_info(c.w, c.h, c.bits);
        EXPECT_FALSE(dib(path, px, bi, c.target)) << c.w << " x " << c.h;
    }
    struct indexed_case {
        LONG w, h;
        DWORD colors, sizeImage;
        bool oneBit;
    } indexed[] = {
        {1, 1, 0xFFFFFFFF, 0, false},
        {1, 1, 0x3FFFFFF3, 0, false},
        {1, 1, 0, 0xFFFFFFCA, false},
        {1, 1, 2, 0xFFFFFFFF - 61, false},
        {-1, 1, 2, 0, true},
        {0x7FFFFFFF, INT32_MIN, 2, 0, true},
        {0x7FFFFFE0, 0x8000, 0, 0, true},
    };
    for (auto c : indexed) {
        BITMAPINFO bi = make_info(c.w, c.h, c.oneBit ? 1 : 8);
        bi.bmiHeader.biClrUsed = c.colors;
        bi.bmiHeader.biSizeImage = c.sizeImage;
        EXPECT_FALSE(dib8(path, px, bi, table, c.oneBit))
            << c.w << " x " << c.h << ", " << c.colors << " colours, " << c.sizeImage;
    }
    EXPECT_TRUE(folder(dir).empty());

    // However wide, no rows is a file of headers only.
    BITMAPINFO wide = make_info(0x7FFFFFFF, 0, 32);
    ASSERT_TRUE(dib(path, nullptr, wide, 0));
    EXPECT_EQ(read_file(path).size(), 58u);
}

TEST(BmpWriter, MissingArguments) {
    temp_dir dir;
    const std::string path = dir.file("no.bmp");
    const uint8_t px[4] = {};
    const RGBQUAD table[1] = {};
    BITMAPINFO bi = make_info(1, 1, 32);
    bi.bmiHeader.biClrUsed = 1;
    bi.bmiHeader.biSizeImage = 4;
    EXPECT_FALSE(DIBitsToFile(nullptr, px, &bi, 0));
    EXPECT_FALSE(DIBitsToFile(path.c_str(), px, nullptr, 0));
    EXPECT_FALSE(dib(path, nullptr, bi, 0));
    for (bool oneBit : {false, true}) {
        auto writer = oneBit ? DIBitsToFile1 : DIBitsToFile8;
        EXPECT_FALSE(writer(nullptr, px, &bi, table)) << oneBit;
        EXPECT_FALSE(writer(path.c_str(), px, nullptr, table)) << oneBit;
        EXPECT_FALSE(dib8(path, nullptr, bi, table, oneBit)) << oneBit;
        EXPECT_FALSE(dib8(path, px, bi, nullptr, oneBit)) << oneBit;
    }
    EXPECT_TRUE(folder(dir).empty());

    // Where nothing would be read, nothing need be given.
    BITMAPINFO empty = make_info(0, 5, 32);
    EXPECT_TRUE(dib(dir.file("a.bmp"), nullptr, empty, 16));
    EXPECT_EQ(read_file(dir.file("a.bmp")).size(), 58u);
    EXPECT_TRUE(dib8(dir.file("b.bmp"), nullptr, empty, nullptr));
    EXPECT_EQ(read_file(dir.file("b.bmp")).size(), 54u);
    EXPECT_TRUE(dib8(dir.file("c.bmp"), nullptr, empty, nullptr, true));
    EXPECT_EQ(read_file(dir.file("c.bmp")).size(), 54u);
}

// ---- DIBitsToFile8 and DIBitsToFile1 --------------------------------------------

TEST(BmpWriter, IndexedFilesMatchTheReference) {
    temp_dir dir;
    const std::string path = dir.file("i.bmp");
    struct {
        DWORD colors, sizeImage;
        uint32_t offset;
    } cases[] = {{256, 64, 1078}, {2, 64, 62}, {0, 64, 54}, {16, 0, 118}, {65535, 12, 262194}};
    for (auto c : cases) {
        BITMAPINFO bi = make_info(7, -9, 8);
        bi.bmiHeader.biClrUsed = c.colors;
        bi.bmiHeader.biClrImportant = 3;
        bi.bmiHeader.biSizeImage = c.sizeImage;
        bytes table = random_bytes(4 * c.colors, c.colors), px = random_bytes(c.sizeImage, 9);
        const RGBQUAD *colors = reinterpret_cast<const RGBQUAD *>(table.data());
        ASSERT_TRUE(dib8(path, px.data(), bi, colors)) << c.colors << " colours";
        bytes file = read_file(path);
        EXPECT_EQ(u32at(file, 10), c.offset) << c.colors << " colours";
        EXPECT_EQ(file, reference_indexed(bi, colors, px.data(), c.sizeImage))
            << c.colors << " colours";
    }
}

TEST(BmpWriter, OneBitRowsAreWholeWords) {
    temp_dir dir;
    const RGBQUAD table[2] = {{255, 255, 255, 0}, {0, 0, 0, 0}};
    bytes px = random_bytes(24, 3);
    for (LONG w : {0, 1, 32, 33, 64, 65})
        for (LONG h : {2, -2}) {
            BITMAPINFO bi = make_info(w, h, 1);
            bi.bmiHeader.biClrUsed = bi.bmiHeader.biClrImportant = 2;
            bi.bmiHeader.biSizeImage = 999; // not this writer's guide
            size_t pixelBytes = size_t(2 * 4 * ((w + 31) / 32));
            ASSERT_TRUE(dib8(dir.file("m.bmp"), px.data(), bi, table, true)) << w;
            EXPECT_EQ(read_file(dir.file("m.bmp")),
                      reference_indexed(bi, table, px.data(), pixelBytes))
                << w << " x " << h;
        }
    BITMAPINFO bi = make_info(33, 2, 1);
    bi.bmiHeader.biClrUsed = 2;
    ASSERT_TRUE(dib8(dir.file("m.bmp"), px.data(), bi, table, true));
    EXPECT_EQ(read_file(dir.file("m.bmp")).size(), 62u + 16);
}

// The two palette writers read only the 40-byte header: one without colour
// entries behind it is enough (AddressSanitizer watches).
TEST(BmpWriter, IndexedWritersReadOnlyTheInfoHeader) {
    temp_dir dir;
    auto *header = new BITMAPINFOHEADER(make_info(32, 1, 1).bmiHeader);
    header->biSizeImage = 4;
    const uint8_t px[4] = {1, 2, 3, 4};
    EXPECT_TRUE(DIBitsToFile8(dir.file("a.bmp").c_str(), px, reinterpret_cast<BITMAPINFO *>(header),
                              nullptr));
    EXPECT_TRUE(DIBitsToFile1(dir.file("b.bmp").c_str(), px, reinterpret_cast<BITMAPINFO *>(header),
                              nullptr));
    EXPECT_EQ(read_file(dir.file("a.bmp")), read_file(dir.file("b.bmp")));
    delete header;
}

// ---- random headers ----------------------------------------------------------------

// Seeded random headers, many of them absurd. A call must succeed exactly when
// the reference says the file is sound, write exactly the reference's bytes,
// and never read beyond buffers sized exactly as the header says.
TEST(BmpWriter, RandomHeaders) {
    temp_dir dir;
    const std::string path = dir.file("r.bmp");
    std::mt19937 rng(20240611);
    const LONG sizes[] = {0,          1,          2,          3,         31,        33,
                          257,        -1,         -40,        INT32_MIN, INT32_MAX, 0x40000000,
                          0x3FFFFFF2, 0x1FFFFFFF, 0x00010000, 0x0000FFFF};
    const WORD depths[] = {16, 24, 32, 8, 1, 0, 4, 15};
    const int targets[] = {0, 16, 24, 32, 8, -16};
    const DWORD counts[] = {0, 1, 2, 255, 256, 65535, 0x3FFFFFF2, 0xFFFFFFFF, 0x80000000};
    auto pick = [&](auto &table) { return table[rng() % (sizeof table / sizeof table[0])]; };
    auto small = [&](LONG v) { return rng() % 3 ? v : LONG(rng() % 40) - 4; };

    for (int i = 0; i < 600; ++i) {
        bytes raw = random_bytes(sizeof(BITMAPINFO), unsigned(i));
        BITMAPINFO bi;
        memcpy(&bi, raw.data(), sizeof bi);
        BITMAPINFOHEADER &h = bi.bmiHeader;
        h.biWidth = small(pick(sizes));
        h.biHeight = small(pick(sizes));
        h.biBitCount = pick(depths);
        h.biClrUsed = rng() % 2 ? DWORD(rng() % 300) : pick(counts);
        h.biSizeImage = rng() % 2 ? DWORD(rng() % 3000) : pick(counts);
        const int target = pick(targets), kind = i % 3;
        const double rows = std::fabs(double(h.biHeight)), width = h.biWidth;
        const std::string what = "case " + std::to_string(i) + ": " + std::to_string(h.biWidth) +
                                 " x " + std::to_string(h.biHeight) + ", " +
                                 std::to_string(h.biBitCount) + " bits to " +
                                 std::to_string(target) + ", writer " + std::to_string(kind);
        double size = 0, pixelBytes = 0, colorBytes = 0;
        bool sound;
        if (kind == 0) {
            int depth = target ? target : h.biBitCount;
            sound = width >= 0 && (h.biBitCount == 16 ? depth == 16
                                   : h.biBitCount == 24 || h.biBitCount == 32
                                       ? depth == 16 || depth == 24 || depth == 32
                                       : false);
            size = 58 + rows * std::ceil(width * depth / 8 / 4) * 4;
            pixelBytes = rows * width * h.biBitCount / 8;
        } else {
            colorBytes = 4.0 * h.biClrUsed;
            pixelBytes = kind == 1 ? h.biSizeImage : rows * 4 * std::ceil(width / 32);
            sound = kind == 1 || width >= 0;
            size = 54 + colorBytes + pixelBytes;
        }
        sound = sound && size <= 4294967295.0;
        if (sound && size > (1 << 20)) continue; // too big to try here
        bytes px = random_bytes(sound ? size_t(pixelBytes) : 16, unsigned(i));
        bytes table = random_bytes(sound ? size_t(colorBytes) : 16, unsigned(i));
        auto *colors = reinterpret_cast<const RGBQUAD *>(table.data());

        fs::remove(path);
        bool ok = kind == 0 ? dib(path, px.data(), bi, target)
                            : dib8(path, px.data(), bi, colors, kind == 2);
        ASSERT_EQ(ok, sound) << what;
        if (!ok) {
            EXPECT_TRUE(folder(dir).empty()) << what;
            continue;
        }
        bytes file = read_file(path);
        EXPECT_EQ(file.size(), size_t(size)) << what;
        EXPECT_EQ(u32at(file, 2), file.size()) << what;
        EXPECT_EQ(file, kind == 0 ? reference_dib(bi, px.data(), target)
                                  : reference_indexed(bi, colors, px.data(), px.size()))
            << what;
    }
}

// ---- the file ---------------------------------------------------------------------

TEST(BmpWriterFiles, ExistingFileIsReplacedNotAppended) {
    temp_dir dir;
    const std::string path = dir.file("old.bmp");
    write_file(path, bytes(5000, 0xAB));
    BITMAPINFO bi = make_info(5, 3, 32);
    bytes src = random_bytes(60, 4);
    ASSERT_TRUE(dib(path, src.data(), bi, 0));
    EXPECT_EQ(read_file(path), reference_dib(bi, src.data(), 0));

    write_file(path, bytes(5000, 0xAB));
    bi.bmiHeader.biSizeImage = 3;
    ASSERT_TRUE(dib8(path, src.data(), bi, nullptr));
    EXPECT_EQ(read_file(path).size(), 57u);
    EXPECT_EQ(folder(dir), std::vector<std::string>{"old.bmp"});
}

TEST(BmpWriterFiles, MissingFolderCreatesNothing) {
    temp_dir dir;
    const std::string path = dir.file("missing/x.bmp");
    BITMAPINFO bi = make_info(1, 1, 32);
    const uint8_t px[4] = {};
    EXPECT_FALSE(dib(path, px, bi, 0));
    EXPECT_FALSE(dib8(path, px, bi, nullptr));
    EXPECT_FALSE(dib8(path, px, bi, nullptr, true));
    EXPECT_FALSE(dib("", px, bi, 0));
    EXPECT_TRUE(folder(dir).empty());
}

// A folder of that name can't be replaced: the complete temporary file must go.
TEST(BmpWriterFiles, FolderInTheWayLeavesNoTemporaryFile) {
    temp_dir dir;
    const std::string path = dir.file("taken.bmp");
    fs::create_directory(path);
    BITMAPINFO bi = make_info(3, 3, 32);
    bytes src = random_bytes(36, 5);
    EXPECT_FALSE(dib(path, src.data(), bi, 24));
    EXPECT_FALSE(dib8(path, src.data(), bi, nullptr));
    EXPECT_EQ(folder(dir), std::vector<std::string>{"taken.bmp"});
    EXPECT_TRUE(fs::is_directory(path));
    EXPECT_TRUE(fs::is_empty(path));
}

// The temporary file must never make a name that can be saved too long: a
// file name of the longest length the system takes (a whole path of 259
// characters for the ANSI functions on Windows, a name of 255 on POSIX) is
// saved and replaces what was there.
TEST(BmpWriterFiles, LongestNamesAreSaved) {
    temp_dir dir;
#ifdef _WIN32
    const size_t longest = MAX_PATH - 1 - (dir.path().size() + 1);
#else
    const size_t longest = NAME_MAX;
#endif
    const std::string name = std::string(longest - 4, 'n') + ".bmp";
    const std::string path = dir.file(name);
    BITMAPINFO bi = make_info(3, 2, 32);
    bytes src = random_bytes(24, 8);
    ASSERT_TRUE(dib(path, src.data(), bi, 24)) << path.size() << " characters";
    EXPECT_EQ(read_file(path), reference_dib(bi, src.data(), 24));
    write_file(path, bytes(10, 0xAB));
    bi.bmiHeader.biSizeImage = 24;
    ASSERT_TRUE(dib8(path, src.data(), bi, nullptr));
    EXPECT_EQ(read_file(path).size(), 54u + 24u);
    EXPECT_EQ(folder(dir), std::vector<std::string>{name});
}

// Paths that can't be made: a name one character too long, a folder that is
// a file. Nothing is created and the file in the way is kept.
TEST(BmpWriterFiles, PathsThatCannotBeMadeCreateNothing) {
    temp_dir dir;
#ifdef _WIN32
    const std::string tooLong = dir.file(std::string(MAX_PATH - dir.path().size(), 'n'));
#else
    const std::string tooLong = dir.file(std::string(NAME_MAX + 1, 'n'));
#endif
    const std::string notFolder = dir.file("file");
    write_file(notFolder, bytes(7, 0xAB));
    BITMAPINFO bi = make_info(1, 1, 32);
    const uint8_t px[4] = {};
    for (const std::string &path : {tooLong, notFolder + "/x.bmp"}) {
        EXPECT_FALSE(dib(path, px, bi, 0)) << path.size() << " characters";
        EXPECT_FALSE(dib8(path, px, bi, nullptr)) << path;
        EXPECT_FALSE(dib8(path, px, bi, nullptr, true)) << path;
    }
    EXPECT_EQ(folder(dir), std::vector<std::string>{"file"});
    EXPECT_EQ(read_file(notFolder), bytes(7, 0xAB));
}

#ifdef _WIN32

// Files that CREATE_ALWAYS would not overwrite are not replaced either.
TEST(BmpWriterFiles, ReadOnlyHiddenAndSystemFilesAreKept) {
    temp_dir dir;
    const std::string path = dir.file("locked.bmp");
    BITMAPINFO bi = make_info(1, 1, 32);
    const uint8_t px[4] = {};
    for (DWORD attribute :
         {FILE_ATTRIBUTE_READONLY, FILE_ATTRIBUTE_HIDDEN, FILE_ATTRIBUTE_SYSTEM}) {
        write_file(path, bytes(100, 0xAB));
        ASSERT_TRUE(SetFileAttributesA(path.c_str(), attribute));
        EXPECT_FALSE(dib(path, px, bi, 0)) << attribute;
        SetFileAttributesA(path.c_str(), FILE_ATTRIBUTE_NORMAL);
        EXPECT_EQ(read_file(path), bytes(100, 0xAB)) << attribute;
        EXPECT_EQ(folder(dir), std::vector<std::string>{"locked.bmp"}) << attribute;
    }
}

#else

// Runs `call` in a child process; returns 1 when it returned true, 0 when
// false, anything else when the child failed otherwise.
template <class F> int in_child(F call) {
    fflush(nullptr);
    pid_t pid = fork();
    if (pid == 0) _exit(call() ? 1 : 0);
    int status = -1;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 100;
}

// A disk that fills up after `limit` bytes: files of the child may grow no
// further, and writes beyond fail instead of killing it.
bool with_full_disk(rlim_t limit) {
    signal(SIGXFSZ, SIG_IGN);
    rlimit rl = {limit, limit};
    return setrlimit(RLIMIT_FSIZE, &rl) == 0;
}

TEST(BmpWriterFiles, FullDiskKeepsTheOldFile) {
    temp_dir dir;
    const std::string path = dir.file("full.bmp");
    const bytes old(70000, 0xAB);
    BITMAPINFO bi = make_info(100, 100, 32);
    bi.bmiHeader.biClrUsed = 256;
    bi.bmiHeader.biSizeImage = 40000;
    bytes src = random_bytes(40000, 6), table = random_bytes(1024, 7);
    auto *colors = reinterpret_cast<const RGBQUAD *>(table.data());
    const size_t fileSizes[] = {58 + 100 * 300, 54 + 1024 + 40000, 54 + 1024 + 1600};
    for (int writer = 0; writer < 3; ++writer)
        for (rlim_t limit : {0, 30, 58, 1000, 2600, 20000}) {
            if (limit >= fileSizes[writer]) continue;
            write_file(path, old);
            int result = in_child([&] {
                if (!with_full_disk(limit)) return true;
                return writer == 0 ? DIBitsToFile(path.c_str(), src.data(), &bi, 24)
                                   : (writer == 1 ? DIBitsToFile8 : DIBitsToFile1)(
                                         path.c_str(), src.data(), &bi, colors);
            });
            EXPECT_EQ(result, 0) << "writer " << writer << ", disk full after " << limit;
            EXPECT_EQ(read_file(path), old) << "writer " << writer << ", " << limit;
            EXPECT_EQ(folder(dir), std::vector<std::string>{"full.bmp"}) << writer << ", " << limit;
        }
    // The same with room enough.
    EXPECT_EQ(in_child([&] {
                  return with_full_disk(100000) && DIBitsToFile(path.c_str(), src.data(), &bi, 24);
              }),
              1);
    EXPECT_EQ(read_file(path), reference_dib(bi, src.data(), 24));
}

TEST(BmpWriterFiles, ReplacedFileKeepsItsPermissions) {
    temp_dir dir;
    const std::string path = dir.file("mode.bmp");
    write_file(path, bytes(10, 0));
    ASSERT_EQ(chmod(path.c_str(), 0640), 0);
    BITMAPINFO bi = make_info(1, 1, 32);
    const uint8_t px[4] = {};
    ASSERT_TRUE(dib(path, px, bi, 0));
    struct stat st;
    ASSERT_EQ(stat(path.c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0640u);
}

// A file its owner made read-only is not replaced, though the folder would
// allow a rename. Root may write anything, so the check runs as nobody.
TEST(BmpWriterFiles, ReadOnlyFileIsKept) {
    temp_dir dir;
    const std::string path = dir.file("locked.bmp");
    write_file(path, bytes(100, 0xAB));
    ASSERT_EQ(chmod(path.c_str(), 0444), 0);
    ASSERT_EQ(chmod(dir.path().c_str(), 0777), 0);
    BITMAPINFO bi = make_info(1, 1, 32);
    const uint8_t px[4] = {};
    int result = in_child([&] {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0)) return true;
        return DIBitsToFile(path.c_str(), px, &bi, 0);
    });
    EXPECT_EQ(result, 0);
    EXPECT_EQ(read_file(path), bytes(100, 0xAB));
    EXPECT_EQ(folder(dir), std::vector<std::string>{"locked.bmp"});
}

#endif

} // namespace
