// The bytes of the bitmap files DIBitsToFile, DIBitsToFile8 and DIBitsToFile1
// write, for any destination: the exported writers send them to a file
// (bmp_writer.cpp), the web viewer keeps them in memory. Each checks every
// size before its first byte goes out, so a refused header writes nothing.
#pragma once

#include "art_handle.h"

#include <stddef.h>
#include <stdint.h>

#include <vector>

// Where the bytes go.
class byte_out {
public:
    // Takes all n bytes; false when it can't.
    virtual bool write(const void *data, size_t n) = 0;

protected:
    ~byte_out() = default;
};

// The bytes kept in memory; false once memory is out.
class memory_out : public byte_out {
public:
    bool write(const void *data, size_t n) override;
    std::vector<uint8_t> bytes;
};

// DIBitsToFile's file: the 32-, 24- or 16-bit pixels `info` describes,
// converted to `depth` (0 keeps theirs).
bool encode_dib(byte_out &out, const void *pixels, const BITMAPINFO *info, int32_t depth);
// DIBitsToFile8's file: the header, biClrUsed colours, biSizeImage pixel bytes.
bool encode_dib8(byte_out &out, const void *pixels, const BITMAPINFO *info, const RGBQUAD *colors);
// DIBitsToFile1's file: as DIBitsToFile8, with rows of whole 32-bit words of
// bits, as many as |biHeight| says.
bool encode_dib1(byte_out &out, const void *pixels, const BITMAPINFO *info, const RGBQUAD *colors);
