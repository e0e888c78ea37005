// The selection dialog's structure tree. A skeleton of empty nodes is built
// for the current kind when the kind changes; each apply writes the texts of
// one object into it, down through the objects it consists of (a group's
// frames, a frame's pictures, a picture's image). Record numbers are their
// distances from the start of their tables.
#include "select_dlg.h"

#include "globals.h"

namespace {

template <typename... Args>
void set_text(CTreeCtrl &tree, HTREEITEM item, const char *format, Args... args) {
    CString text;
    text.Format(format, args...);
    tree.SetItemText(item, text);
}

template <typename... Args>
HTREEITEM add_text(CTreeCtrl &tree, HTREEITEM parent, const char *format, Args... args) {
    CString text;
    text.Format(format, args...);
    return tree.InsertItem(text, parent);
}

void delete_children(CTreeCtrl &tree, HTREEITEM item) {
    while (HTREEITEM child = tree.GetChildItem(item)) tree.DeleteItem(child);
}

// Whether a node is expanded, read before its children are replaced (the
// control forgets it when the last child goes) and written back after.
bool is_expanded(CTreeCtrl &tree, HTREEITEM item) {
    return tree.GetItemState(item, TVIS_EXPANDED) != 0;
}
void set_expanded(CTreeCtrl &tree, HTREEITEM item, bool expanded) {
    tree.SetItemState(item, expanded ? TVIS_EXPANDED : 0, TVIS_EXPANDED);
}

// Empties the texts of `first`, the siblings after it and all their children.
void blank_texts(CTreeCtrl &tree, HTREEITEM first) {
    for (HTREEITEM n = first; n; n = tree.GetNextSiblingItem(n)) {
        tree.SetItemText(n, "");
        blank_texts(tree, tree.GetChildItem(n));
    }
}

// An object node with its rect node and the rect's four value nodes.
HTREEITEM add_object_and_rect(CTreeCtrl &tree, HTREEITEM parent) {
    HTREEITEM object = tree.InsertItem("", parent);
    HTREEITEM rect = tree.InsertItem("", object);
    for (int i = 0; i < 4; ++i) tree.InsertItem("", rect);
    return object;
}

} // namespace

// ----- skeletons -----

HTREEITEM CSelectDlg::AddImageNodes(HTREEITEM parent) {
    HTREEITEM object = add_object_and_rect(m_tree, parent);
    m_tree.InsertItem("", object); // palette
    m_tree.InsertItem("", object); // type
    return object;
}

HTREEITEM CSelectDlg::AddPictureNodes(HTREEITEM parent) {
    HTREEITEM object = add_object_and_rect(m_tree, parent);
    AddImageNodes(object);
    return object;
}

HTREEITEM CSelectDlg::AddFrameNodes(HTREEITEM parent, bool withExtInfo) {
    HTREEITEM object = add_object_and_rect(m_tree, parent);
    if (withExtInfo) m_tree.InsertItem("", object);
    m_tree.InsertItem("", object); // pictures
    return object;
}

HTREEITEM CSelectDlg::AddGroupNodes(HTREEITEM parent) {
    HTREEITEM object = add_object_and_rect(m_tree, parent);
    for (int i = 0; i < 8; ++i) m_tree.InsertItem("", object); // header words
    m_tree.InsertItem("", object);                             // extended information
    m_tree.InsertItem("", object);                             // frames
    m_tree.InsertItem("", object);                             // appendix
    return object;
}

void CSelectDlg::BuildSkeleton(int kind) {
    m_tree.DeleteAllItems();
    m_nTreeKind = kind;
    switch (kind) {
    case OBJ_IMAGE:
        AddImageNodes(TVI_ROOT);
        break;
    case OBJ_PICTURE:
        AddPictureNodes(TVI_ROOT);
        break;
    case OBJ_FRAME:
        AddFrameNodes(TVI_ROOT, false);
        break;
    case OBJ_GROUP:
        AddGroupNodes(TVI_ROOT);
        break;
    default:
        m_nTreeKind = 0;
    }
}

void CSelectDlg::RebuildTree() {
    UpdateData(TRUE);
    if (!m_bExtendedInfo) return;
    BuildSkeleton(g_nObjectKind);
    UpdateData(FALSE);
    OnExtendedInfo();
}

// ----- texts -----

void CSelectDlg::FillTree() {
    HTREEITEM root = m_tree.GetRootItem();
    // No skeleton before the first Select command made with Extended Info on.
    if (!root) return;
    // Extended Info was off when the kind last changed: the tree still holds
    // another kind's skeleton, which the walks below would misread.
    if (m_nTreeKind != g_nObjectKind) {
        BuildSkeleton(g_nObjectKind);
        root = m_tree.GetRootItem();
    }
    // Thousands of nodes can change: the tree is drawn once, at the end.
    m_tree.SendMessage(WM_SETREDRAW, FALSE);
    switch (g_nObjectKind) {
    case OBJ_IMAGE:
        ShowImage(root, g_nObjectIndex, true);
        break;
    case OBJ_PICTURE:
        ShowPicture(root, g_nObjectIndex, true);
        break;
    case OBJ_FRAME:
        ShowFrame(root, g_nObjectIndex, true, -1);
        break;
    case OBJ_GROUP:
        ShowGroup(root, g_nObjectIndex, true);
        break;
    }
    m_tree.SendMessage(WM_SETREDRAW, TRUE);
    m_tree.RedrawWindow();
}

void CSelectDlg::ShowRect(HTREEITEM rectNode, const RECT &rect) {
    m_tree.SetItemText(rectNode, "Rect");
    HTREEITEM value = m_tree.GetChildItem(rectNode);
    set_text(m_tree, value, "left: %d", int(rect.left));
    value = m_tree.GetNextSiblingItem(value);
    set_text(m_tree, value, "top: %d", int(rect.top));
    value = m_tree.GetNextSiblingItem(value);
    set_text(m_tree, value, "right: %d", int(rect.right));
    value = m_tree.GetNextSiblingItem(value);
    set_text(m_tree, value, "bottom: %d", int(rect.bottom));
}

void CSelectDlg::ShowImage(HTREEITEM item, int index, bool expand) {
    set_text(m_tree, item, "Image: %d [%08X]", index, unsigned(index));
    HTREEITEM rect = m_tree.GetChildItem(item);
    // A picture that no group reaches has no image (index -1): nothing of
    // one is shown below the number.
    if (index < 0 || uint32_t(index) >= object_count(g_pArt, OBJ_IMAGE)) {
        blank_texts(m_tree, rect);
        return;
    }
    mem_image &image = g_pArt->images[index];
    RECT r;
    image.getDrawRect(&r);
    ShowRect(rect, r);
    if (expand) m_tree.Expand(rect, TVE_EXPAND);
    HTREEITEM palette = m_tree.GetNextSiblingItem(rect);
    const mem_palette *imagePalette = image.palette;
    set_text(m_tree, palette, "Palette: %u", unsigned(imagePalette - g_pArt->palettes));
    const int type = image.type;
    set_text(m_tree, m_tree.GetNextSiblingItem(palette), "Type: %d", type);
    if (expand) m_tree.Expand(item, TVE_EXPAND);
}

void CSelectDlg::ShowPicture(HTREEITEM item, int index, bool expand) {
    set_text(m_tree, item, "Picture: %d [%08X]", index, unsigned(index));
    if (index < 0 || uint32_t(index) >= object_count(g_pArt, OBJ_PICTURE)) return;
    mem_pic &pic = g_pArt->pics[index];
    HTREEITEM rect = m_tree.GetChildItem(item);
    RECT r;
    pic.getDrawRect(&r);
    ShowRect(rect, r);
    if (expand) m_tree.Expand(rect, TVE_EXPAND);
    ShowImage(m_tree.GetNextSiblingItem(rect), pic.image ? int(pic.image - g_pArt->images) : -1,
              false);
    if (expand) m_tree.Expand(item, TVE_EXPAND);
}

void CSelectDlg::ShowFrame(HTREEITEM item, int index, bool expand, int extIndex) {
    set_text(m_tree, item, "Frame: %d [%08X]", index, unsigned(index));
    if (index < 0 || uint32_t(index) >= object_count(g_pArt, OBJ_FRAME)) return;
    mem_frame &frame = g_pArt->frames[index];
    const unsigned picCount = frame.picCount;
    const mem_pic *pics = frame.pics;
    HTREEITEM rect = m_tree.GetChildItem(item);
    RECT r;
    frame.getDrawRect(&r);
    ShowRect(rect, r);

    HTREEITEM n = m_tree.GetNextSiblingItem(rect);
    bool expanded = is_expanded(m_tree, n);
    delete_children(m_tree, n);
    if (extIndex != -1) {
        set_text(m_tree, n, "Extended info: %d", extIndex);
        if (extIndex >= 0 && uint32_t(extIndex) < g_pArt->extInfoCount) {
            const mem_ext_info &ext = g_pArt->extInfos[extIndex];
            for (int k = 0; k < 4; ++k)
                add_text(m_tree, n, "unknown %d = %02X", k + 1, ext.data[k]);
        }
        set_expanded(m_tree, n, expanded);
        n = m_tree.GetNextSiblingItem(n);
    }

    if (expand) m_tree.Expand(n, TVE_EXPAND);
    expanded = is_expanded(m_tree, n);
    set_text(m_tree, n, "Pictures (%d)", int(picCount));
    delete_children(m_tree, n);
    const int first = pics ? int(pics - g_pArt->pics) : 0;
    for (unsigned k = 0; pics && k < picCount; ++k)
        ShowPicture(AddPictureNodes(n), first + int(k), false);
    set_expanded(m_tree, n, expanded);
    if (expand) m_tree.Expand(item, TVE_EXPAND);
}

void CSelectDlg::ShowGroup(HTREEITEM item, int index, bool expand) {
    set_text(m_tree, item, "Group: %d [%08X]", index, unsigned(index));
    if (index < 0 || uint32_t(index) >= object_count(g_pArt, OBJ_GROUP)) return;
    mem_group &group = g_pArt->groups[index];
    HTREEITEM rect = m_tree.GetChildItem(item);
    RECT r;
    group.getDrawRect(&r);
    ShowRect(rect, r);

    HTREEITEM n = rect;
    for (int i = 0; i < 8; ++i) {
        n = m_tree.GetNextSiblingItem(n);
        set_text(m_tree, n, "unknown%d = %08X", i + 1, unsigned(group.header[i]));
    }
    n = m_tree.GetNextSiblingItem(n);
    m_tree.SetItemText(n, group.extInfo ? "Extended Information: Yes" : "Extended Information: No");

    HTREEITEM frames = m_tree.GetNextSiblingItem(n);
    bool expanded = is_expanded(m_tree, frames);
    set_text(m_tree, frames, "Frames (%d)", int(group.frameCount));
    delete_children(m_tree, frames);
    const int first = group.frames ? int(group.frames - g_pArt->frames) : 0;
    const int firstExt = group.extInfo ? int(group.extInfo - g_pArt->extInfos) : -1;
    for (uint32_t k = 0; group.frames && k < group.frameCount; ++k)
        ShowFrame(AddFrameNodes(frames, group.extInfo != nullptr), first + int(k), false,
                  group.extInfo ? firstExt + int(k) : -1);
    set_expanded(m_tree, frames, expanded);

    HTREEITEM appendix = m_tree.GetNextSiblingItem(frames);
    if (group.appendixCount == 0)
        m_tree.SetItemText(appendix, "No Appendix");
    else
        set_text(m_tree, appendix, "Appendix (%d)", int(group.appendixCount));
    expanded = is_expanded(m_tree, appendix);
    delete_children(m_tree, appendix);
    if (group.appendixCount > 0) {
        // The record holds two entries; a loaded set never counts more.
        const uint32_t count = group.appendixCount < 2 ? group.appendixCount : 2;
        for (uint32_t j = 0; j < count; ++j) {
            HTREEITEM entry = add_text(m_tree, appendix, "apdx %d", int(j));
            for (int w = 0; w < 4; ++w)
                add_text(m_tree, entry, "unknown %d = %02X", w + 1,
                         unsigned(group.appendix[j].data[w]));
        }
        set_expanded(m_tree, appendix, expanded);
    }
    if (expand) m_tree.Expand(item, TVE_EXPAND);
}
