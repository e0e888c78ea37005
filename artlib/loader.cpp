// LoadArtFromFile: reads an art-structure file ("CPAL") and the pixel blocks
// its images name in a bitmap file, into an empty handle.
//
// Nothing in either file is trusted. Every count is checked against the bytes
// the file still holds before anything is allocated for it, every index and
// slot against its table, and every pixel block against the bitmap file. The
// set is built aside and handed to the handle only when all of it is sound; a
// failure leaves the handle ART_FAILED, owning nothing.
#include "art_set.h"

#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <new>
#include <vector>

namespace {

// Sequential reader over the art-structure file. Small fields come from a
// window refilled in large reads, so parsing costs no system call per field.
class prt_reader {
public:
    explicit prt_reader(const byte_source &src) : src_(src), size_(src.size()), window_(kWindow) {}

    uint64_t remaining() const { return size_ - pos_; }

    bool read(void *dst, size_t n) {
        if (n > remaining()) return false;
        uint8_t *out = static_cast<uint8_t *>(dst);
        uint64_t cached = winEnd_ > pos_ ? winEnd_ - pos_ : 0;
        if (n <= cached) {
            memcpy(out, window_.data() + (pos_ - winStart_), n);
            pos_ += n;
            return true;
        }
        if (n >= kWindow / 2) { // big blocks go straight to their destination
            if (cached) memcpy(out, window_.data() + (pos_ - winStart_), cached);
            if (!src_.read(pos_ + cached, out + cached, n - cached)) return false;
            pos_ += n;
            return true;
        }
        if (!refill()) return false;
        memcpy(out, window_.data(), n);
        pos_ += n;
        return true;
    }

    bool skip(uint64_t n) {
        if (n > remaining()) return false;
        pos_ += n;
        return true;
    }

    bool u8(uint8_t &v) { return read(&v, 1); }
    bool u16(uint16_t &v) {
        uint8_t b[2];
        if (!read(b, 2)) return false;
        v = static_cast<uint16_t>(b[0] | b[1] << 8);
        return true;
    }
    bool u32(uint32_t &v) {
        uint8_t b[4];
        if (!read(b, 4)) return false;
        v = b[0] | b[1] << 8 | b[2] << 16 | static_cast<uint32_t>(b[3]) << 24;
        return true;
    }
    bool i16(int16_t &v) {
        uint16_t u;
        if (!u16(u)) return false;
        v = static_cast<int16_t>(u);
        return true;
    }
    bool i32(int32_t &v) {
        uint32_t u;
        if (!u32(u)) return false;
        v = static_cast<int32_t>(u);
        return true;
    }

private:
    static constexpr size_t kWindow = 64 * 1024;

    bool refill() {
        size_t n = static_cast<size_t>(std::min<uint64_t>(kWindow, remaining()));
        if (!src_.read(pos_, window_.data(), n)) return false;
        winStart_ = pos_;
        winEnd_ = pos_ + n;
        return true;
    }

    const byte_source &src_;
    uint64_t size_;
    uint64_t pos_ = 0;
    std::vector<uint8_t> window_;
    uint64_t winStart_ = 0, winEnd_ = 0;
};

// Smallest number of bytes each record takes in the file: no count may
// promise more records than the rest of the file could hold.
constexpr uint64_t kMinPaletteSection = 28;
constexpr uint64_t kImageRecord = 20;
constexpr uint64_t kMinGroupRecord = 40;
constexpr uint64_t kMinFrameRecord = 2;
constexpr uint64_t kPictureRecord = 8;
constexpr uint32_t kMaxPaletteBytes = 262144; // fewer than 65 536 colours
constexpr uint32_t kMaxAppendix = 2;

struct block_ref {
    uint32_t offset; // from the start of the bitmap's pixel data
    uint32_t size;
};

class loader {
public:
    loader(art_handle &out, const byte_source &prt) : set_(out), in_(prt) {}

    int parse_structure();
    int read_pixels(const byte_source *bmp);

    set_blocks blocks;

private:
    template <typename T> bool alloc_table(T *&table, uint64_t count) {
        table = nullptr;
        if (count == 0) return true;
        if (count > SIZE_MAX / sizeof(T)) return false;
        table = static_cast<T *>(blocks.alloc(static_cast<size_t>(count) * sizeof(T)));
        return table != nullptr;
    }

    int read_palettes();
    int read_images();
    int read_groups();
    int read_group(mem_group &g);
    int read_frame(mem_group &g, uint32_t j);

    art_handle &set_;
    prt_reader in_;
    std::vector<block_ref> blockRefs_;
    uint32_t nextFrame_ = 0, nextPic_ = 0, nextExt_ = 0;
};

int loader::parse_structure() {
    char magic[4];
    if (!in_.read(magic, 4) || memcmp(magic, "CPAL", 4) != 0) return ART_ERR_MAGIC;
    if (int code = read_palettes()) return code;
    if (int code = read_images()) return code;
    return read_groups();
}

int loader::read_palettes() {
    if (!in_.u32(set_.paletteCount)) return ART_ERR_FORMAT;
    if (set_.paletteCount > in_.remaining() / kMinPaletteSection) return ART_ERR_FORMAT;
    if (!alloc_table(set_.palettes, set_.paletteCount)) return ART_ERR_MEMORY;

    for (uint32_t i = 0; i < set_.paletteCount; ++i) {
        mem_palette &p = set_.palettes[i];
        uint32_t size;
        if (!in_.skip(24) || !in_.u32(size)) return ART_ERR_FORMAT;
        if (size > in_.remaining()) return ART_ERR_PALETTE;
        if (size >= kMaxPaletteBytes) return ART_ERR_FORMAT;
        p.colorCount = size / 4;
        uint8_t *data = static_cast<uint8_t *>(blocks.alloc(size));
        if (size && !data) return ART_ERR_MEMORY;
        if (size && !in_.read(data, size)) return ART_ERR_PALETTE;
        // Stored red first; kept in RGBQUAD order.
        for (uint32_t c = 0; c < p.colorCount; ++c) std::swap(data[4 * c], data[4 * c + 2]);
        p.colors = reinterpret_cast<RGBQUAD *>(data);
    }
    return ART_OK;
}

// Byte size of an image's pixel block, or -1 when the record can't describe
// a block that drawing could use safely.
int64_t block_size(const mem_image &im) {
    int64_t rows = im.height < 0 ? -static_cast<int64_t>(im.height) : im.height;
    int64_t size;
    if (im.type == 4 || im.type == 5) {
        int64_t words = ((static_cast<int64_t>(im.width) - 1) >> 5) + 1;
        if (words < 0) return -1;
        size = rows * words * 4;
    } else {
        if (im.rowBytes < 0) return -1;
        // A drawable row must hold `width` pixels.
        if (im.height > 0 && im.width > 0 && im.rowBytes < im.width) return -1;
        size = rows * im.rowBytes;
    }
    return size > INT32_MAX ? -1 : size;
}

int loader::read_images() {
    if (!in_.u32(set_.imageCount)) return ART_ERR_FORMAT;
    if (set_.imageCount > in_.remaining() / kImageRecord) return ART_ERR_FORMAT;
    if (!alloc_table(set_.images, set_.imageCount)) return ART_ERR_MEMORY;
    try {
        blockRefs_.resize(set_.imageCount);
    } catch (const std::bad_alloc &) {
        return ART_ERR_MEMORY;
    }

    for (uint32_t i = 0; i < set_.imageCount; ++i) {
        mem_image &im = set_.images[i];
        uint32_t offset;
        uint16_t palette;
        int32_t rowBytes, height, width;
        int16_t type;
        if (!in_.i32(rowBytes) || !in_.u32(offset) || !in_.i32(height) || !in_.i32(width) ||
            !in_.i16(type) || !in_.u16(palette))
            return ART_ERR_FORMAT;
        im.rowBytes = rowBytes;
        im.height = height;
        im.width = width;
        im.type = type;
        if (palette >= set_.paletteCount) return ART_ERR_FORMAT;
        im.palette = &set_.palettes[palette];
        int64_t size = block_size(im);
        if (size < 0) return ART_ERR_FORMAT;
        blockRefs_[i] = {offset, static_cast<uint32_t>(size)};
    }
    return ART_OK;
}

int loader::read_groups() {
    if (!in_.u32(set_.groupCount) || !in_.u32(set_.frameCount) || !in_.u32(set_.picCount) ||
        !in_.u32(set_.extInfoCount))
        return ART_ERR_FORMAT;
    uint64_t left = in_.remaining();
    if (set_.groupCount > left / kMinGroupRecord || set_.frameCount > left / kMinFrameRecord ||
        set_.picCount > left / kPictureRecord || set_.extInfoCount > set_.frameCount)
        return ART_ERR_FORMAT;
    if (!alloc_table(set_.groups, set_.groupCount) || !alloc_table(set_.frames, set_.frameCount) ||
        !alloc_table(set_.pics, set_.picCount) || !alloc_table(set_.extInfos, set_.extInfoCount))
        return ART_ERR_MEMORY;

    for (uint32_t g = 0; g < set_.groupCount; ++g)
        if (int code = read_group(set_.groups[g])) return code;
    return ART_OK;
}

int loader::read_group(mem_group &g) {
    for (uint32_t &w : g.header)
        if (!in_.u32(w)) return ART_ERR_FORMAT;
    if (!in_.u32(g.frameCount)) return ART_ERR_FORMAT;
    if (g.frameCount > set_.frameCount - nextFrame_) return ART_ERR_FORMAT;
    g.frames = set_.frames ? set_.frames + nextFrame_ : nullptr;
    g.extInfo = nullptr;

    for (uint32_t j = 0; j < g.frameCount; ++j)
        if (int code = read_frame(g, j)) return code;

    if (!in_.u32(g.appendixCount)) return ART_ERR_FORMAT;
    if (g.appendixCount > kMaxAppendix) return ART_ERR_FORMAT;
    for (uint32_t a = 0; a < g.appendixCount; ++a)
        for (uint32_t &w : g.appendix[a].data)
            if (!in_.u32(w)) return ART_ERR_FORMAT;
    return ART_OK;
}

int loader::read_frame(mem_group &g, uint32_t j) {
    mem_frame &f = set_.frames[nextFrame_++];
    uint8_t countByte, flagByte;
    if (!in_.u8(countByte) || !in_.u8(flagByte)) return ART_ERR_FORMAT;
    uint32_t n = countByte & 0x7F;
    if (n > set_.picCount - nextPic_) return ART_ERR_FORMAT;
    f.picCount = static_cast<uint16_t>(n);
    f.pics = set_.pics ? set_.pics + nextPic_ : nullptr;

    if ((countByte | flagByte) & 0x80) {
        if (!g.extInfo) { // the whole run, one entry per frame, is reserved at once
            if (g.frameCount > set_.extInfoCount - nextExt_) return ART_ERR_FORMAT;
            g.extInfo = set_.extInfos + nextExt_;
            nextExt_ += g.frameCount;
        }
        // Frame j's bytes go to entry j, the entry shown as frame j's.
        mem_ext_info &e = g.extInfo[j];
        if ((countByte & 0x80) && !in_.read(&e.data[0], 2)) return ART_ERR_FORMAT;
        if ((flagByte & 0x80) && !in_.read(&e.data[2], 2)) return ART_ERR_FORMAT;
    }

    uint8_t slotUsed[128] = {};
    for (uint32_t k = 0; k < n; ++k) {
        uint16_t image;
        uint8_t ignored, slot;
        int16_t x, y;
        if (!in_.u16(image) || !in_.u8(ignored) || !in_.u8(slot) || !in_.i16(x) || !in_.i16(y))
            return ART_ERR_FORMAT;
        if (image >= set_.imageCount || slot >= n || slotUsed[slot]) return ART_ERR_FORMAT;
        slotUsed[slot] = 1;
        mem_pic &p = f.pics[slot];
        p.image = &set_.images[image];
        p.x = x;
        p.y = y;
    }
    nextPic_ += n;
    return ART_OK;
}

// Reads the bitmap's pixel area that the blocks cover in one go; each image
// then points into it. Memory is bounded by the bitmap file's size, however
// many images share or overlap blocks.
int loader::read_pixels(const byte_source *bmp) {
    if (!bmp) return ART_ERR_BITMAP;
    uint8_t field[4];
    if (!bmp->read(10, field, 4)) return ART_ERR_BITMAP;
    uint64_t pixelData = field[0] | field[1] << 8 | field[2] << 16 | uint64_t(field[3]) << 24;

    uint64_t lo = UINT64_MAX, hi = 0;
    for (const block_ref &b : blockRefs_) {
        if (b.size == 0) continue;
        uint64_t start = pixelData + b.offset;
        lo = std::min(lo, start);
        hi = std::max(hi, start + b.size);
    }
    if (hi == 0) return ART_OK; // no image has pixels
    if (hi > bmp->size()) return ART_ERR_BITMAP;
    if (hi - lo > SIZE_MAX) return ART_ERR_MEMORY;

    size_t span = static_cast<size_t>(hi - lo);
    // Not cleared: every byte is read from the file below.
    blocks.pixels = pixel_area(span);
    uint8_t *area = blocks.pixels.data();
    if (!area) return ART_ERR_MEMORY;
    if (!bmp->read(lo, area, span)) return ART_ERR_BITMAP;

    for (uint32_t i = 0; i < set_.imageCount; ++i) {
        const block_ref &b = blockRefs_[i];
        set_.images[i].pixels = b.size ? area + (pixelData + b.offset - lo) : nullptr;
    }
    return ART_OK;
}

char *copy_name(set_blocks &blocks, const char *name) {
    if (!name) name = "";
    size_t n = strlen(name) + 1;
    char *copy = static_cast<char *>(blocks.alloc(n));
    if (copy) memcpy(copy, name, n);
    return copy;
}

// Fills the handle's fields (its state still ART_EMPTY) and, on success,
// hands over the blocks they point into.
int build_set(art_handle &set, set_blocks &blocks, const char *bmpName, const char *prtName,
              const byte_source *bmp, const byte_source *prt) {
    if (!prt) return ART_ERR_MAGIC;
    loader ld(set, *prt);
    if (int code = ld.parse_structure()) return code;
    if (int code = ld.read_pixels(bmp)) return code;
    set.bmpFileName = copy_name(ld.blocks, bmpName);
    set.prtFileName = copy_name(ld.blocks, prtName);
    if (!set.bmpFileName || !set.prtFileName) return ART_ERR_MEMORY;
    blocks = std::move(ld.blocks);
    return ART_OK;
}

} // namespace

int load_art(art_handle *handle, const char *bmpName, const char *prtName, const byte_source *bmp,
             const byte_source *prt) {
    if (!handle || handle->loadState != ART_EMPTY) return ART_ERR_NOT_EMPTY;

    memset(static_cast<void *>(handle), 0, sizeof *handle);
    set_blocks blocks; // frees everything built so far unless adopted
    int code;
    try {
        code = build_set(*handle, blocks, bmpName, prtName, bmp, prt);
        if (code == ART_OK && !adopt_set(handle, blocks)) code = ART_ERR_MEMORY;
    } catch (const std::bad_alloc &) {
        code = ART_ERR_MEMORY;
    }
    if (code == ART_OK) {
        handle->loadState = ART_LOADED;
    } else {
        memset(static_cast<void *>(handle), 0, sizeof *handle);
        handle->loadState = ART_FAILED;
    }
    return code;
}

int LoadArtFromFile(const char *bmpFile, const char *prtFile, art_handle *handle) {
    if (!handle || handle->loadState != ART_EMPTY) return ART_ERR_NOT_EMPTY;
    std::unique_ptr<byte_source> prt, bmp;
    try {
        prt = open_file_source(prtFile);
        bmp = open_file_source(bmpFile);
    } catch (const std::bad_alloc &) {
        memset(static_cast<void *>(handle), 0, sizeof *handle);
        handle->loadState = ART_FAILED;
        return ART_ERR_MEMORY;
    }
    return load_art(handle, bmpFile, prtFile, bmp.get(), prt.get());
}
