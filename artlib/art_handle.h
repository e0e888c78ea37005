// zevart art library: the records of an art set, the handle that owns them and
// every operation the library exports.
//
// This header is the binary contract of zevart.dll. Clients read the records'
// fields directly and compute record indexes by pointer difference, so field
// order, types and packing never change. Both layouts, 32- and 64-bit, are
// checked at the end of this file.
#pragma once

#include <stddef.h>
#include <stdint.h>

#ifdef _WIN32
#include <windows.h>
#else
#include "win_types.h"
#endif

// The library's version. A new minor version adds; a new major version would
// break clients (the ordinals and record layouts never change).
#define ZEVART_VERSION_MAJOR 2
#define ZEVART_VERSION_MINOR 1
#define ZEVART_VERSION_PATCH 0
#define ZEVART_VERSION "2.1.0"

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

// The most bytes get_loadError's reason takes, its terminating zero included.
enum { ART_REASON_SIZE = 256 };

extern "C" {

int LoadArtFromFile(const char *bmpFile, const char *prtFile, art_handle *handle);
int CloseArt(art_handle *handle);

// Why the last load into `handle` failed: returns its code (1 to 5), copies
// the reason into `reason` (one line naming the record and field at fault;
// cut to size - 1 characters and always terminated when size is above 0) and
// stores at *offset the byte offset in the file at fault, the art-structure
// file for codes 1 to 3 and the bitmap file for 4, or -1 where no byte is
// (a file that can't be opened, memory). `reason` and `offset` may be null.
// A loaded handle gives 0, an empty reason and -1; a handle with no failed
// load on record (empty, closed since, or a null handle) gives -1.
int get_loadError(const art_handle *handle, char *reason, unsigned size, int64_t *offset);

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

// The record layouts clients are built against. 32-bit (i686 Windows, and
// wasm32): 4-byte pointers, the reference layout of zevart.dll. 64-bit
// (x86_64 Windows and Linux): the same fields in the same order, naturally
// aligned, mem_image and mem_frame still packed (their pointers then sit
// misaligned, which x86_64 reads without fault).
//
//                   32-bit        64-bit
//   art_handle      64            120
//   mem_palette      8             16
//   mem_image       22 (packed)    30 (packed)
//   mem_pic          8             16
//   mem_frame        6 (packed)    10 (packed)
//   mem_group       80             96
//   mem_ext_info     4              4
//   mem_appendix    16             16
#define ZEVART_LAYOUT(type, field, off32, off64)                                              \
    static_assert(offsetof(type, field) == (sizeof(void *) == 4 ? (off32) : (off64)),      \
                  #type " layout: " #field)
#define ZEVART_SIZE(type, size32, size64)                                                     \
    static_assert(sizeof(type) == (sizeof(void *) == 4 ? (size32) : (size64)), #type " size")

static_assert(sizeof(void *) == 4 || sizeof(void *) == 8, "32- or 64-bit pointers");

ZEVART_SIZE(art_handle, 64, 120);
ZEVART_LAYOUT(art_handle, bmpFileName, 0, 0);
ZEVART_LAYOUT(art_handle, prtFileName, 4, 8);
ZEVART_LAYOUT(art_handle, reserved, 8, 16);
ZEVART_LAYOUT(art_handle, loadState, 12, 24);
ZEVART_LAYOUT(art_handle, paletteCount, 16, 28);
ZEVART_LAYOUT(art_handle, palettes, 20, 32);
ZEVART_LAYOUT(art_handle, imageCount, 24, 40);
ZEVART_LAYOUT(art_handle, images, 28, 48);
ZEVART_LAYOUT(art_handle, groupCount, 32, 56);
ZEVART_LAYOUT(art_handle, groups, 36, 64);
ZEVART_LAYOUT(art_handle, frameCount, 40, 72);
ZEVART_LAYOUT(art_handle, frames, 44, 80);
ZEVART_LAYOUT(art_handle, picCount, 48, 88);
ZEVART_LAYOUT(art_handle, pics, 52, 96);
ZEVART_LAYOUT(art_handle, extInfoCount, 56, 104);
ZEVART_LAYOUT(art_handle, extInfos, 60, 112);

ZEVART_SIZE(mem_palette, 8, 16);
ZEVART_LAYOUT(mem_palette, colorCount, 0, 0);
ZEVART_LAYOUT(mem_palette, colors, 4, 8);

ZEVART_SIZE(mem_image, 22, 30);
ZEVART_LAYOUT(mem_image, rowBytes, 0, 0);
ZEVART_LAYOUT(mem_image, pixels, 4, 4);
ZEVART_LAYOUT(mem_image, height, 8, 12);
ZEVART_LAYOUT(mem_image, width, 12, 16);
ZEVART_LAYOUT(mem_image, type, 16, 20);
ZEVART_LAYOUT(mem_image, palette, 18, 22);

ZEVART_SIZE(mem_pic, 8, 16);
ZEVART_LAYOUT(mem_pic, x, 0, 0);
ZEVART_LAYOUT(mem_pic, y, 2, 2);
ZEVART_LAYOUT(mem_pic, image, 4, 8);

ZEVART_SIZE(mem_frame, 6, 10);
ZEVART_LAYOUT(mem_frame, picCount, 0, 0);
ZEVART_LAYOUT(mem_frame, pics, 2, 2);

ZEVART_SIZE(mem_group, 80, 96);
ZEVART_LAYOUT(mem_group, header, 0, 0);
ZEVART_LAYOUT(mem_group, frameCount, 32, 32);
ZEVART_LAYOUT(mem_group, frames, 36, 40);
ZEVART_LAYOUT(mem_group, extInfo, 40, 48);
ZEVART_LAYOUT(mem_group, appendixCount, 44, 56);
ZEVART_LAYOUT(mem_group, appendix, 48, 60);

ZEVART_SIZE(mem_ext_info, 4, 4);
ZEVART_SIZE(mem_appendix, 16, 16);

#undef ZEVART_LAYOUT
#undef ZEVART_SIZE
