// What a device context shows, read back for the tests on real windows.
#pragma once

#include <windows.h>

#include <cstring>
#include <string>
#include <vector>

inline BITMAPINFO top_down(int width, int height) {
    BITMAPINFO info{};
    info.bmiHeader = {sizeof(BITMAPINFOHEADER), width, -height, 1, 32, BI_RGB, 0, 0, 0, 0, 0};
    return info;
}

// The w x h block at (0, 0) of `dc`, top row first, without fourth bytes.
inline std::vector<RGBQUAD> read_dc(HDC dc, int w, int h) {
    BITMAPINFO info = top_down(w, h);
    void *bits = nullptr;
    HDC memory = CreateCompatibleDC(dc);
    HBITMAP section = CreateDIBSection(memory, &info, DIB_RGB_COLORS, &bits, nullptr, 0);
    HGDIOBJ previous = SelectObject(memory, section);
    BitBlt(memory, 0, 0, w, h, dc, 0, 0, SRCCOPY);
    GdiFlush();
    std::vector<RGBQUAD> px(static_cast<RGBQUAD *>(bits),
                            static_cast<RGBQUAD *>(bits) + size_t(w) * h);
    SelectObject(memory, previous);
    DeleteObject(section);
    DeleteDC(memory);
    for (RGBQUAD &q : px) q.rgbReserved = 0;
    return px;
}

// "" when both show the same colours; else the first pixel that differs.
inline std::string pixel_difference(const std::vector<RGBQUAD> &got,
                                    const std::vector<RGBQUAD> &want, int width) {
    if (got.size() != want.size()) return "picture of another size";
    for (size_t i = 0; i < got.size(); ++i) {
        const RGBQUAD &a = got[i], &b = want[i];
        if (a.rgbBlue != b.rgbBlue || a.rgbGreen != b.rgbGreen || a.rgbRed != b.rgbRed)
            return "pixel (" + std::to_string(i % width) + ", " + std::to_string(i / width) +
                   ") is " + std::to_string(a.rgbBlue) + "/" + std::to_string(a.rgbGreen) + "/" +
                   std::to_string(a.rgbRed) + ", not " + std::to_string(b.rgbBlue) + "/" +
                   std::to_string(b.rgbGreen) + "/" + std::to_string(b.rgbRed);
    }
    return "";
}
