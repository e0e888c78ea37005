// artgen: writes our own art sets to disk.
//   artgen sample OUTDIR                         the bundled sample set
//   artgen shapes OUTDIR                         a small set of odd shapes
//   artgen bulk OUTDIR IMAGES MINSIDE MAXSIDE [SEED]   a large generated set
#include "sample_art.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <string>

namespace {

const char kUsage[] = "usage: artgen sample OUTDIR\n"
                      "       artgen shapes OUTDIR\n"
                      "       artgen bulk OUTDIR IMAGES MINSIDE MAXSIDE [SEED]\n"
                      "\n"
                      "Writes OUTDIR/zev_art.prt and OUTDIR/zev_art.bmp, making OUTDIR if it is\n"
                      "missing: the bundled sample set, a small set of odd shapes, or IMAGES\n"
                      "random sprites of MINSIDE to MAXSIDE pixels a side in groups of up to 12\n"
                      "frames (the same for the same SEED, default 1).\n";

bool number(const char *text, uint32_t &out) {
    char *end = nullptr;
    const unsigned long v = std::strtoul(text, &end, 10);
    if (!*text || *end || v > UINT32_MAX) return false;
    out = uint32_t(v);
    return true;
}

} // namespace

int main(int argc, char **argv) {
    const std::string cmd = argc > 1 ? argv[1] : "";
    if (cmd == "--help" || cmd == "-h" || cmd == "help") {
        std::fputs(kUsage, stdout);
        return 0;
    }
    try {
        artgen::art_set set;
        uint32_t images = 0, minSide = 0, maxSide = 0, seed = 1;
        if (cmd == "sample" && argc == 3) {
            set = artgen::make_sample();
        } else if (cmd == "shapes" && argc == 3) {
            set = artgen::make_shapes();
        } else if (cmd == "bulk" && (argc == 6 || argc == 7) && number(argv[3], images) &&
                   number(argv[4], minSide) && number(argv[5], maxSide) && minSide >= 1 &&
                   minSide <= maxSide && maxSide <= 4096 && (argc == 6 || number(argv[6], seed))) {
            set = artgen::make_bulk(images, int(minSide), int(maxSide), seed);
        } else {
            std::fputs(kUsage, stderr);
            return 1;
        }
        const std::string dir = argv[2];
        std::error_code ec;
        std::filesystem::create_directories(dir, ec);
        if (ec) {
            std::fprintf(stderr, "artgen: cannot make the folder %s: %s\n", dir.c_str(),
                         ec.message().c_str());
            return 1;
        }
        artgen::save_file(dir + "/zev_art.prt", artgen::write_prt(set));
        artgen::save_file(dir + "/zev_art.bmp", artgen::write_bmp(set));
        std::printf("wrote %s/zev_art.prt and %s/zev_art.bmp (%zu images, %zu groups)\n",
                    dir.c_str(), dir.c_str(), set.images.size(), set.groups.size());
        return 0;
    } catch (const std::exception &e) {
        std::fprintf(stderr, "artgen: %s\n", e.what());
        return 1;
    }
}
