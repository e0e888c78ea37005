// The writers check: one call of a bitmap writer with a header from the input,
// buffers exactly as large as that header says, and the file it leaves.
#include "fuzz_checks.h"

#include <algorithm>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <memory>
#include <vector>

namespace fs = std::filesystem;

namespace {

typedef std::vector<uint8_t> bytes;

constexpr uint64_t kMaxFile = 0xFFFFFFFFu;  // what a bitmap's size field holds
constexpr uint64_t kMaxBuffer = 256u << 10; // larger buffers are not made: the call is skipped

uint32_t le32(const uint8_t *p) {
    return uint32_t(p[0]) | uint32_t(p[1]) << 8 | uint32_t(p[2]) << 16 | uint32_t(p[3]) << 24;
}

uint16_t le16(const uint8_t *p) {
    return uint16_t(p[0] | p[1] << 8);
}

void put16(bytes &out, uint32_t v) {
    out.push_back(uint8_t(v));
    out.push_back(uint8_t(v >> 8));
}

void put32(bytes &out, uint32_t v) {
    put16(out, v);
    put16(out, v >> 16);
}

BITMAPINFOHEADER read_header(const uint8_t *p) {
    BITMAPINFOHEADER h;
    h.biSize = le32(p);
    h.biWidth = LONG(le32(p + 4));
    h.biHeight = LONG(le32(p + 8));
    h.biPlanes = le16(p + 12);
    h.biBitCount = le16(p + 14);
    h.biCompression = le32(p + 16);
    h.biSizeImage = le32(p + 20);
    h.biXPelsPerMeter = LONG(le32(p + 24));
    h.biYPelsPerMeter = LONG(le32(p + 28));
    h.biClrUsed = le32(p + 32);
    h.biClrImportant = le32(p + 36);
    return h;
}

// Sizes folded into ranges where calls succeed often and files stay small.
void fold(BITMAPINFOHEADER &h, int32_t &depth) {
    static const uint16_t kBitCounts[] = {16, 24, 32, 8, 1, 0, 15};
    static const int32_t kDepths[] = {0, 16, 24, 32, 8, 1, -24};
    h.biWidth = LONG(uint32_t(h.biWidth) % 301) - 20;
    h.biHeight = LONG(uint32_t(h.biHeight) % 301) - 150;
    h.biBitCount = kBitCounts[h.biBitCount % 7];
    h.biClrUsed %= 300;
    h.biSizeImage %= 70000;
    depth = kDepths[uint32_t(depth) % 7];
}

// The caller's info header as the file must hold it, with the bit count given.
void put_info_header(bytes &out, const BITMAPINFOHEADER &h, uint16_t bitCount) {
    put32(out, h.biSize);
    put32(out, uint32_t(h.biWidth));
    put32(out, uint32_t(h.biHeight));
    put16(out, h.biPlanes);
    put16(out, bitCount);
    put32(out, h.biCompression);
    put32(out, h.biSizeImage);
    put32(out, uint32_t(h.biXPelsPerMeter));
    put32(out, uint32_t(h.biYPelsPerMeter));
    put32(out, h.biClrUsed);
    put32(out, h.biClrImportant);
}

void put_file_header(bytes &out, uint64_t fileSize, uint64_t pixelOffset) {
    out.push_back('B');
    out.push_back('M');
    put32(out, uint32_t(fileSize));
    put32(out, 0);
    put32(out, uint32_t(pixelOffset));
}

// One stored pixel of the true-colour writer, converted from `src`.
void put_pixel(bytes &out, const uint8_t *src, int source, int target) {
    if (target == source) {
        out.insert(out.end(), src, src + source / 8);
    } else if (target == 24) {
        out.insert(out.end(), src, src + 3);
    } else if (target == 32) {
        out.insert(out.end(), src, src + 3);
        out.push_back(0);
    } else { // 5-5-5
        put16(out,
              uint32_t(src[2] >> 3) << 10 | uint32_t(src[1] >> 3) << 5 | uint32_t(src[0] >> 3));
    }
}

struct call {
    int writer;
    bool nullPixels, nullColors, nullName, emptyName, existing, missingFolder, nullInfo;
    int32_t depth;
    BITMAPINFO info;
};

// Works out whether `c` must succeed, the buffer sizes its header implies and
// the file it must leave. False when the buffers would be too large to make.
struct plan {
    bool succeeds = false;
    uint64_t pixelBytes = 0, colorBytes = 0;
    bytes file; // when it succeeds
};

bool make_plan(const call &c, plan &p) {
    const BITMAPINFOHEADER &h = c.info.bmiHeader;
    const bool argsOk = !c.nullName && !c.emptyName && !c.missingFolder && !c.nullInfo;
    const uint64_t width = h.biWidth < 0 ? 0 : uint64_t(h.biWidth);
    const uint64_t rows = h.biHeight < 0 ? uint64_t(-int64_t(h.biHeight)) : uint64_t(h.biHeight);
    bool fits = h.biWidth >= 0;
    uint64_t fileSize = 0, pixelOffset = 0, rowOut = 0;
    int source = h.biBitCount, target = c.depth ? c.depth : h.biBitCount;
    if (c.writer == 0) {
        fits = fits && ((source == 32 && (target == 32 || target == 24 || target == 16)) ||
                        (source == 24 && (target == 24 || target == 32 || target == 16)) ||
                        (source == 16 && target == 16));
        if (fits) {
            rowOut = (width * uint64_t(target / 8) + 3) / 4 * 4;
            pixelOffset = 58;
            fits = rowOut == 0 || rows <= (kMaxFile - pixelOffset) / rowOut;
        }
        if (fits) {
            fileSize = pixelOffset + rows * rowOut;
            p.pixelBytes = rows * width * uint64_t(source / 8);
        }
    } else {
        if (c.writer == 1) fits = true; // DIBitsToFile8 takes biSizeImage as it is
        const uint64_t pixels = c.writer == 1 ? h.biSizeImage : rows * 4 * ((width + 31) / 32);
        p.colorBytes = 4 * uint64_t(h.biClrUsed);
        pixelOffset = 54 + p.colorBytes;
        fits = fits && pixelOffset + pixels <= kMaxFile;
        if (fits) {
            p.pixelBytes = pixels;
            fileSize = pixelOffset + pixels;
        }
    }
    p.succeeds = argsOk && fits && !(c.nullPixels && p.pixelBytes) &&
                 !(c.nullColors && c.writer != 0 && p.colorBytes);
    // A call that must fail reads nothing: it gets empty buffers.
    if (!p.succeeds) {
        p.pixelBytes = p.colorBytes = 0;
        return true;
    }
    if (p.pixelBytes > kMaxBuffer || p.colorBytes > kMaxBuffer || fileSize > 3 * kMaxBuffer)
        return false;
    p.file.reserve(size_t(fileSize));
    put_file_header(p.file, fileSize, pixelOffset);
    put_info_header(p.file, h, uint16_t(c.writer == 0 ? target : h.biBitCount));
    return true;
}

// `buf` filled with copies of `from`, or a counting pattern when it is empty.
void fill(bytes &buf, const uint8_t *from, size_t n) {
    if (!n) {
        for (size_t i = 0; i < buf.size(); ++i) buf[i] = uint8_t(i * 131 + 7);
        return;
    }
    for (size_t at = 0; at < buf.size(); at += n)
        std::memcpy(buf.data() + at, from, std::min(n, buf.size() - at));
}

bytes read_file(const fs::path &path) {
    std::error_code ec;
    const uintmax_t size = fs::file_size(path, ec);
    bytes b(ec ? 0 : size_t(size));
    std::ifstream in(path, std::ios::binary);
    in.read(reinterpret_cast<char *>(b.data()), std::streamsize(b.size()));
    return b;
}

std::vector<std::string> folder_names(const std::string &folder) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto &e : fs::directory_iterator(folder, ec))
        names.push_back(e.path().filename().string());
    return names;
}

const bytes kOldFile(37, 0x5A);

std::string run_call(call &c, plan &p, const uint8_t *rest, size_t restSize,
                     const std::string &folder) {
    // Buffers of exactly the implied sizes: reading past one is caught.
    std::unique_ptr<uint8_t[]> pixels(new uint8_t[size_t(p.pixelBytes)]);
    std::unique_ptr<uint8_t[]> colors(new uint8_t[size_t(p.colorBytes)]);
    bytes pixelBytes(size_t(p.pixelBytes)), colorBytes(size_t(p.colorBytes));
    fill(pixelBytes, rest, restSize);
    fill(colorBytes, rest + restSize / 2, restSize - restSize / 2);
    if (!pixelBytes.empty()) std::memcpy(pixels.get(), pixelBytes.data(), pixelBytes.size());
    if (!colorBytes.empty()) std::memcpy(colors.get(), colorBytes.data(), colorBytes.size());

    const fs::path target =
        c.missingFolder ? fs::path(folder) / "absent" / "out.bmp" : fs::path(folder) / "out.bmp";
    const std::string name = target.string();
    if (c.existing && !c.missingFolder)
        std::ofstream(target, std::ios::binary)
            .write(reinterpret_cast<const char *>(kOldFile.data()),
                   std::streamsize(kOldFile.size()));

    const BITMAPINFO before = c.info;
    const char *fileName = c.nullName ? nullptr : c.emptyName ? "" : name.c_str();
    BITMAPINFO *info = c.nullInfo ? nullptr : &c.info;
    const void *px = c.nullPixels ? nullptr : pixels.get();
    const RGBQUAD *table = c.nullColors ? nullptr : reinterpret_cast<const RGBQUAD *>(colors.get());
    bool result;
    if (c.writer == 0)
        result = DIBitsToFile(fileName, px, info, c.depth);
    else if (c.writer == 1)
        result = DIBitsToFile8(fileName, px, info, table);
    else
        result = DIBitsToFile1(fileName, px, info, table);

    if (std::memcmp(&before, &c.info, sizeof before) != 0) return "the caller's header changed";
    if (result != p.succeeds) return std::string("returned ") + (result ? "true" : "false");

    const std::vector<std::string> names = folder_names(folder);
    const bool fileThere = p.succeeds || (c.existing && !c.missingFolder);
    if (names != (fileThere ? std::vector<std::string>{"out.bmp"} : std::vector<std::string>{}))
        return "the folder holds " + std::to_string(names.size()) + " entries after the call";
    if (!fileThere) return "";
    const bytes got = read_file(target);
    if (!p.succeeds) return got == kOldFile ? "" : "a refused call changed the file there";

    // The expected file: headers, then the colour entry or table, then pixels.
    bytes &want = p.file;
    const BITMAPINFOHEADER &h = c.info.bmiHeader;
    if (c.writer == 0) {
        const uint8_t *col = reinterpret_cast<const uint8_t *>(&c.info.bmiColors[0]);
        want.insert(want.end(), col, col + 4);
        const int source = h.biBitCount, target = c.depth ? c.depth : source;
        const size_t width = size_t(h.biWidth);
        const size_t rows = size_t(h.biHeight < 0 ? -int64_t(h.biHeight) : h.biHeight);
        const uint8_t *src = pixelBytes.data();
        for (size_t r = 0; width && r < rows; ++r) {
            const size_t rowStart = want.size();
            for (size_t x = 0; x < width; ++x, src += source / 8)
                put_pixel(want, src, source, target);
            while ((want.size() - rowStart) % 4) want.push_back(0);
        }
    } else {
        want.insert(want.end(), colorBytes.begin(), colorBytes.end());
        want.insert(want.end(), pixelBytes.begin(), pixelBytes.end());
    }
    if (got.size() != want.size())
        return "file of " + std::to_string(got.size()) + " bytes, not " +
               std::to_string(want.size());
    if (le32(got.data() + 2) != got.size()) return "the size field doesn't match the file";
    if (got != want) return "the file's bytes differ from the expected ones";
    return "";
}

} // namespace

std::string check_writers_input(const uint8_t *data, size_t size, const std::string &folder) {
    if (size < kWriterControlBytes) return "";
    call c{};
    c.writer = data[0] % 3;
    const uint8_t flags = data[1];
    c.nullPixels = flags & 1;
    c.nullColors = flags & 2;
    c.nullName = flags & 4;
    c.emptyName = flags & 8;
    c.existing = flags & 16;
    c.missingFolder = flags & 32;
    c.nullInfo = flags & 64;
    c.depth = int32_t(le32(data + 2));
    c.info.bmiHeader = read_header(data + 6);
    std::memcpy(&c.info.bmiColors[0], data + 46, 4);
    if (flags & 128) fold(c.info.bmiHeader, c.depth);

    plan p;
    if (!make_plan(c, p)) return "";
    std::string fault =
        run_call(c, p, data + kWriterControlBytes, size - kWriterControlBytes, folder);
    std::error_code ec;
    for (const auto &e : fs::directory_iterator(folder, ec)) fs::remove_all(e.path(), ec);
    return fault;
}
