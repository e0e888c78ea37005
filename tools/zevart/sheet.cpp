#include "sheet.h"
#include "out_file.h"

#include <nlohmann/json.hpp>

#include <algorithm>
#include <cmath>

using json = nlohmann::ordered_json;

bool write_sheet(art_handle &art, uint32_t group, const RECT &rect, group_frames &frames,
                 const std::string &pngPath, const std::string &pngName,
                 const std::string &jsonPath, bool replace, const png_settings &settings,
                 std::string &err) {
    const uint32_t n = frames.count();
    uint32_t w = 0, h = 0;
    surface_fit(rect, 1, w, h);
    uint32_t cols = uint32_t(std::ceil(std::sqrt(double(n))));
    while (uint64_t(cols) * cols < n) ++cols; // whatever sqrt rounded to
    const uint32_t rows = (n + cols - 1) / cols;
    const uint64_t sheetW = uint64_t(cols) * w, sheetH = uint64_t(rows) * h;
    if (sheetW * sheetH > kMaxSurfaceBytes / 4) {
        err = "its sprite sheet (" + std::to_string(sheetW) + " x " + std::to_string(sheetH) +
              " pixels) exceeds the limit of " + std::to_string(kMaxSurfaceBytes >> 20) + " MiB";
        return false;
    }
    rgba_image sheet;
    sheet.width = uint32_t(sheetW);
    sheet.height = uint32_t(sheetH);
    sheet.px.assign(size_t(sheetW) * sheetH * 4, 0);

    const mem_group &g = art.groups[group];
    json cells = json::array();
    for (uint32_t i = 0; i < n; ++i) {
        const rgba_image &f = frames.frame(i);
        const uint32_t x = (i % cols) * w, y = (i / cols) * h;
        for (uint32_t r = 0; r < h; ++r)
            std::copy_n(f.px.data() + size_t(r) * w * 4, size_t(w) * 4,
                        sheet.px.data() + (size_t(y + r) * sheet.width + x) * 4);
        cells.push_back({{"index", i},
                         {"frame", uint32_t(g.frames - art.frames) + i},
                         {"x", x},
                         {"y", y},
                         {"w", w},
                         {"h", h}});
    }
    json index = {{"group", group},
                  {"image", pngName},
                  {"frameWidth", w},
                  {"frameHeight", h},
                  {"anchor", {{"x", -int64_t(rect.left)}, {"y", -int64_t(rect.top)}}},
                  {"delayMs", 150},
                  {"frames", cells}};
    std::string text = index.dump(2) + "\n";

    std::vector<uint8_t> png;
    out_file pngOut, jsonOut;
    if (!pngPath.empty()) {
        if (!png_encode(sheet, settings, png, err) || !pngOut.open(pngPath, err)) return false;
        pngOut.write(png.data(), png.size());
    }
    if (!jsonPath.empty()) {
        if (!jsonOut.open(jsonPath, err)) return false;
        jsonOut.write(text.data(), text.size());
    }
    return (pngPath.empty() || pngOut.commit(replace, err)) &&
           (jsonPath.empty() || jsonOut.commit(replace, err));
}
