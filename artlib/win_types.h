// The few Windows types the portable part of the library speaks in, for builds
// that have no <windows.h>. Layouts match the Windows headers byte for byte, so
// surfaces, headers and rectangles mean the same on every platform.
#pragma once

#include <stdint.h>

#ifdef _WIN32
#error "win_types.h stands in for <windows.h>; Windows builds use the real one"
#endif

typedef uint8_t BYTE;
typedef uint16_t WORD;
typedef uint32_t DWORD;
typedef int32_t LONG;
typedef int BOOL;

// Opaque handles: the portable group engine keys its records by window.
typedef struct HWND__ *HWND;
typedef struct HDC__ *HDC;

typedef struct tagRGBQUAD {
    BYTE rgbBlue;
    BYTE rgbGreen;
    BYTE rgbRed;
    BYTE rgbReserved;
} RGBQUAD;

typedef struct tagBITMAPINFOHEADER {
    DWORD biSize;
    LONG biWidth;
    LONG biHeight;
    WORD biPlanes;
    WORD biBitCount;
    DWORD biCompression;
    DWORD biSizeImage;
    LONG biXPelsPerMeter;
    LONG biYPelsPerMeter;
    DWORD biClrUsed;
    DWORD biClrImportant;
} BITMAPINFOHEADER;

typedef struct tagBITMAPINFO {
    BITMAPINFOHEADER bmiHeader;
    RGBQUAD bmiColors[1];
} BITMAPINFO;

typedef struct tagRECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
} RECT;

#define BI_RGB 0L
#define DIB_RGB_COLORS 0

#ifndef __cdecl
#define __cdecl
#endif
