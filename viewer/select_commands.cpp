// The Select menu: switches the kind of object browsed and brings up the
// selection dialog for it, with the index text last used with that kind.
#include "viewer_dlg.h"

#include "globals.h"
#include "select_dlg.h"

#include <limits.h>

void CArtViewerDlg::OnSelectKind(int kind) {
    static const char *const kCaptions[] = {"Select Image", "Select Picture", "Select Frame",
                                            "Select Group"};
    CSelectDlg &dlg = *g_pSelectDlg;
    dlg.UpdateData(TRUE);
    if (g_nObjectKind >= OBJ_IMAGE && g_nObjectKind <= OBJ_GROUP)
        g_strLastIndex[g_nObjectKind - 1] = dlg.m_strIndex;
    g_nObjectKind = kind;
    dlg.m_strIndex = g_strLastIndex[kind - 1];
    dlg.SetWindowText(kCaptions[kind - 1]);
    // 0 .. count - 1; an empty table gives 0 .. -1.
    uint32_t count = object_count(g_pArt, kind);
    dlg.m_spin.SetRange32(0, count ? int(count - 1 > INT_MAX ? INT_MAX : count - 1) : -1);
    dlg.ShowWindow(SW_SHOW);
    dlg.UpdateData(FALSE);
    dlg.RebuildTree();
    if (dlg.m_bAutoUpdate) dlg.ApplyIndex();
    dlg.SetFocus();
}
