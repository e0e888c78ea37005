// The file the viewer's File, Save Object writes for an object, made from the
// viewer's own logic: in 32, 24 or 16 bits (filter 1 to 3) the object as the
// display renders it (frame `frame` of a group in the group's rectangle), in
// 8 bits (filter 4) an image's or picture's image with its own rows and
// palette; an image's or picture's file carries the size of the image's
// block. What the viewer's and the CLI's bitmap files are held to.
#pragma once

#include "view_logic.h"

inline bool write_viewer_file(art_handle *art, int kind, uint32_t index, uint32_t frame, int filter,
                              const char *path) {
    BITMAPINFO bi{};
    bi.bmiHeader = {sizeof bi.bmiHeader, 0, 0, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    mem_image *image = saved_image(art, kind, index);
    uint32_t block = 0;
    if (image && image_block_size(*image, &block)) bi.bmiHeader.biSizeImage = block;
    if (filter <= 3) {
        RGBQUAD *pixels = render_object_frame(art, kind, index, frame, &bi);
        const int32_t depths[] = {0, 24, 16};
        const bool ok = pixels && DIBitsToFile(path, pixels, &bi, depths[filter - 1]);
        free_pixels(pixels);
        return ok;
    }
    const RGBQUAD *table = nullptr;
    std::vector<uint8_t> aligned;
    const uint8_t *rows = nullptr;
    return image && indexed_file_header(*image, &bi, &table) &&
           indexed_file_rows(*image, aligned, &rows) && DIBitsToFile8(path, rows, &bi, table);
}
