#include "png_out.h"

#include <cstring>
#include <new>

#ifdef ZEVART_HAVE_LIBDEFLATE
#include <libdeflate.h>
#else
#include <zlib.h>
#endif

namespace {

const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
constexpr int kColourIndexed = 3, kColourRgba = 6;

void put32(uint8_t *p, uint32_t v) {
    p[0] = uint8_t(v >> 24);
    p[1] = uint8_t(v >> 16);
    p[2] = uint8_t(v >> 8);
    p[3] = uint8_t(v);
}

uint32_t crc_of(uint32_t crc, const uint8_t *p, size_t n) {
#ifdef ZEVART_HAVE_LIBDEFLATE
    return libdeflate_crc32(crc, p, n);
#else
    return uint32_t(crc32(crc, p, uInt(n)));
#endif
}

// The zlib stream of `n` bytes appended to `out`. The compressor lives as
// long as its thread, so a picture costs no allocation but its output.
#ifdef ZEVART_HAVE_LIBDEFLATE
bool deflate_into(const uint8_t *in, size_t n, int level, std::vector<uint8_t> &out) {
    struct compressor {
        libdeflate_compressor *c = nullptr;
        int level = -1;
        ~compressor() { libdeflate_free_compressor(c); }
    };
    thread_local compressor k;
    if (k.level != level) {
        libdeflate_free_compressor(k.c);
        k.c = libdeflate_alloc_compressor(level);
        k.level = k.c ? level : -1;
    }
    if (!k.c) return false;
    const size_t at = out.size(), bound = libdeflate_zlib_compress_bound(k.c, n);
    out.resize(at + bound);
    const size_t got = libdeflate_zlib_compress(k.c, in, n, out.data() + at, bound);
    out.resize(at + got);
    return got != 0;
}
#else
bool deflate_into(const uint8_t *in, size_t n, int level, std::vector<uint8_t> &out) {
    struct stream {
        z_stream z{};
        int level = -1;
        ~stream() {
            if (level >= 0) deflateEnd(&z);
        }
    };
    thread_local stream s;
    if (s.level != level) {
        if (s.level >= 0) deflateEnd(&s.z);
        s.z = z_stream{};
        s.level = deflateInit(&s.z, level) == Z_OK ? level : -1;
        if (s.level < 0) return false;
    } else if (deflateReset(&s.z) != Z_OK) {
        return false;
    }
    const size_t at = out.size(), bound = deflateBound(&s.z, uLong(n));
    out.resize(at + bound);
    s.z.next_in = const_cast<Bytef *>(in);
    s.z.avail_in = uInt(n);
    s.z.next_out = out.data() + at;
    s.z.avail_out = uInt(bound);
    const bool ok = deflate(&s.z, Z_FINISH) == Z_STREAM_END;
    out.resize(at + (ok ? s.z.total_out : 0));
    return ok;
}
#endif

// Rows as PNG stores them: a filter byte (0, none) and the row's bytes,
// indexes below 8 bits packed from the most significant bit.
void raw_rows(const uint8_t *px, uint32_t width, uint32_t height, int bitsPerPixel,
              std::vector<uint8_t> &raw) {
    const size_t rowBytes = (size_t(width) * bitsPerPixel + 7) / 8;
    raw.assign((rowBytes + 1) * height, 0);
    uint8_t *dst = raw.data();
    if (bitsPerPixel >= 8) {
        const size_t n = size_t(width) * (bitsPerPixel / 8);
        for (uint32_t y = 0; y < height; ++y, dst += rowBytes + 1, px += n)
            std::memcpy(dst + 1, px, n);
        return;
    }
    const unsigned perByte = 8 / unsigned(bitsPerPixel);
    for (uint32_t y = 0; y < height; ++y, dst += rowBytes + 1)
        for (uint32_t x = 0; x < width; ++x, ++px)
            dst[1 + x / perByte] |= uint8_t(*px << (8 - bitsPerPixel * (1 + x % perByte)));
}

bool encode(const uint8_t *px, uint32_t width, uint32_t height, int bitDepth,
            const std::vector<png_colour> *palette, const png_settings &settings,
            std::vector<uint8_t> &out, std::string &err) {
    if (width == 0 || height == 0) {
        err = "a PNG file needs at least one pixel";
        return false;
    }
    try {
        png_begin(out, width, height, bitDepth, palette);
        // One IDAT, compressed in place behind its length and type.
        const size_t at = out.size();
        out.resize(at + 8);
        if (!png_deflate_rows(px, width, height, palette ? bitDepth : 32, settings, out, err))
            return false;
        const size_t n = out.size() - at - 8;
        put32(&out[at], uint32_t(n));
        std::memcpy(&out[at + 4], "IDAT", 4);
        uint8_t crc[4];
        put32(crc, crc_of(0, &out[at + 4], n + 4));
        out.insert(out.end(), crc, crc + 4);
        png_chunk(out, "IEND", nullptr, 0, nullptr, 0);
    } catch (const std::bad_alloc &) {
        err = "not enough memory for the encoded picture";
        return false;
    }
    return true;
}

} // namespace

void png_chunk(std::vector<uint8_t> &out, const char *type, const uint8_t *head, size_t headSize,
               const uint8_t *body, size_t bodySize) {
    const size_t at = out.size();
    out.resize(at + 12 + headSize + bodySize);
    uint8_t *p = out.data() + at;
    put32(p, uint32_t(headSize + bodySize));
    std::memcpy(p + 4, type, 4);
    if (headSize) std::memcpy(p + 8, head, headSize);
    if (bodySize) std::memcpy(p + 8 + headSize, body, bodySize);
    put32(p + 8 + headSize + bodySize, crc_of(0, p + 4, 4 + headSize + bodySize));
}

void png_begin(std::vector<uint8_t> &out, uint32_t width, uint32_t height, int bitDepth,
               const std::vector<png_colour> *palette) {
    out.insert(out.end(), kSignature, kSignature + 8);
    uint8_t ihdr[13] = {};
    put32(ihdr, width);
    put32(ihdr + 4, height);
    ihdr[8] = uint8_t(palette ? bitDepth : 8);
    ihdr[9] = uint8_t(palette ? kColourIndexed : kColourRgba);
    // Compression, filter method and interlacing: 0, the only ones PNG has
    // (and no interlacing).
    png_chunk(out, "IHDR", nullptr, 0, ihdr, 13);
    if (!palette) return;
    uint8_t plte[768], trns[256];
    size_t trnsCount = 0;
    for (size_t i = 0; i < palette->size(); ++i) {
        const png_colour &c = (*palette)[i];
        plte[3 * i] = c.r, plte[3 * i + 1] = c.g, plte[3 * i + 2] = c.b;
        trns[i] = c.a;
        if (c.a != 255) trnsCount = i + 1; // trailing opaque entries are implied
    }
    png_chunk(out, "PLTE", nullptr, 0, plte, 3 * palette->size());
    if (trnsCount) png_chunk(out, "tRNS", nullptr, 0, trns, trnsCount);
}

bool png_deflate_rows(const uint8_t *px, uint32_t width, uint32_t height, int bitsPerPixel,
                      const png_settings &settings, std::vector<uint8_t> &out, std::string &err) {
    thread_local std::vector<uint8_t> raw; // kept: pictures come one after another
    raw_rows(px, width, height, bitsPerPixel, raw);
    if (!deflate_into(raw.data(), raw.size(), settings.level, out)) {
        err = "PNG compression failed";
        return false;
    }
    return true;
}

bool png_encode_indexed(const indexed_picture &pic, const png_settings &settings,
                        std::vector<uint8_t> &out, std::string &err) {
    const int d = pic.bitDepth;
    if (pic.palette.empty() || pic.palette.size() > 256 ||
        (d != 1 && d != 2 && d != 4 && d != 8) || pic.palette.size() > (size_t(1) << d)) {
        err = "an indexed PNG needs 1 to 2^depth palette entries, at most 256";
        return false;
    }
    return encode(pic.px.data(), pic.width, pic.height, d, &pic.palette, settings, out, err);
}

bool png_encode(const rgba_image &img, const png_settings &settings, std::vector<uint8_t> &out,
                std::string &err) {
    thread_local std::vector<uint8_t> indexes;
    exact_palette palette;
    if (palette.add(img, indexes))
        return encode(indexes.data(), img.width, img.height, palette.bit_depth(),
                      &palette.colours(), settings, out, err);
    return encode(img.px.data(), img.width, img.height, 8, nullptr, settings, out, err);
}

exact_palette::exact_palette() {
    std::memset(index_, 0xFF, sizeof index_);
}

int exact_palette::find(uint32_t rgba) const {
    uint32_t slot = (rgba * 0x9E3779B1u) >> 22; // 10 bits: kSlots
    while (index_[slot] >= 0 && keys_[slot] != rgba) slot = (slot + 1) % kSlots;
    return int(slot);
}

bool exact_palette::add(const rgba_image &img, std::vector<uint8_t> &px) {
    const size_t n = size_t(img.width) * img.height;
    px.resize(n);
    const uint8_t *src = img.px.data();
    uint32_t last = 0;
    int lastIndex = -1; // neighbours mostly share a colour: one compare settles them
    for (size_t i = 0; i < n; ++i, src += 4) {
        uint32_t c;
        std::memcpy(&c, src, 4);
        if (c != last || lastIndex < 0) {
            const int slot = find(c);
            if (index_[slot] < 0) {
                if (colours_.size() == 256) return false;
                index_[slot] = int16_t(colours_.size());
                keys_[slot] = c;
                colours_.push_back({src[0], src[1], src[2], src[3]});
            }
            last = c;
            lastIndex = index_[slot];
        }
        px[i] = uint8_t(lastIndex);
    }
    return true;
}

int exact_palette::bit_depth() const {
    const size_t n = colours_.size();
    return n <= 2 ? 1 : n <= 4 ? 2 : n <= 16 ? 4 : 8;
}
