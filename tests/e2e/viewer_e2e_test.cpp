// zevart_viewer.exe driven from outside, as a person uses it: start-up, menus
// and About box, loading with its questions and messages, the display of an
// image against the library's own drawing of it, scrolling, a group playing,
// and every way out.
#include "e2e.h"

namespace {

using namespace e2e;

const UINT kObjectItems[] = {ID_FILE_SAVEOBJECT, ID_SELECT_IMAGE, ID_SELECT_PICTURE,
                             ID_SELECT_FRAME, ID_SELECT_GROUP};

// One load: the paths for the two open dialogs ("": Cancel), the answer to
// the unload question (0: none comes) and the message that follows (null:
// none).
void expect_load(const viewer &v, const std::string &bmp, const std::string &prt, int reply,
                 const char *want) {
    ASSERT_TRUE(load_art(v, bmp, prt)) << bmp << " " << prt;
    ASSERT_EQ(load_messages(v, reply, want), "") << bmp << " " << prt;
}

TEST_F(Viewer, StartsAsksBeforeUnloadingLoadsAndReportsAFailedReload) {
    HWND main = v->main();
    for (UINT id : kObjectItems) EXPECT_TRUE(menu_grayed(*v, id)) << id << " at start";
    for (UINT id : {ID_FILE_LOADART, ID_FILE_EXIT, ID_HELP_INFO})
        EXPECT_FALSE(menu_grayed(*v, id)) << id << " at start";
    EXPECT_EQ(showing_bare(), "") << "before anything is loaded";
    // Help, Info and the system menu's item, matched without the low four bits.
    for (int way = 0; way < 2; ++way) {
        way == 0 ? v->command(ID_HELP_INFO) : v->post(WM_SYSCOMMAND, IDM_ABOUTBOX | 0x3);
        HWND about = find_dialog(v->pid(), "About zevart-Viewer");
        ASSERT_TRUE(about) << "way " << way;
        EXPECT_FALSE(IsWindowEnabled(main)) << "the About box is modal";
        bool versionLine = false;
        for (HWND c = GetWindow(about, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
            versionLine |= window_text(c) == "zevart-Viewer Version 2.0";
        EXPECT_TRUE(versionLine);
        click(about, IDOK);
        ASSERT_TRUE(wait_hidden(about));
    }
    EXPECT_TRUE(wait_until([&] { return IsWindowEnabled(main) != FALSE; }));
    // The window cannot be made smaller than 196 x 128.
    RECT r;
    for (int size : {50, 300}) {
        v->resize(size, size);
        GetWindowRect(main, &r);
        EXPECT_EQ(r.right - r.left, size == 50 ? 196 : 300);
        EXPECT_EQ(r.bottom - r.top, size == 50 ? 128 : 300);
    }
    // Minimized and restored, it paints as before.
    v->post(WM_SYSCOMMAND, SC_MINIMIZE);
    EXPECT_TRUE(wait_until([&] { return IsIconic(main) != FALSE; }));
    v->post(WM_SYSCOMMAND, SC_RESTORE);
    EXPECT_TRUE(wait_until([&] { return !IsIconic(main); }));
    EXPECT_EQ(showing_bare(), "") << "after minimizing";

    // Both dialogs cancelled at first: no question, two empty paths, a
    // failure. After a failure the question comes too, after both dialogs; No
    // ends it. Yes: the files chosen last load. Loaded and answered No:
    // everything stays.
    const set_files files = sample_set();
    ASSERT_NO_FATAL_FAILURE(expect_load(*v, "", "", 0, kLoadError));
    ASSERT_NO_FATAL_FAILURE(expect_load(*v, files.bmp, files.prt, IDNO, nullptr));
    ASSERT_NO_FATAL_FAILURE(expect_load(*v, "", "", IDYES, kLoaded));
    ASSERT_NO_FATAL_FAILURE(expect_load(*v, "", "", IDNO, nullptr));
    loaded_set sample(files);
    const picture image0 = rendered(sample.art, OBJ_IMAGE, 0);
    EXPECT_EQ(showing(image0), "");
    bool orange = false, colour = false;
    for (uint32_t px : image0.pixels) (px == BACKGROUND_ORANGE ? orange : colour) = true;
    EXPECT_TRUE(orange && colour) << "image 0 has transparent and opaque pixels";
    // Save Object is enabled last, after the image is on display.
    for (UINT id : kObjectItems)
        EXPECT_TRUE(wait_until([&] { return !menu_grayed(*v, id); }, 3000)) << id;
    // The selection dialog stays hidden, its tree empty, until a Select command.
    EXPECT_FALSE(find_dialog(v->pid(), "", 300)) << "the selection dialog is visible";
    dialog = selection_dialog(*v);
    ASSERT_TRUE(dialog) << "the hidden selection dialog, owned by the main window";
    EXPECT_TRUE(items().empty());
    EXPECT_FALSE(IsWindowVisible(dialog));
    EXPECT_EQ(window_text(item(IDC_INDEX)), "0");

    // A failed reload leaves nothing of the closed set.
    ASSERT_NO_FATAL_FAILURE(select(OBJ_GROUP));
    const std::string broken = g_scratch + "\\broken.prt";
    artgen::save_file(broken, {'N', 'O', 'T', ' ', 'C', 'P', 'A', 'L'});
    ASSERT_NO_FATAL_FAILURE(expect_load(*v, files.bmp, broken, IDYES, kLoadError));
    EXPECT_TRUE(wait_hidden(dialog)) << "the selection dialog stays open";
    EXPECT_EQ(showing_bare(), "") << "the animation goes on";
    // Nothing that asks for a render or an apply may reach the closed set.
    press(IDC_APPLY);
    set_index("3");
    v->post(WM_HSCROLL, SB_LINERIGHT);
    v->post(WM_VSCROLL, SB_PAGEDOWN);
    v->resize(320, 260);
    ASSERT_TRUE(answers()) << "the viewer is gone or hangs";
    EXPECT_EQ(showing_bare(), "");
    // A good load afterwards shows the image whose number the index text
    // holds, from the scroll origin.
    ASSERT_NO_FATAL_FAILURE(expect_load(*v, files.bmp, files.prt, IDYES, kLoaded));
    EXPECT_EQ(showing(rendered(sample.art, OBJ_IMAGE, 3)), "");
}

// Images 0 and 1: 600 x 400 and 400 x 300, a different colour in every 8 x 8
// block and transparent stripes; image 2: 20 x 20 of one colour.
TEST_F(Viewer, ScrollsByLinesAndPagesWithinTheImage) {
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
    const picture ref = rendered(set->art, OBJ_IMAGE, 0);
    HWND main = v->main();
    ASSERT_EQ(showing(ref), "");

    // Both scroll bars come once the ranges are set; the pages are what is
    // left of the client area.
    ASSERT_TRUE(wait_until([&] {
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
    // in to its edges. Image 2 is smaller than the window: back to 0.
    ASSERT_NO_FATAL_FAILURE(select(OBJ_IMAGE));
    set_index("1");
    EXPECT_EQ(showing(rendered(set->art, OBJ_IMAGE, 1), 400 - pageX, 300 - pageY), "");
    set_index("2");
    EXPECT_EQ(showing(rendered(set->art, OBJ_IMAGE, 2)), "");
}

// A group plays on the button face, and every way out ends the program
// cleanly while it does.
class ViewerExit : public Viewer, public ::testing::WithParamInterface<const char *> {};

TEST_P(ViewerExit, PlaysAGroupOnTheButtonFaceAndEndsTheProgram) {
    ASSERT_NO_FATAL_FAILURE(open(sample_set()));
    ASSERT_NO_FATAL_FAILURE(select(OBJ_GROUP));
    // Group 0 is a walk cycle: each tick shows one of its frames, anchored
    // so that the group's rectangle starts at the client's origin.
    const mem_group &group = set->art->groups[0];
    const unsigned first = unsigned(group.frames - set->art->frames);
    const RECT g = rect_of(set->art, OBJ_GROUP, 0);
    int shown = -1, firstShown = -1;
    auto showsAFrame = [&](const picture &p, std::string &w) {
        w = "the client area shows none of the group's frames on the button face";
        for (unsigned f = 0; f < group.frameCount; ++f)
            if (drawn(set->art, OBJ_FRAME, first + f, p.width, p.height, -g.left, -g.top,
                      button_face())
                    .pixels == p.pixels) {
                shown = int(f);
                w = "the animation stands still at frame " + std::to_string(f);
                return shown != firstShown;
            }
        return false;
    };
    ASSERT_EQ(wait_for_client(v->main(), showsAFrame), "");
    firstShown = shown;
    EXPECT_EQ(wait_for_client(v->main(), showsAFrame), "");

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
