#include "artset_writer.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <iterator>
#include <stdexcept>

namespace artgen {
namespace {

class sink {
public:
    std::vector<uint8_t> bytes;
    void u8(uint8_t v) { bytes.push_back(v); }
    void u16(uint16_t v) {
        u8(uint8_t(v));
        u8(uint8_t(v >> 8));
    }
    void u32(uint32_t v) {
        u16(uint16_t(v));
        u16(uint16_t(v >> 16));
    }
    void raw(const void *p, size_t n) {
        auto *b = static_cast<const uint8_t *>(p);
        bytes.insert(bytes.end(), b, b + n);
    }
};

bool has_ext(const frame &f) {
    return f.ext1 || f.ext2;
}

bool group_has_ext(const group &g) {
    return std::any_of(g.frames.begin(), g.frames.end(), has_ext);
}

// Offsets of every image's block in the pixel area.
std::vector<uint32_t> block_offsets(const art_set &set) {
    std::vector<uint32_t> offsets;
    uint32_t next = 0;
    for (const image &im : set.images) {
        uint32_t at = im.offset.value_or(next);
        offsets.push_back(at);
        next = std::max(next, at + uint32_t(im.pixels.size()));
    }
    return offsets;
}

} // namespace

uint32_t art_set::frame_count() const {
    uint32_t n = 0;
    for (const group &g : groups) n += uint32_t(g.frames.size());
    return n;
}

uint32_t art_set::picture_count() const {
    uint32_t n = 0;
    for (const group &g : groups)
        for (const frame &f : g.frames) n += uint32_t(f.pics.size());
    return n;
}

uint32_t art_set::ext_info_count() const {
    uint32_t n = 0;
    for (const group &g : groups)
        if (group_has_ext(g)) n += uint32_t(g.frames.size());
    return n;
}

int32_t mask_row_bytes(int32_t w) {
    return ((w - 1) / 32 + 1) * 4;
}

image image8(int32_t w, int32_t h, uint16_t palette, std::vector<uint8_t> pixels,
             int32_t rowBytes) {
    image im;
    im.width = w;
    im.height = h;
    im.rowBytes = rowBytes ? rowBytes : w;
    im.palette = palette;
    im.pixels = std::move(pixels);
    if (im.pixels.size() != size_t(im.rowBytes) * size_t(h))
        throw std::invalid_argument("image8: pixel count does not match rowBytes x height");
    return im;
}

image mask1(int32_t w, int32_t h, const std::vector<uint8_t> &bits) {
    if (bits.size() != size_t(w) * size_t(h)) throw std::invalid_argument("mask1: size");
    image im;
    im.width = w;
    im.height = h;
    im.type = 4;
    int32_t row = mask_row_bytes(w);
    im.pixels.assign(size_t(row) * size_t(h), 0);
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
            if (bits[size_t(y) * w + x])
                im.pixels[size_t(y) * row + x / 8] |= uint8_t(0x80 >> (x % 8));
    return im;
}

std::vector<uint8_t> write_prt(const art_set &set) {
    sink s;
    s.raw("CPAL", 4);
    s.u32(set.paletteCountField.value_or(uint32_t(set.palettes.size())));
    for (const palette &p : set.palettes) {
        s.raw(p.skipped.data(), p.skipped.size());
        s.u32(p.sizeField.value_or(uint32_t(p.data.size())));
        s.raw(p.data.data(), p.data.size());
    }

    std::vector<uint32_t> offsets = block_offsets(set);
    s.u32(set.imageCountField.value_or(uint32_t(set.images.size())));
    for (size_t i = 0; i < set.images.size(); ++i) {
        const image &im = set.images[i];
        s.u32(uint32_t(im.rowBytes));
        s.u32(offsets[i]);
        s.u32(uint32_t(im.height));
        s.u32(uint32_t(im.width));
        s.u16(uint16_t(im.type));
        s.u16(im.palette);
    }

    s.u32(set.groupCountField.value_or(uint32_t(set.groups.size())));
    s.u32(set.frameCountField.value_or(set.frame_count()));
    s.u32(set.picCountField.value_or(set.picture_count()));
    s.u32(set.extInfoCountField.value_or(set.ext_info_count()));
    for (const group &g : set.groups) {
        for (uint32_t w : g.header) s.u32(w);
        s.u32(g.frameCountField.value_or(uint32_t(g.frames.size())));
        for (const frame &f : g.frames) {
            uint8_t count = f.countField.value_or(uint8_t(f.pics.size())) & 0x7F;
            s.u8(uint8_t(count | (f.ext1 ? 0x80 : 0)));
            s.u8(uint8_t((f.flagLowBits & 0x7F) | (f.ext2 ? 0x80 : 0)));
            if (f.ext1) s.raw(f.ext1->data(), 2);
            if (f.ext2) s.raw(f.ext2->data(), 2);
            for (const picture &p : f.pics) {
                s.u16(p.image);
                s.u8(p.spare);
                s.u8(p.slot);
                s.u16(uint16_t(p.x));
                s.u16(uint16_t(p.y));
            }
        }
        s.u32(g.appendixCountField.value_or(uint32_t(g.appendix.size())));
        for (const auto &entry : g.appendix)
            for (uint32_t w : entry) s.u32(w);
    }
    s.raw(set.trailing.data(), set.trailing.size());
    return std::move(s.bytes);
}

std::vector<uint8_t> write_bmp(const art_set &set) {
    std::vector<uint32_t> offsets = block_offsets(set);
    size_t area = 0;
    for (size_t i = 0; i < set.images.size(); ++i)
        area = std::max(area, size_t(offsets[i]) + set.images[i].pixels.size());

    // Shape the area as an 8-bit image so ordinary viewers can open the file.
    const uint32_t width = 1024;
    uint32_t height = uint32_t((area + width - 1) / width);
    if (height == 0) height = 1;
    size_t pixelBytes = size_t(width) * height;

    sink s;
    s.raw("BM", 2);
    s.u32(uint32_t(kBitmapPixelOffset + pixelBytes));
    s.u32(0);
    s.u32(kBitmapPixelOffset);
    s.u32(40);
    s.u32(width);
    s.u32(uint32_t(-int32_t(height))); // top-down: blocks read in file order
    s.u16(1);
    s.u16(8);
    s.u32(0);
    s.u32(uint32_t(pixelBytes));
    s.u32(2835);
    s.u32(2835);
    s.u32(256);
    s.u32(0);
    for (uint32_t c = 0; c < 256; ++c) s.u32(c * 0x010101u);
    s.bytes.resize(kBitmapPixelOffset + pixelBytes, 0);
    for (size_t i = 0; i < set.images.size(); ++i)
        std::copy(set.images[i].pixels.begin(), set.images[i].pixels.end(),
                  s.bytes.begin() + kBitmapPixelOffset + offsets[i]);
    return std::move(s.bytes);
}

void save_file(const std::string &path, const std::vector<uint8_t> &bytes) {
    FILE *out = std::fopen(path.c_str(), "wb");
    if (!out) throw std::runtime_error("cannot write " + path + ": " + std::strerror(errno));
    const bool written = std::fwrite(bytes.data(), 1, bytes.size(), out) == bytes.size();
    const int error = errno;
    if (std::fclose(out) != 0 || !written) {
        std::remove(path.c_str());
        throw std::runtime_error("cannot write " + path + ": " +
                                 std::strerror(written ? errno : error));
    }
}

std::vector<uint8_t> load_file(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) throw std::runtime_error("cannot read " + path);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

} // namespace artgen
