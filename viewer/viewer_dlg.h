// CArtViewerDlg: the main window. It owns the art set and the selection
// dialog (through the globals), loads art sets, shows the object on display
// and hosts a group's animation.
//
// viewer_dlg.cpp: creation, menus, Load Art, About, tear-down.
// display.cpp: painting, sizing, scrolling, the group background.
// select_commands.cpp: the Select menu.
// save_object.cpp: Save Object.
#pragma once

#include "framework/dialog.h"
#include "resource.h"

class CArtViewerDlg : public CDialog {
public:
    explicit CArtViewerDlg(CWnd *parent = nullptr);
    enum { IDD = IDD_VIEWER_DIALOG };

protected:
    HICON m_hIcon;

    LRESULT WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) override;
    BOOL OnInitDialog() override;
    BOOL OnCmdMsg(UINT id, int code) override;
    void OnSysCommand(UINT id, LPARAM lParam) override;
    void OnPaint() override;
    HCURSOR OnQueryDragIcon() override;
    void OnSize(UINT type, int cx, int cy) override;
    void OnHScroll(UINT code, UINT pos, HWND scrollBar) override;
    void OnVScroll(UINT code, UINT pos, HWND scrollBar) override;
    void OnDestroy() override;

    void OnFileLoadart();
    void OnFileSaveobject();
    void OnFileExit();
    void OnHelpInfo();
    void OnSelectKind(int kind);

private:
    // Stops the animations and closes the art set; the display and the
    // selection dialog let go of it too.
    void UnloadArt();
    // Renders the object on display afresh; w and h get its size. False when
    // there is nothing of it to show.
    bool Render(long &w, long &h);
    void Scroll(int bar, UINT code);
};

// The background of every animation frame: the system's button-face colour.
void __cdecl FillGroupBackground(HWND window, RGBQUAD **buffer, BITMAPINFO *info);
