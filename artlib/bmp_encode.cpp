// Windows bitmap files ("BM") from pixels in memory, byte by byte.
//
// Every size is worked out and checked before the first byte goes out: a
// header whose sizes would take the writer beyond the caller's buffers, or
// whose file would not fit the 32-bit size field, is refused and nothing is
// written. Headers are encoded field by field, little-endian, so every build
// writes the same bytes; the caller's BITMAPINFO is only read.
#include "bmp_encode.h"
#include "blitter.h"

#include <stdint.h>
#include <string.h>

#include <new>

namespace {

const uint64_t kMaxFileSize = 0xFFFFFFFFu; // what the file header's size field holds
const uint32_t kHeadersSize = 14 + 40;     // file header and info header

static_assert(sizeof(RGBQUAD) == 4, "colour entries are written as they lie in memory");

void put16(uint8_t *p, uint32_t v) {
    p[0] = static_cast<uint8_t>(v);
    p[1] = static_cast<uint8_t>(v >> 8);
}

void put32(uint8_t *p, uint32_t v) {
    put16(p, v);
    put16(p + 2, v >> 16);
}

void put_file_header(uint8_t *out, uint32_t fileSize, uint32_t pixelOffset) {
    out[0] = 'B';
    out[1] = 'M';
    put32(out + 2, fileSize);
    put32(out + 6, 0); // two reserved words
    put32(out + 10, pixelOffset);
}

// The caller's info header with the bit count given.
void put_info_header(uint8_t *out, const BITMAPINFOHEADER &h, uint16_t bitCount) {
    put32(out + 0, h.biSize);
    put32(out + 4, static_cast<uint32_t>(h.biWidth));
    put32(out + 8, static_cast<uint32_t>(h.biHeight));
    put16(out + 12, h.biPlanes);
    put16(out + 14, bitCount);
    put32(out + 16, h.biCompression);
    put32(out + 20, h.biSizeImage);
    put32(out + 24, static_cast<uint32_t>(h.biXPelsPerMeter));
    put32(out + 28, static_cast<uint32_t>(h.biYPelsPerMeter));
    put32(out + 32, h.biClrUsed);
    put32(out + 36, h.biClrImportant);
}

void put_color(uint8_t *out, const RGBQUAD &c) {
    out[0] = c.rgbBlue;
    out[1] = c.rgbGreen;
    out[2] = c.rgbRed;
    out[3] = c.rgbReserved;
}

// |height|, also for the most negative height.
uint64_t row_count(LONG height) {
    return height < 0 ? static_cast<uint64_t>(-static_cast<int64_t>(height))
                      : static_cast<uint64_t>(height);
}

// Pixel conversions. Source pixels are B, G, R (24-bit) or B, G, R, X (32-bit).
typedef void (*convert_fn)(const uint8_t *src, uint8_t *dst, size_t count);

template <size_t Bytes> void copy_pixels(const uint8_t *src, uint8_t *dst, size_t count) {
    memcpy(dst, src, count * Bytes);
}

// Pixels as 32-bit words, where the byte order lets two pixels be packed
// into one word with shifts; any other order goes byte by byte.
const bool kLittleEndian = __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__;

// The most used conversion (the viewer saves 24-bit files) has faster forms:
// blitter.h hands out the best this processor runs.
void bgrx_to_bgr(const uint8_t *src, uint8_t *dst, size_t count) {
    blitter().bgrx_to_bgr(src, dst, count);
}

void bgr_to_bgrx(const uint8_t *src, uint8_t *dst, size_t count) {
    for (; count; --count, src += 3, dst += 4) {
        dst[0] = src[0];
        dst[1] = src[1];
        dst[2] = src[2];
        dst[3] = 0;
    }
}

// 5-5-5, bit 15 clear: each channel keeps its top five bits.
uint32_t word_555(uint32_t b, uint32_t g, uint32_t r) {
    return (r >> 3) << 10 | (g >> 3) << 5 | b >> 3;
}

template <size_t SrcBytes> void to_555(const uint8_t *src, uint8_t *dst, size_t count) {
    if (kLittleEndian && SrcBytes == 4)
        for (; count >= 2; count -= 2, src += 8, dst += 4) {
            const uint32_t p0 = load32(src), p1 = load32(src + 4);
            const uint32_t w0 = (p0 >> 9 & 0x7C00) | (p0 >> 6 & 0x03E0) | (p0 >> 3 & 0x001F);
            const uint32_t w1 = (p1 >> 9 & 0x7C00) | (p1 >> 6 & 0x03E0) | (p1 >> 3 & 0x001F);
            store32(dst, w0 | w1 << 16);
        }
    for (; count; --count, src += SrcBytes, dst += 2) put16(dst, word_555(src[0], src[1], src[2]));
}

struct conversion {
    uint16_t source, target; // bits per pixel
    convert_fn convert;
};

const conversion kConversions[] = {
    {32, 32, copy_pixels<4>}, {32, 24, bgrx_to_bgr}, {32, 16, to_555<4>},
    {24, 24, copy_pixels<3>}, {24, 32, bgr_to_bgrx}, {24, 16, to_555<3>},
    {16, 16, copy_pixels<2>},
};

// Null for a pair the writer doesn't convert. Target 0 means the source depth.
const conversion *find_conversion(uint16_t source, int32_t target) {
    if (target == 0) target = source;
    for (const conversion &c : kConversions)
        if (c.source == source && c.target == target) return &c;
    return nullptr;
}

// Converts `rows` rows of `width` pixels, each stored row followed by `pad`
// zero bytes, through a fixed buffer: no allocation, no write per pixel.
bool write_rows(byte_out &sink, const uint8_t *src, const conversion &conv, size_t width,
                uint64_t rows, size_t pad) {
    const size_t inBytes = conv.source / 8, outBytes = conv.target / 8;
    // Rows stored as they lie, with nothing between them: one write.
    if (conv.source == conv.target && pad == 0)
        return sink.write(src, static_cast<size_t>(rows * width * inBytes));
    // A 3 MB file in 24 writes: each write costs a system call, and with
    // 32 KiB the 96 calls were half of what the writer added to the bare
    // write of the file. WebAssembly's whole stack is 64 KiB.
#ifdef __wasm__
    uint8_t chunk[32768];
#else
    uint8_t chunk[131072];
#endif
    size_t used = 0;
    auto flush = [&] {
        bool ok = sink.write(chunk, used);
        used = 0;
        return ok;
    };
    for (uint64_t row = 0; row < rows; ++row) {
        for (size_t left = width; left;) {
            size_t room = (sizeof chunk - used) / outBytes;
            if (room == 0) {
                if (!flush()) return false;
                continue;
            }
            size_t n = left < room ? left : room;
            conv.convert(src, chunk + used, n);
            src += n * inBytes;
            used += n * outBytes;
            left -= n;
        }
        if (sizeof chunk - used < pad && !flush()) return false;
        memset(chunk + used, 0, pad);
        used += pad;
    }
    return flush();
}

// The 8- and 1-bit files: header, biClrUsed colours, then the caller's pixel
// bytes as they are.
bool encode_indexed(byte_out &out, const void *pixels, const BITMAPINFO *info,
                    const RGBQUAD *colors, uint64_t pixelBytes) {
    const uint64_t colorCount = info->bmiHeader.biClrUsed;
    const uint64_t pixelOffset = kHeadersSize + 4 * colorCount;
    if (pixelOffset + pixelBytes > kMaxFileSize) return false;
    if ((!colors && colorCount) || (!pixels && pixelBytes)) return false;

    uint8_t head[kHeadersSize];
    put_file_header(head, static_cast<uint32_t>(pixelOffset + pixelBytes),
                    static_cast<uint32_t>(pixelOffset));
    put_info_header(head + 14, info->bmiHeader, info->bmiHeader.biBitCount);
    return out.write(head, sizeof head) && out.write(colors, static_cast<size_t>(4 * colorCount)) &&
           out.write(pixels, static_cast<size_t>(pixelBytes));
}

} // namespace

bool memory_out::write(const void *data, size_t n) {
    if (n == 0) return true;
    const uint8_t *p = static_cast<const uint8_t *>(data);
    try {
        bytes.insert(bytes.end(), p, p + n);
    } catch (const std::bad_alloc &) {
        return false;
    }
    return true;
}

bool encode_dib(byte_out &out, const void *pixels, const BITMAPINFO *info, int32_t depth) {
    if (!info) return false;
    const BITMAPINFOHEADER &h = info->bmiHeader;
    const conversion *conv = find_conversion(h.biBitCount, depth);
    if (!conv || h.biWidth < 0) return false;

    const uint64_t width = static_cast<uint64_t>(h.biWidth), rows = row_count(h.biHeight);
    const uint64_t rowIn = width * (conv->source / 8);
    const uint64_t rowPixels = width * (conv->target / 8);
    const uint64_t rowOut = (rowPixels + 3) / 4 * 4;
    const uint32_t pixelOffset = kHeadersSize + 4; // behind a copy of bmiColors[0]
    if (rows && (rowOut > (kMaxFileSize - pixelOffset) / rows || rowIn > SIZE_MAX / rows))
        return false;
    if (!pixels && rows * rowIn != 0) return false;

    uint8_t head[pixelOffset];
    put_file_header(head, static_cast<uint32_t>(pixelOffset + rows * rowOut), pixelOffset);
    put_info_header(head + 14, h, conv->target);
    put_color(head + kHeadersSize, info->bmiColors[0]);
    // Rows of no bytes (width 0) are not walked: there may be 2^31 of them.
    const uint64_t storedRows = rowOut ? rows : 0;
    return out.write(head, sizeof head) &&
           write_rows(out, static_cast<const uint8_t *>(pixels), *conv, static_cast<size_t>(width),
                      storedRows, static_cast<size_t>(rowOut - rowPixels));
}

bool encode_dib8(byte_out &out, const void *pixels, const BITMAPINFO *info, const RGBQUAD *colors) {
    if (!info) return false;
    return encode_indexed(out, pixels, info, colors, info->bmiHeader.biSizeImage);
}

bool encode_dib1(byte_out &out, const void *pixels, const BITMAPINFO *info, const RGBQUAD *colors) {
    if (!info || info->bmiHeader.biWidth < 0) return false;
    // One 32-bit word for every 32 pixels or part of 32 in each row.
    const uint64_t words = (static_cast<uint64_t>(info->bmiHeader.biWidth) + 31) / 32;
    return encode_indexed(out, pixels, info, colors,
                          row_count(info->bmiHeader.biHeight) * 4 * words);
}
