// zevart_bench: the library against the peers a game programmer would reach
// for, and against the limits.
//
//   zevart_bench [Google Benchmark flags]   every contender as a benchmark
//   zevart_bench --paired [--rounds N] [--batch-ms M] [--filter TEXT]
//       interleaved rounds: in every round each contender of a case runs once
//       (a batch of about M ms), in turns; ratios are taken within each round
//       and their median is reported, so drift of the machine cancels out.
//   zevart_bench --instructions [--filter TEXT]
//       under valgrind --tool=callgrind --instr-atstart=no: runs each counted
//       contender with instrumentation on and dumps its counts; scripts/bench
//       divides them by the items.
//   --folder DIR        where BMP files are written (a tmpfs)
//   --load-folder DIR   where the large set for loading is made once and kept
//   --wall-clock        time by the wall clock instead of processor time
#include "bench.h"

#include <benchmark/benchmark.h>
#include <valgrind/callgrind.h>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <string>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>
#include <vector>

using namespace bench;

namespace {

using clock_type = std::chrono::steady_clock;

struct options {
    bool paired = false, instructions = false;
    int rounds = 21;
    double batchMs = 5;
    std::string filter, folder = "/dev/shm/zevart-bench", loadFolder = "/tmp/zevart-bench-load";
};

bool selected(const bench_case &c, const options &o) {
    return o.filter.empty() || (c.group + " " + c.name).find(o.filter) != std::string::npos;
}

// Seconds of processor time this thread and the processes it waited for
// spent: time the machine gave to other work while an operation ran is not
// counted, which keeps a busy shared machine from blurring the comparison.
double cpu_seconds() {
    timespec t;
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &t);
    rusage children;
    getrusage(RUSAGE_CHILDREN, &children);
    auto tv = [](const timeval &v) { return double(v.tv_sec) + double(v.tv_usec) * 1e-6; };
    return double(t.tv_sec) + double(t.tv_nsec) * 1e-9 + tv(children.ru_utime) +
           tv(children.ru_stime);
}

double wall_seconds() {
    return std::chrono::duration<double>(clock_type::now().time_since_epoch()).count();
}

double (*now)() = cpu_seconds;

// Seconds for `reps` operations (cleanups excluded).
double time_batch(const contender &c, long reps) {
    if (!c.cleanup) {
        const double t0 = now();
        for (long i = 0; i < reps; ++i) c.run();
        return now() - t0;
    }
    double total = 0;
    for (long i = 0; i < reps; ++i) {
        const double t0 = now();
        c.run();
        total += now() - t0;
        c.cleanup();
    }
    return total;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

std::string first_line_of(const char *path, const char *key) {
    std::ifstream in(path);
    std::string line;
    while (std::getline(in, line))
        if (line.compare(0, strlen(key), key) == 0) {
            size_t colon = line.find(':');
            std::string v = colon == std::string::npos ? line : line.substr(colon + 1);
            v.erase(0, v.find_first_not_of(" \t"));
            return v;
        }
    return "?";
}

std::string load_average() {
    std::ifstream in("/proc/loadavg");
    std::string a, b, c;
    in >> a >> b >> c;
    return a + " " + b + " " + c;
}

std::string format_time(double seconds) {
    char buf[32];
    if (seconds >= 1e-3)
        snprintf(buf, sizeof buf, "%.2f ms", seconds * 1e3);
    else
        snprintf(buf, sizeof buf, "%.1f µs", seconds * 1e6);
    return buf;
}

int run_paired(std::vector<bench_case> &cases, const options &o) {
    printf("Machine: %s, %ld cores; load average at start: %s\n",
           first_line_of("/proc/cpuinfo", "model name").c_str(), sysconf(_SC_NPROCESSORS_ONLN),
           load_average().c_str());
    printf("Rounds: %d, batch about %.0f ms per contender and round, %s time. Ratio: time of "
           "the second contender / time of the first, per round; median [lowest, highest].\n\n",
           o.rounds, o.batchMs, now == cpu_seconds ? "processor" : "wall-clock");
    printf("| Operation | Case | Contenders | Time per operation | Ratio | Goal |\n");
    printf("|---|---|---|---|---|---|\n");
    fflush(stdout);
    int missed = 0;
    for (bench_case &c : cases) {
        if (!selected(c, o)) continue;
        const size_t k = c.contenders.size();
        // Calibrate: a batch of about batchMs, at least one operation.
        std::vector<long> reps(k);
        for (size_t i = 0; i < k; ++i) {
            time_batch(c.contenders[i], 1); // warm up
            long r = 1;
            for (;;) {
                double t = time_batch(c.contenders[i], r);
                if (t * 1e3 >= o.batchMs / 4 || r > (1L << 30)) {
                    reps[i] = std::max(1L, long(r * (o.batchMs / 1e3) / std::max(t, 1e-9)));
                    break;
                }
                r *= 4;
            }
        }
        std::vector<std::vector<double>> times(k);
        for (int round = 0; round < o.rounds; ++round)
            for (size_t j = 0; j < k; ++j) {
                size_t i = (j + size_t(round)) % k; // each contender takes every turn
                times[i].push_back(time_batch(c.contenders[i], reps[i]) / double(reps[i]));
            }
        std::map<std::string, size_t> index;
        for (size_t i = 0; i < k; ++i) index[c.contenders[i].name] = i;
        for (const ratio &r : c.ratios) {
            const size_t f = index.at(r.faster), s = index.at(r.slower);
            std::vector<double> per;
            for (int round = 0; round < o.rounds; ++round)
                per.push_back(times[s][size_t(round)] / times[f][size_t(round)]);
            const double m = median(per);
            const auto mm = std::minmax_element(per.begin(), per.end());
            std::string goal = "";
            if (r.goal > 0) {
                const bool met = r.atMost ? m <= r.goal : m >= r.goal;
                missed += !met;
                char g[48];
                snprintf(g, sizeof g, "%s %.1f× %s", r.atMost ? "≤" : "≥", r.goal,
                         met ? "met" : "**missed**");
                goal = g;
            }
            printf("| %s | %s | %s vs %s | %s vs %s | %.2f× [%.2f, %.2f] | %s |\n", c.group.c_str(),
                   c.name.c_str(), r.faster.c_str(), r.slower.c_str(),
                   format_time(median(times[f])).c_str(), format_time(median(times[s])).c_str(), m,
                   *mm.first, *mm.second, goal.c_str());
        }
        fflush(stdout);
    }
    printf("\nLoad average at end: %s. Goals missed: %d.\n", load_average().c_str(), missed);
    return 0;
}

int run_instructions(std::vector<bench_case> &cases, const options &o) {
    for (bench_case &c : cases) {
        if (!selected(c, o)) continue;
        for (const std::string &name : c.instructionCounted)
            for (const contender &ct : c.contenders) {
                if (ct.name != name) continue;
                const int reps = c.countedOperations;
                ct.run(); // warm: first-use set-up (SDL's colour map) is not counted
                if (ct.cleanup) ct.cleanup();
                CALLGRIND_ZERO_STATS;
                for (int i = 0; i < reps; ++i) {
                    CALLGRIND_START_INSTRUMENTATION;
                    ct.run();
                    CALLGRIND_STOP_INSTRUMENTATION;
                    if (ct.cleanup) ct.cleanup();
                }
                std::string label = c.group + " | " + c.name + " | " + ct.name;
                CALLGRIND_DUMP_STATS_AT(label.c_str());
                printf("%s | %.0f %s\n", label.c_str(), c.items * reps, c.itemName);
            }
    }
    return 0;
}

int run_google_benchmark(std::vector<bench_case> &cases, int argc, char **argv) {
    for (bench_case &c : cases)
        for (contender &ct : c.contenders) {
            const double items = c.items;
            const contender *p = &ct;
            benchmark::RegisterBenchmark((c.group + "/" + c.name + "/" + ct.name).c_str(),
                                         [p, items](benchmark::State &state) {
                                             for (auto _ : state) {
                                                 p->run();
                                                 if (p->cleanup) {
                                                     state.PauseTiming();
                                                     p->cleanup();
                                                     state.ResumeTiming();
                                                 }
                                             }
                                             state.SetItemsProcessed(
                                                 int64_t(items * double(state.iterations())));
                                         });
        }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}

} // namespace

int main(int argc, char **argv) {
    options o;
    std::vector<char *> rest{argv[0]};
    for (int i = 1; i < argc; ++i) {
        std::string a = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) {
                fprintf(stderr, "zevart_bench: %s needs a value\n", a.c_str());
                exit(2);
            }
            return argv[++i];
        };
        if (a == "--paired")
            o.paired = true;
        else if (a == "--instructions")
            o.instructions = true;
        else if (a == "--rounds")
            o.rounds = std::max(1, atoi(value().c_str()));
        else if (a == "--batch-ms")
            o.batchMs = std::max(0.1, atof(value().c_str()));
        else if (a == "--filter")
            o.filter = value();
        else if (a == "--folder")
            o.folder = value();
        else if (a == "--load-folder")
            o.loadFolder = value();
        else if (a == "--wall-clock")
            now = wall_seconds;
        else
            rest.push_back(argv[i]);
    }
    try {
        std::vector<bench_case> cases;
        add_blit_cases(cases);
        add_bmp_cases(cases, o.folder);
        add_load_cases(cases, o.loadFolder);
        if (o.paired) return run_paired(cases, o);
        if (o.instructions) return run_instructions(cases, o);
        int n = int(rest.size());
        return run_google_benchmark(cases, n, rest.data());
    } catch (const std::exception &e) {
        fprintf(stderr, "zevart_bench: %s\n", e.what());
        return 1;
    }
}
