// zevart_viewer.exe driven from outside, as a person uses it: start-up, menus
// and About box, loading with its questions and messages, the display of an
// image against the library's own drawing of it, scrolling, a group playing,
// and every way out.
#include "e2e_support.h"
#include "resource.h"

#include <gtest/gtest.h>

#include <string>

namespace {

using namespace e2e;
using drive::picture;

const UINT kObjectItems[] = {ID_FILE_SAVEOBJECT, ID_SELECT_IMAGE, ID_SELECT_PICTURE,
                             ID_SELECT_FRAME, ID_SELECT_GROUP};

// One load: the paths for the two open dialogs ("": Cancel), the answer to the
// unload question (0: none comes) and the message that follows (null: none).
struct load_step {
    std::string bmp, prt;
    int answer;
    const char *message;
};

void expect_load(const drive::viewer &v, const load_step &l) {
    SCOPED_TRACE(l.bmp + " " + l.prt);
    ASSERT_TRUE(drive::load_art(v, l.bmp, l.prt));
    drive::message m = drive::next_message(v);
    if (l.answer) {
        EXPECT_EQ(m.caption, "zevart_viewer") << "the program's name";
        ASSERT_EQ(m.text, "This will unload the current file. Continue?");
        ASSERT_TRUE(drive::answer(m, l.answer));
        m = drive::next_message(v, l.message ? drive::kStepMs : 300);
    }
    const std::string error = "Error loading art-structure.";
    EXPECT_EQ(m.text, l.message ? l.message : "") << "No must end the command";
    EXPECT_EQ(m.caption, !m.box ? "" : m.text == error ? "Error" : "zevart_viewer");
    EXPECT_TRUE(!m.box || drive::answer(m, IDOK));
}

TEST_F(Viewer, StartsAsksBeforeUnloadingLoadsAndReportsAFailedReload) {
    HWND main = v->main();
    for (UINT id : kObjectItems) EXPECT_TRUE(drive::menu_grayed(*v, id)) << id << " at start";
    for (UINT id : {ID_FILE_LOADART, ID_FILE_EXIT, ID_HELP_INFO})
        EXPECT_FALSE(drive::menu_grayed(*v, id)) << id << " at start";
    EXPECT_EQ(showing_bare(), "") << "before anything is loaded";
    // Help, Info and the system menu's item, matched without the low four bits.
    for (int way = 0; way < 2; ++way) {
        way == 0 ? v->command(ID_HELP_INFO) : v->post(WM_SYSCOMMAND, IDM_ABOUTBOX | 0x3);
        HWND about = drive::find_dialog(v->pid(), "About zevart-Viewer");
        ASSERT_TRUE(about) << "way " << way;
        EXPECT_FALSE(IsWindowEnabled(main)) << "the About box is modal";
        bool versionLine = false;
        for (HWND c = GetWindow(about, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
            versionLine |= drive::window_text(c) == "zevart-Viewer Version 2.0";
        EXPECT_TRUE(versionLine);
        drive::click(about, IDOK);
        ASSERT_TRUE(drive::wait_hidden(about));
    }
    EXPECT_TRUE(drive::wait_until([&] { return IsWindowEnabled(main) != FALSE; }));
    // The window cannot be made smaller than 196 x 128.
    RECT r;
    for (int size : {50, 300}) {
        resize(size, size);
        GetWindowRect(main, &r);
        EXPECT_EQ(r.right - r.left, size == 50 ? 196 : 300);
        EXPECT_EQ(r.bottom - r.top, size == 50 ? 128 : 300);
    }
    // Minimized and restored, it paints as before.
    v->post(WM_SYSCOMMAND, SC_MINIMIZE);
    EXPECT_TRUE(drive::wait_until([&] { return IsIconic(main) != FALSE; }));
    v->post(WM_SYSCOMMAND, SC_RESTORE);
    EXPECT_TRUE(drive::wait_until([&] { return !IsIconic(main); }));
    EXPECT_EQ(showing_bare(), "") << "after minimizing";

    // Both dialogs cancelled at first: no question, two empty paths, a
    // failure. After a failure the question comes too, after both dialogs; No
    // ends it. Yes: the files chosen last load. Loaded and answered No:
    // everything stays.
    const set_files files = sample_set();
    const char *const loaded = "Art-structure succesfully loaded.";
    for (const load_step &l : {load_step{"", "", 0, "Error loading art-structure."},
                               load_step{files.bmp, files.prt, IDNO, nullptr},
                               load_step{"", "", IDYES, loaded}, load_step{"", "", IDNO, nullptr}})
        ASSERT_NO_FATAL_FAILURE(expect_load(*v, l));
    loaded_set sample(files);
    const reference image0 = rendered(sample.art, IMAGE, 0);
    EXPECT_EQ(showing(image0), "");
    bool orange = false, colour = false;
    for (uint32_t px : image0.pixels) (px == 0xFF7F00 ? orange : colour) = true;
    EXPECT_TRUE(orange && colour) << "image 0 has transparent and opaque pixels";
    // Save Object is enabled last, after the image is on display.
    for (UINT id : kObjectItems)
        EXPECT_TRUE(drive::wait_until([&] { return !drive::menu_grayed(*v, id); }, 3000)) << id;
    // The selection dialog stays hidden, its tree empty, until a Select command.
    EXPECT_FALSE(drive::find_dialog(v->pid(), "", 300)) << "the selection dialog is visible";
    dialog = drive::selection_dialog(*v);
    ASSERT_TRUE(dialog) << "the hidden selection dialog, owned by the main window";
    EXPECT_TRUE(items().empty());
    EXPECT_FALSE(IsWindowVisible(dialog));
    EXPECT_EQ(drive::window_text(item(IDC_INDEX)), "0");

    // A failed reload leaves nothing of the closed set.
    ASSERT_NO_FATAL_FAILURE(select(GROUP));
    const std::string broken = g_scratch + "\\broken.prt";
    artgen::save_file(broken, {'N', 'O', 'T', ' ', 'C', 'P', 'A', 'L'});
    ASSERT_NO_FATAL_FAILURE(
        expect_load(*v, {files.bmp, broken, IDYES, "Error loading art-structure."}));
    EXPECT_TRUE(drive::wait_hidden(dialog)) << "the selection dialog stays open";
    EXPECT_EQ(showing_bare(), "") << "the animation goes on";
    // Nothing that asks for a render or an apply may reach the closed set.
    press(IDC_APPLY);
    set_index("3");
    v->post(WM_HSCROLL, SB_LINERIGHT);
    v->post(WM_VSCROLL, SB_PAGEDOWN);
    resize(320, 260);
    ASSERT_TRUE(answers()) << "the viewer is gone or hangs";
    EXPECT_EQ(showing_bare(), "");
    // A good load afterwards shows the image whose number the index text
    // holds, from the scroll origin.
    ASSERT_NO_FATAL_FAILURE(expect_load(*v, {files.bmp, files.prt, IDYES, loaded}));
    EXPECT_EQ(showing(rendered(sample.art, IMAGE, 3)), "");
}

TEST_F(Viewer, ScrollsByLinesAndPagesWithinTheImage) {
    // Images 0 and 1: 600 x 400 and 400 x 300, a different colour in every
    // 8 x 8 block and transparent stripes; image 2: 20 x 20 of one colour.
    artgen::art_set big;
    big.palettes.push_back(test_palette());
    for (int w : {600, 400}) {
        const int h = w == 600 ? 400 : 300;
        std::vector<uint8_t> px(size_t(w) * h);
        for (size_t i = 0; i < px.size(); ++i) {
            const int x = int(i % w), y = int(i / w);
            px[i] = x % 50 < 4 ? 0 : uint8_t(1 + (x / 8 + y / 8 * 3) % 255);
        }
        big.images.push_back(artgen::image8(w, h, 0, px));
    }
    big.images.push_back(artgen::image8(20, 20, 0, std::vector<uint8_t>(400, 200)));
    ASSERT_NO_FATAL_FAILURE(open(save_set(big, "big")));
    const reference ref = rendered(set->art, IMAGE, 0);
    ASSERT_EQ(ref.width, 600);
    HWND main = v->main();
    ASSERT_EQ(showing(ref), "");

    // Both scroll bars come once the ranges are set; the pages are what is
    // left of the client area.
    ASSERT_TRUE(drive::wait_until([&] {
        LONG style = GetWindowLongA(main, GWL_STYLE);
        return (style & WS_HSCROLL) && (style & WS_VSCROLL);
    })) << "the scroll bars do not show";
    RECT client;
    GetClientRect(main, &client);
    const int pageX = client.right, pageY = client.bottom;
    ASSERT_LT(pageX, 600);
    // Each message `times`; then the position is (x + px * pageX, y + py * pageY).
    const struct {
        UINT msg;
        WPARAM code;
        int times, x, px, y, py;
    } steps[] = {{WM_HSCROLL, SB_LINERIGHT, 1, 1, 0, 0, 0},
                 {WM_HSCROLL, SB_PAGERIGHT, 1, 1, 1, 0, 0},
                 {WM_HSCROLL, SB_PAGERIGHT, 3, 600, -1, 0, 0}, // stops at the right edge
                 {WM_HSCROLL, SB_LINELEFT, 1, 599, -1, 0, 0},
                 {WM_VSCROLL, SB_PAGEDOWN, 1, 599, -1, 0, 1},
                 {WM_VSCROLL, SB_LINEUP, 1, 599, -1, -1, 1},
                 {WM_VSCROLL, SB_THUMBPOSITION, 1, 599, -1, -1, 1}}; // keeps the position
    for (const auto &s : steps) {
        for (int i = 0; i < s.times; ++i) v->post(s.msg, s.code);
        EXPECT_EQ(showing(ref, s.x + s.px * pageX, s.y + s.py * pageY), "")
            << (s.msg == WM_HSCROLL ? "WM_HSCROLL " : "WM_VSCROLL ") << s.code;
    }

    // Image 1 is narrower and lower than the positions reach: they are pulled
    // in to its edges. Image 2 is smaller than the window: the positions go
    // back to 0.
    ASSERT_NO_FATAL_FAILURE(select(IMAGE));
    set_index("1");
    EXPECT_EQ(showing(rendered(set->art, IMAGE, 1), 400 - pageX, 300 - pageY), "");
    set_index("2");
    EXPECT_EQ(showing(rendered(set->art, IMAGE, 2)), "");
}

// A group plays on the button face, and every way out ends the program
// cleanly while it does.
class ViewerExit : public Viewer, public ::testing::WithParamInterface<const char *> {};

TEST_P(ViewerExit, PlaysAGroupOnTheButtonFaceAndEndsTheProgram) {
    ASSERT_NO_FATAL_FAILURE(open(sample_set()));
    ASSERT_NO_FATAL_FAILURE(select(GROUP));
    // Group 0 is a walk cycle: each tick shows one of its frames, anchored
    // so that the group's rectangle starts at the client's origin.
    const mem_group &group = set->art->groups[0];
    const unsigned first = unsigned(group.frames - set->art->frames);
    const RECT g = rect_of(set->art, GROUP, 0);
    const uint32_t face = button_face();
    const RGBQUAD faceQuad{GetBValue(face), GetGValue(face), GetRValue(face), 0};
    int shown = -1, firstShown = -1;
    auto showsAFrame = [&](const picture &p, std::string &w) {
        w = "the client area shows none of the group's frames on the button face";
        for (unsigned f = 0; f < group.frameCount; ++f)
            if (library_drawing(set->art, FRAME, first + f, p.width, p.height, -g.left, -g.top,
                                faceQuad)
                    .pixels == p.pixels) {
                shown = int(f);
                w = "the animation stands still at frame " + std::to_string(f);
                return shown != firstShown;
            }
        return false;
    };
    ASSERT_EQ(drive::wait_for_client(v->main(), showsAFrame), "");
    firstShown = shown;
    EXPECT_EQ(drive::wait_for_client(v->main(), showsAFrame), "");

    const std::string way = GetParam();
    if (way == "Exit") v->command(ID_FILE_EXIT);
    if (way == "Enter" || way == "Escape") v->key(way == "Enter" ? VK_RETURN : VK_ESCAPE);
    if (way == "Close") v->post(WM_SYSCOMMAND, SC_CLOSE);
    DWORD code = 1;
    ASSERT_TRUE(v->wait_exit(&code)) << way << " did not end the program";
    EXPECT_EQ(code, 0u) << way;
}

INSTANTIATE_TEST_SUITE_P(Ways, ViewerExit, ::testing::Values("Exit", "Enter", "Escape", "Close"));

} // namespace
