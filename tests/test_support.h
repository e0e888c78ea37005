// Helpers shared by the tests: scratch folders, art sets on disk or in memory.
#pragma once

#include "art_set.h"
#include "artset_writer.h"
#include "blitter.h"

#include <string>
#include <vector>

namespace testing_support {

// A fresh folder removed with everything in it when the object goes.
class temp_dir {
public:
    temp_dir();
    ~temp_dir();
    temp_dir(const temp_dir &) = delete;
    temp_dir &operator=(const temp_dir &) = delete;
    const std::string &path() const { return path_; }
    std::string file(const std::string &name) const { return path_ + "/" + name; }

private:
    std::string path_;
};

// The two files of an art set written into a folder.
struct art_files {
    std::string bmp, prt;
};
art_files save_set(const temp_dir &dir, const artgen::art_set &set,
                   const std::string &stem = "art");

// Loads the two files' bytes straight from memory.
int load_bytes(art_handle &h, const std::vector<uint8_t> &bmp, const std::vector<uint8_t> &prt);
int load_set(art_handle &h, const artgen::art_set &set);

// An image's pixel block as the loader sizes it, where write_bmp puts each
// block in the pixel area, and the end of the last block there.
size_t block_size(const artgen::image &im);
std::vector<size_t> block_offsets(const artgen::art_set &set);
size_t blocks_end(const artgen::art_set &set);

// The levels of pixel loops this processor runs, each once: forcing a level
// is how the fallbacks are tested on a processor that has better.
std::vector<blit_level> blit_levels();

// A path of the build machine as this build's file functions take it, and
// the folder of the bundled sample set so.
std::string host_path(std::string path);
std::string sample_dir();

} // namespace testing_support
