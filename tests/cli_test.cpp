// The zevart program, run as a user runs it. Its files are decoded again with
// the same libraries and compared with what the library draws for every
// object; its JSON is read back and compared with the loaded records; bad
// input must give the documented exit status and leave no file behind.
#include "cli_process.h"
#include "sample_art.h"
#include "test_support.h"
#include "viewer_file.h"
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
#include <set>
#include <sstream>

#ifndef _WIN32
#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>
#endif

using testing_support::art_files;
using testing_support::temp_dir;
using json = nlohmann::json;
namespace fs = std::filesystem;

namespace {

enum { OK = 0, USAGE = 1, LOAD = 2, SOME_FAILED = 3, EXISTS = 4 };
constexpr size_t npos = std::string::npos;

// Runs zevart with the words of `line` and expects its exit status; BMP and PRT
// stand for the set's files, OUT for the output folder (OUT/x.bmp: a file in
// it). Its streams are caught in a scratch folder of its own, or standard
// output goes to `stdoutPath`.
run_result zevart(const std::string &line, int status, const art_files &s = {},
                  const std::string &out = "", const std::string &stdoutPath = "") {
    static temp_dir scratch;
    std::vector<std::string> args;
    std::istringstream words(line);
    for (std::string w; words >> w;)
        args.push_back(w == "BMP"               ? s.bmp
                       : w == "PRT"             ? s.prt
                       : w.rfind("OUT", 0) == 0 ? out + w.substr(3)
                                                : w);
    run_result r =
        run_program(testing_support::host_path(ZEVART_CLI), args, scratch.path(), stdoutPath);
    EXPECT_EQ(r.status, status) << line << "\nstdout: " << r.out << "\nstderr: " << r.err;
    return r;
}

art_files sample_set() {
    const std::string dir = testing_support::sample_dir();
    return {dir + "/zev_art.bmp", dir + "/zev_art.prt"};
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

TEST(Cli, HelpVersionAndBadCommandLines) {
    for (const char *command : {"info", "dump", "export", "render"}) {
        run_result r = zevart(std::string(command) + " --help", OK);
        EXPECT_EQ(r.out.rfind(std::string("usage: zevart ") + command, 0), 0u) << command;
        for (const char *same : {" -h", " -h BMP", " --help --force"})
            EXPECT_EQ(zevart(std::string(command) + same, OK).out, r.out) << command << same;
        EXPECT_EQ(zevart(std::string("help ") + command, OK).out, r.out) << command;
    }
    EXPECT_EQ(zevart("--version", OK).out.rfind("zevart 2.", 0), 0u);
    EXPECT_EQ(zevart("-V", OK).out, zevart("--version", OK).out);
    EXPECT_EQ(zevart("help", OK).out, zevart("--help", OK).out);
    const art_files s = sample_set();
    temp_dir dir;
    const std::string out = dir.path();
    // Bad lines, options that contradict each other among them.
    for (const char *line : {"",
                             "frobnicate",
                             "help frobnicate",
                             "help info dump",
                             "info BMP",
                             "info --colour BMP PRT",
                             "export --kind sprite BMP PRT OUT",
                             "export --index 3 BMP PRT OUT",
                             "export --kind image --index 3x BMP PRT OUT",
                             "export --kind frame --format bmp8 BMP PRT OUT",
                             "export --format tiff BMP PRT OUT",
                             "export --level 10 BMP PRT OUT",
                             "export -x BMP PRT OUT",
                             "export -qj BMP PRT OUT",
                             "export --anim gif --format bmp32 BMP PRT OUT",
                             "export --kind image --anim apng BMP PRT OUT",
                             "export --format bmp32 --level 3 BMP PRT OUT",
                             "export --kind group --anim gif --level 3 BMP PRT OUT",
                             "export --format bmp8 --sheet BMP PRT OUT",
                             "export --force --skip-existing BMP PRT OUT",
                             "export -f --skip-existing BMP PRT OUT",
                             "render BMP PRT image 0",
                             "render BMP PRT image -1 -o OUT/x.bmp",
                             "render BMP PRT image 0 -o OUT/x.tga",
                             "render BMP PRT image 0 -o -",
                             "render BMP PRT image 0 -o OUT/x.png --format gif",
                             "render BMP PRT image 0 -o OUT/x --format tga",
                             "render BMP PRT image 0 --frame 1 -o OUT/x.bmp",
                             "render BMP PRT group 0 -o OUT/x.bmp",
                             "render BMP PRT image 0 --background transparent -o OUT/x.bmp",
                             "render BMP PRT image 0 --scale 0 -o OUT/x.bmp"})
        EXPECT_FALSE(zevart(line, USAGE, s, out).err.empty()) << line;
    const std::pair<const char *, const char *> outOfRange[] = {
        {"export --kind image --index 39 BMP PRT OUT", "there is no image 39"},
        {"export --kind group --index 5 BMP PRT OUT", "there is no group 5"},
        {"export --kind picture --index 4294967295 BMP PRT OUT", "there is no picture"},
        {"render BMP PRT frame 27 -o OUT/x.bmp", "there is no frame 27"},
        {"render BMP PRT group 1 --frame 10 -o OUT/x.bmp", "group 1 has no frame 10"}};
    for (auto [line, message] : outOfRange)
        EXPECT_NE(zevart(line, USAGE, s, out).err.find(message), npos) << line;
    EXPECT_TRUE(folder(out).empty()) << "nothing written";
    // Short options, flags grouped and a value joined.
    zevart("export --kind image --index 38 --format bmp24 BMP PRT OUT", OK, s, out);
    zevart("export -qfj2 --kind image --index 38 --format bmp24 BMP PRT OUT", OK, s, out);
    zevart("dump -fo OUT/set.json BMP PRT", OK, s, out);
    zevart("dump BMP PRT -fo OUT/set.json", OK, s, out);
    EXPECT_EQ(folder(out), (std::vector<std::string>{"image-00038.bmp", "set.json"}));
}

TEST(Cli, InfoShowsTheTables) {
    const art_files s = sample_set();
    run_result r = zevart("info BMP PRT", OK, s);
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
    const std::string noPrt = dir.file("missing.prt"), noBmp = dir.file("missing.bmp");
    // The file at fault, the byte when there is one, what is wrong there.
    const struct {
        std::string bmp, prt;
        int code;
        std::string said;
    } cases[] = {
        {good.bmp, noPrt, 1, noPrt + ": the art-structure file cannot be opened: "},
        {good.bmp, write("x.prt", notCpal), 1,
         dir.file("x.prt") + " at byte 0: it starts with the bytes 58 50 41 4C, not with \"CPAL\""},
        {good.bmp, write("t.prt", {prt.begin(), prt.end() - 10}), 3,
         dir.file("t.prt") + " at byte " + std::to_string(prt.size() - 16) +
             ": group 4: the file ends inside the appendix entries (6 of its 16 bytes there)"},
        {noBmp, good.prt, 4, noBmp + ": the bitmap file cannot be opened: "},
        {write("s.bmp", {bmp.begin(), bmp.begin() + 2000}), good.prt, 4,
         dir.file("s.bmp") + " at byte 1078: image 0: its pixel block of 2240 bytes (pixel data "
                             "at 1078 + data offset 0) runs past the end of the bitmap file (2000 "
                             "bytes)"},
    };
    const std::string out = dir.file("out");
    for (const auto &f : cases)
        for (const char *line : {"info BMP PRT", "dump BMP PRT", "export BMP PRT OUT",
                                 "render BMP PRT image 0 -o OUT.bmp"}) {
            run_result r = zevart(line, LOAD, {f.bmp, f.prt}, out);
            EXPECT_TRUE(r.err.find("loader code " + std::to_string(f.code)) != npos &&
                        r.err.find("cannot load the art set: " + f.said) != npos)
                << r.err;
            EXPECT_EQ(std::count(r.err.begin(), r.err.end(), '\n'), 1) << "one line: " << r.err;
            EXPECT_TRUE(r.out.empty() && !fs::exists(out) && !fs::exists(out + ".bmp")) << line;
        }
}

// Every table of the JSON read back has the loaded counts, indexes and draw
// rectangles.
void expect_dump_matches(const art_files &files, const json &d) {
    art_handle art;
    ASSERT_EQ(LoadArtFromFile(files.bmp.c_str(), files.prt.c_str(), &art), ART_OK);
    const std::pair<const char *, uint32_t> counts[] = {
        {"palettes", art.paletteCount}, {"images", art.imageCount}, {"pictures", art.picCount},
        {"frames", art.frameCount},     {"groups", art.groupCount}, {"extInfos", art.extInfoCount}};
    for (auto [table, count] : counts) {
        EXPECT_EQ(d["counts"][table], count) << table;
        ASSERT_EQ(d[table].size(), count) << table;
        for (uint32_t i = 0; i < count; ++i) EXPECT_EQ(d[table][i]["index"], i) << table;
    }
    auto rects = [&](const char *table, auto *records) {
        for (uint32_t i = 0; i < d[table].size(); ++i) {
            RECT r;
            records[i].getDrawRect(&r);
            EXPECT_EQ(
                d[table][i]["rect"],
                json({{"left", r.left}, {"top", r.top}, {"right", r.right}, {"bottom", r.bottom}}))
                << table << " " << i;
        }
    };
    rects("images", art.images);
    rects("pictures", art.pics);
    rects("frames", art.frames);
    rects("groups", art.groups);
}

TEST(Cli, DumpEqualsTheLoadedRecords) {
    const art_files s = sample_set();
    temp_dir dir;
    const std::string text = zevart("dump BMP PRT", OK, s).out;
    expect_dump_matches(s, json::parse(text));
    zevart("dump -o OUT/set.json BMP PRT", OK, s, dir.path());
    EXPECT_TRUE(read_file(dir.file("set.json")) == std::vector<uint8_t>(text.begin(), text.end()));
    EXPECT_FALSE(json::parse(text)["palettes"][0].contains("fourthBytes")) << "none set";

    const art_files odd = testing_support::save_set(dir, odd_set());
    run_result r = zevart("dump --compact BMP PRT", OK, odd);
    EXPECT_EQ(std::count(r.out.begin(), r.out.end(), '\n'), 1) << "compact is one line";
    const json d = json::parse(r.out);
    expect_dump_matches(odd, d);
    // Spot values where the odd records make a difference.
    const json flat = d.flatten(), want = R"({
      "palettes": [{"colorCount": 3, "colors": ["#FF00FF", "#0A141E", "#C86432"],
                    "fourthBytes": [0, 7, 0]}],
      "images": [{"rowBytes": 4, "height": 3, "width": 3, "type": 0, "palette": 0,
                  "blockBytes": 12, "bitsPerPixel": 8},
                 {"rowBytes": 0, "width": 33, "type": 5, "blockBytes": 16, "bitsPerPixel": 1},
                 {"rowBytes": 4, "height": -2, "blockBytes": 8}],
      "pictures": [{"x": 3, "y": 4, "image": 1}, {"x": -1, "y": -2, "image": 0},
                   {"image": 2}, {"image": null}],
      "frames": [{"picCount": 2, "firstPicture": 0}, {"picCount": 0},
                 {"picCount": 1, "firstPicture": 2}],
      "groups": [{"header": [1, 2, 3, 4, 5, 6, 7, 4294967295], "frameCount": 2,
                  "firstFrame": 0, "extInfo": 0, "appendixCount": 2,
                  "appendix": [[1, 2, 3, 4], [3735928559, 0, 2147483647, 2147483648]]},
                 {"frameCount": 1, "firstFrame": 2, "extInfo": null, "appendixCount": 0}],
      "extInfos": [{"data": [161, 162, 0, 0]}, {"data": [0, 0, 179, 180]}]})"_json.flatten();
    for (const auto &[key, value] : want.items()) EXPECT_EQ(flat.value(key, json()), value) << key;
}

TEST(Cli, ExistingFilesAreKeptWithoutForce) {
    const art_files s = sample_set();
    temp_dir out;
    const std::vector<uint8_t> mine = {'m', 'i', 'n', 'e'};
    const std::pair<const char *, const char *> cases[] = {
        {"dump -o OUT/set.json BMP PRT", "set.json"},
        {"render BMP PRT image 2 -o OUT/one.bmp", "one.bmp"},
        {"export --format bmp32 --kind image BMP PRT OUT", "image-00007.bmp"}};
    for (auto [args, name] : cases) {
        const std::string file = out.file(name);
        artgen::save_file(file, mine);
        const std::vector<std::string> before = folder(out.path());
        run_result r = zevart(args, EXISTS, s, out.path());
        EXPECT_TRUE(r.err.find(name) != npos && r.err.find("--force") != npos) << r.err;
        EXPECT_EQ(read_file(file), mine) << args;
        EXPECT_EQ(folder(out.path()), before) << args << ": nothing written";
        zevart(args + std::string(" --force"), OK, s, out.path());
        EXPECT_GT(read_file(file).size(), 58u) << args << ": replaced";
    }
    EXPECT_EQ(folder(out.path()).size(), 2 + 39u) << "no temporary files left";
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
    run_result r = zevart("export --format bmp32 BMP PRT OUT", SOME_FAILED, s, out.path());
    EXPECT_NE(r.err.find("frame 1: its draw rectangle (65695 x 65695 pixels) exceeds"), npos)
        << r.err;
    EXPECT_NE(r.err.find("group 0:"), npos) << r.err;
    EXPECT_EQ(folder(out.path()),
              (std::vector<std::string>{"frame-00000.bmp", "image-00000.bmp", "picture-00000.bmp",
                                        "picture-00001.bmp", "picture-00002.bmp"}));
    r = zevart("render BMP PRT image 0 --scale 64 -o OUT/big.bmp", SOME_FAILED, s, out.path());
    EXPECT_NE(r.err.find("scaled 64 times"), npos) << "10240 x 10240 is too large: " << r.err;
    zevart("render BMP PRT frame 1 -o OUT/huge.bmp", SOME_FAILED, s, out.path());
    EXPECT_EQ(folder(out.path()).size(), 5u) << "neither render left a file";
}

TEST(Cli, EmptyObjectsAreSkippedWithANote) {
    temp_dir dir, out;
    const art_files s = testing_support::save_set(dir, odd_set());
    run_result r = zevart("export --format bmp16 BMP PRT OUT", OK, s, out.path());
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

// Byte for byte the files the viewer's Save Object writes, for the sample
// and an image stored with rows of 3 bytes (the file's rows are whole words).
TEST(Cli, BmpFilesAreTheViewersFiles) {
    artgen::art_set rows3;
    rows3.palettes.resize(1);
    rows3.palettes[0].add(0, 0, 0);
    rows3.palettes[0].add(255, 255, 255);
    rows3.images.push_back(artgen::image8(3, 2, 0, {1, 0, 1, 0, 1, 0}, 3));
    temp_dir dir;
    const char *const kinds[] = {"", "image", "picture", "frame", "group"};
    for (const art_files &s : {sample_set(), testing_support::save_set(dir, rows3)}) {
        art_handle art;
        ASSERT_EQ(LoadArtFromFile(s.bmp.c_str(), s.prt.c_str(), &art), ART_OK);
        for (int filter = 1; filter <= 4; ++filter) {
            const char *format[] = {"bmp32", "bmp24", "bmp16", "bmp8"};
            temp_dir out, ref;
            zevart(std::string("export --format ") + format[filter - 1] + " BMP PRT OUT", OK, s,
                   out.path());
            size_t files = 0;
            for (int kind = OBJ_IMAGE; kind <= OBJ_GROUP; ++kind)
                for (uint32_t i = 0; i < object_count(&art, kind); ++i) {
                    RECT r;
                    if (!drawable_rect(&art, kind, i, &r) || r.right == r.left || r.top == r.bottom)
                        continue; // skipped: nothing to draw
                    const uint32_t frames = kind == OBJ_GROUP ? art.groups[i].frameCount : 1;
                    for (uint32_t f = 0; f < frames; ++f) {
                        char suffix[16] = "";
                        if (kind == OBJ_GROUP) std::snprintf(suffix, sizeof suffix, "-%03u", f);
                        const std::string name = stem(kinds[kind], i) + suffix + ".bmp";
                        if (!write_viewer_file(&art, kind, i, f, filter, ref.file(name).c_str()))
                            continue; // frames and groups have no block of their own
                        EXPECT_TRUE(read_file(out.file(name)) == read_file(ref.file(name)))
                            << format[filter - 1] << " " << name;
                        ++files;
                    }
                }
            EXPECT_EQ(folder(out.path()).size(), files)
                << format[filter - 1] << ": exactly the objects' files";
        }
    }
}

// The colour of an image drawn onto a 32-bit surface keeps its fourth byte;
// render's BMP is the export's bmp32 file, and enlarged it repeats its pixels.
TEST(Cli, RenderBmpIsTheExportsBmp32) {
    temp_dir dir, out;
    const art_files s = testing_support::save_set(dir, odd_set());
    zevart("export --format bmp32 --kind image --index 0 BMP PRT OUT", OK, s, out.path());
    zevart("render BMP PRT image 0 -o OUT/r.bmp", OK, s, out.path());
    zevart("render BMP PRT image 0 --scale 3 --background #FF7F00 -o OUT/big.bmp", OK, s,
           out.path());
    const std::vector<uint8_t> ref = read_file(out.file("image-00000.bmp")),
                               big = read_file(out.file("big.bmp"));
    EXPECT_TRUE(read_file(out.file("r.bmp")) == ref);
    ASSERT_TRUE(ref.size() == 58 + 3 * 3 * 4 && big.size() == 58 + 9 * 9 * 4);
    EXPECT_EQ(ref[58 + 4 * (2 * 3 + 1) + 3], 7) << "top row, pixel 1: colour 1, fourth byte 7";
    for (size_t i = 0; i < 9 * 9; ++i)
        ASSERT_EQ(std::memcmp(&big[58 + 4 * i], &ref[58 + 4 * (i / 9 / 3 * 3 + i % 9 / 3)], 4), 0)
            << "pixel (" << i % 9 << ", " << i / 9 << ") of the render scaled 3 times";
}

// "-" and the program's own standard output by its name are written to, not
// refused as existing files.
TEST(Cli, StandardOutputAsAFile) {
    const art_files s = sample_set();
    temp_dir out;
    const std::string dump = zevart("dump BMP PRT", OK, s).bytes;
    EXPECT_EQ(zevart("dump -o - BMP PRT", OK, s).bytes, dump);
    zevart("render BMP PRT frame 3 -o OUT/r.bmp", OK, s, out.path());
    const std::vector<uint8_t> bmp = read_file(out.file("r.bmp"));
    EXPECT_TRUE(zevart("render BMP PRT frame 3 -o - --format bmp", OK, s).bytes ==
                std::string(bmp.begin(), bmp.end()));
#ifndef _WIN32
    EXPECT_EQ(zevart("dump -o /dev/stdout BMP PRT", OK, s).bytes, dump);
    // Write errors on standard output fail the command.
    for (const char *line : {"info BMP PRT", "dump BMP PRT", "dump -o - BMP PRT",
                             "render BMP PRT frame 3 -o - --format bmp"})
        EXPECT_NE(zevart(line, SOME_FAILED, s, "", "/dev/full").err.find("No space left"), npos)
            << line;
#endif
    EXPECT_EQ(folder(out.path()), std::vector<std::string>{"r.bmp"}) << "no scratch files left";
}

// Numbers have at least 5 digits (4 for groups, 3 for a group's frames) and
// as many more as the table's last index needs, whatever is exported.
TEST(Cli, FileNamesGrowWithTheirTables) {
    artgen::art_set set;
    set.palettes.resize(1);
    set.palettes[0].add(0, 0, 0);
    set.palettes[0].add(255, 255, 255);
    set.images.assign(100001, artgen::image8(1, 1, 0, {1, 0, 0, 0}, 4));
    set.groups.resize(1);
    set.groups[0].frames.resize(1000);
    for (artgen::frame &f : set.groups[0].frames) f.pics = {{0, 0, 0, 0, 0}};
    temp_dir dir, out;
    const art_files s = testing_support::save_set(dir, set);
    for (const char *index : {"7", "100000"})
        zevart(std::string("export --format bmp16 --kind image --index ") + index + " BMP PRT OUT",
               OK, s, out.path());
    zevart("export --format bmp16 --kind frame --index 999 BMP PRT OUT", OK, s, out.path());
    zevart("export --format bmp16 --kind group BMP PRT OUT", OK, s, out.path());
    const std::vector<std::string> names = folder(out.path());
    ASSERT_EQ(names.size(), 3u + 1000);
    EXPECT_EQ(
        std::vector<std::string>(names.begin(), names.begin() + 3),
        (std::vector<std::string>{"frame-00999.bmp", "group-0000-000.bmp", "group-0000-001.bmp"}));
    EXPECT_EQ(
        std::vector<std::string>(names.end() - 3, names.end()),
        (std::vector<std::string>{"group-0000-999.bmp", "image-000007.bmp", "image-100000.bmp"}));
}

TEST(Cli, ArtgenMakesItsFolderAndSaysWhyItCannot) {
    temp_dir out;
    auto artgen = [&](const std::vector<std::string> &args) {
        return run_program(testing_support::host_path(ZEVART_ARTGEN), args, out.path());
    };
    run_result r = artgen({"--help"});
    EXPECT_TRUE(r.status == OK && r.out.rfind("usage: artgen", 0) == 0) << r.out;
    EXPECT_EQ(artgen({"bulk", out.file("new/set"), "3", "4", "8"}).status, OK);
    EXPECT_TRUE(fs::exists(out.file("new/set/zev_art.prt")) &&
                fs::exists(out.file("new/set/zev_art.bmp")));
    artgen::save_file(out.file("file"), {1});
    r = artgen({"sample", out.file("file/set")});
    EXPECT_TRUE(r.status == 1 && r.err.find("cannot make the folder") != npos) << r.err;
    EXPECT_EQ(artgen({"bulk", out.file("x"), "3", "0", "8"}).status, 1) << "sides from 1";
}

#ifndef _WIN32
// Ctrl-C stops an export between objects: no temporary file is left, every
// file written is whole, and --skip-existing writes the rest.
TEST(Cli, InterruptedExportResumes) {
    temp_dir dir, part, whole;
    const art_files s = testing_support::save_set(dir, artgen::make_bulk(200, 16, 48, 2));
    const std::string cli = ZEVART_CLI;
    std::vector<char *> argv;
    std::vector<std::string> args = {cli,     "export", "--jobs", "2",        "--format",
                                     "bmp24", s.bmp,    s.prt,    part.path()};
    for (std::string &a : args) argv.push_back(&a[0]);
    argv.push_back(nullptr);
    posix_spawn_file_actions_t quiet;
    posix_spawn_file_actions_init(&quiet);
    posix_spawn_file_actions_addopen(&quiet, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid;
    ASSERT_EQ(posix_spawn(&pid, cli.c_str(), &quiet, nullptr, argv.data(), environ), 0);
    posix_spawn_file_actions_destroy(&quiet);
    int status = 0;
    pid_t ended = 0;
    for (int ms = 0; ms < 60000 && folder(part.path()).size() < 20 && !ended; ++ms) {
        usleep(1000);
        ended = waitpid(pid, &status, WNOHANG);
    }
    if (!ended) {
        kill(pid, SIGINT);
        waitpid(pid, &status, 0);
    }
    EXPECT_TRUE(WIFSIGNALED(status) && WTERMSIG(status) == SIGINT) << "status " << status;
    const std::vector<std::string> first = folder(part.path());
    for (const std::string &name : first) EXPECT_EQ(name.find(".tmp"), npos) << name;

    zevart("export --jobs 2 --format bmp24 BMP PRT OUT", OK, s, whole.path());
    const std::vector<std::string> all = folder(whole.path());
    EXPECT_LT(first.size(), all.size()) << "the export stopped early";
    run_result r =
        zevart("export --skip-existing --jobs 2 --format bmp24 BMP PRT OUT", OK, s, part.path());
    EXPECT_NE(r.err.find("kept the files of"), npos) << r.err;
    ASSERT_EQ(folder(part.path()), all);
    for (const std::string &name : all)
        EXPECT_TRUE(read_file(part.file(name)) == read_file(whole.file(name))) << name;
}
#endif

#ifdef ZEVART_TEST_IMAGE_FORMATS
art_handle &sample_art() {
    static art_handle art;
    if (art.loadState != ART_LOADED) {
        EXPECT_EQ(LoadArtFromFile(sample_set().bmp.c_str(), sample_set().prt.c_str(), &art), 0);
    }
    return art;
}

// One object as the library draws it, at (-left, -top) of its rectangle: the
// reference for every picture the program writes.
struct library_picture {
    std::string name; // its file name without extension
    RECT rect;
    std::function<void(RGBQUAD *, BITMAPINFO *, int, int)> draw;

    uint32_t width() const { return uint32_t(rect.right - rect.left); }
    uint32_t height() const { return uint32_t(rect.bottom - rect.top); }
    // Over a background on a top-down surface.
    std::vector<RGBQUAD> over(RGBQUAD background) const {
        BITMAPINFO info{};
        info.bmiHeader = {40, LONG(width()), -LONG(height()), 1, 32, BI_RGB, 0, 0, 0, 0, 0};
        std::vector<RGBQUAD> px(size_t(width()) * height(), background);
        draw(px.data(), &info, -rect.left, -rect.top);
        return px;
    }
};

template <class Record> library_picture picture_of(std::string name, Record &r) {
    library_picture p{std::move(name), {}, [&r](RGBQUAD *px, BITMAPINFO *info, int x, int y) {
                          r.draw(px, info, x, y);
                      }};
    r.getDrawRect(&p.rect);
    return p;
}

// Every image, picture and frame that covers something.
std::vector<library_picture> stills(art_handle &art) {
    std::vector<library_picture> all;
    for (uint32_t i = 0; i < art.imageCount; ++i)
        all.push_back(picture_of(stem("image", i), art.images[i]));
    for (uint32_t i = 0; i < art.picCount; ++i)
        all.push_back(picture_of(stem("picture", i), art.pics[i]));
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

// A group of 510 colours, all in its first frame: no table for the whole
// group, a quantized one for that frame.
artgen::art_set many_colours() {
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
    set.groups[0].frames[0].pics = {{0, 0, 0, 0, 0}, {1, 0, 1, 16, 0}, {2, 0, 2, 0, 16}};
    set.groups[0].frames[1].pics = {{2, 0, 0, 0, 16}}; // the shadow alone: an exact table
    return set;
}

// Groups whose frames show 510 colours each: every frame's table is made by
// giflib's quantizer. The files are the same on one thread and on several,
// however the threads meet; many frames are quantized at once in each run.
TEST(CliFormats, QuantizedGifsAreTheSameOnEveryThreadCount) {
    artgen::art_set set;
    for (uint16_t p = 0; p < 2; ++p) {
        set.palettes.emplace_back();
        for (int c = 0; c < 256; ++c)
            set.palettes[p].add(uint8_t(c), uint8_t(p ? 255 - c : c / 2), uint8_t(p * 128 + c / 2));
    }
    for (uint16_t i = 0; i < 8; ++i) {
        std::vector<uint8_t> px(32 * 32);
        for (size_t k = 0; k < px.size(); ++k) px[k] = uint8_t(1 + (k * 7 + i * 31) % 255);
        set.images.push_back(artgen::image8(32, 32, i % 2, px));
    }
    set.groups.resize(24);
    for (uint16_t g = 0; g < 24; ++g)
        for (uint16_t f = 0; f < 4; ++f) {
            set.groups[g].frames.emplace_back();
            set.groups[g].frames.back().pics = {{uint16_t((g + f) % 8), 0, 0, 0, 0},
                                                {uint16_t((g + f + 1) % 8), 0, 1, 32, 0}};
        }
    temp_dir dir, one;
    const art_files s = testing_support::save_set(dir, set);
    zevart("export --jobs 1 --kind group --anim gif BMP PRT OUT", OK, s, one.path());
    const std::vector<std::string> names = folder(one.path());
    ASSERT_EQ(names.size(), 24u);
    for (int run = 0; run < 6; ++run) {
        temp_dir many;
        const std::string jobs = run % 2 ? "2" : "4";
        zevart("export --jobs " + jobs + " --kind group --anim gif BMP PRT OUT", OK, s,
               many.path());
        for (const std::string &name : names)
            ASSERT_TRUE(read_file(many.file(name)) == read_file(one.file(name)))
                << name << " differs on " << jobs << " threads (run " << run << ")";
    }
}

TEST(CliFormats, PngApngGifAndSheetsAreTheLibrarysDrawing) {
    temp_dir dir;
    for (const art_files &s : {sample_set(), testing_support::save_set(dir, many_colours())}) {
        const bool many = s.bmp.find(dir.path()) == 0;
        art_handle art;
        ASSERT_EQ(LoadArtFromFile(s.bmp.c_str(), s.prt.c_str(), &art), ART_OK);
        temp_dir out, serial;
        run_result r = zevart("export --sheet --jobs 2 BMP PRT OUT", OK, s, out.path());
        EXPECT_TRUE(r.err.empty()) << "quiet when not a terminal: " << r.err;
        std::vector<std::string> expected;
        std::string err;
        for (const library_picture &p : stills(art)) {
            expected.push_back(p.name + ".png");
            rgba_picture png;
            EXPECT_TRUE(decode_png(out.file(p.name + ".png"), png, err)) << err;
            EXPECT_EQ(png_differs(png, p), "") << p.name;
            // Indexed (colour type 3) exactly where it holds every colour.
            std::set<uint32_t> colours;
            for (size_t i = 0; i < png.px.size(); i += 4)
                colours.insert(uint32_t(png.px[i]) | png.px[i + 1] << 8 | png.px[i + 2] << 16 |
                               uint32_t(png.px[i + 3]) << 24);
            EXPECT_EQ(read_file(out.file(p.name + ".png")).at(25), colours.size() <= 256 ? 3 : 6)
                << p.name << ": " << colours.size() << " colours";
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
                EXPECT_TRUE(gf.delayCs == 15 && gf.disposal == 2 && gf.localTable == many)
                    << ref.name
                    << ": 15 cs, restore to background, one exact table for few colours";
                EXPECT_EQ(gif_differs(gf, ref, !many), "") << ref.name;

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
        zevart("export --sheet --jobs 1 BMP PRT OUT", OK, s, serial.path());
        for (const std::string &name : expected)
            EXPECT_TRUE(read_file(out.file(name)) == read_file(serial.file(name)))
                << name << ": one thread writes what two write";
    }
}

// The group animations are the export's files, checked above.
TEST(CliFormats, RenderScaleBackgroundAndFormats) {
    art_handle &art = sample_art();
    const art_files s = sample_set();
    temp_dir out;
    zevart("export --kind group BMP PRT OUT", OK, s, out.path());
    for (auto [g, ext] : {std::pair{2u, ".png"}, {0u, ".gif"}}) {
        zevart("render BMP PRT group " + std::to_string(g) + " -o OUT/r" + ext, OK, s, out.path());
        EXPECT_TRUE(read_file(out.file(std::string("r") + ext)) ==
                    read_file(out.file(stem("group", g) + ext)))
            << g << ext;
    }
    rgba_picture png;
    std::string err;
    zevart("render BMP PRT group 1 --frame 3 -o OUT/coin.png", OK, s, out.path());
    ASSERT_TRUE(decode_png(out.file("coin.png"), png, err)) << err;
    EXPECT_EQ(png_differs(png, group_frame(art, 1, 3)), "");

    zevart("render BMP PRT frame 24 --scale 3 --background #25B45A -o OUT/scene.png", OK, s,
           out.path());
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
    EXPECT_EQ(folder(out.path()).size(), 4 + 2 * art.groupCount) << "no temporary files left";
}
#endif // ZEVART_TEST_IMAGE_FORMATS

} // namespace
