// CWnd: a window object over an HWND. Windows made by the framework are
// subclassed so their messages reach the object's virtual WindowProc, which
// hands each message to one virtual handler (OnPaint, OnSize, ...); a handler
// that is not overridden, or that calls its base, gets the window's default
// processing.
#pragma once

#include <windows.h>

#include "cstring.h"

class CWnd {
public:
    CWnd() = default;
    virtual ~CWnd();
    CWnd(const CWnd &) = delete;
    CWnd &operator=(const CWnd &) = delete;

    HWND m_hWnd = nullptr;

    // The framework object of a window it has subclassed, or null.
    static CWnd *FromHandlePermanent(HWND hwnd);

    // Binds a window this object does not subclass (a control); no messages
    // are routed through it.
    BOOL Attach(HWND hwnd);
    HWND Detach();

    BOOL DestroyWindow();
    BOOL ShowWindow(int cmd) { return ::ShowWindow(m_hWnd, cmd); }
    BOOL IsWindowVisible() const { return ::IsWindowVisible(m_hWnd); }
    BOOL IsIconic() const { return ::IsIconic(m_hWnd); }
    void SetWindowText(const char *text) { ::SetWindowTextA(m_hWnd, text); }
    void GetWindowText(CString &text) const;
    void GetClientRect(RECT *rect) const { ::GetClientRect(m_hWnd, rect); }
    void GetWindowRect(RECT *rect) const { ::GetWindowRect(m_hWnd, rect); }
    void MoveWindow(const RECT *rect, BOOL repaint = TRUE) {
        ::MoveWindow(m_hWnd, rect->left, rect->top, rect->right - rect->left,
                     rect->bottom - rect->top, repaint);
    }
    HWND SetFocus() { return ::SetFocus(m_hWnd); }
    HWND GetDlgItem(int id) const { return ::GetDlgItem(m_hWnd, id); }
    HMENU GetMenu() const { return ::GetMenu(m_hWnd); }
    HMENU GetSystemMenu(BOOL revert) const { return ::GetSystemMenu(m_hWnd, revert); }
    HWND GetOwner() const { return ::GetWindow(m_hWnd, GW_OWNER); }
    HICON SetIcon(HICON icon, BOOL bigIcon) {
        return HICON(SendMessage(WM_SETICON, bigIcon ? ICON_BIG : ICON_SMALL, LPARAM(icon)));
    }
    LRESULT SendMessage(UINT msg, WPARAM wParam = 0, LPARAM lParam = 0) {
        return ::SendMessageA(m_hWnd, msg, wParam, lParam);
    }
    BOOL RedrawWindow(const RECT *update = nullptr, HRGN region = nullptr,
                      UINT flags = RDW_INVALIDATE | RDW_UPDATENOW | RDW_ERASE) {
        return ::RedrawWindow(m_hWnd, update, region, flags);
    }
    BOOL GetScrollInfo(int bar, SCROLLINFO *info, UINT mask = SIF_ALL);
    BOOL SetScrollInfo(int bar, SCROLLINFO *info, BOOL redraw = TRUE);
    int GetScrollPos(int bar) const { return ::GetScrollPos(m_hWnd, bar); }
    void SetScrollRange(int bar, int minPos, int maxPos, BOOL redraw = TRUE) {
        ::SetScrollRange(m_hWnd, bar, minPos, maxPos, redraw);
    }
    // A message box owned by this window; with no caption it carries the
    // application's name.
    int MessageBox(const char *text, const char *caption = nullptr, UINT type = MB_OK);

protected:
    // Every message of a subclassed window comes here first.
    virtual LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam);
    // The default processing of the message being handled.
    LRESULT Default();
    // The processing the window had before the framework subclassed it.
    LRESULT DefWindowProc(UINT msg, WPARAM wParam, LPARAM lParam);

    // Commands: menu items and control notifications (code = notification).
    // Returns TRUE when the command was handled. Classes list their commands
    // here, one handler per command.
    virtual BOOL OnCmdMsg(UINT id, int code);

    // Message handlers; each one's default is the window's default processing.
    virtual void OnPaint() { Default(); }
    virtual void OnSize(UINT type, int cx, int cy);
    virtual void OnHScroll(UINT code, UINT pos, HWND scrollBar);
    virtual void OnVScroll(UINT code, UINT pos, HWND scrollBar);
    virtual void OnSysCommand(UINT id, LPARAM lParam);
    virtual HCURSOR OnQueryDragIcon() { return HCURSOR(Default()); }
    virtual void OnDestroy() { Default(); }
    // The window's handle is gone; the object may delete itself here.
    virtual void PostNcDestroy() {}

    // Routes messages of `hwnd` to this object from now on.
    void SubclassWindow(HWND hwnd);

    // While set, control notifications to this window are dropped: the
    // window is writing its own controls (dialog data exchange).
    bool m_bLockoutNotify = false;

    // The window procedure of subclassed windows.
    static LRESULT CALLBACK WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam);

private:
    LRESULT Dispatch(UINT msg, WPARAM wParam, LPARAM lParam);
    void UnsubclassWindow();

    WNDPROC m_pfnSuper = nullptr;
    MSG m_currentMsg{};
};
