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

} // namespace artgen
