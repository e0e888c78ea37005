#include "globals.h"

art_handle *g_pArt = nullptr;
CSelectDlg *g_pSelectDlg = nullptr;
int32_t g_nObjectKind = 0;
int32_t g_nObjectIndex = 0;
int32_t g_nShownKind = 0;
BYTE g_bObjectShown = FALSE;
BYTE g_bRenderNeeded = FALSE;
RGBQUAD *g_pPixels = nullptr;
BITMAPINFO g_bmi = {};
CString g_strLastIndex[4] = {"0", "0", "0", "0"};

char g_szStartDir[MAX_PATH] = "";
char g_szBitmapPath[MAX_PATH] = "";
char g_szPrtPath[MAX_PATH] = "";
char g_szSavePath[MAX_PATH] = "";
OPENFILENAMEA g_ofnBitmap = {};
OPENFILENAMEA g_ofnPrt = {};
OPENFILENAMEA g_ofnSave = {};
