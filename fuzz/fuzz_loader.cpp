// Fuzzes the loader with both files mutated. Whatever loads must be a sound
// set: every pointer inside its own tables, every pixel block readable.
#include "fuzz_checks.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string fault = check_loader_input(data, size);
    if (!fault.empty()) {
        std::fprintf(stderr, "fuzz_loader: %s\n", fault.c_str());
        std::abort();
    }
    return 0;
}
