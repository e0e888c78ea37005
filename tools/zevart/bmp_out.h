// BMP files through the library's own writers, byte for byte as the viewer's
// Save Object makes them.
#pragma once

#include "render.h"

#include <string>

// 32-, 24- or 16-bit (depth 0, 24 or 16, as the viewer passes it): the
// still's draw rectangle as a bottom-up 32-bit surface filled with
// `background`, the object drawn at (-left, -top), every pixel repeated
// `scale` times, converted by DIBitsToFile. With the viewer's orange and scale
// 1 it is the file the viewer's Save Object writes. biSizeImage is the byte
// size of the image's pixel block for images and pictures (the viewer sets it
// so for them) and 0 otherwise.
bool write_bmp(art_handle &art, const still &s, int depth, RGBQUAD background, uint32_t scale,
               const std::string &path, bool replace, std::string &err);

// The image's own pixels (of an image or a picture's image) and palette by
// DIBitsToFile8; a 1-bit image as a 1-bit file with a white-then-black table.
bool write_viewer_bmp8(art_handle &art, const still &s, const std::string &path, bool replace,
                       std::string &err);

// Byte size of an image's pixel block.
uint32_t block_bytes(const mem_image &im);
