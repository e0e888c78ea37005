// What a typical exporter does, for scripts/bench-export to time beside
// `zevart export`: every image, picture and frame, and every frame of every
// group, drawn exactly as zevart draws it (transparent RGBA) and written
// straight to its file by libpng at its defaults (true colour with alpha,
// zlib's default level, adaptive filters). It uses as many threads as zevart
// does, so the two differ in the writing only.
//   export_peer BMP PRT OUTDIR
#include "cli.h"
#include "render.h"

#include <png.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <string>
#include <thread>
#include <vector>

namespace {

bool write_png(const rgba_image &img, const std::string &path) {
    FILE *f = std::fopen(path.c_str(), "wb");
    if (!f) return false;
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png ? png_create_info_struct(png) : nullptr;
    if (!info || setjmp(png_jmpbuf(png))) {
        png_destroy_write_struct(&png, &info);
        std::fclose(f);
        return false;
    }
    png_init_io(png, f);
    png_set_IHDR(png, info, img.width, img.height, 8, PNG_COLOR_TYPE_RGBA, PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_write_info(png, info);
    for (uint32_t y = 0; y < img.height; ++y)
        png_write_row(png, img.px.data() + size_t(y) * img.width * 4);
    png_write_end(png, info);
    png_destroy_write_struct(&png, &info);
    return std::fclose(f) == 0;
}

struct job {
    kind what;
    uint32_t index, frame;
};

} // namespace

int main(int argc, char **argv) {
    if (argc != 4) {
        std::fputs("usage: export_peer BMP PRT OUTDIR\n", stderr);
        return 1;
    }
    art_handle art;
    if (!load_or_explain(argv[1], argv[2], art)) return 2;
    const std::string out = argv[3];
    std::vector<job> jobs;
    for (kind k : {kind::image, kind::picture, kind::frame})
        for (uint32_t i = 0; i < kind_count(art, k); ++i) jobs.push_back({k, i, 0});
    for (uint32_t g = 0; g < art.groupCount; ++g)
        for (uint32_t f = 0; f < art.groups[g].frameCount; ++f) jobs.push_back({kind::group, g, f});
    std::atomic<size_t> next{0};
    std::atomic<unsigned> failed{0};
    auto work = [&] {
        for (size_t i; (i = next++) < jobs.size();) {
            const job &j = jobs[i];
            const bool group = j.what == kind::group;
            const still s = group ? group_frame(art, j.index, j.frame, group_rect(art, j.index))
                                  : still_of(art, j.what, j.index);
            uint32_t w, h;
            if (surface_fit(s.rect, 1, w, h) != fit::ok) continue;
            const std::string name = out + "/" + kind_name(j.what) + "-" + std::to_string(j.index) +
                                     (group ? "-" + std::to_string(j.frame) : "") + ".png";
            if (!write_png(render_transparent(art, s), name)) ++failed;
        }
    };
    std::vector<std::thread> pool;
    for (unsigned t = 1; t < std::max(1u, std::thread::hardware_concurrency()); ++t)
        pool.emplace_back(work);
    work();
    for (std::thread &t : pool) t.join();
    if (failed) std::fprintf(stderr, "export_peer: %u files failed\n", unsigned(failed));
    return failed ? 3 : 0;
}
