// The loader check: both files of a set taken from one input.
#include "art_set.h"
#include "fuzz_checks.h"
#include "fuzz_input.h"

namespace {

template <typename T> bool in_table(const T *p, const T *table, uint32_t count) {
    return p >= table && p < table + count;
}

std::string at(const char *what, uint32_t index) {
    return std::string(what) + " " + std::to_string(index);
}

// Every pointer of a loaded set inside its own tables, every pixel block and
// colour block readable to its last byte (AddressSanitizer watches the reads).
std::string check_set(const art_handle &h) {
    volatile uint8_t sink = 0;
    for (uint32_t i = 0; i < h.imageCount; ++i) {
        const mem_image &im = h.images[i];
        if (!in_table<mem_palette>(im.palette, h.palettes, h.paletteCount))
            return at("palette outside its table: image", i);
        const int64_t rows = im.height < 0 ? -int64_t(im.height) : im.height;
        const int64_t bytes = im.type == 4 || im.type == 5
                                  ? rows * 4 * (((int64_t(im.width) - 1) >> 5) + 1)
                                  : rows * im.rowBytes;
        if (bytes > 0 && !im.pixels) return at("no pixel block: image", i);
        if (im.type != 4 && im.type != 5 && im.height > 0 && im.width > 0 && im.rowBytes < im.width)
            return at("rows shorter than the width: image", i);
        for (int64_t b = 0; b < bytes; b += 512) sink = sink + im.pixels[b];
        if (bytes > 0) sink = sink + im.pixels[bytes - 1];
    }
    for (uint32_t p = 0; p < h.paletteCount; ++p) {
        if (h.palettes[p].colorCount >= 65536) return at("65 536 colours or more: palette", p);
        if (h.palettes[p].colorCount)
            sink = sink + h.palettes[p].colors[h.palettes[p].colorCount - 1].rgbRed;
    }
    for (uint32_t g = 0; g < h.groupCount; ++g) {
        const mem_group &gr = h.groups[g];
        if (gr.appendixCount > 2) return at("more than 2 appendix entries: group", g);
        for (uint32_t f = 0; f < gr.frameCount; ++f) {
            const mem_frame &fr = gr.frames[f];
            if (!in_table<mem_frame>(&fr, h.frames, h.frameCount))
                return at("frame outside its table: group", g);
            if (gr.extInfo && !in_table<mem_ext_info>(gr.extInfo + f, h.extInfos, h.extInfoCount))
                return at("extended info outside its table: group", g);
            mem_pic *run = fr.pics;
            for (uint16_t k = 0; k < fr.picCount; ++k) {
                if (!in_table<mem_pic>(run + k, h.pics, h.picCount))
                    return at("picture outside its table: group", g);
                if (!in_table<mem_image>(run[k].image, h.images, h.imageCount))
                    return at("picture without a sound image: group", g);
            }
        }
    }
    // Frames no group reaches are empty.
    for (uint32_t f = 0; f < h.frameCount; ++f)
        if (h.frames[f].picCount > 127) return at("more than 127 pictures: frame", f);
    return "";
}

bool documented(int code) {
    return code == ART_ERR_MAGIC || code == ART_ERR_PALETTE || code == ART_ERR_FORMAT ||
           code == ART_ERR_BITMAP || code == ART_ERR_MEMORY;
}

} // namespace

std::string check_load(art_handle &h, const uint8_t *prtData, size_t prtSize,
                       const uint8_t *bmpData, size_t bmpSize, int *codeOut,
                       const surface_choice *draws, load_report *reportOut) {
    memory_source prt(prtData, prtSize), bmp(bmpData, bmpSize);
    const int code = load_art(&h, "fuzz.bmp", "fuzz.prt", &bmp, &prt);
    if (codeOut) *codeOut = code;
    load_report told;
    told.code = get_loadError(&h, told.reason, sizeof told.reason, &told.offset);
    if (reportOut) *reportOut = told;
    const bool reasoned = told.reason[0] != '\0';
    std::string fault;
    if (told.code != code || reasoned == (code == ART_OK) || told.offset < -1) {
        fault = "get_loadError gave " + std::to_string(told.code) + " (\"" + told.reason +
                "\") for a load of code " + std::to_string(code);
    } else if (code == ART_OK) {
        fault = h.loadState != ART_LOADED ? "loaded but not ART_LOADED" : check_set(h);
        if (fault.empty() && draws) fault = check_set_draws(h, *draws);
    } else if (!documented(code)) {
        fault = "undocumented load code " + std::to_string(code);
    } else if (h.loadState != ART_FAILED || h.images || h.groups || h.palettes || h.bmpFileName) {
        fault = "a failed load left the handle holding something";
    } else if (load_art(&h, "fuzz.bmp", "fuzz.prt", &bmp, &prt) != ART_ERR_NOT_EMPTY) {
        fault = "a failed handle took another load before it was closed";
    } else if (get_loadError(&h, nullptr, 0, nullptr) != code) {
        fault = "a refused load changed the report of the failed one";
    }
    if (CloseArt(&h) != 1 || h.loadState != ART_EMPTY)
        fault += " (closing left the handle not empty)";
    if (get_loadError(&h, nullptr, 0, nullptr) != -1) fault += " (closing kept the load's report)";
    return fault;
}

std::string check_loader_input(const uint8_t *data, size_t size, int *code) {
    const fuzz_files f = split_fuzz_input(data, size);
    art_handle h;
    return check_load(h, f.prt, f.prtSize, f.bmp, f.bmpSize, code);
}
