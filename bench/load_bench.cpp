// Loading a large generated set (10 000 sprites of 64 to 160 pixels a side,
// about 113 MB) with LoadArtFromFile, against reading the same two files with
// read() into freshly allocated memory (what any loader must do: the honest
// limit), with read() in 1 MiB chunks into one reused buffer (no fresh
// memory at all), and against cat.
#include "bench.h"

#include "art_handle.h"
#include "pixel_area.h"
#include "sample_art.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>
#include <memory>
#include <new>
#include <stdexcept>

extern char **environ;

namespace bench {
namespace {

bool exists(const std::string &path) {
    struct stat st;
    return stat(path.c_str(), &st) == 0;
}

struct load_bench {
    std::string bmp, prt;
    art_handle art;
    std::vector<char> chunk = std::vector<char>(1 << 20);
    double bytes = 0;

    explicit load_bench(const std::string &folder)
        : bmp(folder + "/zev_art.bmp"), prt(folder + "/zev_art.prt") {
        if (!exists(bmp) || !exists(prt)) {
            mkdir(folder.c_str(), 0755);
            artgen::art_set set = artgen::make_bulk(10000, 64, 160, 3);
            artgen::save_file(prt, artgen::write_prt(set));
            artgen::save_file(bmp, artgen::write_bmp(set));
        }
        bytes = double(raw_read());
    }

    void load() {
        if (int code = LoadArtFromFile(bmp.c_str(), prt.c_str(), &art))
            throw std::runtime_error("LoadArtFromFile failed with code " + std::to_string(code));
    }
    void close() { CloseArt(&art); }

    size_t raw_read() {
        size_t total = 0;
        for (const std::string &p : {bmp, prt}) {
            int fd = open(p.c_str(), O_RDONLY | O_CLOEXEC);
            if (fd < 0) throw std::runtime_error("cannot open " + p);
            ssize_t got;
            while ((got = read(fd, chunk.data(), chunk.size())) > 0) total += size_t(got);
            ::close(fd);
        }
        return total;
    }

    // Each file whole into a block of its own, as a loader that keeps the
    // bytes must: from malloc, or as the loader gets its pixel area (2 MiB
    // pages, faulted in first); freed after the timing.
    void fresh_read(bool asLoader) {
        for (const std::string &p : {bmp, prt}) {
            int fd = open(p.c_str(), O_RDONLY | O_CLOEXEC);
            struct stat st;
            if (fd < 0 || fstat(fd, &st) != 0) throw std::runtime_error("cannot open " + p);
            char *block;
            if (asLoader) {
                areas.emplace_back(size_t(st.st_size));
                block = reinterpret_cast<char *>(areas.back().data());
            } else {
                block = static_cast<char *>(malloc(size_t(st.st_size)));
                fresh.push_back(block);
            }
            if (!block) throw std::bad_alloc();
            for (size_t at = 0; at < size_t(st.st_size);) {
                const ssize_t got = read(fd, block + at, size_t(st.st_size) - at);
                if (got <= 0) throw std::runtime_error("cannot read " + p);
                at += size_t(got);
            }
            ::close(fd);
        }
    }
    void free_fresh() {
        for (char *block : fresh) free(block);
        fresh.clear();
        areas.clear();
    }
    std::vector<char *> fresh;
    std::vector<pixel_area> areas;

    void cat() {
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        const char *argv[] = {"cat", bmp.c_str(), prt.c_str(), nullptr};
        pid_t pid;
        int err = posix_spawnp(&pid, "cat", &actions, nullptr, const_cast<char **>(argv), environ);
        posix_spawn_file_actions_destroy(&actions);
        int status = 0;
        if (err != 0 || waitpid(pid, &status, 0) != pid || status != 0)
            throw std::runtime_error("cat failed");
    }
};

} // namespace

void add_load_cases(std::vector<bench_case> &cases, const std::string &folder) {
    auto b = std::make_shared<load_bench>(folder);
    bench_case c;
    c.group = "load";
    c.name = "10000 sprites, " + std::to_string(int(b->bytes / 1e6)) + " MB";
    c.items = b->bytes;
    c.itemName = "byte";
    c.contenders = {
        {"LoadArtFromFile", [b] { b->load(); }, [b] { b->close(); }},
        {"read() into fresh memory", [b] { b->fresh_read(false); }, [b] { b->free_fresh(); }},
        {"read() into 2 MiB pages", [b] { b->fresh_read(true); }, [b] { b->free_fresh(); }},
        {"read() 1 MiB chunks", [b] { b->raw_read(); }, nullptr},
        {"cat > /dev/null", [b] { b->cat(); }, nullptr},
    };
    c.ratios = {
        {"read() into 2 MiB pages", "LoadArtFromFile", 1.3, true},
        {"read() into fresh memory", "LoadArtFromFile", 0},
        {"read() 1 MiB chunks", "LoadArtFromFile", 0},
        {"cat > /dev/null", "LoadArtFromFile", 0},
    };
    c.instructionCounted = {"LoadArtFromFile"};
    c.countedOperations = 2;
    cases.push_back(std::move(c));
}

} // namespace bench
