// The selection dialog and the Select commands driven from outside: typing
// and spinning indexes with Automatic Update on and off, Apply, Ok and the
// ways to hide it, Extended Info, the structure tree of every kind read
// through the tree control, the index text each kind remembers, and sets
// with nothing to show.
#include "e2e_support.h"
#include "resource.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdio>
#include <cstdlib>

namespace {

using namespace e2e;
using drive::tree_item;

// ----- the tree as designed, built from the records of a loaded set -----

// Each item's depth and text.
using tree_text = std::pair<int, std::string>;

class expected_tree {
public:
    explicit expected_tree(art_handle *art) : art_(art) {}
    std::vector<tree_text> items;

    void image(int d, int index) {
        add(d, "Image: %d [%08X]", index, unsigned(index));
        if (index < 0) { // a picture without an image: its nodes stay, empty
            for (int depth : {1, 2, 2, 2, 2, 1, 1}) add(d + depth, "");
            return;
        }
        const mem_image &im = art_->images[index];
        rect(d + 1, IMAGE, unsigned(index));
        add(d + 1, "Palette: %u", unsigned(im.palette - art_->palettes));
        add(d + 1, "Type: %d", int(im.type));
    }
    void picture(int d, unsigned index) {
        add(d, "Picture: %d [%08X]", int(index), index);
        rect(d + 1, PICTURE, index);
        const mem_image *im = art_->pics[index].image;
        image(d + 1, im ? int(im - art_->images) : -1);
    }
    void frame(int d, unsigned index, int ext) {
        const unsigned count = art_->frames[index].picCount;
        const mem_pic *pics = art_->frames[index].pics;
        add(d, "Frame: %d [%08X]", int(index), index);
        rect(d + 1, FRAME, index);
        if (ext >= 0) {
            add(d + 1, "Extended info: %d", ext);
            for (int k = 0; k < 4; ++k)
                add(d + 2, "unknown %d = %02X", k + 1, art_->extInfos[ext].data[k]);
        }
        add(d + 1, "Pictures (%d)", int(count));
        for (unsigned k = 0; k < count; ++k) picture(d + 2, unsigned(pics - art_->pics) + k);
    }
    void group(int d, unsigned index) {
        const mem_group &g = art_->groups[index];
        add(d, "Group: %d [%08X]", int(index), index);
        rect(d + 1, GROUP, index);
        for (int i = 0; i < 8; ++i) add(d + 1, "unknown%d = %08X", i + 1, g.header[i]);
        add(d + 1, g.extInfo ? "Extended Information: Yes" : "Extended Information: No");
        add(d + 1, "Frames (%d)", int(g.frameCount));
        for (unsigned k = 0; k < g.frameCount; ++k)
            frame(d + 2, unsigned(g.frames - art_->frames) + k,
                  g.extInfo ? int(g.extInfo - art_->extInfos) + int(k) : -1);
        add(d + 1, g.appendixCount ? "Appendix (%d)" : "No Appendix", int(g.appendixCount));
        for (unsigned j = 0; j < g.appendixCount; ++j) {
            add(d + 2, "apdx %d", int(j));
            for (int w = 0; w < 4; ++w)
                add(d + 3, "unknown %d = %02X", w + 1, unsigned(g.appendix[j].data[w]));
        }
    }

private:
    void rect(int d, int kind, unsigned index) {
        RECT r = rect_of(art_, kind, index);
        add(d, "Rect");
        const char *const names[] = {"left", "top", "right", "bottom"};
        const LONG values[] = {r.left, r.top, r.right, r.bottom};
        for (int i = 0; i < 4; ++i) add(d + 1, "%s: %d", names[i], int(values[i]));
    }
    void add(int depth, const char *format, ...) {
        char text[256];
        va_list args;
        va_start(args, format);
        vsnprintf(text, sizeof text, format, args);
        va_end(args);
        items.push_back({depth, text});
    }
    art_handle *art_;
};

std::vector<tree_text> expected(art_handle *art, int kind, unsigned index) {
    expected_tree t(art);
    if (kind == IMAGE) t.image(0, int(index));
    if (kind == PICTURE) t.picture(0, index);
    if (kind == FRAME) t.frame(0, index, -1);
    if (kind == GROUP) t.group(0, index);
    return t.items;
}

// The tree shows exactly `want`; else the first difference.
std::string tree_differs(const std::vector<tree_item> &items, const std::vector<tree_text> &want) {
    for (size_t i = 0; i < items.size() && i < want.size(); ++i)
        if (items[i].depth != want[i].first || items[i].text != want[i].second)
            return "item " + std::to_string(i) + " is \"" + items[i].text + "\" at depth " +
                   std::to_string(items[i].depth) + ", not \"" + want[i].second + "\" at depth " +
                   std::to_string(want[i].first);
    if (items.size() != want.size())
        return std::to_string(items.size()) + " items, not " + std::to_string(want.size());
    return "";
}

// The first item with this text, or null.
const tree_item *find_item(const std::vector<tree_item> &items, const std::string &text) {
    for (const tree_item &i : items)
        if (i.text == text) return &i;
    return nullptr;
}

class Selection : public Viewer {
protected:
    // One action on the selection dialog and what it must leave. op: k the
    // Select command of kind `arg`, s set the index text, t type it, u/d a
    // click on the spin's up/down arrow, a Automatic Update, x Extended Info,
    // p Apply, o Ok, f the keyboard is with the edit or Apply (`arg`), h hide
    // the shown dialog by `arg` with "9" typed, z a resize and a scroll.
    // After it the edit holds `text`, the tree's first item is `root` ("=":
    // the whole tree of `kind` `index`) and the main window shows object
    // `index` of `kind` (0: nothing; GROUP or -1: not checked); null: any.
    struct step {
        char op;
        std::string arg;
        const char *text, *root;
        int kind;
        unsigned index;
    };
    void run(const std::vector<step> &steps) {
        for (size_t i = 0; i < steps.size(); ++i) {
            const step &s = steps[i];
            SCOPED_TRACE("step " + std::to_string(i + 1) + " '" + s.op + "' \"" + s.arg + "\"");
            act(s);
            if (HasFatalFailure()) return;
            HWND edit = item(IDC_INDEX);
            const std::string text = s.text ? s.text : drive::window_text(edit);
            EXPECT_TRUE(drive::wait_until([&] { return drive::window_text(edit) == text; }))
                << "the edit holds \"" << drive::window_text(edit) << "\"";
            const bool whole = s.root && std::string(s.root) == "=";
            EXPECT_EQ(whole ? tree_differs(items(), expected(set->art, s.kind, s.index)) : "", "");
            EXPECT_TRUE(!s.root || whole || drive::wait_until([&] { return root() == s.root; }))
                << root();
            EXPECT_EQ(s.kind == 0                    ? showing_bare()
                      : s.kind > 0 && s.kind < GROUP ? showing(rendered(set->art, s.kind, s.index))
                                                     : "",
                      "");
        }
    }
    void act(const step &s) {
        static const uint32_t art_handle::*const counts[] = {
            &art_handle::imageCount, &art_handle::picCount, &art_handle::frameCount,
            &art_handle::groupCount};
        HWND edit = item(IDC_INDEX);
        const int kind = s.arg.empty() ? 0 : s.arg[0] - '0';
        if (s.op == 'k') {
            ASSERT_NO_FATAL_FAILURE(select(kind));
            EXPECT_EQ(SendMessageA(item(IDC_SPIN), UDM_GETRANGE, 0, 0),
                      LRESULT(uint16_t(set->art->*counts[kind - 1] - 1)))
                << "the spin's range";
        }
        if (s.op == 's') set_index(s.arg);
        if (s.op == 't') drive::type(edit, s.arg);
        if (s.op == 'u' || s.op == 'd') drive::click_spin(item(IDC_SPIN), s.op == 'u');
        if (s.op == 'a') press(IDC_AUTOUPDATE);
        if (s.op == 'x') press(IDC_EXTENDEDINFO);
        if (s.op == 'p') press(IDC_APPLY);
        if (s.op == 'o') press(IDC_SELECT_OK);
        EXPECT_TRUE(s.op != 'f' ||
                    drive::focus_of(dialog) == item(s.arg == "edit" ? IDC_INDEX : IDC_APPLY))
            << "the keyboard focus";
        if (s.op == 'h') {
            ShowWindow(dialog, SW_SHOWNORMAL);
            ASSERT_TRUE(drive::wait_until([&] { return IsWindowVisible(dialog) != FALSE; }));
            set_index("9");
            PostMessageA(s.arg == "close" ? dialog : edit,
                         s.arg == "close" ? WM_SYSCOMMAND : WM_KEYDOWN,
                         s.arg == "close"   ? SC_CLOSE
                         : s.arg == "Enter" ? VK_RETURN
                                            : VK_ESCAPE,
                         0);
        }
        EXPECT_TRUE((s.op != 'o' && s.op != 'h') || drive::wait_hidden(dialog)) << "hides";
        if (s.op == 'z') { // smaller: the selection dialog beside the window stays clear of it
            resize(240, 200);
            v->post(WM_HSCROLL, SB_LINERIGHT);
            ASSERT_TRUE(answers()) << "the viewer is gone or hangs";
        }
    }
};

TEST_F(Selection, IndexesApplyAtOnceOnlyWithAutomaticUpdateAndEachKindKeepsItsText) {
    ASSERT_NO_FATAL_FAILURE(open(sample_set()));
    const unsigned last = set->art->imageCount - 1;
    ASSERT_GT(last, 30u);
    ASSERT_LT(set->art->groupCount, 30u);
    char lastRoot[32];
    snprintf(lastRoot, sizeof lastRoot, "Image: %u [%08X]", last, last);
    const std::string l = std::to_string(last);
    const RECT frame0 = rect_of(set->art, FRAME, 0);
    ASSERT_TRUE(frame0.left < 0 && frame0.top < 0)
        << "frame 0 reaches above and left of its anchor";
    run({{'k', "1", "0", "Image: 0 [00000000]", IMAGE, 0},
         {'f', "edit", "0", nullptr, -1, 0},
         {'s', "", "", "Image: 0 [00000000]", -1, 0}, // an empty text applies nothing
         {'t', "1", "1", "Image: 1 [00000001]", IMAGE, 1},
         {'t', "2", "12", "Image: 12 [0000000C]", IMAGE, 12},
         {'k', "4", "0", "Group: 0 [00000000]", -1, 0},
         {'s', "3", "3", "Group: 3 [00000003]", -1, 0},
         {'k', "1", "12", "Image: 12 [0000000C]", IMAGE, 12},
         {'u', "", "13", "Image: 13 [0000000D]", IMAGE, 13}, // a spin click applies
         {'s', l, l.c_str(), lastRoot, IMAGE, last},
         {'u', "", "0", "Image: 0 [00000000]", IMAGE, 0}, // the spin wraps at both ends
         {'d', "", l.c_str(), lastRoot, IMAGE, last},
         {'s', "999999", "999999", lastRoot, IMAGE, last}, // past the last: the last
         {'k', "4", "3", "Group: 3 [00000003]", -1, 0},
         {'k', "3", "0", "=", FRAME, 0}, // from its rectangle's top-left corner
         {'k', "1", "999999", lastRoot, IMAGE, last},
         {'s', "13", "13", "Image: 13 [0000000D]", IMAGE, 13},
         // Without Automatic Update, typing and spinning wait for Apply.
         {'a', "", nullptr, nullptr, -1, 0},
         {'s', "", "", nullptr, -1, 0},
         {'t', "5", "5", nullptr, -1, 0},
         {'u', "", "6", "Image: 13 [0000000D]", IMAGE, 13},
         {'p', "", "6", "Image: 6 [00000006]", IMAGE, 6},
         {'f', "edit", "6", nullptr, -1, 0},
         {'s', "abc", "abc", nullptr, -1, 0},
         {'p', "", "abc", "Image: 6 [00000006]", IMAGE, 6}, // no number: nothing changes
         {'f', "apply", "abc", nullptr, -1, 0},             // the focus included
         {'s', "7", "7", "Image: 6 [00000006]", IMAGE, 6},
         {'o', "", "7", "Image: 7 [00000007]", IMAGE, 7},      // Ok applies and hides
         {'h', "Enter", "9", "Image: 7 [00000007]", IMAGE, 7}, // the others apply nothing
         {'h', "Escape", "9", "Image: 7 [00000007]", IMAGE, 7},
         {'h', "close", "9", "Image: 7 [00000007]", IMAGE, 7},
         // A Select command changes the dialog; the new skeleton waits for an apply.
         {'k', "2", "0", "", -1, 0},
         {'p', "", "0", "=", PICTURE, 0},
         // A group render with an index past the groups reads nothing.
         {'k', "1", "9", nullptr, -1, 0},
         {'s', "30", "30", nullptr, -1, 0},
         {'p', "", "30", "Image: 30 [0000001E]", IMAGE, 30},
         {'k', "4", "3", nullptr, -1, 0},
         {'z', "", "3", nullptr, 0, 0}});
    EXPECT_FALSE(SendMessageA(item(IDC_AUTOUPDATE), BM_GETCHECK, 0, 0) == BST_CHECKED);
}

TEST_F(Selection, OnlyExtendedInfoFitsTheHeightAndTheTreeKeepsNodesExpanded) {
    ASSERT_NO_FATAL_FAILURE(open(sample_set()));
    ASSERT_NO_FATAL_FAILURE(select(IMAGE));
    auto bottom = [&](int id) {
        RECT r;
        GetWindowRect(id ? item(id) : dialog, &r);
        return r.bottom;
    };
    EXPECT_EQ(bottom(0), bottom(IDC_TREE) + 13) << "Extended Info on: the whole tree";
    press(IDC_EXTENDEDINFO);
    EXPECT_EQ(bottom(0), bottom(IDC_EXTENDEDINFO) + 13);
    press(IDC_EXTENDEDINFO);
    EXPECT_EQ(bottom(0), bottom(IDC_TREE) + 13);

    // Each object's tree, then items that must be there ("+" open, "-"
    // closed); `open` is opened before the next. The sample: picture 1 shows
    // image 0; group 2 has extended info on some frames and two appendix
    // entries, group 1 neither. Group 2's frames node opened and its appendix
    // left closed, group 0 keeps them so; its appendix opened stays open.
    const struct {
        int kind;
        const char *index, *open;
        std::vector<std::string> items;
    } trees[] = {
        {IMAGE, "0", nullptr, {"+Image: 0 [00000000]", "+Rect"}},
        {PICTURE, "1", nullptr, {"+Picture: 1 [00000001]", "+Rect", "-Image: 0 [00000000]"}},
        // Numbers of the sample, as written in its records: the reference
        // reads the same records.
        {GROUP,
         "2",
         "Frames (6)",
         {"-Frames (6)", "-Appendix (2)", "unknown1 = 544F5243", "Extended info: 8",
          "unknown 1 = A0", "Image: 32 [00000020]", "unknown 1 = DEADBEEF"}},
        {GROUP, "0", "Appendix (1)", {"+Group: 0 [00000000]", "+Frames (8)", "-Appendix (1)"}},
        {GROUP, "4", nullptr, {"+Appendix (1)"}},
        {GROUP, "1", nullptr, {"Extended Information: No", "No Appendix", "Frames (10)"}}};
    for (const auto &t : trees) {
        SCOPED_TRACE(std::string(t.index) + " of kind " + std::to_string(t.kind));
        if (t.kind != GROUP || t.index[0] == '2') select(t.kind);
        ASSERT_FALSE(HasFatalFailure());
        set_index(t.index);
        const std::vector<tree_item> all = items();
        EXPECT_EQ(tree_differs(all, expected(set->art, t.kind, unsigned(atoi(t.index)))), "");
        for (const std::string &want : t.items) {
            const bool state = want[0] == '+' || want[0] == '-';
            const tree_item *found = find_item(all, want.substr(state ? 1 : 0));
            EXPECT_TRUE(found) << want;
            EXPECT_TRUE(!found || !state || found->expanded == (want[0] == '+')) << want;
        }
        if (const tree_item *open = t.open ? find_item(all, t.open) : nullptr)
            SendMessageA(item(IDC_TREE), TVM_EXPAND, TVE_EXPAND, LPARAM(open->handle));
    }

    // Extended Info off at the switch: the group's apply finds an image's
    // skeleton and builds a group's. Without Automatic Update the tree keeps
    // the group until Apply; Extended Info only resizes.
    run({{'k', "1", "0", "=", IMAGE, 0},
         {'x', "", "0", nullptr, -1, 0},
         {'k', "4", "1", "=", GROUP, 1},
         {'a', "", "1", nullptr, -1, 0},
         {'k', "3", "0", nullptr, -1, 0},
         {'s', "5", "5", "=", GROUP, 1},
         {'x', "", "5", "=", GROUP, 1},
         {'p', "", "5", "=", FRAME, 5}});
}

// A kind without objects: applying reads nothing and changes nothing. A frame
// too large for any buffer shows nothing. A picture that no frame uses has no
// image: nothing of one is read for it.
TEST_F(Selection, ShowsAndReadsNothingForAnEmptyKindAHugeFrameOrAPictureWithoutAnImage) {
    ASSERT_NO_FATAL_FAILURE(open(empty_set()));
    run({{'k', "1", "0", nullptr, 0, 0},
         {'s', "3", "3", nullptr, -1, 0},
         {'p', "", "3", "", 0, 0}, // the skeleton stays empty
         {'k', "4", "0", nullptr, 0, 0}});

    // A frame whose two pictures lie 65535 pixels apart, and an image.
    artgen::art_set huge;
    huge.palettes.push_back(test_palette());
    huge.images.push_back(artgen::image8(4, 4, 0, std::vector<uint8_t>(16, 9)));
    huge.groups.resize(1);
    huge.groups[0].frames.resize(1);
    std::vector<artgen::picture> &pics = huge.groups[0].frames[0].pics;
    pics.resize(2);
    pics[0].x = pics[0].y = -32768;
    pics[1].x = pics[1].y = 32767;
    pics[1].slot = 1;
    ASSERT_NO_FATAL_FAILURE(open(save_set(huge, "huge")));
    run({{'k', "3", "0", nullptr, 0, 0}, {'k', "1", "0", nullptr, IMAGE, 0}});

    // One frame of one picture, and a second picture in the table.
    artgen::art_set odd;
    odd.palettes.push_back(test_palette());
    odd.images.push_back(artgen::image8(2, 2, 0, {1, 2, 3, 4}));
    odd.groups.resize(1);
    odd.groups[0].frames.resize(1);
    odd.groups[0].frames[0].pics.resize(1);
    odd.picCountField = 2;
    ASSERT_NO_FATAL_FAILURE(open(save_set(odd, "odd")));
    ASSERT_EQ(set->art->pics[1].image, nullptr);
    run({{'k', "2", "0", nullptr, -1, 0}, {'s', "1", "1", "=", PICTURE, 1}});
    EXPECT_TRUE(drive::save_object(*v, g_scratch + "\\nothing.bmp", 1).came);
    drive::message m = drive::next_message(*v);
    EXPECT_EQ(m.text, "Error saving object.") << "a picture without an image covers nothing";
    EXPECT_TRUE(drive::answer(m, IDOK));
}

} // namespace
