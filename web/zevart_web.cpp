// The web viewer's entry points into the core: the page hands both files over
// as bytes, asks for objects as RGBA pictures, for the structure tree's texts
// and for the files a save writes, all of it through the same loader, drawing
// and writers as zevart.dll and the zevart tool.
//
// Results larger than a number are left in buffers that live until the next
// call of the same kind; the page copies what it keeps. wasm32 has 4-byte
// pointers, so every record has the 32-bit layout the page reads them in.
#include "apng_out.h"
#include "art_set.h"
#include "bmp_encode.h"
#include "gif_out.h"
#include "png_out.h"
#include "render.h"
#include "tree_texts.h"
#include "view_logic.h"

#include <stdio.h>
#include <stdlib.h>
#include <string.h>

#include <string>
#include <vector>

#define EXPORT(name) extern "C" __attribute__((export_name(#name)))

namespace {

art_handle g_art;

// A picture for the page: width and height, then the address of width x
// height R, G, B, A pixels, top row first.
struct picture {
    uint32_t width, height;
    const uint8_t *rgba;
};
picture g_picture;
rgba_image g_pixels;

// A file for the page: its size, then the address of its bytes.
struct file_bytes {
    uint32_t size;
    const uint8_t *bytes;
};
file_bytes g_file;
std::vector<uint8_t> g_fileBytes;
std::string g_text; // tree lines, a save's error

enum {
    SAVE_PNG = 1,
    SAVE_GIF = 2,
    SAVE_APNG = 3,
    SAVE_BMP32 = 10,
    SAVE_BMP24,
    SAVE_BMP16,
    SAVE_BMP8
};
const int32_t kBackgroundTransparent = -1;

bool has(int kind, uint32_t index) {
    return index < object_count(&g_art, kind);
}

kind cli_kind(int what) {
    switch (what) {
    case OBJ_IMAGE:
        return kind::image;
    case OBJ_PICTURE:
        return kind::picture;
    case OBJ_FRAME:
        return kind::frame;
    }
    return kind::group;
}

// What the page shows of object `index` of `what`: a group's frame `frame`
// in the group's rectangle, any other object in its own.
still still_for(int what, uint32_t index, uint32_t frame) {
    if (what == OBJ_GROUP) return group_frame(g_art, index, frame, group_rect(g_art, index));
    return still_of(g_art, cli_kind(what), index);
}

look look_for(int32_t background, uint32_t scale) {
    look how;
    how.transparent = background == kBackgroundTransparent;
    how.background = {BYTE(background), BYTE(background >> 8), BYTE(background >> 16), 0};
    how.scale = scale;
    return how;
}

bool frame_of(int what, uint32_t index, uint32_t frame) {
    return what != OBJ_GROUP || frame < g_art.groups[index].frameCount;
}

// The still's picture, checked against the tool's limit first.
bool render(const still &s, const look &how, rgba_image &out) {
    uint32_t w, h;
    if (surface_fit(s.rect, how.scale, w, h) != fit::ok) return false;
    out = render_still(g_art, s, how);
    return true;
}

bool fail(const std::string &why) {
    g_text = why;
    return false;
}

// The writers that take a FILE, run on one that writes into memory.
template <typename Write> bool to_memory(Write write) {
    char *data = nullptr;
    size_t size = 0;
    FILE *out = open_memstream(&data, &size);
    if (!out) return fail("not enough memory");
    bool ok = write(out);
    ok = fclose(out) == 0 && ok;
    if (ok) g_fileBytes.assign(data, data + size);
    free(data);
    return ok;
}

// The files the viewer's Save Object writes: the rendered object on orange
// in 32, 24 or 16 bits, an image's own pixels in 8 (1 for a mask).
bool viewer_bmp(int what, uint32_t index, uint32_t frame, int format) {
    BITMAPINFO info{};
    BITMAPINFOHEADER &h = info.bmiHeader;
    h.biSize = sizeof(BITMAPINFOHEADER);
    h.biPlanes = 1;
    h.biBitCount = 32;
    h.biCompression = BI_RGB;
    mem_image *image = saved_image(&g_art, what, index);
    // An image's or picture's files carry the size of the image's own block.
    uint32_t blockSize;
    if (image && image_block_size(*image, &blockSize)) h.biSizeImage = blockSize;
    memory_out out;
    if (format == SAVE_BMP8) {
        const RGBQUAD *table = nullptr;
        std::vector<uint8_t> aligned;
        const uint8_t *rows = nullptr;
        if (!image) return fail("an 8-bit file holds only images and pictures");
        if (!indexed_file_header(*image, &info, &table) ||
            !indexed_file_rows(*image, aligned, &rows) || !encode_dib8(out, rows, &info, table))
            return fail("the image is too large for an 8-bit file");
    } else {
        static const int32_t kDepths[] = {0, 24, 16};
        RGBQUAD *pixels = render_object_frame(&g_art, what, index, frame, &info);
        bool ok = pixels && encode_dib(out, pixels, &info, kDepths[format - SAVE_BMP32]);
        free_pixels(pixels);
        if (!ok) return fail("nothing to draw, or too large");
    }
    g_fileBytes = std::move(out.bytes);
    return true;
}

bool save(int what, uint32_t index, uint32_t frame, int format, int32_t background,
          uint32_t scale) {
    g_text.clear();
    if (!has(what, index) || !frame_of(what, index, frame)) return fail("no such object");
    if (format >= SAVE_BMP32 && format <= SAVE_BMP8) return viewer_bmp(what, index, frame, format);

    const look how = look_for(background, scale);
    const bool animated = what == OBJ_GROUP && format != SAVE_PNG;
    RECT rect = still_for(what, index, frame).rect;
    uint32_t w, h;
    fit f = surface_fit(rect, scale, w, h);
    if (what == OBJ_GROUP && g_art.groups[index].frameCount == 0) f = fit::empty;
    if (f != fit::ok) return fail(fit_problem(f, rect, scale));
    std::string err;
    bool ok = false;
    if (format == SAVE_PNG) {
        rgba_image img = render_still(g_art, still_for(what, index, frame), how);
        g_fileBytes.clear();
        ok = png_encode(img, png_settings{}, g_fileBytes, err);
    } else if (format == SAVE_APNG && animated) {
        group_frames frames(g_art, index, rect, how);
        ok = to_memory(
            [&](FILE *out) { return write_apng(out, frames, kFrameDelayMs, png_settings{}, err); });
    } else if (format == SAVE_GIF) {
        ok = to_memory([&](FILE *out) {
            if (animated) {
                group_frames frames(g_art, index, rect, how);
                return write_gif(out, frames, kFrameDelayMs / 10, err);
            }
            single_frame one(render_still(g_art, still_for(what, index, frame), how));
            return write_gif(out, one, kFrameDelayMs / 10, err);
        });
    } else {
        err = "no such format for this object";
    }
    return ok || fail(err.empty() ? "cannot write the file" : err);
}

std::string tree_lines(const tree_node &node, int depth) {
    std::string lines(size_t(depth), '\t');
    lines += node.text;
    lines += '\n';
    for (const tree_node &child : node.children) lines += tree_lines(child, depth + 1);
    return lines;
}

} // namespace

// Memory the page fills with a file's bytes.
EXPORT(zw_alloc) void *zw_alloc(uint32_t size) {
    return malloc(size ? size : 1);
}
EXPORT(zw_free) void zw_free(void *block) {
    free(block);
}

// Closes the set on display, then loads the two files from memory: the
// loader's result code (0 loaded).
EXPORT(zw_load)
int zw_load(const char *bmpName, const uint8_t *bmp, uint32_t bmpSize, const char *prtName,
            const uint8_t *prt, uint32_t prtSize) {
    CloseArt(&g_art);
    memory_source bmpSource(bmp, bmpSize), prtSource(prt, prtSize);
    return load_art(&g_art, bmpName, prtName, bmp ? &bmpSource : nullptr,
                    prt ? &prtSource : nullptr);
}

// Why the last load failed, beyond its code, as the command line words it:
// the record and field at fault and the byte of the file; empty when the
// last load succeeded.
EXPORT(zw_load_reason) const char *zw_load_reason() {
    static char text[ART_REASON_SIZE + 32];
    char reason[ART_REASON_SIZE];
    int64_t offset = -1;
    text[0] = '\0';
    if (get_loadError(&g_art, reason, sizeof reason, &offset) <= 0) return text;
    if (offset >= 0)
        snprintf(text, sizeof text, "at byte %lld: %s", (long long)offset, reason);
    else
        snprintf(text, sizeof text, "%s", reason);
    return text;
}

EXPORT(zw_close) void zw_close() {
    CloseArt(&g_art);
}

// Objects of a kind (OBJ_IMAGE 1 .. OBJ_GROUP 4); 0 while nothing is loaded.
EXPORT(zw_count) uint32_t zw_count(int what) {
    return object_count(&g_art, what);
}

// Frames of group `index`; 0 for no such group.
EXPORT(zw_frames) uint32_t zw_frames(uint32_t index) {
    return has(OBJ_GROUP, index) ? g_art.groups[index].frameCount : 0;
}

// The object's draw rectangle (left, top, right, bottom); all 0 for none.
EXPORT(zw_rect) const int32_t *zw_rect(int what, uint32_t index) {
    static int32_t out[4];
    RECT r{0, 0, 0, 0};
    if (has(what, index))
        r = what == OBJ_GROUP ? group_rect(g_art, index)
                              : still_of(g_art, cli_kind(what), index).rect;
    out[0] = r.left, out[1] = r.top, out[2] = r.right, out[3] = r.bottom;
    return out;
}

// The object (a group as its frame `frame`, in the group's rectangle) drawn
// over `background` (0xRRGGBB) or, for -1, with transparency as the tool's
// PNG files have it; enlarged `scale` times. A picture of 0 x 0 when there is
// nothing to draw or it is too large.
EXPORT(zw_render)
const picture *zw_render(int what, uint32_t index, uint32_t frame, int32_t background,
                         uint32_t scale) {
    g_pixels = rgba_image{};
    if (has(what, index) && frame_of(what, index, frame) && scale >= 1 && scale <= 64)
        render(still_for(what, index, frame), look_for(background, scale), g_pixels);
    g_picture = {g_pixels.width, g_pixels.height, g_pixels.px.data()};
    return &g_picture;
}

// A thumbnail: the object (a group as its frame 0) as zw_render draws it, fit
// into `box` x `box` pixels by whole pixels: enlarged by the largest whole
// factor that fits, or shrunk by taking the pixel nearest each target
// pixel's centre. Kept small, it costs the page one copy a cell.
EXPORT(zw_thumb)
const picture *zw_thumb(int what, uint32_t index, int32_t background, uint32_t box) {
    zw_render(what, index, 0, background, 1);
    const uint32_t w = g_pixels.width, h = g_pixels.height;
    if (w && h && box && (w > box || h > box)) {
        const double f = double(box) / (w > h ? w : h);
        rgba_image small;
        small.width = uint32_t(w * f) ? uint32_t(w * f) : 1;
        small.height = uint32_t(h * f) ? uint32_t(h * f) : 1;
        small.px.resize(size_t(small.width) * small.height * 4);
        uint8_t *dst = small.px.data();
        for (uint32_t y = 0; y < small.height; ++y) {
            const uint8_t *row =
                g_pixels.px.data() + size_t((y * 2 + 1) * h / (small.height * 2)) * w * 4;
            for (uint32_t x = 0; x < small.width; ++x, dst += 4)
                memcpy(dst, row + size_t((x * 2 + 1) * w / (small.width * 2)) * 4, 4);
        }
        g_pixels = std::move(small);
    } else if (w && h && box) {
        const uint32_t fw = box / w, fh = box / h;
        g_pixels = scale_nearest(g_pixels, fw < fh ? fw : fh);
    }
    g_picture = {g_pixels.width, g_pixels.height, g_pixels.px.data()};
    return &g_picture;
}

// The structure tree's texts, one node a line, its depth in leading tabs.
EXPORT(zw_tree) const char *zw_tree(int what, uint32_t index) {
    g_text = has(what, index) ? tree_lines(object_tree(&g_art, what, int(index)), 0) : "";
    return g_text.c_str();
}

// The file a save writes: PNG (1), GIF (2, animated for a group), APNG (3,
// groups) as the zevart tool renders them, over `background` or transparent
// (-1) and enlarged `scale` times; or the viewer's bitmap files, 32-, 24-,
// 16- and 8-bit (10 to 13). Null, with zw_error saying why, when nothing is
// written.
EXPORT(zw_save)
const file_bytes *zw_save(int what, uint32_t index, uint32_t frame, int format, int32_t background,
                          uint32_t scale) {
    g_fileBytes.clear();
    if (scale < 1 || scale > 64) {
        g_text = "a scale is 1 to 64";
        return nullptr;
    }
    if (!save(what, index, frame, format, background, scale)) return nullptr;
    g_file = {uint32_t(g_fileBytes.size()), g_fileBytes.data()};
    return &g_file;
}

EXPORT(zw_error) const char *zw_error() {
    return g_text.c_str();
}
