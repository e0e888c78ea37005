// Limits: sets whose counts and sizes promise gigabytes fail at once with a
// small footprint, blocks shared by many images cost one block, and pictures
// at the ends of the offset range get exact rectangles and draw nothing
// outside a small surface. Natively the footprint is proven in a child
// process whose address space may grow only a little.
#include "fuzz_checks.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#ifndef _WIN32
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

#ifndef _WIN32

typedef std::vector<uint8_t> bytes;

void put32(bytes &out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}

constexpr size_t kMiB = 1 << 20;

size_t address_space_now() {
    unsigned long pages = 0;
    if (FILE *f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%lu", &pages) != 1) pages = 0;
        std::fclose(f);
    }
    return size_t(pages) * size_t(sysconf(_SC_PAGESIZE));
}

// Runs `body` in a child whose address space may grow by `headroom` bytes at
// most; gives 100 + what `body` returns, or something else when the child
// died (running out of memory under AddressSanitizer ends it). Loads that
// might ask for gigabytes run only there.
template <class F> int with_memory_limit(size_t headroom, F body) {
    std::fflush(nullptr);
    pid_t pid = fork();
    if (pid == 0) {
        rlimit rl;
        rl.rlim_cur = rl.rlim_max = address_space_now() + headroom;
        if (setrlimit(RLIMIT_AS, &rl) != 0) _exit(99);
        _exit(100 + body());
    }
    int status = 0;
    waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : 200 + WTERMSIG(status);
}

int load_in(const bytes &bmp, const bytes &prt) {
    art_handle h;
    return testing_support::load_bytes(h, bmp, prt);
}

// Without this the limit tests below would prove nothing.
TEST(Limits, TheChildsMemoryLimitBites) {
    int small = with_memory_limit(16 * kMiB, [] {
        void *p = std::malloc(4 * kMiB);
        std::free(p);
        return p ? 0 : 1;
    });
    EXPECT_EQ(small, 100) << "4 MiB within 16 MiB of headroom";
    int large = with_memory_limit(16 * kMiB, [] {
        void *p = std::malloc(64 * kMiB);
        std::free(p);
        return p ? 0 : 1;
    });
    EXPECT_NE(large, 100) << "64 MiB within 16 MiB of headroom";
}

// An art-structure file of exactly 100 bytes: "CPAL" and the six counts,
// padded with zeros.
bytes hundred_bytes(uint32_t palettes, uint32_t images, uint32_t groups, uint32_t frames,
                    uint32_t pics, uint32_t extInfos) {
    bytes prt = {'C', 'P', 'A', 'L'};
    for (uint32_t v : {palettes, images, groups, frames, pics, extInfos}) put32(prt, v);
    prt.resize(100, 0);
    return prt;
}

TEST(Limits, CountsOfFourBillionInAHundredBytes) {
    const uint32_t big = 0xFFFFFFFF;
    const bytes bmp(2048, 0);
    struct {
        const char *what;
        bytes prt;
    } cases[] = {
        {"palettes", hundred_bytes(big, 0, 0, 0, 0, 0)},
        {"images", hundred_bytes(0, big, 0, 0, 0, 0)},
        {"groups", hundred_bytes(0, 0, big, 0, 0, 0)},
        {"frames", hundred_bytes(0, 0, 1, big, 0, 0)},
        {"pictures", hundred_bytes(0, 0, 1, 1, big, 0)},
        {"extended infos", hundred_bytes(0, 0, 1, 1, 1, big)},
        {"every table", hundred_bytes(0, 0, big, big, big, big)},
    };
    for (const auto &c : cases) {
        ASSERT_EQ(c.prt.size(), 100u);
        EXPECT_EQ(with_memory_limit(16 * kMiB, [&] { return load_in(bmp, c.prt); }),
                  100 + ART_ERR_FORMAT)
            << c.what << " of 4 billion in 100 bytes, within 16 MiB";
    }
    // A palette whose size field promises 4 GiB of colours.
    bytes prt = {'C', 'P', 'A', 'L'};
    put32(prt, 1);
    prt.resize(prt.size() + 24, 0);
    put32(prt, 0xFFFFFFF0);
    prt.resize(100, 0);
    EXPECT_EQ(with_memory_limit(16 * kMiB, [&] { return load_in(bmp, prt); }),
              100 + ART_ERR_PALETTE);
}

// An art-structure file of `count` images, each `rowBytes` x `height` at
// `offset(i)` (type and width as given), with no groups.
template <class Offset>
bytes images_file(uint32_t count, int32_t rowBytes, int32_t height, int32_t width, int16_t type,
                  Offset offset) {
    bytes prt = {'C', 'P', 'A', 'L'};
    put32(prt, 1); // one palette of one colour
    prt.resize(prt.size() + 24, 0);
    put32(prt, 4);
    put32(prt, 0x00FFFFFF);
    put32(prt, count);
    for (uint32_t i = 0; i < count; ++i) {
        put32(prt, uint32_t(rowBytes));
        put32(prt, offset(i));
        put32(prt, uint32_t(height));
        put32(prt, uint32_t(width));
        prt.push_back(uint8_t(type));
        prt.push_back(uint8_t(uint16_t(type) >> 8));
        prt.push_back(0); // palette 0
        prt.push_back(0);
    }
    for (int i = 0; i < 4; ++i) put32(prt, 0);
    return prt;
}

bytes bitmap_of(size_t pixelBytes) {
    bytes bmp(artgen::kBitmapPixelOffset + pixelBytes, 0x11);
    bmp[0] = 'B', bmp[1] = 'M';
    bmp[10] = uint8_t(artgen::kBitmapPixelOffset),
    bmp[11] = uint8_t(artgen::kBitmapPixelOffset >> 8);
    bmp[12] = bmp[13] = 0;
    return bmp;
}

TEST(Limits, ImagesClaimingTwoGigabyteBlocksOverASmallBitmap) {
    const bytes bmp = bitmap_of(4096);
    // 65535 x 32767 bytes: just under 2 GiB each, the largest block allowed.
    const bytes same = images_file(1000, 65535, 32767, 100, 0, [](uint32_t) { return 0u; });
    const bytes spread =
        images_file(1000, 65535, 32767, 100, 0, [](uint32_t i) { return i * 4096u; });
    // 1-bit: 7 rows of 2^26 words.
    const bytes masks = images_file(1000, 0, 7, INT32_MAX, 4, [](uint32_t) { return 0u; });
    for (const bytes *prt : {&same, &spread, &masks}) {
        EXPECT_EQ(with_memory_limit(16 * kMiB, [&] { return load_in(bmp, *prt); }),
                  100 + ART_ERR_BITMAP)
            << "1000 images of 2 GiB over a 4 KiB bitmap, within 16 MiB";
    }
}

// 20 000 images that all show one 1 MiB block: the block is read once.
TEST(Limits, ImagesSharingOneBlockCostOneBlock) {
    const bytes bmp = bitmap_of(kMiB);
    const bytes prt = images_file(20000, 1024, 1024, 1000, 0, [](uint32_t) { return 0u; });
    EXPECT_EQ(with_memory_limit(32 * kMiB, [&] { return load_in(bmp, prt); }), 100 + ART_OK)
        << "20 000 x 1 MiB within 32 MiB";
}

#endif // !_WIN32

// Pictures of a 30000 x 30000 shadow mask at the four corners of the offset
// range, in hand-made tables presented as a loaded set.
class FarPictures : public ::testing::Test {
protected:
    static constexpr int32_t kSide = 30000;
    static constexpr size_t kStride = ((kSide - 1) / 32 + 1) * 4; // 3752 bytes a row

    void SetUp() override {
        // Zero pages cost nothing until touched; a border and diagonals near
        // the corners are set.
        mask_ = static_cast<uint8_t *>(std::calloc(size_t(kSide) * kStride, 1));
        ASSERT_NE(mask_, nullptr);
        auto set = [&](int x, int y) {
            mask_[size_t(y) * kStride + size_t(x / 8)] |= uint8_t(0x80 >> (x % 8));
        };
        for (int i = 0; i < kSide; i += (i < 40 || i > kSide - 40) ? 1 : 997) {
            set(i, 0), set(i, kSide - 1), set(0, i), set(kSide - 1, i);
            if (i < 40) set(i, i), set(kSide - 1 - i, kSide - 1 - i), set(i, kSide - 1 - i);
        }
        image_ = mem_image{0, mask_, kSide, kSide, 4, nullptr};
        const int16_t lo = INT16_MIN, hi = INT16_MAX;
        pics_[0] = mem_pic{lo, lo, &image_};
        pics_[1] = mem_pic{hi, hi, &image_};
        pics_[2] = mem_pic{lo, hi, &image_};
        pics_[3] = mem_pic{hi, lo, &image_};
        frame_ = mem_frame{4, pics_};

        std::memset(static_cast<void *>(&set_), 0, sizeof set_);
        set_.loadState = ART_LOADED;
        set_.imageCount = 1;
        set_.images = &image_;
        set_.picCount = 4;
        set_.pics = pics_;
        set_.frameCount = 1;
        set_.frames = &frame_;
    }
    void TearDown() override {
        set_.loadState = ART_EMPTY; // the tables are this fixture's, not the library's
        std::free(mask_);
    }

    uint8_t *mask_ = nullptr;
    mem_image image_;
    mem_pic pics_[4];
    mem_frame frame_;
    art_handle set_;
};

std::string rect_text(const RECT &r) {
    return std::to_string(r.left) + ", " + std::to_string(r.top) + ", " + std::to_string(r.right) +
           ", " + std::to_string(r.bottom);
}

TEST_F(FarPictures, RectanglesAreExact) {
    const struct {
        int pic;
        RECT want;
    } cases[] = {
        {0, {-32768, -32768, -2768, -2768}},
        {1, {32767, 32767, 62767, 62767}},
        {2, {-32768, 32767, -2768, 62767}},
        {3, {32767, -32768, 62767, -2768}},
    };
    RECT r;
    for (const auto &c : cases) {
        ASSERT_TRUE(pics_[c.pic].getDrawRect(&r));
        EXPECT_EQ(rect_text(r), rect_text(c.want)) << "picture " << c.pic;
    }
    ASSERT_TRUE(frame_.getDrawRect(&r));
    EXPECT_EQ(rect_text(r), "-32768, -32768, 62767, 62767") << "frame of the four";
}

// Each corner of each picture brought onto a 16 x 16 surface, in both row
// orders, and anchors at the ends of the int range: every object of the set
// draws as the per-pixel reference says and nothing outside the surface.
TEST_F(FarPictures, CornersDrawExactlyIntoASmallSurface) {
    std::vector<surface_choice> choices;
    const int32_t last = kSide - 1;
    const int32_t corners[4][2] = {{0, 0}, {last, 0}, {0, last}, {last, last}};
    for (int p = 0; p < 4; ++p)
        for (const auto &c : corners) {
            surface_choice s;
            s.width = 16;
            s.height = p % 2 ? 16 : -16;
            // The corner lands on (8, 8): the picture's through the far
            // anchor, the image's own through the near one.
            s.farX = 8 - pics_[p].x - c[0], s.farY = 8 - pics_[p].y - c[1];
            s.nearX = 8 - c[0], s.nearY = 8 - c[1];
            choices.push_back(s);
        }
    for (int32_t x : {INT32_MIN, INT32_MAX, -32768, 32767})
        for (int32_t y : {INT32_MIN, INT32_MAX}) {
            surface_choice s;
            s.width = 16, s.height = 16, s.nearX = x, s.nearY = y, s.farX = y, s.farY = x;
            choices.push_back(s);
        }
    for (const surface_choice &s : choices)
        EXPECT_EQ(check_set_draws(set_, s), "") << "anchors (" << s.nearX << ", " << s.nearY
                                                << ") and (" << s.farX << ", " << s.farY << ")";
#ifndef _WIN32
    // Drawing takes no memory of its own: the same in a child that may grow
    // by no more than the checks' small surfaces need.
    int result = with_memory_limit(4 * kMiB, [&] {
        for (const surface_choice &s : choices)
            if (!check_set_draws(set_, s).empty()) return 1;
        return 0;
    });
    EXPECT_EQ(result, 100);
#endif
}

// An 8-bit image as wide as an int can say, at offset (32767, -32768): its
// rectangle is held at the end of the range, and it draws where it lies.
TEST(FarPicture, WidestImage) {
    uint8_t row[64];
    for (size_t i = 0; i < sizeof row; ++i) row[i] = uint8_t(i % 3);
    RGBQUAD colors[2] = {{0, 0, 0, 0}, {10, 20, 30, 40}};
    mem_palette palette{2, colors};
    // Only the first 64 bytes of its one row exist: the draws below must not
    // read further.
    mem_image wide{INT32_MAX, row, 1, INT32_MAX, 0, &palette};
    mem_pic pic{INT16_MAX, INT16_MIN, &wide};
    RECT r;
    ASSERT_TRUE(pic.getDrawRect(&r));
    EXPECT_EQ(rect_text(r), "32767, -32768, 2147483647, -32767") << "32767 + INT32_MAX is held";

    std::vector<RGBQUAD> mem(16 + 2 * 8, RGBQUAD{0xCC, 0xCC, 0xCC, 0xCC});
    BITMAPINFO info = {};
    info.bmiHeader.biWidth = 16;
    info.bmiHeader.biHeight = 1;
    info.bmiHeader.biBitCount = 32;
    ASSERT_TRUE(pic.draw(mem.data() + 8, &info, -32767, 32768)); // the image at (0, 0)
    for (int x = 0; x < 16; ++x) {
        const RGBQUAD &p = mem[size_t(8 + x)];
        const uint8_t want = row[x] == 1 ? 10 : 0xCC; // 2 has no colour: transparent
        EXPECT_EQ(p.rgbBlue, want) << "pixel " << x;
    }
    const std::vector<RGBQUAD> before = mem;
    for (int32_t x : {INT32_MAX, INT32_MAX - 32767}) // the image starts past the surface
        ASSERT_TRUE(pic.draw(mem.data() + 8, &info, x, 32768));
    EXPECT_EQ(std::memcmp(mem.data(), before.data(), mem.size() * 4), 0);
}

} // namespace
