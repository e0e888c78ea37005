// Writes the fuzzers' seed corpus from our own art sets.
#include "fuzz_input.h"
#include "sample_art.h"

#include <cstdio>
#include <string>

int main(int argc, char **argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_seeds DIR\n");
        return 1;
    }
    std::string dir = argv[1];
    auto save = [&](const char *name, const artgen::art_set &set) {
        artgen::save_file(dir + "/" + name,
                          join_fuzz_input(artgen::write_prt(set), artgen::write_bmp(set)));
    };
    save("sample", artgen::make_sample());
    save("bulk", artgen::make_bulk(12, 1, 40, 7));

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
    save("small", small);
    return 0;
}
