// The end-to-end tests' fixture: the viewer started for each test and ended
// after, and the steps the tests share, each failing the test with its reason.
#pragma once

#include "driver.h"
#include "resource.h"

#include <gtest/gtest.h>

#include <memory>

namespace e2e {

using namespace drive;

class Viewer : public ::testing::Test {
protected:
    void SetUp() override {
        v = std::make_unique<viewer>(g_sampleDir);
        ASSERT_TRUE(v->started()) << "the main window did not come";
    }
    // Loads a set through the dialogs and, with `keep`, into this program as `set`.
    void load(const set_files &files, bool keep = false) {
        ASSERT_EQ(load_ok(*v, files.bmp, files.prt), "");
        if (!keep) return;
        set = std::make_unique<loaded_set>(files);
        ASSERT_TRUE(set->ok);
    }
    void open(const set_files &files) { load(files, true); }
    void select(int kind) {
        dialog = select_kind(*v, kind);
        ASSERT_TRUE(dialog) << drive::kind(kind).caption;
    }
    HWND item(int id) const { return GetDlgItem(dialog, id); }
    void set_index(const std::string &text) { in_dialog(*v, dialog, 's', text); }
    void press(int id) { SendMessageA(item(id), BM_CLICK, 0, 0); }
    std::vector<tree_item> items() const { return tree_items(v->process(), item(IDC_TREE)); }
    std::string root() const {
        std::vector<tree_item> all = items();
        return all.empty() ? "(empty)" : all[0].text;
    }
    // The main window shows `ref` scrolled to (hpos, vpos): "" or why not.
    std::string showing(const picture &ref, int hpos = 0, int vpos = 0) {
        return wait_for_client(v->main(), shows(ref, hpos, vpos));
    }
    std::string showing_bare() { return wait_for_client(v->main(), bare); }
    bool answers() const { return v->send(v->main(), WM_NULL); }

    std::unique_ptr<viewer> v;
    std::unique_ptr<loaded_set> set;
    HWND dialog = nullptr;
};

} // namespace e2e
