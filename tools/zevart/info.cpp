// zevart info: what an art set holds, readable at a glance.
#include "commands.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <map>

namespace {

constexpr uint32_t kGroupsListed = 20; // more are summarised unless --all

std::string range(int64_t lo, int64_t hi) {
    return lo == hi ? std::to_string(lo) : std::to_string(lo) + ".." + std::to_string(hi);
}

std::string plural(uint64_t n, const char *word) {
    return std::to_string(n) + " " + word + (n == 1 ? "" : "s");
}

std::string appendix_text(uint32_t n) {
    if (n == 0) return "no appendix";
    return std::to_string(n) + (n == 1 ? " appendix entry" : " appendix entries");
}

void print_palettes(const art_handle &art) {
    std::map<uint32_t, uint32_t, std::greater<uint32_t>> bySize; // colours -> palettes
    for (uint32_t i = 0; i < art.paletteCount; ++i) ++bySize[art.palettes[i].colorCount];
    std::printf("palettes   %u", art.paletteCount);
    const char *sep = ": ";
    for (auto [colours, n] : bySize) {
        std::printf("%s%s of %u colours", sep, std::to_string(n).c_str(), colours);
        sep = ", ";
    }
    std::printf("\n");
}

void print_images(const art_handle &art) {
    struct type_stats {
        uint32_t count = 0, empty = 0;
        int32_t minW = INT32_MAX, maxW = INT32_MIN, minH = INT32_MAX, maxH = INT32_MIN;
    };
    std::map<int, type_stats> byType;
    for (uint32_t i = 0; i < art.imageCount; ++i) {
        const mem_image &im = art.images[i];
        const int32_t w = im.width, h = im.height;
        type_stats &t = byType[im.type];
        ++t.count;
        if (w <= 0 || h <= 0) ++t.empty;
        t.minW = std::min(t.minW, w), t.maxW = std::max(t.maxW, w);
        t.minH = std::min(t.minH, h), t.maxH = std::max(t.maxH, h);
    }
    std::printf("images     %u\n", art.imageCount);
    for (auto &[type, t] : byType) {
        std::printf("  type %-3d %s, %s, %s x %s pixels", type, plural(t.count, "image").c_str(),
                    type == 4 || type == 5 ? "1-bit shadow" : "8-bit",
                    range(t.minW, t.maxW).c_str(), range(t.minH, t.maxH).c_str());
        if (t.empty) std::printf(" (%u draw nothing: width or height not above 0)", t.empty);
        std::printf("\n");
    }
}

void print_groups(art_handle &art, bool all) {
    uint64_t frames = 0;
    uint32_t minF = UINT32_MAX, maxF = 0;
    std::map<uint32_t, uint32_t> byFrames; // frame count -> groups
    for (uint32_t g = 0; g < art.groupCount; ++g) {
        uint32_t n = art.groups[g].frameCount;
        frames += n;
        minF = std::min(minF, n), maxF = std::max(maxF, n);
        ++byFrames[n];
    }
    std::printf("groups     %u", art.groupCount);
    if (art.groupCount)
        std::printf(", %s frame%s each, %llu in all", range(minF, maxF).c_str(),
                    maxF == 1 ? "" : "s", static_cast<unsigned long long>(frames));
    std::printf("\n");
    if (art.groupCount > kGroupsListed && !all) {
        std::printf("  frames per group:");
        for (auto [n, groups] : byFrames)
            std::printf(" %u (%s)", n, plural(groups, "group").c_str());
        std::printf("\n  (zevart info --all lists every group)\n");
        return;
    }
    for (uint32_t g = 0; g < art.groupCount; ++g) {
        mem_group &gr = art.groups[g];
        RECT r;
        gr.getDrawRect(&r);
        char rect[96];
        std::snprintf(rect, sizeof rect, "%d,%d..%d,%d (%lld x %lld)", int(r.left), int(r.top),
                      int(r.right), int(r.bottom),
                      static_cast<long long>(int64_t(r.right) - r.left),
                      static_cast<long long>(int64_t(r.bottom) - r.top));
        std::printf("  group %-4u %-10s  rect %-28s  ext info %-3s  %s\n", g,
                    plural(gr.frameCount, "frame").c_str(), rect, gr.extInfo ? "yes" : "no",
                    appendix_text(gr.appendixCount).c_str());
    }
}

} // namespace

int run_info(const info_options &o) {
    art_handle art;
    if (!load_or_explain(o.bmp.c_str(), o.prt.c_str(), art)) return EXIT_LOAD;
    std::printf("art set    %s\n           %s\n", o.prt.c_str(), o.bmp.c_str());
    print_palettes(art);
    print_images(art);
    uint32_t emptyFrames = 0;
    for (uint32_t f = 0; f < art.frameCount; ++f) emptyFrames += art.frames[f].picCount == 0;
    std::printf("pictures   %u\n", art.picCount);
    std::printf("frames     %u", art.frameCount);
    if (emptyFrames) std::printf(" (%u without pictures)", emptyFrames);
    std::printf("\next info   %u\n", art.extInfoCount);
    print_groups(art, o.allGroups);
    if (std::fflush(stdout) != 0 || std::ferror(stdout)) {
        print_error(std::string("cannot write standard output: ") +
                    (errno ? std::strerror(errno) : "write error"));
        return EXIT_SOME_FAILED;
    }
    return EXIT_OK;
}
