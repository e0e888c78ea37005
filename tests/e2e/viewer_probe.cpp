// The probe inside the viewer: it subclasses the main window when loaded.
#include "viewer_probe.h"

#include "art_handle.h"

namespace {

probe_report *g_report;
WNDPROC g_windowProc;

// Whether the library still plays an animation in `window` (its repaint of
// the window's animation, sent to a memory device context, says so).
LONG animation_in(HWND window) {
    HDC dc = CreateCompatibleDC(nullptr);
    bool playing = redraw_groupWindow(window, dc);
    DeleteDC(dc);
    return playing ? 1 : 0;
}

LRESULT CALLBACK probe_proc(HWND window, UINT msg, WPARAM wParam, LPARAM lParam) {
    static const UINT question = RegisterWindowMessageA(kProbeQuestion);
    static const UINT press = RegisterWindowMessageA(kProbePress);
    if (msg == press) {
        const probe_press &p = g_report->press;
        SendMessageA(p.target, p.down, p.downWParam, p.downLParam);
        SendMessageA(p.target, p.up, p.upWParam, p.upLParam);
        return 1;
    }
    if (msg == question)
        return wParam ? LRESULT(GetMenuState(GetMenu(window), UINT(wParam), MF_BYCOMMAND))
                      : animation_in(window);
    LRESULT result = CallWindowProcA(g_windowProc, window, msg, wParam, lParam);
    if (msg == WM_DESTROY) g_report->playingAfterDestroy = animation_in(window);
    return result;
}

} // namespace

extern "C" BOOL WINAPI DllMain(HINSTANCE, DWORD reason, LPVOID) {
    if (reason != DLL_PROCESS_ATTACH) return TRUE;
    HANDLE mapping = OpenFileMappingA(FILE_MAP_WRITE, FALSE, kProbeMapping);
    g_report = mapping ? static_cast<probe_report *>(
                             MapViewOfFile(mapping, FILE_MAP_WRITE, 0, 0, sizeof(probe_report)))
                       : nullptr;
    if (!g_report) return FALSE;
    g_windowProc = reinterpret_cast<WNDPROC>(SetWindowLongPtrA(
        g_report->mainWindow, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(probe_proc)));
    return g_windowProc != nullptr;
}
