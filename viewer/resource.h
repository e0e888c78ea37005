// Resource identifiers of zevart_viewer (zevart_viewer.rc).
#pragma once

#define IDM_ABOUTBOX 0x0010
#define IDD_ABOUTBOX 100
#define IDS_ABOUTBOX 101
#define IDD_VIEWER_DIALOG 102
#define IDR_MAINFRAME 128
#define IDR_MAINMENU 133
#define IDD_SELECT 134

// Controls of the selection dialog.
#define IDC_INDEX 1006
#define IDC_AUTOUPDATE 1007
#define IDC_SPIN 1008
#define IDC_SELECT_OK 1009
#define IDC_APPLY 1010
#define IDC_EXTENDEDINFO 1011
#define IDC_TREE 1012

// Menu commands of the main window.
#define ID_FILE_LOADART 32771
#define ID_FILE_SAVEOBJECT 32772
#define ID_FILE_EXIT 32773
#define ID_SELECT_IMAGE 32774
#define ID_SELECT_PICTURE 32775
#define ID_SELECT_FRAME 32776
#define ID_SELECT_GROUP 32777
#define ID_HELP_INFO 32778

#ifndef IDC_STATIC
#define IDC_STATIC (-1)
#endif
