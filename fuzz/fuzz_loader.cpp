// Fuzzes the loader with both files mutated. Whatever loads must be a sound
// set: every pointer inside its own tables, every pixel block readable.
#include "art_set.h"
#include "fuzz_input.h"

#include <cstdlib>

namespace {

void check(bool ok) {
    if (!ok) std::abort();
}

template <typename T> bool in_table(const T *p, const T *table, uint32_t count) {
    return p >= table && p < table + count;
}

void check_set(const art_handle &h) {
    volatile uint8_t sink = 0;
    for (uint32_t i = 0; i < h.imageCount; ++i) {
        const mem_image &im = h.images[i];
        check(in_table<mem_palette>(im.palette, h.palettes, h.paletteCount));
        int64_t rows = im.height < 0 ? -int64_t(im.height) : im.height;
        int64_t bytes = im.type == 4 || im.type == 5
                            ? rows * 4 * (((int64_t(im.width) - 1) >> 5) + 1)
                            : rows * im.rowBytes;
        for (int64_t b = 0; b < bytes; b += 512) sink = sink + im.pixels[b];
        if (bytes > 0) sink = sink + im.pixels[bytes - 1];
    }
    for (uint32_t p = 0; p < h.paletteCount; ++p)
        if (h.palettes[p].colorCount)
            sink = sink + h.palettes[p].colors[h.palettes[p].colorCount - 1].rgbRed;
    for (uint32_t g = 0; g < h.groupCount; ++g) {
        const mem_group &gr = h.groups[g];
        check(gr.appendixCount <= 2);
        for (uint32_t f = 0; f < gr.frameCount; ++f) {
            const mem_frame &fr = gr.frames[f];
            check(in_table<mem_frame>(&fr, h.frames, h.frameCount));
            if (gr.extInfo)
                check(in_table<mem_ext_info>(gr.extInfo + f, h.extInfos, h.extInfoCount));
            mem_pic *run = fr.pics;
            for (uint16_t k = 0; k < fr.picCount; ++k) {
                check(in_table<mem_pic>(run + k, h.pics, h.picCount));
                check(in_table<mem_image>(run[k].image, h.images, h.imageCount));
            }
        }
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    fuzz_files f = split_fuzz_input(data, size);
    memory_source prt(f.prt, f.prtSize), bmp(f.bmp, f.bmpSize);
    art_handle h;
    int code = load_art(&h, "fuzz.bmp", "fuzz.prt", &bmp, &prt);
    if (code == ART_OK) {
        check(h.loadState == ART_LOADED);
        check_set(h);
    } else {
        check(h.loadState == ART_FAILED && h.images == nullptr && h.groups == nullptr);
        check(code == ART_ERR_MAGIC || code == ART_ERR_PALETTE || code == ART_ERR_FORMAT ||
              code == ART_ERR_BITMAP || code == ART_ERR_MEMORY);
    }
    CloseArt(&h);
    return 0;
}
