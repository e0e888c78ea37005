// The zevart program, run as a user runs it. Its files are decoded again with
// the same libraries and compared with what the library draws for every
// object; its JSON is read back and compared with the loaded records; bad
// input must give the documented exit status and leave no file behind.
#include "cli_process.h"
#include "sample_art.h"
#include "test_support.h"
#ifdef ZEVART_TEST_IMAGE_FORMATS
#include "image_decode.h"
#endif

#include <gtest/gtest.h>
#include <nlohmann/json.hpp>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <map>

using testing_support::temp_dir;
using json = nlohmann::json;
namespace fs = std::filesystem;

namespace {

enum { OK = 0, USAGE = 1, LOAD = 2, SOME_FAILED = 3, EXISTS = 4 };

std::string to_native(std::string path) {
#ifdef _WIN32
    if (!path.empty() && path[0] == '/') path = "Z:" + path; // Wine's view of the Unix root
#endif
    return path;
}

// Runs zevart; stdout and stderr are caught in a scratch folder of its own.
run_result zevart(const std::vector<std::string> &args) {
    static temp_dir scratch;
    return run_program(to_native(ZEVART_CLI), args, scratch.path());
}

std::string describe(const run_result &r) {
    return "exit " + std::to_string(r.status) + "\nstdout: " + r.out + "\nstderr: " + r.err;
}

struct art_set_files {
    std::string bmp, prt;
};

art_set_files sample_set() {
    std::string dir = testing_support::sample_dir();
    return {dir + "/zev_art.bmp", dir + "/zev_art.prt"};
}

std::vector<uint8_t> read_file(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in),
                                std::istreambuf_iterator<char>());
}

std::vector<std::string> folder(const std::string &dir) {
    std::vector<std::string> names;
    std::error_code ec;
    for (const auto &e : fs::directory_iterator(dir, ec))
        names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

bool has_temp_files(const std::string &dir) {
    for (const std::string &n : folder(dir))
        if (n.size() > 4 && n.compare(n.size() - 4, 4, ".tmp") == 0) return true;
    return false;
}

std::string numbered(const char *kind, uint32_t i, int digits, const char *ext) {
    char text[64];
    std::snprintf(text, sizeof text, "%s-%0*u%s", kind, digits, i, ext);
    return text;
}

// A set with the odd records real files can hold: frames and pictures that no
// group reaches, a frame without pictures, an image of negative height,
// colours with a fourth byte, a type-5 mask and a group with two appendix
// entries.
artgen::art_set odd_set() {
    artgen::art_set set;
    artgen::palette p;
    p.add(255, 0, 255);
    p.add(10, 20, 30, 7);
    p.add(200, 100, 50);
    set.palettes.push_back(p);
    set.images.push_back(artgen::image8(3, 3, 0, {0, 1, 2, 0, 2, 2, 0, 1, 0, 1, 1, 2}, 4));
    artgen::image mask = artgen::mask1(33, 2, std::vector<uint8_t>(66, 1));
    mask.type = 5;
    set.images.push_back(mask);
    artgen::image flipped = artgen::image8(3, 2, 0, {1, 1, 1, 0, 2, 2, 2, 0}, 4);
    flipped.height = -2;
    set.images.push_back(flipped);

    artgen::group g;
    g.header = {1, 2, 3, 4, 5, 6, 7, 0xFFFFFFFF};
    artgen::frame f0;
    artgen::picture a, b;
    a.image = 0, a.slot = 1, a.x = -1, a.y = -2;
    b.image = 1, b.slot = 0, b.x = 3, b.y = 4;
    f0.pics = {a, b};
    f0.ext1 = std::array<uint8_t, 2>{0xA1, 0xA2};
    artgen::frame f1; // no pictures
    f1.ext2 = std::array<uint8_t, 2>{0xB3, 0xB4};
    g.frames = {f0, f1};
    g.appendix = {{1, 2, 3, 4}, {0xDEADBEEF, 0, 0x7FFFFFFF, 0x80000000}};
    set.groups.push_back(g);

    artgen::group g2;
    artgen::frame f2;
    artgen::picture c;
    c.image = 2, c.x = 5, c.y = 5;
    f2.pics = {c};
    g2.frames = {f2};
    set.groups.push_back(g2);

    set.frameCountField = set.frame_count() + 2;
    set.picCountField = set.picture_count() + 1;
    set.extInfoCountField = set.ext_info_count() + 1;
    return set;
}

art_set_files save(const temp_dir &dir, const artgen::art_set &set) {
    testing_support::art_files f = testing_support::save_set(dir, set);
    return {f.bmp, f.prt};
}

// ---------------------------------------------------------------------------
// Command line conventions

TEST(CliUsage, HelpVersionAndBadCommandLines) {
    for (const char *command : {"info", "dump", "export", "render"}) {
        run_result r = zevart({command, "--help"});
        EXPECT_EQ(r.status, OK) << command << ": " << describe(r);
        EXPECT_EQ(r.out.rfind(std::string("usage: zevart ") + command, 0), 0u) << command;
    }
    run_result v = zevart({"--version"});
    EXPECT_EQ(v.status, OK);
    EXPECT_EQ(v.out.rfind("zevart 2.", 0), 0u) << v.out;

    const art_set_files s = sample_set();
    const std::vector<std::vector<std::string>> bad = {
        {},
        {"frobnicate"},
        {"info", s.bmp},
        {"info", "--colour", s.bmp, s.prt},
        {"export", "--kind", "sprite", s.bmp, s.prt, "out"},
        {"export", "--index", "3", s.bmp, s.prt, "out"},
        {"export", "--kind", "image", "--index", "3x", s.bmp, s.prt, "out"},
        {"export", "--kind", "frame", "--format", "bmp8", s.bmp, s.prt, "out"},
        {"export", "--format", "tiff", s.bmp, s.prt, "out"},
        {"export", "--level", "10", s.bmp, s.prt, "out"},
        {"render", s.bmp, s.prt, "image", "0"},
        {"render", s.bmp, s.prt, "image", "-1", "-o", "x.bmp"},
        {"render", s.bmp, s.prt, "image", "0", "-o", "x.tga"},
        {"render", s.bmp, s.prt, "image", "0", "--frame", "1", "-o", "x.bmp"},
        {"render", s.bmp, s.prt, "group", "0", "-o", "x.bmp"},
        {"render", s.bmp, s.prt, "image", "0", "--background", "transparent", "-o", "x.bmp"},
        {"render", s.bmp, s.prt, "image", "0", "--scale", "0", "-o", "x.bmp"},
    };
    for (const auto &args : bad) {
        std::string line;
        for (const auto &a : args) line += a + " ";
        run_result r = zevart(args);
        EXPECT_EQ(r.status, USAGE) << line << "\n" << describe(r);
        EXPECT_FALSE(r.err.empty()) << line;
    }
}

TEST(CliUsage, InfoShowsTheTables) {
    const art_set_files s = sample_set();
    run_result r = zevart({"info", s.bmp, s.prt});
    ASSERT_EQ(r.status, OK) << describe(r);
    for (const char *line : {"palettes   3: 2 of 256 colours, 1 of 16 colours", "images     39",
                             "type 4   2 images, 1-bit shadow", "pictures   59", "frames     27",
                             "groups     5, 1..10 frames each, 27 in all", "group 0    8 frames"})
        EXPECT_NE(r.out.find(line), std::string::npos) << "missing \"" << line << "\"\n" << r.out;
}

// ---------------------------------------------------------------------------
// Art sets that cannot be loaded: status 2, the loader's code, the file named

TEST(CliLoad, FailuresNameTheFileAndTheLoaderCode) {
    temp_dir dir;
    const art_set_files good = save(dir, artgen::make_sample());
    std::vector<uint8_t> prt = read_file(good.prt);

    auto write = [&](const std::string &name, const std::vector<uint8_t> &bytes) {
        std::string path = dir.file(name);
        artgen::save_file(path, bytes);
        return path;
    };
    std::vector<uint8_t> notCpal = prt;
    notCpal[0] = 'X';
    std::vector<uint8_t> truncated(prt.begin(), prt.end() - 10); // inside the last group
    artgen::art_set shortPalette = artgen::make_sample();
    shortPalette.palettes[2].sizeField = 100000;
    shortPalette.images.clear();
    shortPalette.groups.clear();
    std::vector<uint8_t> bmp = read_file(good.bmp);
    std::vector<uint8_t> shortBmp(bmp.begin(), bmp.begin() + 2000);

    struct failure {
        const char *what;
        std::string bmp, prt;
        int code;
        std::string named;
    };
    const std::string missing = dir.file("missing.prt");
    const failure cases[] = {
        {"no art-structure file", good.bmp, missing, 1, missing},
        {"not CPAL", good.bmp, write("x.prt", notCpal), 1, "CPAL"},
        {"short palette", good.bmp, write("p.prt", artgen::write_prt(shortPalette)), 2, "p.prt"},
        {"truncated", good.bmp, write("t.prt", truncated), 3, "t.prt"},
        {"no bitmap file", dir.file("missing.bmp"), good.prt, 4, dir.file("missing.bmp")},
        {"short bitmap file", write("s.bmp", shortBmp), good.prt, 4, "s.bmp"},
    };
    for (const failure &f : cases) {
        for (const char *command : {"info", "dump", "export", "render"}) {
            std::vector<std::string> args = {command, f.bmp, f.prt};
            const std::string out = dir.file(std::string("out-") + command);
            if (std::string(command) == "export") args.push_back(out);
            if (std::string(command) == "render")
                args.insert(args.end(), {"image", "0", "-o", out + ".bmp"});
            run_result r = zevart(args);
            EXPECT_EQ(r.status, LOAD) << f.what << ", " << command << "\n" << describe(r);
            EXPECT_NE(r.err.find("loader code " + std::to_string(f.code)), std::string::npos)
                << f.what << ": " << r.err;
            EXPECT_NE(r.err.find(f.named), std::string::npos) << f.what << ": " << r.err;
            EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << "one line: " << r.err;
            EXPECT_TRUE(r.out.empty()) << f.what;
            EXPECT_FALSE(fs::exists(out)) << f.what << ": " << command << " made its output";
            EXPECT_FALSE(fs::exists(out + ".bmp")) << f.what;
        }
    }
}

// ---------------------------------------------------------------------------
// dump: the JSON read back equals the loaded records

void expect_rect(const json &j, const RECT &r, const std::string &what) {
    EXPECT_EQ(j.at("left").get<int64_t>(), r.left) << what;
    EXPECT_EQ(j.at("top").get<int64_t>(), r.top) << what;
    EXPECT_EQ(j.at("right").get<int64_t>(), r.right) << what;
    EXPECT_EQ(j.at("bottom").get<int64_t>(), r.bottom) << what;
}

template <typename T> json index_or_null(const T *p, const T *table) {
    return p ? json(uint32_t(p - table)) : json(nullptr);
}

void expect_dump_matches(const art_set_files &files, const std::string &text) {
    art_handle art;
    ASSERT_EQ(LoadArtFromFile(files.bmp.c_str(), files.prt.c_str(), &art), ART_OK);
    json d = json::parse(text);
    EXPECT_EQ(d["counts"]["images"], art.imageCount);
    EXPECT_EQ(d["counts"]["extInfos"], art.extInfoCount);
    ASSERT_EQ(d["palettes"].size(), art.paletteCount);
    ASSERT_EQ(d["images"].size(), art.imageCount);
    ASSERT_EQ(d["pictures"].size(), art.picCount);
    ASSERT_EQ(d["frames"].size(), art.frameCount);
    ASSERT_EQ(d["groups"].size(), art.groupCount);
    ASSERT_EQ(d["extInfos"].size(), art.extInfoCount);

    for (uint32_t i = 0; i < art.paletteCount; ++i) {
        const json &p = d["palettes"][i];
        const mem_palette &m = art.palettes[i];
        ASSERT_EQ(p["colors"].size(), m.colorCount) << "palette " << i;
        bool anyFourth = false;
        for (uint32_t c = 0; c < m.colorCount; ++c) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "#%02X%02X%02X", m.colors[c].rgbRed,
                          m.colors[c].rgbGreen, m.colors[c].rgbBlue);
            EXPECT_EQ(p["colors"][c], hex) << "palette " << i << " colour " << c;
            anyFourth |= m.colors[c].rgbReserved != 0;
            if (p.contains("fourthBytes")) {
                EXPECT_EQ(p["fourthBytes"][c], m.colors[c].rgbReserved) << "palette " << i;
            }
        }
        EXPECT_EQ(p.contains("fourthBytes"), anyFourth) << "palette " << i;
    }
    for (uint32_t i = 0; i < art.imageCount; ++i) {
        const json &j = d["images"][i];
        mem_image &m = art.images[i];
        const int32_t rowBytes = m.rowBytes, height = m.height, width = m.width;
        const int16_t type = m.type;
        const std::string what = "image " + std::to_string(i);
        EXPECT_EQ(j["index"], i) << what;
        EXPECT_EQ(j["rowBytes"], rowBytes) << what;
        EXPECT_EQ(j["height"], height) << what;
        EXPECT_EQ(j["width"], width) << what;
        EXPECT_EQ(j["type"], type) << what;
        EXPECT_EQ(j["palette"], index_or_null<mem_palette>(m.palette, art.palettes)) << what;
        const int64_t rows = std::abs(int64_t(height));
        const int64_t block =
            type == 4 || type == 5 ? rows * ((width + 31) / 32) * 4 : rows * rowBytes;
        EXPECT_EQ(j["blockBytes"], block) << what;
        RECT r;
        m.getDrawRect(&r);
        expect_rect(j["rect"], r, what);
    }
    for (uint32_t i = 0; i < art.picCount; ++i) {
        const json &j = d["pictures"][i];
        mem_pic &m = art.pics[i];
        const std::string what = "picture " + std::to_string(i);
        EXPECT_EQ(j["x"], m.x) << what;
        EXPECT_EQ(j["y"], m.y) << what;
        EXPECT_EQ(j["image"], index_or_null<mem_image>(m.image, art.images)) << what;
        RECT r;
        m.getDrawRect(&r);
        expect_rect(j["rect"], r, what);
    }
    for (uint32_t i = 0; i < art.frameCount; ++i) {
        const json &j = d["frames"][i];
        mem_frame &m = art.frames[i];
        const uint16_t picCount = m.picCount;
        mem_pic *pics = m.pics;
        const std::string what = "frame " + std::to_string(i);
        EXPECT_EQ(j["picCount"], picCount) << what;
        EXPECT_EQ(j["firstPicture"], index_or_null<mem_pic>(pics, art.pics)) << what;
        RECT r;
        m.getDrawRect(&r);
        expect_rect(j["rect"], r, what);
    }
    for (uint32_t i = 0; i < art.groupCount; ++i) {
        const json &j = d["groups"][i];
        mem_group &m = art.groups[i];
        const std::string what = "group " + std::to_string(i);
        for (int w = 0; w < 8; ++w) EXPECT_EQ(j["header"][w], m.header[w]) << what;
        EXPECT_EQ(j["frameCount"], m.frameCount) << what;
        EXPECT_EQ(j["firstFrame"], index_or_null<mem_frame>(m.frames, art.frames)) << what;
        EXPECT_EQ(j["extInfo"], index_or_null<mem_ext_info>(m.extInfo, art.extInfos)) << what;
        EXPECT_EQ(j["appendixCount"], m.appendixCount) << what;
        ASSERT_EQ(j["appendix"].size(), m.appendixCount) << what;
        for (uint32_t a = 0; a < m.appendixCount; ++a)
            for (int w = 0; w < 4; ++w)
                EXPECT_EQ(j["appendix"][a][w], m.appendix[a].data[w]) << what << " appendix " << a;
        RECT r;
        m.getDrawRect(&r);
        expect_rect(j["rect"], r, what);
    }
    for (uint32_t i = 0; i < art.extInfoCount; ++i)
        for (int b = 0; b < 4; ++b)
            EXPECT_EQ(d["extInfos"][i]["data"][b], art.extInfos[i].data[b]) << "ext info " << i;
}

TEST(CliDump, JsonEqualsTheLoadedRecords) {
    const art_set_files s = sample_set();
    run_result r = zevart({"dump", s.bmp, s.prt});
    ASSERT_EQ(r.status, OK) << describe(r);
    expect_dump_matches(s, r.out);

    temp_dir dir;
    const art_set_files odd = save(dir, odd_set());
    r = zevart({"dump", "--compact", odd.bmp, odd.prt});
    ASSERT_EQ(r.status, OK) << describe(r);
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1) << "compact is one line";
    expect_dump_matches(odd, r.out);
    json d = json::parse(r.out);
    EXPECT_TRUE(d["frames"].back()["firstPicture"].is_null()) << "a frame no group reaches";
    EXPECT_TRUE(d["pictures"].back()["image"].is_null()) << "a picture no frame fills";
}

TEST(CliDump, OutputFileIsNotReplacedWithoutForce) {
    const art_set_files s = sample_set();
    temp_dir dir;
    const std::string out = dir.file("set.json");
    artgen::save_file(out, {'o', 'l', 'd'});
    run_result r = zevart({"dump", "-o", out, s.bmp, s.prt});
    EXPECT_EQ(r.status, EXISTS) << describe(r);
    EXPECT_NE(r.err.find("--force"), std::string::npos) << r.err;
    EXPECT_EQ(read_file(out), std::vector<uint8_t>({'o', 'l', 'd'}));
    r = zevart({"dump", "-o", out, "--force", s.bmp, s.prt});
    ASSERT_EQ(r.status, OK) << describe(r);
    std::vector<uint8_t> text = read_file(out);
    expect_dump_matches(s, std::string(text.begin(), text.end()));
    EXPECT_EQ(folder(dir.path()), std::vector<std::string>{"set.json"});
}

// ---------------------------------------------------------------------------
// BMP formats: byte for byte the files the viewer's Save Object writes

// What the viewer draws: its surface (bottom-up, orange) for a rectangle.
struct viewer_surface {
    std::vector<RGBQUAD> px;
    BITMAPINFO info{};
    viewer_surface(const RECT &r)
        : px(size_t(r.right - r.left) * (r.bottom - r.top), {0, 0x7F, 0xFF, 0}) {
        info.bmiHeader.biSize = 40;
        info.bmiHeader.biWidth = r.right - r.left;
        info.bmiHeader.biHeight = r.bottom - r.top;
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
    }
};

uint32_t block_size(const mem_image &im) {
    const int32_t h = std::abs(int32_t(im.height)), w = im.width, rowBytes = im.rowBytes;
    return uint32_t(im.type == 4 || im.type == 5 ? h * ((w + 31) / 32) * 4 : h * rowBytes);
}

TEST(CliBmp, FilesAreTheViewersFiles) {
    const art_set_files s = sample_set();
    art_handle art;
    ASSERT_EQ(LoadArtFromFile(s.bmp.c_str(), s.prt.c_str(), &art), ART_OK);
    temp_dir ref;
    const std::pair<const char *, int> depths[] = {{"bmp32", 0}, {"bmp24", 24}, {"bmp16", 16}};
    for (auto [format, depth] : depths) {
        temp_dir out;
        run_result r = zevart({"export", "--format", format, s.bmp, s.prt, out.path()});
        ASSERT_EQ(r.status, OK) << format << "\n" << describe(r);
        size_t files = 0;
        auto check = [&](const std::string &name, viewer_surface &v, const std::string &what) {
            const std::string refPath = ref.file(name);
            ASSERT_TRUE(DIBitsToFile(refPath.c_str(), v.px.data(), &v.info, depth));
            EXPECT_TRUE(read_file(out.file(name)) == read_file(refPath)) << format << ": " << what;
            ++files;
        };
        for (uint32_t i = 0; i < art.imageCount; ++i) {
            RECT rc;
            art.images[i].getDrawRect(&rc);
            viewer_surface v(rc);
            v.info.bmiHeader.biSizeImage = block_size(art.images[i]);
            art.images[i].draw(v.px.data(), &v.info, -rc.left, -rc.top);
            check(numbered("image", i, 5, ".bmp"), v, "image " + std::to_string(i));
        }
        for (uint32_t i = 0; i < art.picCount; ++i) {
            RECT rc;
            art.pics[i].getDrawRect(&rc);
            viewer_surface v(rc);
            v.info.bmiHeader.biSizeImage = block_size(*art.pics[i].image);
            art.pics[i].draw(v.px.data(), &v.info, -rc.left, -rc.top);
            check(numbered("picture", i, 5, ".bmp"), v, "picture " + std::to_string(i));
        }
        for (uint32_t i = 0; i < art.frameCount; ++i) {
            RECT rc;
            art.frames[i].getDrawRect(&rc);
            viewer_surface v(rc);
            art.frames[i].draw(v.px.data(), &v.info, -rc.left, -rc.top);
            check(numbered("frame", i, 5, ".bmp"), v, "frame " + std::to_string(i));
        }
        for (uint32_t g = 0; g < art.groupCount; ++g) {
            RECT rc;
            art.groups[g].getDrawRect(&rc);
            for (uint32_t f = 0; f < art.groups[g].frameCount; ++f) {
                viewer_surface v(rc);
                art.groups[g].frames[f].draw(v.px.data(), &v.info, -rc.left, -rc.top);
                char name[64];
                std::snprintf(name, sizeof name, "group-%04u-%03u.bmp", g, f);
                check(name, v, "group " + std::to_string(g) + " frame " + std::to_string(f));
            }
        }
        EXPECT_EQ(folder(out.path()).size(), files) << format << ": exactly the objects' files";
    }

    // 8-bit: the image's own pixels with its palette, or white and black.
    temp_dir out;
    run_result r = zevart({"export", "--format", "bmp8", s.bmp, s.prt, out.path()});
    ASSERT_EQ(r.status, OK) << describe(r);
    const RGBQUAD whiteBlack[2] = {{255, 255, 255, 0}, {0, 0, 0, 0}};
    auto expect8 = [&](const mem_image &im, const std::string &name) {
        BITMAPINFO info{};
        BITMAPINFOHEADER &h = info.bmiHeader;
        const bool mask = im.type == 4 || im.type == 5;
        h.biSize = 40, h.biWidth = im.width, h.biHeight = -std::abs(int32_t(im.height));
        h.biPlanes = 1, h.biBitCount = mask ? 1 : 8, h.biSizeImage = block_size(im);
        h.biClrUsed = mask ? 2 : im.palette->colorCount;
        h.biClrImportant = mask ? 2 : 0;
        const std::string refPath = ref.file(name);
        DIBitsToFile8(refPath.c_str(), im.pixels, &info, mask ? whiteBlack : im.palette->colors);
        EXPECT_TRUE(read_file(out.file(name)) == read_file(refPath)) << "bmp8 " << name;
    };
    for (uint32_t i = 0; i < art.imageCount; ++i)
        expect8(art.images[i], numbered("image", i, 5, ".bmp"));
    for (uint32_t i = 0; i < art.picCount; ++i)
        expect8(*art.pics[i].image, numbered("picture", i, 5, ".bmp"));
    EXPECT_EQ(folder(out.path()).size(), art.imageCount + art.picCount) << "no frames, no groups";
}

// ---------------------------------------------------------------------------
// Existing files, indexes out of range, objects too large to draw

TEST(CliExport, ExistingFilesAreKeptAndNothingIsWritten) {
    const art_set_files s = sample_set();
    temp_dir out;
    const std::string kept = out.file("image-00007.bmp");
    artgen::save_file(kept, {'m', 'i', 'n', 'e'});

    run_result r =
        zevart({"export", "--format", "bmp32", "--kind", "image", s.bmp, s.prt, out.path()});
    EXPECT_EQ(r.status, EXISTS) << describe(r);
    EXPECT_NE(r.err.find("image-00007.bmp"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("nothing written"), std::string::npos) << r.err;
    EXPECT_EQ(read_file(kept), std::vector<uint8_t>({'m', 'i', 'n', 'e'}));
    EXPECT_EQ(folder(out.path()), std::vector<std::string>{"image-00007.bmp"})
        << "nothing is written when any file exists";

    r = zevart(
        {"export", "--format", "bmp32", "--kind", "image", "--force", s.bmp, s.prt, out.path()});
    EXPECT_EQ(r.status, OK) << describe(r);
    EXPECT_GT(read_file(kept).size(), 58u) << "replaced by the image";
    EXPECT_EQ(folder(out.path()).size(), 39u);

    const std::string file = out.file("one.bmp");
    artgen::save_file(file, {'m', 'i', 'n', 'e'});
    r = zevart({"render", s.bmp, s.prt, "image", "2", "-o", file});
    EXPECT_EQ(r.status, EXISTS) << describe(r);
    EXPECT_EQ(read_file(file), std::vector<uint8_t>({'m', 'i', 'n', 'e'}));
    r = zevart({"render", s.bmp, s.prt, "image", "2", "-o", file, "--force"});
    EXPECT_EQ(r.status, OK) << describe(r);
    EXPECT_FALSE(has_temp_files(out.path()));
}

TEST(CliExport, IndexOutOfRangeIsAnError) {
    const art_set_files s = sample_set();
    temp_dir out;
    const std::vector<std::vector<std::string>> cases = {
        {"export", "--kind", "image", "--index", "39", s.bmp, s.prt, out.path()},
        {"export", "--kind", "group", "--index", "5", s.bmp, s.prt, out.path()},
        {"export", "--kind", "picture", "--index", "4294967295", s.bmp, s.prt, out.path()},
        {"render", s.bmp, s.prt, "frame", "27", "-o", out.file("x.bmp")},
        {"render", s.bmp, s.prt, "group", "1", "--frame", "10", "-o", out.file("x.bmp")},
    };
    for (const auto &args : cases) {
        run_result r = zevart(args);
        EXPECT_EQ(r.status, USAGE) << args[0] << " " << args[2] << "\n" << describe(r);
        const bool named = r.err.find("there is no") != std::string::npos ||
                           r.err.find("has no frame") != std::string::npos;
        EXPECT_TRUE(named) << r.err;
        EXPECT_TRUE(folder(out.path()).empty()) << "nothing written";
    }
    run_result r = zevart({"export", "--kind", "image", "--index", "38", "--format", "bmp24", s.bmp,
                           s.prt, out.path()});
    EXPECT_EQ(r.status, OK) << describe(r);
    EXPECT_EQ(folder(out.path()), std::vector<std::string>{"image-00038.bmp"});
}

// One frame whose pictures lie 65 535 pixels apart: its surface would take
// 16 GiB. It is refused, the others are written, the status says so.
artgen::art_set huge_set() {
    artgen::art_set set;
    artgen::palette p;
    p.add(0, 0, 0);
    p.add(255, 255, 255);
    set.palettes.push_back(p);
    set.images.push_back(artgen::image8(160, 160, 0, std::vector<uint8_t>(160 * 160, 1)));
    artgen::group g;
    artgen::frame apart, corner;
    artgen::picture a, b;
    a.x = a.y = -32768;
    b.x = b.y = 32767;
    corner.pics = {b};
    b.slot = 1;
    apart.pics = {a, b};
    g.frames = {corner, apart};
    set.groups.push_back(g);
    return set;
}

TEST(CliExport, HugeDrawRectanglesAreRefusedAndTheRestIsWritten) {
    temp_dir dir, out;
    const art_set_files s = save(dir, huge_set());
    run_result r = zevart({"export", "--format", "bmp32", s.bmp, s.prt, out.path()});
    EXPECT_EQ(r.status, SOME_FAILED) << describe(r);
    EXPECT_NE(r.err.find("frame 1: its draw rectangle (65695 x 65695 pixels) exceeds"),
              std::string::npos)
        << r.err;
    EXPECT_NE(r.err.find("group 0:"), std::string::npos) << r.err;
    EXPECT_EQ(folder(out.path()),
              (std::vector<std::string>{"frame-00000.bmp", "image-00000.bmp", "picture-00000.bmp",
                                        "picture-00001.bmp", "picture-00002.bmp"}));

    r = zevart({"render", s.bmp, s.prt, "image", "0", "--scale", "64", "-o", out.file("big.bmp")});
    EXPECT_EQ(r.status, SOME_FAILED) << "10240 x 10240 is too large: " << describe(r);
    EXPECT_NE(r.err.find("scaled 64 times"), std::string::npos) << r.err;
    r = zevart({"render", s.bmp, s.prt, "frame", "1", "-o", out.file("huge.bmp")});
    EXPECT_EQ(r.status, SOME_FAILED) << describe(r);
    EXPECT_FALSE(fs::exists(out.file("huge.bmp")));
    EXPECT_FALSE(fs::exists(out.file("big.bmp")));
    EXPECT_FALSE(has_temp_files(out.path()));
}

TEST(CliExport, EmptyObjectsAreSkippedWithANote) {
    temp_dir dir, out;
    const art_set_files s = save(dir, odd_set());
    run_result r = zevart({"export", "--format", "bmp16", s.bmp, s.prt, out.path()});
    EXPECT_EQ(r.status, OK) << describe(r);
    // Image 2 has a negative height; pictures 2 (of image 2) and 3 (no frame fills
    // it), frames 1 (no pictures), 2 (picture 2 only), 3 and 4 (no group reaches
    // them) and group 1 (frame 2 only) cover nothing either.
    EXPECT_NE(r.err.find("skipped 8 object(s) with nothing to draw (empty draw rectangle): image "
                         "2, picture 2, picture 3, frame 1, frame 2, frame 3, frame 4, group 1\n"),
              std::string::npos)
        << r.err;
    for (const char *gone :
         {"image-00002.bmp", "frame-00001.bmp", "frame-00003.bmp", "picture-00003.bmp"})
        EXPECT_FALSE(fs::exists(out.file(gone))) << gone;
    EXPECT_TRUE(fs::exists(out.file("group-0000-001.bmp"))) << "an empty frame of a drawn group";
}

#ifdef ZEVART_TEST_IMAGE_FORMATS
// ---------------------------------------------------------------------------
// PNG, APNG, GIF: decoded again and compared with the library's drawing

// One picture the library draws: an object at (-left, -top) of its rectangle.
struct library_picture {
    std::string what;
    RECT rect;
    std::function<void(RGBQUAD *, BITMAPINFO *, int, int)> draw;

    uint32_t width() const { return uint32_t(rect.right - rect.left); }
    uint32_t height() const { return uint32_t(rect.bottom - rect.top); }

    // Top-down pixels of the picture drawn over `background`.
    std::vector<RGBQUAD> over(RGBQUAD background) const {
        std::vector<RGBQUAD> px(size_t(width()) * height(), background);
        BITMAPINFO info{};
        info.bmiHeader.biSize = 40;
        info.bmiHeader.biWidth = LONG(width());
        info.bmiHeader.biHeight = -LONG(height());
        info.bmiHeader.biPlanes = 1;
        info.bmiHeader.biBitCount = 32;
        draw(px.data(), &info, -rect.left, -rect.top);
        return px;
    }
};

std::vector<library_picture> stills(art_handle &art) {
    std::vector<library_picture> all;
    auto add = [&](std::string what, auto &record) {
        library_picture p{std::move(what), {}, nullptr};
        record.getDrawRect(&p.rect);
        auto *r = &record;
        p.draw = [r](RGBQUAD *px, BITMAPINFO *info, int x, int y) { r->draw(px, info, x, y); };
        if (p.rect.right > p.rect.left && p.rect.bottom > p.rect.top) all.push_back(p);
    };
    for (uint32_t i = 0; i < art.imageCount; ++i)
        add(numbered("image", i, 5, ".png"), art.images[i]);
    for (uint32_t i = 0; i < art.picCount; ++i) add(numbered("picture", i, 5, ".png"), art.pics[i]);
    for (uint32_t i = 0; i < art.frameCount; ++i)
        add(numbered("frame", i, 5, ".png"), art.frames[i]);
    return all;
}

// Frame f of group g in the group's rectangle, as the animation shows it.
library_picture group_frame(art_handle &art, uint32_t g, uint32_t f) {
    library_picture p{"group " + std::to_string(g) + " frame " + std::to_string(f), {}, nullptr};
    art.groups[g].getDrawRect(&p.rect);
    mem_frame *frame = &art.groups[g].frames[f];
    p.draw = [frame](RGBQUAD *px, BITMAPINFO *info, int x, int y) { frame->draw(px, info, x, y); };
    return p;
}

const RGBQUAD kBackgrounds[] = {
    {0, 0, 0, 0}, {255, 255, 255, 0}, {0, 0x7F, 0xFF, 0}, {90, 180, 37, 0}};

// An RGBA picture laid over any background must look as the library draws
// over that background (within rounding: the library halves, alpha blends);
// pixels the library draws opaque must be exact, untouched ones transparent.
void expect_same_as_library(const rgba_picture &png, const library_picture &ref) {
    ASSERT_EQ(png.width, ref.width()) << ref.what;
    ASSERT_EQ(png.height, ref.height()) << ref.what;
    const std::vector<RGBQUAD> black = ref.over(kBackgrounds[0]), white = ref.over(kBackgrounds[1]);
    size_t bad = 0;
    std::string first;
    auto fail = [&](uint32_t x, uint32_t y, const std::string &why) {
        if (bad++ == 0)
            first = "pixel (" + std::to_string(x) + ", " + std::to_string(y) + "): " + why;
    };
    for (const RGBQUAD &bg : kBackgrounds) {
        const std::vector<RGBQUAD> lib = ref.over(bg);
        for (uint32_t y = 0; y < png.height; ++y)
            for (uint32_t x = 0; x < png.width; ++x) {
                const uint8_t *p = png.at(x, y);
                const RGBQUAD &l = lib[size_t(y) * png.width + x];
                const int a = p[3];
                auto mix = [a](int c, int b) { return (c * a + b * (255 - a) + 127) / 255; };
                if (std::abs(mix(p[0], bg.rgbRed) - l.rgbRed) > 1 ||
                    std::abs(mix(p[1], bg.rgbGreen) - l.rgbGreen) > 1 ||
                    std::abs(mix(p[2], bg.rgbBlue) - l.rgbBlue) > 1)
                    fail(x, y,
                         "over background " + std::to_string(bg.rgbRed) + "," +
                             std::to_string(bg.rgbGreen) + "," + std::to_string(bg.rgbBlue) +
                             " differs from the library");
            }
    }
    for (uint32_t y = 0; y < png.height; ++y)
        for (uint32_t x = 0; x < png.width; ++x) {
            const uint8_t *p = png.at(x, y);
            const RGBQUAD &b = black[size_t(y) * png.width + x],
                          &w = white[size_t(y) * png.width + x];
            const bool opaque =
                b.rgbRed == w.rgbRed && b.rgbGreen == w.rgbGreen && b.rgbBlue == w.rgbBlue;
            if (opaque &&
                (p[3] != 255 || p[0] != b.rgbRed || p[1] != b.rgbGreen || p[2] != b.rgbBlue))
                fail(x, y, "opaque pixel not exact");
            if (b.rgbRed == 0 && w.rgbRed == 255 && p[3] != 0)
                fail(x, y, "untouched pixel not transparent");
        }
    EXPECT_EQ(bad, 0u) << ref.what << ": " << bad << " bad pixels; first " << first;
}

// A GIF frame: opaque pixels exact (when the table is exact), untouched
// pixels transparent, shadows either transparent or black.
void expect_gif_frame(const gif_frame &f, const library_picture &ref, bool exact) {
    ASSERT_EQ(f.width, ref.width()) << ref.what;
    ASSERT_EQ(f.height, ref.height()) << ref.what;
    const std::vector<RGBQUAD> black = ref.over(kBackgrounds[0]), white = ref.over(kBackgrounds[1]);
    size_t bad = 0, shadow = 0, shadowShown = 0;
    int worst = 0;
    for (size_t i = 0; i < black.size(); ++i) {
        const RGBQUAD &b = black[i], &w = white[i];
        const int index = f.indexes[i];
        const bool transparent = index == f.transparent;
        const uint32_t c = index < int(f.colours.size()) ? f.colours[index] : 0xFFFFFFFF;
        const int r = int(c >> 16 & 255), g = int(c >> 8 & 255), bl = int(c & 255);
        if (b.rgbRed == w.rgbRed && b.rgbGreen == w.rgbGreen && b.rgbBlue == w.rgbBlue) {
            const int err = std::max(
                {std::abs(r - b.rgbRed), std::abs(g - b.rgbGreen), std::abs(bl - b.rgbBlue)});
            worst = std::max(worst, err);
            bad += transparent || (exact && err != 0);
        } else if (b.rgbRed == 0 && w.rgbRed == 255) {
            bad += !transparent;
        } else {
            ++shadow;
            shadowShown += !transparent;
            bad += !transparent && c != 0;
        }
    }
    EXPECT_EQ(bad, 0u) << ref.what;
    if (!exact) {
        EXPECT_LE(worst, 40) << ref.what << ": quantized colours too far off";
    }
    if (shadow > 64) {
        EXPECT_GT(shadowShown, shadow / 4) << ref.what << ": shadows dithered, not dropped";
        EXPECT_LT(shadowShown, shadow) << ref.what;
    }
}

TEST(CliPng, EveryObjectIsTheLibrarysDrawing) {
    const art_set_files s = sample_set();
    art_handle art;
    ASSERT_EQ(LoadArtFromFile(s.bmp.c_str(), s.prt.c_str(), &art), ART_OK);
    temp_dir out;
    run_result r = zevart({"export", "--sheet", "--jobs", "2", s.bmp, s.prt, out.path()});
    ASSERT_EQ(r.status, OK) << describe(r);
    EXPECT_TRUE(r.err.empty()) << "quiet when not a terminal: " << r.err;

    std::vector<std::string> expected;
    for (const library_picture &p : stills(art)) {
        expected.push_back(p.what);
        rgba_picture png;
        std::string err;
        ASSERT_TRUE(decode_png(out.file(p.what), png, err)) << p.what << ": " << err;
        expect_same_as_library(png, p);
    }
    for (uint32_t g = 0; g < art.groupCount; ++g) {
        const std::string stem = numbered("group", g, 4, "");
        for (const char *ext : {".png", ".gif", "-sheet.png", "-sheet.json"})
            expected.push_back(stem + ext);
        const uint32_t frames = art.groups[g].frameCount;

        apng_file apng;
        std::string err;
        ASSERT_TRUE(decode_apng(out.file(stem + ".png"), apng, err)) << stem << ": " << err;
        EXPECT_EQ(apng.plays, 0u) << stem << " loops forever";
        ASSERT_EQ(apng.frames.size(), frames) << stem;
        rgba_picture still;
        ASSERT_TRUE(decode_png(out.file(stem + ".png"), still, err)) << stem << ": " << err;
        EXPECT_TRUE(still.px == apng.frames[0].picture.px)
            << stem << ": a PNG reader without APNG support shows frame 0";
        gif_file gif;
        ASSERT_TRUE(decode_gif(out.file(stem + ".gif"), gif, err)) << stem << ": " << err;
        EXPECT_TRUE(gif.loopsForever) << stem;
        ASSERT_EQ(gif.frames.size(), frames) << stem;
        rgba_picture sheet;
        ASSERT_TRUE(decode_png(out.file(stem + "-sheet.png"), sheet, err)) << stem << ": " << err;
        json index = json::parse(read_file(out.file(stem + "-sheet.json")));
        ASSERT_EQ(index["frames"].size(), frames) << stem;
        EXPECT_EQ(index["image"], stem + "-sheet.png");

        for (uint32_t f = 0; f < frames; ++f) {
            const library_picture ref = group_frame(art, g, f);
            const apng_frame &a = apng.frames[f];
            EXPECT_EQ(a.delayNum * 1000 / a.delayDen, 150) << ref.what;
            EXPECT_EQ(a.blend, 0) << ref.what << ": each frame replaces the canvas";
            expect_same_as_library(a.picture, ref);

            const gif_frame &gf = gif.frames[f];
            EXPECT_EQ(gf.delayCs, 15) << ref.what;
            EXPECT_EQ(gf.disposal, 2) << ref.what << ": restore to background";
            EXPECT_FALSE(gf.localTable) << ref.what << ": few colours share one exact table";
            expect_gif_frame(gf, ref, true);

            const json &cell = index["frames"][f];
            EXPECT_EQ(cell["frame"], uint32_t(art.groups[g].frames - art.frames) + f);
            ASSERT_EQ(cell["w"], ref.width());
            bool same = true;
            for (uint32_t y = 0; y < ref.height(); ++y)
                same &=
                    std::equal(a.picture.at(0, y), a.picture.at(0, y) + ref.width() * 4,
                               sheet.at(cell["x"].get<uint32_t>(), cell["y"].get<uint32_t>() + y));
            EXPECT_TRUE(same) << ref.what << ": sheet cell differs from the animation frame";
        }
    }
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(folder(out.path()), expected) << "exactly the objects' files, no leftovers";

    // One thread writes the same bytes as two.
    temp_dir serial;
    r = zevart({"export", "--sheet", "--jobs", "1", s.bmp, s.prt, serial.path()});
    ASSERT_EQ(r.status, OK) << describe(r);
    for (const std::string &name : expected)
        EXPECT_TRUE(read_file(out.file(name)) == read_file(serial.file(name))) << name;
}

// A group whose one frame shows 510 colours: GIF needs a quantized table.
artgen::art_set colourful_set() {
    artgen::art_set set;
    for (int p = 0; p < 2; ++p) {
        artgen::palette pal;
        for (int c = 0; c < 256; ++c)
            pal.add(uint8_t(c), uint8_t(p ? 255 - c : c / 2), uint8_t(p * 128 + c / 2));
        set.palettes.push_back(pal);
    }
    std::vector<uint8_t> px(16 * 16);
    for (size_t i = 0; i < px.size(); ++i) px[i] = uint8_t(i);
    px[0] = 0; // one transparent pixel each
    set.images.push_back(artgen::image8(16, 16, 0, px));
    set.images.push_back(artgen::image8(16, 16, 1, px));
    set.images.push_back(artgen::mask1(40, 8, std::vector<uint8_t>(320, 1)));
    artgen::group g;
    artgen::frame f;
    artgen::picture a, b, c;
    b.image = 1, b.slot = 1, b.x = 16;
    c.image = 2, c.slot = 2, c.y = 16;
    f.pics = {a, b, c};
    g.frames = {f, f};
    set.groups.push_back(g);
    return set;
}

TEST(CliGif, ManyColoursAreQuantizedPerFrame) {
    temp_dir dir, out;
    const art_set_files s = save(dir, colourful_set());
    art_handle art;
    ASSERT_EQ(LoadArtFromFile(s.bmp.c_str(), s.prt.c_str(), &art), ART_OK);
    run_result r = zevart({"export", "--kind", "group", "--anim", "gif", s.bmp, s.prt, out.path()});
    ASSERT_EQ(r.status, OK) << describe(r);
    EXPECT_EQ(folder(out.path()), std::vector<std::string>{"group-0000.gif"});
    gif_file gif;
    std::string err;
    ASSERT_TRUE(decode_gif(out.file("group-0000.gif"), gif, err)) << err;
    ASSERT_EQ(gif.frames.size(), 2u);
    for (uint32_t f = 0; f < 2; ++f) {
        EXPECT_TRUE(gif.frames[f].localTable) << "frame " << f;
        expect_gif_frame(gif.frames[f], group_frame(art, 0, f), false);
    }
}

TEST(CliRender, BackgroundScaleAndFormats) {
    const art_set_files s = sample_set();
    art_handle art;
    ASSERT_EQ(LoadArtFromFile(s.bmp.c_str(), s.prt.c_str(), &art), ART_OK);
    temp_dir out;
    run_result r = zevart({"render", s.bmp, s.prt, "frame", "24", "--scale", "3", "--background",
                           "#25B45A", "-o", out.file("scene.png")});
    ASSERT_EQ(r.status, OK) << describe(r);
    rgba_picture png;
    std::string err;
    ASSERT_TRUE(decode_png(out.file("scene.png"), png, err)) << err;
    library_picture scene = stills(art)[0];
    for (const library_picture &p : stills(art))
        if (p.what == "frame-00024.png") scene = p;
    const std::vector<RGBQUAD> lib = scene.over({0x5A, 0xB4, 0x25, 0});
    ASSERT_EQ(png.width, scene.width() * 3);
    ASSERT_EQ(png.height, scene.height() * 3);
    size_t bad = 0;
    for (uint32_t y = 0; y < png.height; ++y)
        for (uint32_t x = 0; x < png.width; ++x) {
            const RGBQUAD &l = lib[size_t(y / 3) * scene.width() + x / 3];
            const uint8_t *p = png.at(x, y);
            bad += p[0] != l.rgbRed || p[1] != l.rgbGreen || p[2] != l.rgbBlue || p[3] != 255;
        }
    EXPECT_EQ(bad, 0u) << "scaled render over a colour equals the library's drawing";

    r = zevart({"render", s.bmp, s.prt, "group", "2", "-o", out.file("torch.png")});
    ASSERT_EQ(r.status, OK) << describe(r);
    apng_file apng;
    ASSERT_TRUE(decode_apng(out.file("torch.png"), apng, err)) << err;
    ASSERT_EQ(apng.frames.size(), art.groups[2].frameCount);
    for (uint32_t f = 0; f < apng.frames.size(); ++f)
        expect_same_as_library(apng.frames[f].picture, group_frame(art, 2, f));

    r = zevart({"render", s.bmp, s.prt, "group", "0", "-o", out.file("walk.gif")});
    ASSERT_EQ(r.status, OK) << describe(r);
    gif_file gif;
    ASSERT_TRUE(decode_gif(out.file("walk.gif"), gif, err)) << err;
    EXPECT_EQ(gif.frames.size(), art.groups[0].frameCount);

    r = zevart({"render", s.bmp, s.prt, "group", "1", "--frame", "3", "-o", out.file("coin.png")});
    ASSERT_EQ(r.status, OK) << describe(r);
    ASSERT_TRUE(decode_png(out.file("coin.png"), png, err)) << err;
    expect_same_as_library(png, group_frame(art, 1, 3));
    EXPECT_FALSE(has_temp_files(out.path()));
}
#endif // ZEVART_TEST_IMAGE_FORMATS

} // namespace
