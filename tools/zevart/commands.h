// The four commands of the zevart tool, each run from its parsed options and
// returning the exit status.
#pragma once

#include "render.h"

#include <string>

struct info_options {
    std::string bmp, prt;
    bool allGroups = false; // list every group, however many
};
int run_info(const info_options &o);

struct dump_options {
    std::string bmp, prt;
    std::string output = "-"; // "-": standard output
    bool force = false;
    bool compact = false;
};
int run_dump(const dump_options &o);

enum class still_format { png, bmp32, bmp24, bmp16, bmp8 };

struct export_options {
    std::string bmp, prt, outdir;
    bool allKinds = true;
    kind only = kind::image;
    bool oneIndex = false;
    uint32_t index = 0;
    still_format format = still_format::png;
    bool gif = true, apng = true; // group animations (PNG format)
    bool sheet = false;
    bool force = false;
    bool skipExisting = false; // write only the files that are missing
    bool quiet = false;
    unsigned jobs = 0; // 0: one per processor
    int level = 1;     // zlib level of PNG output
};
int run_export(const export_options &o);

enum class render_format { png, gif, bmp };

struct render_options {
    std::string bmp, prt, output;              // output "-": standard output
    render_format format = render_format::png; // --format, or the output's extension
    kind what = kind::image;
    uint32_t index = 0;
    bool oneFrame = false; // of a group
    uint32_t frame = 0;
    bool backgroundGiven = false;
    look how;
    bool force = false;
};
int run_render(const render_options &o);

// Whether this build writes PNG, GIF and APNG files.
bool have_png();
bool have_gif();
