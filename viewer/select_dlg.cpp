#include "select_dlg.h"

#include "globals.h"

CSelectDlg::CSelectDlg(CWnd *parent)
    : CDialog(IDD, parent), m_bAutoUpdate(TRUE), m_bExtendedInfo(TRUE), m_strIndex("0") {
    Create(IDD, parent);
    UpdateData(TRUE);
    OnExtendedInfo();
    m_spin.SetBuddy(&m_edit);
    UpdateData(FALSE);
}

CSelectDlg::~CSelectDlg() {
    DestroyWindow();
}

void CSelectDlg::DoDataExchange(CDataExchange *dx) {
    CDialog::DoDataExchange(dx);
    DDX_Control(dx, IDC_TREE, m_tree);
    DDX_Control(dx, IDC_SPIN, m_spin);
    DDX_Control(dx, IDC_INDEX, m_edit);
    DDX_Check(dx, IDC_AUTOUPDATE, m_bAutoUpdate);
    DDX_Check(dx, IDC_EXTENDEDINFO, m_bExtendedInfo);
    DDX_Text(dx, IDC_INDEX, m_strIndex);
}

BOOL CSelectDlg::OnCmdMsg(UINT id, int code) {
    if (code == BN_CLICKED) {
        switch (id) {
        case IDC_APPLY:
            ApplyIndex();
            return TRUE;
        case IDC_SELECT_OK:
            OnOk();
            return TRUE;
        case IDC_EXTENDEDINFO:
            OnExtendedInfo();
            return TRUE;
        }
    }
    if (code == EN_CHANGE && id == IDC_INDEX) {
        OnChangeIndex();
        return TRUE;
    }
    return CDialog::OnCmdMsg(id, code);
}

void CSelectDlg::ApplyIndex() {
    UpdateData(TRUE);
    // Nothing changes for a text that is no number, while no set is loaded,
    // or for a kind whose table is empty.
    uint32_t wanted, index;
    RECT rect;
    if (parse_index(m_strIndex, &wanted) &&
        clamp_index(wanted, object_count(g_pArt, g_nObjectKind), &index) &&
        object_draw_rect(g_pArt, g_nObjectKind, index, &rect)) {
        g_bObjectShown = TRUE;
        g_nObjectIndex = int32_t(index);
        g_nShownKind = g_nObjectKind;
        g_bRenderNeeded = TRUE;
        HWND main = GetOwner();
        ::RedrawWindow(main, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        FillTree();

        int hpos = ::GetScrollPos(main, SB_HORZ), vpos = ::GetScrollPos(main, SB_VERT);
        ::SetScrollRange(main, SB_VERT, 0, last_scroll_position(rect.top, rect.bottom), TRUE);
        ::SetScrollRange(main, SB_HORZ, 0, last_scroll_position(rect.left, rect.right), TRUE);
        // The new ranges can pull a position in that the paint above used:
        // show the object where the scroll bars now say it is.
        if (::GetScrollPos(main, SB_HORZ) != hpos || ::GetScrollPos(main, SB_VERT) != vpos) {
            g_bRenderNeeded = g_nObjectKind == OBJ_GROUP;
            ::RedrawWindow(main, nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE | RDW_UPDATENOW);
        }
        // A hidden dialog does not take the keyboard from the main window.
        if (IsWindowVisible()) m_edit.SetFocus();
    }
    UpdateData(FALSE);
}

void CSelectDlg::OnOk() {
    ApplyIndex();
    ShowWindow(SW_HIDE);
}

void CSelectDlg::OnChangeIndex() {
    UpdateData(TRUE);
    if (m_bAutoUpdate) ApplyIndex();
}

void CSelectDlg::OnExtendedInfo() {
    UpdateData(TRUE);
    FitHeight(m_bExtendedInfo ? IDC_TREE : IDC_EXTENDEDINFO);
}

void CSelectDlg::FitHeight(int controlId) {
    RECT dialog, control;
    GetWindowRect(&dialog);
    ::GetWindowRect(GetDlgItem(controlId), &control);
    dialog.bottom = control.bottom + 13;
    MoveWindow(&dialog, TRUE);
}
