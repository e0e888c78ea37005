// CDialog: modal and modeless dialogs over dialog templates in the program's
// resources.
//
// A modal dialog runs a message loop of its own that gives every dialog of
// the framework the standard keyboard interface (IsDialogMessage), so a
// modeless dialog open beside a modal one answers Tab, Enter and Escape too.
#pragma once

#include "data_exchange.h"
#include "wnd.h"

class CDialog : public CWnd {
public:
    explicit CDialog(UINT templateId, CWnd *parent = nullptr)
        : m_nIDTemplate(templateId), m_pParentWnd(parent) {}

    // Creates the dialog, runs it until EndDialog and destroys it. Its owner
    // (the parent given, else the application's main window) is disabled
    // meanwhile. Returns EndDialog's result, or -1 if it could not be made.
    virtual INT_PTR DoModal();
    // Creates the dialog modeless, owned by the parent given, else by the
    // application's main window.
    BOOL Create(UINT templateId, CWnd *parent = nullptr);
    // Ends a modal dialog with `result`; hides a modeless one.
    void EndDialog(int result);

    // Exchanges all fields: TRUE reads the controls into the fields, FALSE
    // writes the fields into the controls. Notifications that the writes
    // cause are not dispatched.
    BOOL UpdateData(BOOL saveAndValidate = TRUE);

protected:
    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    BOOL OnCmdMsg(UINT id, int code) override;

    // Writes the fields into the controls; TRUE lets the system set the focus.
    virtual BOOL OnInitDialog();
    virtual void OnOK();     // IDOK: reads the fields, ends with IDOK
    virtual void OnCancel(); // IDCANCEL: ends with IDCANCEL
    virtual void DoDataExchange(CDataExchange *) {}

    UINT m_nIDTemplate;
    CWnd *m_pParentWnd;

private:
    static INT_PTR CALLBACK DlgProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);
    HWND OwnerWindow() const;
    bool PreTranslateMessage(MSG &msg);

    bool m_bContinueModal = false;
    INT_PTR m_nModalResult = -1;
};
