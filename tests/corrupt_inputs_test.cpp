// The table of corrupt inputs: every input a fuzzer found the library
// mishandling is kept in tests/corrupt/TARGET/ and replayed here through the
// same check that fuzz target makes (fuzz/fuzz_checks.h), natively under the
// sanitizers and under Wine. A new find is added as a file and a row.
#include "fuzz_checks.h"
#include "test_support.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <string>

namespace fs = std::filesystem;

namespace {

constexpr int kNoLoad = -1; // writer inputs load nothing

struct corrupt_input {
    const char *file; // under tests/corrupt/
    int code;         // what loading its art set gives
    const char *what; // the fault it showed, and how it was mended
};

const corrupt_input kCorruptInputs[] = {
    {"loader/hundred-bytes-four-billion-groups", ART_ERR_FORMAT,
     "kept from the limits: counts of 4 billion in a 100-byte file"},
    {"loader/empty-mask-block-past-the-end", ART_OK,
     "fuzz_modding: a 1-bit image of height 0 whose empty block lies past the bitmap file's end "
     "loads; pack then laid the bitmap out anew instead of giving the same bytes back"},
    {"writers/width-zero-two-billion-rows", kNoLoad,
     "fuzz_writers timeout: DIBitsToFile walked 2^31 rows of no bytes for a 58-byte file; rows "
     "of width 0 are no longer walked"},
};

const std::string kDir = testing_support::host_path(ZEVART_CORRUPT_DIR);

TEST(CorruptInputs, EachIsHandledSoundly) {
    testing_support::temp_dir folder;
    for (const corrupt_input &c : kCorruptInputs) {
        const std::vector<uint8_t> in = artgen::load_file(kDir + "/" + c.file);
        const std::string target = std::string(c.file).substr(0, std::string(c.file).find('/'));
        int code = kNoLoad;
        std::string fault;
        if (target == "loader")
            fault = check_loader_input(in.data(), in.size(), &code);
        else if (target == "draw")
            fault = check_draw_input(in.data(), in.size(), &code);
        else if (target == "writers")
            fault = check_writers_input(in.data(), in.size(), folder.path());
        else
            fault = "no check for target " + target;
        EXPECT_EQ(fault, "") << c.file << ": " << c.what;
        EXPECT_EQ(code, c.code) << c.file << ": " << c.what;
    }
}

// A file without a row would never be replayed.
TEST(CorruptInputs, EveryFileHasARow) {
    std::set<std::string> rows;
    for (const corrupt_input &c : kCorruptInputs) rows.insert(c.file);
    for (const auto &e : fs::recursive_directory_iterator(kDir)) {
        if (!e.is_regular_file()) continue;
        const std::string name = fs::relative(e.path(), kDir).generic_string();
        EXPECT_TRUE(rows.count(name)) << name << " has no row in " << __FILE__;
    }
}

} // namespace
