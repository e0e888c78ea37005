// How a fuzz input carries the two files of an art set: a 4-byte little-endian
// length, the art-structure file of that length, then the bitmap file.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

struct fuzz_files {
    const uint8_t *prt;
    size_t prtSize;
    const uint8_t *bmp;
    size_t bmpSize;
};

inline fuzz_files split_fuzz_input(const uint8_t *data, size_t size) {
    if (size < 4) return {data, size, nullptr, 0};
    size_t prtSize = data[0] | data[1] << 8 | data[2] << 16 | size_t(data[3]) << 24;
    prtSize = prtSize > size - 4 ? size - 4 : prtSize;
    return {data + 4, prtSize, data + 4 + prtSize, size - 4 - prtSize};
}

inline std::vector<uint8_t> join_fuzz_input(const std::vector<uint8_t> &prt,
                                            const std::vector<uint8_t> &bmp) {
    std::vector<uint8_t> out = {uint8_t(prt.size()), uint8_t(prt.size() >> 8),
                                uint8_t(prt.size() >> 16), uint8_t(prt.size() >> 24)};
    out.insert(out.end(), prt.begin(), prt.end());
    out.insert(out.end(), bmp.begin(), bmp.end());
    return out;
}
