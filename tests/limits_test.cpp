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
#include <memory>

#ifndef _WIN32
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

namespace {

typedef std::vector<uint8_t> bytes;

#ifndef _WIN32
constexpr size_t kMiB = 1 << 20;

void put32(bytes &out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> (8 * i)));
}

// Runs `body` in a child whose address space may grow by `headroom` bytes at
// most; gives 100 + what `body` returns, or something else when the child
// died (running out of memory under AddressSanitizer ends it).
template <class F> int with_memory_limit(size_t headroom, F body) {
    std::fflush(nullptr);
    if (pid_t pid = fork()) {
        int status = 0;
        waitpid(pid, &status, 0);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 200 + WTERMSIG(status);
    }
    size_t pages = 0;
    FILE *f = std::fopen("/proc/self/statm", "r");
    rlimit rl;
    if (!f || std::fscanf(f, "%zu", &pages) != 1) _exit(99);
    rl.rlim_cur = rl.rlim_max = pages * size_t(sysconf(_SC_PAGESIZE)) + headroom;
    _exit(setrlimit(RLIMIT_AS, &rl) != 0 ? 99 : 100 + body());
}

// The loader's code + 100 for the set, loaded where only `headroom` more fits.
int load_limited(const bytes &bmp, const bytes &prt, size_t headroom = 16 * kMiB) {
    return with_memory_limit(headroom, [&] {
        art_handle h;
        return testing_support::load_bytes(h, bmp, prt);
    });
}

// "CPAL", one palette of one colour, `count` images of rowBytes x height
// bytes at i * step, no groups.
bytes images_file(uint32_t count, int32_t rowBytes, int32_t height, int32_t width, int16_t type,
                  uint32_t step) {
    bytes prt = {'C', 'P', 'A', 'L'};
    for (uint32_t w : {1u, 0u, 0u, 0u, 0u, 0u, 0u, 4u, 0x00FFFFFFu, count}) put32(prt, w);
    for (uint32_t i = 0; i < count; ++i)
        for (int32_t w : {rowBytes, int32_t(i * step), height, width, int32_t(type)}) // palette 0
            put32(prt, uint32_t(w));
    prt.resize(prt.size() + 16, 0); // no groups, frames, pictures, ext infos
    return prt;
}

bytes bitmap_of(size_t pixelBytes) {
    bytes bmp(artgen::kBitmapPixelOffset + pixelBytes, 0x11);
    bmp[0] = 'B', bmp[1] = 'M', bmp[12] = bmp[13] = 0;
    bmp[10] = uint8_t(artgen::kBitmapPixelOffset),
    bmp[11] = uint8_t(artgen::kBitmapPixelOffset >> 8);
    return bmp;
}

TEST(Limits, HugeCountsAndBlocksFailAtOnceInASmallFootprint) {
    auto grab = [](size_t n) {
        return [n] {
            // The sanitizer's report of the refused grab is expected; keep it out of the log.
            if (n > 16 * kMiB) dup2(open("/dev/null", O_WRONLY), 2);
            void *p = std::malloc(n);
            std::free(p);
            return p ? 0 : 1;
        };
    };
    EXPECT_EQ(with_memory_limit(16 * kMiB, grab(4 * kMiB)), 100) << "the limit lets 4 MiB through";
    EXPECT_NE(with_memory_limit(16 * kMiB, grab(64 * kMiB)), 100) << "the limit must bite";

    // Words after "CPAL" in a file of 100 bytes: table counts of 4 billion
    // (palettes, images, groups, frames, pictures, ext infos), or a palette
    // whose size field promises 4 GiB of colours.
    const uint32_t big = 0xFFFFFFFF;
    const struct {
        const char *what;
        std::vector<uint32_t> words;
        int code;
    } cases[] = {
        {"palettes", {big}, ART_ERR_FORMAT},
        {"images", {0, big}, ART_ERR_FORMAT},
        {"groups", {0, 0, big}, ART_ERR_FORMAT},
        {"frames", {0, 0, 1, big}, ART_ERR_FORMAT},
        {"pictures", {0, 0, 1, 1, big}, ART_ERR_FORMAT},
        {"ext infos", {0, 0, 1, 1, 1, big}, ART_ERR_FORMAT},
        {"every table", {0, 0, big, big, big, big}, ART_ERR_FORMAT},
        {"colours", {1, 0, 0, 0, 0, 0, 0, 0xFFFFFFF0}, ART_ERR_PALETTE},
    };
    auto file = [](const std::vector<uint32_t> &words) {
        bytes prt = {'C', 'P', 'A', 'L'};
        for (uint32_t w : words) put32(prt, w);
        prt.resize(100, 0);
        return prt;
    };
    for (const auto &c : cases)
        EXPECT_EQ(load_limited(bytes(2048, 0), file(c.words)), 100 + c.code) << c.what;
    // Entries no group uses take no bytes of the file; the most a file may ask
    // for (2^20 in each of the three tables) takes about 30 MiB.
    const uint32_t spare = 1u << 20;
    EXPECT_EQ(load_limited(bytes(2048, 0), file({0, 0, 0, spare, spare, spare}), 48 * kMiB),
              100 + ART_OK);
    // 1000 images of just under 2 GiB each (65535 x 32767 bytes, the largest
    // block allowed; 1-bit: 7 rows of 2^26 words) over a 4 KiB bitmap.
    for (const bytes &prt :
         {images_file(1000, 65535, 32767, 100, 0, 0), images_file(1000, 65535, 32767, 100, 0, 4096),
          images_file(1000, 0, 7, INT32_MAX, 4, 0)})
        EXPECT_EQ(load_limited(bitmap_of(4096), prt), 100 + ART_ERR_BITMAP);
    // 20 000 images that all show one 1 MiB block: the block is read once.
    EXPECT_EQ(load_limited(bitmap_of(kMiB), images_file(20000, 1024, 1024, 1000, 0, 0), 32 * kMiB),
              100 + ART_OK);
}
#endif // !_WIN32

std::string rect_text(const RECT &r) {
    return std::to_string(r.left) + ", " + std::to_string(r.top) + ", " + std::to_string(r.right) +
           ", " + std::to_string(r.bottom);
}

// Pictures of a 30000 x 30000 shadow mask at the four corners of the offset
// range, in hand-made tables presented as a loaded set. Zero pages cost
// nothing until touched; a border and diagonals near the corners are set.
TEST(FarPictures, RectanglesAreExactAndCornersDrawIntoASmallSurface) {
    constexpr int32_t kSide = 30000;
    constexpr size_t kStride = ((kSide - 1) / 32 + 1) * 4; // 3752 bytes a row
    std::unique_ptr<uint8_t, decltype(&std::free)> mask(
        static_cast<uint8_t *>(std::calloc(size_t(kSide) * kStride, 1)), &std::free);
    ASSERT_NE(mask, nullptr);
    auto set = [&](int x, int y) { mask.get()[y * kStride + x / 8] |= uint8_t(0x80 >> (x % 8)); };
    for (int i = 0; i < kSide; i += (i < 40 || i > kSide - 40) ? 1 : 997) {
        set(i, 0), set(i, kSide - 1), set(0, i), set(kSide - 1, i);
        if (i < 40) set(i, i), set(kSide - 1 - i, kSide - 1 - i), set(i, kSide - 1 - i);
    }
    mem_image image{0, mask.get(), kSide, kSide, 4, nullptr};
    const int16_t lo = INT16_MIN, hi = INT16_MAX;
    mem_pic pics[4] = {{lo, lo, &image}, {hi, hi, &image}, {lo, hi, &image}, {hi, lo, &image}};
    mem_frame frame{4, pics};
    art_handle set_;
    std::memset(static_cast<void *>(&set_), 0, sizeof set_);
    set_.loadState = ART_LOADED;
    set_.imageCount = set_.frameCount = 1, set_.picCount = 4;
    set_.images = &image, set_.pics = pics, set_.frames = &frame;

    // Each corner of each picture brought to (8, 8) of a 16 x 16 surface (the
    // picture's through the far anchor, the image's own through the near
    // one), in both row orders, and anchors at the ends of the int range:
    // every object draws as the per-pixel reference says and nothing outside,
    // and every rectangle is the 64-bit one.
    std::vector<surface_choice> choices;
    for (int p = 0; p < 4; ++p)
        for (int32_t c : {0, 1, 2, 3}) {
            const int32_t cx = c % 2 * (kSide - 1), cy = c / 2 * (kSide - 1);
            choices.push_back(
                {16, p % 2 ? 16 : -16, 32, 8 - cx, 8 - cy, 8 - pics[p].x - cx, 8 - pics[p].y - cy});
        }
    for (int32_t x : {INT32_MIN, INT32_MAX, -32768, 32767})
        for (int32_t y : {INT32_MIN, INT32_MAX}) choices.push_back({16, 16, 32, x, y, y, x});
    for (const surface_choice &s : choices)
        EXPECT_EQ(check_set_draws(set_, s), "") << "anchors (" << s.nearX << ", " << s.nearY
                                                << ") and (" << s.farX << ", " << s.farY << ")";
#ifndef _WIN32
    // Drawing takes no memory of its own: the same where only the checks'
    // small surfaces fit.
    EXPECT_EQ(with_memory_limit(4 * kMiB,
                                [&] {
                                    for (const surface_choice &s : choices)
                                        if (!check_set_draws(set_, s).empty()) return 1;
                                    return 0;
                                }),
              100);
#endif
    set_.loadState = ART_EMPTY; // the tables are this test's, not the library's
}

// An 8-bit image as wide as an int can say, at offset (32767, -32768): its
// rectangle is held at the end of the range, and it draws where it lies,
// reading only the 64 bytes of its one row that exist.
TEST(FarPictures, WidestImage) {
    uint8_t row[64];
    for (size_t i = 0; i < sizeof row; ++i) row[i] = uint8_t(i % 3);
    RGBQUAD colors[2] = {{0, 0, 0, 0}, {10, 20, 30, 40}};
    mem_palette palette{2, colors};
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
    for (int x = 0; x < 16; ++x)                                 // 2 has no colour: transparent
        EXPECT_EQ(mem[size_t(8 + x)].rgbBlue, row[x] == 1 ? 10 : 0xCC) << "pixel " << x;
    const std::vector<RGBQUAD> before = mem;
    for (int32_t x : {INT32_MAX, INT32_MAX - 32767}) // the image starts past the surface
        ASSERT_TRUE(pic.draw(mem.data() + 8, &info, x, 32768));
    EXPECT_EQ(std::memcmp(mem.data(), before.data(), mem.size() * 4), 0);
}

} // namespace
