// Animated PNG (APNG) files.
//
// libpng (Debian's build has no APNG support) encodes every frame as an
// ordinary PNG; this writer takes those files apart into chunks and puts them
// back together as an APNG: the first frame's IHDR, an acTL, and for every
// frame an fcTL followed by its compressed data: as IDAT chunks for frame 0
// (so a viewer without APNG support shows it as a still), as fdAT chunks (the
// same bytes behind a sequence number) for the others. Only chunk framing and
// CRCs are written here; all pixel coding is libpng's.
#pragma once

#include "png_out.h"

#include <cstdio>

// Every frame of `frames` shown for `delayMs`, looping forever. Each frame
// replaces the whole canvas (blend "source"), so transparent pixels show no
// earlier frame.
bool write_apng(FILE *out, frame_source &frames, uint32_t delayMs, const png_settings &settings,
                std::string &err);
