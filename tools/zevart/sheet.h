// Sprite sheets: the frames of a group side by side in one PNG, with a JSON
// index of where each frame lies.
#pragma once

#include "png_out.h"

#include <string>

// Frames in a grid of ceil(sqrt(n)) columns, row by row, every cell the size
// of the group's rectangle. `pngName` is how the index names the picture. An
// empty path leaves that file unwritten.
bool write_sheet(art_handle &art, uint32_t group, const RECT &rect, group_frames &frames,
                 const std::string &pngPath, const std::string &pngName,
                 const std::string &jsonPath, bool replace, const png_settings &settings,
                 std::string &err);
