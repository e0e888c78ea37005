// The group animation's window system on Win32: client rectangles, device
// contexts, SetDIBitsToDevice and a thread timer that belongs to no window.
#include "group_win32.h"

namespace {

UINT_PTR g_groupTimer;

VOID CALLBACK group_timer_proc(HWND, UINT, UINT_PTR, DWORD) {
    group_timer_tick();
}

class win32_host final : public group_host {
public:
    bool client_size(HWND window, int32_t &width, int32_t &height) override {
        RECT r;
        if (!GetClientRect(window, &r)) return false; // the window is gone
        width = r.right - r.left;
        height = r.bottom - r.top;
        return true;
    }
    HDC get_dc(HWND window) override { return GetDC(window); }
    void release_dc(HWND window, HDC dc) override { ReleaseDC(window, dc); }
    void transfer(HDC dc, int32_t width, int32_t height, const RGBQUAD *pixels,
                  const BITMAPINFO *info) override {
        SetDIBitsToDevice(dc, 0, 0, DWORD(width), DWORD(height), 0, 0, 0, UINT(height), pixels,
                          info, DIB_RGB_COLORS);
    }
    void start_timer() override {
        g_groupTimer = SetTimer(nullptr, 0, GROUP_TICK_MS, group_timer_proc);
    }
    void stop_timer() override {
        if (g_groupTimer) KillTimer(nullptr, g_groupTimer);
        g_groupTimer = 0;
    }
};

win32_host g_win32Host;

} // namespace

group_host &win32_group_host() {
    return g_win32Host;
}
