#include "data_exchange.h"

#include <string>

void DDX_Control(CDataExchange *dx, int id, CWnd &control) {
    if (!control.m_hWnd) control.Attach(dx->PrepareCtrl(id));
}

void DDX_Check(CDataExchange *dx, int id, int &value) {
    HWND control = dx->PrepareCtrl(id);
    if (dx->m_bSaveAndValidate) {
        value = int(::SendMessageA(control, BM_GETCHECK, 0, 0));
    } else {
        if (value < 0 || value > 2) value = 0; // not a check state
        ::SendMessageA(control, BM_SETCHECK, WPARAM(value), 0);
    }
}

void DDX_Text(CDataExchange *dx, int id, CString &value) {
    HWND control = dx->PrepareCtrl(id);
    int n = ::GetWindowTextLengthA(control);
    std::string now(size_t(n > 0 ? n : 0) + 1, '\0');
    ::GetWindowTextA(control, &now[0], int(now.size()));
    if (dx->m_bSaveAndValidate) {
        value = now.c_str();
    } else if (value != now.c_str()) {
        ::SetWindowTextA(control, value);
    }
}
