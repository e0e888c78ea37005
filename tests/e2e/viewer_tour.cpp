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
#include <string>

namespace {

// The part of the screen that holds the main window and the selection
// dialog beside it.
bool save_screen(HWND main, HWND beside, const std::string &file) {
    RECT r, b;
    GetWindowRect(main, &r);
    if (beside && IsWindowVisible(beside) && GetWindowRect(beside, &b)) UnionRect(&r, &r, &b);
    InflateRect(&r, 12, 12);
    drive::picture p;
    p.width = r.right - r.left;
    p.height = r.bottom - r.top;
    HDC screen = GetDC(nullptr);
    p.pixels.resize(size_t(p.width) * p.height);
    for (int y = 0; y < p.height; ++y)
        for (int x = 0; x < p.width; ++x)
            p.pixels[size_t(y) * p.width + x] =
                drive::rgb_of(GetPixel(screen, r.left + x, r.top + y));
    ReleaseDC(nullptr, screen);
    bool ok = drive::save_bitmap(p, file);
    printf("%s %s\n", ok ? "wrote" : "could not write", file.c_str());
    return ok;
}

// Types an index into the selection dialog; with Automatic Update on, the
// viewer applies it at once.
void type_index(HWND select, const char *index) {
    SendMessageA(GetDlgItem(select, IDC_INDEX), WM_SETTEXT, 0, LPARAM(index));
}

int fail(const char *step) {
    fprintf(stderr, "viewer_tour: %s\n", step);
    return 1;
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 3) {
        fprintf(stderr, "usage: viewer_tour SAMPLE_DIR OUT_DIR\n");
        return 2;
    }
    std::string samples = drive::wine_path(argv[1]), out = drive::wine_path(argv[2]);
    char exe[MAX_PATH];
    GetModuleFileNameA(nullptr, exe, MAX_PATH);
    std::string viewerExe = exe;
    viewerExe.replace(viewerExe.find_last_of('\\') + 1, std::string::npos, "zevart_viewer.exe");

    drive::viewer v(viewerExe, samples);
    if (!v.started()) return fail("the viewer did not start");
    // Room for the scene frame.
    SetWindowPos(v.main(), nullptr, 0, 0, 420, 320, SWP_NOMOVE | SWP_NOZORDER);

    std::string why;
    if (!drive::load_ok(v, samples + "\\zev_art.bmp", samples + "\\zev_art.prt", &why))
        return fail(why.c_str());
    // Image 0 stands on its orange background once the message box is gone.
    std::string shown =
        drive::wait_for_client(v.main(), [](const drive::picture &p, std::string &) {
            for (uint32_t px : p.pixels)
                if (px == 0xFF7F00) return true;
            return false;
        });
    if (!shown.empty()) return fail("image 0 does not show");
    save_screen(v.main(), nullptr, out + "\\1-image.bmp");

    // Frame 24 is the day scene: a house, a tree and a walker with shadows.
    HWND select = drive::select_kind(v, ID_SELECT_FRAME, "Select Frame");
    if (!select) return fail("Select, Frame");
    type_index(select, "24");
    Sleep(300);
    save_screen(v.main(), select, out + "\\2-frame.bmp");

    // Group 0, the walk cycle, plays.
    if (!drive::select_kind(v, ID_SELECT_GROUP, "Select Group")) return fail("Select, Group");
    type_index(select, "0");
    Sleep(700);
    save_screen(v.main(), select, out + "\\3-group.bmp");

    v.command(ID_FILE_EXIT);
    DWORD code = 1;
    if (!v.wait_exit(&code) || code != 0) return fail("the viewer did not end cleanly");
    return 0;
}
