// The unpack and pack commands: reading and writing files around
// unpack_set and pack_set. A folder is written whole or not at all, and
// pack writes its two files together or neither.
#include "cli.h"
#include "modding.h"
#include "out_file.h"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <filesystem>

#ifdef _WIN32
#include <process.h>
#define getpid _getpid
#else
#include <unistd.h>
#endif

namespace {

bool read_whole(const std::string &path, std::vector<uint8_t> &bytes, std::string &why) {
    FILE *f = std::fopen(path.c_str(), "rb");
    if (!f) {
        why = std::strerror(errno);
        return false;
    }
    bytes.clear();
    uint8_t buf[1 << 16];
    size_t n;
    while ((n = std::fread(buf, 1, sizeof buf, f)) > 0) bytes.insert(bytes.end(), buf, buf + n);
    bool ok = !std::ferror(f);
    if (!ok) why = std::strerror(errno ? errno : EIO);
    std::fclose(f);
    return ok;
}

// Up to three of the taken names, as "a, b, c and 7 more".
std::string taken_list(const std::vector<std::string> &taken) {
    std::string s;
    for (size_t i = 0; i < taken.size() && i < 3; ++i) s += (i ? ", " : "") + taken[i];
    if (taken.size() > 3) s += " and " + std::to_string(taken.size() - 3) + " more";
    return s;
}

} // namespace

int run_unpack(const unpack_options &o) {
    {
        art_handle art;
        if (!load_or_explain(o.bmp.c_str(), o.prt.c_str(), art)) return EXIT_LOAD;
    }
    std::vector<uint8_t> bmp, prt;
    std::string why, err;
    if (!read_whole(o.bmp, bmp, why) || !read_whole(o.prt, prt, why)) {
        print_error("cannot read the art set: " + why);
        return EXIT_LOAD;
    }
    std::vector<folder_file> files;
    if (!unpack_set(bmp, prt, files, err)) {
        print_error(err);
        return EXIT_LOAD;
    }
    if (!o.force) {
        std::vector<std::string> taken;
        for (const folder_file &f : files)
            if (path_taken(o.dir + "/" + f.path)) taken.push_back(f.path);
        if (!taken.empty()) {
            print_error("in " + o.dir + ", " + taken_list(taken) +
                        " exist; nothing written (use --force to replace them)");
            return EXIT_EXISTS;
        }
    }
    std::error_code ec;
    for (const char *sub : {"", "/images", "/palettes", "/raw"})
        std::filesystem::create_directories(std::filesystem::path(o.dir + sub), ec);
    std::vector<std::string> written;
    size_t pngs = 0;
    for (const folder_file &f : files) {
        const std::string path = o.dir + "/" + f.path;
        out_file out;
        bool ok = out.open(path, err);
        if (ok) out.write(f.bytes.data(), f.bytes.size());
        if (!ok || !out.commit(o.force, err)) {
            for (const std::string &w : written) std::remove(w.c_str());
            print_error(err + "; nothing kept");
            return out.target_existed() ? EXIT_EXISTS : EXIT_SOME_FAILED;
        }
        written.push_back(path);
        pngs += f.path.rfind("images/", 0) == 0;
    }
    std::printf("%s: %zu files (%zu image PNGs) and %s\n", o.dir.c_str(), files.size(), pngs,
                kManifestName);
    return EXIT_OK;
}

int run_pack(const pack_options &o) {
    const folder_reader read = [&](const std::string &path, std::vector<uint8_t> &bytes,
                                   std::string &why) {
        return read_whole(o.dir + "/" + path, bytes, why);
    };
    pack_result r;
    std::string err;
    if (!pack_set(read, o.settings, r, err)) {
        print_error(err + (o.check ? "" : "; nothing written"));
        return EXIT_LOAD;
    }
    if (r.remapped)
        std::printf("%llu pixels moved to the nearest palette colour\n",
                    static_cast<unsigned long long>(r.remapped));
    if (o.check) {
        std::printf("%s packs into a set that loads (%zu + %zu bytes)%s\n", o.dir.c_str(),
                    r.bmp.size(), r.prt.size(),
                    r.laidOut ? "; its pixel blocks are laid out anew" : "");
        return EXIT_OK;
    }
    struct target {
        const std::string &path;
        const std::vector<uint8_t> &bytes;
        out_file file;
        std::string backup;
        bool committed = false;
    } targets[2] = {{o.bmp, r.bmp, {}, {}, false}, {o.prt, r.prt, {}, {}, false}};
    if (!o.force) {
        std::vector<std::string> taken;
        for (target &t : targets)
            if (path_taken(t.path)) taken.push_back(t.path);
        if (!taken.empty()) {
            print_error(taken_list(taken) + " exist" + (taken.size() == 1 ? "s" : "") +
                        "; nothing written (use --force to replace)");
            return EXIT_EXISTS;
        }
    }
    for (target &t : targets) {
        if (!t.file.open(t.path, err)) {
            print_error(err + "; nothing written");
            return EXIT_SOME_FAILED;
        }
        t.file.write(t.bytes.data(), t.bytes.size());
    }
    // Together or neither: old files step aside until both new ones have
    // their names, and come back if either fails.
    auto undo = [&] {
        for (target &t : targets) {
            if (t.committed) std::remove(t.path.c_str());
            if (!t.backup.empty()) std::rename(t.backup.c_str(), t.path.c_str());
        }
    };
    for (target &t : targets) {
        if (o.force && path_taken(t.path)) {
            std::string backup = t.path + "." + std::to_string(getpid()) + ".old";
            if (std::rename(t.path.c_str(), backup.c_str()) != 0) {
                print_error("cannot replace " + t.path + ": " + std::strerror(errno) +
                            "; nothing written");
                undo();
                return EXIT_SOME_FAILED;
            }
            t.backup = backup;
        }
    }
    for (target &t : targets) {
        if (!t.file.commit(false, err)) {
            undo();
            print_error(err + "; nothing written");
            return t.file.target_existed() ? EXIT_EXISTS : EXIT_SOME_FAILED;
        }
        t.committed = true;
    }
    for (target &t : targets)
        if (!t.backup.empty()) std::remove(t.backup.c_str());
    std::printf("%s and %s written%s\n", o.bmp.c_str(), o.prt.c_str(),
                r.laidOut ? " (pixel blocks laid out anew)" : "");
    return EXIT_OK;
}
