// Drives the real zevart_viewer.exe from another program in the same Wine
// prefix, as a person would: menu commands, the open dialogs, message boxes,
// the selection dialog, keys; and reads back what the windows show.
//
// Every wait polls the viewer's state with a deadline; nothing sleeps for a
// fixed time. Functions that look for a window return null when it does not
// come in time, so a test can say which step failed.
#pragma once

#include <windows.h>

#include <commctrl.h>

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

// ----- the viewer process -----

class viewer {
public:
    // Starts `exe` with `folder` as its current folder (the open dialogs'
    // start folder) and waits for its main window.
    viewer(const std::string &exe, const std::string &folder);
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
    // A key pressed and released while the main window has the keyboard.
    void key(UINT vk) const;

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
// The text a message box shows.
std::string message_text(HWND box);
// Presses a dialog's button (posted, as a click is).
void click(HWND dialog, int id);
// Types `path` into an open dialog's file name box and presses Open;
// an empty path presses Cancel.
void choose_file(HWND fileDialog, const std::string &path);
// Waits until the window is gone or hidden.
bool wait_hidden(HWND hwnd, int ms = kStepMs);
// ----- the probe inside the viewer (viewer_probe.h) -----

// Loads the probe into the viewer once; its report, or null if it could not
// be loaded.
probe_report *probe(const viewer &v);
// Whether an item of the main window's menu is grayed (a menu cannot be read
// from another process: the probe reads it).
bool menu_grayed(const viewer &v, UINT id);
// Whether zevart.dll plays an animation in the main window.
bool animation_playing(const viewer &v);

// Has the viewer's own thread send `p`'s down and up messages back to back.
bool press(const viewer &v, const probe_press &p);

// ----- high-level steps -----

// File, Load Art with a path for each open dialog (empty: Cancel). Returns
// false when a dialog did not come.
bool load_art(const viewer &v, const std::string &bmp, const std::string &prt);

// The selection dialog, shown or hidden: the dialog the main window owns.
HWND selection_dialog(const viewer &v);

// Chooses a Select command and waits until it is done, its dialog showing
// with its caption. The dialog opens over the main window; it is moved beside
// it, as a person would, so the main window can be seen.
HWND select_kind(const viewer &v, UINT command, const std::string &caption);

// The message box the viewer shows next: its caption and text, and the box
// itself for answering it.
struct message {
    HWND box = nullptr;
    std::string caption, text;
};
message next_message(const viewer &v, int ms = kStepMs);
// Answers a message box and waits until it is gone.
bool answer(const message &m, int id);

// Loads a set through the dialogs and confirms the success message; false
// (with `why` set) if anything else happened.
bool load_ok(const viewer &v, const std::string &bmp, const std::string &prt,
             std::string *why = nullptr);

// Types `text` into an edit control as keys would, one WM_CHAR a character;
// each is handled (and whatever it sets off is done) when this returns.
void type(HWND edit, const std::string &text);
// Clicks the up or the down arrow of an up-down control (posted, as a click is).
void click_spin(HWND spin, bool up);
// The window of the process's thread that has the keyboard focus.
HWND focus_of(HWND anyWindowOfTheThread);

// File, Save Object: in the save dialog, chooses filter `filter` (1-based;
// 0 leaves the one shown, one past the list takes its last) and saves under
// `path` (empty: Cancel). Tells what the dialog offered; a message box
// instead of the dialog is left for the caller.
struct save_dialog {
    bool came = false;                // the dialog came and went
    std::vector<std::string> filters; // the entries of its file-type list
    int shownFilter = 0;              // the entry selected when it opened, 1-based
    int chosenFilter = 0;             // the entry selected when confirmed, 1-based
};
save_dialog save_object(const viewer &v, const std::string &path, int filter);

// ----- the selection dialog's tree, read from outside the viewer -----

// One item of a tree control: its depth (0 for root items), its text and
// whether it is expanded.
struct tree_item {
    int depth = 0;
    std::string text;
    bool expanded = false;
    HTREEITEM handle = nullptr; // valid in the owning process
};
// All items of a tree control, in display order (parents before their
// children). The texts live in the memory of the process that owns the tree
// (`process`, e.g. viewer::process()): they are fetched through a buffer made
// inside that process.
std::vector<tree_item> tree_items(HANDLE process, HWND tree);

// ----- pixels -----

// What a window's client area shows, as 0x00RRGGBB values, top row first.
struct picture {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;
    uint32_t at(int x, int y) const { return pixels[size_t(y) * width + x]; }
};
picture capture_client(HWND hwnd);

// Writes a picture as a 24-bit bitmap file (for looking at a failure).
bool save_bitmap(const picture &p, const std::string &path);

// Waits until the client area satisfies `check`, which explains a mismatch
// in `why`. Returns the last explanation (empty when it held).
std::string wait_for_client(HWND hwnd,
                            const std::function<bool(const picture &, std::string &)> &check,
                            int ms = kStepMs);

// 0x00RRGGBB of a COLORREF.
inline uint32_t rgb_of(COLORREF c) {
    return uint32_t(GetRValue(c)) << 16 | uint32_t(GetGValue(c)) << 8 | GetBValue(c);
}

// ----- paths -----

// A Unix path as the viewer sees it under Wine (drive Z:, backslashes).
std::string wine_path(const std::string &unixOrWindowsPath);

} // namespace drive
