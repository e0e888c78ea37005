// Fuzzes drawing: the input makes an art set and chooses a surface (size, row
// order, depth, two anchors); every image, picture and frame of whatever loads
// is drawn and compared with a per-pixel reference, its draw rectangle checked,
// and nothing outside the surface may change.
#include "fuzz_checks.h"

#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size) {
    std::string fault = check_draw_input(data, size);
    if (!fault.empty()) {
        std::fprintf(stderr, "fuzz_draw: %s\n", fault.c_str());
        std::abort();
    }
    return 0;
}
