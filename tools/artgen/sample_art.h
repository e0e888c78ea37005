// Art sets made by our own code: the bundled sample and large generated sets
// for measurements.
#pragma once

#include "artset_writer.h"

namespace artgen {

// The bundled sample: three palettes, walking figures, a spinning coin, a
// torch, a house and a tree with 1-bit shadows, in five groups.
art_set make_sample();

// A large set of `images` random sprites (8-bit, some 1-bit masks), sizes
// between minSide and maxSide, in groups of up to 12 frames. Deterministic
// for a given seed.
art_set make_bulk(uint32_t images, int minSide, int maxSide, uint32_t seed);

// A small set of odd shapes, every record type in forms the sample doesn't
// use: palettes of no colours and of a size that isn't a multiple of 4, 1-bit
// masks at widths 1, 7, 31, 33 and 65, 8-bit rows longer than their width, a
// negative height, a shared pixel block, groups without frames, frames without
// pictures, extended info on some frames only, offsets at both ends of their
// range, tables larger than the groups need, bytes after the last group.
art_set make_shapes();

} // namespace artgen
