// The viewer's framework under real windows: strings, the application's name,
// modeless and modal dialogs, their owners, data exchange in both directions
// (and the notifications it must not dispatch) and the dialog keys
// of a modeless dialog while a modal one runs.
#include "framework/framework.h"

#include "framework_test_ids.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>

namespace {

class test_app : public CWinApp {
public:
    test_app() { InitFromModule(GetModuleHandleA(nullptr)); }
} theApp;

// A dialog over IDD_FIELDS that counts what reaches its handlers.
class fields_dlg : public CDialog {
public:
    fields_dlg() : CDialog(IDD_FIELDS, nullptr) {}

    CEdit m_edit;
    CString m_text = "start";
    BOOL m_check = TRUE;
    int inits = 0, changes = 0, presses = 0, destroys = 0;
    std::function<void(fields_dlg &)> onInit;

protected:
    void DoDataExchange(CDataExchange *dx) override {
        DDX_Control(dx, IDC_TEXT, m_edit);
        DDX_Check(dx, IDC_CHECK, m_check);
        DDX_Text(dx, IDC_TEXT, m_text);
    }
    BOOL OnInitDialog() override {
        CDialog::OnInitDialog();
        ++inits;
        if (onInit) onInit(*this);
        return TRUE;
    }
    BOOL OnCmdMsg(UINT id, int code) override {
        if (id == IDC_TEXT && code == EN_CHANGE) return ++changes;
        if (id == IDC_PRESS && code == BN_CLICKED) return ++presses;
        return CDialog::OnCmdMsg(id, code);
    }
    void OnDestroy() override {
        ++destroys;
        CDialog::OnDestroy();
    }
};

std::string text_of(HWND hwnd) {
    char buffer[256] = "";
    GetWindowTextA(hwnd, buffer, sizeof buffer);
    return buffer;
}

// The application's main window for a test, none afterwards.
struct main_window {
    explicit main_window(CWnd *wnd) { theApp.m_pMainWnd = wnd; }
    ~main_window() { theApp.m_pMainWnd = nullptr; }
};

TEST(Framework, StringsAndTheApplicationsName) {
    CString s;
    const std::string wide(3000, 'x');
    s.Format("%s|%u [%08X]", wide.c_str(), 7u, 39);
    EXPECT_EQ(std::string(s), wide + "|7 [00000027]") << "longer than any fixed buffer";
    EXPECT_TRUE(s.LoadString(IDS_GREETING));
    EXPECT_STREQ(s, "Hello, %s");
    EXPECT_FALSE(s.LoadString(IDS_MISSING));
    EXPECT_TRUE(s.IsEmpty());
    EXPECT_STREQ(AfxGetAppName(), "framework_tests");
}

TEST(Framework, AModelessDialogIsOwnedByTheMainWindowStartsHiddenAndGoesWithIt) {
    fields_dlg owner, owned;
    ASSERT_TRUE(owner.Create(IDD_FIELDS));
    EXPECT_EQ(GetWindow(owner.m_hWnd, GW_OWNER), nullptr) << "no main window yet";
    main_window main(&owner);
    ASSERT_TRUE(owned.Create(IDD_FIELDS));
    HWND ownedWindow = owned.m_hWnd;
    EXPECT_EQ(GetWindow(ownedWindow, GW_OWNER), owner.m_hWnd);
    EXPECT_FALSE(IsWindowVisible(ownedWindow));
    EXPECT_EQ(owned.inits, 1);
    EXPECT_EQ(CWnd::FromHandlePermanent(ownedWindow), &owned);

    owner.DestroyWindow();
    EXPECT_FALSE(IsWindow(ownedWindow));
    EXPECT_EQ(owned.m_hWnd, nullptr) << "the object still holds a destroyed window";
    EXPECT_EQ(owned.destroys, 1);
    EXPECT_EQ(owner.m_hWnd, nullptr);
}

TEST(Framework, DataExchangeMovesFieldsBothWaysWithoutCountingItsOwnWrites) {
    fields_dlg dlg;
    ASSERT_TRUE(dlg.Create(IDD_FIELDS));
    HWND edit = dlg.GetDlgItem(IDC_TEXT), check = dlg.GetDlgItem(IDC_CHECK);
    EXPECT_EQ(dlg.m_edit.m_hWnd, edit) << "DDX_Control binds the wrapper";
    EXPECT_EQ(text_of(edit), "start") << "initialisation writes the fields";
    EXPECT_EQ(SendMessageA(check, BM_GETCHECK, 0, 0), BST_CHECKED);
    dlg.m_text = "other";
    dlg.m_check = FALSE;
    dlg.UpdateData(FALSE);
    EXPECT_EQ(text_of(edit), "other");
    EXPECT_EQ(SendMessageA(check, BM_GETCHECK, 0, 0), BST_UNCHECKED);
    EXPECT_EQ(dlg.changes, 0) << "a write by the exchange counted as an edit";

    SetWindowTextA(edit, "typed");
    EXPECT_EQ(dlg.changes, 1) << "an edit from outside the exchange";
    SendMessageA(check, BM_SETCHECK, BST_CHECKED, 0);
    dlg.UpdateData(TRUE);
    EXPECT_STREQ(dlg.m_text, "typed");
    EXPECT_EQ(dlg.m_check, TRUE);

    // Writing the text the control shows leaves it alone: the caret stays.
    SendMessageA(edit, EM_SETSEL, 2, 2);
    dlg.UpdateData(FALSE);
    DWORD start = 0, end = 0;
    SendMessageA(edit, EM_GETSEL, WPARAM(&start), LPARAM(&end));
    EXPECT_EQ(start * 10 + end, 22u) << "the selection moved";
    EXPECT_EQ(dlg.changes, 1);
}

// A modeless dialog keeps its keys while a modal one runs.
TEST(Framework, AModalDialogRunsUntilEndDialogWithItsOwnerDisabled) {
    fields_dlg owner, modeless, dlg, ended, closed;
    ASSERT_TRUE(owner.Create(IDD_FIELDS));
    main_window main(&owner);
    ASSERT_TRUE(modeless.Create(IDD_FIELDS));
    modeless.ShowWindow(SW_SHOW);
    bool ownerEnabledInside = true;
    dlg.onInit = [&](fields_dlg &d) {
        ownerEnabledInside = IsWindowEnabled(owner.m_hWnd) != FALSE;
        // Escape in the modeless dialog's edit: the standard dialog keys hide it.
        PostMessageA(modeless.GetDlgItem(IDC_TEXT), WM_KEYDOWN, VK_ESCAPE, 1);
        SetWindowTextA(d.GetDlgItem(IDC_TEXT), "read at OK");
        PostMessageA(d.m_hWnd, WM_COMMAND, MAKEWPARAM(IDC_PRESS, BN_CLICKED), 0);
        PostMessageA(d.m_hWnd, WM_COMMAND, MAKEWPARAM(IDOK, BN_CLICKED), 0);
    };
    EXPECT_EQ(dlg.DoModal(), IDOK);
    EXPECT_FALSE(ownerEnabledInside) << "the owner takes input while the dialog runs";
    EXPECT_TRUE(IsWindowEnabled(owner.m_hWnd)) << "the owner stays disabled";
    EXPECT_STREQ(dlg.m_text, "read at OK") << "OK reads the controls";
    EXPECT_EQ(dlg.presses, 1) << "the modal loop dispatches";
    EXPECT_EQ(dlg.destroys, 1);
    EXPECT_EQ(dlg.m_hWnd, nullptr);
    EXPECT_FALSE(IsWindowVisible(modeless.m_hWnd)) << "Escape did not reach the modeless dialog";
    EXPECT_NE(modeless.m_hWnd, nullptr) << "hidden, not destroyed";

    ended.onInit = [](fields_dlg &d) { d.EndDialog(42); };
    EXPECT_EQ(ended.DoModal(), 42) << "ended during initialisation";
    // The close box takes the default route: WM_CLOSE, then IDCANCEL.
    closed.onInit = [](fields_dlg &d) { PostMessageA(d.m_hWnd, WM_SYSCOMMAND, SC_CLOSE, 0); };
    EXPECT_EQ(closed.DoModal(), IDCANCEL);
}

} // namespace
