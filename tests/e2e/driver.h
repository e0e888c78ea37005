// Drives the real zevart_viewer.exe from another program in the same Wine
// prefix, as a person would: menu commands, the open dialogs, message boxes,
// the selection dialog, keys; and reads back what the windows show. The
// end-to-end tests, the random walk and the tour all take their steps here.
//
// Every wait polls the viewer's state with a deadline; nothing sleeps for a
// fixed time. Functions that look for a window return null when it does not
// come in time, so a caller can say which step failed.
#pragma once

#include <windows.h>

#include <commctrl.h>

#include "artset_writer.h"
#include "view_logic.h"
#include "viewer_probe.h"

#include <stdint.h>

#include <functional>
#include <string>
#include <vector>

namespace drive {

// How long any single step may take before it counts as failed.
constexpr int kStepMs = 10000;

// Polls `done` until it holds or `ms` milliseconds have passed.
bool wait_until(const std::function<bool()> &done, int ms = kStepMs);

// Where the sample set is (Windows form) and a folder for generated sets and
// saved files; set by the program's main.
extern std::string g_sampleDir, g_scratch;
// A file next to this program.
std::string here(const char *name);
// A Unix path as the viewer sees it under Wine (drive Z:, backslashes).
std::string wine_path(const std::string &unixOrWindowsPath);

// The Select command and the dialog caption of a kind (OBJ_IMAGE .. OBJ_GROUP).
struct kind_info {
    UINT command;
    const char *caption;
};
const kind_info &kind(int k);

// The messages a load ends with.
constexpr char kLoaded[] = "Art-structure succesfully loaded.";
constexpr char kLoadError[] = "Error loading art-structure.";
constexpr char kUnload[] = "This will unload the current file. Continue?";
constexpr char kSaveError[] = "Error saving object.";

// ----- the viewer process -----

class viewer {
public:
    // Starts the zevart_viewer.exe next to this program with `folder` as its
    // current folder (the open dialogs' start folder) and waits for its main
    // window.
    explicit viewer(const std::string &folder);
    // Ends the program if it still runs: File, Exit, else terminate.
    ~viewer();
    viewer(const viewer &) = delete;
    viewer &operator=(const viewer &) = delete;

    HWND main() const { return main_; }
    DWORD pid() const { return pid_; }
    bool started() const { return main_ != nullptr; }
    HANDLE process() const { return process_.hProcess; }

    // Chooses a menu item of the main window (posted: the command may open a
    // modal dialog).
    void command(UINT id) const;
    void post(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) const;
    // Sent with a deadline; false when the viewer does not answer.
    bool send(HWND to, UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) const;
    // A key pressed and released while the main window has the keyboard.
    void key(UINT vk) const;
    void resize(int w, int h) const;
    // Waits for the program to end; false if it does not in time.
    bool wait_exit(DWORD *exitCode, int ms = kStepMs);

private:
    friend probe_report *probe(const viewer &v);
    mutable probe_report *probe_ = nullptr;
    PROCESS_INFORMATION process_{};
    DWORD pid_ = 0;
    HWND main_ = nullptr;
};

// ----- windows of the viewer -----

std::string window_text(HWND hwnd); // caption or control text
std::string window_class(HWND hwnd);
// A visible dialog window (class #32770) of the process with this caption.
HWND find_dialog(DWORD pid, const std::string &caption, int ms = kStepMs);
// A visible message box of the process; the first one found.
HWND find_message_box(DWORD pid, int ms = kStepMs);
std::string message_text(HWND box);
// The process's visible top-level windows.
std::vector<HWND> shown_windows(DWORD pid);
// Presses a dialog's button (posted, as a click is).
void click(HWND dialog, int id);
// Types `path` into an open dialog's file name box and presses Open;
// an empty path presses Cancel.
void choose_file(HWND fileDialog, const std::string &path);
// Waits until the window is gone or hidden.
bool wait_hidden(HWND hwnd, int ms = kStepMs);
// The window of the process's thread that has the keyboard focus.
HWND focus_of(HWND anyWindowOfTheThread);

// ----- the probe inside the viewer (viewer_probe.h) -----

// Loads the probe into the viewer once; its report, or null if it could not
// be loaded.
probe_report *probe(const viewer &v);
// Whether an item of the main window's menu is grayed (the probe reads it).
bool menu_grayed(const viewer &v, UINT id);
// Whether zevart.dll plays an animation in the main window.
bool animation_playing(const viewer &v);
// Has the viewer's own thread send `p`'s down and up messages back to back.
bool press(const viewer &v, const probe_press &p);

// ----- steps -----

// File, Load Art with a path for each open dialog (empty: Cancel). False when
// a dialog did not come or go.
bool load_art(const viewer &v, const std::string &bmp, const std::string &prt);

// The message box the viewer shows next: its caption and text, and the box.
struct message {
    HWND box = nullptr;
    std::string caption, text;
};
message next_message(const viewer &v, int ms = kStepMs);
// Answers a message box and waits until it is gone.
bool answer(const message &m, int id);
// What follows a load's dialogs: the unload question answered `reply`
// (IDYES or IDNO; 0: it must not come; -1: Yes if it comes), then the message
// `want` (null: none may come), each with its caption. "" or what went wrong.
std::string load_messages(const viewer &v, int reply, const char *want);
// Loads a set through the dialogs, answering Yes to the unload question, and
// confirms the success message; "" or what went wrong.
std::string load_ok(const viewer &v, const std::string &bmp, const std::string &prt);

// The selection dialog, shown or hidden: the dialog the main window owns.
HWND selection_dialog(const viewer &v);
// Chooses the Select command of `kind` and waits until it is done, its
// dialog showing. The dialog is moved beside the main window, as a person
// would, so the main window can be seen.
HWND select_kind(const viewer &v, int kind);

// One action in the selection dialog, as a person takes it: 's' the index
// text set at once, 't' typed key by key after what is there, 'u'/'d' a click
// on the spin's up/down arrow, 'U'/'D' the arrow keys in the edit, 'p' Apply,
// 'a' Automatic Update, 'x' Extended Info, 'o' Ok, 'E' Enter, 'X' Escape,
// 'c' the close box. False when the viewer does not answer.
bool in_dialog(const viewer &v, HWND dialog, char op, const std::string &text = "");

// File, Save Object: in the save dialog, chooses filter `filter` (1-based;
// 0 leaves the one shown, one past the list takes its last) and saves under
// `path` (empty: Cancel). A message box instead of the dialog is left for
// the caller.
struct save_dialog {
    bool came = false;                // the dialog came and went
    std::vector<std::string> filters; // the entries of its file-type list
    int shownFilter = 0;              // the entry selected when it opened, 1-based
    int chosenFilter = 0;             // the entry selected when confirmed, 1-based
};
save_dialog save_object(const viewer &v, const std::string &path, int filter);
// The file is there and can be read (a saved file is renamed into place).
bool readable(const std::string &path);

// ----- the selection dialog's tree, read from outside the viewer -----

struct tree_item {
    int depth = 0; // 0 for root items
    std::string text;
    bool expanded = false;
    HTREEITEM handle = nullptr; // valid in the owning process
};
// All items in display order, their texts read through a buffer made inside
// the process that owns the tree.
std::vector<tree_item> tree_items(HANDLE process, HWND tree);

// ----- pixels -----

// 0x00RRGGBB values, top row first.
struct picture {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;
    uint32_t at(int x, int y) const { return pixels[size_t(y) * width + x]; }
};
// What the screen shows in a rectangle, or in a window's client area.
picture capture(const RECT &onScreen);
picture capture_client(HWND hwnd);
// A 24-bit bitmap file of the picture (the tour's shots, failures).
bool save_bitmap(const picture &p, const std::string &path);
// Waits until the client area satisfies `check`, which explains a mismatch
// in `why`. Returns the last explanation (empty when it held).
using check = std::function<bool(const picture &, std::string &)>;
std::string wait_for_client(HWND hwnd, const check &c, int ms = kStepMs);

inline uint32_t rgb_of(COLORREF c) {
    return uint32_t(GetRValue(c)) << 16 | uint32_t(GetGValue(c)) << 8 | GetBValue(c);
}
uint32_t button_face();

// ----- sets and what the viewer must show of them -----

struct set_files {
    std::string bmp, prt;
};
set_files sample_set();
// Writes a set into the scratch folder as STEM.bmp and STEM.prt.
set_files save_set(const artgen::art_set &set, const std::string &stem);
// One palette: index 0 transparent, then 255 distinct colours.
artgen::palette test_palette();
set_files empty_set(); // a set without objects

// A set loaded into this program through zevart.dll, as the viewer loads it.
struct loaded_set {
    explicit loaded_set(const set_files &files);
    ~loaded_set();
    loaded_set(const loaded_set &) = delete;
    loaded_set &operator=(const loaded_set &) = delete;
    art_handle *art;
    bool ok;
};

RECT rect_of(art_handle *art, int kind, unsigned index);
// The library's drawing of an image, picture or frame into w x h pixels of
// `fill` (0x00RRGGBB), anchored at (x, y).
picture drawn(art_handle *art, int kind, unsigned index, int w, int h, int x, int y, uint32_t fill);
// An object as the viewer shows it: its draw rectangle on orange.
picture rendered(art_handle *art, int kind, unsigned index);
// The client area shows `ref` moved to (-hpos, -vpos) and the button face
// beyond it; `bare` shows nothing but the button face.
check shows(const picture &ref, int hpos = 0, int vpos = 0);
bool bare(const picture &p, std::string &why);

} // namespace drive
