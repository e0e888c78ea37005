#include "view_logic.h"

#include <ctype.h>
#include <limits.h>
#include <stdint.h>

#include <algorithm>
#include <new>

uint32_t object_count(const art_handle *art, int kind) {
    if (!art || art->loadState != ART_LOADED) return 0;
    switch (kind) {
    case OBJ_IMAGE:
        return art->imageCount;
    case OBJ_PICTURE:
        return art->picCount;
    case OBJ_FRAME:
        return art->frameCount;
    case OBJ_GROUP:
        return art->groupCount;
    }
    return 0;
}

bool object_draw_rect(art_handle *art, int kind, uint32_t index, RECT *rect) {
    if (index >= object_count(art, kind)) return false;
    switch (kind) {
    case OBJ_IMAGE:
        return art->images[index].getDrawRect(rect);
    case OBJ_PICTURE:
        return art->pics[index].getDrawRect(rect);
    case OBJ_FRAME:
        return art->frames[index].getDrawRect(rect);
    case OBJ_GROUP:
        return art->groups[index].getDrawRect(rect);
    }
    return false;
}

bool drawable_rect(art_handle *art, int kind, uint32_t index, RECT *rect) {
    RECT r;
    *rect = RECT{};
    if (!object_draw_rect(art, kind, index, &r)) return false;
    const long long wide = (long long)r.right - r.left, high = (long long)r.bottom - r.top;
    auto fits = [](long long v) { return v > INT_MIN && v <= INT_MAX; };
    if (!fits(wide) || !fits(high) || !fits(r.left) || !fits(r.top)) return false;
    *rect = r;
    return true;
}

bool draw_object(art_handle *art, int kind, uint32_t index, RGBQUAD *pixels, BITMAPINFO *info,
                 int x, int y) {
    if (index >= object_count(art, kind)) return false;
    switch (kind) {
    case OBJ_IMAGE:
        return art->images[index].draw(pixels, info, x, y);
    case OBJ_PICTURE:
        return art->pics[index].draw(pixels, info, x, y);
    case OBJ_FRAME:
        return art->frames[index].draw(pixels, info, x, y);
    }
    return false;
}

mem_group *object_group(art_handle *art, uint32_t index) {
    return index < object_count(art, OBJ_GROUP) ? &art->groups[index] : nullptr;
}

RGBQUAD *make_pixels(long width, long height) {
    if (width <= 0 || height <= 0) return nullptr;
    // One limit for every build: under 2 GiB, what a 32-bit viewer can hold
    // and a bitmap file's 32-bit size fields can describe. A 64-bit viewer
    // could reserve more, but would then fill and save buffers of many
    // gigabytes for a rectangle no display can show.
    const size_t most = size_t(INT32_MAX) / sizeof(RGBQUAD);
    if (size_t(width) > most / size_t(height)) return nullptr;
    size_t count = size_t(width) * size_t(height);
    auto *pixels = static_cast<RGBQUAD *>(::operator new(count * sizeof(RGBQUAD), std::nothrow));
    if (!pixels) return nullptr;
    const RGBQUAD orange = {BYTE(BACKGROUND_ORANGE), BYTE(BACKGROUND_ORANGE >> 8),
                            BYTE(BACKGROUND_ORANGE >> 16), BYTE(BACKGROUND_ORANGE >> 24)};
    for (size_t i = 0; i < count; ++i) pixels[i] = orange;
    return pixels;
}

void free_pixels(RGBQUAD *pixels) {
    ::operator delete(pixels);
}

RGBQUAD *render_object(art_handle *art, int kind, uint32_t index, BITMAPINFO *info) {
    return render_object_frame(art, kind, index, 0, info);
}

RGBQUAD *render_object_frame(art_handle *art, int kind, uint32_t index, uint32_t frame,
                             BITMAPINFO *info) {
    RECT r;
    drawable_rect(art, kind, index, &r);
    info->bmiHeader.biWidth = r.right - r.left;
    info->bmiHeader.biHeight = r.bottom - r.top;
    RGBQUAD *pixels = make_pixels(info->bmiHeader.biWidth, info->bmiHeader.biHeight);
    if (!pixels) return nullptr;
    if (kind == OBJ_GROUP) {
        mem_group &group = art->groups[index];
        if (group.frames && frame < group.frameCount)
            group.frames[frame].draw(pixels, info, -r.left, -r.top);
    } else {
        draw_object(art, kind, index, pixels, info, -r.left, -r.top);
    }
    return pixels;
}

mem_image *saved_image(art_handle *art, int kind, uint32_t index) {
    if (index >= object_count(art, kind)) return nullptr;
    if (kind == OBJ_IMAGE) return &art->images[index];
    if (kind == OBJ_PICTURE) return art->pics[index].image;
    return nullptr;
}

bool image_block_size(const mem_image &image, uint32_t *size) {
    const long long height = image.height < 0 ? -(long long)image.height : image.height;
    const long long width = image.width, rowBytes = image.rowBytes;
    long long row;
    if (image.type == 4 || image.type == 5)
        row = width > 0 ? 4 * (((width - 1) >> 5) + 1) : 0;
    else
        row = rowBytes > 0 ? rowBytes : 0;
    if (row > 0 && height > UINT32_MAX / row) return false;
    *size = uint32_t(row * height);
    return true;
}

namespace {

// Bytes per row of an image's indexed file: whole 32-bit words.
long long file_row_bytes(const mem_image &image) {
    const long long width = image.width > 0 ? image.width : 0;
    const bool mask = image.type == 4 || image.type == 5;
    return mask ? 4 * ((width + 31) / 32) : (width + 3) / 4 * 4;
}

} // namespace

bool indexed_file_header(const mem_image &image, BITMAPINFO *info, const RGBQUAD **table) {
    static const RGBQUAD kMaskColors[2] = {{255, 255, 255, 0}, {0, 0, 0, 0}};
    const long long rows = image.height < 0 ? -(long long)image.height : image.height;
    const long long row = file_row_bytes(image);
    if (row > 0 && rows > UINT32_MAX / row) return false;
    const uint32_t size = uint32_t(row * rows);
    BITMAPINFOHEADER &h = info->bmiHeader;
    const long long height = image.height;
    h.biWidth = image.width;
    h.biHeight = LONG(height < 0 ? height : -height);
    h.biSizeImage = size;
    if (image.type == 4 || image.type == 5) {
        h.biBitCount = 1;
        h.biClrUsed = 2;
        h.biClrImportant = 2;
        *table = kMaskColors;
    } else {
        const mem_palette *palette = image.palette;
        h.biBitCount = 8;
        h.biClrUsed = palette->colorCount;
        *table = palette->colors;
    }
    return true;
}

bool indexed_file_rows(const mem_image &image, std::vector<uint8_t> &aligned,
                       const uint8_t **rows) {
    const size_t row = size_t(file_row_bytes(image));
    const size_t stored = image.rowBytes > 0 ? size_t(image.rowBytes) : 0;
    *rows = image.pixels;
    if (image.type == 4 || image.type == 5 || stored == row || row == 0) return true;
    const size_t count = size_t(image.height < 0 ? -(long long)image.height : image.height);
    try {
        aligned.assign(row * count, 0);
    } catch (const std::bad_alloc &) {
        return false;
    }
    const size_t used = std::min(stored, size_t(image.width));
    for (size_t y = 0; y < count; ++y)
        std::copy_n(image.pixels + y * stored, used, &aligned[y * row]);
    *rows = aligned.data();
    return true;
}

bool parse_index(const char *text, uint32_t *index) {
    const char *p = text;
    while (isspace(static_cast<unsigned char>(*p))) ++p;
    bool negative = false;
    if (*p == '+' || *p == '-') negative = *p++ == '-';
    if (!isdigit(static_cast<unsigned char>(*p))) return false;
    uint32_t value = 0;
    bool tooLarge = false;
    for (; isdigit(static_cast<unsigned char>(*p)); ++p) {
        uint32_t digit = uint32_t(*p - '0');
        if (value > (UINT32_MAX - digit) / 10) tooLarge = true;
        value = value * 10 + digit;
    }
    if (tooLarge)
        *index = UINT32_MAX;
    else
        *index = negative ? 0u - value : value;
    return true;
}

bool clamp_index(uint32_t wanted, uint32_t count, uint32_t *index) {
    if (count == 0) return false;
    *index = wanted < count ? wanted : count - 1;
    return true;
}

int last_scroll_position(long low, long high) {
    long long last = (long long)high - low - 1;
    if (last > INT_MAX) return INT_MAX;
    if (last < INT_MIN) return INT_MIN;
    return int(last);
}

int scroll_position(int code, int pos, int page, int trackPos) {
    switch (code) {
    case SCROLL_LINE_BACK:
        return pos - 1;
    case SCROLL_LINE_FORWARD:
        return pos + 1;
    case SCROLL_PAGE_BACK:
        return pos - page;
    case SCROLL_PAGE_FORWARD:
        return pos + page;
    case SCROLL_TRACK:
        return trackPos;
    }
    return pos;
}

void fill_background(RGBQUAD *pixels, const BITMAPINFO *info, uint32_t color) {
    long width = info->bmiHeader.biWidth;
    long long height = info->bmiHeader.biHeight;
    if (height < 0) height = -height;
    if (!pixels || width <= 0 || height <= 0) return;
    const BYTE red = BYTE(color), green = BYTE(color >> 8), blue = BYTE(color >> 16);
    RGBQUAD *end = pixels + size_t(width) * size_t(height);
    for (RGBQUAD *p = pixels; p != end; ++p) {
        p->rgbBlue = blue;
        p->rgbGreen = green;
        p->rgbRed = red;
    }
}
