// Writing BMP files to a tmpfs: the library's DIBitsToFile at 32 and 24 bits
// against SDL_SaveBMP and stb's writer, and one write() of the finished file.
#include "bench.h"

#include "art_handle.h"
#include "blitter.h"

#include <SDL2/SDL.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <fstream>
#include <iterator>
#include <memory>
#include <stdexcept>
#include <string.h>

int stb_write_bmp(const char *path, int w, int h, int comp, const void *data); // stb_bench.cpp

namespace bench {
namespace {

std::vector<uint8_t> read_all(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

// The finished file in one write(), over the old one (as SDL and stb write),
// or, with `renamed`, into a new file that then replaces it (as the library
// writes, so that a failed write never leaves half a file).
void write_whole(const std::string &path, const std::vector<uint8_t> &bytes, bool renamed) {
    const std::string to = renamed ? path + ".tmp" : path;
    int fd = open(to.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) throw std::runtime_error("cannot create " + to);
    ssize_t done = write(fd, bytes.data(), bytes.size());
    close(fd);
    if (done != ssize_t(bytes.size())) throw std::runtime_error("short write to " + to);
    if (renamed && rename(to.c_str(), path.c_str()) != 0)
        throw std::runtime_error("cannot rename " + to);
}

struct bmp_bench {
    int side;
    std::string folder;
    std::vector<RGBQUAD> pixels; // what a draw leaves: a 32-bit surface
    std::vector<uint8_t> rgb;    // the same pixels as stb takes them
    BITMAPINFO info{};
    SDL_Surface *withAlpha, *withoutAlpha;
    std::vector<uint8_t> file32, file24, file16;
    std::vector<RGBQUAD> copied;

    bmp_bench(int n, const std::string &dir)
        : side(n), folder(dir), pixels(size_t(n) * n), rgb(pixels.size() * 3) {
        for (size_t i = 0; i < pixels.size(); ++i) {
            pixels[i] = RGBQUAD{uint8_t(i * 7), uint8_t(i >> 3), uint8_t(i >> 9), 0};
            rgb[3 * i] = pixels[i].rgbRed;
            rgb[3 * i + 1] = pixels[i].rgbGreen;
            rgb[3 * i + 2] = pixels[i].rgbBlue;
        }
        info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
        info.bmiHeader.biWidth = n;
        info.bmiHeader.biHeight = -n;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        // SDL_SaveBMP writes 32 bits for a surface with alpha, else 24.
        withAlpha = SDL_CreateRGBSurfaceWithFormatFrom(pixels.data(), n, n, 32, n * 4,
                                                       SDL_PIXELFORMAT_ARGB8888);
        withoutAlpha = SDL_CreateRGBSurfaceWithFormatFrom(pixels.data(), n, n, 32, n * 4,
                                                          SDL_PIXELFORMAT_XRGB8888);
        if (!withAlpha || !withoutAlpha) throw std::runtime_error(SDL_GetError());
        ours(32);
        ours(24);
        ours(16);
        file32 = read_all(path("ours32"));
        file24 = read_all(path("ours24"));
        file16 = read_all(path("ours16"));
        sdl(withAlpha, "sdl32");
        sdl(withoutAlpha, "sdl24");
        check_depth("sdl32", 32);
        check_depth("sdl24", 24);
        stb();
        check_depth("stb24", 24);
    }
    ~bmp_bench() {
        SDL_FreeSurface(withAlpha);
        SDL_FreeSurface(withoutAlpha);
        for (const char *who : {"ours32", "ours24", "ours16", "portable24", "sdl32", "sdl24",
                                "stb24", "limit32", "limit24", "limit16", "renamed32", "renamed24"})
            unlink(path(who).c_str());
        rmdir(folder.c_str()); // once empty
    }

    std::string path(const char *who) const {
        return folder + "/" + who + "-" + std::to_string(side) + ".bmp";
    }
    void check_depth(const char *who, int bits) const {
        std::vector<uint8_t> f = read_all(path(who));
        if (f.size() < 30 || f[28] != bits)
            throw std::runtime_error(std::string(who) + " did not write " + std::to_string(bits) +
                                     " bits");
    }
    void ours(int depth, blit_level level = BLIT_BEST) {
        blit_use_level(level); // the 24-bit conversion has a form per level
        const std::string p = path(depth == 32              ? "ours32"
                                   : depth == 16            ? "ours16"
                                   : level == BLIT_PORTABLE ? "portable24"
                                                            : "ours24");
        if (!DIBitsToFile(p.c_str(), pixels.data(), &info, depth))
            throw std::runtime_error("DIBitsToFile failed");
    }
    // The same number of 32-bit pixels copied in memory.
    void copy() {
        copied.resize(pixels.size());
        memcpy(copied.data(), pixels.data(), pixels.size() * 4);
    }
    void sdl(SDL_Surface *s, const char *who) {
        if (SDL_SaveBMP(s, path(who).c_str()) != 0) throw std::runtime_error(SDL_GetError());
    }
    void stb() {
        if (!stb_write_bmp(path("stb24").c_str(), side, side, 3, rgb.data()))
            throw std::runtime_error("stb failed");
    }
};

} // namespace

// One case per depth and way of saving, so each round touches only the files
// of that case. Saving over a file (each operation replaces the file the
// last one wrote) and saving a new one (the file is removed after each
// operation, untimed) cost differently: writing over a file in place reuses
// its pages, a file written whole and renamed over it needs new ones.
void add_bmp_cases(std::vector<bench_case> &cases, const std::string &folder) {
    mkdir(folder.c_str(), 0755);
    for (int n : {256, 1024})
        for (bool replacing : {true, false}) {
            auto b = std::make_shared<bmp_bench>(n, folder);
            const std::string size = std::to_string(n) + "x" + std::to_string(n);
            const std::string how = replacing ? ", over a file" : ", new file";
            // After each operation: the file goes when each save makes a new one.
            auto remove = [b, replacing](const char *who) -> std::function<void()> {
                if (replacing) return nullptr;
                return [b, who] { unlink(b->path(who).c_str()); };
            };
            bench_case c;
            c.group = "BMP write";
            c.name = "32-bit " + size + how;
            c.items = double(n) * n;
            c.contenders = {
                {"ours", [b] { b->ours(32); }, remove("ours32")},
                {"SDL_SaveBMP", [b] { b->sdl(b->withAlpha, "sdl32"); }, remove("sdl32")},
                {"write()", [b] { write_whole(b->path("limit32"), b->file32, false); },
                 remove("limit32")},
                {"write(), renamed", [b] { write_whole(b->path("renamed32"), b->file32, true); },
                 remove("renamed32")},
            };
            c.ratios = {
                {"ours", "SDL_SaveBMP", 1.5},
                {"write()", "ours", 0},
                {"write(), renamed", "ours", 0},
            };
            cases.push_back(c);

            c.name = "24-bit " + size + how;
            c.contenders = {
                {"ours", [b] { b->ours(24); }, remove("ours24")},
                {"ours portable", [b] { b->ours(24, BLIT_PORTABLE); }, remove("portable24")},
                {"SDL_SaveBMP", [b] { b->sdl(b->withoutAlpha, "sdl24"); }, remove("sdl24")},
                {"stb", [b] { b->stb(); }, remove("stb24")},
                {"write()", [b] { write_whole(b->path("limit24"), b->file24, false); },
                 remove("limit24")},
                {"write(), renamed", [b] { write_whole(b->path("renamed24"), b->file24, true); },
                 remove("renamed24")},
            };
            c.ratios = {
                {"ours", "SDL_SaveBMP", 1.1},
                {"ours", "stb", 3},
                {"ours portable", "SDL_SaveBMP", 0},
                {"ours portable", "stb", 0},
                {"write()", "ours", 0},
                {"write(), renamed", "ours", 0},
            };
            if (n == 256 && replacing)
                c.instructionCounted = {"ours portable", "SDL_SaveBMP", "stb"};
            cases.push_back(c);

            // 16 bits (5-5-5): no peer writes it; the limit is the finished file.
            c.name = "16-bit " + size + how;
            c.contenders = {
                {"ours", [b] { b->ours(16); }, remove("ours16")},
                {"write()", [b] { write_whole(b->path("limit16"), b->file16, false); },
                 remove("limit16")},
                {"memcpy of the pixels", [b] { b->copy(); }, nullptr},
            };
            c.ratios = {{"write()", "ours", 0}, {"memcpy of the pixels", "ours", 0}};
            c.instructionCounted = {};
            cases.push_back(std::move(c));
        }
}

} // namespace bench
