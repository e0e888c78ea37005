// zevart render: one object into one file, over a chosen background and
// enlarged if asked. A group becomes an animation, or one of its frames. A
// BMP is made as export's bmp32 files are, over the background asked for.
#include "apng_out.h"
#include "bmp_out.h"
#include "commands.h"
#include "gif_out.h"
#include "out_file.h"

#include <new>

namespace {

// A PNG or GIF; a group (without --frame) is an animation even when it has
// one frame.
bool write_file(frame_source &frames, bool animated, const render_options &o, std::string &err,
                bool &existed) {
    existed = false;
    out_file out;
    if (!out.open(o.output, err)) return false;
    bool ok = false;
    (void)frames, (void)animated; // in a build without PNG or GIF
    if (o.format == render_format::png) {
#ifdef ZEVART_HAVE_PNG
        if (animated) {
            ok = write_apng(out.stream(), frames, kFrameDelayMs, png_settings{}, err);
        } else {
            std::vector<uint8_t> bytes;
            ok = png_encode(frames.frame(0), png_settings{}, bytes, err);
            out.write(bytes.data(), bytes.size());
        }
#endif
    } else {
#ifdef ZEVART_HAVE_GIF
        ok = write_gif(out.stream(), frames, kFrameDelayMs / 10, err);
#endif
    }
    if (!ok) {
        if (err.empty()) err = "this build cannot write that format";
        return false;
    }
    if (out.commit(o.force, err)) return true;
    existed = out.target_existed();
    return false;
}

} // namespace

int run_render(const render_options &o) {
    art_handle art;
    if (!load_or_explain(o.bmp.c_str(), o.prt.c_str(), art)) return EXIT_LOAD;
    const uint32_t count = kind_count(art, o.what);
    if (o.index >= count) {
        print_error("there is no " + std::string(kind_name(o.what)) + " " +
                    std::to_string(o.index) + ": the set has " + std::to_string(count) + " " +
                    kind_name(o.what) + (count == 1 ? "" : "s"));
        return EXIT_USAGE;
    }
    if (o.what == kind::group && o.oneFrame && o.frame >= art.groups[o.index].frameCount) {
        print_error("group " + std::to_string(o.index) + " has no frame " +
                    std::to_string(o.frame) + ": it has " +
                    std::to_string(art.groups[o.index].frameCount));
        return EXIT_USAGE;
    }
    if (!o.force && !writes_in_place(o.output) && path_taken(o.output)) {
        print_error(o.output + " exists (use --force to replace it)");
        return EXIT_EXISTS;
    }

    const std::string what = std::string(kind_name(o.what)) + " " + std::to_string(o.index);
    RECT rect =
        o.what == kind::group ? group_rect(art, o.index) : still_of(art, o.what, o.index).rect;
    uint32_t w, h;
    fit f = surface_fit(rect, o.how.scale, w, h);
    if (o.what == kind::group && art.groups[o.index].frameCount == 0) f = fit::empty;
    if (f != fit::ok) {
        print_error(what + ": " + fit_problem(f, rect, o.how.scale));
        return EXIT_SOME_FAILED;
    }
    std::string err;
    bool existed = false, ok;
    try {
        if (o.what == kind::group && !o.oneFrame) {
            group_frames frames(art, o.index, rect, o.how);
            ok = write_file(frames, true, o, err, existed);
        } else {
            still s = o.what == kind::group ? group_frame(art, o.index, o.frame, rect)
                                            : still_of(art, o.what, o.index);
            if (o.format == render_format::bmp) {
                ok = write_bmp(art, s, 0, o.how.background, o.how.scale, o.output, o.force, err);
            } else {
                single_frame frame(render_still(art, s, o.how));
                ok = write_file(frame, false, o, err, existed);
            }
        }
    } catch (const std::bad_alloc &) {
        ok = false;
        err = "not enough memory";
    }
    if (ok) return EXIT_OK;
    print_error(what + ": " + err);
    return existed ? EXIT_EXISTS : EXIT_SOME_FAILED;
}
