// Sweeps of damaged copies of our two art sets, the sample and the shapes:
// every byte of an art-structure file set to each of a few telling values,
// both files cut at every length, the bitmap's headers damaged (any pixel
// value draws as the reference says: the drawing sweep covers them).
// Each load either fails with a documented code, leaving the handle reusable,
// or gives a set whose every object draws exactly as the per-pixel reference
// says and inside its surface (AddressSanitizer and LeakSanitizer watch the
// native run). Each sweep prints how many damaged copies it tried.
#include "fuzz_checks.h"
#include "sample_art.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <fstream>

namespace {

typedef std::vector<uint8_t> bytes;

const uint8_t kTellingValues[] = {0x00, 0x01, 0x7F, 0x80, 0xFF};

const std::pair<const char *, artgen::art_set> &set_of(int i) {
    static const std::pair<const char *, artgen::art_set> sets[] = {
        {"sample", artgen::make_sample()}, {"shapes", artgen::make_shapes()}};
    return sets[i];
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
    std::string sweep;
    size_t tried = 0, loaded = 0;
    ~tally() {
        std::printf("[  SWEEP   ] %s: %zu tried, %zu loaded\n", sweep.c_str(), tried, loaded);
    }
};

// One damaged copy, at most the first `bmpSize` and `prtSize` bytes of the
// files, through the loader check with `h` (empty, and left empty again).
std::string try_copy(art_handle &h, const bytes &bmp, const bytes &prt, uint32_t seed, tally &t,
                     int *code = nullptr, size_t bmpSize = SIZE_MAX, size_t prtSize = SIZE_MAX) {
    int c = 0;
    const surface_choice s = sweep_surface(seed);
    std::string fault = check_load(h, prt.data(), std::min(prtSize, prt.size()), bmp.data(),
                                   std::min(bmpSize, bmp.size()), &c, &s);
    ++t.tried;
    t.loaded += c == ART_OK;
    if (code) *code = c;
    return fault;
}

TEST(Sweep, EveryByteOfBothArtStructureFiles) {
    for (int s = 0; s < 2; ++s) {
        const auto &[name, set] = set_of(s);
        const bytes prt = artgen::write_prt(set), bmp = artgen::write_bmp(set);
        tally t{std::string(name) + " art-structure file, every byte set to telling values"};
        art_handle h; // the same handle is reused for every copy
        for (size_t at = 0; at < prt.size(); ++at)
            for (uint8_t v : kTellingValues) {
                if (prt[at] == v) continue;
                bytes damaged = prt;
                damaged[at] = v;
                ASSERT_EQ(try_copy(h, bmp, damaged, uint32_t(at * 5 + v), t), "")
                    << name << ": byte " << at << " set to " << int(v);
            }
        // Both outcomes must really occur, or the sweep proves nothing.
        EXPECT_GT(t.loaded, t.tried / 10) << t.sweep;
        EXPECT_LT(t.loaded, t.tried) << t.sweep;
    }
}

// A cut art-structure file never loads: it fails for its magic, inside a
// palette's colours with code 2, else with code 3. A cut bitmap loads exactly
// when it still holds every block (the bytes after the last block are never
// read, so the cuts stop there).
TEST(Sweep, BothFilesOfBothSetsCutAtEveryLength) {
    for (int s = 0; s < 2; ++s) {
        const auto &[name, set] = set_of(s);
        const bytes prt = artgen::write_prt(set), bmp = artgen::write_bmp(set);
        tally t{std::string(name) + " files cut at every length"};
        std::vector<std::pair<size_t, size_t>> colours; // where each palette's colours lie
        size_t at = 8;
        for (const artgen::palette &p : set.palettes) {
            colours.push_back({at + 28, at + 28 + p.data.size()});
            at += 28 + p.data.size();
        }
        art_handle h;
        for (size_t cut = 0; cut < prt.size() - set.trailing.size(); ++cut) {
            int code = 0;
            ASSERT_EQ(try_copy(h, bmp, prt, uint32_t(cut), t, &code, SIZE_MAX, cut), "")
                << name << " art-structure file cut at " << cut;
            bool inColours = false;
            for (auto [from, to] : colours) inColours |= cut >= from && cut < to;
            ASSERT_EQ(code, cut < 4                                ? ART_ERR_MAGIC
                            : inColours && code == ART_ERR_PALETTE ? code
                                                                   : ART_ERR_FORMAT)
                << name << " art-structure file cut at " << cut;
        }
        const size_t end = artgen::kBitmapPixelOffset + testing_support::blocks_end(set);
        for (size_t cut = 0; cut <= end; ++cut) {
            int code = 0;
            ASSERT_EQ(try_copy(h, bmp, prt, uint32_t(cut), t, &code, cut), "")
                << name << " bitmap cut at " << cut;
            ASSERT_EQ(code, cut < end ? ART_ERR_BITMAP : ART_OK)
                << name << " bitmap cut at " << cut;
        }
    }
}

// Only the pixel-data offset of a bitmap's headers is read: damage anywhere
// else in them changes nothing; a damaged offset either still finds every
// block or fails with code 4.
TEST(Sweep, EveryByteOfTheBitmapHeaders) {
    tally t{"bitmap headers of both sets, every byte set to telling values"};
    for (int s = 0; s < 2; ++s) {
        const bytes prt = artgen::write_prt(set_of(s).second),
                    bmp = artgen::write_bmp(set_of(s).second);
        art_handle h;
        for (size_t at = 0; at < 14 + 40; ++at)
            for (uint8_t v : kTellingValues) {
                if (bmp[at] == v) continue;
                bytes damaged = bmp;
                damaged[at] = v;
                const size_t loadedBefore = t.loaded;
                ASSERT_EQ(try_copy(h, damaged, prt, uint32_t(at * 3 + v), t), "")
                    << "bitmap byte " << at << " set to " << int(v);
                ASSERT_TRUE(t.loaded > loadedBefore || (at >= 10 && at < 14))
                    << "bitmap byte " << at << " set to " << int(v) << " did not load";
            }
    }
}

// The process's open handles (file descriptors here).
size_t open_handles() {
    size_t n = 0;
#ifdef _WIN32
    // Wine's GetProcessHandleCount says 0: ask about every handle value.
    const HANDLE self = GetCurrentProcess();
    for (uintptr_t v = 4; v < 0x10000; v += 4) {
        HANDLE copy;
        if (!DuplicateHandle(self, HANDLE(v), self, &copy, 0, FALSE, DUPLICATE_SAME_ACCESS))
            continue;
        CloseHandle(copy);
        ++n;
    }
#else
    n = size_t(std::distance(std::filesystem::directory_iterator("/proc/self/fd"),
                             std::filesystem::directory_iterator()));
#endif
    return n;
}

// Loads from files on disk, cut and damaged: every outcome closes what it
// opened, and a failed load leaves the handle reusable.
TEST(Sweep, FileLoadsLeaveNoHandleOpen) {
    const artgen::art_set &sample = set_of(0).second;
    const bytes prt = artgen::write_prt(sample), bmp = artgen::write_bmp(sample);
    testing_support::temp_dir dir;
    const std::string prtPath = dir.file("art.prt"), bmpPath = dir.file("art.bmp");
    auto put = [](const std::string &path, const bytes &b, size_t n) {
        std::ofstream(path, std::ios::binary)
            .write(reinterpret_cast<const char *>(b.data()),
                   std::streamsize(std::min(n, b.size())));
    };
    put(prtPath, prt, SIZE_MAX);
    put(bmpPath, bmp, SIZE_MAX);
    art_handle h;
    ASSERT_EQ(LoadArtFromFile(bmpPath.c_str(), prtPath.c_str(), &h), ART_OK);
    CloseArt(&h);
    const size_t before = open_handles();
    size_t tried = 0;
    // Cuts of either file (every length of the headers, then a spread), a
    // damaged byte, and a missing bitmap.
    for (int file = 0; file < 2; ++file) {
        const bytes &b = file ? bmp : prt;
        for (size_t cut = 0; cut <= b.size(); cut += cut < 256 ? 1 : 97) {
            put(file ? bmpPath : prtPath, b, cut);
            const int code = LoadArtFromFile(bmpPath.c_str(), prtPath.c_str(), &h);
            ASSERT_TRUE(code >= ART_OK && code <= ART_ERR_MEMORY)
                << "file " << file << " cut at " << cut;
            CloseArt(&h);
            ++tried;
        }
        put(file ? bmpPath : prtPath, b, SIZE_MAX);
    }
    std::remove(bmpPath.c_str());
    EXPECT_EQ(LoadArtFromFile(bmpPath.c_str(), prtPath.c_str(), &h), ART_ERR_BITMAP);
    CloseArt(&h);
    EXPECT_EQ(open_handles(), before) << tried << " loads from cut files";
}

} // namespace
