#include "test_support.h"

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <stdexcept>

namespace testing_support {
namespace fs = std::filesystem;

temp_dir::temp_dir() {
    static unsigned counter = 0;
    fs::path base = fs::temp_directory_path();
    for (int attempt = 0; attempt < 1000; ++attempt) {
        fs::path p =
            base / ("zevart-test-" + std::to_string(std::rand()) + "-" + std::to_string(++counter));
        if (fs::create_directory(p)) {
            path_ = p.generic_string();
            return;
        }
    }
    throw std::runtime_error("cannot make a scratch folder");
}

temp_dir::~temp_dir() {
    std::error_code ec;
    fs::remove_all(path_, ec);
}

art_files save_set(const temp_dir &dir, const artgen::art_set &set, const std::string &stem) {
    art_files f{dir.file(stem + ".bmp"), dir.file(stem + ".prt")};
    artgen::save_file(f.bmp, artgen::write_bmp(set));
    artgen::save_file(f.prt, artgen::write_prt(set));
    return f;
}

int load_bytes(art_handle &h, const std::vector<uint8_t> &bmp, const std::vector<uint8_t> &prt) {
    memory_source b(bmp.data(), bmp.size()), p(prt.data(), prt.size());
    return load_art(&h, "memory.bmp", "memory.prt", &b, &p);
}

int load_set(art_handle &h, const artgen::art_set &set) {
    return load_bytes(h, artgen::write_bmp(set), artgen::write_prt(set));
}

size_t block_size(const artgen::image &im) {
    const size_t rows = size_t(im.height < 0 ? -int64_t(im.height) : im.height);
    return rows * size_t(im.type == 4 || im.type == 5 ? (((int64_t(im.width) - 1) >> 5) + 1) * 4
                                                      : im.rowBytes);
}

std::vector<size_t> block_offsets(const artgen::art_set &set) {
    std::vector<size_t> at;
    size_t next = 0;
    for (const artgen::image &im : set.images) {
        at.push_back(im.offset.value_or(uint32_t(next)));
        next = std::max(next, at.back() + im.pixels.size());
    }
    return at;
}

size_t blocks_end(const artgen::art_set &set) {
    const std::vector<size_t> at = block_offsets(set);
    size_t end = 0;
    for (size_t i = 0; i < at.size(); ++i) end = std::max(end, at[i] + block_size(set.images[i]));
    return end;
}

std::vector<blit_level> blit_levels() {
    std::vector<blit_level> out;
    for (blit_level l : {BLIT_PORTABLE, BLIT_SSE2, BLIT_AVX2, BLIT_AVX512})
        if (blit_kernels_for(l).level == l) out.push_back(l);
    return out;
}

std::string host_path(std::string path) {
#ifdef _WIN32
    if (!path.empty() && path[0] == '/') path = "Z:" + path; // the Unix root under Wine
#endif
    return path;
}

std::string sample_dir() {
    return host_path(ZEVART_SAMPLE_DIR);
}

} // namespace testing_support
