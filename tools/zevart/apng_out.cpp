#include "apng_out.h"

#include <new>

namespace {

void put32(uint8_t *p, uint32_t v) {
    p[0] = uint8_t(v >> 24);
    p[1] = uint8_t(v >> 16);
    p[2] = uint8_t(v >> 8);
    p[3] = uint8_t(v);
}

bool encode_frames(frame_source &frames, uint32_t delayMs, const png_settings &settings,
                   std::vector<uint8_t> &out, std::string &err) {
    const uint32_t count = frames.count();
    const rgba_image &first = frames.frame(0);
    const uint32_t width = first.width, height = first.height;
    // One palette for all frames where they have at most 256 colours.
    exact_palette palette;
    std::vector<std::vector<uint8_t>> indexes(count);
    bool indexed = true;
    for (uint32_t i = 0; i < count && indexed; ++i) {
        const rgba_image &img = frames.frame(i);
        if (img.width != width || img.height != height) {
            err = "the frames of an animation differ in size";
            return false;
        }
        indexed = palette.add(img, indexes[i]);
    }
    if (!indexed) indexes.clear();
    const int depth = indexed ? palette.bit_depth() : 8;
    png_begin(out, width, height, depth, indexed ? &palette.colours() : nullptr);
    uint8_t actl[8];
    put32(actl, count);
    put32(actl + 4, 0); // loop forever
    png_chunk(out, "acTL", nullptr, 0, actl, 8);
    uint32_t sequence = 0;
    std::vector<uint8_t> data;
    for (uint32_t i = 0; i < count; ++i) {
        uint8_t fctl[26] = {};
        put32(fctl, sequence++);
        put32(fctl + 4, width);
        put32(fctl + 8, height);
        // x and y offsets 0: every frame covers the whole canvas.
        fctl[20] = uint8_t(delayMs >> 8), fctl[21] = uint8_t(delayMs);  // delay numerator
        fctl[22] = uint8_t(1000 >> 8), fctl[23] = uint8_t(1000 & 0xFF); // per 1000: milliseconds
        fctl[24] = 0;                                                   // dispose: none
        fctl[25] = 0;                                                   // blend: source
        png_chunk(out, "fcTL", nullptr, 0, fctl, 26);
        data.clear();
        const bool ok =
            indexed ? png_deflate_rows(indexes[i].data(), width, height, depth, settings, data, err)
                    : png_deflate_rows(frames.frame(i).px.data(), width, height, 32, settings,
                                       data, err);
        if (!ok) return false;
        uint8_t seq[4];
        put32(seq, sequence);
        if (i == 0)
            png_chunk(out, "IDAT", nullptr, 0, data.data(), data.size());
        else
            png_chunk(out, "fdAT", seq, 4, data.data(), data.size()), ++sequence;
    }
    png_chunk(out, "IEND", nullptr, 0, nullptr, 0);
    return true;
}

} // namespace

bool apng_encode(frame_source &frames, uint32_t delayMs, const png_settings &settings,
                 std::vector<uint8_t> &out, std::string &err) {
    if (frames.count() == 0) {
        err = "an animation needs a frame";
        return false;
    }
    try {
        return encode_frames(frames, delayMs, settings, out, err);
    } catch (const std::bad_alloc &) {
        err = "not enough memory for the animation";
        return false;
    }
}

bool write_apng(FILE *out, frame_source &frames, uint32_t delayMs, const png_settings &settings,
                std::string &err) {
    std::vector<uint8_t> bytes;
    if (!apng_encode(frames, delayMs, settings, bytes, err)) return false;
    if (std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size()) return true;
    err = "cannot write the animation";
    return false;
}
