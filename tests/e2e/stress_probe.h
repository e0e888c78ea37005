// What stress_probe.dll reports from inside the viewer to the stress walk.
#pragma once

#include <windows.h>

// Named shared memory holding one probe_report; the walk makes it.
constexpr char kProbeMapping[] = "zevart-stress-probe";
// Sent by the walk to the main window: the probe answers in playingAtQuery.
constexpr char kProbeQuery[] = "zevart-stress-probe-query";

// The walk writes the viewer's main window; the probe answers -1 (not asked
// yet), 0 (no animation in the main window) or 1 (one plays).
struct probe_report {
    HWND mainWindow = nullptr;
    LONG playingAtQuery = -1;
    LONG playingAfterDestroy = -1;
};
