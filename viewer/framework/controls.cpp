#include "controls.h"

HTREEITEM CTreeCtrl::InsertItem(const char *text, HTREEITEM parent, HTREEITEM after) {
    TVINSERTSTRUCTA insert{};
    insert.hParent = parent;
    insert.hInsertAfter = after;
    insert.item.mask = TVIF_TEXT;
    insert.item.pszText = const_cast<char *>(text);
    return HTREEITEM(SendMessage(TVM_INSERTITEMA, 0, LPARAM(&insert)));
}

BOOL CTreeCtrl::SetItemText(HTREEITEM item, const char *text) {
    TVITEMA tv{};
    tv.hItem = item;
    tv.mask = TVIF_TEXT;
    tv.pszText = const_cast<char *>(text);
    return BOOL(SendMessage(TVM_SETITEMA, 0, LPARAM(&tv)));
}

CString CTreeCtrl::GetItemText(HTREEITEM item) {
    char buffer[260] = "";
    TVITEMA tv{};
    tv.hItem = item;
    tv.mask = TVIF_TEXT;
    tv.pszText = buffer;
    tv.cchTextMax = sizeof buffer;
    SendMessage(TVM_GETITEMA, 0, LPARAM(&tv));
    return CString(buffer);
}

UINT CTreeCtrl::GetItemState(HTREEITEM item, UINT mask) {
    TVITEMA tv{};
    tv.hItem = item;
    tv.mask = TVIF_STATE;
    tv.stateMask = mask;
    SendMessage(TVM_GETITEMA, 0, LPARAM(&tv));
    return tv.state & mask;
}

BOOL CTreeCtrl::SetItemState(HTREEITEM item, UINT state, UINT mask) {
    TVITEMA tv{};
    tv.hItem = item;
    tv.mask = TVIF_STATE;
    tv.state = state;
    tv.stateMask = mask;
    return BOOL(SendMessage(TVM_SETITEMA, 0, LPARAM(&tv)));
}
