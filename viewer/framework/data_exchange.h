// Dialog data exchange: moves values between a dialog's controls and its
// member fields, in either direction, one DDX_ call per control.
#pragma once

#include "cstring.h"
#include "wnd.h"

class CDataExchange {
public:
    CDataExchange(CWnd *dlg, BOOL saveAndValidate)
        : m_bSaveAndValidate(saveAndValidate), m_pDlgWnd(dlg) {}

    BOOL m_bSaveAndValidate; // TRUE: controls -> fields; FALSE: fields -> controls
    CWnd *m_pDlgWnd;

    HWND PrepareCtrl(int id) const { return m_pDlgWnd->GetDlgItem(id); }
};

// Binds the control to its wrapper object (once).
void DDX_Control(CDataExchange *dx, int id, CWnd &control);
// The check state of a check box.
void DDX_Check(CDataExchange *dx, int id, int &value);
// The text of a control. Writing leaves a control alone whose text is already
// the same, so its caret and selection stay where the user put them.
void DDX_Text(CDataExchange *dx, int id, CString &value);
