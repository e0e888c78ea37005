// The entry point of a framework program: its one CWinApp runs.
#include "win_app.h"

#include <commctrl.h>

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int) {
    CWinApp *app = AfxGetApp();
    if (!app) return -1;
    app->InitFromModule(instance);

    // The up-down and tree controls live in the common controls library.
    INITCOMMONCONTROLSEX icc{sizeof icc, ICC_WIN95_CLASSES};
    ::InitCommonControlsEx(&icc);

    app->InitInstance();
    return app->ExitInstance();
}
