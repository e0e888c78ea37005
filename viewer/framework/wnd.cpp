#include "wnd.h"

#include "win_app.h"

namespace {
// The window property that leads from an HWND to its framework object.
const char kObjectProp[] = "zevart.CWnd";
} // namespace

CWnd::~CWnd() {
    if (m_hWnd && m_pfnSuper)
        DestroyWindow();
    else
        Detach();
}

CWnd *CWnd::FromHandlePermanent(HWND hwnd) {
    return hwnd ? static_cast<CWnd *>(::GetPropA(hwnd, kObjectProp)) : nullptr;
}

BOOL CWnd::Attach(HWND hwnd) {
    if (m_hWnd || !hwnd) return FALSE;
    m_hWnd = hwnd;
    return TRUE;
}

HWND CWnd::Detach() {
    HWND hwnd = m_hWnd;
    m_hWnd = nullptr;
    return hwnd;
}

void CWnd::SubclassWindow(HWND hwnd) {
    m_hWnd = hwnd;
    ::SetPropA(hwnd, kObjectProp, this);
    m_pfnSuper = reinterpret_cast<WNDPROC>(
        ::SetWindowLongPtrA(hwnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(&CWnd::WndProc)));
}

void CWnd::UnsubclassWindow() {
    ::SetWindowLongPtrA(m_hWnd, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(m_pfnSuper));
    ::RemovePropA(m_hWnd, kObjectProp);
    m_pfnSuper = nullptr;
    m_hWnd = nullptr;
}

BOOL CWnd::DestroyWindow() {
    if (!m_hWnd) return FALSE;
    if (!m_pfnSuper) return ::DestroyWindow(Detach());
    // WM_NCDESTROY detaches the object.
    return ::DestroyWindow(m_hWnd);
}

void CWnd::GetWindowText(CString &text) const {
    int n = ::GetWindowTextLengthA(m_hWnd);
    std::string buffer(size_t(n > 0 ? n : 0) + 1, '\0');
    ::GetWindowTextA(m_hWnd, &buffer[0], int(buffer.size()));
    text = buffer.c_str();
}

BOOL CWnd::GetScrollInfo(int bar, SCROLLINFO *info, UINT mask) {
    info->cbSize = sizeof *info;
    info->fMask = mask;
    return ::GetScrollInfo(m_hWnd, bar, info);
}

BOOL CWnd::SetScrollInfo(int bar, SCROLLINFO *info, BOOL redraw) {
    info->cbSize = sizeof *info;
    ::SetScrollInfo(m_hWnd, bar, info, redraw);
    return TRUE;
}

int CWnd::MessageBox(const char *text, const char *caption, UINT type) {
    return ::MessageBoxA(m_hWnd, text, caption ? caption : AfxGetAppName(), type);
}

LRESULT CALLBACK CWnd::WndProc(HWND hwnd, UINT msg, WPARAM wParam, LPARAM lParam) {
    CWnd *wnd = FromHandlePermanent(hwnd);
    if (!wnd) return ::DefWindowProcA(hwnd, msg, wParam, lParam);

    MSG outer = wnd->m_currentMsg; // messages nest: restore for the caller
    wnd->m_currentMsg = MSG{hwnd, msg, wParam, lParam, 0, {0, 0}};
    LRESULT result;
    if (msg == WM_NCDESTROY) {
        result = wnd->Default();
        wnd->UnsubclassWindow();
        wnd->m_currentMsg = outer;
        wnd->PostNcDestroy();
        return result; // the object may be gone
    }
    result = wnd->WindowProc(msg, wParam, lParam);
    wnd->m_currentMsg = outer;
    return result;
}

LRESULT CWnd::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    return Dispatch(msg, wParam, lParam);
}

LRESULT CWnd::Dispatch(UINT msg, WPARAM wParam, LPARAM lParam) {
    switch (msg) {
    case WM_COMMAND:
        if (lParam && m_bLockoutNotify) return 0; // our own write to a control
        if (OnCmdMsg(LOWORD(wParam), HIWORD(wParam))) return 0;
        return Default();
    case WM_PAINT:
        OnPaint();
        return 0;
    case WM_SIZE:
        OnSize(UINT(wParam), LOWORD(lParam), HIWORD(lParam));
        return 0;
    case WM_HSCROLL:
        OnHScroll(LOWORD(wParam), HIWORD(wParam), HWND(lParam));
        return 0;
    case WM_VSCROLL:
        OnVScroll(LOWORD(wParam), HIWORD(wParam), HWND(lParam));
        return 0;
    case WM_SYSCOMMAND:
        OnSysCommand(UINT(wParam), lParam);
        return 0;
    case WM_QUERYDRAGICON:
        return LRESULT(OnQueryDragIcon());
    case WM_DESTROY:
        OnDestroy();
        return 0;
    default:
        return Default();
    }
}

LRESULT CWnd::Default() {
    return DefWindowProc(m_currentMsg.message, m_currentMsg.wParam, m_currentMsg.lParam);
}

LRESULT CWnd::DefWindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (m_pfnSuper) return ::CallWindowProcA(m_pfnSuper, m_hWnd, msg, wParam, lParam);
    return ::DefWindowProcA(m_hWnd, msg, wParam, lParam);
}

BOOL CWnd::OnCmdMsg(UINT, int) {
    return FALSE;
}

void CWnd::OnSize(UINT, int, int) {
    Default();
}
void CWnd::OnHScroll(UINT, UINT, HWND) {
    Default();
}
void CWnd::OnVScroll(UINT, UINT, HWND) {
    Default();
}
void CWnd::OnSysCommand(UINT, LPARAM) {
    Default();
}
