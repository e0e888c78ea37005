// A seeded random walk of user actions on the real viewer: loads of sound and
// broken sets with reloads answered Yes and No, the Select commands, typed
// and spun indexes, the selection dialog's buttons and ways out, Automatic
// Update and Extended Info, scrolling, resizing, minimising, Save Object in
// every depth to good and unwritable places. After every action no stray
// dialog may show; every few actions the viewer must answer, and its handles,
// GDI objects, windows and memory are sampled: the last thousand actions'
// medians may not exceed the first thousand's. At the end a group plays and
// the viewer is closed: a probe inside it asks the library whether an
// animation outlived the window's WM_DESTROY, and it must end with code 0.
//
//   ZEVART_STRESS_SEED   the walk's seed (printed; default from the clock)
//   ZEVART_STRESS_STEPS  the number of actions (default 2000)
#include "e2e.h"
#include "sample_art.h"

#include <psapi.h>
#include <winternl.h>

#include <algorithm>
#include <cstdio>
#include <random>
#include <stdexcept>

namespace {

using namespace e2e;

// ----- the viewer's resources, read from outside -----

struct usage {
    double handles = 0, dialogKeys = 0, gdi = 0, windows = 0, privateMB = 0, workingSetMB = 0;
};

// The name (1) or the type's name (2) of a kernel object.
std::wstring object_text(HANDLE h, int infoClass) {
    alignas(8) char buffer[2048] = {};
    const auto *text = reinterpret_cast<const UNICODE_STRING *>(buffer);
    return NtQueryObject(h, OBJECT_INFORMATION_CLASS(infoClass), buffer, sizeof buffer - 2,
                         nullptr) ||
                   !text->Buffer
               ? L""
               : std::wstring(text->Buffer, text->Length / 2);
}

// Kernel handles: the values the process owns, found by duplicating each.
// Wine's file dialogs leave one registry key open each time a file is chosen
// (ComDlg32\LastVisitedMRU): those are counted apart.
void kernel_handles(HANDLE process, usage &u) {
    for (ULONG_PTR v = 4; v < 0x4000; v += 4) {
        HANDLE dup;
        if (!DuplicateHandle(process, HANDLE(v), GetCurrentProcess(), &dup, 0, FALSE,
                             DUPLICATE_SAME_ACCESS))
            continue;
        const std::wstring name = object_text(dup, 2) == L"Key" ? object_text(dup, 1) : L"";
        ++(name.find(L"\\ComDlg32\\LastVisitedMRU") != name.npos ? u.dialogKeys : u.handles);
        CloseHandle(dup);
    }
}

// GDI objects. Wine's GetGuiResources is a stub: then its handle table,
// which the process's PEB points at (GdiSharedHandleTable: 0x94 in the 32-bit
// PEB, 0xF8 in the 64-bit one; 24-byte entries with the type byte at 14 in
// both).
constexpr size_t kGdiTableInPeb = sizeof(void *) == 4 ? 0x94 : 0xF8;

long gdi_objects(HANDLE process) {
    if (long n = long(GetGuiResources(process, GR_GDIOBJECTS))) return n;
    PROCESS_BASIC_INFORMATION pbi{};
    ULONG got = 0;
    void *table = nullptr;
    if (NtQueryInformationProcess(process, ProcessBasicInformation, &pbi, sizeof pbi, &got) ||
        !ReadProcessMemory(process, reinterpret_cast<char *>(pbi.PebBaseAddress) + kGdiTableInPeb,
                           &table, sizeof table, nullptr) ||
        !table)
        return -1;
    std::vector<uint8_t> entries(0x10000 * 24);
    if (!ReadProcessMemory(process, table, entries.data(), entries.size(), nullptr)) return -1;
    long n = 0;
    for (size_t i = 0; i < entries.size(); i += 24) n += entries[i + 14] != 0;
    return n;
}

BOOL CALLBACK count_window(HWND hwnd, LPARAM param) {
    auto *c = reinterpret_cast<std::pair<DWORD, long> *>(param);
    DWORD pid = 0;
    GetWindowThreadProcessId(hwnd, &pid);
    if (pid == c->first) {
        ++c->second;
        EnumChildWindows(hwnd, count_window, param);
    }
    return TRUE;
}

usage usage_of(const viewer &v) {
    usage u;
    kernel_handles(v.process(), u);
    u.gdi = gdi_objects(v.process());
    std::pair<DWORD, long> windows{v.pid(), 0};
    EnumWindows(count_window, LPARAM(&windows));
    u.windows = windows.second;
    MEMORY_BASIC_INFORMATION m;
    for (char *at = nullptr; VirtualQueryEx(v.process(), at, &m, sizeof m) == sizeof m;) {
        if (m.State == MEM_COMMIT && m.Type == MEM_PRIVATE) u.privateMB += m.RegionSize / 1048576.0;
        char *next = static_cast<char *>(m.BaseAddress) + m.RegionSize;
        if (next <= at) break;
        at = next;
    }
    PROCESS_MEMORY_COUNTERS pm{};
    if (GetProcessMemoryInfo(v.process(), &pm, sizeof pm))
        u.workingSetMB = pm.WorkingSetSize / 1048576.0;
    return u;
}

double median(std::vector<double> v) {
    std::sort(v.begin(), v.end());
    return v.empty() ? 0 : v[v.size() / 2];
}

// ----- sets -----

struct art_files {
    set_files files;
    std::string name;
    bool good;
    bool saveable = true; // every object has pixels to save
};

// Whether every object of the set covers some pixels.
bool all_saveable(const set_files &files) {
    loaded_set set(files);
    for (int kind = OBJ_IMAGE; kind <= OBJ_GROUP; ++kind)
        for (uint32_t i = 0; i < object_count(set.art, kind); ++i) {
            RECT r = rect_of(set.art, kind, i);
            if (r.right <= r.left || r.bottom <= r.top) return false;
            if (kind == OBJ_PICTURE && !set.art->pics[i].image) return false;
        }
    return set.ok;
}

art_files good_set(const char *name, const artgen::art_set &set) {
    art_files f{save_set(set, name), name, true};
    f.saveable = all_saveable(f.files);
    return f;
}

// A broken copy of the sample, made afresh for each load.
struct breakage {
    const char *what;
    void (*set)(artgen::art_set &, int);
    void (*bytes)(std::vector<uint8_t> &prt, std::vector<uint8_t> &bmp, int);
};
// Each leads the viewer to the same error; the loader tests tell them apart.
const breakage kBreakages[] = {
    {"the art-structure file cut short", nullptr,
     [](std::vector<uint8_t> &prt, std::vector<uint8_t> &, int r) { prt.resize(r % prt.size()); }},
    {"a picture's image past the images",
     [](artgen::art_set &s, int r) {
         s.groups[r % s.groups.size()].frames[0].pics[0].image = 9999;
     },
     nullptr},
    {"the bitmap file cut short", nullptr,
     [](std::vector<uint8_t> &, std::vector<uint8_t> &bmp, int r) { bmp.resize(r % 4000); }},
};

// ----- the walk -----

class Walk {
public:
    Walk() {
        const char *seed = getenv("ZEVART_STRESS_SEED");
        const char *steps = getenv("ZEVART_STRESS_STEPS");
        seed_ = seed ? unsigned(strtoul(seed, nullptr, 10)) : unsigned(GetTickCount());
        steps_ = steps ? atoi(steps) : 2000;
        rng_.seed(seed_);
        printf("stress walk: seed %u, %d actions (ZEVART_STRESS_SEED=%u replays it)\n", seed_,
               steps_, seed_);
    }
    void run();

private:
    int pick(int n) { return int(rng_() % unsigned(n)); }
    void log(const std::string &what) {
        printf("%5d %7.2f %s\n", step_, (GetTickCount() - start_) / 1000.0, what.c_str());
        fflush(stdout);
    }
    // A failure names the step and the viewer's windows on screen.
    void check(bool ok, const std::string &why) {
        if (ok) return;
        std::string windows;
        for (HWND w : shown_windows(v_->pid()))
            windows += "\n  " + window_class(w) + " \"" + window_text(w) + "\"";
        throw std::runtime_error("step " + std::to_string(step_) + ": " + why +
                                 "\nthe viewer's windows:" + windows);
    }
    void send(HWND to, UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) {
        check(v_->send(to, msg, wParam, lParam),
              "the viewer does not answer message " + std::to_string(msg));
    }
    HWND dialog() { // made with the main window, gone with it
        if (!dialog_) dialog_ = selection_dialog(*v_);
        return dialog_;
    }
    bool dialog_shown() {
        HWND d = dialog();
        return d && IsWindowVisible(d);
    }
    void act();
    void load();
    void select();
    void index();
    void button();
    void scroll_or_size();
    void save();
    void answer_load(bool good, bool yes);
    void no_stray_window();
    void finish();

    unsigned seed_ = 0;
    DWORD start_ = GetTickCount();
    int steps_ = 0, step_ = 0, saved_ = 0;
    std::mt19937 rng_;
    std::unique_ptr<viewer> v_;
    HWND dialog_ = nullptr;
    std::vector<art_files> good_;
    enum { EMPTY, LOADED, FAILED } state_ = EMPTY;
    art_files chosen_, loaded_; // the files the open dialogs hold; the set loaded
    std::vector<std::pair<int, usage>> samples_;
};

void Walk::run() {
    good_ = {good_set("sample", artgen::make_sample()), good_set("shapes", artgen::make_shapes()),
             good_set("bulk", artgen::make_bulk(40, 1, 300, 7))};
    artgen::art_set big; // larger than the window, and a shadow mask
    big.palettes.push_back(test_palette());
    std::vector<uint8_t> px(700 * 500);
    for (size_t i = 0; i < px.size(); ++i) px[i] = uint8_t(i % 7 ? 1 + i % 97 : 0);
    big.images.push_back(artgen::image8(700, 500, 0, px));
    big.images.push_back(artgen::mask1(33, 2, std::vector<uint8_t>(66, 1)));
    good_.push_back(good_set("big", big));

    v_ = std::make_unique<viewer>(g_sampleDir);
    check(v_->started(), "the main window did not come");
    for (step_ = 1; step_ <= steps_; ++step_) {
        act();
        no_stray_window();
        if (step_ % 25 == 0 || step_ == steps_) {
            send(v_->main(), WM_NULL);
            if (HWND d = dialog()) send(d, WM_NULL);
            samples_.push_back({step_, usage_of(*v_)});
            const usage &u = samples_.back().second;
            printf("  %.0f handles (+%.0f dialog keys), %.0f GDI, %.0f windows, %.1f + %.1f MB\n",
                   u.handles, u.dialogKeys, u.gdi, u.windows, u.privateMB, u.workingSetMB);
        }
    }
    printf("%d actions in %.1f s\n", steps_, (GetTickCount() - start_) / 1000.0);
    finish();
}

void Walk::act() {
    static void (Walk::*const kActions[])() = {&Walk::load,   &Walk::select,         &Walk::index,
                                               &Walk::button, &Walk::scroll_or_size, &Walk::save};
    const int weights[] = {3, 4, 12, 5, 5, 4};
    int r = pick(33), a = 0;
    while (r >= weights[a]) r -= weights[a++];
    if ((a == 2 || a == 3) && !dialog_shown()) a = 1;  // no dialog to use: Select
    if ((a == 1 || a == 5) && state_ != LOADED) a = 0; // their items are grayed: load
    (this->*kActions[a])();
}

void Walk::answer_load(bool good, bool yes) {
    const int reply = state_ == EMPTY ? 0 : yes ? IDYES : IDNO;
    const std::string why = load_messages(*v_, reply,
                                          reply == IDNO ? nullptr
                                          : good        ? kLoaded
                                                        : kLoadError);
    check(why.empty(), why);
    if (reply == IDNO) return;
    state_ = good ? LOADED : FAILED;
    loaded_ = chosen_;
}

void Walk::load() {
    const bool yes = pick(5) != 0;
    const int how = pick(10);
    art_files files;
    if (how < 6) {
        files = good_[size_t(pick(int(good_.size())))];
    } else if (how < 9) {
        const breakage &b = kBreakages[pick(int(std::size(kBreakages)))];
        artgen::art_set set = artgen::make_sample();
        const int r = int(rng_() >> 1);
        if (b.set) b.set(set, r);
        std::vector<uint8_t> prt = artgen::write_prt(set), bmp = artgen::write_bmp(set);
        if (b.bytes) b.bytes(prt, bmp, r);
        files = {{g_scratch + "\\broken.bmp", g_scratch + "\\broken.prt"}, b.what, false};
        artgen::save_file(files.files.bmp, bmp);
        artgen::save_file(files.files.prt, prt);
    }
    if (how == 9) {
        // Both dialogs cancelled: the files chosen last load again.
        log(std::string("load again (both dialogs cancelled), ") + (yes ? "Yes" : "No"));
        check(load_art(*v_, "", ""), "an open dialog did not come or go");
        return answer_load(chosen_.good, yes);
    }
    log("load " + files.name + (yes ? ", Yes" : ", No"));
    check(load_art(*v_, files.files.bmp, files.files.prt), "an open dialog did not come or go");
    chosen_ = files;
    answer_load(files.good, yes);
}

void Walk::select() {
    const int kind = OBJ_IMAGE + pick(4);
    log(drive::kind(kind).caption);
    check(select_kind(*v_, kind) != nullptr,
          std::string("no dialog for ") + drive::kind(kind).caption);
}

void Walk::index() {
    static const char *const kTexts[] = {"",   "abc",        "-1",          "999999", "  12x",
                                         "+3", "4294967296", "00000000007", "0"};
    HWND d = dialog(), edit = GetDlgItem(d, IDC_INDEX);
    const int how = pick(4);
    if (how < 2) { // the arrow keys in the edit, or a click on the spin's arrows
        const char op = "UDud"[how * 2 + pick(2)];
        log(std::string(how ? "spin " : "key ") + (op == 'U' || op == 'u' ? "up" : "down"));
        check(in_dialog(*v_, d, op), "the viewer does not answer");
        return;
    }
    // A text typed key by key, or put in at once.
    std::string text = pick(2) ? std::to_string(pick(60)) : kTexts[pick(9)];
    const bool typed = pick(2);
    log((typed ? "type \"" : "set \"") + text + "\"");
    check(in_dialog(*v_, d, 's', typed ? "" : text) && (!typed || in_dialog(*v_, d, 't', text)),
          "the viewer does not answer");
    // Under Wine a read right after the keys now and then still sees an
    // earlier text; what counts is the text the edit settles on.
    std::string held = window_text(edit);
    if (held != text) log("  read \"" + held + "\" first");
    wait_until([&] { return (held = window_text(edit)) == text; });
    check(held == text, "the index edit holds \"" + held + "\", not \"" + text + "\"");
}

void Walk::button() {
    static const char *const kNames[] = {
        "Apply", "Automatic Update", "Extended Info", "Ok", "Escape", "Enter", "close box"};
    const int b = pick(7);
    log(kNames[b]);
    check(in_dialog(*v_, dialog(), "paxoXEc"[b]), "the viewer does not answer");
    if (b >= 3) check(wait_hidden(dialog()), std::string(kNames[b]) + " did not hide the dialog");
}

void Walk::scroll_or_size() {
    HWND main = v_->main();
    const int what = pick(10);
    if (what < 6) {
        const bool horizontal = pick(2);
        const int code = pick(9), pos = pick(800);
        log((horizontal ? "scroll H " : "scroll V ") + std::to_string(code));
        send(main, horizontal ? WM_HSCROLL : WM_VSCROLL, MAKEWPARAM(code, pos));
    } else if (what < 9) {
        const int w = 100 + pick(600), h = 80 + pick(500);
        log("size " + std::to_string(w) + " x " + std::to_string(h));
        v_->resize(w, h);
        RECT r;
        GetWindowRect(main, &r);
        check(r.right - r.left >= 196 && r.bottom - r.top >= 128, "smaller than 196 x 128");
    } else {
        log("minimise, restore");
        send(main, WM_SYSCOMMAND, SC_MINIMIZE);
        check(IsIconic(main) != FALSE, "not minimised");
        send(main, WM_PAINT);
        send(main, WM_SYSCOMMAND, SC_RESTORE);
        check(!IsIconic(main), "not restored");
    }
}

// What is wrong with a bitmap file that should hold `bits` bits per pixel
// (the saves' bytes are checked one by one in the save tests).
std::string bitmap_fault(const std::vector<uint8_t> &f, int bits) {
    if (f.size() < 54 || f[0] != 'B' || f[1] != 'M') return "no bitmap file header";
    if ((f[2] | f[3] << 8 | f[4] << 16 | uint32_t(f[5]) << 24) != f.size())
        return "the header's size is not the file's";
    if (f[28] != bits)
        return std::to_string(f[28]) + " bits per pixel, not " + std::to_string(bits);
    return "";
}

void Walk::save() {
    const int where = pick(5), filter = 1 + pick(4);
    const std::string path = where < 3 ? g_scratch + "\\saved-" + std::to_string(++saved_) + ".bmp"
                             : where == 3 ? g_scratch + "\\no-such-folder\\saved.bmp"
                                          : std::string("Z:\\proc\\zevart-stress.bmp");
    // The selection dialog beside the main window, so that the screen shows
    // the whole client area when it is read.
    RECT r;
    GetWindowRect(v_->main(), &r);
    SetWindowPos(dialog(), nullptr, r.right + 8, r.top, 0, 0,
                 SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
    log("save as " + path + ", filter " + std::to_string(filter));
    save_dialog d = save_object(*v_, path, filter);
    if (d.filters.empty()) {
        // Nothing on display (the load's apply found no number in the index
        // text): the viewer says so instead.
        message m = next_message(*v_, 0);
        check(m.text == kSaveError, "neither the save dialog nor its error came");
        check(answer(m, IDOK), "the save error did not go");
        // Read once the message box has gone and the screen has caught up: a
        // window just moved or restored shows on the screen a little later.
        check(!loaded_.saveable || wait_for_client(v_->main(), bare).empty(),
              "an object is on display, but Save Object says no");
        return;
    }
    check(d.came, "the save dialog did not go");
    wait_until([&] { return readable(path) || find_message_box(v_->pid(), 0); });
    message m = next_message(*v_, 0);
    if (readable(path)) {
        check(!m.box, "a message after a save that worked: \"" + m.text + "\"");
        const int depths[] = {32, 24, 16, 8};
        std::vector<uint8_t> file = artgen::load_file(path);
        int bits = depths[d.chosenFilter - 1];
        if (bits == 8 && file.size() > 28 && file[28] == 1) bits = 1; // a shadow mask
        std::string fault = bitmap_fault(file, bits);
        check(fault.empty(), path + ": " + fault);
        DeleteFileA(path.c_str());
    } else {
        check(m.text == kSaveError && m.caption == "Error",
              "no file and no error for " + path + " (\"" + m.text + "\")");
        check(where >= 3 || !loaded_.saveable, "a save of " + loaded_.name + " failed");
        check(answer(m, IDOK), "the save error did not go");
    }
    WIN32_FIND_DATAA fd;
    HANDLE find = FindFirstFileA((g_scratch + "\\*.tmp").c_str(), &fd);
    check(find == INVALID_HANDLE_VALUE, "a temporary file is left");
}

void Walk::no_stray_window() {
    check(IsWindow(v_->main()) != FALSE, "the main window is gone");
    for (HWND w : shown_windows(v_->pid()))
        check(w == v_->main() || w == dialog() || window_class(w) != "#32770",
              "a stray window: \"" + window_text(w) + "\" \"" + message_text(w) + "\"");
}

void Walk::finish() {
    // Thousand against thousand (halves of a shorter walk). Wine counts no
    // handles (GetProcessHandleCount) and no GUI objects (GetGuiResources):
    // see kernel_handles and gdi_objects.
    const int span = std::min(1000, steps_ / 2);
    printf("medians over the first and the last %d actions:\n", span);
    const struct {
        const char *name;
        double usage::*field;
        double slack;
    } measures[] = {{"kernel handles", &usage::handles, 8},
                    {"GDI objects", &usage::gdi, 16},
                    {"windows", &usage::windows, 4},
                    {"private MB", &usage::privateMB, 4},
                    {"working set MB", &usage::workingSetMB, 8}};
    for (const auto &m : measures) {
        std::vector<double> first, last;
        for (const auto &s : samples_) {
            if (s.first <= span) first.push_back(s.second.*m.field);
            if (s.first > steps_ - span) last.push_back(s.second.*m.field);
        }
        const double a = median(first), b = median(last);
        printf("  %-15s %9.1f %9.1f\n", m.name, a, b);
        // A walk too short to leave its start behind is not judged.
        check(span < 100 || b <= a + m.slack, std::string(m.name) + " grew");
    }

    // A group plays; the probe sees it from inside the viewer.
    log("the sample's group 0 plays");
    chosen_ = good_[0];
    check(load_art(*v_, chosen_.files.bmp, chosen_.files.prt), "a dialog did not come");
    answer_load(true, true);
    HWND d = select_kind(*v_, OBJ_GROUP);
    check(d && in_dialog(*v_, d, 's', "0") && in_dialog(*v_, d, 'p'), "no group plays");
    probe_report *report = probe(*v_);
    check(report != nullptr, "the probe did not load into the viewer");
    check(animation_playing(*v_), "the probe sees no animation while a group plays");

    static const char *const kWays[] = {"File, Exit", "Escape", "Enter", "the close box"};
    const int way = pick(4);
    log(std::string("leave by ") + kWays[way]);
    if (way == 0) v_->command(ID_FILE_EXIT);
    if (way == 1 || way == 2) v_->key(way == 1 ? VK_ESCAPE : VK_RETURN);
    if (way == 3) v_->post(WM_SYSCOMMAND, SC_CLOSE);
    DWORD code = 1;
    check(v_->wait_exit(&code), "the viewer did not end");
    check(code == 0, "the viewer ended with code " + std::to_string(code));
    check(report->playingAfterDestroy == 0, "an animation outlived the main window's WM_DESTROY (" +
                                                std::to_string(report->playingAfterDestroy) + ")");
}

} // namespace

TEST(Stress, TheViewerSurvivesARandomWalk) {
    Walk walk;
    walk.run();
}
