// zevart dump: the whole structure of an art set as JSON. Every record with
// its fields, its draw rectangle and its links into the other tables, as
// indexes (a record's distance from the start of its table, as the viewer's
// tree shows them); a link that points nowhere is null.
#include "bmp_out.h"
#include "commands.h"
#include "out_file.h"

#include <nlohmann/json.hpp>

#include <cstdio>

using json = nlohmann::ordered_json;

namespace {

template <typename T> json index_in(const T *p, const T *table, uint32_t count) {
    if (!p || !table || p < table || p >= table + count) return nullptr;
    return uint32_t(p - table);
}

json rect_json(const RECT &r) {
    return {{"left", r.left}, {"top", r.top}, {"right", r.right}, {"bottom", r.bottom}};
}

std::string hex_colour(const RGBQUAD &c) {
    char text[8];
    std::snprintf(text, sizeof text, "#%02X%02X%02X", c.rgbRed, c.rgbGreen, c.rgbBlue);
    return text;
}

json palettes_json(const art_handle &art) {
    json all = json::array();
    for (uint32_t i = 0; i < art.paletteCount; ++i) {
        const mem_palette &p = art.palettes[i];
        json colours = json::array(), fourth = json::array();
        bool anyFourth = false;
        for (uint32_t c = 0; c < p.colorCount; ++c) {
            colours.push_back(hex_colour(p.colors[c]));
            fourth.push_back(p.colors[c].rgbReserved);
            anyFourth |= p.colors[c].rgbReserved != 0;
        }
        json entry = {{"index", i}, {"colorCount", p.colorCount}, {"colors", colours}};
        if (anyFourth) entry["fourthBytes"] = fourth;
        all.push_back(entry);
    }
    return all;
}

json images_json(const art_handle &art) {
    json all = json::array();
    for (uint32_t i = 0; i < art.imageCount; ++i) {
        mem_image &im = art.images[i];
        RECT r;
        im.getDrawRect(&r);
        const int16_t type = im.type;
        all.push_back(
            {{"index", i},
             {"rowBytes", int32_t(im.rowBytes)},
             {"height", int32_t(im.height)},
             {"width", int32_t(im.width)},
             {"type", type},
             {"bitsPerPixel", type == 4 || type == 5 ? 1 : 8},
             {"palette", index_in<mem_palette>(im.palette, art.palettes, art.paletteCount)},
             {"blockBytes", block_bytes(im)},
             {"rect", rect_json(r)}});
    }
    return all;
}

json pictures_json(const art_handle &art) {
    json all = json::array();
    for (uint32_t i = 0; i < art.picCount; ++i) {
        mem_pic &p = art.pics[i];
        RECT r;
        p.getDrawRect(&r);
        all.push_back({{"index", i},
                       {"x", p.x},
                       {"y", p.y},
                       {"image", index_in<mem_image>(p.image, art.images, art.imageCount)},
                       {"rect", rect_json(r)}});
    }
    return all;
}

json frames_json(const art_handle &art) {
    json all = json::array();
    for (uint32_t i = 0; i < art.frameCount; ++i) {
        mem_frame &f = art.frames[i];
        RECT r;
        f.getDrawRect(&r);
        const uint16_t picCount = f.picCount;
        all.push_back({{"index", i},
                       {"picCount", picCount},
                       {"firstPicture", index_in<mem_pic>(f.pics, art.pics, art.picCount)},
                       {"rect", rect_json(r)}});
    }
    return all;
}

json groups_json(const art_handle &art) {
    json all = json::array();
    for (uint32_t i = 0; i < art.groupCount; ++i) {
        mem_group &g = art.groups[i];
        RECT r;
        g.getDrawRect(&r);
        json header = json::array(), appendix = json::array();
        for (uint32_t w : g.header) header.push_back(w);
        for (uint32_t a = 0; a < g.appendixCount && a < 2; ++a)
            appendix.push_back(json::array({g.appendix[a].data[0], g.appendix[a].data[1],
                                            g.appendix[a].data[2], g.appendix[a].data[3]}));
        all.push_back(
            {{"index", i},
             {"header", header},
             {"frameCount", g.frameCount},
             {"firstFrame", index_in<mem_frame>(g.frames, art.frames, art.frameCount)},
             {"extInfo", index_in<mem_ext_info>(g.extInfo, art.extInfos, art.extInfoCount)},
             {"rect", rect_json(r)},
             {"appendixCount", g.appendixCount},
             {"appendix", appendix}});
    }
    return all;
}

json ext_infos_json(const art_handle &art) {
    json all = json::array();
    for (uint32_t i = 0; i < art.extInfoCount; ++i) {
        const uint8_t *d = art.extInfos[i].data;
        all.push_back({{"index", i}, {"data", {d[0], d[1], d[2], d[3]}}});
    }
    return all;
}

json dump_set(const art_handle &art, const dump_options &o) {
    return {{"format", "zevart-dump"},
            {"version", 1},
            {"files", {{"bmp", o.bmp}, {"prt", o.prt}}},
            {"counts",
             {{"palettes", art.paletteCount},
              {"images", art.imageCount},
              {"pictures", art.picCount},
              {"frames", art.frameCount},
              {"groups", art.groupCount},
              {"extInfos", art.extInfoCount}}},
            {"palettes", palettes_json(art)},
            {"images", images_json(art)},
            {"pictures", pictures_json(art)},
            {"frames", frames_json(art)},
            {"groups", groups_json(art)},
            {"extInfos", ext_infos_json(art)}};
}

} // namespace

int run_dump(const dump_options &o) {
    art_handle art;
    if (!load_or_explain(o.bmp.c_str(), o.prt.c_str(), art)) return EXIT_LOAD;
    if (!o.force && !writes_in_place(o.output) && path_taken(o.output)) {
        print_error(o.output + " exists (use --force to replace it)");
        return EXIT_EXISTS;
    }
    std::string text;
    try {
        // File names that are not UTF-8 get U+FFFD for their odd bytes.
        text =
            dump_set(art, o).dump(o.compact ? -1 : 2, ' ', false, json::error_handler_t::replace) +
            "\n";
    } catch (const std::exception &e) { // memory
        print_error(std::string("cannot make the JSON text: ") + e.what());
        return EXIT_SOME_FAILED;
    }
    out_file out;
    std::string err;
    if (out.open(o.output, err)) {
        out.write(text.data(), text.size());
        if (out.commit(o.force, err)) return EXIT_OK;
    }
    print_error(err);
    return out.target_existed() ? EXIT_EXISTS : EXIT_SOME_FAILED;
}
