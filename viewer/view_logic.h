// The viewer's logic that needs no window: finding the object on display in
// the art set, its pixel buffer, index texts and scroll steps. Every lookup
// checks that a set is loaded and that the index lies in its table, so
// nothing here reads a closed set or past a table.
#pragma once

#include "art_handle.h"

#include <stdint.h>

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

// Draws image, picture or frame `index` into the surface at (x, y); false
// when there is no such object or it is a group.
bool draw_object(art_handle *art, int kind, uint32_t index, RGBQUAD *pixels, BITMAPINFO *info,
                 int x, int y);

// The group to play for `index`, or null when there is none.
mem_group *object_group(art_handle *art, uint32_t index);

// A buffer of width x height pixels, all BACKGROUND_ORANGE. Null when either
// side is not above 0, when the byte size does not fit in memory's address
// range, or when memory is out. Release with free_pixels.
RGBQUAD *make_pixels(long width, long height);
void free_pixels(RGBQUAD *pixels);

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
