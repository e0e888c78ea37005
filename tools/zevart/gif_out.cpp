#include "gif_out.h"

#include "core_lock.h"

#include <gif_lib.h>

#include <algorithm>
#include <cstring>
#include <vector>

namespace {

const uint8_t kBayer4[4][4] = {{0, 8, 2, 10}, {12, 4, 14, 6}, {3, 11, 1, 9}, {15, 7, 13, 5}};

// The distinct colours of one table (at most 255, the 256th index being
// transparency), found again by a small open-addressing hash.
class colour_table {
public:
    colour_table() { clear(); }
    void clear() {
        std::fill(std::begin(keys_), std::end(keys_), kEmpty);
        count_ = 0;
    }
    unsigned size() const { return count_; }
    const uint32_t *colours() const { return colours_; }
    // Index of `rgb`, added if new; -1 once it would be the 256th colour.
    int index(uint32_t rgb) {
        for (uint32_t slot = (rgb * 2654435761u) >> 22;; slot = (slot + 1) & (kSlots - 1)) {
            if (keys_[slot] == rgb) return values_[slot];
            if (keys_[slot] != kEmpty) continue;
            if (count_ == kMaxColours) return -1;
            keys_[slot] = rgb;
            values_[slot] = uint8_t(count_);
            colours_[count_] = rgb;
            return int(count_++);
        }
    }

private:
    static constexpr uint32_t kEmpty = 0xFFFFFFFF; // no 24-bit colour
    static constexpr unsigned kSlots = 1024, kMaxColours = 255;
    uint32_t keys_[kSlots];
    uint8_t values_[kSlots];
    uint32_t colours_[kMaxColours];
    unsigned count_;
};

uint32_t rgb_at(const uint8_t *p) {
    return uint32_t(p[0]) << 16 | p[1] << 8 | p[2];
}

// Adds the shown colours of `img`; false when they don't fit.
bool collect(const rgba_image &img, colour_table &table) {
    const uint8_t *p = img.px.data();
    for (uint32_t y = 0; y < img.height; ++y)
        for (uint32_t x = 0; x < img.width; ++x, p += 4)
            if (gif_shows(p[3], x, y) && table.index(rgb_at(p)) < 0) return false;
    return true;
}

ColorMapObject *make_map(const uint32_t *colours, unsigned count) {
    int size = 2;
    while (size < int(count) + 1) size *= 2; // room for the transparent index
    ColorMapObject *map = GifMakeMapObject(size, nullptr);
    if (!map) return nullptr;
    for (int i = 0; i < size; ++i) {
        uint32_t c = i < int(count) ? colours[i] : 0;
        map->Colors[i] = {GifByteType(c >> 16), GifByteType(c >> 8), GifByteType(c)};
    }
    return map;
}

struct gif_file {
    GifFileType *gif = nullptr;
    ~gif_file() {
        if (gif) EGifCloseFile(gif, nullptr);
    }
};

int write_bytes(GifFileType *gif, const GifByteType *data, int n) {
    return int(std::fwrite(data, 1, size_t(n), static_cast<FILE *>(gif->UserData)));
}

std::string gif_error(const GifFileType *gif, const char *what) {
    const char *text = gif ? GifErrorString(gif->Error) : nullptr;
    return std::string("GIF encoding failed: ") + what + (text ? std::string(": ") + text : "");
}

// The frame's indexes into the table, row after row, written by giflib.
bool put_frame(GifFileType *gif, const rgba_image &img, uint16_t delayCs, ColorMapObject *local,
               const std::vector<uint8_t> &indexes, int transparent, std::string &err) {
    GraphicsControlBlock gcb{};
    gcb.DisposalMode = DISPOSE_BACKGROUND;
    gcb.UserInputFlag = false;
    gcb.DelayTime = delayCs;
    gcb.TransparentColor = transparent;
    GifByteType ext[4];
    size_t n = EGifGCBToExtension(&gcb, ext);
    if (EGifPutExtension(gif, GRAPHICS_EXT_FUNC_CODE, int(n), ext) == GIF_ERROR ||
        EGifPutImageDesc(gif, 0, 0, int(img.width), int(img.height), false, local) == GIF_ERROR) {
        err = gif_error(gif, "frame header");
        return false;
    }
    for (uint32_t y = 0; y < img.height; ++y)
        if (EGifPutLine(gif, const_cast<GifByteType *>(&indexes[size_t(y) * img.width]),
                        int(img.width)) == GIF_ERROR) {
            err = gif_error(gif, "pixel data");
            return false;
        }
    return true;
}

// Indexes of the frame by an exact table; false when the frame has more
// colours than the table holds.
bool map_exact(const rgba_image &img, colour_table &table, int transparent,
               std::vector<uint8_t> &indexes) {
    const uint8_t *p = img.px.data();
    uint8_t *out = indexes.data();
    for (uint32_t y = 0; y < img.height; ++y)
        for (uint32_t x = 0; x < img.width; ++x, p += 4) {
            int i = gif_shows(p[3], x, y) ? table.index(rgb_at(p)) : transparent;
            if (i < 0) return false;
            *out++ = uint8_t(i);
        }
    return true;
}

// A 255-colour table for the frame by median cut over its shown pixels.
ColorMapObject *map_quantized(const rgba_image &img, int transparent,
                              std::vector<uint8_t> &indexes) {
    std::vector<GifByteType> r, g, b;
    const uint8_t *p = img.px.data();
    for (uint32_t y = 0; y < img.height; ++y)
        for (uint32_t x = 0; x < img.width; ++x, p += 4)
            if (gif_shows(p[3], x, y)) {
                r.push_back(p[0]);
                g.push_back(p[1]);
                b.push_back(p[2]);
            }
    std::vector<GifByteType> shown(r.size());
    ColorMapObject *map = GifMakeMapObject(256, nullptr);
    if (!map) return nullptr;
    int size = 255, status;
    {
        // giflib's quantizer keeps the axis it sorts by in a static variable:
        // two frames quantized at once on different threads spoil each other's
        // tables.
        static core_mutex quantizer;
        core_lock lock(quantizer);
        status = GifQuantizeBuffer(unsigned(r.size()), 1, &size, r.data(), g.data(), b.data(),
                                   shown.data(), map->Colors);
    }
    if (status == GIF_ERROR) {
        GifFreeMapObject(map);
        return nullptr;
    }
    map->Colors[transparent] = {0, 0, 0};
    p = img.px.data();
    size_t k = 0;
    uint8_t *out = indexes.data();
    for (uint32_t y = 0; y < img.height; ++y)
        for (uint32_t x = 0; x < img.width; ++x, p += 4)
            *out++ = gif_shows(p[3], x, y) ? shown[k++] : uint8_t(transparent);
    return map;
}

} // namespace

bool gif_shows(uint8_t alpha, uint32_t x, uint32_t y) {
    return alpha > kBayer4[y & 3][x & 3] * 16 + 8;
}

bool write_gif(FILE *out, frame_source &frames, uint16_t delayCs, std::string &err) {
    const uint32_t count = frames.count();
    if (count == 0) {
        err = "an animation needs a frame";
        return false;
    }
    const rgba_image &first = frames.frame(0);
    const uint32_t width = first.width, height = first.height;
    if (width > kMaxGifSide || height > kMaxGifSide) {
        err = "too large for a GIF (" + std::to_string(kMaxGifSide) + " pixels a side at most)";
        return false;
    }

    // One exact table for all frames when they share few enough colours.
    colour_table global;
    bool shared = true;
    for (uint32_t i = 0; i < count && shared; ++i) shared = collect(frames.frame(i), global);

    int error = 0;
    gif_file file;
    file.gif = EGifOpen(out, write_bytes, &error);
    if (!file.gif) {
        err = std::string("GIF encoding failed: ") + GifErrorString(error);
        return false;
    }
    GifFileType *gif = file.gif;
    EGifSetGifVersion(gif, true);
    ColorMapObject *globalMap = shared ? make_map(global.colours(), global.size()) : nullptr;
    int status = EGifPutScreenDesc(gif, int(width), int(height), 8, 0, globalMap);
    GifFreeMapObject(globalMap);
    const GifByteType loop[3] = {1, 0, 0}; // sub-block 1: repeat count 0, forever
    if (status == GIF_ERROR ||
        EGifPutExtensionLeader(gif, APPLICATION_EXT_FUNC_CODE) == GIF_ERROR ||
        EGifPutExtensionBlock(gif, 11, "NETSCAPE2.0") == GIF_ERROR ||
        EGifPutExtensionBlock(gif, 3, loop) == GIF_ERROR ||
        EGifPutExtensionTrailer(gif) == GIF_ERROR) {
        err = gif_error(gif, "header");
        return false;
    }

    std::vector<uint8_t> indexes(size_t(width) * height);
    colour_table local;
    for (uint32_t i = 0; i < count; ++i) {
        const rgba_image &img = frames.frame(i);
        if (img.width != width || img.height != height) {
            err = "the frames of an animation differ in size";
            return false;
        }
        ColorMapObject *map = nullptr;
        int transparent;
        if (shared) {
            transparent = int(global.size());
            map_exact(img, global, transparent, indexes);
        } else {
            local.clear();
            if (map_exact(img, local, 255, indexes)) {
                map = make_map(local.colours(), local.size());
                transparent = int(local.size());
                // Indexes were given with 255 for transparency; move them.
                if (transparent != 255)
                    std::replace(indexes.begin(), indexes.end(), uint8_t(255),
                                 uint8_t(transparent));
            } else {
                transparent = 255;
                map = map_quantized(img, transparent, indexes);
            }
            if (!map) {
                err = "not enough memory for a GIF colour table";
                return false;
            }
        }
        bool ok = put_frame(gif, img, delayCs, map, indexes, transparent, err);
        GifFreeMapObject(map);
        if (!ok) return false;
    }
    GifFileType *done = file.gif;
    file.gif = nullptr;
    if (EGifCloseFile(done, &error) == GIF_ERROR) {
        err = std::string("GIF encoding failed: ") + GifErrorString(error);
        return false;
    }
    return true;
}
