// Fuzzes the bitmap writers with headers from the input. Files go to a private
// folder on a memory file system when there is one (/dev/shm), so the fuzzer
// doesn't wear a disk.
#include "fuzz_checks.h"

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {

std::string g_folder;

void remove_folder() {
    std::error_code ec;
    fs::remove_all(g_folder, ec);
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***) {
    std::error_code ec;
    fs::path base =
        fs::is_directory("/dev/shm", ec) ? fs::path("/dev/shm") : fs::temp_directory_path();
    g_folder = (base / ("zevart-fuzz-writers-" + std::to_string(getpid()))).string();
    fs::remove_all(g_folder, ec);
    if (!fs::create_directory(g_folder, ec)) {
        std::fprintf(stderr, "fuzz_writers: cannot make %s\n", g_folder.c_str());
        std::exit(1);
    }
    std::atexit(remove_folder);
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string fault = check_writers_input(data, size, g_folder);
    if (!fault.empty()) {
        std::fprintf(stderr, "fuzz_writers: %s\n", fault.c_str());
        std::abort();
    }
    return 0;
}
