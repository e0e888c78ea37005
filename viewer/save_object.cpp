// File, Save Object: writes the object on display as a bitmap file, in 32,
// 24 or 16 bits per pixel as the display renders it, or, for an image or
// picture, the image's own pixels and palette in 8 bits (1 bit for a shadow
// mask).
#include "viewer_dlg.h"

#include "globals.h"

namespace {

const char kTrueColourFilter[] = "Bitmap File 32-bit (*.bmp)\0*.bmp\0"
                                 "Bitmap File 24-bit (*.bmp)\0*.bmp\0"
                                 "Bitmap File 16-bit (*.bmp)\0*.bmp\0";
const char kIndexedFilter[] = "Bitmap File 32-bit (*.bmp)\0*.bmp\0"
                              "Bitmap File 24-bit (*.bmp)\0*.bmp\0"
                              "Bitmap File 16-bit (*.bmp)\0*.bmp\0"
                              "Bitmap File 8-bit (*.bmp)\0*.bmp\0";

// Writes the object in the depth of filter `filter` (1 to 4); false when
// nothing could be written. `g_bmi` comes back changed.
bool write_object(int kind, uint32_t index, DWORD filter) {
    if (filter >= 1 && filter <= 3) {
        // Drawn afresh, as the display renders it: a group has no display
        // buffer, and after a Select command without an apply the display
        // may hold another kind's render or none.
        static const int32_t kDepths[] = {0, 24, 16};
        RGBQUAD *pixels = render_object(g_pArt, kind, index, &g_bmi);
        bool written = pixels && DIBitsToFile(g_szSavePath, pixels, &g_bmi, kDepths[filter - 1]);
        free_pixels(pixels);
        return written;
    }
    // The 8-bit entry of a frame's or group's list is not offered; an index
    // left from an earlier save names no depth for them.
    mem_image *image = saved_image(g_pArt, kind, index);
    const RGBQUAD *table = nullptr;
    std::vector<uint8_t> aligned;
    const uint8_t *rows = nullptr;
    return filter == 4 && image && indexed_file_header(*image, &g_bmi, &table) &&
           indexed_file_rows(*image, aligned, &rows) &&
           DIBitsToFile8(g_szSavePath, rows, &g_bmi, table);
}

} // namespace

void CArtViewerDlg::OnFileSaveobject() {
    // The object on display, under the kind it was applied with: a Select
    // command without an apply has not changed what is shown.
    const int kind = g_nShownKind;
    const uint32_t index = uint32_t(g_nObjectIndex);
    if (!g_bObjectShown || index >= object_count(g_pArt, kind)) {
        MessageBox("Error saving object.", "Error", MB_OK | MB_ICONSTOP);
        return;
    }

    const BITMAPINFO kept = g_bmi;
    const bool indexed = kind == OBJ_IMAGE || kind == OBJ_PICTURE;
    g_ofnSave.lpstrFilter = indexed ? kIndexedFilter : kTrueColourFilter;
    // An image's or picture's files carry the size of the image's own block.
    uint32_t blockSize;
    if (mem_image *image = saved_image(g_pArt, kind, index))
        if (image_block_size(*image, &blockSize)) g_bmi.bmiHeader.biSizeImage = blockSize;

    bool written = true;
    if (::GetSaveFileNameA(&g_ofnSave)) written = write_object(kind, index, g_ofnSave.nFilterIndex);
    g_bmi = kept;
    if (!written) MessageBox("Error saving object.", "Error", MB_OK | MB_ICONSTOP);
}
