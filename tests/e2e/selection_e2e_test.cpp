// The selection dialog and the Select commands driven from outside: typing
// and spinning indexes with Automatic Update on and off, Apply, Ok and the
// ways to hide it, Extended Info, the structure tree of every kind read
// through the tree control, the index text each kind remembers, and sets
// with nothing to show.
#include "e2e.h"
#include "tree_texts.h"

#include <cstdio>
#include <cstdlib>

namespace {

using namespace e2e;

// ----- the tree the viewer's logic builds, as the control must show it -----

using tree_text = std::pair<int, std::string>; // an item's depth and text

// object_tree's nodes in display order; below an image node without an image
// the dialog's skeleton keeps its empty nodes.
void flatten(const tree_node &n, int depth, std::vector<tree_text> &out) {
    out.push_back({depth, n.text});
    for (const tree_node &c : n.children) flatten(c, depth + 1, out);
    if (n.text.rfind("Image: -1 ", 0) == 0)
        for (int d : {1, 2, 2, 2, 2, 1, 1}) out.push_back({depth + d, ""});
}

std::vector<tree_text> expected(art_handle *art, int kind, unsigned index) {
    std::vector<tree_text> out;
    flatten(object_tree(art, kind, int(index)), 0, out);
    return out;
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
    // Select command of kind `arg`, f the keyboard is with the edit or Apply
    // (`arg`), h hide the shown dialog by `arg` (E Enter, X Escape, c the
    // close box) with "9" typed, z a resize and a scroll; else in_dialog.
    // After it the edit holds `text`, the tree's first item is `root` ("=":
    // the whole tree of `kind` `index`) and the main window shows object
    // `index` of `kind` (0: nothing; OBJ_GROUP or -1: not checked); null: any.
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
            const std::string text = s.text ? s.text : window_text(edit);
            EXPECT_TRUE(wait_until([&] { return window_text(edit) == text; }))
                << "the edit holds \"" << window_text(edit) << "\"";
            const bool whole = s.root && std::string(s.root) == "=";
            EXPECT_EQ(whole ? tree_differs(items(), expected(set->art, s.kind, s.index)) : "", "");
            EXPECT_TRUE(!s.root || whole || wait_until([&] { return root() == s.root; })) << root();
            EXPECT_EQ(s.kind == 0 ? showing_bare()
                      : s.kind > 0 && s.kind < OBJ_GROUP
                          ? showing(rendered(set->art, s.kind, s.index))
                          : "",
                      "");
        }
    }
    void act(const step &s) {
        if (s.op == 'k') {
            const int kind = s.arg[0] - '0';
            ASSERT_NO_FATAL_FAILURE(select(kind));
            EXPECT_EQ(SendMessageA(item(IDC_SPIN), UDM_GETRANGE, 0, 0),
                      LRESULT(uint16_t(object_count(set->art, kind) - 1)))
                << "the spin's range";
        } else if (s.op == 'f') {
            EXPECT_EQ(focus_of(dialog), item(s.arg == "edit" ? IDC_INDEX : IDC_APPLY))
                << "the keyboard focus";
        } else if (s.op == 'h') {
            ShowWindow(dialog, SW_SHOWNORMAL);
            ASSERT_TRUE(wait_until([&] { return IsWindowVisible(dialog) != FALSE; }));
            set_index("9");
            in_dialog(*v, dialog, s.arg[0]);
        } else if (s.op == 'z') { // smaller: the dialog beside the window stays clear of it
            v->resize(240, 200);
            v->post(WM_HSCROLL, SB_LINERIGHT);
            ASSERT_TRUE(answers()) << "the viewer is gone or hangs";
        } else {
            ASSERT_TRUE(in_dialog(*v, dialog, s.op, s.arg)) << "the viewer does not answer";
        }
        EXPECT_TRUE((s.op != 'o' && s.op != 'h') || wait_hidden(dialog)) << "hides";
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
    const RECT frame0 = rect_of(set->art, OBJ_FRAME, 0);
    ASSERT_TRUE(frame0.left < 0 && frame0.top < 0)
        << "frame 0 reaches above and left of its anchor";
    run({{'k', "1", "0", "Image: 0 [00000000]", OBJ_IMAGE, 0},
         {'f', "edit", "0", nullptr, -1, 0},
         {'s', "", "", "Image: 0 [00000000]", -1, 0}, // an empty text applies nothing
         {'t', "1", "1", "Image: 1 [00000001]", OBJ_IMAGE, 1},
         {'t', "2", "12", "Image: 12 [0000000C]", OBJ_IMAGE, 12},
         {'k', "4", "0", "Group: 0 [00000000]", -1, 0},
         {'s', "3", "3", "Group: 3 [00000003]", -1, 0},
         {'k', "1", "12", "Image: 12 [0000000C]", OBJ_IMAGE, 12},
         {'u', "", "13", "Image: 13 [0000000D]", OBJ_IMAGE, 13}, // a spin click applies
         {'s', l, l.c_str(), lastRoot, OBJ_IMAGE, last},
         {'u', "", "0", "Image: 0 [00000000]", OBJ_IMAGE, 0}, // the spin wraps at both ends
         {'d', "", l.c_str(), lastRoot, OBJ_IMAGE, last},
         {'s', "999999", "999999", lastRoot, OBJ_IMAGE, last}, // past the last: the last
         {'k', "4", "3", "Group: 3 [00000003]", -1, 0},
         {'k', "3", "0", "=", OBJ_FRAME, 0}, // from its rectangle's top-left corner
         {'k', "1", "999999", lastRoot, OBJ_IMAGE, last},
         {'s', "13", "13", "Image: 13 [0000000D]", OBJ_IMAGE, 13},
         // Without Automatic Update, typing and spinning wait for Apply.
         {'a', "", nullptr, nullptr, -1, 0},
         {'s', "", "", nullptr, -1, 0},
         {'t', "5", "5", nullptr, -1, 0},
         {'u', "", "6", "Image: 13 [0000000D]", OBJ_IMAGE, 13},
         {'p', "", "6", "Image: 6 [00000006]", OBJ_IMAGE, 6},
         {'f', "edit", "6", nullptr, -1, 0},
         {'s', "abc", "abc", nullptr, -1, 0},
         {'p', "", "abc", "Image: 6 [00000006]", OBJ_IMAGE, 6}, // no number: nothing changes
         {'f', "apply", "abc", nullptr, -1, 0},                 // the focus included
         {'s', "7", "7", "Image: 6 [00000006]", OBJ_IMAGE, 6},
         {'o', "", "7", "Image: 7 [00000007]", OBJ_IMAGE, 7},  // Ok applies and hides
         {'h', "E", "9", "Image: 7 [00000007]", OBJ_IMAGE, 7}, // the others apply nothing
         {'h', "X", "9", "Image: 7 [00000007]", OBJ_IMAGE, 7},
         {'h', "c", "9", "Image: 7 [00000007]", OBJ_IMAGE, 7},
         // A Select command changes the dialog; the new skeleton waits for an apply.
         {'k', "2", "0", "", -1, 0},
         {'p', "", "0", "=", OBJ_PICTURE, 0},
         // A group render with an index past the groups reads nothing.
         {'k', "1", "9", nullptr, -1, 0},
         {'s', "30", "30", nullptr, -1, 0},
         {'p', "", "30", "Image: 30 [0000001E]", OBJ_IMAGE, 30},
         {'k', "4", "3", nullptr, -1, 0},
         {'z', "", "3", nullptr, 0, 0}});
    EXPECT_FALSE(SendMessageA(item(IDC_AUTOUPDATE), BM_GETCHECK, 0, 0) == BST_CHECKED);
}

TEST_F(Selection, OnlyExtendedInfoFitsTheHeightAndTheTreeKeepsNodesExpanded) {
    ASSERT_NO_FATAL_FAILURE(open(sample_set()));
    ASSERT_NO_FATAL_FAILURE(select(OBJ_IMAGE));
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
        {OBJ_IMAGE, "0", nullptr, {"+Image: 0 [00000000]", "+Rect"}},
        {OBJ_PICTURE, "1", nullptr, {"+Picture: 1 [00000001]", "+Rect", "-Image: 0 [00000000]"}},
        {OBJ_GROUP, "2", "Frames (6)", {"-Frames (6)", "-Appendix (2)"}},
        {OBJ_GROUP, "0", "Appendix (1)", {"+Group: 0 [00000000]", "+Frames (8)", "-Appendix (1)"}},
        {OBJ_GROUP, "4", nullptr, {"+Appendix (1)"}},
        {OBJ_GROUP, "1", nullptr, {}}};
    for (const auto &t : trees) {
        SCOPED_TRACE(std::string(t.index) + " of kind " + std::to_string(t.kind));
        if (t.kind != OBJ_GROUP || t.index[0] == '2') select(t.kind);
        ASSERT_FALSE(HasFatalFailure());
        set_index(t.index);
        const std::vector<tree_item> all = items();
        EXPECT_EQ(tree_differs(all, expected(set->art, t.kind, unsigned(atoi(t.index)))), "");
        for (const std::string &want : t.items) {
            const tree_item *found = find_item(all, want.substr(1));
            EXPECT_TRUE(found && found->expanded == (want[0] == '+')) << want;
        }
        if (const tree_item *open = t.open ? find_item(all, t.open) : nullptr)
            SendMessageA(item(IDC_TREE), TVM_EXPAND, TVE_EXPAND, LPARAM(open->handle));
    }

    // Extended Info off at the switch: the group's apply finds an image's
    // skeleton and builds a group's. Without Automatic Update the tree keeps
    // the group until Apply; Extended Info only resizes.
    run({{'k', "1", "0", "=", OBJ_IMAGE, 0},
         {'x', "", "0", nullptr, -1, 0},
         {'k', "4", "1", "=", OBJ_GROUP, 1},
         {'a', "", "1", nullptr, -1, 0},
         {'k', "3", "0", nullptr, -1, 0},
         {'s', "5", "5", "=", OBJ_GROUP, 1},
         {'x', "", "5", "=", OBJ_GROUP, 1},
         {'p', "", "5", "=", OBJ_FRAME, 5}});
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
    run({{'k', "3", "0", nullptr, 0, 0}, {'k', "1", "0", nullptr, OBJ_IMAGE, 0}});

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
    run({{'k', "2", "0", nullptr, -1, 0}, {'s', "1", "1", "=", OBJ_PICTURE, 1}});
    EXPECT_TRUE(save_object(*v, g_scratch + "\\nothing.bmp", 1).came);
    message m = next_message(*v);
    EXPECT_EQ(m.text, "Error saving object.") << "a picture without an image covers nothing";
    EXPECT_TRUE(answer(m, IDOK));
}

} // namespace
