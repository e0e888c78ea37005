// The selection dialog's structure tree. A skeleton of empty nodes is built
// for the current kind when the kind changes; each apply writes the texts of
// one object into it (tree_texts builds them), down through the objects it
// consists of (a group's frames, a frame's pictures, a picture's image).
#include "select_dlg.h"

#include "globals.h"
#include "tree_texts.h"

namespace {

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
    const tree_node texts = object_tree(g_pArt, g_nObjectKind, g_nObjectIndex);
    // Thousands of nodes can change: the tree is drawn once, at the end.
    m_tree.SendMessage(WM_SETREDRAW, FALSE);
    switch (g_nObjectKind) {
    case OBJ_IMAGE:
        ShowImage(root, texts, true);
        break;
    case OBJ_PICTURE:
        ShowPicture(root, texts, true);
        break;
    case OBJ_FRAME:
        ShowFrame(root, texts, true);
        break;
    case OBJ_GROUP:
        ShowGroup(root, texts, true);
        break;
    }
    m_tree.SendMessage(WM_SETREDRAW, TRUE);
    m_tree.RedrawWindow();
}

void CSelectDlg::ShowRect(HTREEITEM rectNode, const tree_node &texts) {
    m_tree.SetItemText(rectNode, texts.text.c_str());
    HTREEITEM value = m_tree.GetChildItem(rectNode);
    for (const tree_node &v : texts.children) {
        m_tree.SetItemText(value, v.text.c_str());
        value = m_tree.GetNextSiblingItem(value);
    }
}

void CSelectDlg::AddTexts(HTREEITEM parent, const tree_node &texts) {
    HTREEITEM item = m_tree.InsertItem(texts.text.c_str(), parent);
    for (const tree_node &child : texts.children) AddTexts(item, child);
}

void CSelectDlg::ShowImage(HTREEITEM item, const tree_node &texts, bool expand) {
    m_tree.SetItemText(item, texts.text.c_str());
    HTREEITEM rect = m_tree.GetChildItem(item);
    // A picture that no group reaches has no image (index -1): nothing of
    // one is shown below the number.
    if (texts.children.size() != 3) {
        blank_texts(m_tree, rect);
        return;
    }
    ShowRect(rect, texts.children[0]);
    if (expand) m_tree.Expand(rect, TVE_EXPAND);
    HTREEITEM palette = m_tree.GetNextSiblingItem(rect);
    m_tree.SetItemText(palette, texts.children[1].text.c_str());
    m_tree.SetItemText(m_tree.GetNextSiblingItem(palette), texts.children[2].text.c_str());
    if (expand) m_tree.Expand(item, TVE_EXPAND);
}

void CSelectDlg::ShowPicture(HTREEITEM item, const tree_node &texts, bool expand) {
    m_tree.SetItemText(item, texts.text.c_str());
    if (texts.children.size() != 2) return;
    HTREEITEM rect = m_tree.GetChildItem(item);
    ShowRect(rect, texts.children[0]);
    if (expand) m_tree.Expand(rect, TVE_EXPAND);
    ShowImage(m_tree.GetNextSiblingItem(rect), texts.children[1], false);
    if (expand) m_tree.Expand(item, TVE_EXPAND);
}

void CSelectDlg::ShowFrame(HTREEITEM item, const tree_node &texts, bool expand) {
    m_tree.SetItemText(item, texts.text.c_str());
    // Rect and pictures, with the extended info between them when the frame
    // has one.
    if (texts.children.size() < 2) return;
    const tree_node *ext = texts.children.size() == 3 ? &texts.children[1] : nullptr;
    const tree_node &pictures = texts.children.back();
    HTREEITEM rect = m_tree.GetChildItem(item);
    ShowRect(rect, texts.children[0]);

    HTREEITEM n = m_tree.GetNextSiblingItem(rect);
    bool expanded = is_expanded(m_tree, n);
    delete_children(m_tree, n);
    if (ext) {
        m_tree.SetItemText(n, ext->text.c_str());
        for (const tree_node &byte : ext->children) AddTexts(n, byte);
        set_expanded(m_tree, n, expanded);
        n = m_tree.GetNextSiblingItem(n);
    }

    if (expand) m_tree.Expand(n, TVE_EXPAND);
    expanded = is_expanded(m_tree, n);
    m_tree.SetItemText(n, pictures.text.c_str());
    delete_children(m_tree, n);
    for (const tree_node &picture : pictures.children)
        ShowPicture(AddPictureNodes(n), picture, false);
    set_expanded(m_tree, n, expanded);
    if (expand) m_tree.Expand(item, TVE_EXPAND);
}

void CSelectDlg::ShowGroup(HTREEITEM item, const tree_node &texts, bool expand) {
    m_tree.SetItemText(item, texts.text.c_str());
    // Rect, eight header words, extended information, frames, appendix.
    if (texts.children.size() != 12) return;
    HTREEITEM rect = m_tree.GetChildItem(item);
    ShowRect(rect, texts.children[0]);

    HTREEITEM n = rect;
    for (int i = 1; i <= 9; ++i) { // the header words, then extended information
        n = m_tree.GetNextSiblingItem(n);
        m_tree.SetItemText(n, texts.children[i].text.c_str());
    }

    const tree_node &framesTexts = texts.children[10];
    HTREEITEM frames = m_tree.GetNextSiblingItem(n);
    bool expanded = is_expanded(m_tree, frames);
    m_tree.SetItemText(frames, framesTexts.text.c_str());
    delete_children(m_tree, frames);
    for (const tree_node &frame : framesTexts.children)
        ShowFrame(AddFrameNodes(frames, frame.children.size() == 3), frame, false);
    set_expanded(m_tree, frames, expanded);

    const tree_node &appendixTexts = texts.children[11];
    HTREEITEM appendix = m_tree.GetNextSiblingItem(frames);
    m_tree.SetItemText(appendix, appendixTexts.text.c_str());
    expanded = is_expanded(m_tree, appendix);
    delete_children(m_tree, appendix);
    if (!appendixTexts.children.empty()) {
        for (const tree_node &entry : appendixTexts.children) AddTexts(appendix, entry);
        set_expanded(m_tree, appendix, expanded);
    }
    if (expand) m_tree.Expand(item, TVE_EXPAND);
}
