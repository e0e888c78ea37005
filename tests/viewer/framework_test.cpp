// The viewer's framework under real windows: strings, the application's name,
// modeless and modal dialogs, data exchange in both directions (and the
// notifications it must not dispatch), message routing and default handling.
#include "framework/framework.h"

#include "framework_test_ids.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>

namespace {

class test_app : public CWinApp {
public:
    test_app() { InitFromModule(GetModuleHandleA(nullptr)); }
} theApp;

// A dialog over IDD_FIELDS that counts what reaches its handlers.
class fields_dlg : public CDialog {
public:
    explicit fields_dlg(CWnd *parent = nullptr) : CDialog(IDD_FIELDS, parent) {}

    CEdit m_edit;
    CString m_text = "start";
    BOOL m_check = TRUE;

    int inits = 0, changes = 0, presses = 0, destroys = 0, minmax = 0;
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
        if (id == IDC_TEXT && code == EN_CHANGE) {
            ++changes;
            return TRUE;
        }
        if (id == IDC_PRESS && code == BN_CLICKED) {
            ++presses;
            return TRUE;
        }
        return CDialog::OnCmdMsg(id, code);
    }
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override {
        if (msg == WM_GETMINMAXINFO) {
            ++minmax;
            reinterpret_cast<MINMAXINFO *>(lParam)->ptMinTrackSize.x = 321;
        }
        return CDialog::WindowProc(msg, wParam, lParam);
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

// The application's main window for a test, restored afterwards.
struct main_window {
    explicit main_window(CWnd *wnd) { theApp.m_pMainWnd = wnd; }
    ~main_window() { theApp.m_pMainWnd = nullptr; }
};

TEST(Framework, StringsFormatCompareAndLoad) {
    CString s;
    s.Format("Image: %d [%08X]", 39, 39);
    EXPECT_STREQ(s, "Image: 39 [00000027]");
    EXPECT_EQ(s.GetLength(), 20);
    std::string wide(3000, 'x');
    s.Format("%s|%u", wide.c_str(), 7u);
    EXPECT_EQ(std::string(s), wide + "|7") << "longer than any fixed buffer";

    CString a = "12", b = "12", c = "3";
    EXPECT_TRUE(a == b);
    EXPECT_TRUE(a != c);
    EXPECT_TRUE(a < c);
    EXPECT_TRUE(a == "12");
    EXPECT_TRUE(c != "12");
    EXPECT_TRUE(CString().IsEmpty());
    EXPECT_TRUE(CString(nullptr).IsEmpty());

    EXPECT_TRUE(s.LoadString(IDS_GREETING));
    EXPECT_STREQ(s, "Hello, %s");
    EXPECT_FALSE(s.LoadString(IDS_MISSING));
    EXPECT_TRUE(s.IsEmpty());
}

TEST(Framework, TheApplicationIsNamedAfterItsProgramFile) {
    EXPECT_STREQ(AfxGetAppName(), "framework_tests");
    EXPECT_EQ(AfxGetApp(), &theApp);
    EXPECT_EQ(AfxGetResourceHandle(), GetModuleHandleA(nullptr));
}

TEST(Framework, AModelessDialogIsOwnedByTheMainWindowAndStartsHidden) {
    fields_dlg owner;
    ASSERT_TRUE(owner.Create(IDD_FIELDS));
    EXPECT_EQ(GetWindow(owner.m_hWnd, GW_OWNER), nullptr) << "no main window yet";
    main_window main(&owner);

    fields_dlg owned;
    ASSERT_TRUE(owned.Create(IDD_FIELDS));
    EXPECT_EQ(GetWindow(owned.m_hWnd, GW_OWNER), owner.m_hWnd);
    EXPECT_FALSE(IsWindowVisible(owned.m_hWnd));
    EXPECT_EQ(owned.inits, 1);
    EXPECT_EQ(CWnd::FromHandlePermanent(owned.m_hWnd), &owned);
}

TEST(Framework, DataExchangeMovesFieldsBothWaysWithoutCountingItsOwnWrites) {
    fields_dlg dlg;
    ASSERT_TRUE(dlg.Create(IDD_FIELDS));
    HWND edit = dlg.GetDlgItem(IDC_TEXT), check = dlg.GetDlgItem(IDC_CHECK);
    EXPECT_EQ(dlg.m_edit.m_hWnd, edit) << "DDX_Control binds the wrapper";
    EXPECT_EQ(text_of(edit), "start") << "initialisation writes the fields";
    EXPECT_EQ(SendMessageA(check, BM_GETCHECK, 0, 0), BST_CHECKED);
    EXPECT_EQ(dlg.changes, 0) << "the initial write counted as an edit";

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

    // Writing a text the control already shows leaves it alone: the caret
    // stays where the user left it.
    SendMessageA(edit, EM_SETSEL, 2, 2);
    dlg.UpdateData(FALSE);
    DWORD start = 0, end = 0;
    SendMessageA(edit, EM_GETSEL, WPARAM(&start), LPARAM(&end));
    EXPECT_EQ(start, 2u);
    EXPECT_EQ(end, 2u);
    EXPECT_EQ(dlg.changes, 1);

    SendMessageA(dlg.m_hWnd, WM_COMMAND, MAKEWPARAM(IDC_PRESS, BN_CLICKED),
                 LPARAM(dlg.GetDlgItem(IDC_PRESS)));
    EXPECT_EQ(dlg.presses, 1) << "a button's command reaches its handler";
}

TEST(Framework, TheWindowProcedureSeesEveryMessageBeforeTheDefault) {
    fields_dlg dlg;
    ASSERT_TRUE(dlg.Create(IDD_FIELDS));
    MINMAXINFO info{};
    SendMessageA(dlg.m_hWnd, WM_GETMINMAXINFO, 0, LPARAM(&info));
    EXPECT_EQ(dlg.minmax, 1);
    EXPECT_EQ(info.ptMinTrackSize.x, 321);
}

TEST(Framework, AModalDialogRunsUntilEndDialogWithItsOwnerDisabled) {
    fields_dlg owner;
    ASSERT_TRUE(owner.Create(IDD_FIELDS));
    main_window main(&owner);

    fields_dlg dlg;
    bool ownerEnabledInside = true;
    dlg.onInit = [&](fields_dlg &d) {
        ownerEnabledInside = IsWindowEnabled(owner.m_hWnd) != FALSE;
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

    fields_dlg ended;
    ended.onInit = [](fields_dlg &d) { d.EndDialog(42); };
    EXPECT_EQ(ended.DoModal(), 42) << "ended during initialisation";

    // The close box takes the default route: WM_CLOSE, then IDCANCEL.
    fields_dlg closed;
    closed.onInit = [](fields_dlg &d) { PostMessageA(d.m_hWnd, WM_SYSCOMMAND, SC_CLOSE, 0); };
    EXPECT_EQ(closed.DoModal(), IDCANCEL);
}

TEST(Framework, AModelessDialogAnswersItsKeysWhileAModalOneRuns) {
    fields_dlg modeless;
    ASSERT_TRUE(modeless.Create(IDD_FIELDS));
    modeless.ShowWindow(SW_SHOW);

    fields_dlg modal;
    modal.onInit = [&](fields_dlg &d) {
        // Escape in the modeless dialog's edit: the standard dialog keys hide it.
        HWND edit = modeless.GetDlgItem(IDC_TEXT);
        PostMessageA(edit, WM_KEYDOWN, VK_ESCAPE, 1);
        PostMessageA(d.m_hWnd, WM_COMMAND, MAKEWPARAM(IDCANCEL, BN_CLICKED), 0);
    };
    EXPECT_EQ(modal.DoModal(), IDCANCEL);
    EXPECT_FALSE(IsWindowVisible(modeless.m_hWnd)) << "Escape did not reach the modeless dialog";
    EXPECT_NE(modeless.m_hWnd, nullptr) << "hidden, not destroyed";
}

TEST(Framework, DestroyingTheOwnerLetsGoOfTheOwnedDialog) {
    auto owner = std::make_unique<fields_dlg>();
    ASSERT_TRUE(owner->Create(IDD_FIELDS));
    main_window main(owner.get());
    auto owned = std::make_unique<fields_dlg>();
    ASSERT_TRUE(owned->Create(IDD_FIELDS));
    HWND ownedWindow = owned->m_hWnd;

    owner->DestroyWindow();
    EXPECT_FALSE(IsWindow(ownedWindow));
    EXPECT_EQ(owned->m_hWnd, nullptr) << "the object still holds a destroyed window";
    EXPECT_EQ(owned->destroys, 1);
    owned.reset(); // nothing left to destroy
    EXPECT_EQ(owner->m_hWnd, nullptr);
}

} // namespace
