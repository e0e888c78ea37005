// Large generated sets for load and export measurements.
#include "sample_art.h"

#include <algorithm>

namespace artgen {

art_set make_bulk(uint32_t images, int minSide, int maxSide, uint32_t seed) {
    uint32_t state = seed ? seed : 1;
    auto rnd = [&](uint32_t n) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return state % n;
    };

    art_set set;
    for (int p = 0; p < 4; ++p) {
        palette pal;
        for (int c = 0; c < 256; ++c) pal.add(uint8_t(c * 7 + p), uint8_t(c * 3), uint8_t(255 - c));
        set.palettes.push_back(pal);
    }
    for (uint32_t i = 0; i < images; ++i) {
        int w = minSide + int(rnd(uint32_t(maxSide - minSide + 1)));
        int h = minSide + int(rnd(uint32_t(maxSide - minSide + 1)));
        if (i % 8 == 7) { // a shadow mask now and then
            std::vector<uint8_t> bits(size_t(w) * h);
            for (size_t k = 0; k < bits.size(); ++k) bits[k] = rnd(3) == 0;
            set.images.push_back(mask1(w, h, bits));
            continue;
        }
        // An opaque body inside a transparent border, like a sprite.
        int row = (w + 3) & ~3;
        std::vector<uint8_t> px(size_t(row) * h, 0);
        for (int y = h / 6; y < h - h / 6; ++y)
            for (int x = w / 6; x < w - w / 6; ++x) px[size_t(y) * row + x] = uint8_t(1 + rnd(255));
        set.images.push_back(image8(w, h, uint16_t(i % 4), std::move(px), row));
    }
    // Groups of up to 12 frames, each frame one picture of consecutive images
    // with a second picture every third frame.
    uint32_t next = 0;
    while (next < images) {
        group g;
        uint32_t frames = std::min<uint32_t>(1 + rnd(12), images - next);
        for (uint32_t f = 0; f < frames; ++f, ++next) {
            frame fr;
            picture p;
            p.image = uint16_t(next % 65536);
            p.x = int16_t(-int(rnd(32)));
            p.y = int16_t(-int(rnd(32)));
            fr.pics.push_back(p);
            if (f % 3 == 2) {
                picture q = p;
                q.image = uint16_t((next - 1) % 65536);
                q.slot = 1;
                q.x = int16_t(q.x + 8);
                fr.pics.push_back(q);
            }
            g.frames.push_back(fr);
        }
        set.groups.push_back(g);
    }
    return set;
}

} // namespace artgen
