// Prints an object's structure tree as the native build of the viewer's
// logic makes it, one node a line with its depth in leading tabs: what the
// browser tests hold the web viewer's tree against.
//   tree_dump BMP PRT KIND INDEX   (KIND 1 image .. 4 group)
#include "tree_texts.h"
#include "view_logic.h"

#include <stdio.h>
#include <stdlib.h>

#include <string>

namespace {

void print(const tree_node &node, int depth) {
    printf("%s%s\n", std::string(size_t(depth), '\t').c_str(), node.text.c_str());
    for (const tree_node &child : node.children) print(child, depth + 1);
}

} // namespace

int main(int argc, char **argv) {
    if (argc != 5) {
        fprintf(stderr, "usage: tree_dump BMP PRT KIND INDEX\n");
        return 1;
    }
    art_handle art;
    if (int code = LoadArtFromFile(argv[1], argv[2], &art)) {
        fprintf(stderr, "tree_dump: the set does not load (code %d)\n", code);
        return 2;
    }
    print(object_tree(&art, atoi(argv[3]), atoi(argv[4])), 0);
    return 0;
}
