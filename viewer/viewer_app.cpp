#include "viewer_app.h"

#include "viewer_dlg.h"

CArtViewerApp theApp;

BOOL CArtViewerApp::InitInstance() {
    Enable3dControls();
    CArtViewerDlg dlg;
    m_pMainWnd = &dlg;
    dlg.DoModal();
    m_pMainWnd = nullptr;
    // The main window has closed: the program ends here.
    return FALSE;
}
