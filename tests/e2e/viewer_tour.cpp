// viewer_tour: a short scripted tour of zevart_viewer.exe for a headless
// screenshot. Loads the sample set, shows image 0, a frame and a playing
// group, and saves what the screen shows after each step.
//
//   viewer_tour SAMPLE_DIR OUT_DIR
//
// The viewer is the zevart_viewer.exe next to this program; it starts in
// SAMPLE_DIR. Writes OUT_DIR\1-image.bmp, 2-frame.bmp and 3-group.bmp.
#include "driver.h"
#include "resource.h"

#include <cstdio>

namespace {

// The part of the screen that holds the main window and the selection
// dialog beside it.
void save_screen(HWND main, HWND beside, const std::string &file) {
    RECT r, b;
    GetWindowRect(main, &r);
    if (beside && IsWindowVisible(beside) && GetWindowRect(beside, &b)) UnionRect(&r, &r, &b);
    InflateRect(&r, 12, 12);
    const bool ok = drive::save_bitmap(drive::capture(r), file);
    printf("%s %s\n", ok ? "wrote" : "could not write", file.c_str());
}

int fail(const std::string &step) {
    fprintf(stderr, "viewer_tour: %s\n", step.c_str());
    return 1;
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: viewer_tour SAMPLE_DIR OUT_DIR\n");
        return 2;
    }
    const std::string samples = drive::wine_path(argv[1]), out = drive::wine_path(argv[2]);
    drive::viewer v(samples);
    if (!v.started()) return fail("the viewer did not start");
    v.resize(420, 320); // room for the scene frame
    const std::string why = drive::load_ok(v, samples + "\\zev_art.bmp", samples + "\\zev_art.prt");
    if (!why.empty()) return fail(why);
    // Image 0 stands on its orange background once the message box is gone.
    if (!drive::wait_for_client(v.main(), [](const drive::picture &p, std::string &) {
             for (uint32_t px : p.pixels)
                 if (px == BACKGROUND_ORANGE) return true;
             return false;
         }).empty())
        return fail("image 0 does not show");
    save_screen(v.main(), nullptr, out + "\\1-image.bmp");

    // Frame 24 is the day scene: a house, a tree and a walker with shadows;
    // group 0, the walk cycle, plays. Automatic Update applies each at once.
    const struct {
        int kind;
        const char *index, *shot;
        int ms;
    } steps[] = {{OBJ_FRAME, "24", "\\2-frame.bmp", 300}, {OBJ_GROUP, "0", "\\3-group.bmp", 700}};
    for (const auto &s : steps) {
        HWND select = drive::select_kind(v, s.kind);
        if (!select) return fail(drive::kind(s.kind).caption);
        drive::in_dialog(v, select, 's', s.index);
        Sleep(DWORD(s.ms));
        save_screen(v.main(), select, out + s.shot);
    }
    v.command(ID_FILE_EXIT);
    DWORD code = 1;
    if (!v.wait_exit(&code) || code != 0) return fail("the viewer did not end cleanly");
    return 0;
}
