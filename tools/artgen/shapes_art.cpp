// A small set of odd shapes: every record type in the forms the sample
// doesn't use, for sweeps and fuzzing seeds. Small on purpose: a sweep damages
// each of its bytes in turn.
#include "sample_art.h"

namespace artgen {

namespace {

picture pic(uint16_t image, uint8_t slot, int16_t x, int16_t y) {
    picture p;
    p.image = image;
    p.slot = slot;
    p.spare = uint8_t(0xA0 + slot);
    p.x = x;
    p.y = y;
    return p;
}

// A 1-bit mask of w x h whose bits form a checkerboard with a set border.
image checker_mask(int32_t w, int32_t h, int16_t type) {
    std::vector<uint8_t> bits(size_t(w) * size_t(h));
    for (int32_t y = 0; y < h; ++y)
        for (int32_t x = 0; x < w; ++x)
            bits[size_t(y) * w + x] = x == 0 || x == w - 1 || (x + y) % 2 == 0;
    image im = mask1(w, h, bits);
    im.type = type;
    return im;
}

} // namespace

art_set make_shapes() {
    art_set set;
    // Palette 0: three colours and two bytes over (size 14, not a multiple
    // of 4). Palette 1: no colours at all. Palette 2: two colours.
    palette three;
    three.add(200, 10, 20, 1);
    three.add(10, 200, 20, 2);
    three.add(10, 20, 200, 3);
    three.data.push_back(0xEE);
    three.data.push_back(0xEF);
    set.palettes.push_back(three);
    set.palettes.push_back(palette{});
    palette two;
    two.add(0, 0, 0, 0);
    two.add(255, 255, 255, 255);
    set.palettes.push_back(two);

    // 8-bit images: rows longer than the width, values past the palette's
    // three colours, a negative height, no width, a palette of no colours, a
    // type that is neither 4 nor 5, and one that shares another's block.
    set.images.push_back(image8(
        5, 3, 0, {1, 2, 3, 4, 0, 9, 9, 9, 0, 1, 2, 3, 0, 255, 7, 7, 3, 2, 1, 0, 8, 8, 8, 8}, 8));
    image upsideDown = image8(3, 2, 2, {1, 0, 1, 0, 1, 0});
    upsideDown.height = -2;
    set.images.push_back(upsideDown);
    set.images.push_back(image8(0, 2, 0, {5, 5, 5, 5, 5, 5, 5, 5}, 4));
    set.images.push_back(image8(2, 2, 1, {1, 2, 3, 4}));
    image odd = image8(2, 2, 2, {1, 1, 0, 1});
    odd.type = 7;
    set.images.push_back(odd);
    image shared; // no block of its own: the first image's block, read again
    shared.width = 4;
    shared.height = 1;
    shared.rowBytes = 4;
    shared.offset = 0;
    set.images.push_back(shared);

    // 1-bit masks at widths around the byte and word edges, both types.
    const uint16_t firstMask = uint16_t(set.images.size());
    set.images.push_back(checker_mask(1, 3, 4));
    set.images.push_back(checker_mask(7, 2, 5));
    set.images.push_back(checker_mask(31, 2, 4));
    set.images.push_back(checker_mask(33, 2, 5));
    set.images.push_back(checker_mask(65, 1, 4));

    // Group 0: three frames; extended info on frames 1 and 2 only, one pair
    // each; pictures stored out of slot order; two appendix entries.
    group g0;
    g0.header = {1, 2, 3, 4, 5, 6, 7, 8};
    frame plain;
    plain.pics = {pic(2, 2, 0, 0), pic(0, 0, -2, -1), pic(firstMask, 1, 3, 1)};
    plain.flagLowBits = 0x55;
    g0.frames.push_back(plain);
    frame first;
    first.pics = {pic(4, 1, 1, 1), pic(uint16_t(firstMask + 1), 0, -3, 2)};
    first.ext1 = std::array<uint8_t, 2>{0x11, 0x12};
    g0.frames.push_back(first);
    frame second;
    second.pics = {pic(1, 0, 2, -2)};
    second.ext2 = std::array<uint8_t, 2>{0x21, 0x22};
    g0.frames.push_back(second);
    g0.appendix = {{0xA, 0xB, 0xC, 0xD}, {0xFFFFFFFF, 0x80000000, 0x7FFFFFFF, 0}};
    set.groups.push_back(g0);

    // Group 1: no frames, one appendix entry.
    group g1;
    g1.header = {0xFFFFFFFF, 0, 0, 0, 0, 0, 0, 0x12345678};
    g1.appendix = {{1, 1, 1, 1}};
    set.groups.push_back(g1);

    // Group 2: a frame of no pictures carrying both pairs, then one whose
    // pictures sit at the far ends of the offset range.
    group g2;
    frame empty;
    empty.ext1 = std::array<uint8_t, 2>{0x31, 0x32};
    empty.ext2 = std::array<uint8_t, 2>{0x33, 0x34};
    g2.frames.push_back(empty);
    frame far;
    far.pics = {pic(uint16_t(firstMask + 2), 3, 32767, -32768), pic(5, 1, -32768, 32767),
                pic(uint16_t(firstMask + 4), 0, -30, 5), pic(uint16_t(firstMask + 3), 2, 0, -1)};
    g2.frames.push_back(far);
    set.groups.push_back(g2);

    // Tables larger than the groups need: a frame and two pictures no group
    // reaches stay empty; one spare extended-info entry. Bytes after the last
    // group are not read.
    set.frameCountField = set.frame_count() + 1;
    set.picCountField = set.picture_count() + 2;
    set.extInfoCountField = set.ext_info_count() + 1;
    set.trailing = {0xDE, 0xAD};
    return set;
}

} // namespace artgen
