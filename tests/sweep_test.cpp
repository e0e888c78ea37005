// Sweeps of damaged copies of our art sets: every byte of an art-structure
// file set to each of a few telling values, both files cut at every length,
// the bitmap's headers and pixels damaged. Each load either fails with a
// documented code, leaving the handle reusable, or gives a set whose every
// object draws exactly as the per-pixel reference says and inside its surface
// (AddressSanitizer and LeakSanitizer watch the native run; under Wine the
// process's handle count must not grow). Each sweep prints how many damaged
// copies it tried.
#include "fuzz_checks.h"
#include "sample_art.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <cstdio>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

typedef std::vector<uint8_t> bytes;

const uint8_t kTellingValues[] = {0x00, 0x01, 0x7F, 0x80, 0xFF};

bool documented(int code) {
    return code == ART_ERR_MAGIC || code == ART_ERR_PALETTE || code == ART_ERR_FORMAT ||
           code == ART_ERR_BITMAP || code == ART_ERR_MEMORY;
}

// End of the pixel blocks in the pixel area, where write_bmp puts them.
size_t blocks_end(const artgen::art_set &set) {
    size_t next = 0;
    for (const artgen::image &im : set.images)
        next = std::max(next, size_t(im.offset.value_or(uint32_t(next))) + im.pixels.size());
    return next;
}

// A small surface that varies with `seed`: size, row order, an anchor near it
// and one far off, where offsets of about +-32768 bring pictures back in.
surface_choice sweep_surface(uint32_t seed) {
    surface_choice s;
    s.width = int32_t(6 + seed % 13);
    s.height = int32_t(5 + seed / 13 % 11) * (seed & 1 ? 1 : -1);
    s.nearX = int32_t(seed % 61) - 30;
    s.nearY = int32_t(seed / 61 % 47) - 23;
    s.farX = 32768 - int32_t(seed % 97);
    s.farY = -32768 + int32_t(seed % 89);
    return s;
}

// One sweep's count of damaged copies, printed for the record.
struct tally {
    const char *sweep;
    size_t tried = 0, loaded = 0;

    ~tally() {
        std::printf("[  SWEEP   ] %s: %zu damaged copies tried, %zu loaded\n", sweep, tried,
                    loaded);
        ::testing::Test::RecordProperty("tried", int(tried));
        ::testing::Test::RecordProperty("loaded", int(loaded));
    }
};

// Loads one damaged copy into `h` (empty) and leaves `h` empty again.
// Returns "" when the copy was handled soundly, else what went wrong.
std::string try_copy(art_handle &h, const bytes &bmp, const bytes &prt, uint32_t seed, tally &t) {
    ++t.tried;
    const int code = testing_support::load_bytes(h, bmp, prt);
    std::string fault;
    if (code == ART_OK) {
        ++t.loaded;
        fault = check_set_draws(h, sweep_surface(seed));
    } else if (!documented(code)) {
        fault = "load code " + std::to_string(code);
    } else if (h.loadState != ART_FAILED || h.images || h.palettes) {
        fault = "a failed load left the handle holding something";
    }
    if (CloseArt(&h) != 1 || h.loadState != ART_EMPTY) fault += " (closing failed)";
    return fault;
}

int handle_count() {
#ifdef _WIN32
    DWORD n = 0;
    GetProcessHandleCount(GetCurrentProcess(), &n);
    return int(n);
#else
    return 0; // LeakSanitizer checks the native run at exit
#endif
}

class Sweep : public ::testing::Test {
protected:
    void SetUp() override { handlesBefore_ = handle_count(); }
    void TearDown() override {
        EXPECT_EQ(handle_count(), handlesBefore_) << "the sweep leaked handles";
    }

    // Every byte of `prt` set to each telling value it doesn't hold already.
    void flip_every_byte(const artgen::art_set &set, tally &t) {
        const bytes prt = artgen::write_prt(set), bmp = artgen::write_bmp(set);
        art_handle h; // the same handle is reused for every copy
        for (size_t at = 0; at < prt.size(); ++at)
            for (uint8_t v : kTellingValues) {
                if (prt[at] == v) continue;
                bytes damaged = prt;
                damaged[at] = v;
                std::string fault = try_copy(h, bmp, damaged, uint32_t(at * 5 + v), t);
                ASSERT_EQ(fault, "") << t.sweep << ": byte " << at << " set to " << int(v);
            }
        // Both outcomes must really occur, or the sweep proves nothing.
        EXPECT_GT(t.loaded, t.tried / 10) << t.sweep;
        EXPECT_LT(t.loaded, t.tried) << t.sweep;
    }

private:
    int handlesBefore_ = 0;
};

TEST_F(Sweep, EveryByteOfTheSampleArtStructureFile) {
    tally t{"sample art-structure file, every byte set to telling values"};
    flip_every_byte(artgen::make_sample(), t);
}

TEST_F(Sweep, EveryByteOfTheShapesArtStructureFile) {
    tally t{"shapes art-structure file, every byte set to telling values"};
    flip_every_byte(artgen::make_shapes(), t);
}

// Cut after every length, both files of the shapes set (the sample's cuts are
// in the loader's tests): a cut art-structure file never loads, a cut bitmap
// loads exactly when it still holds every block.
TEST_F(Sweep, TheShapesFilesCutAtEveryLength) {
    const artgen::art_set set = artgen::make_shapes();
    const bytes prt = artgen::write_prt(set), bmp = artgen::write_bmp(set);
    const size_t blocksEnd = blocks_end(set);
    tally t{"shapes files cut at every length"};
    art_handle h;
    // The last group's record ends before the two trailing bytes.
    for (size_t cut = 0; cut < prt.size() - set.trailing.size(); ++cut) {
        bytes part(prt.begin(), prt.begin() + ptrdiff_t(cut));
        ASSERT_EQ(try_copy(h, bmp, part, uint32_t(cut), t), "")
            << "art-structure file cut at " << cut;
        ASSERT_EQ(t.loaded, 0u) << "art-structure file cut at " << cut << " loaded";
    }
    for (size_t cut = 0; cut <= bmp.size(); ++cut) {
        bytes part(bmp.begin(), bmp.begin() + ptrdiff_t(cut));
        const size_t loadedBefore = t.loaded;
        ASSERT_EQ(try_copy(h, part, prt, uint32_t(cut), t), "") << "bitmap cut at " << cut;
        const bool whole = cut >= artgen::kBitmapPixelOffset + blocksEnd;
        ASSERT_EQ(t.loaded > loadedBefore, whole) << "bitmap cut at " << cut;
    }
}

// Only the pixel-data offset of a bitmap's headers is read: damage anywhere
// else in them changes nothing; a damaged offset either still finds every
// block or fails with code 4.
TEST_F(Sweep, EveryByteOfTheBitmapHeaders) {
    tally t{"bitmap headers of both sets, every byte set to telling values"};
    for (const artgen::art_set &set : {artgen::make_sample(), artgen::make_shapes()}) {
        const bytes prt = artgen::write_prt(set), bmp = artgen::write_bmp(set);
        art_handle h;
        for (size_t at = 0; at < 14 + 40; ++at)
            for (uint8_t v : kTellingValues) {
                if (bmp[at] == v) continue;
                bytes damaged = bmp;
                damaged[at] = v;
                const size_t loadedBefore = t.loaded;
                ASSERT_EQ(try_copy(h, damaged, prt, uint32_t(at * 3 + v), t), "")
                    << "bitmap byte " << at << " set to " << int(v);
                if (at < 10 || at >= 14) {
                    ASSERT_GT(t.loaded, loadedBefore)
                        << "bitmap byte " << at << " set to " << int(v);
                }
            }
    }
}

// Pixel values are data, never indexes into memory: every byte of the shapes
// set's pixel area set to each telling value, and the sample's whole area
// filled with each, draw as the reference says (values past a palette's
// colours are transparent; any bit pattern of a mask is fine).
TEST_F(Sweep, EveryPixelByteOfTheBitmap) {
    tally t{"bitmap pixels, every byte of the shapes set and all of the sample's"};
    art_handle h;
    const artgen::art_set shapes = artgen::make_shapes();
    const bytes shapesPrt = artgen::write_prt(shapes), shapesBmp = artgen::write_bmp(shapes);
    const size_t blocksEnd = blocks_end(shapes);
    for (size_t at = artgen::kBitmapPixelOffset; at < artgen::kBitmapPixelOffset + blocksEnd; ++at)
        for (uint8_t v : kTellingValues) {
            bytes damaged = shapesBmp;
            damaged[at] = v;
            ASSERT_EQ(try_copy(h, damaged, shapesPrt, uint32_t(at + v), t), "")
                << "pixel byte " << at << " set to " << int(v);
        }
    const artgen::art_set sample = artgen::make_sample();
    const bytes samplePrt = artgen::write_prt(sample), sampleBmp = artgen::write_bmp(sample);
    for (uint8_t v : kTellingValues) {
        bytes filled = sampleBmp;
        std::fill(filled.begin() + artgen::kBitmapPixelOffset, filled.end(), v);
        ASSERT_EQ(try_copy(h, filled, samplePrt, v, t), "") << "sample pixels all " << int(v);
    }
    EXPECT_EQ(t.loaded, t.tried);
}

} // namespace
