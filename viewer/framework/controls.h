// Thin wrappers for the common controls the viewer's dialogs hold. They are
// bound to their controls by DDX_Control and route no messages of their own.
#pragma once

#include "wnd.h"

#include <commctrl.h>

class CEdit : public CWnd {};

class CSpinButtonCtrl : public CWnd {
public:
    HWND SetBuddy(CWnd *buddy) { return HWND(SendMessage(UDM_SETBUDDY, WPARAM(buddy->m_hWnd))); }
    void SetRange32(int lower, int upper) {
        SendMessage(UDM_SETRANGE32, WPARAM(lower), LPARAM(upper));
    }
    int GetPos32() { return int(SendMessage(UDM_GETPOS32)); }
};

class CTreeCtrl : public CWnd {
public:
    // A new item with `text`, no image, as the last child of `parent`.
    HTREEITEM InsertItem(const char *text, HTREEITEM parent = TVI_ROOT, HTREEITEM after = TVI_LAST);
    BOOL DeleteItem(HTREEITEM item) { return BOOL(SendMessage(TVM_DELETEITEM, 0, LPARAM(item))); }
    BOOL DeleteAllItems() { return DeleteItem(TVI_ROOT); }

    HTREEITEM GetRootItem() { return GetNextItem(nullptr, TVGN_ROOT); }
    HTREEITEM GetChildItem(HTREEITEM item) { return GetNextItem(item, TVGN_CHILD); }
    HTREEITEM GetNextSiblingItem(HTREEITEM item) { return GetNextItem(item, TVGN_NEXT); }
    HTREEITEM GetNextItem(HTREEITEM item, UINT code) {
        return HTREEITEM(SendMessage(TVM_GETNEXTITEM, code, LPARAM(item)));
    }
    UINT GetCount() { return UINT(SendMessage(TVM_GETCOUNT)); }

    BOOL SetItemText(HTREEITEM item, const char *text);
    CString GetItemText(HTREEITEM item);
    UINT GetItemState(HTREEITEM item, UINT mask);
    BOOL SetItemState(HTREEITEM item, UINT state, UINT mask);
    BOOL Expand(HTREEITEM item, UINT code) {
        return BOOL(SendMessage(TVM_EXPAND, code, LPARAM(item)));
    }
};
