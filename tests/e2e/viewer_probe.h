// viewer_probe.dll: loaded into zevart_viewer.exe by the driver, it answers
// from inside the viewer what another process cannot read: the state of a
// menu item, and whether zevart.dll plays an animation in the main window,
// also right after the window has handled WM_DESTROY.
#pragma once

#include <windows.h>

// Named shared memory holding one probe_report; the driver makes it.
constexpr char kProbeMapping[] = "zevart-viewer-probe";
// Sent to the main window: wParam 0 asks whether an animation plays there (1
// or 0); a menu command asks for that item's GetMenuState flags.
constexpr char kProbeQuestion[] = "zevart-viewer-probe-question";

struct probe_report {
    HWND mainWindow = nullptr;     // written by the driver before loading
    LONG playingAfterDestroy = -1; // -1: not destroyed yet
};
