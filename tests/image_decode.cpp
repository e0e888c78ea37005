#include "image_decode.h"

#include <gif_lib.h>
#include <png.h>
#include <zlib.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <iterator>

namespace {

std::vector<uint8_t> read_bytes(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in),
                                std::istreambuf_iterator<char>());
}

uint32_t be32(const uint8_t *p) {
    return uint32_t(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3];
}

uint16_t be16(const uint8_t *p) {
    return uint16_t(p[0] << 8 | p[1]);
}

int paeth(int a, int b, int c) {
    int p = a + b - c, pa = std::abs(p - a), pb = std::abs(p - b), pc = std::abs(p - c);
    return pa <= pb && pa <= pc ? a : pb <= pc ? b : c;
}

// Inflates and unfilters one frame of 8-bit RGBA rows.
bool unpack(const std::vector<uint8_t> &z, uint32_t w, uint32_t h, rgba_picture &out,
            std::string &err) {
    const size_t stride = size_t(w) * 4;
    std::vector<uint8_t> raw((stride + 1) * h);
    uLongf size = uLongf(raw.size());
    if (uncompress(raw.data(), &size, z.data(), uLong(z.size())) != Z_OK || size != raw.size()) {
        err = "compressed data does not inflate to the frame's size";
        return false;
    }
    out.width = w;
    out.height = h;
    out.px.assign(stride * h, 0);
    for (uint32_t y = 0; y < h; ++y) {
        const uint8_t filter = raw[y * (stride + 1)];
        const uint8_t *src = &raw[y * (stride + 1) + 1];
        uint8_t *row = &out.px[y * stride];
        const uint8_t *up = y ? row - stride : nullptr;
        for (size_t i = 0; i < stride; ++i) {
            int a = i >= 4 ? row[i - 4] : 0, b = up ? up[i] : 0, c = up && i >= 4 ? up[i - 4] : 0;
            int pred;
            switch (filter) {
            case 0:
                pred = 0;
                break;
            case 1:
                pred = a;
                break;
            case 2:
                pred = b;
                break;
            case 3:
                pred = (a + b) / 2;
                break;
            case 4:
                pred = paeth(a, b, c);
                break;
            default:
                err = "unknown filter type";
                return false;
            }
            row[i] = uint8_t(src[i] + pred);
        }
    }
    return true;
}

} // namespace

bool decode_png(const std::string &path, rgba_picture &out, std::string &err) {
    png_image image;
    std::memset(&image, 0, sizeof image);
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str())) {
        err = image.message;
        return false;
    }
    if (image.format != PNG_FORMAT_RGBA) {
        err = "not an 8-bit RGBA PNG";
        png_image_free(&image);
        return false;
    }
    out.width = image.width;
    out.height = image.height;
    out.px.resize(PNG_IMAGE_SIZE(image));
    if (!png_image_finish_read(&image, nullptr, out.px.data(), 0, nullptr)) {
        err = image.message;
        return false;
    }
    return true;
}

bool decode_apng(const std::string &path, apng_file &out, std::string &err) {
    static const uint8_t kSig[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};
    const std::vector<uint8_t> b = read_bytes(path);
    if (b.size() < 8 || std::memcmp(b.data(), kSig, 8) != 0) {
        err = "no PNG signature";
        return false;
    }
    uint32_t width = 0, height = 0, frames = 0, expectSeq = 0;
    bool ended = false, sawActl = false;
    std::vector<uint8_t> z;
    apng_frame current;
    bool inFrame = false;
    auto finish = [&]() {
        if (!inFrame) return true;
        if (!unpack(z, width, height, current.picture, err)) return false;
        out.frames.push_back(current);
        z.clear();
        inFrame = false;
        return true;
    };
    for (size_t at = 8; at < b.size() && !ended;) {
        if (b.size() - at < 12) {
            err = "truncated chunk";
            return false;
        }
        const uint32_t len = be32(&b[at]);
        if (len > b.size() - at - 12) {
            err = "chunk runs past the end";
            return false;
        }
        const std::string type(reinterpret_cast<const char *>(&b[at + 4]), 4);
        const uint8_t *d = &b[at + 8];
        if (crc32(crc32(0, &b[at + 4], 4), d, len) != be32(d + len)) {
            err = "bad CRC in " + type;
            return false;
        }
        if (type == "IHDR") {
            width = be32(d), height = be32(d + 4);
            if (d[8] != 8 || d[9] != 6 || d[12] != 0) {
                err = "not 8-bit RGBA without interlacing";
                return false;
            }
        } else if (type == "acTL") {
            sawActl = true;
            frames = be32(d);
            out.plays = be32(d + 4);
        } else if (type == "fcTL") {
            if (!finish()) return false;
            if (be32(d) != expectSeq++) {
                err = "fcTL out of sequence";
                return false;
            }
            current = apng_frame{};
            if (be32(d + 4) != width || be32(d + 8) != height) {
                err = "a frame not the canvas size";
                return false;
            }
            current.x = be32(d + 12), current.y = be32(d + 16);
            current.delayNum = be16(d + 20), current.delayDen = be16(d + 22);
            current.dispose = d[24], current.blend = d[25];
            inFrame = true;
        } else if (type == "IDAT") {
            if (!inFrame || !out.frames.empty()) {
                err = "IDAT outside the first frame";
                return false;
            }
            z.insert(z.end(), d, d + len);
        } else if (type == "fdAT") {
            if (!inFrame || be32(d) != expectSeq++) {
                err = "fdAT out of sequence";
                return false;
            }
            z.insert(z.end(), d + 4, d + len);
        } else if (type == "IEND") {
            ended = true;
        }
        at += 12 + size_t(len);
    }
    if (!finish()) return false;
    if (!sawActl || !ended || out.frames.size() != frames) {
        err = "acTL, IEND or the frame count is wrong";
        return false;
    }
    return true;
}

bool decode_gif(const std::string &path, gif_file &out, std::string &err) {
    int error = 0;
    GifFileType *gif = DGifOpenFileName(path.c_str(), &error);
    if (!gif) {
        err = GifErrorString(error);
        return false;
    }
    if (DGifSlurp(gif) == GIF_ERROR) {
        err = GifErrorString(gif->Error);
        DGifCloseFile(gif, &error);
        return false;
    }
    out.width = uint32_t(gif->SWidth);
    out.height = uint32_t(gif->SHeight);
    for (int i = 0; i < gif->ImageCount; ++i) {
        const SavedImage &s = gif->SavedImages[i];
        for (int e = 0; e + 1 < s.ExtensionBlockCount; ++e) {
            const ExtensionBlock &app = s.ExtensionBlocks[e], &sub = s.ExtensionBlocks[e + 1];
            if (app.Function == APPLICATION_EXT_FUNC_CODE && app.ByteCount == 11 &&
                std::memcmp(app.Bytes, "NETSCAPE2.0", 11) == 0 && sub.ByteCount == 3 &&
                sub.Bytes[0] == 1 && sub.Bytes[1] == 0 && sub.Bytes[2] == 0)
                out.loopsForever = true;
        }
        gif_frame f;
        f.left = uint32_t(s.ImageDesc.Left), f.top = uint32_t(s.ImageDesc.Top);
        f.width = uint32_t(s.ImageDesc.Width), f.height = uint32_t(s.ImageDesc.Height);
        f.indexes.assign(s.RasterBits, s.RasterBits + size_t(f.width) * f.height);
        const ColorMapObject *map = s.ImageDesc.ColorMap ? s.ImageDesc.ColorMap : gif->SColorMap;
        f.localTable = s.ImageDesc.ColorMap != nullptr;
        for (int c = 0; map && c < map->ColorCount; ++c)
            f.colours.push_back(uint32_t(map->Colors[c].Red) << 16 | map->Colors[c].Green << 8 |
                                map->Colors[c].Blue);
        GraphicsControlBlock gcb;
        if (DGifSavedExtensionToGCB(gif, i, &gcb) == GIF_OK) {
            f.transparent = gcb.TransparentColor;
            f.delayCs = gcb.DelayTime;
            f.disposal = gcb.DisposalMode;
        }
        out.frames.push_back(std::move(f));
    }
    DGifCloseFile(gif, &error);
    return true;
}
