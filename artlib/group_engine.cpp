// Group animation playback. Nothing plays yet, so no drawing can outlive the
// tables of a set.
#include "art_set.h"

void forget_group_draws(const mem_group *, size_t) {}
