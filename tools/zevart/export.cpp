// zevart export: every object of a kind, or one, into a folder, on all
// processors. Objects are independent jobs: each is drawn on surfaces of its
// own (the library's draws are reentrant on different surfaces) and written
// to files of its own, so threads share only the job counter and the
// message stream. An interrupt (Ctrl-C) stops the export between objects, so
// every file is whole and no temporary file is left; --skip-existing then
// writes the rest.
#include "apng_out.h"
#include "bmp_out.h"
#include "commands.h"
#include "gif_out.h"
#include "out_file.h"
#include "sheet.h"

#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <filesystem>
#include <mutex>
#include <new>
#include <thread>
#include <vector>

#ifdef __GLIBC__
#include <malloc.h>
#endif
#ifdef _WIN32
#include <io.h>
#define isatty _isatty
#define fileno _fileno
#else
#include <unistd.h>
#endif

namespace {

constexpr uint32_t kFailuresShown = 20;

struct job {
    kind what;
    uint32_t index;
};

std::string object_name(const job &j) {
    return std::string(kind_name(j.what)) + " " + std::to_string(j.index);
}

// Numbers of at least `least` digits, more when the table's last index needs them.
int digits_for(uint32_t count, int least) {
    int digits = 1;
    for (uint32_t n = count ? count - 1 : 0; n >= 10; n /= 10) ++digits;
    return std::max(digits, least);
}

// image-00012, group-0003, group-0003-000: numbers of one width per table, so
// names sort in table order. The widths depend on the set only, not on what
// is exported.
class namer {
public:
    explicit namer(const art_handle &art) {
        for (kind k : {kind::image, kind::picture, kind::frame, kind::group})
            width_[int(k)] = digits_for(kind_count(art, k), k == kind::group ? 4 : 5);
        uint32_t most = 0;
        for (uint32_t g = 0; g < art.groupCount; ++g)
            most = std::max(most, art.groups[g].frameCount);
        frameWidth_ = digits_for(most, 3);
    }

    std::string stem(const job &j) const {
        char text[48];
        std::snprintf(text, sizeof text, "%s-%0*u", kind_name(j.what), width_[int(j.what)],
                      j.index);
        return text;
    }

    std::string frame_suffix(uint32_t frame) const {
        char text[16];
        std::snprintf(text, sizeof text, "-%0*u", frameWidth_, frame);
        return text;
    }

private:
    int width_[4];
    int frameWidth_;
};

int bmp_depth(still_format f) {
    return f == still_format::bmp24 ? 24 : f == still_format::bmp16 ? 16 : 0;
}

// The names of the files a job writes, in the order it writes them.
std::vector<std::string> planned_files(const art_handle &art, const namer &names, const job &j,
                                       const export_options &o) {
    std::vector<std::string> files;
    const std::string base = names.stem(j);
    const bool png = o.format == still_format::png;
    if (j.what != kind::group) {
        files.push_back(base + (png ? ".png" : ".bmp"));
        return files;
    }
    if (png) {
        if (o.apng) files.push_back(base + ".png");
        if (o.gif) files.push_back(base + ".gif");
    } else {
        for (uint32_t f = 0; f < art.groups[j.index].frameCount; ++f)
            files.push_back(base + names.frame_suffix(f) + ".bmp");
    }
    if (o.sheet) {
        files.push_back(base + "-sheet.png");
        files.push_back(base + "-sheet.json");
    }
    return files;
}

// A progress line on a terminal, redrawn at most ten times a second; messages
// go above it.
class progress {
public:
    progress(bool enabled, size_t total) : enabled_(enabled), total_(total) {}

    void step() {
        size_t done = ++done_;
        if (!enabled_) return;
        std::unique_lock<std::mutex> lock(mutex_, std::try_to_lock);
        if (!lock) return;
        auto now = std::chrono::steady_clock::now();
        if (done != total_ && now - last_ < std::chrono::milliseconds(100)) return;
        last_ = now;
        draw(done);
    }

    void message(const std::string &text) {
        std::lock_guard<std::mutex> lock(mutex_);
        if (enabled_) std::fputs("\r\33[K", stderr);
        print_error(text);
        if (enabled_) draw(done_);
    }

    void finish() {
        if (enabled_) std::fputs("\n", stderr);
    }

    size_t done() const { return done_; }

private:
    void draw(size_t done) {
        std::fprintf(stderr, "\r\33[Kzevart: exported %zu of %zu objects (%zu%%)", done, total_,
                     total_ ? done * 100 / total_ : 100);
        std::fflush(stderr);
    }

    bool enabled_;
    size_t total_;
    std::atomic<size_t> done_{0};
    std::mutex mutex_;
    std::chrono::steady_clock::time_point last_{};
};

enum class outcome { written, empty, failed };

class exporter {
public:
    exporter(art_handle &art, const export_options &o, const namer &names, progress &bar)
        : art_(art), o_(o), names_(names), bar_(bar) {
        png_.level = o.level;
    }

    void run(const job &j) {
        std::string err;
        outcome result;
        try {
            result = j.what == kind::group ? export_group(j, err) : export_still(j, err);
        } catch (const std::bad_alloc &) {
            result = outcome::failed;
            err = "not enough memory";
        }
        if (result == outcome::failed) {
            const uint32_t n = ++failed_;
            if (n <= kFailuresShown) bar_.message(object_name(j) + ": " + err);
            if (n == kFailuresShown + 1) bar_.message("(further failures are counted, not shown)");
        } else if (result == outcome::empty) {
            std::lock_guard<std::mutex> lock(emptyMutex_);
            empty_.push_back(j);
        }
        bar_.step();
    }

    uint32_t failed() const { return failed_; }
    // Objects with nothing to draw, in table order.
    std::vector<job> empty() const {
        std::vector<job> e = empty_;
        std::sort(e.begin(), e.end(), [](const job &a, const job &b) {
            return a.what != b.what ? a.what < b.what : a.index < b.index;
        });
        return e;
    }

private:
    std::string path(const std::string &name) const { return o_.outdir + "/" + name; }
    // With --skip-existing, a file that is there is kept and not written.
    bool wanted(const std::string &file) const { return !o_.skipExisting || !path_taken(file); }

    outcome export_still(const job &j, std::string &err) {
        const still s = still_of(art_, j.what, j.index);
        uint32_t w, h;
        fit f = surface_fit(s.rect, 1, w, h);
        if (f == fit::empty) return outcome::empty;
        if (f == fit::too_big) {
            err = fit_problem(f, s.rect, 1);
            return outcome::failed;
        }
        const std::string file = path(planned_files(art_, names_, j, o_)[0]);
        bool ok;
        switch (o_.format) {
        case still_format::png:
            ok = write_png_file(render_transparent(art_, s), file, err);
            break;
        case still_format::bmp8:
            ok = write_viewer_bmp8(art_, s, file, o_.force, err);
            break;
        default:
            ok = write_bmp(art_, s, bmp_depth(o_.format), kViewerOrange, 1, file, o_.force, err);
            break;
        }
        return ok ? outcome::written : outcome::failed;
    }

    outcome export_group(const job &j, std::string &err) {
        const RECT rect = group_rect(art_, j.index);
        uint32_t w, h;
        fit f = surface_fit(rect, 1, w, h);
        if (f == fit::empty || art_.groups[j.index].frameCount == 0) return outcome::empty;
        if (f == fit::too_big) {
            err = fit_problem(f, rect, 1);
            return outcome::failed;
        }
        std::vector<std::string> files = planned_files(art_, names_, j, o_);
        for (std::string &f : files) f = wanted(path(f)) ? path(f) : "";
        size_t next = 0;
        group_frames frames(art_, j.index, rect, look{});
        if (o_.format == still_format::png) {
            for (bool gif : {false, true}) {
                if (!(gif ? o_.gif : o_.apng)) continue;
                const std::string &file = files[next++];
                if (!file.empty() && !write_animation(frames, file, gif, err))
                    return outcome::failed;
            }
        } else {
            const int depth = bmp_depth(o_.format);
            for (uint32_t i = 0; i < frames.count(); ++i) {
                const std::string &file = files[next++];
                if (!file.empty() && !write_bmp(art_, group_frame(art_, j.index, i, rect), depth,
                                                kViewerOrange, 1, file, o_.force, err))
                    return outcome::failed;
            }
        }
        if (o_.sheet && (!files[next].empty() || !files[next + 1].empty())) {
#ifdef ZEVART_HAVE_PNG
            const std::string pngName = planned_files(art_, names_, j, o_)[next];
            if (!write_sheet(art_, j.index, rect, frames, files[next], pngName, files[next + 1],
                             o_.force, png_, err))
                return outcome::failed;
#endif
        }
        return outcome::written;
    }

    // Encoded in memory, then written whole in one go. The buffer lives as
    // long as the thread: files come one after another.
    bool write_png_file(const rgba_image &img, const std::string &file, std::string &err) {
#ifdef ZEVART_HAVE_PNG
        thread_local std::vector<uint8_t> bytes;
        bytes.clear();
        return png_encode(img, png_, bytes, err) &&
               write_whole_file(file, bytes.data(), bytes.size(), o_.force, err);
#else
        (void)img, (void)file;
        err = "this build writes no PNG files";
        return false;
#endif
    }

    bool write_animation(frame_source &frames, const std::string &file, bool gif,
                         std::string &err) {
        (void)frames, (void)gif; // in a build that writes neither
#ifdef ZEVART_HAVE_PNG
        if (!gif) {
            thread_local std::vector<uint8_t> bytes;
            bytes.clear();
            return apng_encode(frames, kFrameDelayMs, png_, bytes, err) &&
                   write_whole_file(file, bytes.data(), bytes.size(), o_.force, err);
        }
#endif
        out_file out;
        if (!out.open(file, err)) return false;
        bool ok = false;
#ifdef ZEVART_HAVE_GIF
        ok = write_gif(out.stream(), frames, kFrameDelayMs / 10, err);
#endif
        if (!ok && err.empty()) err = "this build writes no such files";
        return ok && out.commit(o_.force, err);
    }

    art_handle &art_;
    const export_options &o_;
    const namer &names_;
    progress &bar_;
    png_settings png_;
    std::atomic<uint32_t> failed_{0};
    std::mutex emptyMutex_;
    std::vector<job> empty_;
};

// The jobs of the export; with --skip-existing, those whose files all exist
// are left out (`kept` counts them).
std::vector<job> plan_jobs(const art_handle &art, const namer &names, const export_options &o,
                           size_t &kept) {
    std::vector<job> jobs;
    kept = 0;
    auto add = [&](const job &j) {
        if (o.skipExisting) {
            bool missing = false;
            for (const std::string &name : planned_files(art, names, j, o))
                missing = missing || !path_taken(o.outdir + "/" + name);
            if (!missing) {
                ++kept;
                return;
            }
        }
        jobs.push_back(j);
    };
    if (o.oneIndex) {
        add({o.only, o.index});
        return jobs;
    }
    for (kind k : {kind::image, kind::picture, kind::frame, kind::group}) {
        if (!o.allKinds && k != o.only) continue;
        // An 8-bit file holds an image's own pixels: frames and groups have none.
        if (o.format == still_format::bmp8 && (k == kind::frame || k == kind::group)) continue;
        for (uint32_t i = 0; i < kind_count(art, k); ++i) add({k, i});
    }
    return jobs;
}

// Files that are already there, unless --force: the export writes nothing.
bool refuse_existing(const art_handle &art, const namer &names, const std::vector<job> &jobs,
                     const export_options &o) {
    // An empty folder holds none of them: one look instead of one per name.
    // (A file that appears meanwhile is still refused, by the final link.)
    std::error_code ec;
    if (std::filesystem::is_empty(std::filesystem::path(o.outdir), ec) && !ec) return false;
    std::vector<std::string> taken;
    size_t count = 0;
    for (const job &j : jobs)
        for (const std::string &name : planned_files(art, names, j, o))
            if (path_taken(o.outdir + "/" + name) && ++count <= 3) taken.push_back(name);
    if (!count) return false;
    std::string list;
    for (const std::string &name : taken) list += (list.empty() ? "" : ", ") + name;
    if (count > taken.size()) list += " and " + std::to_string(count - taken.size()) + " more";
    print_error("not replacing existing files in " + o.outdir + ": " + list +
                " (use --force to replace them, or --skip-existing to keep them); nothing "
                "written");
    return true;
}

// The signal that asked the export to stop, or 0.
volatile std::sig_atomic_t g_stopSignal = 0;

extern "C" void on_stop_signal(int sig) {
    g_stopSignal = sig;
    std::signal(sig, SIG_DFL); // a second one ends the program at once
}

// Catches the interrupt and termination signals while the workers run; a
// second signal ends the program at once, as without the export.
class stop_signals {
public:
    stop_signals() {
        for (int sig : kSignals) std::signal(sig, on_stop_signal);
    }
    ~stop_signals() {
        for (int sig : kSignals) std::signal(sig, SIG_DFL);
    }

private:
    static constexpr int kSignals[] = {SIGINT, SIGTERM};
};

void report_empty(const std::vector<job> &empty) {
    if (empty.empty()) return;
    std::string list;
    for (size_t i = 0; i < empty.size() && i < 8; ++i)
        list += (i ? ", " : "") + object_name(empty[i]);
    if (empty.size() > 8) list += " and " + std::to_string(empty.size() - 8) + " more";
    print_error("skipped " + std::to_string(empty.size()) +
                " object(s) with nothing to draw (empty draw rectangle): " + list);
}

} // namespace

int run_export(const export_options &o) {
    art_handle art;
    if (!load_or_explain(o.bmp.c_str(), o.prt.c_str(), art)) return EXIT_LOAD;
    if (o.oneIndex && o.index >= kind_count(art, o.only)) {
        const uint32_t n = kind_count(art, o.only);
        print_error("there is no " + std::string(kind_name(o.only)) + " " +
                    std::to_string(o.index) + ": the set has " + std::to_string(n) + " " +
                    kind_name(o.only) + (n == 1 ? "" : "s") +
                    (n ? " (0.." + std::to_string(n - 1) + ")" : ""));
        return EXIT_USAGE;
    }
    const namer names(art);
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(o.outdir), ec);
    if (ec) {
        print_error("cannot make the folder " + o.outdir + ": " + ec.message());
        return EXIT_SOME_FAILED;
    }
    size_t kept = 0;
    const std::vector<job> jobs = plan_jobs(art, names, o, kept);
    if (!o.force && !o.skipExisting && refuse_existing(art, names, jobs, o)) return EXIT_EXISTS;

#ifdef __GLIBC__
    // Pictures of a few hundred kilobytes come and go by the thousand. By
    // default glibc maps each one on its own and hands freed memory back at
    // once, and every unmapping stops the other threads' processors to flush
    // their address caches: a third of the export's time went there.
    mallopt(M_MMAP_THRESHOLD, 32 << 20);
    mallopt(M_TRIM_THRESHOLD, 256 << 20);
#endif
    unsigned threads = o.jobs ? o.jobs : std::max(1u, std::thread::hardware_concurrency());
    threads = unsigned(std::min<size_t>(threads, std::max<size_t>(jobs.size(), 1)));
    progress bar(!o.quiet && isatty(fileno(stderr)), jobs.size());
    exporter worker(art, o, names, bar);
    std::atomic<size_t> next{0};
    auto work = [&] {
        for (size_t i; !g_stopSignal && (i = next++) < jobs.size();) worker.run(jobs[i]);
    };
    {
        stop_signals catching;
        std::vector<std::thread> pool;
        for (unsigned t = 1; t < threads; ++t) pool.emplace_back(work);
        work();
        for (std::thread &t : pool) t.join();
    }
    bar.finish();

    if (const int sig = g_stopSignal) {
        print_error("interrupted: " + std::to_string(bar.done()) + " of " +
                    std::to_string(jobs.size()) +
                    " objects exported, each file whole; export again with --skip-existing to "
                    "write the rest");
        std::raise(sig); // ends as the signal would have
        return 128 + sig;
    }
    if (!o.quiet) {
        report_empty(worker.empty());
        if (kept)
            print_error("kept the files of " + std::to_string(kept) +
                        " object(s) that were there already");
    }
    if (worker.failed()) {
        print_error(std::to_string(worker.failed()) + " of " + std::to_string(jobs.size()) +
                    " objects could not be exported; the others were");
        return EXIT_SOME_FAILED;
    }
    return EXIT_OK;
}
