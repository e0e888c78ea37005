// The modding round trip: an art set unpacked into a folder of files people
// edit with ordinary tools (indexed PNGs, GIMP palettes, a JSON manifest,
// and the bytes the structure does not describe), and packed back.
//
// Both directions work on bytes in memory, so the commands, the tests and the
// fuzz target share them; the commands add only the reading and writing of
// files.
#pragma once

#include "artset_writer.h"

#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

// Name and version of the manifest format, kept in set.json.
constexpr const char *kManifestFormat = "zevart-set";
constexpr int kManifestVersion = 1;
constexpr const char *kManifestName = "set.json";

struct folder_file {
    std::string path; // relative, '/' between folders
    std::vector<uint8_t> bytes;
};

// The files of the folder for the set in `bmp` and `prt`, which must load;
// false with `err` when it doesn't.
bool unpack_set(const std::vector<uint8_t> &bmp, const std::vector<uint8_t> &prt,
                std::vector<folder_file> &files, std::string &err);

// Reads a file of the folder by its relative path; false with `err` (the
// reason, without the path) when it can't.
using folder_reader =
    std::function<bool(const std::string &path, std::vector<uint8_t> &bytes, std::string &err)>;

struct pack_settings {
    bool remapNearest = false; // colours not in the palette go to the nearest entry
};

struct pack_result {
    std::vector<uint8_t> bmp, prt;
    uint64_t remapped = 0;          // pixels moved to the nearest colour
    bool laidOut = false;           // the bitmap's blocks were laid out anew
};

// Builds the two files from the folder; false with `err` naming the file or
// the manifest path at fault. What it builds has been loaded by the library.
bool pack_set(const folder_reader &read, const pack_settings &settings, pack_result &out,
              std::string &err);

// A folder held in memory, relative path to bytes, and pack_set over it: a
// path it does not hold reads as a missing file.
typedef std::map<std::string, std::vector<uint8_t>> folder_map;
bool pack_map(const folder_map &folder, const pack_settings &settings, pack_result &out,
              std::string &err);

// A digest of where every image's block lies and how big it is, kept in the
// manifest: while it still matches, pack keeps the bitmap file's layout and
// changes only the pixels that were edited.
std::string layout_digest(const std::vector<artgen::image> &images);

// Bytes as lowercase hex digits, and back (false on anything else).
std::string to_hex(const uint8_t *data, size_t n);
bool from_hex(const std::string &text, std::vector<uint8_t> &out);

// The commands.
struct unpack_options {
    std::string bmp, prt, dir;
    bool force = false;
};
int run_unpack(const unpack_options &o);

struct pack_options {
    std::string dir, bmp, prt;
    bool check = false; // validate only
    bool force = false;
    pack_settings settings;
};
int run_pack(const pack_options &o);
