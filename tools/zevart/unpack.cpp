// zevart unpack: an art set into a folder of editable files. The art-structure
// file is read again field by field, keeping what the loader discards (the
// file order of picture records, their unused byte, bits of the flag byte,
// spare table entries, bytes after the last group), and the bitmap file is
// kept whole: its headers, the bytes between blocks and the row padding are
// then never lost.
#include "indexed_png.h"
#include "modding.h"

#include "art_set.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>

using json = nlohmann::ordered_json;

namespace {

class field_reader {
public:
    explicit field_reader(const std::vector<uint8_t> &b) : b_(b) {}
    bool ok() const { return ok_; }
    size_t pos() const { return pos_; }
    void raw(void *dst, size_t n) {
        if (n > b_.size() - pos_) {
            ok_ = false;
            std::memset(dst, 0, n);
            return;
        }
        std::memcpy(dst, b_.data() + pos_, n);
        pos_ += n;
    }
    uint8_t u8() {
        uint8_t v = 0;
        raw(&v, 1);
        return v;
    }
    uint16_t u16() {
        uint8_t v[2];
        raw(v, 2);
        return uint16_t(v[0] | v[1] << 8);
    }
    uint32_t u32() {
        uint8_t v[4];
        raw(v, 4);
        return v[0] | v[1] << 8 | v[2] << 16 | uint32_t(v[3]) << 24;
    }
    std::vector<uint8_t> bytes(size_t n) {
        if (n > b_.size() - pos_) {
            ok_ = false;
            return {};
        }
        pos_ += n;
        return {b_.begin() + long(pos_ - n), b_.begin() + long(pos_)};
    }

private:
    const std::vector<uint8_t> &b_;
    size_t pos_ = 0;
    bool ok_ = true;
};

// The art-structure file as the writer's description, every stored field kept.
// Only called on files the loader accepted, but still checked as it goes.
bool read_prt(const std::vector<uint8_t> &prt, artgen::art_set &set) {
    field_reader in(prt);
    char magic[4];
    in.raw(magic, 4);
    uint32_t palettes = in.u32();
    for (uint32_t i = 0; i < palettes && in.ok(); ++i) {
        artgen::palette p;
        in.raw(p.skipped.data(), p.skipped.size());
        p.data = in.bytes(in.u32());
        set.palettes.push_back(std::move(p));
    }
    uint32_t images = in.u32();
    for (uint32_t i = 0; i < images && in.ok(); ++i) {
        artgen::image im;
        im.rowBytes = int32_t(in.u32());
        im.offset = in.u32();
        im.height = int32_t(in.u32());
        im.width = int32_t(in.u32());
        im.type = int16_t(in.u16());
        im.palette = in.u16();
        set.images.push_back(std::move(im));
    }
    uint32_t groups = in.u32(), frames = in.u32(), pictures = in.u32(), extInfos = in.u32();
    for (uint32_t g = 0; g < groups && in.ok(); ++g) {
        artgen::group gr;
        for (uint32_t &w : gr.header) w = in.u32();
        uint32_t n = in.u32();
        for (uint32_t j = 0; j < n && in.ok(); ++j) {
            artgen::frame f;
            uint8_t count = in.u8(), flags = in.u8();
            f.flagLowBits = flags & 0x7F;
            if (count & 0x80) in.raw(f.ext1.emplace().data(), 2);
            if (flags & 0x80) in.raw(f.ext2.emplace().data(), 2);
            for (int k = 0; k < (count & 0x7F) && in.ok(); ++k) {
                artgen::picture p;
                p.image = in.u16();
                p.spare = in.u8();
                p.slot = in.u8();
                p.x = int16_t(in.u16());
                p.y = int16_t(in.u16());
                f.pics.push_back(p);
            }
            gr.frames.push_back(std::move(f));
        }
        uint32_t appendix = in.u32();
        for (uint32_t a = 0; a < appendix && a < 2 && in.ok(); ++a) {
            std::array<uint32_t, 4> entry;
            for (uint32_t &w : entry) w = in.u32();
            gr.appendix.push_back(entry);
        }
        set.groups.push_back(std::move(gr));
    }
    if (!in.ok()) return false;
    set.trailing.assign(prt.begin() + long(in.pos()), prt.end());
    if (frames != set.frame_count()) set.frameCountField = frames;
    if (pictures != set.picture_count()) set.picCountField = pictures;
    if (extInfos != set.ext_info_count()) set.extInfoCountField = extInfos;
    return true;
}

std::string numbered(const char *stem, size_t i, size_t count, int minDigits, const char *ext) {
    int digits = 1; // enough for the last number, so the names sort in table order
    for (size_t n = count ? count - 1 : 0; n >= 10; n /= 10) ++digits;
    digits = std::max(minDigits, digits);
    char buf[64];
    std::snprintf(buf, sizeof buf, "%s-%0*zu.%s", stem, digits, i, ext);
    return buf;
}

std::string gpl_text(const artgen::palette &p, size_t index) {
    std::string t = "GIMP Palette\nName: palette " + std::to_string(index) +
                    "\nColumns: 16\n# zevart: each colour's fourth byte is kept in its name as "
                    "x=HH\n";
    char line[64];
    for (size_t c = 0; c + 4 <= p.data.size(); c += 4) {
        std::snprintf(line, sizeof line, "%3u %3u %3u\t%zu x=%02x\n", p.data[c], p.data[c + 1],
                      p.data[c + 2], c / 4, p.data[c + 3]);
        t += line;
    }
    return t;
}

bool drawable_as_png(const artgen::image &im) {
    if (im.width <= 0 || im.height == 0) return false;
    bool mask = im.type == 4 || im.type == 5;
    if (!mask && im.rowBytes < im.width) return false;
    uint64_t rows = uint64_t(std::abs(int64_t(im.height)));
    return uint64_t(im.width) * rows <= kMaxPngPixels;
}

bool image_png(const artgen::image &im, const artgen::palette &pal, const uint8_t *block,
               std::vector<uint8_t> &png, std::string &err) {
    indexed_picture pic;
    pic.width = uint32_t(im.width);
    pic.height = uint32_t(std::abs(int64_t(im.height)));
    pic.px.resize(size_t(pic.width) * pic.height);
    const bool mask = im.type == 4 || im.type == 5;
    if (mask) {
        // Clear bits transparent, set bits a translucent black: how they draw.
        pic.bitDepth = 1;
        pic.palette = {{255, 255, 255, 0}, {0, 0, 0, 128}};
        const size_t row = size_t(artgen::mask_row_bytes(im.width));
        for (uint32_t y = 0; y < pic.height; ++y)
            for (uint32_t x = 0; x < pic.width; ++x)
                pic.px[size_t(y) * pic.width + x] = (block[y * row + x / 8] >> (7 - x % 8)) & 1;
    } else {
        uint8_t top = 0;
        for (uint32_t y = 0; y < pic.height; ++y) {
            const uint8_t *src = block + size_t(y) * size_t(im.rowBytes);
            std::copy(src, src + pic.width, pic.px.begin() + long(size_t(y) * pic.width));
            top = std::max(top, *std::max_element(src, src + pic.width));
        }
        // The palette in order; index 0 and indexes past the palette have no
        // colour and draw as nothing.
        size_t colours = std::min<size_t>(256, pal.data.size() / 4);
        pic.palette.assign(std::max<size_t>(colours, size_t(top) + 1), png_colour{0, 0, 0, 0});
        for (size_t c = 0; c < colours; ++c)
            pic.palette[c] = {pal.data[4 * c], pal.data[4 * c + 1], pal.data[4 * c + 2],
                              uint8_t(c ? 255 : 0)};
    }
    return png_encode_indexed(pic, png_settings{}, png, err);
}

std::vector<uint8_t> text_bytes(const std::string &s) {
    return {s.begin(), s.end()};
}

} // namespace

std::string to_hex(const uint8_t *data, size_t n) {
    static const char digits[] = "0123456789abcdef";
    std::string s;
    s.reserve(2 * n);
    for (size_t i = 0; i < n; ++i) {
        s += digits[data[i] >> 4];
        s += digits[data[i] & 15];
    }
    return s;
}

bool from_hex(const std::string &text, std::vector<uint8_t> &out) {
    if (text.size() % 2) return false;
    out.clear();
    auto digit = [](char c) {
        return c >= '0' && c <= '9'   ? c - '0'
               : c >= 'a' && c <= 'f' ? c - 'a' + 10
               : c >= 'A' && c <= 'F' ? c - 'A' + 10
                                      : -1;
    };
    for (size_t i = 0; i < text.size(); i += 2) {
        int hi = digit(text[i]), lo = digit(text[i + 1]);
        if (hi < 0 || lo < 0) return false;
        out.push_back(uint8_t(hi << 4 | lo));
    }
    return true;
}

std::string layout_digest(const std::vector<artgen::image> &images) {
    uint64_t h = 14695981039346656037ull; // FNV-1a
    auto mix = [&h](uint64_t v) {
        for (int i = 0; i < 8; ++i) {
            h ^= (v >> (8 * i)) & 0xFF;
            h *= 1099511628211ull;
        }
    };
    mix(images.size());
    for (const artgen::image &im : images) {
        mix(uint32_t(im.rowBytes)), mix(uint32_t(im.height)), mix(uint32_t(im.width));
        mix(uint16_t(im.type)), mix(im.offset.value_or(0xFFFFFFFFFull));
    }
    uint8_t bytes[8];
    for (int i = 0; i < 8; ++i) bytes[i] = uint8_t(h >> (8 * i));
    return to_hex(bytes, 8);
}

bool unpack_set(const std::vector<uint8_t> &bmp, const std::vector<uint8_t> &prt,
                std::vector<folder_file> &files, std::string &err) {
    {
        art_handle check;
        memory_source b(bmp.data(), bmp.size()), p(prt.data(), prt.size());
        int code = load_art(&check, "", "", &b, &p);
        if (code != ART_OK) {
            err = "the art set does not load (loader code " + std::to_string(code) + ")";
            return false;
        }
    }
    artgen::art_set set;
    if (!read_prt(prt, set)) {
        err = "the art-structure file ends inside a record";
        return false;
    }
    const uint64_t pixelData = bmp[10] | bmp[11] << 8 | bmp[12] << 16 | uint64_t(bmp[13]) << 24;

    json manifest;
    manifest["format"] = kManifestFormat;
    manifest["version"] = kManifestVersion;
    manifest["bitmap"] = {{"file", "raw/bitmap.bmp"}, {"layout", layout_digest(set.images)}};
    files.push_back({"raw/bitmap.bmp", bmp});

    json palettes = json::array();
    for (size_t i = 0; i < set.palettes.size(); ++i) {
        const artgen::palette &p = set.palettes[i];
        std::string name = "palettes/" + numbered("palette", i, set.palettes.size(), 3, "gpl");
        json entry = {{"file", name}, {"skipped", to_hex(p.skipped.data(), p.skipped.size())}};
        size_t rest = p.data.size() % 4;
        if (rest) entry["tail"] = to_hex(p.data.data() + p.data.size() - rest, rest);
        palettes.push_back(entry);
        files.push_back({name, text_bytes(gpl_text(p, i))});
    }
    manifest["palettes"] = palettes;

    json images = json::array();
    for (size_t i = 0; i < set.images.size(); ++i) {
        const artgen::image &im = set.images[i];
        json entry = json::object();
        if (drawable_as_png(im)) {
            std::string name = "images/" + numbered("image", i, set.images.size(), 5, "png");
            files.push_back({name, {}});
            if (!image_png(im, set.palettes[im.palette], bmp.data() + pixelData + *im.offset,
                           files.back().bytes, err)) {
                err = name + ": " + err;
                return false;
            }
            entry["file"] = name;
        }
        entry["type"] = im.type;
        entry["palette"] = im.palette;
        entry["width"] = im.width;
        entry["height"] = im.height;
        entry["rowBytes"] = im.rowBytes;
        entry["offset"] = *im.offset;
        images.push_back(entry);
    }
    manifest["images"] = images;

    json groups = json::array();
    for (const artgen::group &g : set.groups) {
        json frames = json::array();
        for (const artgen::frame &f : g.frames) {
            json pics = json::array();
            for (size_t k = 0; k < f.pics.size(); ++k) {
                const artgen::picture &p = f.pics[k];
                json pic = {{"image", p.image}, {"x", p.x}, {"y", p.y}};
                // Only what differs from the usual: the list order is the drawing order.
                if (p.slot != k) pic["slot"] = p.slot;
                if (p.spare) pic["spare"] = p.spare;
                pics.push_back(pic);
            }
            json frame = {{"pictures", pics}};
            if (f.ext1) frame["ext1"] = {(*f.ext1)[0], (*f.ext1)[1]};
            if (f.ext2) frame["ext2"] = {(*f.ext2)[0], (*f.ext2)[1]};
            if (f.flagLowBits) frame["flagBits"] = f.flagLowBits;
            frames.push_back(frame);
        }
        json group = {{"header", g.header}, {"frames", frames}};
        if (!g.appendix.empty()) group["appendix"] = g.appendix;
        groups.push_back(group);
    }
    manifest["groups"] = groups;

    json spare = json::object();
    if (set.frameCountField) spare["frames"] = *set.frameCountField - set.frame_count();
    if (set.picCountField) spare["pictures"] = *set.picCountField - set.picture_count();
    if (set.extInfoCountField) spare["extInfos"] = *set.extInfoCountField - set.ext_info_count();
    if (!spare.empty()) manifest["spare"] = spare;
    if (!set.trailing.empty()) {
        manifest["prtTail"] = "raw/prt-tail.bin";
        files.push_back({"raw/prt-tail.bin", set.trailing});
    }
    files.insert(files.begin(), {kManifestName, text_bytes(manifest.dump(1, '\t') + "\n")});
    return true;
}
