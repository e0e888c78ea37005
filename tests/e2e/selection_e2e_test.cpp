// The selection dialog and the Select commands driven from outside: typing
// and spinning indexes with Automatic Update on and off, Apply, Ok and the
// ways to hide it, Extended Info, the structure tree of every kind read
// through the tree control, and the index text each kind remembers.
#include "e2e_support.h"
#include "resource.h"

#include <commctrl.h>
#include <gtest/gtest.h>

#include <cstdarg>
#include <cstdio>

namespace {

using namespace e2e;
using drive::tree_item;

// ----- the tree as designed, built from the records of a loaded set -----

struct tree_text {
    int depth;
    std::string text;
};

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
        if (items[i].depth != want[i].depth || items[i].text != want[i].text)
            return "item " + std::to_string(i) + " is \"" + items[i].text + "\" at depth " +
                   std::to_string(items[i].depth) + ", not \"" + want[i].text + "\" at depth " +
                   std::to_string(want[i].depth);
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
    void SetUp() override {
        Viewer::SetUp();
        ASSERT_NO_FATAL_FAILURE(load(files));
        ASSERT_TRUE(set.ok);
    }
    // Chooses a Select command; the dialog and its controls.
    void select(UINT command, const char *caption) {
        dialog = drive::select_kind(*v, command, caption);
        ASSERT_TRUE(dialog) << caption;
        edit = GetDlgItem(dialog, IDC_INDEX);
        tree = GetDlgItem(dialog, IDC_TREE);
    }
    std::vector<tree_item> items() const { return drive::tree_items(v->process(), tree); }
    std::string root() const {
        std::vector<tree_item> all = items();
        return all.empty() ? "(empty)" : all[0].text;
    }
    void set_index(const char *text) { SendMessageA(edit, WM_SETTEXT, 0, LPARAM(text)); }
    void press(int id) { SendMessageA(GetDlgItem(dialog, id), BM_CLICK, 0, 0); }
    bool checked(int id) const {
        return SendMessageA(GetDlgItem(dialog, id), BM_GETCHECK, 0, 0) == BST_CHECKED;
    }
    // The main window shows object `index` of `kind` as the viewer renders it.
    std::string shows_object(int kind, unsigned index) {
        refs.push_back(std::make_unique<reference>(rendered(set.art, kind, index)));
        return drive::wait_for_client(v->main(), shows(*refs.back(), 0, 0));
    }

    set_files files = sample_set();
    loaded_set set{files};
    HWND dialog = nullptr, edit = nullptr, tree = nullptr;
    std::vector<std::unique_ptr<reference>> refs;
};

TEST_F(Selection, AppliesTypedAndSpunIndexesAtOnceOnlyWithAutomaticUpdate) {
    ASSERT_NO_FATAL_FAILURE(select(ID_SELECT_IMAGE, "Select Image"));
    const unsigned last = set.art->imageCount - 1;
    ASSERT_GT(last, 13u);
    LRESULT range = SendMessageA(GetDlgItem(dialog, IDC_SPIN), UDM_GETRANGE, 0, 0);
    EXPECT_EQ(HIWORD(range), 0) << "lowest";
    EXPECT_EQ(LOWORD(range), last) << "highest";
    EXPECT_EQ(drive::focus_of(dialog), edit) << "the Select command's apply focuses the edit";

    // Typed with Automatic Update: each key applies.
    set_index("");
    EXPECT_EQ(root(), "Image: 0 [00000000]") << "an empty text applies nothing";
    drive::type(edit, "1");
    EXPECT_EQ(root(), "Image: 1 [00000001]");
    EXPECT_EQ(shows_object(IMAGE, 1), "");
    drive::type(edit, "2");
    EXPECT_EQ(root(), "Image: 12 [0000000C]");
    EXPECT_EQ(shows_object(IMAGE, 12), "");
    drive::click_spin(GetDlgItem(dialog, IDC_SPIN), true);
    EXPECT_TRUE(drive::wait_until([&] { return drive::window_text(edit) == "13"; }));
    EXPECT_TRUE(drive::wait_until([&] { return root() == "Image: 13 [0000000D]"; })) << root();
    EXPECT_EQ(shows_object(IMAGE, 13), "") << "a spin click applies";

    // The spin wraps at both ends of the range.
    set_index(std::to_string(last).c_str());
    drive::click_spin(GetDlgItem(dialog, IDC_SPIN), true);
    EXPECT_TRUE(drive::wait_until([&] { return drive::window_text(edit) == "0"; }))
        << "up from the last: " << drive::window_text(edit);
    EXPECT_TRUE(drive::wait_until([&] { return root() == "Image: 0 [00000000]"; })) << root();
    drive::click_spin(GetDlgItem(dialog, IDC_SPIN), false);
    EXPECT_TRUE(drive::wait_until([&] { return drive::window_text(edit) == std::to_string(last); }))
        << "down from 0: " << drive::window_text(edit);

    // A number past the last shows the last; the text stays as typed.
    set_index("999999");
    char rootLast[32];
    snprintf(rootLast, sizeof rootLast, "Image: %u [%08X]", last, last);
    EXPECT_EQ(root(), rootLast);
    EXPECT_EQ(drive::window_text(edit), "999999");
    EXPECT_EQ(shows_object(IMAGE, last), "");

    // Without Automatic Update, typing and spinning wait for Apply.
    set_index("13");
    press(IDC_AUTOUPDATE);
    ASSERT_FALSE(checked(IDC_AUTOUPDATE));
    set_index("");
    drive::type(edit, "5");
    drive::click_spin(GetDlgItem(dialog, IDC_SPIN), true);
    EXPECT_TRUE(drive::wait_until([&] { return drive::window_text(edit) == "6"; }));
    EXPECT_EQ(root(), "Image: 13 [0000000D]");
    EXPECT_EQ(shows_object(IMAGE, 13), "") << "nothing applied yet";
    press(IDC_APPLY);
    EXPECT_EQ(root(), "Image: 6 [00000006]");
    EXPECT_EQ(shows_object(IMAGE, 6), "");
    EXPECT_EQ(drive::focus_of(dialog), edit) << "Apply gives the edit the keyboard";

    // A text without a number changes nothing, the focus included.
    set_index("abc");
    press(IDC_APPLY);
    EXPECT_EQ(root(), "Image: 6 [00000006]");
    EXPECT_EQ(drive::focus_of(dialog), GetDlgItem(dialog, IDC_APPLY));
}

TEST_F(Selection, OkAppliesAndHidesEnterEscapeAndCloseHideOnlyExtendedInfoFitsTheHeight) {
    ASSERT_NO_FATAL_FAILURE(select(ID_SELECT_IMAGE, "Select Image"));
    auto bottom = [&](HWND w) {
        RECT r;
        GetWindowRect(w, &r);
        return r.bottom;
    };
    EXPECT_EQ(bottom(dialog), bottom(tree) + 13) << "Extended Info on: the whole tree";
    press(IDC_EXTENDEDINFO);
    EXPECT_FALSE(checked(IDC_EXTENDEDINFO));
    EXPECT_EQ(bottom(dialog), bottom(GetDlgItem(dialog, IDC_EXTENDEDINFO)) + 13);
    press(IDC_EXTENDEDINFO);
    EXPECT_EQ(bottom(dialog), bottom(tree) + 13);

    press(IDC_AUTOUPDATE);
    set_index("7");
    press(IDC_SELECT_OK);
    EXPECT_TRUE(drive::wait_hidden(dialog)) << "Ok hides";
    EXPECT_EQ(root(), "Image: 7 [00000007]") << "Ok applies";
    EXPECT_EQ(shows_object(IMAGE, 7), "");

    const struct {
        const char *way;
        UINT msg;
        WPARAM key;
    } ways[] = {{"Enter", WM_KEYDOWN, VK_RETURN},
                {"Escape", WM_KEYDOWN, VK_ESCAPE},
                {"the close box", WM_SYSCOMMAND, SC_CLOSE}};
    for (const auto &w : ways) {
        ShowWindow(dialog, SW_SHOWNORMAL);
        ASSERT_TRUE(drive::wait_until([&] { return IsWindowVisible(dialog) != FALSE; }));
        set_index("9");
        PostMessageA(w.msg == WM_KEYDOWN ? edit : dialog, w.msg, w.key, 0);
        EXPECT_TRUE(drive::wait_hidden(dialog)) << w.way << " hides";
        EXPECT_EQ(root(), "Image: 7 [00000007]") << w.way << " applies nothing";
        EXPECT_EQ(shows_object(IMAGE, 7), "") << w.way;
    }
}

TEST_F(Selection, TheTreeListsEachKindDownToItsImagesAndKeepsNodesExpanded) {
    art_handle *art = set.art;
    // The sample: image 0 and its picture, frame 0 (two pictures), group 2 with
    // extended info on some frames and two appendix entries, group 1 with
    // neither.
    ASSERT_NO_FATAL_FAILURE(select(ID_SELECT_IMAGE, "Select Image"));
    std::vector<tree_item> all = items();
    EXPECT_EQ(tree_differs(all, expected(art, IMAGE, 0)), "");
    ASSERT_EQ(all.size(), 8u);
    EXPECT_TRUE(all[0].expanded && all[1].expanded) << "an image's object and rect nodes";

    ASSERT_NO_FATAL_FAILURE(select(ID_SELECT_PICTURE, "Select Picture"));
    set_index("1");
    all = items();
    EXPECT_EQ(tree_differs(all, expected(art, PICTURE, 1)), "");
    ASSERT_EQ(all.size(), 14u);
    EXPECT_TRUE(all[0].expanded && all[1].expanded) << "a picture's object and rect nodes";
    EXPECT_FALSE(all[6].expanded) << "its image node";

    ASSERT_NO_FATAL_FAILURE(select(ID_SELECT_FRAME, "Select Frame"));
    all = items();
    EXPECT_EQ(tree_differs(all, expected(art, FRAME, 0)), "");
    EXPECT_FALSE(find_item(all, "Extended info: 0")) << "a frame alone has no extended-info node";

    ASSERT_NO_FATAL_FAILURE(select(ID_SELECT_GROUP, "Select Group"));
    set_index("2");
    all = items();
    EXPECT_EQ(tree_differs(all, expected(art, GROUP, 2)), "");
    // Numbers of the sample, as written in its records: the reference
    // above reads the same records.
    for (const char *text : {"unknown1 = 544F5243", "Extended info: 8", "unknown 1 = A0",
                             "Image: 32 [00000020]", "unknown 1 = DEADBEEF"})
        EXPECT_TRUE(find_item(all, text)) << text;

    // The frames node opened, the appendix node left closed; another group
    // keeps them so. Opened, the appendix stays open for the next group.
    const tree_item *frames = find_item(all, "Frames (6)");
    const tree_item *appendix = find_item(all, "Appendix (2)");
    ASSERT_TRUE(frames && appendix);
    EXPECT_FALSE(frames->expanded);
    SendMessageA(tree, TVM_EXPAND, TVE_EXPAND, LPARAM(frames->handle));
    set_index("0");
    all = items();
    EXPECT_EQ(tree_differs(all, expected(art, GROUP, 0)), "");
    ASSERT_TRUE((frames = find_item(all, "Frames (8)")) &&
                (appendix = find_item(all, "Appendix (1)")));
    EXPECT_TRUE(frames->expanded) << "the frames node stays open";
    EXPECT_FALSE(appendix->expanded) << "the appendix node stays closed";
    EXPECT_TRUE(all[0].expanded) << "the group's node";
    SendMessageA(tree, TVM_EXPAND, TVE_EXPAND, LPARAM(appendix->handle));
    set_index("4");
    all = items();
    EXPECT_EQ(tree_differs(all, expected(art, GROUP, 4)), "");
    ASSERT_TRUE((appendix = find_item(all, "Appendix (1)")));
    EXPECT_TRUE(appendix->expanded) << "the appendix node stays open";

    set_index("1");
    all = items();
    EXPECT_EQ(tree_differs(all, expected(art, GROUP, 1)), "");
    for (const char *text : {"Extended Information: No", "No Appendix", "Frames (10)"})
        EXPECT_TRUE(find_item(all, text)) << text;
}

TEST_F(Selection, EachKindRemembersItsIndexTextAndItsSpinRange) {
    auto range_top = [&] {
        return int(short(LOWORD(SendMessageA(GetDlgItem(dialog, IDC_SPIN), UDM_GETRANGE, 0, 0))));
    };
    ASSERT_NO_FATAL_FAILURE(select(ID_SELECT_IMAGE, "Select Image"));
    set_index("12");
    ASSERT_NO_FATAL_FAILURE(select(ID_SELECT_GROUP, "Select Group"));
    EXPECT_EQ(drive::window_text(edit), "0");
    EXPECT_EQ(range_top(), int(set.art->groupCount) - 1);
    set_index("3");
    EXPECT_EQ(root(), "Group: 3 [00000003]");
    ASSERT_NO_FATAL_FAILURE(select(ID_SELECT_IMAGE, "Select Image"));
    EXPECT_EQ(drive::window_text(edit), "12");
    EXPECT_EQ(root(), "Image: 12 [0000000C]");
    EXPECT_EQ(shows_object(IMAGE, 12), "");
    EXPECT_EQ(range_top(), int(set.art->imageCount) - 1);
    ASSERT_NO_FATAL_FAILURE(select(ID_SELECT_GROUP, "Select Group"));
    EXPECT_EQ(drive::window_text(edit), "3");

    // Without Automatic Update, a Select command changes the dialog; the new
    // skeleton waits for an apply.
    press(IDC_AUTOUPDATE);
    ASSERT_NO_FATAL_FAILURE(select(ID_SELECT_PICTURE, "Select Picture"));
    EXPECT_EQ(drive::window_text(edit), "0");
    EXPECT_EQ(range_top(), int(set.art->picCount) - 1);
    EXPECT_EQ(root(), "");
    press(IDC_APPLY);
    EXPECT_EQ(tree_differs(items(), expected(set.art, PICTURE, 0)), "");
}

TEST_F(Selection, TheTreeFollowsTheKindAlsoWhenExtendedInfoWasOffAtTheSwitch) {
    ASSERT_NO_FATAL_FAILURE(select(ID_SELECT_IMAGE, "Select Image"));
    press(IDC_EXTENDEDINFO);
    // The group's apply finds an image's skeleton and builds a group's.
    ASSERT_NO_FATAL_FAILURE(select(ID_SELECT_GROUP, "Select Group"));
    EXPECT_EQ(tree_differs(items(), expected(set.art, GROUP, 0)), "");
    // Without Automatic Update the tree keeps the group until Apply.
    press(IDC_AUTOUPDATE);
    ASSERT_NO_FATAL_FAILURE(select(ID_SELECT_FRAME, "Select Frame"));
    set_index("5");
    EXPECT_EQ(tree_differs(items(), expected(set.art, GROUP, 0)), "");
    press(IDC_EXTENDEDINFO);
    EXPECT_EQ(tree_differs(items(), expected(set.art, GROUP, 0)), "")
        << "Extended Info only resizes";
    press(IDC_APPLY);
    EXPECT_EQ(tree_differs(items(), expected(set.art, FRAME, 5)), "");
    EXPECT_EQ(shows_object(FRAME, 5), "");
}

// A kind without objects: applying reads nothing and changes nothing. A
// picture that no frame uses has no image: nothing of one is read for it.
TEST_F(Viewer, ReadsNoRecordForAKindWithoutObjectsOrAPictureWithoutAnImage) {
    ASSERT_NO_FATAL_FAILURE(load(empty_set()));
    HWND dialog = drive::select_kind(*v, ID_SELECT_IMAGE, "Select Image");
    ASSERT_TRUE(dialog);
    HWND tree = GetDlgItem(dialog, IDC_TREE);
    LRESULT range = SendMessageA(GetDlgItem(dialog, IDC_SPIN), UDM_GETRANGE, 0, 0);
    EXPECT_EQ(short(LOWORD(range)), -1) << "0 .. -1 for an empty table";
    SendMessageA(GetDlgItem(dialog, IDC_INDEX), WM_SETTEXT, 0, LPARAM("3"));
    SendMessageA(GetDlgItem(dialog, IDC_APPLY), BM_CLICK, 0, 0);
    std::vector<tree_item> all = drive::tree_items(v->process(), tree);
    ASSERT_FALSE(all.empty());
    EXPECT_EQ(all[0].text, "") << "the skeleton stays empty";
    EXPECT_EQ(drive::wait_for_client(v->main(), bare), "");

    // One frame of one picture, and a second picture in the table.
    artgen::art_set odd;
    odd.palettes.push_back(test_palette());
    odd.images.push_back(artgen::image8(2, 2, 0, {1, 2, 3, 4}));
    odd.groups.resize(1);
    odd.groups[0].frames.resize(1);
    odd.groups[0].frames[0].pics.resize(1);
    odd.picCountField = 2;
    set_files files = save_set(odd, "odd");
    ASSERT_NO_FATAL_FAILURE(load(files));
    loaded_set set(files);
    ASSERT_TRUE(set.ok);
    ASSERT_EQ(set.art->pics[1].image, nullptr);
    ASSERT_TRUE(drive::select_kind(*v, ID_SELECT_PICTURE, "Select Picture"));
    SendMessageA(GetDlgItem(dialog, IDC_INDEX), WM_SETTEXT, 0, LPARAM("1"));
    all = drive::tree_items(v->process(), tree);
    EXPECT_EQ(tree_differs(all, expected(set.art, PICTURE, 1)), "");
    EXPECT_TRUE(find_item(all, "Image: -1 [FFFFFFFF]"));
    EXPECT_TRUE(drive::save_object(*v, g_scratch + "\\nothing.bmp", 1).came);
    drive::message m = drive::next_message(*v);
    EXPECT_EQ(m.text, "Error saving object.") << "a picture without an image covers nothing";
    EXPECT_TRUE(drive::answer(m, IDOK));
}

} // namespace
