// What the end-to-end tests share: where the viewer and the sets are, sets
// loaded into the test itself through zevart.dll (as the viewer loads them),
// the library's own drawing of an object to compare the screen with, and
// the fixture that starts the viewer with its common steps.
#pragma once

#include "art_handle.h"
#include "artset_writer.h"
#include "driver.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

namespace e2e {

extern std::string g_viewerExe; // next to this program
extern std::string g_sampleDir; // Windows form
extern std::string g_scratch;   // a folder for generated sets and saved files

struct set_files {
    std::string bmp, prt;
};
set_files sample_set();
// Writes a set into the scratch folder as STEM.bmp and STEM.prt.
set_files save_set(const artgen::art_set &set, const std::string &stem);
// One palette: index 0 transparent, then 255 distinct colours.
artgen::palette test_palette();
// A set without images, pictures, frames or groups.
set_files empty_set();

// A set loaded into this program through zevart.dll, as the viewer loads it.
class loaded_set {
public:
    explicit loaded_set(const set_files &files);
    ~loaded_set();
    loaded_set(const loaded_set &) = delete;
    loaded_set &operator=(const loaded_set &) = delete;

    art_handle *art;
    bool ok;
};

enum { IMAGE = 1, PICTURE = 2, FRAME = 3, GROUP = 4 };

RECT rect_of(art_handle *art, int kind, unsigned index);

// Pixels as 0x00RRGGBB, top row first.
struct reference {
    int width = 0, height = 0;
    std::vector<uint32_t> pixels;
    uint32_t at(int x, int y) const { return pixels[size_t(y) * width + x]; }
};

const RGBQUAD kOrange{0x00, 0x7F, 0xFF, 0};

// The library's drawing of an image, picture or frame into a surface of
// w x h pixels filled with `fill`, anchored at (x, y).
reference library_drawing(art_handle *art, int kind, unsigned index, int w, int h, int x, int y,
                          RGBQUAD fill);
// An object as the viewer renders it: its draw rectangle on orange.
reference rendered(art_handle *art, int kind, unsigned index);

uint32_t button_face();

// The client area shows `ref` with its top-left corner moved to (-hpos,
// -vpos) and the window's own background beyond it.
std::function<bool(const drive::picture &, std::string &)> shows(const reference &ref, int hpos,
                                                                 int vpos);
// Nothing but the window's own background.
bool bare(const drive::picture &p, std::string &why);

// The file is there and can be read (a saved file is renamed into place).
bool readable(const std::string &path);

// Starts the viewer for each test and ends it after; the steps the tests share.
class Viewer : public ::testing::Test {
protected:
    void SetUp() override;
    // Loads a set through the dialogs, answering Yes to the unload question,
    // and confirms the success message.
    void load(const set_files &files);
    // Loads a set in the viewer and, as `set`, into this program.
    void open(const set_files &files);
    // Chooses the Select command of `kind`; `dialog` is the selection dialog.
    void select(int kind);
    HWND item(int id) const { return GetDlgItem(dialog, id); }
    void set_index(const std::string &text);
    void press(int id) { SendMessageA(item(id), BM_CLICK, 0, 0); }
    std::vector<drive::tree_item> items() const;
    std::string root() const; // the tree's first text
    // The main window shows `ref` scrolled to (hpos, vpos): "" or why not.
    std::string showing(const reference &ref, int hpos = 0, int vpos = 0);
    std::string showing_bare();
    // The viewer still answers messages.
    bool answers() const;
    void resize(int w, int h);

    std::unique_ptr<drive::viewer> v;
    std::unique_ptr<loaded_set> set;
    HWND dialog = nullptr;
};

} // namespace e2e
