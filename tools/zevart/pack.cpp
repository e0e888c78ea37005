// zevart pack: the two files of an art set built from a folder such as unpack
// writes, edited or written by hand. Everything is checked before anything is
// written; each error names the file, or the place in set.json, at fault.
//
// While the images' layout digest still matches, the bitmap file is the one
// unpack kept with only the edited pixels changed, so an unedited folder packs
// to identical files. When images change size, are added, removed or
// reordered, the blocks are laid out anew in table order (blocks with equal
// bytes shared) in a fresh bitmap file.
#include "indexed_png.h"
#include "modding.h"

#include "art_set.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>
#include <optional>
#include <unordered_map>

using json = nlohmann::json;

namespace {

// Thrown with the message for the user; caught in pack_set.
struct pack_error {
    std::string message;
};

[[noreturn]] void fail(const std::string &message) {
    throw pack_error{message};
}

std::string at(const std::string &path, const char *key) {
    return path.empty() ? key : path + "." + key;
}

std::string at(const std::string &path, size_t i) {
    return path + "[" + std::to_string(i) + "]";
}

// A whole number at `path` within [lo, hi]; `def` when absent (or an error
// when there is no default).
int64_t number(const json &v, const std::string &path, int64_t lo, int64_t hi) {
    if (!v.is_number_integer()) fail("set.json: " + path + ": expected a whole number");
    if (v.is_number_unsigned() && v.get<uint64_t>() > uint64_t(INT64_MAX))
        fail("set.json: " + path + ": " + v.dump() + " does not fit (" + std::to_string(lo) +
             " to " + std::to_string(hi) + ")");
    int64_t n = v.get<int64_t>();
    if (n < lo || n > hi)
        fail("set.json: " + path + ": " + std::to_string(n) + " does not fit (" +
             std::to_string(lo) + " to " + std::to_string(hi) + ")");
    return n;
}

int64_t field(const json &obj, const std::string &path, const char *key, int64_t lo, int64_t hi,
              std::optional<int64_t> def) {
    auto it = obj.find(key);
    if (it == obj.end()) {
        if (!def) fail("set.json: " + at(path, key) + ": missing");
        return *def;
    }
    return number(*it, at(path, key), lo, hi);
}

const json &list(const json &obj, const std::string &path, const char *key) {
    static const json empty = json::array();
    auto it = obj.find(key);
    if (it == obj.end()) return empty;
    if (!it->is_array()) fail("set.json: " + at(path, key) + ": expected a list");
    return *it;
}

void expect_object(const json &v, const std::string &path) {
    if (!v.is_object()) fail("set.json: " + path + ": expected an object");
}

std::optional<std::string> text(const json &obj, const std::string &path, const char *key) {
    auto it = obj.find(key);
    if (it == obj.end() || it->is_null()) return std::nullopt;
    if (!it->is_string()) fail("set.json: " + at(path, key) + ": expected a string");
    return it->get<std::string>();
}

// Names in set.json stay inside the folder.
void check_name(const std::string &name, const std::string &path) {
    bool bad = name.empty() || name[0] == '/' || name.find('\\') != std::string::npos ||
               name.find(':') != std::string::npos;
    for (size_t start = 0; !bad && start <= name.size();) {
        size_t end = name.find('/', start);
        if (end == std::string::npos) end = name.size();
        if (name.compare(start, end - start, "..") == 0 || end == start) bad = true;
        start = end + 1;
    }
    if (bad) fail("set.json: " + path + ": '" + name + "' is not a file name inside the folder");
}

class packer {
public:
    packer(const folder_reader &read, const pack_settings &s, pack_result &out)
        : read_(read), settings_(s), out_(out) {}
    void run();

private:
    std::vector<uint8_t> file(const std::string &name, const std::string &path) {
        check_name(name, path);
        std::vector<uint8_t> bytes;
        std::string why;
        if (!read_(name, bytes, why)) fail(name + ": cannot read: " + why);
        return bytes;
    }
    void read_palettes(const json &m);
    void read_palette_file(const std::string &name, artgen::palette &p);
    void read_images(const json &m);
    void read_groups(const json &m);
    void lay_out();
    std::vector<uint8_t> block_of(size_t i, const std::vector<uint8_t> *base);
    void fill_from_png(size_t i, std::vector<uint8_t> &block);

    const folder_reader &read_;
    const pack_settings &settings_;
    pack_result &out_;
    artgen::art_set set_;
    std::vector<std::string> pngNames_; // per image, empty when it has none
    std::vector<decoded_png> pngs_;
    std::vector<std::optional<uint32_t>> recordedOffset_;
    std::vector<bool> resized_;
    std::vector<uint8_t> base_; // the bitmap file unpack kept
    std::string layout_;
};

void packer::read_palette_file(const std::string &name, artgen::palette &p) {
    std::vector<uint8_t> bytes = file(name, "palettes");
    std::string t(bytes.begin(), bytes.end());
    size_t lineNo = 0, start = 0;
    while (start < t.size()) {
        size_t end = t.find('\n', start);
        if (end == std::string::npos) end = t.size();
        std::string line = t.substr(start, end - start);
        start = end + 1;
        if (!line.empty() && line.back() == '\r') line.pop_back();
        ++lineNo;
        if (lineNo == 1) {
            if (line.rfind("GIMP Palette", 0) != 0)
                fail(name + ": not a GIMP palette (the first line is not \"GIMP Palette\")");
            continue;
        }
        size_t first = line.find_first_not_of(" \t");
        if (first == std::string::npos || line[first] == '#' || line.rfind("Name:", 0) == 0 ||
            line.rfind("Columns:", 0) == 0)
            continue;
        const char *s = line.c_str();
        char *e = nullptr;
        long rgb[3];
        for (long &v : rgb) {
            v = std::strtol(s, &e, 10);
            if (e == s || v < 0 || v > 255)
                fail(name + ": line " + std::to_string(lineNo) +
                     ": expected three numbers from 0 to 255 (red, green, blue)");
            s = e;
        }
        long fourth = 0;
        size_t x = line.find("x=", size_t(s - line.c_str()));
        if (x != std::string::npos) {
            std::vector<uint8_t> b;
            if (!from_hex(line.substr(x + 2, 2), b) || b.size() != 1)
                fail(name + ": line " + std::to_string(lineNo) +
                     ": x= needs two hex digits (the colour's fourth byte)");
            fourth = b[0];
        }
        p.add(uint8_t(rgb[0]), uint8_t(rgb[1]), uint8_t(rgb[2]), uint8_t(fourth));
        if (p.data.size() / 4 > 65535)
            fail(name + ": more than 65 535 colours, the most a palette holds");
    }
}

void packer::read_palettes(const json &m) {
    const json &palettes = list(m, "", "palettes");
    for (size_t i = 0; i < palettes.size(); ++i) {
        const std::string path = at("palettes", i);
        const json &e = palettes[i];
        expect_object(e, path);
        artgen::palette p;
        if (auto skipped = text(e, path, "skipped")) {
            std::vector<uint8_t> b;
            if (!from_hex(*skipped, b) || b.size() != 24)
                fail("set.json: " + path + ".skipped: expected 48 hex digits (24 bytes)");
            std::copy(b.begin(), b.end(), p.skipped.begin());
        }
        auto name = text(e, path, "file");
        auto colours = e.find("colors");
        if (name && colours != e.end())
            fail("set.json: " + path + ": give the colours in \"colors\" or in \"file\", not both");
        if (name) {
            read_palette_file(*name, p);
        } else if (colours != e.end()) {
            if (!colours->is_array() || colours->size() > 65535)
                fail("set.json: " + path + ".colors: expected a list of at most 65 535 colours");
            for (size_t c = 0; c < colours->size(); ++c) {
                const json &v = (*colours)[c];
                std::vector<uint8_t> b;
                std::string s = v.is_string() ? v.get<std::string>() : "";
                if (!s.empty() && s[0] == '#') s.erase(0, 1);
                if (!from_hex(s, b) || (b.size() != 3 && b.size() != 4))
                    fail("set.json: " + at(path + ".colors", c) +
                         ": expected \"#RRGGBB\" or \"#RRGGBBXX\" (XX the fourth byte)");
                p.add(b[0], b[1], b[2], b.size() == 4 ? b[3] : 0);
            }
        }
        if (auto tail = text(e, path, "tail")) {
            std::vector<uint8_t> b;
            if (!from_hex(*tail, b) || b.size() > 3)
                fail("set.json: " + path + ".tail: expected up to 3 bytes as hex digits");
            p.data.insert(p.data.end(), b.begin(), b.end());
        }
        set_.palettes.push_back(std::move(p));
    }
    if (set_.palettes.size() > UINT32_MAX) fail("set.json: palettes: too many");
}

bool is_mask(int16_t type) {
    return type == 4 || type == 5;
}

// The loader's block size, or -1 when it would refuse the record.
int64_t block_size(const artgen::image &im) {
    int64_t rows = std::abs(int64_t(im.height));
    int64_t size;
    if (is_mask(im.type)) {
        int64_t words = ((int64_t(im.width) - 1) >> 5) + 1;
        if (words < 0) return -1;
        size = rows * words * 4;
    } else {
        if (im.rowBytes < 0 || (im.height > 0 && im.width > 0 && im.rowBytes < im.width)) return -1;
        size = rows * im.rowBytes;
    }
    return size > INT32_MAX ? -1 : size;
}

void packer::read_images(const json &m) {
    const json &images = list(m, "", "images");
    if (images.size() > UINT32_MAX) fail("set.json: images: too many");
    for (size_t i = 0; i < images.size(); ++i) {
        const std::string path = at("images", i);
        const json &e = images[i];
        expect_object(e, path);
        artgen::image im;
        im.type = int16_t(field(e, path, "type", INT16_MIN, INT16_MAX, 0));
        int64_t pal = field(e, path, "palette", 0, UINT16_MAX, 0);
        if (uint64_t(pal) >= set_.palettes.size())
            fail("set.json: " + path + ".palette: " + std::to_string(pal) +
                 " is past the palette table (" + std::to_string(set_.palettes.size()) +
                 " palettes)");
        im.palette = uint16_t(pal);
        auto name = text(e, path, "file");
        decoded_png png;
        bool resized = false;
        if (name) {
            std::string why;
            if (!png_decode(file(*name, at(path, "file")), png, why)) fail(*name + ": " + why);
            if (png.width > INT32_MAX || png.height > INT32_MAX)
                fail(*name + ": too large for an image");
            int64_t w = field(e, path, "width", INT32_MIN, INT32_MAX, int64_t(png.width));
            int64_t h = field(e, path, "height", INT32_MIN, INT32_MAX, int64_t(png.height));
            int64_t rowBytes = field(e, path, "rowBytes", INT32_MIN, INT32_MAX,
                                     is_mask(im.type) ? 0 : int64_t(png.width));
            resized = w != int64_t(png.width) || std::abs(h) != int64_t(png.height);
            im.width = int32_t(png.width);
            im.height = int32_t(h < 0 ? -int64_t(png.height) : int64_t(png.height));
            // A new size gets rows of exactly its width.
            im.rowBytes = int32_t(resized && !is_mask(im.type) ? png.width : rowBytes);
        } else {
            im.width = int32_t(field(e, path, "width", INT32_MIN, INT32_MAX, 0));
            im.height = int32_t(field(e, path, "height", INT32_MIN, INT32_MAX, 0));
            im.rowBytes = int32_t(field(e, path, "rowBytes", INT32_MIN, INT32_MAX, 0));
        }
        if (block_size(im) < 0)
            fail("set.json: " + path + ": a block of " + std::to_string(im.rowBytes) +
                 " row bytes, width " + std::to_string(im.width) + " and height " +
                 std::to_string(im.height) +
                 " does not fit the format (rows shorter than the width, or over 2 GiB)");
        if (e.contains("offset"))
            recordedOffset_.push_back(uint32_t(field(e, path, "offset", 0, UINT32_MAX, 0)));
        else
            recordedOffset_.push_back(std::nullopt);
        im.offset = recordedOffset_.back();
        set_.images.push_back(std::move(im));
        pngNames_.push_back(name.value_or(""));
        pngs_.push_back(std::move(png));
        resized_.push_back(resized);
    }
}

void packer::read_groups(const json &m) {
    const json &groups = list(m, "", "groups");
    for (size_t g = 0; g < groups.size(); ++g) {
        const std::string path = at("groups", g);
        const json &e = groups[g];
        expect_object(e, path);
        artgen::group gr;
        const json &header = list(e, path, "header");
        if (header.size() > 8) fail("set.json: " + path + ".header: at most 8 words");
        for (size_t w = 0; w < header.size(); ++w)
            gr.header[w] = uint32_t(number(header[w], at(path + ".header", w), 0, UINT32_MAX));
        const json &frames = list(e, path, "frames");
        for (size_t j = 0; j < frames.size(); ++j) {
            const std::string fpath = at(path + ".frames", j);
            const json &fe = frames[j];
            expect_object(fe, fpath);
            artgen::frame f;
            f.flagLowBits = uint8_t(field(fe, fpath, "flagBits", 0, 127, 0));
            for (auto [key, pair] : {std::pair{"ext1", &f.ext1}, std::pair{"ext2", &f.ext2}}) {
                if (!fe.contains(key)) continue;
                const json &v = fe[key];
                if (!v.is_array() || v.size() != 2)
                    fail("set.json: " + at(fpath, key) + ": expected two bytes");
                auto &bytes = pair->emplace();
                for (size_t b = 0; b < 2; ++b)
                    bytes[b] = uint8_t(number(v[b], at(at(fpath, key), b), 0, 255));
            }
            const json &pics = list(fe, fpath, "pictures");
            if (pics.size() > 127)
                fail("set.json: " + fpath + ".pictures: " + std::to_string(pics.size()) +
                     " pictures; a frame holds at most 127");
            bool used[128] = {};
            for (size_t k = 0; k < pics.size(); ++k) {
                const std::string ppath = at(fpath + ".pictures", k);
                const json &pe = pics[k];
                expect_object(pe, ppath);
                artgen::picture p;
                int64_t image = field(pe, ppath, "image", 0, UINT16_MAX, std::nullopt);
                if (uint64_t(image) >= set_.images.size())
                    fail("set.json: " + ppath + ".image: " + std::to_string(image) +
                         " is past the image table (" + std::to_string(set_.images.size()) +
                         " images)");
                p.image = uint16_t(image);
                p.x = int16_t(field(pe, ppath, "x", INT16_MIN, INT16_MAX, 0));
                p.y = int16_t(field(pe, ppath, "y", INT16_MIN, INT16_MAX, 0));
                p.spare = uint8_t(field(pe, ppath, "spare", 0, 255, 0));
                int64_t slot = field(pe, ppath, "slot", 0, int64_t(pics.size()) - 1, int64_t(k));
                if (used[slot])
                    fail("set.json: " + ppath + ".slot: " + std::to_string(slot) +
                         " is taken by another picture of the frame");
                used[slot] = true;
                p.slot = uint8_t(slot);
                f.pics.push_back(p);
            }
            gr.frames.push_back(std::move(f));
        }
        const json &appendix = list(e, path, "appendix");
        if (appendix.size() > 2)
            fail("set.json: " + path + ".appendix: at most 2 entries, not " +
                 std::to_string(appendix.size()));
        for (size_t a = 0; a < appendix.size(); ++a) {
            const std::string apath = at(path + ".appendix", a);
            if (!appendix[a].is_array() || appendix[a].size() != 4)
                fail("set.json: " + apath + ": expected four words");
            std::array<uint32_t, 4> entry;
            for (size_t w = 0; w < 4; ++w)
                entry[w] = uint32_t(number(appendix[a][w], at(apath, w), 0, UINT32_MAX));
            gr.appendix.push_back(entry);
        }
        set_.groups.push_back(std::move(gr));
    }
    uint64_t frames = 0, pics = 0;
    for (const artgen::group &g : set_.groups) {
        frames += g.frames.size();
        for (const artgen::frame &f : g.frames) pics += f.pics.size();
    }
    if (set_.groups.size() > UINT32_MAX || frames > UINT32_MAX || pics > UINT32_MAX)
        fail("set.json: groups: more groups, frames or pictures than the file's counts hold");
}

// Indexes of the image's pixels from its PNG, written into its block.
void packer::fill_from_png(size_t i, std::vector<uint8_t> &block) {
    const artgen::image &im = set_.images[i];
    const decoded_png &png = pngs_[i];
    const std::string &name = pngNames_[i];
    const size_t n = size_t(png.width) * png.height;
    const bool mask = is_mask(im.type);
    std::vector<uint8_t> idx(n);
    if (png.indexed) {
        idx = png.px;
        if (mask)
            for (size_t p = 0; p < n; ++p)
                if (idx[p] > 1)
                    fail(name + ": index " + std::to_string(idx[p]) + " at " +
                         std::to_string(p % png.width) + "," + std::to_string(p / png.width) +
                         " in a 1-bit mask (only 0, clear, and 1, shadow)");
    } else {
        // Colours back to indexes: transparent is 0, others must be a colour
        // of the palette (index 1 and up), or the nearest one when asked.
        const artgen::palette &pal = set_.palettes[im.palette];
        std::vector<uint32_t> colours; // index -> 0xRRGGBB
        if (mask) {
            colours = {0, 0};
        } else {
            for (size_t c = 0; c < std::min<size_t>(256, pal.data.size() / 4); ++c)
                colours.push_back(uint32_t(pal.data[4 * c]) << 16 | pal.data[4 * c + 1] << 8 |
                                  pal.data[4 * c + 2]);
        }
        std::unordered_map<uint32_t, uint8_t> lookup;
        for (size_t c = colours.size(); c-- > 1;) lookup[colours[c]] = uint8_t(c);
        uint64_t missed = 0;
        std::string first;
        for (size_t p = 0; p < n; ++p) {
            const uint8_t *q = &png.px[4 * p];
            if (q[3] == 0) {
                idx[p] = 0;
                continue;
            }
            uint32_t rgb = uint32_t(q[0]) << 16 | q[1] << 8 | q[2];
            auto it = lookup.find(rgb);
            if (it != lookup.end()) {
                idx[p] = it->second;
                continue;
            }
            if (settings_.remapNearest && colours.size() > 1) {
                uint64_t best = UINT64_MAX;
                for (size_t c = 1; c < colours.size(); ++c) {
                    int dr = int(q[0]) - int(colours[c] >> 16);
                    int dg = int(q[1]) - int(colours[c] >> 8 & 0xFF);
                    int db = int(q[2]) - int(colours[c] & 0xFF);
                    uint64_t d = uint64_t(dr * dr + dg * dg + db * db);
                    if (d < best) best = d, idx[p] = uint8_t(c);
                }
                ++out_.remapped;
                continue;
            }
            if (++missed <= 3) {
                char buf[64];
                std::snprintf(buf, sizeof buf, "%s%zu,%zu #%06x", missed > 1 ? ", " : "",
                              p % png.width, p / png.width, unsigned(rgb));
                first += buf;
            }
        }
        if (missed)
            fail(name + ": " + std::to_string(missed) + " pixel" + (missed > 1 ? "s" : "") +
                 " with colours not in " +
                 (mask ? std::string("a shadow mask (black or transparent)")
                       : "palette " + std::to_string(im.palette)) +
                 ", first at " + first +
                 "; paint with the palette's colours, or pack with --remap nearest");
    }
    const size_t row = mask ? size_t(artgen::mask_row_bytes(im.width)) : size_t(im.rowBytes);
    for (uint32_t y = 0; y < png.height; ++y)
        for (uint32_t x = 0; x < png.width; ++x) {
            uint8_t v = idx[size_t(y) * png.width + x];
            if (!mask) {
                block[y * row + x] = v;
            } else {
                uint8_t bit = uint8_t(0x80 >> (x % 8));
                uint8_t &b = block[y * row + x / 8];
                b = v ? uint8_t(b | bit) : uint8_t(b & ~bit);
            }
        }
}

uint64_t pixel_data(const std::vector<uint8_t> &bmp) {
    return bmp[10] | bmp[11] << 8 | bmp[12] << 16 | uint64_t(bmp[13]) << 24;
}

// The image's block: the kept bitmap's bytes where the image still has its
// place there (row padding survives), else zeros; then the PNG's pixels.
std::vector<uint8_t> packer::block_of(size_t i, const std::vector<uint8_t> *base) {
    const artgen::image &im = set_.images[i];
    const size_t size = size_t(block_size(im));
    std::vector<uint8_t> block(size, 0);
    if (base && recordedOffset_[i] && !resized_[i]) {
        uint64_t start = pixel_data(*base) + *recordedOffset_[i];
        if (start + size <= base->size())
            std::copy(base->begin() + long(start), base->begin() + long(start + size),
                      block.begin());
    }
    if (!pngNames_[i].empty()) fill_from_png(i, block);
    return block;
}

void packer::lay_out() {
    const std::vector<uint8_t> *base = base_.size() >= 14 ? &base_ : nullptr;
    bool keep = base && !layout_.empty() && layout_ == layout_digest(set_.images);
    if (keep) {
        const uint64_t pd = pixel_data(base_);
        // An empty block may lie anywhere, past the file's end too: the
        // loader reads nothing for it.
        for (const artgen::image &im : set_.images)
            if (block_size(im) && pd + *im.offset + uint64_t(block_size(im)) > base_.size())
                keep = false;
    }
    if (keep) {
        // Only blocks whose bytes changed are written, so an image that shares
        // its block with an edited one does not undo the edit.
        out_.bmp = base_;
        const uint64_t pd = pixel_data(base_);
        for (size_t i = 0; i < set_.images.size(); ++i) {
            if (pngNames_[i].empty()) continue;
            std::vector<uint8_t> block = block_of(i, base);
            auto at = out_.bmp.begin() + long(pd + *set_.images[i].offset);
            if (!std::equal(block.begin(), block.end(),
                            base_.begin() + long(pd + *set_.images[i].offset)))
                std::copy(block.begin(), block.end(), at);
        }
        return;
    }
    out_.laidOut = true;
    std::unordered_map<std::string, uint32_t> placed;
    uint64_t next = 0;
    for (size_t i = 0; i < set_.images.size(); ++i) {
        artgen::image &im = set_.images[i];
        im.pixels = block_of(i, base);
        std::string key(im.pixels.begin(), im.pixels.end());
        auto it = placed.find(key);
        if (it != placed.end()) {
            im.offset = it->second;
            continue;
        }
        if (next + im.pixels.size() > INT32_MAX)
            fail("the images' pixel blocks add up to more than 2 GiB, more than a bitmap file "
                 "holds");
        im.offset = uint32_t(next);
        placed.emplace(std::move(key), uint32_t(next));
        next += im.pixels.size();
    }
    out_.bmp = artgen::write_bmp(set_);
}

void packer::run() {
    const std::vector<uint8_t> bytes = file(kManifestName, "");
    json m;
    try {
        m = json::parse(bytes.begin(), bytes.end());
    } catch (const json::parse_error &e) {
        fail(std::string(kManifestName) + ": not valid JSON: " + e.what());
    }
    expect_object(m, "(top)");
    if (!m.contains("format") || m["format"] != kManifestFormat)
        fail(std::string(kManifestName) + ": \"format\" is not \"" + kManifestFormat +
             "\": not a manifest zevart unpack writes");
    int64_t version = field(m, "", "version", 0, INT32_MAX, std::nullopt);
    if (version != kManifestVersion)
        fail(std::string(kManifestName) + ": version " + std::to_string(version) +
             " (this zevart reads version " + std::to_string(kManifestVersion) + ")");
    if (m.contains("bitmap")) {
        const json &b = m["bitmap"];
        expect_object(b, "bitmap");
        if (auto name = text(b, "bitmap", "file")) base_ = file(*name, "bitmap.file");
        layout_ = text(b, "bitmap", "layout").value_or("");
        if (!base_.empty() && base_.size() < 14)
            fail(text(b, "bitmap", "file").value() + ": too short for a bitmap file");
    }
    read_palettes(m);
    read_images(m);
    read_groups(m);
    if (m.contains("spare")) {
        const json &s = m["spare"];
        expect_object(s, "spare");
        uint64_t frames = set_.frame_count(), pics = set_.picture_count(),
                 ext = set_.ext_info_count();
        int64_t sf = field(s, "spare", "frames", 0, int64_t(UINT32_MAX - frames), 0);
        int64_t sp = field(s, "spare", "pictures", 0, int64_t(UINT32_MAX - pics), 0);
        int64_t se = field(s, "spare", "extInfos", 0, int64_t(UINT32_MAX - ext), 0);
        if (sf) set_.frameCountField = uint32_t(frames + sf);
        if (sp) set_.picCountField = uint32_t(pics + sp);
        if (se) set_.extInfoCountField = uint32_t(ext + se);
    }
    if (auto tail = text(m, "", "prtTail")) set_.trailing = file(*tail, "prtTail");
    lay_out();
    out_.prt = artgen::write_prt(set_);

    // What the library makes of it, as the game's tools would load it.
    art_handle check;
    memory_source b(out_.bmp.data(), out_.bmp.size()), p(out_.prt.data(), out_.prt.size());
    int code = load_art(&check, "", "", &b, &p);
    if (code != ART_OK)
        fail("the packed set does not load (loader code " + std::to_string(code) +
             "): spare table entries beyond what the file can hold?");
}

} // namespace

bool pack_set(const folder_reader &read, const pack_settings &settings, pack_result &out,
              std::string &err) {
    out = pack_result{};
    try {
        packer(read, settings, out).run();
        return true;
    } catch (const pack_error &e) {
        err = e.message;
    } catch (const std::bad_alloc &) {
        err = "not enough memory";
    } catch (const json::exception &e) {
        err = std::string(kManifestName) + ": " + e.what();
    }
    out = pack_result{};
    return false;
}

bool pack_map(const folder_map &folder, const pack_settings &settings, pack_result &out,
              std::string &err) {
    folder_reader read = [&folder](const std::string &path, std::vector<uint8_t> &bytes,
                                   std::string &why) {
        auto it = folder.find(path);
        if (it == folder.end()) {
            why = "No such file or directory";
            return false;
        }
        bytes = it->second;
        return true;
    };
    return pack_set(read, settings, out, err);
}
