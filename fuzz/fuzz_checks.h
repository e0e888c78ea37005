// What the fuzz targets check on every input, shared with the tests that
// replay inputs once found faulty (tests/corrupt/). Each check returns "" when
// the library handled the input soundly, else what went wrong; the fuzz
// targets abort on a non-empty answer, the tests report it.
#pragma once

#include "art_handle.h"

#include <cstddef>
#include <cstdint>
#include <string>

// Where and on what the draw check draws.
struct surface_choice {
    int32_t width = 0;  // biWidth (may be 0 or negative)
    int32_t height = 0; // biHeight: its sign gives the row order
    uint16_t bitCount = 32;
    int32_t nearX = 0, nearY = 0; // an anchor close to the surface
    int32_t farX = 0, farY = 0;   // any anchor at all
};

struct load_report;

// Loads the two files into `h` (empty) and checks the outcome: a loaded set
// must be sound (every pointer inside its tables, every block readable) and,
// given `draws`, draw as check_set_draws says; a failure must be a documented
// code with a reason (get_loadError), leaving `h` ART_FAILED, owning nothing
// and refusing another load. `h` is closed and empty again afterwards, its
// report forgotten; `code` receives the load's result, `report` its report.
std::string check_load(art_handle &h, const uint8_t *prt, size_t prtSize, const uint8_t *bmp,
                       size_t bmpSize, int *code = nullptr, const surface_choice *draws = nullptr,
                       load_report *report = nullptr);

// Loader input (fuzz_input.h): a 4-byte little-endian length, the
// art-structure file of that length, then the bitmap file.
std::string check_loader_input(const uint8_t *data, size_t size, int *code = nullptr);

// Draw input: kSurfaceChoiceBytes choosing the surface, then a loader input.
//   byte 0: width, bits 0-5; bit 6 makes it negative
//   byte 1: rows, bits 0-5; bit 6 makes the surface top-down
//   byte 2: bit 0 gives a 24-bit surface (every image draw must refuse it)
//   byte 3, 4: near anchor x, y (signed bytes)
//   bytes 5-8, 9-12: far anchor x, y (signed, little-endian)
constexpr size_t kSurfaceChoiceBytes = 13;
std::string check_draw_input(const uint8_t *data, size_t size, int *code = nullptr);

// Draws every image, picture and frame of a loaded set into a guarded surface
// at both anchors of `choice` and compares each draw with a slow per-pixel
// reference; checks every draw rectangle (groups' too) against 64-bit
// arithmetic and that a frame drawn into a surface sized by its rectangle
// stays inside it.
std::string check_set_draws(art_handle &set, const surface_choice &choice);

// One call of a bitmap writer.
struct writer_call {
    int writer = 0;    // 0 DIBitsToFile, 1 DIBitsToFile8, 2 DIBitsToFile1
    int32_t depth = 0; // DIBitsToFile's target depth
    BITMAPINFO info{};
    bool nullPixels = false, nullColors = false, nullName = false, emptyName = false;
    bool existing = false;      // a file of that name is there already
    bool missingFolder = false; // the folder doesn't exist
    bool nullInfo = false;
};

// Makes the call with buffers exactly as large as its header says (filled
// from the n bytes at `fill`) and works out independently whether it must
// succeed: a success must leave exactly the file a reference writer makes, a
// refusal no file at all (or the earlier file unchanged), and the caller's
// header must stay as it was. "" when all is so, or when the buffers would be
// too large to make. Files go into `folder`, which must be empty and is left
// empty.
std::string check_writer_call(const writer_call &c, const std::string &folder,
                              const uint8_t *fill = nullptr, size_t n = 0);

// Writers input: kWriterControlBytes making a writer_call, then the fill.
//   byte 0: writer (mod 3)
//   byte 1: bit 0 null pixels, bit 1 null colour table, bit 2 null file
//           name, bit 3 empty file name, bit 4 a file of that name exists
//           already, bit 5 the folder doesn't exist, bit 6 null header,
//           bit 7 sizes folded into small ranges
//   bytes 2-5: target depth of DIBitsToFile (signed, little-endian)
//   bytes 6-45: the BITMAPINFOHEADER, field by field, little-endian
//   bytes 46-49: bmiColors[0]
constexpr size_t kWriterControlBytes = 50;
std::string check_writers_input(const uint8_t *data, size_t size, const std::string &folder);
