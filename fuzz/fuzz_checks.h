// What the fuzz targets check on every input, shared with the tests that
// replay inputs once found faulty (tests/corrupt/). Each check returns "" when
// the library handled the input soundly, else what went wrong; the fuzz
// targets abort on a non-empty answer, the tests report it.
#pragma once

#include "art_handle.h"

#include <cstddef>
#include <cstdint>
#include <string>

// Loader input (fuzz_input.h): a 4-byte little-endian length, the
// art-structure file of that length, then the bitmap file. Whatever loads must
// be a sound set; a failure must be a documented code leaving the handle
// ART_FAILED and owning nothing. `code` receives the load's result.
std::string check_loader_input(const uint8_t *data, size_t size, int *code = nullptr);

// Where and on what the draw check draws.
struct surface_choice {
    int32_t width = 0;  // biWidth (may be 0 or negative)
    int32_t height = 0; // biHeight: its sign gives the row order
    uint16_t bitCount = 32;
    int32_t nearX = 0, nearY = 0; // an anchor close to the surface
    int32_t farX = 0, farY = 0;   // any anchor at all
};

// Draw input: kSurfaceChoiceBytes choosing the surface, then a loader input.
//   byte 0: width, bits 0-5; bit 6 makes it negative
//   byte 1: rows, bits 0-5; bit 6 makes the surface top-down
//   byte 2: bit 0 gives a 24-bit surface (every image draw must refuse it)
//   byte 3, 4: near anchor x, y (signed bytes)
//   bytes 5-8, 9-12: far anchor x, y (signed, little-endian)
constexpr size_t kSurfaceChoiceBytes = 13;
surface_choice read_surface_choice(const uint8_t *bytes);
std::string check_draw_input(const uint8_t *data, size_t size, int *code = nullptr);

// Draws every image, picture and frame of a loaded set into a guarded surface
// at both anchors of `choice` and compares each draw with a slow per-pixel
// reference; checks every draw rectangle (groups' too) against 64-bit
// arithmetic and that a frame drawn into a surface sized by its rectangle
// stays inside it.
std::string check_set_draws(art_handle &set, const surface_choice &choice);

// Writers input: kWriterControlBytes, then bytes that fill the buffers.
//   byte 0: writer (mod 3): DIBitsToFile, DIBitsToFile8, DIBitsToFile1
//   byte 1: bit 0 null pixels, bit 1 null colour table, bit 2 null file
//           name, bit 3 empty file name, bit 4 a file of that name exists
//           already, bit 5 the folder doesn't exist, bit 6 null header,
//           bit 7 sizes folded into small ranges
//   bytes 2-5: target depth of DIBitsToFile (signed, little-endian)
//   bytes 6-45: the BITMAPINFOHEADER, field by field, little-endian
//   bytes 46-49: bmiColors[0]
// Buffers are exactly as large as the header says they must be. The check
// works out independently whether the call must succeed; a success must leave
// exactly the expected file, whose size its header states, and a refusal no
// file at all (or the earlier file unchanged). Files go into `folder`, which
// must be empty and is left empty.
constexpr size_t kWriterControlBytes = 50;
std::string check_writers_input(const uint8_t *data, size_t size, const std::string &folder);
