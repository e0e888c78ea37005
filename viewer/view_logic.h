// The viewer's logic that needs no window: finding the object on display in
// the art set, its pixel buffer, index texts and scroll steps. Every lookup
// checks that a set is loaded and that the index lies in its table, so
// nothing here reads a closed set or past a table.
#pragma once

#include "art_handle.h"

#include <stdint.h>

#include <vector>

// Kinds of object on display.
enum {
    OBJ_IMAGE = 1,
    OBJ_PICTURE = 2,
    OBJ_FRAME = 3,
    OBJ_GROUP = 4,
};

// The colour of every pixel of a fresh display buffer (red 255, green 127,
// blue 0): it shows wherever the object leaves a pixel untouched.
const uint32_t BACKGROUND_ORANGE = 0x00FF7F00;

// Number of objects of `kind` (OBJ_IMAGE .. OBJ_GROUP) in the loaded set; 0
// when no set is loaded or the kind is unknown.
uint32_t object_count(const art_handle *art, int kind);

// The draw rectangle of object `index` of `kind`; false, with `rect`
// untouched, when there is no such object.
bool object_draw_rect(art_handle *art, int kind, uint32_t index, RECT *rect);

// The draw rectangle of object `index` of `kind` when it can be drawn:
// its width and height and the anchor (-left, -top) that puts its top-left
// corner on pixel 0,0 fit the drawing calls' numbers. Otherwise (no such
// object, or a rectangle out of those bounds) the empty rectangle and false.
bool drawable_rect(art_handle *art, int kind, uint32_t index, RECT *rect);

// Draws image, picture or frame `index` into the surface at (x, y); false
// when there is no such object or it is a group.
bool draw_object(art_handle *art, int kind, uint32_t index, RGBQUAD *pixels, BITMAPINFO *info,
                 int x, int y);

// The group to play for `index`, or null when there is none.
mem_group *object_group(art_handle *art, uint32_t index);

// A buffer of width x height pixels, all BACKGROUND_ORANGE. Null when either
// side is not above 0, when the byte size is 2 GiB or more (on every
// architecture), or when memory is out. Release with free_pixels.
RGBQUAD *make_pixels(long width, long height);
void free_pixels(RGBQUAD *pixels);

// The object as the display shows it: a fresh buffer of its draw
// rectangle's size, all BACKGROUND_ORANGE, with the object drawn so that the
// rectangle's top-left corner lands on pixel 0,0. A group is drawn as its
// first frame in the group's rectangle. Sets biWidth and biHeight of `info`
// (positive: bottom-up rows) to the rectangle's size, 0 and 0 for an object
// that is not there. Null when there is nothing to draw into (no such object,
// a rectangle without area or too large). Release with free_pixels.
RGBQUAD *render_object(art_handle *art, int kind, uint32_t index, BITMAPINFO *info);
// As render_object, with a group drawn as its frame `frame` (nothing of it
// past its last frame), as the animation shows it in the group's rectangle.
RGBQUAD *render_object_frame(art_handle *art, int kind, uint32_t index, uint32_t frame,
                             BITMAPINFO *info);

// The image whose own pixels an indexed save writes: image `index`, or the
// image of picture `index`; null for the other kinds, an index past its
// table or a picture without an image.
mem_image *saved_image(art_handle *art, int kind, uint32_t index);

// The byte size of an image's pixel block: |height| x rowBytes for an 8-bit
// image, |height| x 4 x ceil(width / 32) for a 1-bit one (types 4 and 5).
// False when it does not fit 32 bits.
bool image_block_size(const mem_image &image, uint32_t *size);

// Prepares `info` for writing the image's own pixels with DIBitsToFile8:
// biWidth the image's width, biHeight minus its height (rows top row first,
// as stored), biSizeImage the size of the rows indexed_file_rows lays out; an
// 8-bit image gets biBitCount 8, biClrUsed its palette's colour count and
// that palette as `table`; a 1-bit one biBitCount 1, biClrUsed and
// biClrImportant 2 and white, then black. Other fields stay. False (info
// untouched) when that size does not fit 32 bits.
bool indexed_file_header(const mem_image &image, BITMAPINFO *info, const RGBQUAD **table);

// The image's rows as a bitmap file holds them, each a whole number of 32-bit
// words: the stored block itself when its rows are so already (every 1-bit
// image, an 8-bit one whose rowBytes is its width raised to a multiple of 4),
// else a copy in `aligned`, each row cut to the width and padded with zeros.
// False when the copy does not fit in memory.
bool indexed_file_rows(const mem_image &image, std::vector<uint8_t> &aligned, const uint8_t **rows);

// Reads an index as the "%u" scan conversion does: white space skipped, an
// optional sign (a minus wraps the number around 2^32), then decimal digits;
// anything after them is ignored. A number past 2^32 - 1, with either sign,
// reads as 2^32 - 1.
// False when no digit follows.
bool parse_index(const char *text, uint32_t *index);

// The index shown for a wanted one in a table of `count` entries: the last
// entry for any index at or past the end. False for an empty table.
bool clamp_index(uint32_t wanted, uint32_t count, uint32_t *index);

// The last scroll position for an object from `low` to `high` (right and
// left, or bottom and top, of its draw rectangle): high - low - 1, within
// the range of positions.
int last_scroll_position(long low, long high);

// Scroll codes of WM_HSCROLL and WM_VSCROLL that move the position.
enum {
    SCROLL_LINE_BACK = 0,    // SB_LINELEFT, SB_LINEUP
    SCROLL_LINE_FORWARD = 1, // SB_LINERIGHT, SB_LINEDOWN
    SCROLL_PAGE_BACK = 2,    // SB_PAGELEFT, SB_PAGEUP
    SCROLL_PAGE_FORWARD = 3, // SB_PAGERIGHT, SB_PAGEDOWN
    SCROLL_TRACK = 5,        // SB_THUMBTRACK
};

// The position a scroll code asks for, before the system clamps it: one
// pixel per line, one client width or height per page; other codes keep it.
int scroll_position(int code, int pos, int page, int trackPos);

// Sets blue, green and red of every pixel of the surface to `color`
// (0x00bbggrr, as COLORREF); fourth bytes keep their value.
void fill_background(RGBQUAD *pixels, const BITMAPINFO *info, uint32_t color);
