// Animated PNG (APNG) files: the file head of png_out (IHDR, and the palette
// when all frames have at most 256 colours together), an acTL, and for every
// frame an fcTL followed by its compressed rows: as IDAT for frame 0 (so a
// viewer without APNG support shows it as a still), as fdAT (the same bytes
// behind a sequence number) for the others.
#pragma once

#include "png_out.h"

#include <cstdio>

// Every frame of `frames` shown for `delayMs`, looping forever, appended to
// `out`. Each frame replaces the whole canvas (blend "source"), so
// transparent pixels show no earlier frame.
bool apng_encode(frame_source &frames, uint32_t delayMs, const png_settings &settings,
                 std::vector<uint8_t> &out, std::string &err);

// The same, written to a stream.
bool write_apng(FILE *out, frame_source &frames, uint32_t delayMs, const png_settings &settings,
                std::string &err);
