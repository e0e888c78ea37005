// CSelectDlg: the modeless selection dialog. The user types or spins the
// number of an object of the current kind; applying it puts that object on
// display in the main window, fits the main window's scroll ranges to it and
// lists it in the tree.
#pragma once

#include "framework/controls.h"
#include "framework/dialog.h"
#include "resource.h"

class CSelectDlg : public CDialog {
public:
    // Creates the dialog window hidden, owned by the main window when no
    // parent is given.
    explicit CSelectDlg(CWnd *parent = nullptr);
    ~CSelectDlg() override;
    enum { IDD = IDD_SELECT };

    CTreeCtrl m_tree;
    CSpinButtonCtrl m_spin;
    CEdit m_edit;
    BOOL m_bAutoUpdate;
    BOOL m_bExtendedInfo;
    CString m_strIndex;

    // Applies m_strIndex to the current kind.
    void ApplyIndex();
    // A new tree for the current kind, if Extended Info is on.
    void RebuildTree();

    void OnOk();
    void OnChangeIndex();
    void OnExtendedInfo();
    // Moves the dialog's bottom edge 13 pixels below the control's.
    void FitHeight(int controlId);
    // Writes the texts of the object on display into the tree.
    void FillTree();

protected:
    void DoDataExchange(CDataExchange *dx) override;
    BOOL OnCmdMsg(UINT id, int code) override;
};
