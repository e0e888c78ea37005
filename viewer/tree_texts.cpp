#include "tree_texts.h"

#include "view_logic.h"

#include <stdio.h>

namespace {

template <typename... Args> std::string format(const char *pattern, Args... args) {
    char text[64]; // the longest text, "Extended Information: Yes", fits
    snprintf(text, sizeof text, pattern, args...);
    return text;
}

template <typename... Args> tree_node leaf(const char *pattern, Args... args) {
    return tree_node{format(pattern, args...), {}};
}

tree_node leaf(const char *text) {
    return tree_node{text, {}};
}

bool in_table(int index, uint32_t count) {
    return index >= 0 && uint32_t(index) < count;
}

tree_node rect_node(const RECT &r) {
    return tree_node{"Rect",
                     {leaf("left: %d", int(r.left)), leaf("top: %d", int(r.top)),
                      leaf("right: %d", int(r.right)), leaf("bottom: %d", int(r.bottom))}};
}

// The object node of `kind` with its number, in decimal and in hexadecimal.
tree_node object_node(const char *pattern, int index) {
    return leaf(pattern, index, unsigned(index));
}

} // namespace

tree_node image_tree(art_handle *art, int index) {
    tree_node node = object_node("Image: %d [%08X]", index);
    if (!in_table(index, object_count(art, OBJ_IMAGE))) return node;
    mem_image &image = art->images[index];
    RECT r;
    image.getDrawRect(&r);
    node.children.push_back(rect_node(r));
    node.children.push_back(leaf("Palette: %u", unsigned(image.palette - art->palettes)));
    node.children.push_back(leaf("Type: %d", int(image.type)));
    return node;
}

tree_node picture_tree(art_handle *art, int index) {
    tree_node node = object_node("Picture: %d [%08X]", index);
    if (!in_table(index, object_count(art, OBJ_PICTURE))) return node;
    mem_pic &pic = art->pics[index];
    RECT r;
    pic.getDrawRect(&r);
    node.children.push_back(rect_node(r));
    node.children.push_back(image_tree(art, pic.image ? int(pic.image - art->images) : -1));
    return node;
}

tree_node frame_tree(art_handle *art, int index, int extIndex) {
    tree_node node = object_node("Frame: %d [%08X]", index);
    if (!in_table(index, object_count(art, OBJ_FRAME))) return node;
    mem_frame &frame = art->frames[index];
    RECT r;
    frame.getDrawRect(&r);
    node.children.push_back(rect_node(r));
    if (extIndex != -1) {
        tree_node ext = leaf("Extended info: %d", extIndex);
        if (in_table(extIndex, art->extInfoCount))
            for (int k = 0; k < 4; ++k)
                ext.children.push_back(
                    leaf("unknown %d = %02X", k + 1, unsigned(art->extInfos[extIndex].data[k])));
        node.children.push_back(std::move(ext));
    }
    tree_node pictures = leaf("Pictures (%d)", int(frame.picCount));
    const int first = frame.pics ? int(frame.pics - art->pics) : 0;
    for (unsigned k = 0; frame.pics && k < frame.picCount; ++k)
        pictures.children.push_back(picture_tree(art, first + int(k)));
    node.children.push_back(std::move(pictures));
    return node;
}

tree_node group_tree(art_handle *art, int index) {
    tree_node node = object_node("Group: %d [%08X]", index);
    if (!in_table(index, object_count(art, OBJ_GROUP))) return node;
    mem_group &group = art->groups[index];
    RECT r;
    group.getDrawRect(&r);
    node.children.push_back(rect_node(r));
    for (int i = 0; i < 8; ++i)
        node.children.push_back(leaf("unknown%d = %08X", i + 1, unsigned(group.header[i])));
    node.children.push_back(
        leaf(group.extInfo ? "Extended Information: Yes" : "Extended Information: No"));

    tree_node frames = leaf("Frames (%d)", int(group.frameCount));
    const int first = group.frames ? int(group.frames - art->frames) : 0;
    const int firstExt = group.extInfo ? int(group.extInfo - art->extInfos) : -1;
    for (uint32_t k = 0; group.frames && k < group.frameCount; ++k)
        frames.children.push_back(
            frame_tree(art, first + int(k), group.extInfo ? firstExt + int(k) : -1));
    node.children.push_back(std::move(frames));

    tree_node appendix = group.appendixCount == 0 ? leaf("No Appendix")
                                                  : leaf("Appendix (%d)", int(group.appendixCount));
    // The record holds two entries; a loaded set never counts more.
    const uint32_t count = group.appendixCount < 2 ? group.appendixCount : 2;
    for (uint32_t j = 0; j < count; ++j) {
        tree_node entry = leaf("apdx %d", int(j));
        for (int w = 0; w < 4; ++w)
            entry.children.push_back(
                leaf("unknown %d = %02X", w + 1, unsigned(group.appendix[j].data[w])));
        appendix.children.push_back(std::move(entry));
    }
    node.children.push_back(std::move(appendix));
    return node;
}

tree_node object_tree(art_handle *art, int kind, int index) {
    switch (kind) {
    case OBJ_IMAGE:
        return image_tree(art, index);
    case OBJ_PICTURE:
        return picture_tree(art, index);
    case OBJ_FRAME:
        return frame_tree(art, index, -1);
    case OBJ_GROUP:
        return group_tree(art, index);
    }
    return tree_node{};
}
