// zevart_viewer.exe driven from outside, as a person uses it: start-up, menus
// and About box, loading with its questions and messages, the display of an
// image against the library's own drawing of it, scrolling, a group playing,
// sets that must show nothing, and every way out.
#include "e2e_support.h"
#include "resource.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

namespace {

using namespace e2e;
using drive::picture;

// Images 0 and 1: 600 x 400 and 400 x 300, a different colour in every 8 x 8
// block and transparent stripes; image 2: 20 x 20 of one colour.
set_files big_set() {
    artgen::art_set set;
    set.palettes.push_back(test_palette());
    for (int w : {600, 400}) {
        const int h = w == 600 ? 400 : 300;
        std::vector<uint8_t> px(size_t(w) * h);
        for (size_t i = 0; i < px.size(); ++i) {
            const int x = int(i % w), y = int(i / w);
            px[i] = x % 50 < 4 ? 0 : uint8_t(1 + (x / 8 + y / 8 * 3) % 255);
        }
        set.images.push_back(artgen::image8(w, h, 0, px));
    }
    set.images.push_back(artgen::image8(20, 20, 0, std::vector<uint8_t>(400, 200)));
    return save_set(set, "big");
}

// A frame whose two pictures lie 65535 pixels apart: a draw rectangle too
// large for any buffer. Group 0 plays it.
set_files huge_frame_set() {
    artgen::art_set set;
    set.palettes.push_back(test_palette());
    set.images.push_back(artgen::image8(4, 4, 0, std::vector<uint8_t>(16, 9)));
    artgen::group g;
    artgen::frame f;
    artgen::picture a, b;
    a.x = a.y = -32768;
    b.x = b.y = 32767;
    b.slot = 1;
    f.pics = {a, b};
    g.frames.push_back(f);
    set.groups.push_back(g);
    return save_set(set, "huge");
}

TEST_F(Viewer, StartsWithItsMenusAndShowsTheAboutBoxBothWays) {
    HWND main = v->main();
    for (UINT id :
         {ID_FILE_SAVEOBJECT, ID_SELECT_IMAGE, ID_SELECT_PICTURE, ID_SELECT_FRAME, ID_SELECT_GROUP})
        EXPECT_TRUE(drive::menu_grayed(*v, id)) << "menu item " << id << " at start";
    for (UINT id : {ID_FILE_LOADART, ID_FILE_EXIT, ID_HELP_INFO})
        EXPECT_FALSE(drive::menu_grayed(*v, id)) << "menu item " << id << " at start";
    EXPECT_EQ(drive::wait_for_client(main, bare), "") << "before anything is loaded";
    v->command(ID_HELP_INFO);
    HWND about = drive::find_dialog(v->pid(), "About zevart-Viewer");
    ASSERT_TRUE(about) << "Help, Info";
    EXPECT_FALSE(IsWindowEnabled(main)) << "the About box is modal";
    drive::click(about, IDOK);
    ASSERT_TRUE(drive::wait_hidden(about));

    // The system menu's item; its command is matched without the low four bits.
    v->post(WM_SYSCOMMAND, IDM_ABOUTBOX | 0x3);
    about = drive::find_dialog(v->pid(), "About zevart-Viewer");
    ASSERT_TRUE(about) << "system menu, About";
    bool versionLine = false;
    for (HWND c = GetWindow(about, GW_CHILD); c; c = GetWindow(c, GW_HWNDNEXT))
        versionLine |= drive::window_text(c) == "zevart-Viewer Version 2.0";
    EXPECT_TRUE(versionLine);
    drive::click(about, IDOK);
    ASSERT_TRUE(drive::wait_hidden(about));
    EXPECT_TRUE(drive::wait_until([&] { return IsWindowEnabled(main) != FALSE; }));

    // The window cannot be made smaller than 196 x 128.
    SetWindowPos(main, nullptr, 0, 0, 50, 40, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    RECT r;
    GetWindowRect(main, &r);
    EXPECT_EQ(r.right - r.left, 196);
    EXPECT_EQ(r.bottom - r.top, 128);
    SetWindowPos(main, nullptr, 0, 0, 300, 250, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    GetWindowRect(main, &r);
    EXPECT_EQ(r.right - r.left, 300);

    // Minimized and restored, it paints as before.
    v->post(WM_SYSCOMMAND, SC_MINIMIZE);
    EXPECT_TRUE(drive::wait_until([&] { return IsIconic(main) != FALSE; }));
    v->post(WM_SYSCOMMAND, SC_RESTORE);
    EXPECT_TRUE(drive::wait_until([&] { return !IsIconic(main); }));
    EXPECT_EQ(drive::wait_for_client(main, bare), "") << "after minimizing";
}

TEST_F(Viewer, LoadsTheSampleAndShowsImageZeroAsTheLibraryDrawsIt) {
    set_files files = sample_set();
    ASSERT_TRUE(drive::load_art(*v, files.bmp, files.prt));
    drive::message m = drive::next_message(*v);
    EXPECT_EQ(m.caption, "zevart_viewer") << "the program's name";
    EXPECT_EQ(m.text, "Art-structure succesfully loaded.");
    ASSERT_TRUE(drive::answer(m, IDOK));

    reference ref = rendered_image(files, 0);
    ASSERT_GT(ref.width, 0);
    EXPECT_EQ(drive::wait_for_client(v->main(), shows(ref, 0, 0)), "");
    bool orange = false, colour = false;
    for (uint32_t px : ref.pixels) (px == 0xFF7F00 ? orange : colour) = true;
    EXPECT_TRUE(orange && colour) << "image 0 has transparent and opaque pixels";

    // Save Object is enabled last, after the image is on display.
    for (UINT id :
         {ID_FILE_SAVEOBJECT, ID_SELECT_IMAGE, ID_SELECT_PICTURE, ID_SELECT_FRAME, ID_SELECT_GROUP})
        EXPECT_TRUE(drive::wait_until([&] { return !drive::menu_grayed(*v, id); }, 3000))
            << "menu item " << id << " after loading";

    // The selection dialog stays hidden, its tree empty, until a Select command.
    HWND select = drive::find_dialog(v->pid(), "", 300);
    EXPECT_FALSE(select) << "the selection dialog is visible";
    HWND hidden = drive::selection_dialog(*v);
    ASSERT_TRUE(hidden) << "the hidden selection dialog, owned by the main window";
    EXPECT_TRUE(drive::tree_items(v->process(), GetDlgItem(hidden, IDC_TREE)).empty());
    EXPECT_FALSE(IsWindowVisible(hidden));
    EXPECT_EQ(drive::window_text(GetDlgItem(hidden, IDC_INDEX)), "0");
}

TEST_F(Viewer, AsksBeforeUnloadingAndReportsFailedLoads) {
    HWND main = v->main();
    // Both dialogs cancelled at first: no question, two empty paths, a failure.
    ASSERT_TRUE(drive::load_art(*v, "", ""));
    drive::message m = drive::next_message(*v);
    EXPECT_EQ(m.caption, "Error");
    EXPECT_EQ(m.text, "Error loading art-structure.");
    ASSERT_TRUE(drive::answer(m, IDOK));
    EXPECT_TRUE(drive::menu_grayed(*v, ID_SELECT_IMAGE));
    EXPECT_TRUE(drive::menu_grayed(*v, ID_FILE_SAVEOBJECT));

    // After a failure the question comes too, after both dialogs; No ends it.
    ASSERT_TRUE(drive::load_art(*v, sample("zev_art.bmp"), sample("zev_art.prt")));
    m = drive::next_message(*v);
    EXPECT_EQ(m.caption, "zevart_viewer");
    EXPECT_EQ(m.text, "This will unload the current file. Continue?");
    ASSERT_TRUE(drive::answer(m, IDNO));
    EXPECT_FALSE(drive::find_message_box(v->pid(), 300)) << "No must end the command";
    EXPECT_TRUE(drive::menu_grayed(*v, ID_SELECT_IMAGE));

    // Yes: the files chosen last load.
    ASSERT_NO_FATAL_FAILURE(load({"", ""}));
    reference image0 = rendered_image(sample_set(), 0);
    EXPECT_EQ(drive::wait_for_client(main, shows(image0, 0, 0)), "");

    // Loaded and answered No: everything stays.
    ASSERT_TRUE(drive::load_art(*v, "", ""));
    m = drive::next_message(*v);
    ASSERT_EQ(m.text, "This will unload the current file. Continue?");
    ASSERT_TRUE(drive::answer(m, IDNO));
    EXPECT_FALSE(drive::menu_grayed(*v, ID_SELECT_GROUP));
    EXPECT_EQ(drive::wait_for_client(main, shows(image0, 0, 0)), "");
}

TEST_F(Viewer, ScrollsByLinesAndPagesWithinTheImage) {
    set_files files = big_set();
    ASSERT_NO_FATAL_FAILURE(load(files));
    reference ref = rendered_image(files, 0);
    ASSERT_EQ(ref.width, 600);
    HWND main = v->main();
    ASSERT_EQ(drive::wait_for_client(main, shows(ref, 0, 0)), "");

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

    v->post(WM_HSCROLL, SB_LINERIGHT);
    EXPECT_EQ(drive::wait_for_client(main, shows(ref, 1, 0)), "") << "one line right";
    v->post(WM_HSCROLL, SB_PAGERIGHT);
    EXPECT_EQ(drive::wait_for_client(main, shows(ref, 1 + pageX, 0)), "") << "one page right";
    for (int i = 0; i < 3; ++i) v->post(WM_HSCROLL, SB_PAGERIGHT);
    EXPECT_EQ(drive::wait_for_client(main, shows(ref, 600 - pageX, 0)), "")
        << "stops where the image's right edge meets the window's";
    v->post(WM_HSCROLL, SB_LINELEFT);
    EXPECT_EQ(drive::wait_for_client(main, shows(ref, 599 - pageX, 0)), "") << "one line left";

    v->post(WM_VSCROLL, SB_PAGEDOWN);
    EXPECT_EQ(drive::wait_for_client(main, shows(ref, 599 - pageX, pageY)), "") << "a page down";
    v->post(WM_VSCROLL, SB_LINEUP);
    EXPECT_EQ(drive::wait_for_client(main, shows(ref, 599 - pageX, pageY - 1)), "") << "a line up";
    v->post(WM_VSCROLL, SB_THUMBPOSITION, 0);
    EXPECT_EQ(drive::wait_for_client(main, shows(ref, 599 - pageX, pageY - 1)), "")
        << "SB_THUMBPOSITION keeps the position";

    // Image 1 is narrower and lower than the positions reach: they are pulled
    // in to its edges, and it shows where the scroll bars say.
    HWND select = drive::select_kind(*v, ID_SELECT_IMAGE, "Select Image");
    ASSERT_TRUE(select);
    SendMessageA(GetDlgItem(select, IDC_INDEX), WM_SETTEXT, 0, LPARAM("1"));
    reference medium = rendered_image(files, 1);
    EXPECT_EQ(drive::wait_for_client(main, shows(medium, 400 - pageX, 300 - pageY)), "");
    // Image 2 is smaller than the window: the positions go back to 0 and it
    // shows at the client's origin.
    SendMessageA(GetDlgItem(select, IDC_INDEX), WM_SETTEXT, 0, LPARAM("2"));
    reference small = rendered_image(files, 2);
    EXPECT_EQ(drive::wait_for_client(main, shows(small, 0, 0)), "");
}

TEST_F(Viewer, ShowsAFrameFromItsTopLeftCornerAndPlaysAGroupOnTheButtonFace) {
    set_files files = sample_set();
    ASSERT_NO_FATAL_FAILURE(load(files));
    loaded_set set(files);
    ASSERT_TRUE(set.ok);

    // Frame 0 reaches above and left of its anchor; its rectangle's corner is
    // at the client's origin.
    ASSERT_TRUE(drive::select_kind(*v, ID_SELECT_FRAME, "Select Frame"));
    RECT f = rect_of(set.art, FRAME, 0);
    ASSERT_LT(f.left, 0);
    ASSERT_LT(f.top, 0);
    reference frame0 = library_drawing(set.art, FRAME, 0, f.right - f.left, f.bottom - f.top,
                                       -f.left, -f.top, kOrange);
    EXPECT_EQ(drive::wait_for_client(v->main(), shows(frame0, 0, 0)), "");

    HWND select = drive::select_kind(*v, ID_SELECT_GROUP, "Select Group");
    ASSERT_TRUE(select) << "Select, Group";

    // Group 0 is a walk cycle: each tick shows one of its frames, anchored
    // so that the group's rectangle starts at the client's origin, on the
    // button face.
    const mem_group &group = set.art->groups[0];
    unsigned first = unsigned(group.frames - set.art->frames);
    RECT g = rect_of(set.art, GROUP, 0);
    const uint32_t face = button_face();
    const RGBQUAD faceQuad{GetBValue(face), GetGValue(face), GetRValue(face), 0};
    int shown = -1;
    auto showsAFrame = [&](const picture &p, std::string &w) {
        for (unsigned f = 0; f < group.frameCount; ++f) {
            reference ref = library_drawing(set.art, FRAME, first + f, p.width, p.height, -g.left,
                                            -g.top, faceQuad);
            if (ref.pixels == p.pixels) {
                shown = int(f);
                return true;
            }
        }
        w = "the client area shows none of the group's frames on the button face";
        return false;
    };
    ASSERT_EQ(drive::wait_for_client(v->main(), showsAFrame), "");
    int firstShown = shown;
    EXPECT_EQ(drive::wait_for_client(v->main(),
                                     [&](const picture &p, std::string &w) {
                                         return showsAFrame(p, w) && shown != firstShown;
                                     }),
              "")
        << "the animation does not move on from frame " << firstShown;
}

TEST_F(Viewer, AFailedReloadLeavesNothingOfTheClosedSet) {
    set_files files = sample_set();
    ASSERT_NO_FATAL_FAILURE(load(files));
    HWND select = drive::select_kind(*v, ID_SELECT_GROUP, "Select Group");
    ASSERT_TRUE(select);

    std::string broken = g_scratch + "\\broken.prt";
    artgen::save_file(broken, {'N', 'O', 'T', ' ', 'C', 'P', 'A', 'L'});
    ASSERT_TRUE(drive::load_art(*v, files.bmp, broken));
    ASSERT_TRUE(drive::answer(drive::next_message(*v), IDYES));
    drive::message m = drive::next_message(*v);
    EXPECT_EQ(m.text, "Error loading art-structure.");
    ASSERT_TRUE(drive::answer(m, IDOK));

    HWND main = v->main();
    EXPECT_TRUE(drive::wait_hidden(select)) << "the selection dialog stays open";
    EXPECT_EQ(drive::wait_for_client(main, bare), "") << "the animation goes on";
    // Nothing that asks for a render or an apply may reach the closed set.
    drive::click(select, IDC_APPLY);
    SendMessageA(GetDlgItem(select, IDC_INDEX), WM_SETTEXT, 0, LPARAM("3"));
    v->post(WM_HSCROLL, SB_LINERIGHT);
    v->post(WM_VSCROLL, SB_PAGEDOWN);
    SetWindowPos(main, nullptr, 0, 0, 320, 260, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    DWORD_PTR ignored;
    ASSERT_TRUE(SendMessageTimeoutA(main, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored))
        << "the viewer is gone or hangs";
    EXPECT_EQ(drive::wait_for_client(main, bare), "");

    // A good load afterwards shows the image whose number the index text
    // holds, from the scroll origin.
    ASSERT_NO_FATAL_FAILURE(load(files));
    reference image3 = rendered_image(files, 3);
    EXPECT_EQ(drive::wait_for_client(main, shows(image3, 0, 0)), "");
}

TEST_F(Viewer, ShowsNothingForAnEmptySetOrAnObjectTooLargeToHold) {
    set_files empty = empty_set();
    ASSERT_NO_FATAL_FAILURE(load(empty));
    HWND main = v->main();
    EXPECT_EQ(drive::wait_for_client(main, bare), "") << "a set without images";
    ASSERT_TRUE(drive::select_kind(*v, ID_SELECT_GROUP, "Select Group"));
    EXPECT_EQ(drive::wait_for_client(main, bare), "") << "a set without groups";

    set_files huge = huge_frame_set();
    ASSERT_NO_FATAL_FAILURE(load(huge));
    ASSERT_TRUE(drive::select_kind(*v, ID_SELECT_FRAME, "Select Frame"));
    DWORD_PTR ignored;
    ASSERT_TRUE(SendMessageTimeoutA(main, WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored));
    EXPECT_EQ(drive::wait_for_client(main, bare), "") << "a frame 65539 pixels square";
    ASSERT_TRUE(drive::select_kind(*v, ID_SELECT_IMAGE, "Select Image"));
    reference image0 = rendered_image(huge, 0);
    EXPECT_EQ(drive::wait_for_client(main, shows(image0, 0, 0)), "") << "and then an image";
}

TEST_F(Viewer, AGroupRenderWithAnIndexPastTheGroupsReadsNothing) {
    set_files files = sample_set();
    ASSERT_NO_FATAL_FAILURE(load(files));
    loaded_set set(files);
    ASSERT_TRUE(set.ok);
    ASSERT_GT(set.art->imageCount, 30u);
    ASSERT_LT(set.art->groupCount, 30u);

    // Image 30 on display; Automatic Update off; the kind becomes groups
    // while the index stays 30.
    HWND select = drive::select_kind(*v, ID_SELECT_IMAGE, "Select Image");
    ASSERT_TRUE(select);
    SendMessageA(GetDlgItem(select, IDC_INDEX), WM_SETTEXT, 0, LPARAM("30"));
    reference image30 = rendered_image(files, 30);
    ASSERT_EQ(drive::wait_for_client(v->main(), shows(image30, 0, 0)), "");
    SendMessageA(GetDlgItem(select, IDC_AUTOUPDATE), BM_CLICK, 0, 0);
    ASSERT_EQ(SendMessageA(GetDlgItem(select, IDC_AUTOUPDATE), BM_GETCHECK, 0, 0), BST_UNCHECKED);
    ASSERT_TRUE(drive::select_kind(*v, ID_SELECT_GROUP, "Select Group"));

    // A resize asks for a render of group 30, which does not exist. (Smaller:
    // the selection dialog beside the window stays clear of it.)
    SetWindowPos(v->main(), nullptr, 0, 0, 240, 200, SWP_NOMOVE | SWP_NOZORDER | SWP_NOACTIVATE);
    v->post(WM_HSCROLL, SB_LINERIGHT);
    DWORD_PTR ignored;
    ASSERT_TRUE(SendMessageTimeoutA(v->main(), WM_NULL, 0, 0, SMTO_ABORTIFHUNG, 5000, &ignored))
        << "the viewer is gone or hangs";
    EXPECT_EQ(drive::wait_for_client(v->main(), bare), "")
        << "nothing of a group that is not there";
}

// Every way out ends the program cleanly, also while a group plays.
class ViewerExit : public Viewer, public ::testing::WithParamInterface<const char *> {};

TEST_P(ViewerExit, EndsTheProgramWhileAGroupPlays) {
    ASSERT_NO_FATAL_FAILURE(load(sample_set()));
    ASSERT_TRUE(drive::select_kind(*v, ID_SELECT_GROUP, "Select Group"));
    std::string way = GetParam();
    if (way == "Exit")
        v->command(ID_FILE_EXIT);
    else if (way == "Enter")
        v->key(VK_RETURN);
    else if (way == "Escape")
        v->key(VK_ESCAPE);
    else
        v->post(WM_SYSCOMMAND, SC_CLOSE);
    DWORD code = 1;
    ASSERT_TRUE(v->wait_exit(&code)) << way << " did not end the program";
    EXPECT_EQ(code, 0u) << way;
}

INSTANTIATE_TEST_SUITE_P(Ways, ViewerExit, ::testing::Values("Exit", "Enter", "Escape", "Close"));

} // namespace
