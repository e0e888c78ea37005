// same_pixels: whether two folders of zevart's image files show the same
// pixels: the same names, and for each PNG, APNG and GIF file the same frames
// (size, timing, every pixel) once decoded, whatever the bytes.
//   same_pixels DIR_A DIR_B
// Says which file, frame and pixel differ first; exit 0 when none does.
#include "image_decode.h"

#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <set>
#include <string>
#include <vector>

namespace fs = std::filesystem;

namespace {

struct frame {
    uint32_t width = 0, height = 0;
    int timing = 0; // APNG: delay numerator * 65536 + denominator; GIF: delay and disposal
    std::vector<uint32_t> px; // 0xAARRGGBB, 0 where transparent
};

uint32_t rgba_at(const rgba_picture &p, size_t i) {
    const uint8_t *c = &p.px[i * 4];
    return c[3] ? uint32_t(c[3]) << 24 | c[0] << 16 | c[1] << 8 | c[2] : 0;
}

frame of_picture(const rgba_picture &p, int timing) {
    frame f{p.width, p.height, timing, {}};
    for (size_t i = 0; i < size_t(p.width) * p.height; ++i) f.px.push_back(rgba_at(p, i));
    return f;
}

bool is_animated_png(const fs::path &file) {
    std::ifstream in(file, std::ios::binary);
    const std::string bytes((std::istreambuf_iterator<char>(in)), {});
    const size_t actl = bytes.find("acTL");
    return actl != std::string::npos && actl < bytes.find("IDAT");
}

bool decode(const fs::path &file, std::vector<frame> &out, std::string &err) {
    const std::string ext = file.extension().string(), path = file.string();
    if (ext == ".gif") {
        gif_file g;
        if (!decode_gif(path, g, err)) return false;
        for (const gif_frame &gf : g.frames) {
            frame f{gf.width, gf.height, gf.delayCs * 16 + gf.disposal, {}};
            for (uint8_t i : gf.indexes)
                f.px.push_back(int(i) == gf.transparent || i >= gf.colours.size()
                                   ? 0
                                   : 0xFF000000 | gf.colours[i]);
            out.push_back(f);
        }
        return true;
    }
    if (is_animated_png(file)) {
        apng_file a;
        if (!decode_apng(path, a, err)) return false;
        for (const apng_frame &af : a.frames)
            out.push_back(of_picture(af.picture, af.delayNum << 16 | af.delayDen));
        return true;
    }
    rgba_picture p;
    if (!decode_png(path, p, err)) return false;
    out.push_back(of_picture(p, 0));
    return true;
}

// The first difference between two decoded files, or "".
std::string difference(const std::vector<frame> &a, const std::vector<frame> &b) {
    if (a.size() != b.size())
        return std::to_string(a.size()) + " frames against " + std::to_string(b.size());
    for (size_t n = 0; n < a.size(); ++n) {
        const frame &fa = a[n], &fb = b[n];
        const std::string at = "frame " + std::to_string(n) + ": ";
        if (fa.width != fb.width || fa.height != fb.height)
            return at + std::to_string(fa.width) + " x " + std::to_string(fa.height) +
                   " against " + std::to_string(fb.width) + " x " + std::to_string(fb.height);
        if (fa.timing != fb.timing) return at + "the timing differs";
        for (size_t i = 0; i < fa.px.size(); ++i)
            if (fa.px[i] != fb.px[i]) {
                char why[96];
                std::snprintf(why, sizeof why, "pixel (%zu, %zu) is %08X against %08X",
                              i % fa.width, i / fa.width, unsigned(fa.px[i]), unsigned(fb.px[i]));
                return at + why;
            }
    }
    return "";
}

std::set<std::string> names(const fs::path &dir) {
    std::set<std::string> out;
    for (const auto &e : fs::directory_iterator(dir)) out.insert(e.path().filename().string());
    return out;
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 3) {
        std::fprintf(stderr, "usage: same_pixels DIR_A DIR_B\n");
        return 2;
    }
    const fs::path a = argv[1], b = argv[2];
    const std::set<std::string> na = names(a), nb = names(b);
    if (na != nb) {
        std::fprintf(stderr, "same_pixels: the two folders hold different files\n");
        return 1;
    }
    size_t compared = 0;
    for (const std::string &name : na) {
        const std::string ext = fs::path(name).extension().string();
        if (ext != ".png" && ext != ".gif") continue;
        std::vector<frame> fa, fb;
        std::string err;
        if (!decode(a / name, fa, err) || !decode(b / name, fb, err)) {
            std::fprintf(stderr, "same_pixels: %s: %s\n", name.c_str(), err.c_str());
            return 1;
        }
        const std::string why = difference(fa, fb);
        if (!why.empty()) {
            std::fprintf(stderr, "same_pixels: %s: %s\n", name.c_str(), why.c_str());
            return 1;
        }
        ++compared;
    }
    if (!compared) {
        std::fprintf(stderr, "same_pixels: no PNG or GIF files to compare\n");
        return 1;
    }
    std::printf("same pixels in %zu files\n", compared);
    return 0;
}
