// CWinApp: the application object. A program defines one static instance of
// a class derived from it; the framework's WinMain runs its InitInstance.
#pragma once

#include "wnd.h"

#include <string>

class CWinApp {
public:
    CWinApp();
    virtual ~CWinApp();
    CWinApp(const CWinApp &) = delete;
    CWinApp &operator=(const CWinApp &) = delete;

    // The program's start-up. Programs here run their main window modally in
    // it and return FALSE: the program then ends without a message loop of
    // the application's own.
    virtual BOOL InitInstance() { return TRUE; }
    virtual int ExitInstance() { return 0; }

    // Switches on the three-dimensional look of dialog controls. The system
    // draws them so anyway; kept so start-up reads as written.
    BOOL Enable3dControls() { return TRUE; }

    HINSTANCE m_hInstance = nullptr;
    CWnd *m_pMainWnd = nullptr;
    // The program file's name without folder and extension; message boxes
    // with no caption of their own carry it.
    const char *m_pszAppName = "";

    // Sets the instance and the name from the running program (WinMain does
    // it; a test program calls it itself).
    void InitFromModule(HINSTANCE instance);

private:
    std::string m_appName;
};

CWinApp *AfxGetApp();
CWnd *AfxGetMainWnd();
const char *AfxGetAppName();
HINSTANCE AfxGetResourceHandle();
