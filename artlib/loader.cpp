// LoadArtFromFile: reads an art-structure file ("CPAL") and the pixel blocks
// its images name in a bitmap file, into an empty handle.
//
// Nothing in either file is trusted. Every count is checked against what the
// file can hold before anything is allocated for it, every index and slot
// against its table, and every pixel block against the bitmap file. The set
// is built aside and handed to the handle only when all of it is sound; a
// failure leaves the handle ART_FAILED, owning nothing, with a report of what
// was wrong and where (get_loadError).
#include "art_set.h"

#include <stdarg.h>
#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <algorithm>
#include <new>
#include <vector>

#if defined(__MINGW_PRINTF_FORMAT)
#define ZEVART_PRINTF(f, a) __attribute__((format(__MINGW_PRINTF_FORMAT, f, a)))
#elif defined(__GNUC__)
#define ZEVART_PRINTF(f, a) __attribute__((format(printf, f, a)))
#else
#define ZEVART_PRINTF(f, a)
#endif

namespace {

// Sequential reader over the art-structure file. Small fields come from a
// window refilled in large reads, so parsing costs no system call per field.
class prt_reader {
public:
    explicit prt_reader(const byte_source &src) : src_(src), size_(src.size()), window_(kWindow) {}

    uint64_t pos() const { return pos_; }
    uint64_t remaining() const { return size_ - pos_; }

    // Back to an offset already read.
    void seek(uint64_t pos) {
        pos_ = pos;
        winStart_ = winEnd_ = 0;
    }

    bool read(void *dst, size_t n) {
        if (n > remaining()) return false;
        uint8_t *out = static_cast<uint8_t *>(dst);
        uint64_t cached = winEnd_ > pos_ && pos_ >= winStart_ ? winEnd_ - pos_ : 0;
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

uint16_t le16(const uint8_t *b) {
    return static_cast<uint16_t>(b[0] | b[1] << 8);
}
uint32_t le32(const uint8_t *b) {
    return b[0] | b[1] << 8 | b[2] << 16 | static_cast<uint32_t>(b[3]) << 24;
}

// Smallest number of bytes each record takes in the file: no count may
// promise more records than the rest of the file could hold.
constexpr uint64_t kMinPaletteSection = 28;
constexpr uint64_t kImageRecord = 20;
constexpr uint64_t kMinGroupRecord = 40;
constexpr uint64_t kPictureRecord = 8;
constexpr uint32_t kMaxPaletteBytes = 262144; // fewer than 65 536 colours
constexpr uint32_t kMaxAppendix = 2;
// Frame, picture and extended-info entries that no group uses take no bytes
// of the file, so the file can't bound them; this many of each table are
// accepted, whatever else the file holds.
constexpr uint32_t kMaxSpareEntries = 1u << 20;
constexpr uint32_t kNoRun = UINT32_MAX;

struct block_ref {
    uint32_t offset; // from the start of the bitmap's pixel data
    uint32_t size;
};

// The record being read, named at the front of a failure's reason.
struct place {
    enum { file, palette, image, group, frame, picture } record = file;
    uint32_t index = 0;         // palette, image or group
    uint32_t groupFrame = 0;    // within the group
    uint32_t frameEntry = 0;    // in the frame table
    uint32_t pictureRecord = 0; // within the frame, in file order
};

class loader {
public:
    loader(art_handle &out, const byte_source &prt, load_report &report)
        : set_(out), in_(prt), report_(report) {}

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

    int fail(int code, int64_t offset, const char *format, ...) ZEVART_PRINTF(4, 5);
    int out_of_memory(const char *what);
    int get(void *dst, size_t n, const char *field);
    int get32(uint32_t &v, const char *field);

    int read_palettes();
    int read_images();
    int check_block(const mem_image &im, uint64_t at, int64_t &size);
    int read_groups();
    int read_all_groups();
    int read_group(uint32_t gi);
    int read_frame(mem_group &g, uint32_t j);
    int check_spare(uint64_t at, const char *field, uint32_t count, uint32_t used);

    art_handle &set_;
    prt_reader in_;
    load_report &report_;
    place at_;
    std::vector<block_ref> blockRefs_;
    bool filling_ = false; // the second pass over the groups, into the tables
    uint32_t nextFrame_ = 0, nextPic_ = 0, nextExt_ = 0;
    uint32_t extRun_ = kNoRun; // first entry of the current group's run
};

int loader::fail(int code, int64_t offset, const char *format, ...) {
    char *text = report_.reason;
    const size_t size = sizeof report_.reason;
    int n = 0;
    switch (at_.record) {
    case place::file:
        break;
    case place::palette:
        n = snprintf(text, size, "palette %u: ", at_.index);
        break;
    case place::image:
        n = snprintf(text, size, "image %u: ", at_.index);
        break;
    case place::group:
        n = snprintf(text, size, "group %u: ", at_.index);
        break;
    case place::frame:
        n = snprintf(text, size, "group %u, frame %u (frame %u of the table): ", at_.index,
                     at_.groupFrame, at_.frameEntry);
        break;
    case place::picture:
        n = snprintf(text, size,
                     "group %u, frame %u (frame %u of the table), picture record %u: ", at_.index,
                     at_.groupFrame, at_.frameEntry, at_.pictureRecord);
        break;
    }
    if (n < 0 || size_t(n) >= size) n = 0;
    va_list args;
    va_start(args, format);
    vsnprintf(text + n, size - size_t(n), format, args);
    va_end(args);
    report_.code = code;
    report_.offset = offset;
    return code;
}

int loader::out_of_memory(const char *what) {
    at_.record = place::file;
    return fail(ART_ERR_MEMORY, -1, "not enough memory for %s", what);
}

// Reads a field of the current record; a file that ends first is reported
// with the field's offset.
int loader::get(void *dst, size_t n, const char *field) {
    const uint64_t at = in_.pos();
    if (n == 0 || in_.read(dst, n)) return ART_OK;
    if (n > in_.remaining())
        return fail(ART_ERR_FORMAT, int64_t(at),
                    "the file ends inside %s (%llu of its %u bytes there)", field,
                    static_cast<unsigned long long>(in_.remaining()), unsigned(n));
    return fail(ART_ERR_FORMAT, int64_t(at), "%s cannot be read (read error)", field);
}

int loader::get32(uint32_t &v, const char *field) {
    uint8_t b[4] = {};
    if (int code = get(b, 4, field)) return code;
    v = le32(b);
    return ART_OK;
}

int loader::parse_structure() {
    char magic[4];
    if (!in_.read(magic, 4))
        return fail(ART_ERR_MAGIC, 0, "the file holds %llu bytes, too few for the magic \"CPAL\"",
                    static_cast<unsigned long long>(in_.remaining()));
    if (memcmp(magic, "CPAL", 4) != 0) {
        const uint8_t *m = reinterpret_cast<const uint8_t *>(magic);
        return fail(ART_ERR_MAGIC, 0,
                    "it starts with the bytes %02X %02X %02X %02X, not with \"CPAL\" "
                    "(43 50 41 4C)",
                    m[0], m[1], m[2], m[3]);
    }
    if (int code = read_palettes()) return code;
    if (int code = read_images()) return code;
    return read_groups();
}

int loader::read_palettes() {
    const uint64_t countAt = in_.pos();
    if (int code = get32(set_.paletteCount, "the palette count")) return code;
    if (set_.paletteCount > in_.remaining() / kMinPaletteSection)
        return fail(ART_ERR_FORMAT, int64_t(countAt),
                    "palette count %u: more palette sections than the %llu bytes after it can hold "
                    "(28 bytes or more each)",
                    set_.paletteCount, static_cast<unsigned long long>(in_.remaining()));
    if (!alloc_table(set_.palettes, set_.paletteCount)) return out_of_memory("the palette table");

    for (uint32_t i = 0; i < set_.paletteCount; ++i) {
        at_ = {place::palette, i};
        mem_palette &p = set_.palettes[i];
        uint8_t header[28];
        const uint64_t at = in_.pos();
        if (int code = get(header, 28, "the palette's header (24 skipped bytes, the data size)"))
            return code;
        const uint32_t size = le32(header + 24);
        if (size > in_.remaining())
            return fail(ART_ERR_PALETTE, int64_t(at + 24),
                        "data size %u is more than the %llu bytes left in the file", size,
                        static_cast<unsigned long long>(in_.remaining()));
        if (size >= kMaxPaletteBytes)
            return fail(ART_ERR_FORMAT, int64_t(at + 24),
                        "data size %u means 65 536 colours or more (262 143 bytes at most)", size);
        p.colorCount = size / 4;
        uint8_t *data = static_cast<uint8_t *>(blocks.alloc(size));
        if (size && !data) return out_of_memory("a palette's colours");
        if (size && !in_.read(data, size))
            return fail(ART_ERR_PALETTE, int64_t(at + 28), "the colour data cannot be read");
        // Stored red first; kept in RGBQUAD order.
        for (uint32_t c = 0; c < p.colorCount; ++c) std::swap(data[4 * c], data[4 * c + 2]);
        p.colors = reinterpret_cast<RGBQUAD *>(data);
    }
    at_ = {};
    return ART_OK;
}

// The byte size of an image's pixel block, or a failure when the record
// can't describe a block that drawing could use safely.
int loader::check_block(const mem_image &im, uint64_t at, int64_t &size) {
    int64_t rows = im.height < 0 ? -static_cast<int64_t>(im.height) : im.height;
    if (im.type == 4 || im.type == 5) {
        int64_t words = ((static_cast<int64_t>(im.width) - 1) >> 5) + 1;
        if (words < 0)
            return fail(ART_ERR_FORMAT, int64_t(at + 12),
                        "width %d gives a 1-bit image rows of negative size (widths below -31 do)",
                        int(im.width));
        size = rows * words * 4;
    } else {
        if (im.rowBytes < 0)
            return fail(ART_ERR_FORMAT, int64_t(at), "row bytes %d is negative", int(im.rowBytes));
        // A drawable row must hold `width` pixels.
        if (im.height > 0 && im.width > 0 && im.rowBytes < im.width)
            return fail(ART_ERR_FORMAT, int64_t(at),
                        "row bytes %d is less than the width %d: the rows would overlap",
                        int(im.rowBytes), int(im.width));
        size = rows * im.rowBytes;
    }
    if (size > INT32_MAX)
        return fail(ART_ERR_FORMAT, int64_t(at),
                    "its pixel block of %lld bytes is larger than 2 147 483 647 bytes",
                    static_cast<long long>(size));
    return ART_OK;
}

int loader::read_images() {
    const uint64_t countAt = in_.pos();
    if (int code = get32(set_.imageCount, "the image count")) return code;
    if (set_.imageCount > in_.remaining() / kImageRecord)
        return fail(ART_ERR_FORMAT, int64_t(countAt),
                    "image count %u: more image records than the %llu bytes after it can hold "
                    "(20 bytes each)",
                    set_.imageCount, static_cast<unsigned long long>(in_.remaining()));
    if (!alloc_table(set_.images, set_.imageCount)) return out_of_memory("the image table");
    try {
        blockRefs_.resize(set_.imageCount);
    } catch (const std::bad_alloc &) {
        return out_of_memory("the image table");
    }

    for (uint32_t i = 0; i < set_.imageCount; ++i) {
        at_ = {place::image, i};
        mem_image &im = set_.images[i];
        uint8_t r[20];
        const uint64_t at = in_.pos();
        if (int code = get(r, 20, "the image record")) return code;
        im.rowBytes = static_cast<int32_t>(le32(r));
        im.height = static_cast<int32_t>(le32(r + 8));
        im.width = static_cast<int32_t>(le32(r + 12));
        im.type = static_cast<int16_t>(le16(r + 16));
        const uint16_t palette = le16(r + 18);
        if (palette >= set_.paletteCount)
            return fail(ART_ERR_FORMAT, int64_t(at + 18),
                        "palette index %u is not below the palette count %u", palette,
                        set_.paletteCount);
        im.palette = &set_.palettes[palette];
        int64_t size = 0;
        if (int code = check_block(im, at, size)) return code;
        blockRefs_[i] = {le32(r + 4), static_cast<uint32_t>(size)};
    }
    at_ = {};
    return ART_OK;
}

int loader::check_spare(uint64_t at, const char *field, uint32_t count, uint32_t used) {
    if (count - used <= kMaxSpareEntries) return ART_OK;
    return fail(ART_ERR_FORMAT, int64_t(at),
                "%s %u: %u entries more than the groups use (%u); at most %u spare entries are "
                "accepted",
                field, count, count - used, used, kMaxSpareEntries);
}

int loader::read_groups() {
    const uint64_t countsAt = in_.pos();
    if (int code = get32(set_.groupCount, "the group count")) return code;
    if (int code = get32(set_.frameCount, "the frame count")) return code;
    if (int code = get32(set_.picCount, "the picture count")) return code;
    if (int code = get32(set_.extInfoCount, "the extended-info count")) return code;
    if (set_.groupCount > in_.remaining() / kMinGroupRecord)
        return fail(ART_ERR_FORMAT, int64_t(countsAt),
                    "group count %u: more group records than the %llu bytes after the table "
                    "counts can hold (40 bytes or more each)",
                    set_.groupCount, static_cast<unsigned long long>(in_.remaining()));
    if (!alloc_table(set_.groups, set_.groupCount)) return out_of_memory("the group table");

    // How much of the other tables the groups use is known only once they are
    // read: a first pass checks every record and counts, the second fills the
    // tables, allocated in between for what is used plus the spare entries.
    const uint64_t first = in_.pos();
    if (int code = read_all_groups()) return code;
    if (int code = check_spare(countsAt + 4, "frame count", set_.frameCount, nextFrame_))
        return code;
    if (int code = check_spare(countsAt + 8, "picture count", set_.picCount, nextPic_)) return code;
    if (int code = check_spare(countsAt + 12, "extended-info count", set_.extInfoCount, nextExt_))
        return code;
    if (!alloc_table(set_.frames, set_.frameCount)) return out_of_memory("the frame table");
    if (!alloc_table(set_.pics, set_.picCount)) return out_of_memory("the picture table");
    if (!alloc_table(set_.extInfos, set_.extInfoCount))
        return out_of_memory("the extended-info table");

    in_.seek(first);
    filling_ = true;
    nextFrame_ = nextPic_ = nextExt_ = 0;
    return read_all_groups();
}

int loader::read_all_groups() {
    for (uint32_t g = 0; g < set_.groupCount; ++g)
        if (int code = read_group(g)) return code;
    at_ = {};
    return ART_OK;
}

int loader::read_group(uint32_t gi) {
    at_ = {place::group, gi};
    mem_group &g = set_.groups[gi];
    uint8_t head[36];
    const uint64_t at = in_.pos();
    if (int code = get(head, 36, "the group's header words and frame count")) return code;
    for (int w = 0; w < 8; ++w) g.header[w] = le32(head + 4 * w);
    g.frameCount = le32(head + 32);
    if (g.frameCount > set_.frameCount - nextFrame_)
        return fail(ART_ERR_FORMAT, int64_t(at + 32),
                    "frame count %u is more than the %u frames left in the frame table (frame "
                    "count %u)",
                    g.frameCount, set_.frameCount - nextFrame_, set_.frameCount);
    g.frames = set_.frames ? set_.frames + nextFrame_ : nullptr;
    g.extInfo = nullptr;
    extRun_ = kNoRun;

    for (uint32_t j = 0; j < g.frameCount; ++j)
        if (int code = read_frame(g, j)) return code;

    at_ = {place::group, gi};
    const uint64_t appendixAt = in_.pos();
    if (int code = get32(g.appendixCount, "the appendix count")) return code;
    if (g.appendixCount > kMaxAppendix)
        return fail(ART_ERR_FORMAT, int64_t(appendixAt), "appendix count %u is more than 2",
                    g.appendixCount);
    uint8_t entries[16 * kMaxAppendix];
    if (int code = get(entries, 16 * g.appendixCount, "the appendix entries")) return code;
    for (uint32_t a = 0; a < g.appendixCount; ++a)
        for (int w = 0; w < 4; ++w) g.appendix[a].data[w] = le32(entries + 16 * a + 4 * w);
    return ART_OK;
}

int loader::read_frame(mem_group &g, uint32_t j) {
    const uint32_t entry = nextFrame_++;
    at_.record = place::frame;
    at_.groupFrame = j;
    at_.frameEntry = entry;
    uint8_t head[2];
    const uint64_t at = in_.pos();
    if (int code = get(head, 2, "the count and flag bytes")) return code;
    const uint32_t n = head[0] & 0x7F;
    if (n > set_.picCount - nextPic_)
        return fail(ART_ERR_FORMAT, int64_t(at),
                    "picture count %u is more than the %u pictures left in the picture table "
                    "(picture count %u)",
                    n, set_.picCount - nextPic_, set_.picCount);
    mem_pic *run = filling_ && set_.pics ? set_.pics + nextPic_ : nullptr;
    if (filling_) {
        set_.frames[entry].picCount = static_cast<uint16_t>(n);
        set_.frames[entry].pics = run;
    }

    if ((head[0] | head[1]) & 0x80) {
        if (extRun_ == kNoRun) { // the whole run, one entry per frame, is reserved at once
            if (g.frameCount > set_.extInfoCount - nextExt_)
                return fail(ART_ERR_FORMAT, int64_t(at),
                            "its flag bits give the group an extended-info run of %u records, "
                            "more than the %u left in the extended-info table (extended-info "
                            "count %u)",
                            g.frameCount, set_.extInfoCount - nextExt_, set_.extInfoCount);
            extRun_ = nextExt_;
            nextExt_ += g.frameCount;
            if (filling_) g.extInfo = set_.extInfos + extRun_;
        }
        // Frame j's bytes go to entry j, the entry shown as frame j's; a pair
        // the file doesn't give stays zero.
        uint8_t pairs[4] = {};
        if (head[0] & 0x80)
            if (int code = get(&pairs[0], 2, "the first extended-info pair")) return code;
        if (head[1] & 0x80)
            if (int code = get(&pairs[2], 2, "the second extended-info pair")) return code;
        if (filling_) memcpy(g.extInfo[j].data, pairs, 4);
    }

    uint8_t slotUsed[128] = {};
    for (uint32_t k = 0; k < n; ++k) {
        at_.record = place::picture;
        at_.pictureRecord = k;
        uint8_t r[kPictureRecord];
        const uint64_t recordAt = in_.pos();
        if (int code = get(r, sizeof r, "the picture record")) return code;
        const uint16_t image = le16(r);
        const uint8_t slot = r[3];
        if (image >= set_.imageCount)
            return fail(ART_ERR_FORMAT, int64_t(recordAt),
                        "image index %u is not below the image count %u", image, set_.imageCount);
        if (slot >= n)
            return fail(ART_ERR_FORMAT, int64_t(recordAt + 3),
                        "slot %u is not below the frame's picture count %u", slot, n);
        if (slotUsed[slot])
            return fail(ART_ERR_FORMAT, int64_t(recordAt + 3),
                        "slot %u is taken by an earlier picture record of the frame", slot);
        slotUsed[slot] = 1;
        if (filling_) {
            mem_pic &p = run[slot];
            p.image = &set_.images[image];
            p.x = static_cast<int16_t>(le16(r + 4));
            p.y = static_cast<int16_t>(le16(r + 6));
        }
    }
    nextPic_ += n;
    return ART_OK;
}

// Reads the bitmap's pixel area that the blocks cover in one go; each image
// then points into it. Memory is bounded by the bitmap file's size, however
// many images share or overlap blocks.
int loader::read_pixels(const byte_source *bmp) {
    at_ = {};
    if (!bmp) return fail(ART_ERR_BITMAP, -1, "the bitmap file cannot be opened");
    uint8_t field[4];
    if (!bmp->read(10, field, 4)) {
        if (bmp->size() < 14)
            return fail(ART_ERR_BITMAP, 10,
                        "the bitmap file holds %llu bytes, too few for its pixel-data offset "
                        "(bytes 10 to 13)",
                        static_cast<unsigned long long>(bmp->size()));
        return fail(ART_ERR_BITMAP, 10, "the bitmap file cannot be read (read error)");
    }
    uint64_t pixelData = le32(field);

    uint64_t lo = UINT64_MAX, hi = 0;
    for (const block_ref &b : blockRefs_) {
        if (b.size == 0) continue;
        uint64_t start = pixelData + b.offset;
        lo = std::min(lo, start);
        hi = std::max(hi, start + b.size);
    }
    if (hi == 0) return ART_OK; // no image has pixels
    if (hi > bmp->size()) {
        for (uint32_t i = 0; i < set_.imageCount; ++i) {
            const block_ref &b = blockRefs_[i];
            const uint64_t start = pixelData + b.offset;
            if (b.size == 0 || start + b.size <= bmp->size()) continue;
            at_ = {place::image, i};
            return fail(ART_ERR_BITMAP, int64_t(start),
                        "its pixel block of %u bytes (pixel data at %llu + data offset %u) runs "
                        "past the end of the bitmap file (%llu bytes)",
                        b.size, static_cast<unsigned long long>(pixelData), b.offset,
                        static_cast<unsigned long long>(bmp->size()));
        }
    }
    if (hi - lo > SIZE_MAX) return out_of_memory("the pixel blocks");

    size_t span = static_cast<size_t>(hi - lo);
    // Not cleared: every byte is read from the file below.
    blocks.pixels = pixel_area(span);
    uint8_t *area = blocks.pixels.data();
    if (!area) return out_of_memory("the pixel blocks");
    if (!bmp->read(lo, area, span))
        return fail(ART_ERR_BITMAP, int64_t(lo), "the bitmap file cannot be read (read error)");

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
              const byte_source *bmp, const byte_source *prt, load_report &report) {
    if (!prt) {
        snprintf(report.reason, sizeof report.reason, "the art-structure file cannot be opened");
        return report.code = ART_ERR_MAGIC;
    }
    loader ld(set, *prt, report);
    if (int code = ld.parse_structure()) return code;
    if (int code = ld.read_pixels(bmp)) return code;
    set.bmpFileName = copy_name(ld.blocks, bmpName);
    set.prtFileName = copy_name(ld.blocks, prtName);
    if (!set.bmpFileName || !set.prtFileName) return ART_ERR_MEMORY;
    blocks = std::move(ld.blocks);
    return ART_OK;
}

} // namespace

namespace {

// Leaves `handle` ART_FAILED, owning nothing, with the report kept for
// get_loadError.
int fail_load(art_handle *handle, load_report &report) {
    memset(static_cast<void *>(handle), 0, sizeof *handle);
    handle->loadState = ART_FAILED;
    keep_load_report(handle, report);
    return report.code;
}

load_report memory_report() {
    load_report report;
    report.code = ART_ERR_MEMORY;
    snprintf(report.reason, sizeof report.reason, "not enough memory for the art set");
    return report;
}

} // namespace

int load_art(art_handle *handle, const char *bmpName, const char *prtName, const byte_source *bmp,
             const byte_source *prt) {
    if (!handle || handle->loadState != ART_EMPTY) return ART_ERR_NOT_EMPTY;

    memset(static_cast<void *>(handle), 0, sizeof *handle);
    set_blocks blocks; // frees everything built so far unless adopted
    load_report report;
    int code;
    try {
        code = build_set(*handle, blocks, bmpName, prtName, bmp, prt, report);
        if (code == ART_OK && !adopt_set(handle, blocks)) code = ART_ERR_MEMORY;
    } catch (const std::bad_alloc &) {
        code = ART_ERR_MEMORY;
    }
    if (code == ART_OK) {
        forget_load_report(handle);
        handle->loadState = ART_LOADED;
        return code;
    }
    if (report.code != code) report = memory_report(); // outside the loader's own checks
    return fail_load(handle, report);
}

int LoadArtFromFile(const char *bmpFile, const char *prtFile, art_handle *handle) {
    if (!handle || handle->loadState != ART_EMPTY) return ART_ERR_NOT_EMPTY;
    std::unique_ptr<byte_source> prt, bmp;
    try {
        prt = open_file_source(prtFile);
        bmp = open_file_source(bmpFile);
    } catch (const std::bad_alloc &) {
        load_report report = memory_report();
        return fail_load(handle, report);
    }
    return load_art(handle, bmpFile, prtFile, bmp.get(), prt.get());
}
