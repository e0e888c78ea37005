// Loading an art set for a command, and saying which file is at fault when
// the loader refuses it. The loader reports a code; a second look at the file
// named by the code tells "cannot open" from "wrong content".
#include "cli.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

// Why `path` can't be read, or empty when it opens; `size` gets its length.
std::string open_problem(const char *path, long long &size) {
    size = -1;
    FILE *f = std::fopen(path, "rb");
    if (!f) return std::strerror(errno);
    if (std::fseek(f, 0, SEEK_END) == 0) size = std::ftell(f);
    std::fclose(f);
    return "";
}

std::string reason(int code, const char *bmp, const char *prt) {
    long long size;
    std::string problem;
    switch (code) {
    case ART_ERR_MAGIC:
        problem = open_problem(prt, size);
        if (!problem.empty()) return std::string(prt) + ": cannot open: " + problem;
        if (size >= 0 && size < 4)
            return std::string(prt) + ": too short to be an art-structure file";
        return std::string(prt) + ": not an art-structure file (does not start with \"CPAL\")";
    case ART_ERR_PALETTE:
        return std::string(prt) + ": a palette's colour data is shorter than its size field says";
    case ART_ERR_FORMAT:
        return std::string(prt) +
               ": truncated or inconsistent (a count beyond the end of the file, an index, slot or "
               "size out of range)";
    case ART_ERR_BITMAP:
        problem = open_problem(bmp, size);
        if (!problem.empty()) return std::string(bmp) + ": cannot open: " + problem;
        if (size >= 0 && size < 14)
            return std::string(bmp) + ": too short to hold a pixel-data offset";
        return std::string(bmp) + ": does not hold every image's pixel block";
    case ART_ERR_MEMORY:
        return "not enough memory for the art set";
    default:
        return "unexpected loader result";
    }
}

} // namespace

const char *kind_name(kind k) {
    switch (k) {
    case kind::image:
        return "image";
    case kind::picture:
        return "picture";
    case kind::frame:
        return "frame";
    case kind::group:
        return "group";
    }
    return "?";
}

bool parse_kind(const std::string &text, kind &out) {
    for (kind k : {kind::image, kind::picture, kind::frame, kind::group})
        if (text == kind_name(k)) {
            out = k;
            return true;
        }
    return false;
}

uint32_t kind_count(const art_handle &art, kind k) {
    switch (k) {
    case kind::image:
        return art.imageCount;
    case kind::picture:
        return art.picCount;
    case kind::frame:
        return art.frameCount;
    case kind::group:
        return art.groupCount;
    }
    return 0;
}

void print_error(const std::string &message) {
    std::fprintf(stderr, "zevart: %s\n", message.c_str());
}

bool load_or_explain(const char *bmp, const char *prt, art_handle &art) {
    int code = LoadArtFromFile(bmp, prt, &art);
    if (code == ART_OK) return true;
    print_error("cannot load the art set: " + reason(code, bmp, prt) + " (loader code " +
                std::to_string(code) + ")");
    return false;
}
