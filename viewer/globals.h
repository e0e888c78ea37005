// The viewer's state: one set per process, shared by the main window, its
// display and the selection dialog.
#pragma once

#include "art_handle.h"
#include "framework/cstring.h"
#include "view_logic.h"

#include <windows.h>

class CSelectDlg;

extern art_handle *g_pArt;        // the art set; an empty handle from window creation on
extern CSelectDlg *g_pSelectDlg;  // the selection dialog, hidden until a Select command
extern int32_t g_nObjectKind;     // OBJ_IMAGE .. OBJ_GROUP; 0 until the first load
extern int32_t g_nObjectIndex;    // index of the object in the table of its kind
extern int32_t g_nShownKind;      // the kind g_nObjectIndex was applied with
extern BYTE g_bObjectShown;       // an object has been applied; WM_PAINT draws it
extern BYTE g_bRenderNeeded;      // the next WM_PAINT renders the object afresh
extern RGBQUAD *g_pPixels;        // the rendered image, picture or frame, bottom-up
extern BITMAPINFO g_bmi;          // describes g_pPixels
extern CString g_strLastIndex[4]; // index text last used per kind: entry kind - 1

extern char g_szStartDir[MAX_PATH]; // current folder when the main window was made
extern char g_szBitmapPath[MAX_PATH];
extern char g_szPrtPath[MAX_PATH];
extern char g_szSavePath[MAX_PATH];
extern OPENFILENAMEA g_ofnBitmap;
extern OPENFILENAMEA g_ofnPrt;
extern OPENFILENAMEA g_ofnSave;
