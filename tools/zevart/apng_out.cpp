#include "apng_out.h"

#include <zlib.h>

#include <cstring>

namespace {

const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

struct chunk {
    char type[5];
    const uint8_t *data;
    uint32_t size;
};

uint32_t get32(const uint8_t *p) {
    return uint32_t(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3];
}

void put32(uint8_t *p, uint32_t v) {
    p[0] = uint8_t(v >> 24);
    p[1] = uint8_t(v >> 16);
    p[2] = uint8_t(v >> 8);
    p[3] = uint8_t(v);
}

// The chunks of a PNG file as libpng wrote it; false if it is not one.
bool split_chunks(const std::vector<uint8_t> &png, std::vector<chunk> &out) {
    out.clear();
    if (png.size() < 8 || std::memcmp(png.data(), kSignature, 8) != 0) return false;
    for (size_t at = 8; at < png.size();) {
        if (png.size() - at < 12) return false;
        chunk c;
        c.size = get32(&png[at]);
        if (c.size > png.size() - at - 12) return false;
        std::memcpy(c.type, &png[at + 4], 4);
        c.type[4] = 0;
        c.data = &png[at + 8];
        out.push_back(c);
        at += 12 + size_t(c.size);
    }
    return true;
}

// Writes one chunk whose data is `head` (may be empty) followed by `body`.
bool put_chunk(FILE *out, const char *type, const uint8_t *head, uint32_t headSize,
               const uint8_t *body, uint32_t bodySize) {
    uint8_t len[4], crc[4];
    put32(len, headSize + bodySize);
    uLong sum = crc32(0, reinterpret_cast<const Bytef *>(type), 4);
    if (headSize) sum = crc32(sum, head, headSize);
    if (bodySize) sum = crc32(sum, body, bodySize);
    put32(crc, uint32_t(sum));
    return std::fwrite(len, 1, 4, out) == 4 && std::fwrite(type, 1, 4, out) == 4 &&
           (!headSize || std::fwrite(head, 1, headSize, out) == headSize) &&
           (!bodySize || std::fwrite(body, 1, bodySize, out) == bodySize) &&
           std::fwrite(crc, 1, 4, out) == 4;
}

} // namespace

bool write_apng(FILE *out, frame_source &frames, uint32_t delayMs, const png_settings &settings,
                std::string &err) {
    const uint32_t count = frames.count();
    if (count == 0) {
        err = "an animation needs a frame";
        return false;
    }
    std::vector<uint8_t> png;
    std::vector<chunk> chunks;
    std::vector<uint8_t> ihdr; // frame 0's; every frame must agree with it
    uint32_t sequence = 0;
    bool ok = true;
    for (uint32_t i = 0; i < count && ok; ++i) {
        const rgba_image &img = frames.frame(i);
        png.clear();
        if (!png_encode(img, settings, png, err)) return false;
        if (!split_chunks(png, chunks) || chunks.empty() || std::strcmp(chunks[0].type, "IHDR") ||
            chunks[0].size != 13) {
            err = "libpng wrote something that is not a PNG file";
            return false;
        }
        if (i == 0) {
            ihdr.assign(chunks[0].data, chunks[0].data + 13);
            uint8_t actl[8];
            put32(actl, count);
            put32(actl + 4, 0); // loop forever
            ok = std::fwrite(kSignature, 1, 8, out) == 8 &&
                 put_chunk(out, "IHDR", nullptr, 0, ihdr.data(), 13) &&
                 put_chunk(out, "acTL", nullptr, 0, actl, 8);
        } else if (std::memcmp(ihdr.data(), chunks[0].data, 13) != 0) {
            err = "the frames of an animation differ in size";
            return false;
        }
        uint8_t fctl[26] = {};
        put32(fctl, sequence++);
        put32(fctl + 4, img.width);
        put32(fctl + 8, img.height);
        // x and y offsets 0: every frame covers the whole canvas.
        fctl[20] = uint8_t(delayMs >> 8), fctl[21] = uint8_t(delayMs);  // delay numerator
        fctl[22] = uint8_t(1000 >> 8), fctl[23] = uint8_t(1000 & 0xFF); // per 1000: milliseconds
        fctl[24] = 0;                                                   // dispose: none
        fctl[25] = 0;                                                   // blend: source
        ok = ok && put_chunk(out, "fcTL", nullptr, 0, fctl, 26);
        for (const chunk &c : chunks) {
            if (!ok || std::strcmp(c.type, "IDAT") != 0) continue;
            if (i == 0) {
                ok = put_chunk(out, "IDAT", nullptr, 0, c.data, c.size);
            } else {
                uint8_t seq[4];
                put32(seq, sequence++);
                ok = put_chunk(out, "fdAT", seq, 4, c.data, c.size);
            }
        }
    }
    ok = ok && put_chunk(out, "IEND", nullptr, 0, nullptr, 0);
    if (!ok) err = "cannot write the animation";
    return ok;
}
