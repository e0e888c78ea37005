// Loading an art set for a command, and saying what is wrong when the loader
// refuses it: the file at fault, the byte, and the library's reason. A file
// that can't be opened is looked at again for the system's word on why.
#include "cli.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

namespace {

// Why `path` can't be opened, or empty when it opens.
std::string open_problem(const char *path) {
    FILE *f = std::fopen(path, "rb");
    if (!f) return std::strerror(errno);
    std::fclose(f);
    return "";
}

std::string explain(const art_handle &art, int code, const char *bmp, const char *prt) {
    char reason[ART_REASON_SIZE];
    int64_t offset = -1;
    if (get_loadError(&art, reason, sizeof reason, &offset) != code)
        std::snprintf(reason, sizeof reason, "no reason given");
    if (code == ART_ERR_MEMORY) return reason;
    const char *file = code == ART_ERR_BITMAP ? bmp : prt;
    std::string text = file;
    if (offset >= 0) text += " at byte " + std::to_string(offset);
    text += std::string(": ") + reason;
    if (offset < 0) {
        const std::string problem = open_problem(file);
        if (!problem.empty()) text += ": " + problem;
    }
    return text;
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
    print_error("cannot load the art set: " + explain(art, code, bmp, prt) + " (loader code " +
                std::to_string(code) + ")");
    return false;
}
