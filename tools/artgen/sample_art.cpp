// The bundled sample art set: small procedural sprites laid out the way game
// art is, so every feature of the format shows up in something worth looking
// at. Deterministic: the same bytes on every run and platform.
#include "sample_art.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace artgen {
namespace {

constexpr double kPi = 3.14159265358979323846;

// Palette 0 and 1 hold eight ramps of 16 shades, dark to light, after index 0
// (transparent, never drawn). Palette 2 is a small 16-colour gold palette.
enum ramp { SKIN, RED, BLUE, GREEN, BROWN, GRAY, GOLD, FLAME };
constexpr uint8_t OUTLINE = 129; // near-black
constexpr int kShades = 16;

uint8_t shade(ramp r, double light) {
    int s = int(std::lround(std::clamp(light, 0.0, 1.0) * (kShades - 1)));
    return uint8_t(1 + r * kShades + s);
}

palette make_palette(const char *name, double tintR, double tintG, double tintB) {
    static const double base[8][3] = {
        {0.95, 0.75, 0.60}, {0.85, 0.15, 0.12}, {0.20, 0.30, 0.80}, {0.25, 0.65, 0.20},
        {0.55, 0.35, 0.18}, {0.60, 0.60, 0.62}, {1.00, 0.80, 0.20}, {1.00, 0.55, 0.05},
    };
    palette p;
    std::memcpy(p.skipped.data(), name, std::min(std::strlen(name), p.skipped.size()));
    p.add(255, 0, 255); // index 0: the transparent key, shown magenta by naive viewers
    for (auto &c : base)
        for (int s = 0; s < kShades; ++s) {
            double l = 0.25 + 0.85 * s / (kShades - 1);
            auto ch = [&](double v, double t) {
                return uint8_t(std::clamp(v * l * t, 0.0, 1.0) * 255);
            };
            p.add(ch(c[0], tintR), ch(c[1], tintG), ch(c[2], tintB));
        }
    p.add(12, 10, 16); // OUTLINE
    while (p.data.size() < 256 * 4) {
        uint8_t v = uint8_t(p.data.size() / 4);
        p.add(v, v, v);
    }
    return p;
}

palette gold_palette() {
    palette p;
    std::memcpy(p.skipped.data(), "coins", 5);
    p.add(0, 0, 0);
    for (int s = 1; s < 15; ++s)
        p.add(uint8_t(90 + 11 * s), uint8_t(60 + 12 * s), uint8_t(10 + 6 * s));
    p.add(40, 28, 8); // 15: rim
    return p;
}

// An 8-bit drawing canvas with rows padded to 4 bytes, as the game stores them.
struct canvas {
    int w, h, row;
    std::vector<uint8_t> px;
    canvas(int w_, int h_) : w(w_), h(h_), row((w_ + 3) & ~3), px(size_t(row) * h_, 0) {}

    uint8_t &at(int x, int y) { return px[size_t(y) * row + x]; }
    bool inside(int x, int y) const { return x >= 0 && y >= 0 && x < w && y < h; }

    template <typename Shade> void ellipse(double cx, double cy, double rx, double ry, Shade sh) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                double dx = (x + 0.5 - cx) / rx, dy = (y + 0.5 - cy) / ry;
                double d = dx * dx + dy * dy;
                if (d <= 1.0) at(x, y) = sh(dx, dy, d);
            }
    }
    void rect(int x0, int y0, int x1, int y1, ramp r, double light) {
        for (int y = std::max(0, y0); y < std::min(h, y1); ++y)
            for (int x = std::max(0, x0); x < std::min(w, x1); ++x)
                at(x, y) = shade(r, light - 0.25 * (x - x0) / std::max(1, x1 - x0));
    }
    // A limb: a thick line from (x0, y0) to (x1, y1).
    void limb(double x0, double y0, double x1, double y1, double thick, ramp r) {
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x) {
                double vx = x1 - x0, vy = y1 - y0, px_ = x + 0.5 - x0, py = y + 0.5 - y0;
                double t = std::clamp((px_ * vx + py * vy) / (vx * vx + vy * vy), 0.0, 1.0);
                double ex = px_ - t * vx, ey = py - t * vy;
                if (ex * ex + ey * ey <= thick * thick / 4) at(x, y) = shade(r, 0.75 - 0.3 * t);
            }
    }
    void outline() {
        std::vector<uint8_t> copy = px;
        auto solid = [&](int x, int y) { return inside(x, y) && copy[size_t(y) * row + x] != 0; };
        for (int y = 0; y < h; ++y)
            for (int x = 0; x < w; ++x)
                if (!copy[size_t(y) * row + x] &&
                    (solid(x - 1, y) || solid(x + 1, y) || solid(x, y - 1) || solid(x, y + 1)))
                    at(x, y) = OUTLINE;
    }
    image to_image(uint16_t palette) const { return image8(w, h, palette, px, row); }
};

auto lit(ramp r) {
    return [r](double dx, double dy, double) { return shade(r, 0.85 - 0.35 * (dx + dy)); };
}

std::vector<uint8_t> ellipse_bits(int w, int h) {
    std::vector<uint8_t> bits(size_t(w) * h);
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            double dx = (x + 0.5 - w / 2.0) / (w / 2.0), dy = (y + 0.5 - h / 2.0) / (h / 2.0);
            bits[size_t(y) * w + x] = dx * dx + dy * dy <= 1.0;
        }
    return bits;
}

// Walker: 40 x 56, feet at the bottom centre; `phase` in [0, 1) of the cycle.
image walker(double phase, uint16_t pal) {
    canvas c(40, 56);
    double swing = std::sin(phase * 2 * kPi);
    double bob = std::fabs(std::cos(phase * 2 * kPi)) * 2;
    double hipY = 34 - bob, shoulderY = 20 - bob;
    c.limb(20, hipY, 20 - 9 * swing, 54, 6, BLUE); // back leg
    c.limb(20, shoulderY, 20 + 8 * swing, 33 - bob, 4, SKIN);
    c.ellipse(20, 27 - bob, 7.5, 10, lit(RED));    // torso
    c.limb(20, hipY, 20 + 9 * swing, 54, 6, BLUE); // front leg
    c.limb(20, shoulderY, 20 - 8 * swing, 33 - bob, 4, SKIN);
    c.ellipse(20, 11 - bob, 6.5, 7, lit(SKIN));             // head
    c.rect(14, int(3 - bob), 26, int(7 - bob), BROWN, 0.6); // hair
    c.outline();
    return c.to_image(pal);
}

// Coin seen edge-on as it turns: 32 x 32, palette 2 (16 colours).
image coin(double angle) {
    canvas c(32, 32);
    double rx = std::max(1.5, 14 * std::fabs(std::cos(angle)));
    c.ellipse(16, 16, rx, 14, [&](double dx, double dy, double d) {
        if (d > 0.8) return uint8_t(15);
        int s = int(std::lround(7 + 6 * (-0.6 * dx - 0.6 * dy) * std::cos(angle)));
        return uint8_t(std::clamp(s, 1, 14));
    });
    return c.to_image(2);
}

// Flame: 16 x 28, flickering from a fixed seed.
image flame(int step) {
    canvas c(16, 28);
    uint32_t seed = 2166136261u ^ uint32_t(step * 16777619u);
    auto rnd = [&] { return (seed = seed * 1664525u + 1013904223u) >> 8 & 0xFFFF; };
    double lean = (int(rnd() % 7) - 3) * 0.6, height = 18 + rnd() % 8;
    for (int y = 0; y < 28; ++y)
        for (int x = 0; x < 16; ++x) {
            double t = (27.5 - y) / height; // 0 at the base, 1 at the tip
            if (t < 0 || t > 1) continue;
            double cx = 8 + lean * t * t, half = 6.5 * std::sqrt(1 - t) * (0.6 + 0.4 * (1 - t));
            double d = std::fabs(x + 0.5 - cx) / std::max(0.5, half);
            if (d <= 1)
                c.at(x, y) = d < 0.45 && t < 0.6 ? shade(GOLD, 1 - t) : shade(FLAME, 0.9 - 0.5 * t);
        }
    return c.to_image(0);
}

image torch_stick() {
    canvas c(6, 20);
    c.rect(1, 0, 5, 20, BROWN, 0.7);
    c.rect(0, 0, 6, 3, GRAY, 0.8);
    return c.to_image(0);
}

image house(uint16_t pal) {
    canvas c(96, 80);
    c.rect(10, 34, 86, 80, GRAY, 0.9); // walls
    for (int y = 0; y < 36; ++y) {     // roof
        int half = 8 + y * 40 / 36;
        for (int x = 48 - half; x < 48 + half; ++x)
            if (c.inside(x, y)) c.at(x, y) = shade(RED, 0.45 + 0.4 * (x < 48) + 0.1 * (y % 6 == 0));
    }
    c.rect(40, 54, 56, 80, BROWN, 0.55); // door
    c.rect(18, 44, 32, 58, BLUE, 0.95);  // windows
    c.rect(64, 44, 78, 58, BLUE, 0.95);
    c.outline();
    return c.to_image(pal);
}

image tree() {
    canvas c(64, 80);
    c.rect(27, 44, 37, 80, BROWN, 0.7);
    c.ellipse(32, 28, 26, 26, lit(GREEN));
    c.ellipse(20, 36, 12, 10, lit(GREEN));
    c.outline();
    return c.to_image(0);
}

picture pic(uint16_t image, uint8_t slot, int16_t x, int16_t y) {
    picture p;
    p.image = image;
    p.slot = slot;
    p.x = x;
    p.y = y;
    p.spare = uint8_t(0x40 | slot); // not interpreted; varied so readers don't rely on it
    return p;
}

} // namespace

art_set make_sample() {
    art_set set;
    set.palettes.push_back(make_palette("day", 1.0, 1.0, 1.0));
    set.palettes.push_back(make_palette("night", 0.55, 0.65, 1.15));
    set.palettes.push_back(gold_palette());

    auto add = [&](image im) {
        set.images.push_back(std::move(im));
        return uint16_t(set.images.size() - 1);
    };

    // Images first, as the game keeps them: sprites grouped by what they show.
    std::vector<uint16_t> walk, walkNight, coins, flames;
    for (int i = 0; i < 8; ++i) walk.push_back(add(walker(i / 8.0, 0)));
    for (int i = 0; i < 8; ++i) walkNight.push_back(add(walker(i / 8.0, 1)));
    for (int i = 0; i < 10; ++i) coins.push_back(add(coin(i * kPi / 10)));
    for (int i = 0; i < 6; ++i) flames.push_back(add(flame(i)));
    uint16_t stick = add(torch_stick());
    uint16_t houseDay = add(house(0)), houseNight = add(house(1)), treeImg = add(tree());
    uint16_t walkerShadow = add(mask1(33, 10, ellipse_bits(33, 10))); // 8 bytes a row
    std::vector<uint8_t> slant(64 * 24);
    for (int y = 0; y < 24; ++y)
        for (int x = 0; x < 64; ++x) slant[size_t(y) * 64 + x] = x >= y && x < y + 40;
    image houseShadowImg = mask1(64, 24, slant);
    houseShadowImg.type = 5;
    uint16_t houseShadow = add(houseShadowImg);
    uint16_t coinShadow = add(mask1(20, 6, ellipse_bits(20, 6)));

    // Group 0: walk cycle. Shadow under the feet, body over it; anchor at the
    // feet. Every frame carries extended info (a step sound and a speed).
    group walkGroup;
    walkGroup.header = {0x57414C4B, 8, 150, 0, 0x00010002, 0, 0, 0xFFFFFFFF};
    for (int i = 0; i < 8; ++i) {
        frame f;
        f.pics = {pic(walkerShadow, 0, -16, -5), pic(walk[i], 1, -20, -56)};
        f.ext1 = std::array<uint8_t, 2>{uint8_t(i % 4 == 0 ? 1 : 0), 4};
        f.ext2 = std::array<uint8_t, 2>{uint8_t(i), 0x20};
        walkGroup.frames.push_back(f);
    }
    walkGroup.appendix = {{0x100, 0x200, 0x300, 0x400}};
    set.groups.push_back(walkGroup);

    // Group 1: spinning coin, no extended info, no appendix.
    group coinGroup;
    coinGroup.header = {0x434F494E, 10, 100, 1, 0, 0, 0, 0};
    for (int i = 0; i < 10; ++i) {
        frame f;
        f.pics = {pic(coinShadow, 0, -10, 14), pic(coins[i], 1, -16, -16)};
        coinGroup.frames.push_back(f);
    }
    set.groups.push_back(coinGroup);

    // Group 2: torch. Only some frames carry extended info, in either pair;
    // two appendix entries.
    group torchGroup;
    torchGroup.header = {0x544F5243, 6, 120, 2, 0, 0, 0, 0};
    for (int i = 0; i < 6; ++i) {
        frame f;
        f.pics = {pic(stick, 0, -3, -20), pic(flames[i], 1, -8, -46)};
        if (i == 0) f.ext1 = std::array<uint8_t, 2>{0xA0, 0x01};
        if (i == 3) f.ext2 = std::array<uint8_t, 2>{0xB0, 0x02};
        f.flagLowBits = uint8_t(i);
        torchGroup.frames.push_back(f);
    }
    torchGroup.appendix = {{1, 2, 3, 4}, {0xDEADBEEF, 0, 0x7FFFFFFF, 0x80000000}};
    set.groups.push_back(torchGroup);

    // Group 3: a scene by day, one frame of five pictures stored out of slot
    // order: the slot, not the file order, stacks them.
    group scene;
    scene.header = {0x5343454E, 1, 0, 3, 0, 0, 0, 0};
    frame day;
    day.pics = {pic(walk[2], 4, 70, 38), pic(houseShadow, 1, -20, 62), pic(houseDay, 2, -48, 0),
                pic(treeImg, 3, -110, 4), pic(walkerShadow, 0, 74, 89)};
    scene.frames.push_back(day);
    set.groups.push_back(scene);

    // Group 4: the night walk: two frames of the same scene in the night
    // palette, the walker in a different place in each.
    group night;
    night.header = {0x4E494754, 2, 300, 4, 0, 0, 0, 0};
    for (int i = 0; i < 2; ++i) {
        frame f;
        f.pics = {pic(houseShadow, 0, -20, 62), pic(houseNight, 1, -48, 0),
                  pic(walkNight[i * 4], 2, int16_t(60 + 20 * i), 40)};
        f.ext2 = std::array<uint8_t, 2>{uint8_t(i), 0};
        night.frames.push_back(f);
    }
    night.appendix = {{0, 0, 0, 1}};
    set.groups.push_back(night);
    return set;
}

} // namespace artgen
