// Writes the fuzzers' seed corpora from our own art sets and from the headers
// the viewer hands the writers: DIR/loader, DIR/draw and DIR/writers.
#include "fuzz_checks.h"
#include "fuzz_input.h"
#include "sample_art.h"
#ifdef ZEVART_SEEDS_MODDING
#include "modding.h"
#endif

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

namespace {

typedef std::vector<uint8_t> bytes;

void put32(bytes &out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(uint8_t(v >> 8 * i));
}

artgen::art_set small_set() {
    artgen::art_set small;
    artgen::palette p;
    p.add(1, 2, 3);
    p.add(4, 5, 6);
    small.palettes.push_back(p);
    small.images.push_back(artgen::image8(3, 2, 0, {1, 0, 1, 0, 1, 0}));
    small.images.push_back(artgen::mask1(33, 2, std::vector<uint8_t>(66, 1)));
    artgen::group g;
    artgen::frame f;
    f.pics.resize(2);
    f.pics[1].slot = 1;
    f.pics[1].image = 1;
    f.ext1 = std::array<uint8_t, 2>{1, 2};
    g.frames.push_back(f);
    g.appendix.push_back({1, 2, 3, 4});
    small.groups.push_back(g);
    return small;
}

// Surface choice bytes (fuzz_checks.h).
bytes surface(uint8_t width, uint8_t rows, bool bits24, int8_t nearX, int8_t nearY, int32_t farX,
              int32_t farY) {
    bytes b = {width, rows, uint8_t(bits24), uint8_t(nearX), uint8_t(nearY)};
    put32(b, uint32_t(farX));
    put32(b, uint32_t(farY));
    return b;
}

// Writer control bytes (fuzz_checks.h) and buffer bytes; the header as it
// lies in memory, which on the little-endian machines the fuzzers run on is
// the stored layout.
bytes writer_input(uint8_t writer, uint8_t flags, int32_t depth, LONG width, LONG height,
                   WORD bitCount, DWORD sizeImage, DWORD colors, size_t fillBytes) {
    BITMAPINFO bi{};
    bi.bmiHeader = {40, width, height, 1, bitCount, 0, sizeImage, 2835, 2835, colors, colors};
    bi.bmiColors[0] = {0x30, 0x20, 0x10, 0};
    bytes b = {writer, flags};
    put32(b, uint32_t(depth));
    b.insert(b.end(), reinterpret_cast<uint8_t *>(&bi), reinterpret_cast<uint8_t *>(&bi) + 44);
    for (size_t i = 0; i < fillBytes; ++i) b.push_back(uint8_t(i * 37 + 11));
    return b;
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_seeds DIR\n");
        return 1;
    }
    namespace fs = std::filesystem;
    const fs::path dir = argv[1];
    for (const char *target : {"loader", "draw", "writers", "modding"})
        fs::create_directories(dir / target);
    auto save = [&](const char *target, const std::string &name, const bytes &b) {
        artgen::save_file((dir / target / name).string(), b);
    };

    const std::pair<const char *, artgen::art_set> sets[] = {
        {"sample", artgen::make_sample()},
        {"shapes", artgen::make_shapes()},
        {"small", small_set()},
        {"bulk", artgen::make_bulk(12, 1, 40, 7)},
    };
    const bytes surfaces[] = {
        surface(40, 30, false, -5, -3, 32768 + 10, -32767 + 12),
        surface(17, 0x40 | 63, false, 20, 40, -32760, 32770),
        surface(1, 1, false, 0, 0, INT32_MIN, INT32_MAX),
        surface(63, 5, true, 0, 0, 0, 0),
    };
    for (const auto &[name, set] : sets) {
        const bytes files = join_fuzz_input(artgen::write_prt(set), artgen::write_bmp(set));
        save("loader", name, files);
#ifdef ZEVART_SEEDS_MODDING
        // The modding target takes loader inputs too, and the files of an
        // unpacked folder (set.json, PNGs, palettes) to damage.
        save("modding", name, files);
        std::vector<folder_file> folder;
        std::string err;
        if (unpack_set(artgen::write_bmp(set), artgen::write_prt(set), folder, err))
            for (size_t i = 0; i < folder.size() && i < 6; ++i)
                if (folder[i].path.find("raw/") != 0)
                    save("modding", std::string(name) + "-" + std::to_string(i), folder[i].bytes);
#endif
        for (size_t s = 0; s < std::size(surfaces); ++s) {
            bytes in = surfaces[s];
            in.insert(in.end(), files.begin(), files.end());
            save("draw", std::string(name) + "-" + std::to_string(s), in);
        }
    }

    // What the viewer saves: its 32-bit surface in three depths, an 8-bit
    // image block with its palette, a 1-bit block with two colours; the
    // other pairs of the true-colour writer; a file there already.
    save("writers", "surface32", writer_input(0, 0, 0, 5, 3, 32, 0, 0, 60));
    save("writers", "surface24", writer_input(0, 0, 24, 5, -3, 32, 0, 0, 60));
    save("writers", "surface16", writer_input(0, 16, 16, 7, 2, 32, 0, 0, 56));
    save("writers", "from24", writer_input(0, 0, 32, 4, 2, 24, 0, 0, 24));
    save("writers", "from16", writer_input(0, 0, 0, 3, 3, 16, 0, 0, 18));
    save("writers", "image8", writer_input(1, 0, 0, 6, -5, 8, 40, 256, 1064));
    save("writers", "mask8", writer_input(1, 0, 0, 33, -2, 1, 16, 2, 24));
    save("writers", "mask1", writer_input(2, 0, 0, 33, 2, 1, 0, 2, 24));
    save("writers", "folded", writer_input(0, 0x80, 2, 330, 160, 2, 0, 0, 64));
    return 0;
}
