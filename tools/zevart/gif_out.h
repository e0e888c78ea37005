// Animated GIF files through giflib.
//
// GIF has 256 colours a frame and binary transparency, so two choices are
// made here:
// - Transparency: a pixel is shown when its alpha passes a 4 x 4 ordered
//   (Bayer) threshold at its position, so a shadow of alpha 128 becomes a
//   checkerboard of black over half its pixels and alpha 192 three quarters.
//   Opaque pixels always show, transparent ones never. The pattern is fixed to
//   canvas positions, so it does not crawl between frames.
// - Colours: one index is kept for transparency. When all frames together use
//   at most 255 colours, they share one exact global table; otherwise every
//   frame gets a local table, exact when the frame uses at most 255 colours
//   and otherwise made by giflib's median-cut quantizer (GifQuantizeBuffer)
//   from the colours the frame shows.
#pragma once

#include "render.h"

#include <cstdio>
#include <string>

// GIF pictures are at most 65535 pixels wide and high.
constexpr uint32_t kMaxGifSide = 65535;

// Every frame of `frames` shown for `delayCs` hundredths of a second, looping
// forever; each frame clears the canvas (disposal "restore to background").
bool write_gif(FILE *out, frame_source &frames, uint16_t delayCs, std::string &err);

// Whether the pixel at (x, y) with this alpha is drawn in a GIF.
bool gif_shows(uint8_t alpha, uint32_t x, uint32_t y);
