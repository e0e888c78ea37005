// Sweeps of damaged copies of the sample set: every single byte of the
// art-structure file set to each of a few telling values. Each load either
// fails with a documented code, leaving the handle reusable, or gives a set
// whose every object draws inside its surface (AddressSanitizer watches the
// native run; under Wine the process's handle count must not grow).
#include "sample_art.h"
#include "test_support.h"

#include <gtest/gtest.h>

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

bool documented(int code) {
    return code == ART_ERR_MAGIC || code == ART_ERR_PALETTE || code == ART_ERR_FORMAT ||
           code == ART_ERR_BITMAP || code == ART_ERR_MEMORY;
}

// Draws every image, picture and frame of a loaded set into a small surface
// guarded on both sides, at a position that varies with `seed`, in either row
// order; false when a guard pixel changed.
bool draw_everything(art_handle &h, uint32_t seed) {
    const int w = 40, hgt = 30, guard = 16;
    std::vector<RGBQUAD> buffer(size_t(w) * hgt + 2 * guard, RGBQUAD{0xCC, 0xCC, 0xCC, 0xCC});
    RGBQUAD *surface = buffer.data() + guard;
    BITMAPINFO bmi = {};
    bmi.bmiHeader.biSize = 40;
    bmi.bmiHeader.biWidth = w;
    bmi.bmiHeader.biHeight = seed & 1 ? hgt : -hgt;
    bmi.bmiHeader.biBitCount = 32;
    int x = int(seed % 61) - 30, y = int(seed / 61 % 47) - 23;
    RECT r;
    for (uint32_t i = 0; i < h.imageCount; ++i) {
        h.images[i].getDrawRect(&r);
        drawImageDIB(surface, &bmi, x, y, &h, i);
    }
    for (uint32_t i = 0; i < h.picCount; ++i) {
        h.pics[i].getDrawRect(&r);
        drawPicDIB(surface, &bmi, x, y, &h, i);
    }
    for (uint32_t i = 0; i < h.frameCount; ++i) {
        h.frames[i].getDrawRect(&r);
        drawFrameDIB(surface, &bmi, x, y, &h, i);
    }
    for (int g = 0; g < guard; ++g) {
        const RGBQUAD &before = buffer[g], &after = buffer[buffer.size() - 1 - g];
        if (before.rgbBlue != 0xCC || after.rgbBlue != 0xCC) return false;
    }
    return true;
}

TEST(Sweep, EveryByteOfTheArtStructureFileSetToTellingValues) {
    artgen::art_set set = artgen::make_sample();
    const std::vector<uint8_t> prt = artgen::write_prt(set), bmp = artgen::write_bmp(set);
#ifdef _WIN32
    DWORD handlesBefore = 0, handlesAfter = 0;
    GetProcessHandleCount(GetCurrentProcess(), &handlesBefore);
#endif
    const uint8_t values[] = {0x00, 0x01, 0x7F, 0x80, 0xFF};
    size_t tried = 0, loaded = 0;
    art_handle h;
    for (size_t at = 0; at < prt.size(); ++at) {
        for (uint8_t v : values) {
            if (prt[at] == v) continue;
            std::vector<uint8_t> damaged = prt;
            damaged[at] = v;
            ++tried;
            int code = testing_support::load_bytes(h, bmp, damaged);
            if (code == ART_OK) {
                ++loaded;
                ASSERT_TRUE(draw_everything(h, uint32_t(at * 5 + v)))
                    << "byte " << at << " set to " << int(v) << ": a draw left its surface";
            } else {
                ASSERT_TRUE(documented(code)) << "byte " << at << " set to " << int(v) << ": " << code;
                ASSERT_EQ(h.loadState, ART_FAILED);
                ASSERT_EQ(h.images, nullptr);
            }
            ASSERT_EQ(CloseArt(&h), 1); // the same handle is reused for the next copy
            ASSERT_EQ(h.loadState, ART_EMPTY);
        }
    }
    // Both outcomes must really occur, or the sweep proves nothing.
    EXPECT_GT(loaded, tried / 10);
    EXPECT_LT(loaded, tried);
#ifdef _WIN32
    GetProcessHandleCount(GetCurrentProcess(), &handlesAfter);
    EXPECT_EQ(handlesAfter, handlesBefore);
#endif
    RecordProperty("tried", int(tried));
    RecordProperty("loaded", int(loaded));
}

} // namespace
