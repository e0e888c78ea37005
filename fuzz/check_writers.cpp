// The writers check: one call of a bitmap writer with buffers exactly as
// large as its header says, against a reference writer built the obvious
// way, byte by byte. Headers are copied as they lie in memory: the checks
// run on little-endian machines, where that is the stored layout.
#include "fuzz_checks.h"

#include "bmp_encode.h"

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

void put(bytes &out, uint64_t v, int n) {
    for (int i = 0; i < n; ++i) out.push_back(uint8_t(v >> 8 * i));
}

// What a call must do, worked out from its header alone.
struct plan {
    bool succeeds = false;
    uint64_t pixelBytes = 0, colorBytes = 0, pixelOffset = 0, fileSize = 0;
};

plan make_plan(const writer_call &c) {
    const BITMAPINFOHEADER &h = c.info.bmiHeader;
    const uint64_t width = h.biWidth < 0 ? 0 : uint64_t(h.biWidth);
    const uint64_t rows = h.biHeight < 0 ? uint64_t(-int64_t(h.biHeight)) : uint64_t(h.biHeight);
    const int source = h.biBitCount, target = c.depth ? c.depth : source;
    plan p;
    bool fits = false;
    if (c.writer == 0) {
        fits =
            h.biWidth >= 0 && (source == 16 ? target == 16
                                            : (source == 24 || source == 32) &&
                                                  (target == 16 || target == 24 || target == 32));
        const uint64_t rowOut = fits ? (width * uint64_t(target / 8) + 3) / 4 * 4 : 0;
        fits = fits && (rowOut == 0 || rows <= (kMaxFile - 58) / rowOut);
        p.pixelOffset = 58;
        p.fileSize = 58 + rows * rowOut;
        p.pixelBytes = rows * width * uint64_t(source / 8);
    } else {
        p.pixelBytes = c.writer == 1 ? h.biSizeImage : rows * 4 * ((width + 31) / 32);
        p.colorBytes = 4 * uint64_t(h.biClrUsed);
        p.pixelOffset = 54 + p.colorBytes;
        p.fileSize = p.pixelOffset + p.pixelBytes;
        fits = (c.writer == 1 || h.biWidth >= 0) && p.fileSize <= kMaxFile;
    }
    p.succeeds = fits && !c.nullName && !c.emptyName && !c.missingFolder && !c.nullInfo &&
                 !(c.nullPixels && p.pixelBytes) && !(c.nullColors && c.writer && p.colorBytes);
    if (!p.succeeds) p.pixelBytes = p.colorBytes = 0; // a refused call reads nothing
    return p;
}

// The file a call that succeeds must leave.
bytes reference_file(const writer_call &c, const plan &p, const bytes &pixels,
                     const bytes &colors) {
    const BITMAPINFOHEADER &h = c.info.bmiHeader;
    bytes out = {'B', 'M'};
    put(out, p.fileSize, 4);
    put(out, 0, 4);
    put(out, p.pixelOffset, 4);
    const uint8_t *head = reinterpret_cast<const uint8_t *>(&c.info);
    out.insert(out.end(), head, head + 40);
    if (c.writer != 0) {
        out.insert(out.end(), colors.begin(), colors.end());
        out.insert(out.end(), pixels.begin(), pixels.end());
        return out;
    }
    const int source = h.biBitCount, target = c.depth ? c.depth : source;
    out[28] = uint8_t(target); // biBitCount
    out[29] = 0;
    out.insert(out.end(), head + 40, head + 44); // bmiColors[0]
    const uint64_t rows = h.biHeight < 0 ? uint64_t(-int64_t(h.biHeight)) : uint64_t(h.biHeight);
    const uint8_t *s = pixels.data();
    for (uint64_t r = 0; h.biWidth && r < rows; ++r) {
        for (LONG x = 0; x < h.biWidth; ++x, s += source / 8)
            if (target == source)
                out.insert(out.end(), s, s + source / 8);
            else if (target == 16) // 5-5-5: red, green, blue from the top, bit 15 clear
                put(out, (s[2] >> 3) << 10 | (s[1] >> 3) << 5 | s[0] >> 3, 2);
            else
                put(out, s[0] | s[1] << 8 | s[2] << 16, target / 8);
        while ((out.size() - 58) % 4) out.push_back(0);
    }
    return out;
}

std::string file_difference(const bytes &got, const bytes &want) {
    if (got.size() != want.size())
        return "file of " + std::to_string(got.size()) + " bytes, not " +
               std::to_string(want.size());
    const size_t at =
        size_t(std::mismatch(got.begin(), got.end(), want.begin()).first - got.begin());
    if (at < got.size())
        return "byte " + std::to_string(at) + " is " + std::to_string(got[at]) + ", not " +
               std::to_string(want[at]);
    return got.size() >= 6 && le32(got.data() + 2) != got.size() ? "wrong size field" : "";
}

// `buf` filled with copies of `from`, or a counting pattern when there is none.
void fill(bytes &buf, const uint8_t *from, size_t n) {
    for (size_t i = 0; i < buf.size(); ++i) buf[i] = n ? from[i % n] : uint8_t(i * 131 + 7);
}

bytes read_file(const fs::path &path) {
    std::ifstream in(path, std::ios::binary);
    return bytes(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

const bytes kOldFile(37, 0x5A);

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

} // namespace

std::string check_writer_call(const writer_call &c, const std::string &folder, const uint8_t *from,
                              size_t n) {
    const plan p = make_plan(c);
    if (p.pixelBytes > kMaxBuffer || p.colorBytes > kMaxBuffer ||
        (p.succeeds && p.fileSize > 3 * kMaxBuffer))
        return "";
    // Buffers of exactly the implied sizes, and of the header exactly what
    // the writer may read: reading past one is caught.
    bytes pixels(size_t(p.pixelBytes)), colors(size_t(p.colorBytes));
    fill(pixels, from, n);
    fill(colors, from + n / 2, n - n / 2);
    const size_t headSize = c.writer == 0 ? 44 : 40;
    std::unique_ptr<uint8_t[]> px(new uint8_t[pixels.size()]), table(new uint8_t[colors.size()]),
        head(new uint8_t[headSize]);
    std::copy(pixels.begin(), pixels.end(), px.get());
    std::copy(colors.begin(), colors.end(), table.get());
    std::memcpy(head.get(), &c.info, headSize);

    const fs::path target = fs::path(folder) / (c.missingFolder ? "absent/out.bmp" : "out.bmp");
    const bool old = c.existing && !c.missingFolder;
    if (old)
        std::ofstream(target, std::ios::binary)
            .write(reinterpret_cast<const char *>(kOldFile.data()), kOldFile.size());
    const std::string name = target.string();
    const char *fileName = c.nullName ? nullptr : c.emptyName ? "" : name.c_str();
    BITMAPINFO *info = c.nullInfo ? nullptr : reinterpret_cast<BITMAPINFO *>(head.get());
    const void *pixelArg = c.nullPixels ? nullptr : px.get();
    const RGBQUAD *tableArg = c.nullColors ? nullptr : reinterpret_cast<RGBQUAD *>(table.get());
    const bool result = c.writer == 0   ? DIBitsToFile(fileName, pixelArg, info, c.depth)
                        : c.writer == 1 ? DIBitsToFile8(fileName, pixelArg, info, tableArg)
                                        : DIBitsToFile1(fileName, pixelArg, info, tableArg);

    std::string fault;
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto &e : fs::directory_iterator(folder, ec))
        names.push_back(e.path().filename().string());
    if (std::memcmp(head.get(), &c.info, headSize) != 0)
        fault = "the caller's header changed";
    else if (result != p.succeeds)
        fault = std::string("returned ") + (result ? "true" : "false");
    else if (names !=
             (p.succeeds || old ? std::vector<std::string>{"out.bmp"} : std::vector<std::string>{}))
        fault = "the folder holds " + std::to_string(names.size()) + " entries after the call";
    else if (p.succeeds)
        fault = file_difference(read_file(target), reference_file(c, p, pixels, colors));
    else if (old && read_file(target) != kOldFile)
        fault = "a refused call changed the file there";
    // The same call into memory, where no file name can be refused: the
    // same answer and the same bytes.
    if (fault.empty() && fileName && *fileName && !c.missingFolder) {
        memory_out memory;
        const bool kept = c.writer == 0   ? encode_dib(memory, pixelArg, info, c.depth)
                          : c.writer == 1 ? encode_dib8(memory, pixelArg, info, tableArg)
                                          : encode_dib1(memory, pixelArg, info, tableArg);
        if (kept != result)
            fault = std::string("into memory: returned ") + (kept ? "true" : "false");
        else if (kept)
            fault = file_difference(memory.bytes, reference_file(c, p, pixels, colors));
    }
    for (const auto &e : fs::directory_iterator(folder, ec)) fs::remove_all(e.path(), ec);
    return fault;
}

std::string check_writers_input(const uint8_t *data, size_t size, const std::string &folder) {
    if (size < kWriterControlBytes) return "";
    writer_call c;
    c.writer = data[0] % 3;
    bool *flags[] = {&c.nullPixels, &c.nullColors,    &c.nullName, &c.emptyName,
                     &c.existing,   &c.missingFolder, &c.nullInfo};
    for (int i = 0; i < 7; ++i) *flags[i] = data[1] >> i & 1;
    c.depth = int32_t(le32(data + 2));
    std::memcpy(&c.info.bmiHeader, data + 6, 40);
    std::memcpy(&c.info.bmiColors[0], data + 46, 4);
    if (data[1] & 128) fold(c.info.bmiHeader, c.depth);
    return check_writer_call(c, folder, data + kWriterControlBytes, size - kWriterControlBytes);
}
