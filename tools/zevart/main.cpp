// zevart: inspect art sets and export their objects as ordinary images.
// This file reads the command line and hands over to the command.
#include "args.h"
#include "commands.h"
#ifdef ZEVART_HAVE_PNG
#include "modding.h"
#endif

#include <cstdio>
#include <cstring>
#include <functional>

namespace {

const char kUsage[] = "usage: zevart COMMAND [OPTIONS] ...\n"
                      "\n"
                      "  zevart info BMP PRT              what the art set holds\n"
                      "  zevart dump BMP PRT              its whole structure as JSON\n"
                      "  zevart export BMP PRT OUTDIR     objects as image files\n"
                      "  zevart render BMP PRT KIND INDEX -o FILE   one object\n"
                      "  zevart unpack BMP PRT DIR        every record into editable files\n"
                      "  zevart pack DIR BMP PRT          such a folder back into an art set\n"
                      "\n"
                      "BMP is the bitmap file (zev_art.bmp), PRT the art-structure file\n"
                      "(zev_art.prt). 'zevart help COMMAND' (or 'zevart COMMAND --help') tells\n"
                      "more; -V, --version the version.\n"
                      "Exit status: 0 done, 1 bad usage, 2 the art set cannot be loaded,\n"
                      "3 some objects could not be written, 4 an output file exists.\n";

const char kInfoHelp[] = "usage: zevart info [--all] BMP PRT\n"
                         "\n"
                         "Counts of every table, palette sizes, image types with their sizes and\n"
                         "the groups with their frame counts and draw rectangles.\n"
                         "\n"
                         "  --all     list every group, also when there are more than 20\n";

const char kDumpHelp[] = "usage: zevart dump [-o FILE] [--force] [--compact] BMP PRT\n"
                         "\n"
                         "The whole structure as JSON: every palette, image, picture, frame,\n"
                         "group and extended-info record with its fields, draw rectangle and the\n"
                         "indexes of the records it refers to.\n"
                         "\n"
                         "  -o, --output FILE  write to FILE instead of standard output (- is\n"
                         "                     standard output)\n"
                         "  -f, --force        replace FILE if it exists\n"
                         "  --compact          one line, no indentation\n";

const char kExportHelp[] =
    "usage: zevart export [OPTIONS] BMP PRT OUTDIR\n"
    "\n"
    "Writes every object (or one) into OUTDIR, made if missing, with names such as\n"
    "image-00012.png, picture-00004.png, frame-00007.png and group-0003.gif (more\n"
    "digits when a table needs them).\n"
    "\n"
    "  --kind KIND        image, picture, frame or group (default: all four)\n"
    "  --index N          only object N of that kind (needs --kind)\n"
    "  --format F         png (default where built with libpng): RGBA, transparent\n"
    "                     where nothing is drawn, shadows translucent black; groups\n"
    "                     as animations (see --anim).\n"
    "                     bmp32, bmp24, bmp16: as the viewer saves them (orange\n"
    "                     background); a group gives one file per frame,\n"
    "                     group-0003-000.bmp, all in the group's rectangle.\n"
    "                     bmp8: the image's own pixels and palette (images and\n"
    "                     pictures only)\n"
    "  --anim A           group animations with --format png: both (default), apng\n"
    "                     (group-0003.png) or gif (group-0003.gif); 150 ms a frame\n"
    "  --sheet            also a sprite sheet of every group: group-0003-sheet.png\n"
    "                     and group-0003-sheet.json\n"
    "  --level N          PNG compression, 0 (none) to 9 (smallest); default 1\n"
    "  -j, --jobs N       threads (default: one per processor)\n"
    "  -f, --force        replace existing files (otherwise nothing is written when\n"
    "                     any file to be written exists)\n"
    "  --skip-existing    write only the files that are missing, keeping those\n"
    "                     there (to finish an interrupted export)\n"
    "  -q, --quiet        no progress line and no notes\n";

const char kRenderHelp[] =
    "usage: zevart render [OPTIONS] BMP PRT KIND INDEX -o FILE\n"
    "\n"
    "Draws one object (KIND: image, picture, frame or group) into FILE. Its\n"
    "extension chooses the format: .png (a group: animated PNG), .gif (a group:\n"
    "animated GIF) or .bmp (32-bit; one picture, so a group needs --frame).\n"
    "\n"
    "  -o, --output FILE   the output file; - is standard output (needs --format)\n"
    "  --format F          png, gif or bmp, for a FILE without that extension\n"
    "  --background COLOR  #RRGGBB or transparent (default: transparent; for\n"
    "                      .bmp the viewer's orange, #FF7F00)\n"
    "  --scale N           enlarge N times, nearest neighbour (1 to 64)\n"
    "  --frame F           of a group, only frame F, in the group's rectangle\n"
    "  -f, --force         replace FILE if it exists\n";

const char kUnpackHelp[] =
    "usage: zevart unpack [--force] BMP PRT DIR\n"
    "\n"
    "Writes the whole art set into DIR (made if missing) as files to edit:\n"
    "images/image-00012.png (indexed, the image's own palette, index 0\n"
    "transparent; 1-bit for shadow masks), palettes/palette-002.gpl (GIMP\n"
    "palettes), set.json (palettes, images, groups, frames and pictures) and\n"
    "raw/ (what the two files hold besides, so that pack gives them back\n"
    "byte for byte). See docs/modding.md.\n"
    "\n"
    "  --force     replace files that exist (otherwise nothing is written)\n";

const char kPackHelp[] =
    "usage: zevart pack [OPTIONS] DIR BMP PRT\n"
    "       zevart pack --check DIR\n"
    "\n"
    "Builds the bitmap file BMP and the art-structure file PRT from a folder\n"
    "that unpack wrote (and you edited), or from a set.json and PNGs of your\n"
    "own. Both files are written together or neither; any error names the file\n"
    "or the place in set.json at fault. See docs/modding.md.\n"
    "\n"
    "  --check          only check that DIR packs into a set that loads\n"
    "  --remap nearest  PNG colours not in the image's palette take the nearest\n"
    "                   palette colour (otherwise they are an error)\n"
    "  --force          replace BMP and PRT if they exist\n";

int usage_error(const char *command, const std::string &message) {
    print_error(message);
    std::fprintf(stderr, "Try 'zevart %s --help'.\n", command);
    return EXIT_USAGE;
}

// -h or --help anywhere before "--" shows the command's help, whatever else
// the line holds.
bool wants_help(int argc, char **argv) {
    for (int i = 2; i < argc; ++i) {
        if (std::strcmp(argv[i], "--") == 0) return false;
        if (std::strcmp(argv[i], "--help") == 0 || std::strcmp(argv[i], "-h") == 0) return true;
    }
    return false;
}

bool parse_colour(const std::string &text, look &how) {
    if (text == "transparent") {
        how.transparent = true;
        return true;
    }
    std::string hex = !text.empty() && text[0] == '#' ? text.substr(1) : text;
    if (hex.size() != 6 || hex.find_first_not_of("0123456789abcdefABCDEF") != std::string::npos)
        return false;
    unsigned long v = std::stoul(hex, nullptr, 16);
    how.transparent = false;
    how.background = {BYTE(v), BYTE(v >> 8), BYTE(v >> 16), 0};
    return true;
}

bool ends_with(std::string text, const char *suffix) {
    for (char &c : text) c = char(std::tolower(static_cast<unsigned char>(c)));
    size_t n = std::strlen(suffix);
    return text.size() >= n && text.compare(text.size() - n, n, suffix) == 0;
}

int info_command(const parsed_args &a) {
    if (a.positional.size() != 2) return usage_error("info", "info needs BMP and PRT");
    info_options o;
    o.bmp = a.positional[0], o.prt = a.positional[1], o.allGroups = a.has("--all");
    return run_info(o);
}

int dump_command(const parsed_args &a) {
    if (a.positional.size() != 2) return usage_error("dump", "dump needs BMP and PRT");
    dump_options o;
    o.bmp = a.positional[0], o.prt = a.positional[1];
    if (a.has("--output")) o.output = a.value("--output");
    o.force = a.has("--force");
    o.compact = a.has("--compact");
    return run_dump(o);
}

int export_command(const parsed_args &a) {
    if (a.positional.size() != 3) return usage_error("export", "export needs BMP, PRT and OUTDIR");
    export_options o;
    o.bmp = a.positional[0], o.prt = a.positional[1], o.outdir = a.positional[2];
    if (a.has("--kind")) {
        if (!parse_kind(a.value("--kind"), o.only))
            return usage_error("export", "unknown kind '" + a.value("--kind") + "'");
        o.allKinds = false;
    }
    if (a.has("--index")) {
        if (o.allKinds) return usage_error("export", "--index needs --kind");
        if (!parse_number(a.value("--index"), UINT32_MAX, o.index))
            return usage_error("export",
                               "--index needs a number, not '" + a.value("--index") + "'");
        o.oneIndex = true;
    }
    const std::string format = a.has("--format") ? a.value("--format")
                               : have_png()      ? "png"
                                                 : "bmp32";
    const std::pair<const char *, still_format> formats[] = {{"png", still_format::png},
                                                             {"bmp32", still_format::bmp32},
                                                             {"bmp24", still_format::bmp24},
                                                             {"bmp16", still_format::bmp16},
                                                             {"bmp8", still_format::bmp8}};
    bool known = false;
    for (auto &[name, f] : formats)
        if (format == name) o.format = f, known = true;
    if (!known) return usage_error("export", "unknown format '" + format + "'");
    if (o.format == still_format::png && !have_png())
        return usage_error("export", "this build writes no PNG files; use --format bmp32, bmp24, "
                                     "bmp16 or bmp8");
    if (o.format == still_format::bmp8 && !o.allKinds &&
        (o.only == kind::frame || o.only == kind::group))
        return usage_error("export", "bmp8 holds an image's own pixels: only images and pictures");
    const bool groups = o.allKinds || o.only == kind::group;
    if (a.has("--anim")) {
        const std::string &anim = a.value("--anim");
        if (anim != "both" && anim != "apng" && anim != "gif")
            return usage_error("export", "--anim is both, apng or gif, not '" + anim + "'");
        if (o.format != still_format::png)
            return usage_error("export", "--anim chooses the animations of --format png; " +
                                             format + " writes a group as one file per frame");
        if (!groups) return usage_error("export", "--anim is for groups");
        o.apng = anim != "gif";
        o.gif = anim != "apng";
    }
    if (o.format == still_format::png && o.gif && !have_gif()) {
        if (a.has("--anim") && !o.apng)
            return usage_error("export", "this build writes no GIF files");
        o.gif = false;
    }
    o.sheet = a.has("--sheet");
    if (o.sheet && !have_png()) return usage_error("export", "this build writes no PNG files");
    if (o.sheet && !groups) return usage_error("export", "--sheet is for groups");
    if (o.sheet && o.format == still_format::bmp8)
        return usage_error("export", "--sheet is for groups, which bmp8 leaves out");
    uint32_t n = 1;
    if (a.has("--level")) {
        if (!parse_number(a.value("--level"), 9, n))
            return usage_error("export", "--level is a number from 0 to 9");
        const bool pngs = o.sheet || (o.format == still_format::png &&
                                      (o.allKinds || o.only != kind::group || o.apng));
        if (!pngs)
            return usage_error("export", "--level sets PNG compression, and this export writes "
                                         "no PNG file");
    }
    o.level = a.has("--level") ? int(n) : 1;
    if (a.has("--jobs")) {
        if (!parse_number(a.value("--jobs"), 256, n) || n == 0)
            return usage_error("export", "--jobs is a number from 1 to 256");
        o.jobs = n;
    }
    o.force = a.has("--force");
    o.skipExisting = a.has("--skip-existing");
    if (o.force && o.skipExisting)
        return usage_error("export", "--force replaces existing files, --skip-existing keeps "
                                     "them: give one of them");
    o.quiet = a.has("--quiet");
    return run_export(o);
}

int render_command(const parsed_args &a) {
    if (a.positional.size() != 4)
        return usage_error("render", "render needs BMP, PRT, KIND and INDEX");
    render_options o;
    o.bmp = a.positional[0], o.prt = a.positional[1];
    if (!parse_kind(a.positional[2], o.what))
        return usage_error("render", "unknown kind '" + a.positional[2] + "'");
    if (!parse_number(a.positional[3], UINT32_MAX, o.index))
        return usage_error("render", "INDEX must be a number, not '" + a.positional[3] + "'");
    if (!a.has("--output")) return usage_error("render", "render needs -o FILE");
    o.output = a.value("--output");
    const std::pair<const char *, render_format> formats[] = {
        {"png", render_format::png}, {"gif", render_format::gif}, {"bmp", render_format::bmp}};
    const char *named = nullptr; // the format the FILE's extension names
    for (auto &[name, f] : formats)
        if (ends_with(o.output, (std::string(".") + name).c_str())) named = name, o.format = f;
    if (a.has("--format")) {
        const std::string &format = a.value("--format");
        bool known = false;
        for (auto &[name, f] : formats)
            if (format == name) known = true, o.format = f;
        if (!known)
            return usage_error("render", "--format is png, gif or bmp, not '" + format + "'");
        if (named && format != named)
            return usage_error("render", "FILE ends in ." + std::string(named) +
                                             " but --format is " + format);
    } else if (!named) {
        return usage_error(
            "render", o.output == "-" ? "standard output needs --format png, gif or bmp"
                                      : "FILE must end in .png, .gif or .bmp (or give --format)");
    }
    if ((o.format == render_format::png && !have_png()) ||
        (o.format == render_format::gif && !have_gif()))
        return usage_error("render", std::string("this build writes no ") +
                                         (o.format == render_format::png ? "PNG" : "GIF") +
                                         " files; use .bmp");
    if (a.has("--frame")) {
        if (o.what != kind::group) return usage_error("render", "--frame is for groups");
        if (!parse_number(a.value("--frame"), UINT32_MAX, o.frame))
            return usage_error("render", "--frame needs a number");
        o.oneFrame = true;
    }
    if (o.format == render_format::bmp && o.what == kind::group && !o.oneFrame)
        return usage_error("render", "a BMP holds one picture: choose a frame with --frame F");
    if (o.format == render_format::bmp) o.how = look{false, kViewerOrange, 1};
    if (a.has("--background") && !parse_colour(a.value("--background"), o.how))
        return usage_error("render", "--background is #RRGGBB or transparent");
    if (o.format == render_format::bmp && o.how.transparent)
        return usage_error("render", "a BMP has no transparency; give --background #RRGGBB");
    if (a.has("--scale") && (!parse_number(a.value("--scale"), 64, o.how.scale) || !o.how.scale))
        return usage_error("render", "--scale is a number from 1 to 64");
    o.force = a.has("--force");
    return run_render(o);
}

#ifdef ZEVART_HAVE_PNG
int unpack_command(const parsed_args &a) {
    if (a.positional.size() != 3) return usage_error("unpack", "unpack needs BMP, PRT and DIR");
    unpack_options o;
    o.bmp = a.positional[0], o.prt = a.positional[1], o.dir = a.positional[2];
    o.force = a.has("--force");
    return run_unpack(o);
}

int pack_command(const parsed_args &a) {
    pack_options o;
    o.check = a.has("--check");
    if (o.check ? a.positional.size() != 1 : a.positional.size() != 3)
        return usage_error("pack",
                           o.check ? "pack --check needs DIR" : "pack needs DIR, BMP and PRT");
    o.dir = a.positional[0];
    if (!o.check) {
        o.bmp = a.positional[1], o.prt = a.positional[2];
        if (o.bmp == o.prt) return usage_error("pack", "BMP and PRT must be two files");
    }
    if (a.has("--remap")) {
        if (a.value("--remap") != "nearest")
            return usage_error("pack", "--remap takes 'nearest', not '" + a.value("--remap") + "'");
        o.settings.remapNearest = true;
    }
    o.force = a.has("--force");
    return run_pack(o);
}
#endif

struct command {
    const char *name;
    const char *help;
    std::vector<option_rule> options;
    std::function<int(const parsed_args &)> run;
};

} // namespace

bool have_png() {
#ifdef ZEVART_HAVE_PNG
    return true;
#else
    return false;
#endif
}

bool have_gif() {
#ifdef ZEVART_HAVE_GIF
    return true;
#else
    return false;
#endif
}

int main(int argc, char **argv) {
    const command commands[] = {
        {"info", kInfoHelp, {{"--all", false}}, info_command},
        {"dump",
         kDumpHelp,
         {{"--output", true, 'o'}, {"--force", false, 'f'}, {"--compact", false}},
         dump_command},
        {"export",
         kExportHelp,
         {{"--kind", true},
          {"--index", true},
          {"--format", true},
          {"--anim", true},
          {"--sheet", false},
          {"--level", true},
          {"--jobs", true, 'j'},
          {"--force", false, 'f'},
          {"--skip-existing", false},
          {"--quiet", false, 'q'}},
         export_command},
        {"render",
         kRenderHelp,
         {{"--output", true, 'o'},
          {"--format", true},
          {"--background", true},
          {"--scale", true},
          {"--frame", true},
          {"--force", false, 'f'}},
         render_command},
#ifdef ZEVART_HAVE_PNG
        {"unpack", kUnpackHelp, {{"--force", false}}, unpack_command},
        {"pack",
         kPackHelp,
         {{"--check", false}, {"--remap", true}, {"--force", false}},
         pack_command},
#endif
    };
    std::string first = argc > 1 ? argv[1] : "";
    if (first == "--version" || first == "-V") {
        std::printf("zevart %s (writes%s%s bmp json)\n", ZEVART_VERSION,
                    have_png() ? " png apng" : "", have_gif() ? " gif" : "");
        return EXIT_OK;
    }
    const bool helpWord = first == "help";
    if (first == "--help" || first == "-h" || (helpWord && argc == 2)) {
        std::fputs(kUsage, stdout);
        return EXIT_OK;
    }
    if (helpWord) {
        if (argc > 3) {
            print_error("help takes one command");
            return EXIT_USAGE;
        }
        first = argv[2];
    }
    for (const command &c : commands) {
        if (first != c.name) continue;
        if (helpWord || wants_help(argc, argv)) {
            std::fputs(c.help, stdout);
            return EXIT_OK;
        }
        parsed_args a;
        std::string err;
        if (!parse_args(argc, argv, 2, c.options, a, err)) return usage_error(c.name, err);
        return c.run(a);
    }
    std::fputs(kUsage, stderr);
    if (!first.empty()) print_error("unknown command '" + first + "'");
    return EXIT_USAGE;
}
