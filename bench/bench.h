// Benchmark cases shared by the Google Benchmark runner and the paired
// runner: each case sets up its data once and offers contenders, one call of
// which is one operation; ratios compare two contenders of a case.
#pragma once

#include <functional>
#include <string>
#include <vector>

namespace bench {

struct contender {
    std::string name;
    std::function<void()> run;     // one operation
    std::function<void()> cleanup; // after each operation, not timed (may be empty)
};

// time(slower) / time(faster) of two contenders, and the least it should be
// (or, with `atMost`, the most).
struct ratio {
    std::string faster, slower;
    double goal; // 0: no goal, shown for information
    bool atMost = false;
};

struct bench_case {
    std::string group; // "8-bit blit", "1-bit shadow", "BMP write", "load"
    std::string name;  // "shaped 256x256"
    double items = 0;  // pixels (or bytes) per operation
    const char *itemName = "px";
    std::vector<contender> contenders;
    std::vector<ratio> ratios;
    // Contenders whose instructions per item are counted (--instructions),
    // over this many operations.
    std::vector<std::string> instructionCounted;
    int countedOperations = 20;
};

void add_blit_cases(std::vector<bench_case> &cases);
void add_bmp_cases(std::vector<bench_case> &cases, const std::string &folder);
void add_load_cases(std::vector<bench_case> &cases, const std::string &folder);

} // namespace bench
