// zevart: command-line access to art sets.
//   zevart info BMP PRT     counts, palettes, images and groups at a glance
#include "art_handle.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <map>

namespace {

const char *load_error_text(int code) {
    switch (code) {
    case ART_ERR_MAGIC:
        return "the art-structure file cannot be read or does not start with \"CPAL\"";
    case ART_ERR_PALETTE:
        return "a palette's colour data is shorter than its size says";
    case ART_ERR_FORMAT:
        return "the art-structure file is truncated or inconsistent";
    case ART_ERR_BITMAP:
        return "the bitmap file cannot be read or lacks a pixel block";
    case ART_ERR_MEMORY:
        return "not enough memory for the art set";
    default:
        return "unknown failure";
    }
}

int info(const char *bmp, const char *prt) {
    art_handle art;
    int code = LoadArtFromFile(bmp, prt, &art);
    if (code != ART_OK) {
        std::fprintf(stderr, "zevart: cannot load %s with %s: %s (code %d)\n", prt, bmp,
                     load_error_text(code), code);
        return 2;
    }
    std::printf("art set   %s\n          %s\n", prt, bmp);
    std::printf("palettes  %u\n", art.paletteCount);
    for (uint32_t i = 0; i < art.paletteCount; ++i)
        std::printf("  palette %u: %u colours\n", i, art.palettes[i].colorCount);

    std::printf("images    %u\n", art.imageCount);
    std::map<int, std::pair<uint32_t, uint64_t>> byType; // type -> count, pixel bytes
    int32_t minW = INT32_MAX, maxW = INT32_MIN, minH = INT32_MAX, maxH = INT32_MIN;
    for (uint32_t i = 0; i < art.imageCount; ++i) {
        const mem_image &im = art.images[i];
        auto &t = byType[im.type];
        ++t.first;
        minW = std::min(minW, im.width), maxW = std::max(maxW, im.width);
        minH = std::min(minH, im.height), maxH = std::max(maxH, im.height);
    }
    for (auto &[type, t] : byType)
        std::printf("  type %d (%s): %u\n", type, type == 4 || type == 5 ? "1-bit shadow" : "8-bit",
                    t.first);
    if (art.imageCount) std::printf("  sizes %d..%d x %d..%d pixels\n", minW, maxW, minH, maxH);

    std::printf("pictures  %u\nframes    %u\next info  %u\ngroups    %u\n", art.picCount,
                art.frameCount, art.extInfoCount, art.groupCount);
    for (uint32_t g = 0; g < art.groupCount; ++g) {
        const mem_group &gr = art.groups[g];
        std::printf("  group %u: %u frame%s, ext info %s, appendix entries %u\n", g, gr.frameCount,
                    gr.frameCount == 1 ? "" : "s", gr.extInfo ? "yes" : "no", gr.appendixCount);
    }
    return 0;
}

void usage(FILE *to) {
    std::fprintf(to, "usage: zevart info BMP PRT\n");
}

} // namespace

int main(int argc, char **argv) {
    if (argc == 4 && std::strcmp(argv[1], "info") == 0) return info(argv[2], argv[3]);
    if (argc == 2 && std::strcmp(argv[1], "--help") == 0) {
        usage(stdout);
        return 0;
    }
    usage(stderr);
    return 1;
}
