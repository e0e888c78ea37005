// The main window's display: the object on display rendered once into an
// orange pixel buffer and copied on every paint, moved by the scroll
// positions; a group played by the library's animation instead.
#include "viewer_dlg.h"

#include "globals.h"

#include <limits.h>
#include <olectl.h>

void __cdecl FillGroupBackground(HWND, RGBQUAD **buffer, BITMAPINFO *info) {
    COLORREF face = 0;
    ::OleTranslateColor(0x8000000F, nullptr, &face); // COLOR_BTNFACE
    if (buffer && info) fill_background(*buffer, info, face);
}

bool CArtViewerDlg::Render(long &w, long &h) {
    end_drawGroupAll();
    free_pixels(g_pPixels);
    g_pPixels = nullptr;

    // An object that is not there (no set loaded, an index past its table)
    // gets an empty rectangle: nothing of it is read or drawn. So does one
    // whose size or anchor does not fit the drawing calls' numbers.
    bool shown = false;
    if (g_nObjectKind != OBJ_GROUP) {
        // Null for an empty or too large rectangle: then nothing is drawn.
        g_pPixels = render_object(g_pArt, g_nObjectKind, uint32_t(g_nObjectIndex), &g_bmi);
        shown = g_pPixels != nullptr;
    } else {
        RECT rect;
        bool fits = drawable_rect(g_pArt, OBJ_GROUP, uint32_t(g_nObjectIndex), &rect);
        long long x = -((long long)GetScrollPos(SB_HORZ) + rect.left);
        long long y = -((long long)GetScrollPos(SB_VERT) + rect.top);
        if (!fits || x <= INT_MIN || x > INT_MAX || y <= INT_MIN || y > INT_MAX) {
            rect = RECT{};
            x = y = 0;
        }
        g_bmi.bmiHeader.biWidth = rect.right - rect.left;
        g_bmi.bmiHeader.biHeight = rect.bottom - rect.top;
        if (mem_group *group = object_group(g_pArt, uint32_t(g_nObjectIndex))) {
            group->start_draw(m_hWnd, int(x), int(y), &FillGroupBackground, nullptr);
            shown = true;
        }
    }
    w = g_bmi.bmiHeader.biWidth;
    h = g_bmi.bmiHeader.biHeight;
    g_bRenderNeeded = FALSE;
    return shown;
}

void CArtViewerDlg::OnPaint() {
    if (g_bObjectShown) {
        PAINTSTRUCT ps;
        HDC dc = ::BeginPaint(m_hWnd, &ps);
        long w, h;
        if (g_bRenderNeeded) {
            // A render after a resize or scroll comes without an erase: when
            // it has nothing to show, what was shown before must go.
            if (!Render(w, h)) SendMessage(WM_ERASEBKGND, WPARAM(dc), 0);
        } else {
            w = g_bmi.bmiHeader.biWidth;
            h = g_bmi.bmiHeader.biHeight < 0 ? -g_bmi.bmiHeader.biHeight : g_bmi.bmiHeader.biHeight;
            if (g_nObjectKind == OBJ_GROUP) redraw_groupWindow(m_hWnd, dc);
        }
        if (g_nObjectKind != OBJ_GROUP && g_pPixels)
            ::SetDIBitsToDevice(dc, -GetScrollPos(SB_HORZ), -GetScrollPos(SB_VERT), DWORD(w),
                                DWORD(h), 0, 0, 0, UINT(h), g_pPixels, &g_bmi, DIB_RGB_COLORS);
        ::EndPaint(m_hWnd, &ps);
    }

    if (IsIconic()) {
        PAINTSTRUCT ps;
        HDC dc = ::BeginPaint(m_hWnd, &ps);
        SendMessage(WM_ICONERASEBKGND, WPARAM(dc), 0);
        RECT client;
        GetClientRect(&client);
        int x = (client.right - client.left - ::GetSystemMetrics(SM_CXICON) + 1) / 2;
        int y = (client.bottom - client.top - ::GetSystemMetrics(SM_CYICON) + 1) / 2;
        ::DrawIcon(dc, x, y, m_hIcon);
        ::EndPaint(m_hWnd, &ps);
    } else {
        CDialog::OnPaint();
    }
}

void CArtViewerDlg::OnSize(UINT type, int cx, int cy) {
    CDialog::OnSize(type, cx, cy);
    // A group is placed by the scroll positions when it starts: start it
    // again for the new size. Other objects are only copied again.
    g_bRenderNeeded = g_nObjectKind == OBJ_GROUP;
    SCROLLINFO si{};
    si.fMask = SIF_PAGE;
    si.nPage = UINT(cy);
    SetScrollInfo(SB_VERT, &si, TRUE);
    si.nPage = UINT(cx);
    SetScrollInfo(SB_HORZ, &si, TRUE);
    RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}

void CArtViewerDlg::Scroll(int bar, UINT code) {
    g_bRenderNeeded = g_nObjectKind == OBJ_GROUP;
    SCROLLINFO si{};
    GetScrollInfo(bar, &si, SIF_ALL);
    si.nPos = scroll_position(int(code), si.nPos, int(si.nPage), si.nTrackPos);
    si.fMask = SIF_ALL; // the system keeps the position within the range
    SetScrollInfo(bar, &si, TRUE);
    RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_UPDATENOW);
}

void CArtViewerDlg::OnHScroll(UINT code, UINT pos, HWND scrollBar) {
    Scroll(SB_HORZ, code);
    CDialog::OnHScroll(code, pos, scrollBar);
}

void CArtViewerDlg::OnVScroll(UINT code, UINT pos, HWND scrollBar) {
    Scroll(SB_VERT, code);
    CDialog::OnVScroll(code, pos, scrollBar);
}
