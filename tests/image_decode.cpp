#include "image_decode.h"

#include <gif_lib.h>
#include <png.h>
#include <zlib.h>

#include <cstring>
#include <fstream>
#include <iterator>

namespace {

const uint8_t kSignature[8] = {0x89, 'P', 'N', 'G', '\r', '\n', 0x1A, '\n'};

std::vector<uint8_t> read_bytes(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

uint32_t be32(const uint8_t *p) {
    return uint32_t(p[0]) << 24 | p[1] << 16 | p[2] << 8 | p[3];
}

bool fail(std::string &err, const std::string &why) {
    err = why;
    return false;
}

bool png_from_memory(const std::vector<uint8_t> &bytes, rgba_picture &out, std::string &err) {
    png_image im{};
    im.version = PNG_IMAGE_VERSION;
    // Any colour type, palette or true colour, read back as RGBA.
    bool ok = png_image_begin_read_from_memory(&im, bytes.data(), bytes.size());
    if (ok) {
        im.format = PNG_FORMAT_RGBA;
        out.width = im.width, out.height = im.height;
        out.px.resize(PNG_IMAGE_SIZE(im));
        ok = png_image_finish_read(&im, nullptr, out.px.data(), 0, nullptr);
    }
    if (!ok) err = im.warning_or_error ? im.message : "not an 8-bit RGBA PNG";
    png_image_free(&im);
    return ok;
}

void add_chunk(std::vector<uint8_t> &png, const char *type, const std::vector<uint8_t> &data) {
    const size_t at = png.size();
    for (int s = 24; s >= 0; s -= 8) png.push_back(uint8_t(data.size() >> s));
    png.insert(png.end(), type, type + 4);
    png.insert(png.end(), data.begin(), data.end());
    const uint32_t crc = uint32_t(crc32(0, &png[at + 4], uInt(4 + data.size())));
    for (int s = 24; s >= 0; s -= 8) png.push_back(uint8_t(crc >> s));
}

} // namespace

bool decode_png(const std::string &path, rgba_picture &out, std::string &err) {
    return png_from_memory(read_bytes(path), out, err);
}

bool decode_apng(const std::string &path, apng_file &out, std::string &err) {
    const std::vector<uint8_t> b = read_bytes(path);
    if (b.size() < 8 || std::memcmp(b.data(), kSignature, 8) != 0) return fail(err, "no PNG");
    std::vector<uint8_t> ihdr, plte, trns, data; // data: the current frame's compressed rows
    uint32_t frames = 0, sequence = 0;
    bool actl = false, inFrame = false, ended = false;
    auto finish = [&] { // the frame so far as a PNG of its own
        if (!inFrame) return true;
        inFrame = false;
        std::vector<uint8_t> png(kSignature, kSignature + 8);
        add_chunk(png, "IHDR", ihdr);
        if (!plte.empty()) add_chunk(png, "PLTE", plte);
        if (!trns.empty()) add_chunk(png, "tRNS", trns);
        add_chunk(png, "IDAT", data);
        add_chunk(png, "IEND", {});
        data.clear();
        return png_from_memory(png, out.frames.back().picture, err);
    };
    for (size_t at = 8; !ended; at += 12 + size_t(be32(&b[at]))) {
        if (b.size() - at < 12 || be32(&b[at]) > b.size() - at - 12)
            return fail(err, "truncated chunk");
        const uint32_t len = be32(&b[at]);
        const std::string type(reinterpret_cast<const char *>(&b[at + 4]), 4);
        const uint8_t *d = &b[at + 8];
        if (crc32(crc32(0, &b[at + 4], 4), d, len) != be32(d + len))
            return fail(err, "bad CRC in " + type);
        if (type == "IHDR") {
            ihdr.assign(d, d + len);
        } else if (type == "PLTE" || type == "tRNS") {
            (type == "PLTE" ? plte : trns).assign(d, d + len);
        } else if (type == "acTL") {
            actl = true;
            frames = be32(d), out.plays = be32(d + 4);
        } else if (type == "fcTL") {
            if (!finish()) return false;
            if (be32(d) != sequence++ || ihdr.size() < 8 || std::memcmp(d + 4, &ihdr[0], 8) != 0)
                return fail(err, "fcTL out of sequence or not of the canvas size");
            apng_frame f;
            f.delayNum = uint16_t(d[20] << 8 | d[21]), f.delayDen = uint16_t(d[22] << 8 | d[23]);
            f.blend = d[25];
            out.frames.push_back(f);
            inFrame = true;
        } else if (type == "IDAT" || type == "fdAT") {
            const bool idat = type == "IDAT";
            if (!inFrame || (idat ? out.frames.size() != 1 : be32(d) != sequence++))
                return fail(err, type + " out of place or out of sequence");
            data.insert(data.end(), d + (idat ? 0 : 4), d + len);
        } else if (type == "IEND") {
            ended = true;
        }
    }
    if (!finish()) return false;
    return actl && out.frames.size() == frames ? true : fail(err, "acTL or frame count wrong");
}

bool decode_gif(const std::string &path, gif_file &out, std::string &err) {
    int error = 0;
    GifFileType *gif = DGifOpenFileName(path.c_str(), &error);
    if (!gif) return fail(err, GifErrorString(error));
    const bool ok = DGifSlurp(gif) != GIF_ERROR;
    if (!ok) err = GifErrorString(gif->Error);
    for (int i = 0; ok && i < gif->ImageCount; ++i) {
        const SavedImage &s = gif->SavedImages[i];
        for (int e = 0; e + 1 < s.ExtensionBlockCount; ++e) {
            const ExtensionBlock &app = s.ExtensionBlocks[e], &sub = s.ExtensionBlocks[e + 1];
            if (app.Function == APPLICATION_EXT_FUNC_CODE && app.ByteCount == 11 &&
                std::memcmp(app.Bytes, "NETSCAPE2.0", 11) == 0 && sub.ByteCount == 3 &&
                std::memcmp(sub.Bytes, "\1\0\0", 3) == 0)
                out.loopsForever = true;
        }
        gif_frame f;
        f.width = uint32_t(s.ImageDesc.Width), f.height = uint32_t(s.ImageDesc.Height);
        f.indexes.assign(s.RasterBits, s.RasterBits + size_t(f.width) * f.height);
        const ColorMapObject *map = s.ImageDesc.ColorMap ? s.ImageDesc.ColorMap : gif->SColorMap;
        f.localTable = s.ImageDesc.ColorMap != nullptr;
        for (int c = 0; map && c < map->ColorCount; ++c)
            f.colours.push_back(uint32_t(map->Colors[c].Red) << 16 | map->Colors[c].Green << 8 |
                                map->Colors[c].Blue);
        GraphicsControlBlock gcb;
        if (DGifSavedExtensionToGCB(gif, i, &gcb) == GIF_OK)
            f.transparent = gcb.TransparentColor, f.delayCs = gcb.DelayTime,
            f.disposal = gcb.DisposalMode;
        out.frames.push_back(std::move(f));
    }
    DGifCloseFile(gif, &error);
    return ok;
}
