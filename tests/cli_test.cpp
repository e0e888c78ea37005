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
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>

using testing_support::art_files;
using testing_support::temp_dir;
using json = nlohmann::json;
namespace fs = std::filesystem;

namespace {

enum { OK = 0, USAGE = 1, LOAD = 2, SOME_FAILED = 3, EXISTS = 4 };
constexpr size_t npos = std::string::npos;

// Runs zevart and expects its exit status; stdout and stderr are caught in a
// scratch folder of its own.
run_result zevart(const std::vector<std::string> &args, int status) {
    static temp_dir scratch;
    std::string program = ZEVART_CLI, line;
#ifdef _WIN32
    program = "Z:" + program; // Wine's view of the Unix root
#endif
    run_result r = run_program(program, args, scratch.path());
    for (const std::string &a : args) line += a + " ";
    EXPECT_EQ(r.status, status) << line << "\nstdout: " << r.out << "\nstderr: " << r.err;
    return r;
}

art_files sample_set() {
    const std::string dir = testing_support::sample_dir();
    return {dir + "/zev_art.bmp", dir + "/zev_art.prt"};
}

art_handle &sample_art() {
    static art_handle art;
    if (art.loadState != ART_LOADED) {
        EXPECT_EQ(LoadArtFromFile(sample_set().bmp.c_str(), sample_set().prt.c_str(), &art), 0);
    }
    return art;
}

std::vector<uint8_t> read_file(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), {});
}

std::vector<std::string> folder(const std::string &dir) {
    std::vector<std::string> names;
    for (const auto &e : fs::directory_iterator(dir)) names.push_back(e.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

// image-00012, group-0003: the export's file names without extension.
std::string stem(const char *kind, uint32_t i) {
    char text[32];
    std::snprintf(text, sizeof text, "%s-%0*u", kind, kind[0] == 'g' ? 4 : 5, i);
    return text;
}

// A set with the odd records real files can hold: frames and pictures that no
// group reaches, a frame without pictures, an image of negative height,
// colours with a fourth byte, a type-5 mask and a group with two appendix
// entries.
artgen::art_set odd_set() {
    artgen::art_set set;
    set.palettes.resize(1);
    set.palettes[0].add(255, 0, 255);
    set.palettes[0].add(10, 20, 30, 7);
    set.palettes[0].add(200, 100, 50);
    set.images.push_back(artgen::image8(3, 3, 0, {0, 1, 2, 0, 2, 2, 0, 1, 0, 1, 1, 2}, 4));
    set.images.push_back(artgen::mask1(33, 2, std::vector<uint8_t>(66, 1)));
    set.images.back().type = 5;
    set.images.push_back(artgen::image8(3, 2, 0, {1, 1, 1, 0, 2, 2, 2, 0}, 4));
    set.images.back().height = -2;
    set.groups.resize(2);
    artgen::group &g = set.groups[0];
    g.header = {1, 2, 3, 4, 5, 6, 7, 0xFFFFFFFF};
    g.frames.resize(2); // the second without pictures
    g.frames[0].pics = {{0, 0, 1, -1, -2}, {1, 0, 0, 3, 4}};
    g.frames[0].ext1 = std::array<uint8_t, 2>{0xA1, 0xA2};
    g.frames[1].ext2 = std::array<uint8_t, 2>{0xB3, 0xB4};
    g.appendix = {{1, 2, 3, 4}, {0xDEADBEEF, 0, 0x7FFFFFFF, 0x80000000}};
    set.groups[1].frames.resize(1);
    set.groups[1].frames[0].pics = {{2, 0, 0, 5, 5}};
    set.frameCountField = set.frame_count() + 2;
    set.picCountField = set.picture_count() + 1;
    set.extInfoCountField = set.ext_info_count() + 1;
    return set;
}

uint32_t block_bytes(const mem_image &im) {
    const int32_t rows = std::abs(int32_t(im.height)), width = im.width, rowBytes = im.rowBytes;
    return uint32_t(im.type == 4 || im.type == 5 ? rows * ((width + 31) / 32) * 4
                                                 : rows * rowBytes);
}

// One object as the library draws it, at (-left, -top) of its rectangle: the
// reference for every picture the program writes.
struct library_picture {
    std::string name; // its file name without extension
    RECT rect;
    std::function<void(RGBQUAD *, BITMAPINFO *, int, int)> draw;
    const mem_image *image; // the block of an image or picture, else null

    uint32_t width() const { return uint32_t(rect.right - rect.left); }
    uint32_t height() const { return uint32_t(rect.bottom - rect.top); }
    // Over a background on a top-down surface, or with `viewer` on one kept
    // as the viewer keeps it (bottom-up, biSizeImage of the image's block).
    std::vector<RGBQUAD> over(RGBQUAD background, BITMAPINFO *viewer = nullptr) const {
        BITMAPINFO own{}, &info = viewer ? *viewer : own;
        info.bmiHeader = {40,
                          LONG(width()),
                          viewer ? LONG(height()) : -LONG(height()),
                          1,
                          32,
                          BI_RGB,
                          viewer && image ? block_bytes(*image) : 0,
                          0,
                          0,
                          0,
                          0};
        std::vector<RGBQUAD> px(size_t(width()) * height(), background);
        draw(px.data(), &info, -rect.left, -rect.top);
        return px;
    }
};

template <class Record>
library_picture picture_of(std::string name, Record &r, const mem_image *image = nullptr) {
    library_picture p{std::move(name),
                      {},
                      [&r](RGBQUAD *px, BITMAPINFO *info, int x, int y) { r.draw(px, info, x, y); },
                      image};
    r.getDrawRect(&p.rect);
    return p;
}

// Every image, picture and frame that covers something.
std::vector<library_picture> stills(art_handle &art) {
    std::vector<library_picture> all;
    for (uint32_t i = 0; i < art.imageCount; ++i)
        all.push_back(picture_of(stem("image", i), art.images[i], &art.images[i]));
    for (uint32_t i = 0; i < art.picCount; ++i)
        all.push_back(picture_of(stem("picture", i), art.pics[i], art.pics[i].image));
    for (uint32_t i = 0; i < art.frameCount; ++i)
        all.push_back(picture_of(stem("frame", i), art.frames[i]));
    all.erase(
        std::remove_if(all.begin(), all.end(), [](auto &p) { return !p.width() || !p.height(); }),
        all.end());
    return all;
}

// Frame f of group g in the group's rectangle, as the animation shows it.
library_picture group_frame(art_handle &art, uint32_t g, uint32_t f) {
    char suffix[8];
    std::snprintf(suffix, sizeof suffix, "-%03u", f);
    library_picture p = picture_of(stem("group", g) + suffix, art.groups[g].frames[f]);
    art.groups[g].getDrawRect(&p.rect);
    return p;
}

TEST(Cli, HelpVersionAndBadCommandLines) {
    for (const char *command : {"info", "dump", "export", "render"}) {
        run_result r = zevart({command, "--help"}, OK);
        EXPECT_EQ(r.out.rfind(std::string("usage: zevart ") + command, 0), 0u) << command;
    }
    EXPECT_EQ(zevart({"--version"}, OK).out.rfind("zevart 2.", 0), 0u);
    const art_files s = sample_set();
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
    for (const auto &args : bad) EXPECT_FALSE(zevart(args, USAGE).err.empty()) << args.size();
}

TEST(Cli, InfoShowsTheTables) {
    const art_files s = sample_set();
    run_result r = zevart({"info", s.bmp, s.prt}, OK);
    for (const char *line : {"palettes   3: 2 of 256 colours, 1 of 16 colours", "images     39",
                             "type 4   2 images, 1-bit shadow", "pictures   59", "frames     27",
                             "groups     5, 1..10 frames each, 27 in all", "group 0    8 frames"})
        EXPECT_NE(r.out.find(line), npos) << "missing \"" << line << "\"\n" << r.out;
}

TEST(Cli, LoadFailuresNameTheFileAndTheLoaderCode) {
    temp_dir dir;
    const art_files good = testing_support::save_set(dir, artgen::make_sample());
    const std::vector<uint8_t> prt = read_file(good.prt), bmp = read_file(good.bmp);
    auto write = [&](const std::string &name, const std::vector<uint8_t> &bytes) {
        artgen::save_file(dir.file(name), bytes);
        return dir.file(name);
    };
    std::vector<uint8_t> notCpal = prt;
    notCpal[0] = 'X';
    artgen::art_set shortPalette = artgen::make_sample();
    shortPalette.palettes[2].sizeField = 100000;
    shortPalette.images.clear();
    shortPalette.groups.clear();
    const std::string noPrt = dir.file("missing.prt"), noBmp = dir.file("missing.bmp");
    const struct {
        std::string bmp, prt;
        int code;
        std::string named;
    } cases[] = {
        {good.bmp, noPrt, 1, noPrt},
        {good.bmp, write("x.prt", notCpal), 1, "CPAL"},
        {good.bmp, write("p.prt", artgen::write_prt(shortPalette)), 2, "p.prt"},
        {good.bmp, write("t.prt", {prt.begin(), prt.end() - 10}), 3, "t.prt"},
        {noBmp, good.prt, 4, noBmp},
        {write("s.bmp", {bmp.begin(), bmp.begin() + 2000}), good.prt, 4, "s.bmp"},
    };
    const std::string out = dir.file("out");
    for (const auto &f : cases)
        for (std::vector<std::string> args : {std::vector<std::string>{"info", f.bmp, f.prt},
                                              {"dump", f.bmp, f.prt},
                                              {"export", f.bmp, f.prt, out},
                                              {"render", f.bmp, f.prt, "image", "0", "-o", out}}) {
            if (args[0] == "render") args.back() += ".bmp";
            run_result r = zevart(args, LOAD);
            EXPECT_NE(r.err.find("loader code " + std::to_string(f.code)), npos) << r.err;
            EXPECT_NE(r.err.find(f.named), npos) << r.err;
            EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << "one line: " << r.err;
            EXPECT_TRUE(r.out.empty() && !fs::exists(out) && !fs::exists(out + ".bmp")) << args[0];
        }
}

// The JSON read back equals the loaded records, field by field.
void expect_dump_matches(const art_files &files, const std::string &text) {
    art_handle art;
    ASSERT_EQ(LoadArtFromFile(files.bmp.c_str(), files.prt.c_str(), &art), ART_OK);
    json d = json::parse(text);
    auto rect = [](auto &record) {
        RECT r;
        record.getDrawRect(&r);
        return json{{"left", r.left}, {"top", r.top}, {"right", r.right}, {"bottom", r.bottom}};
    };
    auto index = [](const auto *p, const auto *table) { return p ? json(p - table) : json(); };
    auto expect = [&](const char *table, uint32_t count, auto want) {
        EXPECT_EQ(d["counts"][table], count) << table;
        ASSERT_EQ(d[table].size(), count) << table;
        for (uint32_t i = 0; i < count; ++i) {
            const json w = want(i);
            for (const auto &[key, value] : w.items())
                EXPECT_EQ(d[table][i].value(key, json()), value) << table << " " << i << " " << key;
        }
    };
    expect("palettes", art.paletteCount, [&](uint32_t i) {
        return json{{"colorCount", art.palettes[i].colorCount}};
    });
    expect("images", art.imageCount, [&](uint32_t i) {
        mem_image &m = art.images[i];
        const int32_t rowBytes = m.rowBytes, height = m.height, width = m.width, type = m.type;
        return json{{"index", i},       {"rowBytes", rowBytes},
                    {"height", height}, {"width", width},
                    {"type", type},     {"palette", index(m.palette, art.palettes)},
                    {"rect", rect(m)},  {"blockBytes", block_bytes(m)}};
    });
    expect("pictures", art.picCount, [&](uint32_t i) {
        mem_pic &m = art.pics[i];
        return json{
            {"x", m.x}, {"y", m.y}, {"image", index(m.image, art.images)}, {"rect", rect(m)}};
    });
    expect("frames", art.frameCount, [&](uint32_t i) {
        mem_frame &m = art.frames[i];
        const uint16_t picCount = m.picCount;
        return json{
            {"picCount", picCount}, {"firstPicture", index(m.pics, art.pics)}, {"rect", rect(m)}};
    });
    expect("groups", art.groupCount, [&](uint32_t i) {
        mem_group &m = art.groups[i];
        json appendix = json::array();
        for (uint32_t a = 0; a < m.appendixCount; ++a)
            appendix.push_back(std::vector<uint32_t>(m.appendix[a].data, m.appendix[a].data + 4));
        return json{{"header", std::vector<uint32_t>(m.header, m.header + 8)},
                    {"frameCount", m.frameCount},
                    {"firstFrame", index(m.frames, art.frames)},
                    {"extInfo", index(m.extInfo, art.extInfos)},
                    {"appendixCount", m.appendixCount},
                    {"appendix", appendix},
                    {"rect", rect(m)}};
    });
    expect("extInfos", art.extInfoCount, [&](uint32_t i) {
        return json{{"data", std::vector<uint8_t>(art.extInfos[i].data, art.extInfos[i].data + 4)}};
    });
}

TEST(Cli, DumpEqualsTheLoadedRecords) {
    const art_files s = sample_set();
    temp_dir dir;
    const std::string text = zevart({"dump", s.bmp, s.prt}, OK).out;
    expect_dump_matches(s, text);
    zevart({"dump", "-o", dir.file("set.json"), s.bmp, s.prt}, OK);
    EXPECT_TRUE(read_file(dir.file("set.json")) == std::vector<uint8_t>(text.begin(), text.end()));

    const art_files odd = testing_support::save_set(dir, odd_set());
    run_result r = zevart({"dump", "--compact", odd.bmp, odd.prt}, OK);
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1) << "compact is one line";
    expect_dump_matches(odd, r.out);
    const json d = json::parse(r.out), p = d["palettes"][0];
    EXPECT_TRUE(p["colors"] == json({"#FF00FF", "#0A141E", "#C86432"}) &&
                p["fourthBytes"] == json({0, 7, 0}))
        << "colours as #RRGGBB, fourth bytes where any is set: " << p;
    EXPECT_FALSE(json::parse(text)["palettes"][0].contains("fourthBytes")) << "none set";
}

TEST(Cli, ExistingFilesAreKeptWithoutForce) {
    const art_files s = sample_set();
    temp_dir out;
    const std::vector<uint8_t> mine = {'m', 'i', 'n', 'e'};
    const std::string json = out.file("set.json"), one = out.file("one.bmp");
    const std::pair<std::vector<std::string>, std::string> cases[] = {
        {{"dump", "-o", json, s.bmp, s.prt}, json},
        {{"render", s.bmp, s.prt, "image", "2", "-o", one}, one},
        {{"export", "--format", "bmp32", "--kind", "image", s.bmp, s.prt, out.path()},
         out.file("image-00007.bmp")},
    };
    for (auto [args, file] : cases) {
        artgen::save_file(file, mine);
        const std::vector<std::string> before = folder(out.path());
        run_result r = zevart(args, EXISTS);
        EXPECT_NE(r.err.find(fs::path(file).filename().string()), npos) << r.err;
        EXPECT_NE(r.err.find("--force"), npos) << r.err;
        EXPECT_EQ(read_file(file), mine) << args[0];
        EXPECT_EQ(folder(out.path()), before) << args[0] << ": nothing written";
        args.push_back("--force");
        zevart(args, OK);
        EXPECT_GT(read_file(file).size(), 58u) << args[0] << ": replaced";
    }
    EXPECT_EQ(folder(out.path()).size(), 2 + 39u) << "no temporary files left";
}

TEST(Cli, IndexOutOfRangeIsAnError) {
    const art_files s = sample_set();
    temp_dir out;
    const std::vector<std::vector<std::string>> cases = {
        {"export", "--kind", "image", "--index", "39", s.bmp, s.prt, out.path()},
        {"export", "--kind", "group", "--index", "5", s.bmp, s.prt, out.path()},
        {"export", "--kind", "picture", "--index", "4294967295", s.bmp, s.prt, out.path()},
        {"render", s.bmp, s.prt, "frame", "27", "-o", out.file("x.bmp")},
        {"render", s.bmp, s.prt, "group", "1", "--frame", "10", "-o", out.file("x.bmp")},
    };
    for (const auto &args : cases) {
        const std::string err = zevart(args, USAGE).err;
        EXPECT_TRUE(err.find("there is no") != npos || err.find("has no frame") != npos) << err;
        EXPECT_TRUE(folder(out.path()).empty()) << "nothing written";
    }
    zevart({"export", "--kind", "image", "--index", "38", "--format", "bmp24", s.bmp, s.prt,
            out.path()},
           OK);
    EXPECT_EQ(folder(out.path()), std::vector<std::string>{"image-00038.bmp"});
}

// One frame whose pictures lie 65 535 pixels apart would take a 16 GiB
// surface: it is refused, the others are written, the status says so.
TEST(Cli, HugeDrawRectanglesAreRefusedAndTheRestIsWritten) {
    artgen::art_set set;
    set.palettes.resize(1);
    set.palettes[0].add(0, 0, 0);
    set.palettes[0].add(255, 255, 255);
    set.images.push_back(artgen::image8(160, 160, 0, std::vector<uint8_t>(160 * 160, 1)));
    set.groups.resize(1);
    set.groups[0].frames.resize(2);
    set.groups[0].frames[0].pics = {{0, 0, 0, 32767, 32767}};
    set.groups[0].frames[1].pics = {{0, 0, 0, -32768, -32768}, {0, 0, 1, 32767, 32767}};
    temp_dir dir, out;
    const art_files s = testing_support::save_set(dir, set);
    run_result r = zevart({"export", "--format", "bmp32", s.bmp, s.prt, out.path()}, SOME_FAILED);
    EXPECT_NE(r.err.find("frame 1: its draw rectangle (65695 x 65695 pixels) exceeds"), npos)
        << r.err;
    EXPECT_NE(r.err.find("group 0:"), npos) << r.err;
    EXPECT_EQ(folder(out.path()),
              (std::vector<std::string>{"frame-00000.bmp", "image-00000.bmp", "picture-00000.bmp",
                                        "picture-00001.bmp", "picture-00002.bmp"}));
    r = zevart({"render", s.bmp, s.prt, "image", "0", "--scale", "64", "-o", out.file("big.bmp")},
               SOME_FAILED);
    EXPECT_NE(r.err.find("scaled 64 times"), npos) << "10240 x 10240 is too large: " << r.err;
    zevart({"render", s.bmp, s.prt, "frame", "1", "-o", out.file("huge.bmp")}, SOME_FAILED);
    EXPECT_EQ(folder(out.path()).size(), 5u) << "neither render left a file";
}

TEST(Cli, EmptyObjectsAreSkippedWithANote) {
    temp_dir dir, out;
    const art_files s = testing_support::save_set(dir, odd_set());
    run_result r = zevart({"export", "--format", "bmp16", s.bmp, s.prt, out.path()}, OK);
    // Image 2 has a negative height; pictures 2 (of image 2) and 3 (no frame fills
    // it), frames 1 (no pictures), 2 (picture 2 only), 3 and 4 (no group reaches
    // them) and group 1 (frame 2 only) cover nothing either.
    EXPECT_NE(r.err.find("skipped 8 object(s) with nothing to draw (empty draw rectangle): image "
                         "2, picture 2, picture 3, frame 1, frame 2, frame 3, frame 4, group 1\n"),
              npos)
        << r.err;
    EXPECT_EQ(folder(out.path()),
              (std::vector<std::string>{"frame-00000.bmp", "group-0000-000.bmp",
                                        "group-0000-001.bmp", "image-00000.bmp", "image-00001.bmp",
                                        "picture-00000.bmp", "picture-00001.bmp"}))
        << "an empty frame of a drawn group is written";
}

// Byte for byte the files the viewer's Save Object writes: its orange,
// bottom-up surface through DIBitsToFile, or for 8 bits the image's own block
// with its palette (white and black for a shadow).
TEST(Cli, BmpFilesAreTheViewersFiles) {
    art_handle &art = sample_art();
    const art_files s = sample_set();
    std::vector<library_picture> all = stills(art);
    for (uint32_t g = 0; g < art.groupCount; ++g)
        for (uint32_t f = 0; f < art.groups[g].frameCount; ++f)
            all.push_back(group_frame(art, g, f));
    const RGBQUAD whiteBlack[2] = {{255, 255, 255, 0}, {0, 0, 0, 0}};
    const std::pair<const char *, int> formats[] = {
        {"bmp32", 0}, {"bmp24", 24}, {"bmp16", 16}, {"bmp8", 8}};
    temp_dir ref;
    for (auto [format, depth] : formats) {
        temp_dir out;
        zevart({"export", "--format", format, s.bmp, s.prt, out.path()}, OK);
        size_t files = 0;
        for (const library_picture &p : all) {
            const std::string name = p.name + ".bmp", refPath = ref.file(name);
            BITMAPINFO info{};
            if (depth != 8) {
                std::vector<RGBQUAD> px = p.over({0, 0x7F, 0xFF, 0}, &info);
                ASSERT_TRUE(DIBitsToFile(refPath.c_str(), px.data(), &info, depth));
            } else if (const mem_image *im = p.image) {
                const bool mask = im->type == 4 || im->type == 5;
                const uint32_t colours = mask ? 2 : im->palette->colorCount;
                info.bmiHeader = {40,
                                  im->width,
                                  -std::abs(int32_t(im->height)),
                                  1,
                                  WORD(mask ? 1 : 8),
                                  BI_RGB,
                                  block_bytes(*im),
                                  0,
                                  0,
                                  colours,
                                  mask ? 2u : 0u};
                DIBitsToFile8(refPath.c_str(), im->pixels, &info,
                              mask ? whiteBlack : im->palette->colors);
            } else {
                continue; // frames have no block of their own
            }
            EXPECT_TRUE(read_file(out.file(name)) == read_file(refPath)) << format << " " << name;
            ++files;
        }
        EXPECT_EQ(folder(out.path()).size(), files) << format << ": exactly the objects' files";
    }
}

// An 8-bit block stored with rows of 3 bytes: the file's rows are whole words.
TEST(Cli, Bmp8RowsAreWholeWordsWhateverTheStoredRowLength) {
    artgen::art_set set;
    set.palettes.resize(1);
    set.palettes[0].add(0, 0, 0);
    set.palettes[0].add(255, 255, 255);
    set.images.push_back(artgen::image8(3, 2, 0, {1, 0, 1, 0, 1, 0}, 3));
    temp_dir dir, out;
    const art_files s = testing_support::save_set(dir, set);
    zevart({"export", "--format", "bmp8", "--kind", "image", s.bmp, s.prt, out.path()}, OK);
    const std::vector<uint8_t> file = read_file(out.file("image-00000.bmp"));
    const size_t pixels = 54 + 4 * 2;
    ASSERT_EQ(file.size(), pixels + 8);
    EXPECT_EQ(std::vector<uint8_t>(file.begin() + pixels, file.end()),
              (std::vector<uint8_t>{1, 0, 1, 0, 0, 1, 0, 0}));
    uint32_t sizeImage;
    std::memcpy(&sizeImage, &file[34], 4);
    EXPECT_EQ(sizeImage, 8u);
}

#ifdef ZEVART_TEST_IMAGE_FORMATS
const RGBQUAD kBackgrounds[] = {
    {0, 0, 0, 0}, {255, 255, 255, 0}, {0, 0x7F, 0xFF, 0}, {90, 180, 37, 0}};

bool same_colour(const RGBQUAD &a, const RGBQUAD &b) {
    return a.rgbRed == b.rgbRed && a.rgbGreen == b.rgbGreen && a.rgbBlue == b.rgbBlue;
}

std::string pixel(size_t i, uint32_t width, const std::string &what) {
    return "pixel (" + std::to_string(i % width) + ", " + std::to_string(i / width) + "): " + what;
}

// An RGBA picture laid over any background looks as the library draws over
// that background (within rounding: the library halves, alpha blends);
// pixels the library draws opaque are exact, untouched ones transparent.
std::string png_differs(const rgba_picture &png, const library_picture &ref) {
    if (png.width != ref.width() || png.height != ref.height()) return "another size";
    const std::vector<RGBQUAD> black = ref.over(kBackgrounds[0]), white = ref.over(kBackgrounds[1]);
    for (const RGBQUAD &bg : kBackgrounds) {
        const std::vector<RGBQUAD> lib = ref.over(bg);
        for (size_t i = 0; i < lib.size(); ++i) {
            const uint8_t *p = &png.px[4 * i];
            auto off = [&](int c, int under, int want) {
                return std::abs((c * p[3] + under * (255 - p[3]) + 127) / 255 - want) > 1;
            };
            if (off(p[0], bg.rgbRed, lib[i].rgbRed) || off(p[1], bg.rgbGreen, lib[i].rgbGreen) ||
                off(p[2], bg.rgbBlue, lib[i].rgbBlue))
                return pixel(i, png.width, "differs over " + std::to_string(bg.rgbRed));
            const RGBQUAD exact = {p[2], p[1], p[0], 0};
            if (same_colour(black[i], white[i]) && (p[3] != 255 || !same_colour(exact, black[i])))
                return pixel(i, png.width, "opaque pixel not exact");
            if (black[i].rgbRed == 0 && white[i].rgbRed == 255 && p[3] != 0)
                return pixel(i, png.width, "untouched pixel not transparent");
        }
    }
    return "";
}

// A GIF frame: opaque pixels exact (or, quantized, near), untouched pixels
// transparent, shadows black where shown and dithered, neither all shown nor
// all dropped.
std::string gif_differs(const gif_frame &f, const library_picture &ref, bool exact) {
    if (f.width != ref.width() || f.height != ref.height()) return "another size";
    const std::vector<RGBQUAD> black = ref.over(kBackgrounds[0]), white = ref.over(kBackgrounds[1]);
    size_t shadow = 0, shadowShown = 0;
    for (size_t i = 0; i < black.size(); ++i) {
        const bool transparent = f.indexes[i] == f.transparent;
        const uint32_t c = f.indexes[i] < f.colours.size() ? f.colours[f.indexes[i]] : 0xFFFFFFFF;
        const RGBQUAD shown = {uint8_t(c), uint8_t(c >> 8), uint8_t(c >> 16), 0}, &b = black[i];
        const int err =
            std::max({std::abs(shown.rgbRed - b.rgbRed), std::abs(shown.rgbGreen - b.rgbGreen),
                      std::abs(shown.rgbBlue - b.rgbBlue)});
        if (same_colour(b, white[i])) {
            if (transparent || err > (exact ? 0 : 40))
                return pixel(i, f.width, "opaque pixel off by " + std::to_string(err));
        } else if (b.rgbRed == 0 && white[i].rgbRed == 255) {
            if (!transparent) return pixel(i, f.width, "untouched pixel shown");
        } else {
            ++shadow;
            shadowShown += !transparent;
            if (!transparent && c != 0) return pixel(i, f.width, "shadow not black");
        }
    }
    if (shadow > 64 && (shadowShown <= shadow / 4 || shadowShown == shadow))
        return "shadows not dithered: " + std::to_string(shadowShown) + " of " +
               std::to_string(shadow) + " shown";
    return "";
}

TEST(CliFormats, PngApngGifAndSheetsAreTheLibrarysDrawing) {
    art_handle &art = sample_art();
    const art_files s = sample_set();
    temp_dir out, serial;
    run_result r = zevart({"export", "--sheet", "--jobs", "2", s.bmp, s.prt, out.path()}, OK);
    EXPECT_TRUE(r.err.empty()) << "quiet when not a terminal: " << r.err;
    std::vector<std::string> expected;
    std::string err;
    for (const library_picture &p : stills(art)) {
        expected.push_back(p.name + ".png");
        rgba_picture png;
        EXPECT_TRUE(decode_png(out.file(p.name + ".png"), png, err)) << err;
        EXPECT_EQ(png_differs(png, p), "") << p.name;
    }
    for (uint32_t g = 0; g < art.groupCount; ++g) {
        const std::string name = stem("group", g);
        for (const char *ext : {".png", ".gif", "-sheet.png", "-sheet.json"})
            expected.push_back(name + ext);
        apng_file apng;
        gif_file gif;
        rgba_picture still, sheet;
        ASSERT_TRUE(decode_apng(out.file(name + ".png"), apng, err) &&
                    decode_png(out.file(name + ".png"), still, err) &&
                    decode_gif(out.file(name + ".gif"), gif, err) &&
                    decode_png(out.file(name + "-sheet.png"), sheet, err))
            << name << ": " << err;
        const uint32_t frames = art.groups[g].frameCount;
        json index = json::parse(read_file(out.file(name + "-sheet.json")));
        ASSERT_EQ(apng.frames.size(), frames) << name;
        ASSERT_EQ(gif.frames.size(), frames) << name;
        ASSERT_EQ(index["frames"].size(), frames) << name;
        EXPECT_EQ(index["image"], name + "-sheet.png");
        EXPECT_TRUE(apng.plays == 0 && gif.loopsForever) << name << " loops forever";
        EXPECT_TRUE(still.px == apng.frames[0].picture.px) << name << ": readers without APNG";
        for (uint32_t f = 0; f < frames; ++f) {
            const library_picture ref = group_frame(art, g, f);
            const apng_frame &a = apng.frames[f];
            const gif_frame &gf = gif.frames[f];
            EXPECT_TRUE(a.delayNum * 1000 == 150 * a.delayDen && a.blend == 0)
                << ref.name << ": 150 ms, each frame replaces the canvas";
            EXPECT_EQ(png_differs(a.picture, ref), "") << ref.name;
            EXPECT_TRUE(gf.delayCs == 15 && gf.disposal == 2 && !gf.localTable)
                << ref.name << ": 15 cs, restore to background, one exact table for few colours";
            EXPECT_EQ(gif_differs(gf, ref, true), "") << ref.name;

            const json &cell = index["frames"][f];
            const uint32_t x = cell["x"], y = cell["y"], w = ref.width();
            EXPECT_EQ(cell["frame"], uint32_t(art.groups[g].frames - art.frames) + f);
            ASSERT_TRUE(cell["w"] == w && cell["h"] == ref.height() && x + w <= sheet.width &&
                        y + ref.height() <= sheet.height)
                << ref.name << ": " << cell;
            for (uint32_t row = 0; row < ref.height(); ++row)
                ASSERT_TRUE(std::equal(&a.picture.px[size_t(row) * w * 4],
                                       &a.picture.px[size_t(row + 1) * w * 4],
                                       &sheet.px[(size_t(y + row) * sheet.width + x) * 4]))
                    << ref.name << ": sheet row " << row << " differs from the animation frame";
        }
    }
    std::sort(expected.begin(), expected.end());
    EXPECT_EQ(folder(out.path()), expected) << "exactly the objects' files, no leftovers";
    zevart({"export", "--sheet", "--jobs", "1", s.bmp, s.prt, serial.path()}, OK);
    for (const std::string &name : expected)
        EXPECT_TRUE(read_file(out.file(name)) == read_file(serial.file(name)))
            << name << ": one thread writes what two write";
}

// A group whose one frame shows 510 colours: the GIF needs a quantized table
// per frame.
TEST(CliFormats, ManyColoursAreQuantizedPerFrame) {
    artgen::art_set set;
    std::vector<uint8_t> px(16 * 16);
    for (size_t i = 1; i < px.size(); ++i) px[i] = uint8_t(i); // pixel 0 transparent
    for (uint16_t p = 0; p < 2; ++p) {
        set.palettes.emplace_back();
        for (int c = 0; c < 256; ++c)
            set.palettes[p].add(uint8_t(c), uint8_t(p ? 255 - c : c / 2), uint8_t(p * 128 + c / 2));
        set.images.push_back(artgen::image8(16, 16, p, px));
    }
    set.images.push_back(artgen::mask1(40, 8, std::vector<uint8_t>(320, 1)));
    set.groups.resize(1);
    set.groups[0].frames.resize(2);
    for (artgen::frame &f : set.groups[0].frames)
        f.pics = {{0, 0, 0, 0, 0}, {1, 0, 1, 16, 0}, {2, 0, 2, 0, 16}};
    temp_dir dir, out;
    const art_files s = testing_support::save_set(dir, set);
    art_handle art;
    ASSERT_EQ(LoadArtFromFile(s.bmp.c_str(), s.prt.c_str(), &art), ART_OK);
    zevart({"export", "--kind", "group", "--anim", "gif", s.bmp, s.prt, out.path()}, OK);
    EXPECT_EQ(folder(out.path()), std::vector<std::string>{"group-0000.gif"});
    gif_file gif;
    std::string err;
    ASSERT_TRUE(decode_gif(out.file("group-0000.gif"), gif, err)) << err;
    ASSERT_EQ(gif.frames.size(), 2u);
    for (uint32_t f = 0; f < 2; ++f) {
        EXPECT_TRUE(gif.frames[f].localTable) << "frame " << f;
        EXPECT_EQ(gif_differs(gif.frames[f], group_frame(art, 0, f), false), "") << "frame " << f;
    }
}

TEST(CliFormats, RenderBackgroundScaleAndFormats) {
    art_handle &art = sample_art();
    const art_files s = sample_set();
    temp_dir out;
    zevart({"render", s.bmp, s.prt, "frame", "24", "--scale", "3", "--background", "#25B45A", "-o",
            out.file("scene.png")},
           OK);
    rgba_picture png;
    std::string err;
    ASSERT_TRUE(decode_png(out.file("scene.png"), png, err)) << err;
    const library_picture scene = picture_of("scene", art.frames[24]);
    const std::vector<RGBQUAD> lib = scene.over({0x5A, 0xB4, 0x25, 0});
    ASSERT_TRUE(png.width == scene.width() * 3 && png.height == scene.height() * 3);
    for (size_t i = 0; i < png.px.size() / 4; ++i) {
        const RGBQUAD &l = lib[i / png.width / 3 * scene.width() + i % png.width / 3];
        const uint8_t *p = &png.px[4 * i];
        ASSERT_TRUE(p[0] == l.rgbRed && p[1] == l.rgbGreen && p[2] == l.rgbBlue && p[3] == 255)
            << pixel(i, png.width, "the scaled render over a colour is not the library's");
    }

    zevart({"render", s.bmp, s.prt, "group", "2", "-o", out.file("torch.png")}, OK);
    apng_file apng;
    ASSERT_TRUE(decode_apng(out.file("torch.png"), apng, err)) << err;
    ASSERT_EQ(apng.frames.size(), art.groups[2].frameCount);
    for (uint32_t f = 0; f < apng.frames.size(); ++f)
        EXPECT_EQ(png_differs(apng.frames[f].picture, group_frame(art, 2, f)), "") << f;
    zevart({"render", s.bmp, s.prt, "group", "0", "-o", out.file("walk.gif")}, OK);
    gif_file gif;
    ASSERT_TRUE(decode_gif(out.file("walk.gif"), gif, err)) << err;
    EXPECT_EQ(gif.frames.size(), art.groups[0].frameCount);
    zevart({"render", s.bmp, s.prt, "group", "1", "--frame", "3", "-o", out.file("coin.png")}, OK);
    ASSERT_TRUE(decode_png(out.file("coin.png"), png, err)) << err;
    EXPECT_EQ(png_differs(png, group_frame(art, 1, 3)), "");
    EXPECT_EQ(folder(out.path()).size(), 4u) << "no temporary files left";
}
#endif // ZEVART_TEST_IMAGE_FORMATS

} // namespace
