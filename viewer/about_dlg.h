// The About box: icon, name, version and an OK button.
#pragma once

#include "framework/dialog.h"
#include "resource.h"

class CAboutDlg : public CDialog {
public:
    CAboutDlg() : CDialog(IDD_ABOUTBOX) {}
};
