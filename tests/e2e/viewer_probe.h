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
// Sent to the main window: the probe sends the pair of messages the report's
// `press` describes, one right after the other on the viewer's own thread. A
// key or button held down starts an up-down control's auto-repeat timer (500
// ms); a driver descheduled between two messages of its own would let it fire.
constexpr char kProbePress[] = "zevart-viewer-probe-press";

struct probe_press {
    HWND target;
    UINT down, up; // e.g. WM_KEYDOWN and WM_KEYUP
    WPARAM downWParam, upWParam;
    LPARAM downLParam, upLParam;
};

struct probe_report {
    HWND mainWindow = nullptr;     // written by the driver before loading
    LONG playingAfterDestroy = -1; // -1: not destroyed yet
    probe_press press{};           // written by the driver before kProbePress
};
