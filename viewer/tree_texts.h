// The texts of the selection dialog's structure tree, built without a window:
// one object's node with every node below it, down through the objects it
// consists of (a group's frames, a frame's pictures, a picture's image). The
// dialog writes them into its tree control; the web viewer shows the same.
// Record numbers are their distances from the start of their tables.
#pragma once

#include "art_handle.h"

#include <string>
#include <vector>

struct tree_node {
    std::string text;
    std::vector<tree_node> children;
};

// Nodes, children in order (the rect node always has left, top, right and
// bottom below it):
// - image: "Image: %d [%08X]" -> rect, palette, type; an index that is no
//   image (a picture without one has -1) has no children;
// - picture: "Picture: ..." -> rect, its image;
// - frame: "Frame: ..." -> rect, "Extended info: %d" with its four bytes when
//   extIndex is not -1 (no bytes when extIndex is past the table), pictures
//   with one picture node each;
// - group: "Group: ..." -> rect, eight header words, extended information,
//   frames with one frame node each, appendix with its entries.
// A picture, frame or group index past its table has the object text only.
tree_node image_tree(art_handle *art, int index);
tree_node picture_tree(art_handle *art, int index);
tree_node frame_tree(art_handle *art, int index, int extIndex);
tree_node group_tree(art_handle *art, int index);

// The tree of object `index` of `kind` (OBJ_IMAGE .. OBJ_GROUP) as the dialog
// shows it at its root (a frame there has no extended info); only the text
// "" for an unknown kind.
tree_node object_tree(art_handle *art, int kind, int index);
