#include "dialog.h"

#include "win_app.h"

HWND CDialog::OwnerWindow() const {
    if (m_pParentWnd) return m_pParentWnd->m_hWnd;
    CWnd *main = AfxGetMainWnd();
    return main && main != this ? main->m_hWnd : nullptr;
}

INT_PTR CALLBACK CDialog::DlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    // Once subclassed, the dialog's messages reach the object through its
    // window procedure; here they get the dialog manager's default.
    if (msg != WM_INITDIALOG || FromHandlePermanent(hwnd)) return FALSE;
    reinterpret_cast<CDialog *>(lParam)->SubclassWindow(hwnd);
    return CWnd::WndProc(hwnd, msg, wParam, lParam);
}

BOOL CDialog::Create(UINT templateId, CWnd *parent) {
    if (m_hWnd) return FALSE;
    m_nIDTemplate = templateId;
    if (parent) m_pParentWnd = parent;
    ::CreateDialogParamA(AfxGetResourceHandle(), MAKEINTRESOURCEA(templateId), OwnerWindow(),
                         &CDialog::DlgProc, reinterpret_cast<LPARAM>(this));
    return m_hWnd != nullptr;
}

INT_PTR CDialog::DoModal() {
    HWND owner = OwnerWindow();
    bool enableOwner = false;
    if (owner && ::IsWindowEnabled(owner)) {
        ::EnableWindow(owner, FALSE);
        enableOwner = true;
    }
    m_nModalResult = -1;
    m_bContinueModal = true;
    ::CreateDialogParamA(AfxGetResourceHandle(), MAKEINTRESOURCEA(m_nIDTemplate), owner,
                         &CDialog::DlgProc, reinterpret_cast<LPARAM>(this));
    if (!m_hWnd) m_bContinueModal = false;
    if (m_bContinueModal && !IsWindowVisible()) ShowWindow(SW_SHOWNORMAL);

    MSG msg;
    while (m_bContinueModal) {
        BOOL got = ::GetMessageA(&msg, nullptr, 0, 0);
        if (got == 0) { // WM_QUIT: leave it for the loop outside
            ::PostQuitMessage(int(msg.wParam));
            break;
        }
        if (got == -1) break;
        if (!PreTranslateMessage(msg)) {
            ::TranslateMessage(&msg);
            ::DispatchMessageA(&msg);
        }
    }
    m_bContinueModal = false;

    if (m_hWnd) ::ShowWindow(m_hWnd, SW_HIDE);
    // Give the owner back its input before this window goes, so the system
    // activates the owner rather than some other program's window.
    if (enableOwner) ::EnableWindow(owner, TRUE);
    if (owner && ::GetActiveWindow() == m_hWnd) ::SetActiveWindow(owner);
    DestroyWindow();
    return m_nModalResult;
}

bool CDialog::PreTranslateMessage(MSG &msg) {
    if (!msg.hwnd) return false;
    HWND root = ::GetAncestor(msg.hwnd, GA_ROOT);
    if (!dynamic_cast<CDialog *>(FromHandlePermanent(root))) return false;
    return ::IsDialogMessageA(root, &msg) != FALSE;
}

void CDialog::EndDialog(int result) {
    if (m_bContinueModal) {
        m_nModalResult = result;
        m_bContinueModal = false;
    } else if (m_hWnd) {
        ShowWindow(SW_HIDE);
    }
}

BOOL CDialog::UpdateData(BOOL saveAndValidate) {
    bool outer = m_bLockoutNotify;
    m_bLockoutNotify = true;
    CDataExchange dx(this, saveAndValidate);
    DoDataExchange(&dx);
    m_bLockoutNotify = outer;
    return TRUE;
}

LRESULT CDialog::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_INITDIALOG) return OnInitDialog();
    return CWnd::WindowProc(msg, wParam, lParam);
}

BOOL CDialog::OnCmdMsg(UINT id, int code) {
    if (code != BN_CLICKED) return FALSE;
    switch (id) {
    case IDOK:
        OnOK();
        return TRUE;
    case IDCANCEL:
        OnCancel();
        return TRUE;
    }
    return FALSE;
}

BOOL CDialog::OnInitDialog() {
    UpdateData(FALSE);
    return TRUE;
}

void CDialog::OnOK() {
    UpdateData(TRUE);
    EndDialog(IDOK);
}

void CDialog::OnCancel() {
    EndDialog(IDCANCEL);
}
