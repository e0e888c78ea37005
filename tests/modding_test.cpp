// The modding round trip: unpack then pack gives the same bytes for every set
// the library loads; each kind of edit made in the folder reaches the set as
// the library loads and draws it; each kind of bad folder is refused with its
// message, and the command then writes nothing.
#include "cli_process.h"
#include "indexed_png.h"
#include "modding.h"
#include "sample_art.h"
#include "test_support.h"

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>
#include <png.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>

using json = nlohmann::ordered_json;
using testing_support::temp_dir;
typedef std::vector<uint8_t> bytes;

namespace {

typedef folder_map folder;

folder unpacked(const bytes &bmp, const bytes &prt) {
    std::vector<folder_file> files;
    std::string err;
    EXPECT_TRUE(unpack_set(bmp, prt, files, err)) << err;
    folder f;
    for (auto &file : files) f[file.path] = std::move(file.bytes);
    return f;
}

folder unpacked(const artgen::art_set &set) {
    return unpacked(artgen::write_bmp(set), artgen::write_prt(set));
}

bool pack(const folder &f, pack_result &r, std::string &err, bool remap = false) {
    pack_settings s;
    s.remapNearest = remap;
    return pack_map(f, s, r, err);
}

json manifest(const folder &f) {
    const bytes &b = f.at("set.json");
    return json::parse(b.begin(), b.end());
}

void set_manifest(folder &f, const json &m) {
    std::string t = m.dump(1);
    f["set.json"] = bytes(t.begin(), t.end());
}

using edit = std::function<void(folder &, json &)>;

// The set unpacked, edited in the folder (its set.json as `m`) and packed.
bool pack_edited(const artgen::art_set &set, const edit &change, pack_result &r, std::string &err,
                 bool remap = false) {
    folder f = unpacked(set);
    json m = manifest(f), before = m;
    change(f, m);
    if (m != before) set_manifest(f, m);
    return pack(f, r, err, remap);
}

bytes png_of(const indexed_picture &pic) {
    bytes out;
    std::string err;
    EXPECT_TRUE(png_encode_indexed(pic, png_settings{}, out, err)) << err;
    return out;
}

// An RGBA or RGB file, as a paint program saves a flattened picture.
bytes rgba_png(uint32_t w, uint32_t h, const std::vector<uint8_t> &rgba, bool alpha = true) {
    png_image img{};
    img.version = PNG_IMAGE_VERSION;
    img.width = w, img.height = h;
    img.format = alpha ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
    std::vector<uint8_t> px = rgba;
    if (!alpha) {
        px.clear();
        for (size_t i = 0; i < rgba.size(); i += 4) px.insert(px.end(), &rgba[i], &rgba[i + 3]);
    }
    png_alloc_size_t size = 0;
    png_image_write_to_memory(&img, nullptr, &size, 0, px.data(), 0, nullptr);
    bytes out(size);
    EXPECT_TRUE(png_image_write_to_memory(&img, out.data(), &size, 0, px.data(), 0, nullptr));
    out.resize(size);
    return out;
}

decoded_png decoded(const bytes &file) {
    decoded_png d;
    std::string err;
    EXPECT_TRUE(png_decode(file, d, err)) << err;
    return d;
}

struct loaded {
    art_handle h;
    explicit loaded(const pack_result &r) {
        EXPECT_EQ(testing_support::load_bytes(h, r.bmp, r.prt), ART_OK);
    }
};

// Damaged copies of the shapes set that still load: one byte set to a telling
// value at each position of the art-structure file.
std::vector<std::pair<bytes, bytes>> loadable_damaged_shapes() {
    const artgen::art_set shapes = artgen::make_shapes();
    const bytes prt = artgen::write_prt(shapes), bmp = artgen::write_bmp(shapes);
    std::vector<std::pair<bytes, bytes>> out;
    for (size_t at = 4; at < prt.size(); ++at)
        for (uint8_t v : {0x00, 0x01, 0x80, 0xFF}) {
            bytes damaged = prt;
            damaged[at] = v;
            art_handle h;
            if (damaged != prt && testing_support::load_bytes(h, bmp, damaged) == ART_OK)
                out.push_back({bmp, damaged});
        }
    return out;
}

TEST(Modding, UnpackThenPackGivesTheSameBytes) {
    std::vector<std::pair<std::string, std::pair<bytes, bytes>>> sets;
    for (auto &[name, set] :
         {std::pair{"sample", artgen::make_sample()}, std::pair{"shapes", artgen::make_shapes()},
          std::pair{"bulk", artgen::make_bulk(400, 1, 40, 7)}})
        sets.push_back({name, {artgen::write_bmp(set), artgen::write_prt(set)}});
    {
        // Blocks that overlap at odd offsets, a bitmap with bytes after the
        // last block and an odd pixel-data offset.
        artgen::art_set s = artgen::make_shapes();
        s.images[1].offset = 3;
        s.images[2].offset = 5;
        bytes bmp = artgen::write_bmp(s);
        bmp.insert(bmp.begin() + 1078, 7, 0xAB); // pixel data moved 7 bytes on
        bmp[10] = uint8_t(bmp[10] + 7);
        bmp.insert(bmp.end(), {1, 2, 3});
        sets.push_back({"overlapping", {bmp, artgen::write_prt(s)}});
    }
    for (auto &d : loadable_damaged_shapes()) sets.push_back({"damaged shapes", d});
    const std::string corrupt = testing_support::host_path(ZEVART_CORRUPT_DIR) + "/loader";
    for (auto &entry : std::filesystem::directory_iterator(corrupt)) {
        bytes in = artgen::load_file(entry.path().string());
        if (in.size() < 4) continue;
        size_t n =
            std::min<size_t>(in[0] | in[1] << 8 | in[2] << 16 | size_t(in[3]) << 24, in.size() - 4);
        bytes prt(in.begin() + 4, in.begin() + 4 + long(n)),
            bmp(in.begin() + 4 + long(n), in.end());
        art_handle h;
        if (testing_support::load_bytes(h, bmp, prt) == ART_OK)
            sets.push_back({entry.path().filename().string(), {bmp, prt}});
    }
    ASSERT_GT(sets.size(), 20u);
    for (auto &[name, files] : sets) {
        pack_result r;
        std::string err;
        ASSERT_TRUE(pack(unpacked(files.first, files.second), r, err)) << name << ": " << err;
        EXPECT_FALSE(r.laidOut) << name;
        EXPECT_TRUE(r.bmp == files.first) << name;
        EXPECT_TRUE(r.prt == files.second) << name;
    }
}

// One colour drawn by the library: the frame's pixel at (x, y) of its anchor.
RGBQUAD drawn(art_handle &h, unsigned frame, int x, int y) {
    std::vector<RGBQUAD> px(64 * 64, RGBQUAD{1, 2, 3, 4});
    BITMAPINFO info{};
    info.bmiHeader = {40, 64, -64, 1, 32, 0, 0, 0, 0, 0, 0};
    drawFrameDIB(px.data(), &info, 32, 32, &h, frame);
    return px[size_t(32 + y) * 64 + size_t(32 + x)];
}

struct edit_case {
    const char *what;
    edit change;
    std::function<void(art_handle &, const pack_result &)> expect;
    bool remap = false;
};

TEST(Modding, EditsReachTheLoadedSet) {
    // A small set: two palettes, a 3x2 image with row padding, a mask, one
    // group of one frame showing image 0 at (0, 0).
    artgen::art_set base;
    base.palettes.resize(2);
    for (int c = 0; c < 4; ++c) base.palettes[0].add(uint8_t(40 * c), 10, 20, uint8_t(c));
    base.palettes[1].add(0, 0, 0);
    base.palettes[1].add(200, 100, 50);
    base.images.push_back(artgen::image8(3, 2, 0, {1, 2, 3, 9, 3, 2, 1, 9}, 4));
    base.images.push_back(artgen::mask1(5, 1, {1, 0, 1, 0, 1}));
    base.groups.resize(1);
    base.groups[0].frames.resize(1);
    base.groups[0].frames[0].pics.resize(1);

    auto indexes = [](art_handle &h, unsigned i, int x, int y) {
        return h.images[i].pixels[y * h.images[i].rowBytes + x];
    };
    const edit_case cases[] = {
        {"a pixel changed in the indexed PNG",
         [](folder &f, json &) {
             decoded_png d = decoded(f["images/image-00000.png"]);
             indexed_picture pic{d.width, d.height, 8, d.px, d.palette};
             pic.px[1] = 3;
             f["images/image-00000.png"] = png_of(pic);
         },
         [&](art_handle &h, const pack_result &r) {
             EXPECT_FALSE(r.laidOut);
             EXPECT_EQ(indexes(h, 0, 1, 0), 3);
             EXPECT_EQ(indexes(h, 0, 3, 0), 9) << "row padding kept";
             RGBQUAD c = drawn(h, 0, 1, 0);
             EXPECT_EQ(c.rgbRed, 120);
         }},
        {"the image made larger",
         [](folder &f, json &) {
             indexed_picture pic{5,
                                 3,
                                 8,
                                 std::vector<uint8_t>(15, 2),
                                 {{0, 0, 0, 0}, {1, 1, 1, 255}, {2, 2, 2, 255}}};
             f["images/image-00000.png"] = png_of(pic);
         },
         [&](art_handle &h, const pack_result &r) {
             EXPECT_TRUE(r.laidOut);
             EXPECT_EQ(int(h.images[0].width), 5);
             EXPECT_EQ(int(h.images[0].height), 3);
             EXPECT_EQ(int(h.images[0].rowBytes), 5);
             EXPECT_EQ(indexes(h, 0, 4, 2), 2);
             EXPECT_EQ(h.images[1].pixels[0], 0xA8) << "the next block moved, unchanged";
         }},
        {"an image, a picture, a frame and a group added; groups reordered",
         [](folder &f, json &m) {
             f["new.png"] = rgba_png(2, 1, {200, 100, 50, 255, 0, 0, 0, 0});
             m["images"].push_back({{"file", "new.png"}, {"palette", 1}});
             m["groups"][0]["frames"][0]["pictures"].push_back({{"image", 2}, {"x", -4}, {"y", 7}});
             m["groups"][0]["frames"].push_back({{"pictures", json::array()}});
             json g = json::object(), frame = json::object(), pic = json::object();
             pic["image"] = 1;
             frame["pictures"] = json::array({pic});
             g["header"] = {1, 2, 3, 4, 5, 6, 7, 8};
             g["frames"] = json::array({frame});
             m["groups"].insert(m["groups"].begin(), g);
         },
         [&](art_handle &h, const pack_result &) {
             ASSERT_EQ(h.imageCount, 3u);
             EXPECT_EQ(int(h.images[2].width), 2);
             EXPECT_EQ(h.images[2].pixels[0], 1);
             EXPECT_EQ(h.images[2].pixels[1], 0);
             ASSERT_EQ(h.groupCount, 2u);
             EXPECT_EQ(h.groups[0].header[7], 8u);
             EXPECT_EQ(h.groups[0].frames[0].pics[0].image, &h.images[1]);
             ASSERT_EQ(h.groups[1].frameCount, 2u);
             ASSERT_EQ(int(h.groups[1].frames[0].picCount), 2);
             EXPECT_EQ(h.groups[1].frames[0].pics[1].image, &h.images[2]);
             EXPECT_EQ(h.groups[1].frames[0].pics[1].y, 7);
             RGBQUAD c = drawn(h, 1, -4, 7);
             EXPECT_EQ(c.rgbRed, 200);
         }},
        {"an image and the group removed, pictures' order swapped",
         [](folder &, json &m) {
             m["images"].erase(1);
             m["images"].push_back(m["images"][0]);
             m["groups"][0]["frames"][0]["pictures"] = {{{"image", 1}, {"x", 2}}, {{"image", 0}}};
         },
         [&](art_handle &h, const pack_result &) {
             EXPECT_EQ(h.imageCount, 2u);
             EXPECT_EQ(+h.images[0].pixels, +h.images[1].pixels) << "equal blocks shared";
             EXPECT_EQ(h.frames[0].pics[0].x, 2);
             EXPECT_EQ(h.frames[0].pics[0].image, &h.images[1]);
         }},
        {"palette colours changed in set.json and in the palette file",
         [](folder &f, json &m) {
             m["palettes"][1].erase("file");
             m["palettes"][1]["colors"] = {"#000000", "#0a0b0c7f"};
             std::string gpl(f["palettes/palette-000.gpl"].begin(),
                             f["palettes/palette-000.gpl"].end());
             gpl.replace(gpl.find(" 40  10  20"), 11, "255 254 253");
             f["palettes/palette-000.gpl"] = bytes(gpl.begin(), gpl.end());
         },
         [&](art_handle &h, const pack_result &) {
             EXPECT_EQ(h.palettes[1].colors[1].rgbRed, 10);
             EXPECT_EQ(h.palettes[1].colors[1].rgbBlue, 12);
             EXPECT_EQ(h.palettes[1].colors[1].rgbReserved, 0x7F);
             EXPECT_EQ(h.palettes[0].colors[1].rgbRed, 255);
             EXPECT_EQ(h.palettes[0].colors[1].rgbReserved, 1) << "fourth byte kept";
             EXPECT_EQ(drawn(h, 0, 0, 0).rgbGreen, 254);
         }},
        {"RGB and RGBA saves of the images, colours all in the palette",
         [](folder &f, json &) {
             f["images/image-00000.png"] =
                 rgba_png(3, 2, {40,  10, 20, 255, 80, 10, 20, 255, 120, 10, 20, 255,
                                 120, 10, 20, 255, 80, 10, 20, 255, 40,  10, 20, 0});
             f["images/image-00001.png"] = rgba_png(
                 5, 1, {0, 0, 0, 255, 9, 9, 9, 0, 0, 0, 0, 128, 0, 0, 0, 0, 0, 0, 0, 255}, true);
         },
         [&](art_handle &h, const pack_result &) {
             EXPECT_EQ(indexes(h, 0, 2, 0), 3);
             EXPECT_EQ(indexes(h, 0, 2, 1), 0) << "transparent is 0";
             EXPECT_EQ(h.images[1].pixels[0], 0xA8);
         }},
        {"an RGB save with colours off the palette, remapped",
         [](folder &f, json &) {
             f["images/image-00000.png"] =
                 rgba_png(3, 2, {41, 10, 20, 255, 80, 10, 20, 255, 119, 12, 20, 255,
                                 0,  0,  0,  255, 80, 10, 20, 255, 40,  10, 20, 255},
                          false);
         },
         [&](art_handle &h, const pack_result &r) {
             EXPECT_EQ(r.remapped, 3u);
             EXPECT_EQ(indexes(h, 0, 0, 0), 1);
             EXPECT_EQ(indexes(h, 0, 2, 0), 3);
             EXPECT_EQ(indexes(h, 0, 0, 1), 1);
         },
         true},
    };
    for (const edit_case &c : cases) {
        pack_result r;
        std::string err;
        ASSERT_TRUE(pack_edited(base, c.change, r, err, c.remap)) << c.what << ": " << err;
        loaded l(r);
        SCOPED_TRACE(c.what);
        c.expect(l.h, r);
    }
}

TEST(Modding, ANewSetFromAHandWrittenManifest) {
    folder f;
    set_manifest(f, json::parse(R"({"format": "zevart-set", "version": 1,
        "palettes": [{"colors": ["#000000", "#ff0000", "#00ff00"]}],
        "images": [{"file": "a.png"}, {"file": "shadow.png", "type": 4}],
        "groups": [{"frames": [{"pictures": [{"image": 1, "x": 1, "y": 1}, {"image": 0}]}]}]})"));
    f["a.png"] = rgba_png(2, 2, {255, 0, 0, 255, 0, 255, 0, 255, 0, 0, 0, 0, 255, 0, 0, 255});
    f["shadow.png"] =
        png_of({40, 2, 1, std::vector<uint8_t>(80, 1), {{0, 0, 0, 0}, {0, 0, 0, 128}}});
    pack_result r;
    std::string err;
    ASSERT_TRUE(pack(f, r, err)) << err;
    loaded l(r);
    EXPECT_EQ(l.h.images[0].pixels[1], 2);
    EXPECT_EQ(int(l.h.images[1].width), 40);
    EXPECT_EQ(drawn(l.h, 0, 0, 0).rgbRed, 255) << "picture 0 is drawn over the shadow";
    EXPECT_EQ(drawn(l.h, 0, 5, 1).rgbRed, 3 / 2) << "shadow halves what lies beneath";
}

TEST(Modding, BadFoldersAreRefusedWithTheirReason) {
    const struct {
        const char *message;
        edit damage;
    } cases[] = {
        {"set.json: not valid JSON",
         [](folder &f, json &) { f["set.json"].pop_back(), f["set.json"].pop_back(); }},
        {"\"format\" is not \"zevart-set\"", [](folder &, json &m) { m["format"] = "x"; }},
        {"version 2", [](folder &, json &m) { m["version"] = 2; }},
        {"set.json: groups[0].frames[1].pictures[0].image: 9 is past the image table (2 images)",
         [](folder &, json &m) { m["groups"][0]["frames"][1]["pictures"][0]["image"] = 9; }},
        {"set.json: images[1].palette: 3 is past the palette table",
         [](folder &, json &m) { m["images"][1]["palette"] = 3; }},
        {"set.json: groups[0].frames[0].pictures[0].x: 40000 does not fit (-32768 to 32767)",
         [](folder &, json &m) { m["groups"][0]["frames"][0]["pictures"][0]["x"] = 40000; }},
        {"a frame holds at most 127",
         [](folder &, json &m) {
             m["groups"][0]["frames"][0]["pictures"] = json(std::vector<json>(128, {{"image", 0}}));
         }},
        {"set.json: groups[0].appendix: at most 2 entries",
         [](folder &, json &m) {
             m["groups"][0]["appendix"] = {{1, 2, 3, 4}, {1, 2, 3, 4}, {1, 2, 3, 4}};
         }},
        {".slot: 0 is taken",
         [](folder &, json &m) {
             m["groups"][0]["frames"][0]["pictures"].push_back({{"image", 0}, {"slot", 0}});
         }},
        {"images/image-00000.png: cannot read: No such file",
         [](folder &f, json &) { f.erase("images/image-00000.png"); }},
        {"images/image-00000.png: not a PNG file",
         [](folder &f, json &) {
             f["images/image-00000.png"] = {1, 2, 3};
         }},
        {"images/image-00000.png: 2 pixels with colours not in palette 0, first at 0,0 #fe0000, "
         "1,1 #010203; "
         "paint with the palette's colours, or pack with --remap nearest",
         [](folder &f, json &) {
             f["images/image-00000.png"] =
                 rgba_png(2, 2, {254, 0, 0, 255, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3, 9});
         }},
        {"images/image-00001.png: index 2 at 1,0 in a 1-bit mask",
         [](folder &f, json &) {
             f["images/image-00001.png"] =
                 png_of({2, 1, 8, {1, 2}, {{0, 0, 0, 0}, {0, 0, 0, 255}, {1, 1, 1, 255}}});
         }},
        {"'../outside.png' is not a file name inside the folder",
         [](folder &, json &m) { m["images"][0]["file"] = "../outside.png"; }},
        {"palettes/palette-000.gpl: line 7: expected three numbers from 0 to 255",
         [](folder &f, json &) {
             const std::string line = "300 1 1\tbright\n";
             f["palettes/palette-000.gpl"].insert(f["palettes/palette-000.gpl"].end(), line.begin(),
                                                  line.end());
         }},
        {"palettes/palette-000.gpl: line 6: x= needs two hex digits",
         [](folder &f, json &) {
             auto &g = f["palettes/palette-000.gpl"];
             g.erase(g.end() - 3, g.end()); // "x=00\n" loses its digits, a NUL follows
             g.push_back(0);
         }},
        {"set.json: images[0]: a block of -1 row bytes",
         [](folder &, json &m) {
             m["images"][0]["rowBytes"] = -1;
             m["images"][0].erase("file");
         }},
        {"does not load (loader code 3)",
         [](folder &, json &m) {
             m["spare"] = {{"frames", 2000000}}; // past the loader's limit of spare entries
         }},
    };
    artgen::art_set set;
    set.palettes.resize(1);
    set.palettes[0].add(0, 0, 0);
    set.palettes[0].add(255, 0, 0);
    set.images.push_back(artgen::image8(2, 2, 0, {1, 0, 0, 1}));
    set.images.push_back(artgen::mask1(2, 1, {1, 0}));
    set.groups.resize(1);
    set.groups[0].frames.resize(2);
    set.groups[0].frames[0].pics.resize(1);
    set.groups[0].frames[1].pics.resize(1);
    for (const auto &c : cases) {
        pack_result r;
        std::string err;
        EXPECT_FALSE(pack_edited(set, c.damage, r, err)) << c.message;
        EXPECT_NE(err.find(c.message), std::string::npos) << "got: " << err;
        EXPECT_TRUE(r.bmp.empty() && r.prt.empty());
    }
}

// The commands on disk: the sample round trip, --check, and files left alone.
TEST(Modding, CommandsWriteWholeOrNothing) {
    temp_dir dir;
    const std::string sample = testing_support::sample_dir();
    auto zevart = [&](std::vector<std::string> args) {
        return run_program(ZEVART_CLI, args, dir.path()).status;
    };
    const std::string bmp = sample + "/zev_art.bmp", prt = sample + "/zev_art.prt";
    const std::string out = dir.file("set");
    ASSERT_EQ(zevart({"unpack", bmp, prt, out}), 0);
    EXPECT_EQ(zevart({"unpack", bmp, prt, out}), 4) << "files exist";
    ASSERT_EQ(zevart({"pack", out, dir.file("a.bmp"), dir.file("a.prt")}), 0);
    EXPECT_EQ(artgen::load_file(dir.file("a.bmp")), artgen::load_file(bmp));
    EXPECT_EQ(artgen::load_file(dir.file("a.prt")), artgen::load_file(prt));
    EXPECT_EQ(zevart({"pack", "--check", out}), 0);
    EXPECT_EQ(zevart({"pack", out, dir.file("a.bmp"), dir.file("b.prt")}), 4);
    EXPECT_FALSE(std::filesystem::exists(dir.file("b.prt"))) << "neither file when one exists";

    std::filesystem::remove(out + "/images/image-00003.png");
    EXPECT_EQ(zevart({"pack", "--check", out}), 2);
    EXPECT_EQ(zevart({"pack", "--force", out, dir.file("a.bmp"), dir.file("c.prt")}), 2);
    EXPECT_FALSE(std::filesystem::exists(dir.file("c.prt")));
    EXPECT_EQ(artgen::load_file(dir.file("a.bmp")), artgen::load_file(bmp)) << "old file kept";
    size_t files = 0;
    for (auto &e : std::filesystem::directory_iterator(dir.path())) files += e.is_regular_file();
    EXPECT_EQ(files, 2u + 2u) << "a.bmp, a.prt and the two stream files; no temporary left";
}

} // namespace
