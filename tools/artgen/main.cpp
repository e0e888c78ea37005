// artgen: writes our own art sets to disk.
//   artgen sample OUTDIR                         the bundled sample set
//   artgen shapes OUTDIR                         a small set of odd shapes
//   artgen bulk OUTDIR IMAGES MINSIDE MAXSIDE [SEED]   a large generated set
#include "sample_art.h"

#include <cstdio>
#include <cstdlib>
#include <exception>
#include <string>

int main(int argc, char **argv) {
    try {
        std::string cmd = argc > 1 ? argv[1] : "";
        artgen::art_set set;
        if (cmd == "sample" && argc == 3) {
            set = artgen::make_sample();
        } else if (cmd == "shapes" && argc == 3) {
            set = artgen::make_shapes();
        } else if (cmd == "bulk" && (argc == 6 || argc == 7)) {
            set = artgen::make_bulk(uint32_t(std::strtoul(argv[3], nullptr, 10)),
                                    std::atoi(argv[4]), std::atoi(argv[5]),
                                    argc == 7 ? uint32_t(std::strtoul(argv[6], nullptr, 10)) : 1);
        } else {
            std::fprintf(stderr, "usage: artgen sample OUTDIR\n"
                                 "       artgen shapes OUTDIR\n"
                                 "       artgen bulk OUTDIR IMAGES MINSIDE MAXSIDE [SEED]\n");
            return 1;
        }
        std::string dir = argv[2];
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
