// The viewer's application object: its start-up runs the main window.
#pragma once

#include "framework/win_app.h"

class CArtViewerApp : public CWinApp {
public:
    BOOL InitInstance() override;
};
