#include "test_support.h"

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

std::string sample_dir() {
    std::string dir = ZEVART_SAMPLE_DIR;
#ifdef _WIN32
    // Under Wine the Unix root is drive Z:.
    if (!dir.empty() && dir[0] == '/') dir = "Z:" + dir;
#endif
    return dir;
}

} // namespace testing_support
