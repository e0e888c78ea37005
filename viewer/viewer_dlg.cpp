#include "viewer_dlg.h"

#include "about_dlg.h"
#include "framework/win_app.h"
#include "globals.h"
#include "select_dlg.h"

#include <new>

namespace {

const char kBitmapFilter[] = "Bitmap Files (*.bmp)\0*.bmp\0All Files (*.*)\0*.*\0";
const char kPrtFilter[] = "PRT Files (*.prt)\0*.prt\0All Files (*.*)\0*.*\0";

void init_open_dialog(OPENFILENAMEA &ofn, HWND owner, const char *filter, char *path,
                      const char *initialDir, const char *title, DWORD flags) {
    ofn = OPENFILENAMEA{};
    ofn.lStructSize = sizeof ofn;
    ofn.hwndOwner = owner;
    ofn.lpstrFilter = filter;
    ofn.nFilterIndex = 1;
    ofn.lpstrFile = path;
    ofn.nMaxFile = MAX_PATH;
    ofn.lpstrInitialDir = initialDir;
    ofn.lpstrTitle = title;
    ofn.Flags = flags;
}

// Both scroll bars back to nothing to scroll: range, page and position 0.
void reset_scroll_bars(CWnd &wnd) {
    SCROLLINFO si{};
    si.fMask = SIF_ALL;
    wnd.SetScrollInfo(SB_VERT, &si, TRUE);
    wnd.SetScrollInfo(SB_HORZ, &si, TRUE);
}

} // namespace

CArtViewerDlg::CArtViewerDlg(CWnd *parent) : CDialog(IDD, parent) {
    m_hIcon = ::LoadIconA(AfxGetResourceHandle(), MAKEINTRESOURCEA(IDR_MAINFRAME));
}

LRESULT CArtViewerDlg::WindowProc(UINT msg, WPARAM wParam, LPARAM lParam) {
    if (msg == WM_GETMINMAXINFO) {
        auto *info = reinterpret_cast<MINMAXINFO *>(lParam);
        info->ptMinTrackSize.x = 196;
        info->ptMinTrackSize.y = 128;
    }
    return CDialog::WindowProc(msg, wParam, lParam);
}

BOOL CArtViewerDlg::OnInitDialog() {
    CDialog::OnInitDialog();

    if (HMENU sysMenu = GetSystemMenu(FALSE)) {
        CString about;
        about.LoadString(IDS_ABOUTBOX);
        if (!about.IsEmpty()) {
            ::AppendMenuA(sysMenu, MF_SEPARATOR, 0, nullptr);
            ::AppendMenuA(sysMenu, MF_STRING, IDM_ABOUTBOX, about);
        }
    }
    SetIcon(m_hIcon, TRUE);

    g_pSelectDlg = new CSelectDlg(nullptr);
    // The handle's memory is ours; the library constructs and empties it.
    g_pArt = new (::operator new(sizeof(art_handle))) art_handle();

    g_bmi.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    g_bmi.bmiHeader.biPlanes = 1;
    g_bmi.bmiHeader.biBitCount = 32;
    g_bmi.bmiHeader.biCompression = BI_RGB;

    ::GetCurrentDirectoryA(MAX_PATH, g_szStartDir);

    init_open_dialog(g_ofnBitmap, m_hWnd, kBitmapFilter, g_szBitmapPath, g_szStartDir,
                     "Select Bitmap-File (zev_art.bmp)", OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST);
    init_open_dialog(g_ofnPrt, m_hWnd, kPrtFilter, g_szPrtPath, nullptr,
                     "Select PRT-File (zev_art.prt)", OFN_PATHMUSTEXIST | OFN_FILEMUSTEXIST);
    init_open_dialog(g_ofnSave, m_hWnd, nullptr, g_szSavePath, nullptr, "Save Object",
                     OFN_OVERWRITEPROMPT | OFN_NOREADONLYRETURN);

    reset_scroll_bars(*this);
    return TRUE;
}

BOOL CArtViewerDlg::OnCmdMsg(UINT id, int code) {
    if (code == 0) {
        switch (id) {
        case ID_FILE_LOADART:
            OnFileLoadart();
            return TRUE;
        case ID_FILE_SAVEOBJECT:
            OnFileSaveobject();
            return TRUE;
        case ID_FILE_EXIT:
            OnFileExit();
            return TRUE;
        case ID_SELECT_IMAGE:
            OnSelectKind(OBJ_IMAGE);
            return TRUE;
        case ID_SELECT_PICTURE:
            OnSelectKind(OBJ_PICTURE);
            return TRUE;
        case ID_SELECT_FRAME:
            OnSelectKind(OBJ_FRAME);
            return TRUE;
        case ID_SELECT_GROUP:
            OnSelectKind(OBJ_GROUP);
            return TRUE;
        case ID_HELP_INFO:
            OnHelpInfo();
            return TRUE;
        }
    }
    return CDialog::OnCmdMsg(id, code);
}

void CArtViewerDlg::OnSysCommand(UINT id, LPARAM lParam) {
    if ((id & 0xFFF0) == IDM_ABOUTBOX) {
        CAboutDlg about;
        about.DoModal();
    } else {
        CDialog::OnSysCommand(id, lParam);
    }
}

HCURSOR CArtViewerDlg::OnQueryDragIcon() {
    return HCURSOR(m_hIcon);
}

void CArtViewerDlg::OnHelpInfo() {
    CAboutDlg about;
    about.DoModal();
}

void CArtViewerDlg::OnFileExit() {
    CDialog::OnOK();
}

void CArtViewerDlg::OnFileLoadart() {
    // Cancelled dialogs leave the path chosen last (or none) in place.
    ::GetOpenFileNameA(&g_ofnBitmap);
    ::GetOpenFileNameA(&g_ofnPrt);

    if (g_pArt->loadState != ART_EMPTY) {
        if (MessageBox("This will unload the current file. Continue?", nullptr,
                       MB_YESNO | MB_ICONEXCLAMATION) != IDYES)
            return;
        UnloadArt();
    }

    HMENU menu = GetMenu();
    if (LoadArtFromFile(g_szBitmapPath, g_szPrtPath, g_pArt) != ART_OK) {
        for (UINT item : {ID_SELECT_IMAGE, ID_SELECT_PICTURE, ID_SELECT_FRAME, ID_SELECT_GROUP,
                          ID_FILE_SAVEOBJECT})
            ::EnableMenuItem(menu, item, MF_BYCOMMAND | MF_GRAYED);
        MessageBox("Error loading art-structure.", "Error", MB_OK | MB_ICONSTOP);
        return;
    }
    for (UINT item : {ID_SELECT_IMAGE, ID_SELECT_PICTURE, ID_SELECT_FRAME, ID_SELECT_GROUP})
        ::EnableMenuItem(menu, item, MF_BYCOMMAND | MF_ENABLED);
    MessageBox("Art-structure succesfully loaded.", nullptr, MB_OK | MB_ICONINFORMATION);
    g_nObjectKind = OBJ_IMAGE;
    g_pSelectDlg->ApplyIndex();
    ::EnableMenuItem(menu, ID_FILE_SAVEOBJECT, MF_BYCOMMAND | MF_ENABLED);
}

void CArtViewerDlg::UnloadArt() {
    // The timer fires in every message loop: no animation may outlive the set.
    end_drawGroupAll();
    CloseArt(g_pArt);

    // Nothing the display or the selection dialog holds may lead back into
    // the closed set: the display forgets its object and shows the bare
    // window, and the dialog waits hidden for the next Select command.
    g_bObjectShown = FALSE;
    g_bRenderNeeded = FALSE;
    free_pixels(g_pPixels);
    g_pPixels = nullptr;
    g_bmi.bmiHeader.biWidth = 0;
    g_bmi.bmiHeader.biHeight = 0;
    if (g_pSelectDlg) g_pSelectDlg->ShowWindow(SW_HIDE);
    reset_scroll_bars(*this);
    RedrawWindow(nullptr, nullptr, RDW_INVALIDATE | RDW_ERASE);
}

void CArtViewerDlg::OnDestroy() {
    CDialog::OnDestroy();
    end_drawGroupAll();
    if (g_pArt) {
        g_pArt->~art_handle();
        ::operator delete(g_pArt);
        g_pArt = nullptr;
    }
    delete g_pSelectDlg;
    g_pSelectDlg = nullptr;
    g_bObjectShown = FALSE;
    free_pixels(g_pPixels);
    g_pPixels = nullptr;
}
