// CSelectDlg: the modeless selection dialog. The user types or spins the
// number of an object of the current kind; applying it puts that object on
// display in the main window, fits the main window's scroll ranges to it and
// lists it in the tree.
//
// select_dlg.cpp: creation, apply, Ok, Automatic Update, Extended Info.
// structure_tree.cpp: the tree's skeletons and the texts written into them.
#pragma once

#include "framework/controls.h"
#include "framework/dialog.h"
#include "resource.h"
#include "tree_texts.h"

class CSelectDlg : public CDialog {
public:
    // Creates the dialog window hidden, owned by the main window when no
    // parent is given.
    explicit CSelectDlg(CWnd *parent = nullptr);
    ~CSelectDlg() override;
    enum { IDD = IDD_SELECT };

    CTreeCtrl m_tree;
    CSpinButtonCtrl m_spin;
    CEdit m_edit;
    BOOL m_bAutoUpdate;
    BOOL m_bExtendedInfo;
    CString m_strIndex;

    // Applies m_strIndex to the current kind.
    void ApplyIndex();
    // A new tree for the current kind, if Extended Info is on.
    void RebuildTree();

    void OnOk();
    void OnChangeIndex();
    void OnExtendedInfo();
    // Moves the dialog's bottom edge 13 pixels below the control's.
    void FitHeight(int controlId);
    // Writes the texts of the object on display into the tree.
    void FillTree();

    // Skeletons: empty nodes for one object of a kind, inserted as the last
    // child of `parent`; each returns the object node.
    HTREEITEM AddImageNodes(HTREEITEM parent);
    HTREEITEM AddPictureNodes(HTREEITEM parent);
    HTREEITEM AddFrameNodes(HTREEITEM parent, bool withExtInfo);
    HTREEITEM AddGroupNodes(HTREEITEM parent);

    // Write one object's texts (tree_texts.h) into its skeleton whose object
    // node is `item`; `expand` opens the object node (and, for an image or a
    // picture, its rect). A frame's texts say whether it has extended info.
    void ShowImage(HTREEITEM item, const tree_node &texts, bool expand);
    void ShowPicture(HTREEITEM item, const tree_node &texts, bool expand);
    void ShowFrame(HTREEITEM item, const tree_node &texts, bool expand);
    void ShowGroup(HTREEITEM item, const tree_node &texts, bool expand);

protected:
    void DoDataExchange(CDataExchange *dx) override;
    BOOL OnCmdMsg(UINT id, int code) override;

private:
    // The tree's skeleton anew for `kind`.
    void BuildSkeleton(int kind);
    // Writes the rect texts into a rect node and its four value nodes.
    void ShowRect(HTREEITEM rectNode, const tree_node &texts);
    // Adds `texts` and everything below it under `parent`.
    void AddTexts(HTREEITEM parent, const tree_node &texts);

    // The kind whose skeleton the tree holds; 0 while it is empty.
    int m_nTreeKind = 0;
};
