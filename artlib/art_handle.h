// zevart art library: the records of an art set, the handle that owns them and
// every operation the library exports.
//
// This header is the binary contract of zevart.dll. Clients read the records'
// fields directly and compute record indexes by pointer difference, so field
// order, types and packing never change. On 32-bit Windows every record has
// the size checked at the end of this file.
#pragma once

#include <stddef.h>
#include <stdint.h>

#ifdef _WIN32
#include <windows.h>
#else
#include "win_types.h"
#endif

// loadState values.
enum {
    ART_EMPTY = 0,
    ART_LOADED = 1,
    ART_FAILED = 3,
};

// Result codes of LoadArtFromFile.
enum {
    ART_OK = 0,
    ART_ERR_MAGIC = 1,      // art-structure file unreadable or not "CPAL"
    ART_ERR_PALETTE = 2,    // a palette's colour data is shorter than its size says
    ART_ERR_FORMAT = 3,     // art-structure file truncated or inconsistent
    ART_ERR_BITMAP = 4,     // bitmap file unreadable or missing a pixel block
    ART_ERR_MEMORY = 5,     // not enough memory for the set
    ART_ERR_NOT_EMPTY = 255 // the handle is not ART_EMPTY; nothing was done
};

struct mem_palette;
struct mem_image;
struct mem_pic;
struct mem_frame;
struct mem_group;
struct mem_ext_info;
struct mem_appendix;
struct art_handle;

// Called by the group animation around every render of a window (cdecl).
typedef void(__cdecl *group_draw_callback)(HWND window, RGBQUAD **buffer, BITMAPINFO *info);

struct mem_palette {
    uint32_t colorCount; // colours in `colors`
    RGBQUAD *colors;     // blue, green, red, fourth byte
};

#pragma pack(push, 1)
struct mem_image {
    int32_t rowBytes; // bytes from one 8-bit row to the next
    uint8_t *pixels;  // top row first
    int32_t height;   // drawn only when above 0
    int32_t width;
    int16_t type;         // 4 and 5: 1-bit shadow mask, else 8-bit indexed
    mem_palette *palette; // entry of the handle's palette table

    bool draw(RGBQUAD *surface, BITMAPINFO *info, int x, int y);
#ifdef _WIN32
    bool draw(HDC dc, int x, int y, bool clip);
#endif
    bool getDrawRect(RECT *out);
};
#pragma pack(pop)

struct mem_pic {
    int16_t x; // offset of the image from the anchor, widened with sign
    int16_t y;
    mem_image *image;

    bool draw(RGBQUAD *surface, BITMAPINFO *info, int x, int y);
#ifdef _WIN32
    bool draw(HDC dc, int x, int y, bool clip);
#endif
    bool getDrawRect(RECT *out);
};

#pragma pack(push, 1)
struct mem_frame {
    uint16_t picCount; // pictures in the run, at most 127
    mem_pic *pics;     // first picture of the run; run order is stacking order

    bool draw(RGBQUAD *surface, BITMAPINFO *info, int x, int y);
#ifdef _WIN32
    bool draw(HDC dc, int x, int y, bool clip);
#endif
    bool getDrawRect(RECT *out);
};
#pragma pack(pop)

struct mem_ext_info {
    uint8_t data[4];
};

struct mem_appendix {
    uint32_t data[4];
};

struct mem_group {
    uint32_t header[8];
    uint32_t frameCount;
    mem_frame *frames;     // first frame of the run
    mem_ext_info *extInfo; // one per frame, or null
    uint32_t appendixCount;
    mem_appendix appendix[2];

    // Starts playing the group in `window` with its frames anchored at (x, y);
    // returns the group-draw id.
    uint32_t start_draw(HWND window, int x, int y, group_draw_callback beforeDraw,
                        group_draw_callback afterDraw);
    bool getDrawRect(RECT *out);
};

struct art_handle {
    char *bmpFileName;
    char *prtFileName;
    uintptr_t reserved;
    int32_t loadState; // ART_EMPTY, ART_LOADED or ART_FAILED
    uint32_t paletteCount;
    mem_palette *palettes;
    uint32_t imageCount;
    mem_image *images;
    uint32_t groupCount;
    mem_group *groups;
    uint32_t frameCount;
    mem_frame *frames;
    uint32_t picCount;
    mem_pic *pics;
    uint32_t extInfoCount;
    mem_ext_info *extInfos;

    art_handle();
    explicit art_handle(const char *name); // the name is not used
    art_handle(const char *bmpFile, const char *prtFile);
    ~art_handle();

    // Shares the source's tables. The tables are released once, when the last
    // handle that shares them is closed or destroyed.
    art_handle &operator=(const art_handle &other);
    art_handle(const art_handle &other) : loadState(ART_EMPTY) { *this = other; }
};

extern "C" {

int LoadArtFromFile(const char *bmpFile, const char *prtFile, art_handle *handle);
int CloseArt(art_handle *handle);

bool drawImageDIB(RGBQUAD *surface, BITMAPINFO *info, int x, int y, art_handle *art,
                  unsigned index);
bool drawPicDIB(RGBQUAD *surface, BITMAPINFO *info, int x, int y, art_handle *art, unsigned index);
bool drawFrameDIB(RGBQUAD *surface, BITMAPINFO *info, int x, int y, art_handle *art,
                  unsigned index);

#ifdef _WIN32
int FillDC(HDC dc, DWORD color);
bool drawImage(HDC dc, int x, int y, art_handle *art, unsigned index, bool clip);
bool drawPic(HDC dc, int x, int y, art_handle *art, unsigned index, bool clip);
bool drawFrame(HDC dc, int x, int y, art_handle *art, unsigned index, bool clip);
#endif

int32_t start_drawGroup(HWND window, int x, int y, art_handle *art, unsigned index);
bool end_drawGroup(uint32_t id);
bool end_drawGroupAll();
bool set_groupPos(unsigned id, int x, int y);
HWND get_groupWindow(uint32_t id);
bool redraw_frameByGroupID(uint32_t id, HDC dc);
bool redraw_groupWindow(HWND window, HDC dc);

bool DIBitsToFile(const char *fileName, const void *pixels, BITMAPINFO *info, int32_t depth);
bool DIBitsToFile8(const char *fileName, const void *pixels, BITMAPINFO *info,
                   const RGBQUAD *colors);
bool DIBitsToFile1(const char *fileName, const void *pixels, BITMAPINFO *info,
                   const RGBQUAD *colors);

} // extern "C"

#if defined(_WIN32) && !defined(_WIN64)
// The 32-bit layout clients were built against.
static_assert(sizeof(art_handle) == 64, "art_handle layout");
static_assert(offsetof(art_handle, bmpFileName) == 0, "art_handle layout");
static_assert(offsetof(art_handle, prtFileName) == 4, "art_handle layout");
static_assert(offsetof(art_handle, reserved) == 8, "art_handle layout");
static_assert(offsetof(art_handle, loadState) == 12, "art_handle layout");
static_assert(offsetof(art_handle, paletteCount) == 16, "art_handle layout");
static_assert(offsetof(art_handle, palettes) == 20, "art_handle layout");
static_assert(offsetof(art_handle, imageCount) == 24, "art_handle layout");
static_assert(offsetof(art_handle, images) == 28, "art_handle layout");
static_assert(offsetof(art_handle, groupCount) == 32, "art_handle layout");
static_assert(offsetof(art_handle, groups) == 36, "art_handle layout");
static_assert(offsetof(art_handle, frameCount) == 40, "art_handle layout");
static_assert(offsetof(art_handle, frames) == 44, "art_handle layout");
static_assert(offsetof(art_handle, picCount) == 48, "art_handle layout");
static_assert(offsetof(art_handle, pics) == 52, "art_handle layout");
static_assert(offsetof(art_handle, extInfoCount) == 56, "art_handle layout");
static_assert(offsetof(art_handle, extInfos) == 60, "art_handle layout");

static_assert(sizeof(mem_palette) == 8, "mem_palette layout");
static_assert(offsetof(mem_palette, colorCount) == 0, "mem_palette layout");
static_assert(offsetof(mem_palette, colors) == 4, "mem_palette layout");

static_assert(sizeof(mem_image) == 22, "mem_image layout");
static_assert(offsetof(mem_image, rowBytes) == 0, "mem_image layout");
static_assert(offsetof(mem_image, pixels) == 4, "mem_image layout");
static_assert(offsetof(mem_image, height) == 8, "mem_image layout");
static_assert(offsetof(mem_image, width) == 12, "mem_image layout");
static_assert(offsetof(mem_image, type) == 16, "mem_image layout");
static_assert(offsetof(mem_image, palette) == 18, "mem_image layout");

static_assert(sizeof(mem_pic) == 8, "mem_pic layout");
static_assert(offsetof(mem_pic, x) == 0, "mem_pic layout");
static_assert(offsetof(mem_pic, y) == 2, "mem_pic layout");
static_assert(offsetof(mem_pic, image) == 4, "mem_pic layout");

static_assert(sizeof(mem_frame) == 6, "mem_frame layout");
static_assert(offsetof(mem_frame, picCount) == 0, "mem_frame layout");
static_assert(offsetof(mem_frame, pics) == 2, "mem_frame layout");

static_assert(sizeof(mem_group) == 80, "mem_group layout");
static_assert(offsetof(mem_group, header) == 0, "mem_group layout");
static_assert(offsetof(mem_group, frameCount) == 32, "mem_group layout");
static_assert(offsetof(mem_group, frames) == 36, "mem_group layout");
static_assert(offsetof(mem_group, extInfo) == 40, "mem_group layout");
static_assert(offsetof(mem_group, appendixCount) == 44, "mem_group layout");
static_assert(offsetof(mem_group, appendix) == 48, "mem_group layout");

static_assert(sizeof(mem_ext_info) == 4, "mem_ext_info layout");
static_assert(sizeof(mem_appendix) == 16, "mem_appendix layout");
#endif
