// Objects to pixels, through the library's own drawing: 32-bit surfaces as
// the viewer makes them, and RGBA pictures whose alpha says what the object
// covers.
#pragma once

#include "cli.h"

#include <cstdint>
#include <string>
#include <utility>
#include <vector>

// One picture to produce: an image, picture or frame of the set drawn into a
// rectangle given in the object's anchor coordinates. Frame i of a group is
// that frame's table entry drawn in the group's rectangle, so the frames of
// an animation share one size and nothing jumps.
struct still {
    kind what; // image, picture or frame
    uint32_t index;
    RECT rect;
};

// The object with its own draw rectangle (image, picture or frame).
still still_of(art_handle &art, kind what, uint32_t index);
RECT group_rect(art_handle &art, uint32_t group);
// Frame `frame` (0-based within the group) of group `group`, in `rect`.
still group_frame(art_handle &art, uint32_t group, uint32_t frame, const RECT &rect);

// How long each frame of an animation shows: the library's animation tick.
constexpr uint32_t kFrameDelayMs = 150;

// The largest surface any single picture may take (4 bytes a pixel).
constexpr uint64_t kMaxSurfaceBytes = uint64_t(256) << 20;

enum class fit { ok, empty, too_big };
// Width and height of `rect` enlarged `scale` times, checked against the
// limit. Works in 64 bits: no rectangle can overflow it.
fit surface_fit(const RECT &rect, uint32_t scale, uint32_t &width, uint32_t &height);
// "empty draw rectangle" or "W x H pixels exceed ..." for a refusal.
std::string fit_problem(fit f, const RECT &rect, uint32_t scale);

// A 32-bit drawing surface. Allocation may throw std::bad_alloc.
struct surface {
    uint32_t width, height;
    std::vector<RGBQUAD> pixels;
    BITMAPINFO info;

    surface(uint32_t w, uint32_t h, bool bottomUp, RGBQUAD fill);
    // Another size and fill, in the memory it has where that is enough.
    void reset(uint32_t w, uint32_t h, bool bottomUp, RGBQUAD fill);
};

constexpr RGBQUAD kViewerOrange = {0x00, 0x7F, 0xFF, 0x00}; // 0x00FF7F00
constexpr RGBQUAD kBlack = {0, 0, 0, 0};
constexpr RGBQUAD kWhite = {255, 255, 255, 0};

// Draws the still at (-left, -top): its rectangle's corner lands on (0, 0).
void draw_still(art_handle &art, const still &s, surface &target);

// Top-down rows of R, G, B, A bytes.
struct rgba_image {
    uint32_t width = 0, height = 0;
    std::vector<uint8_t> px;
};

// Transparent where nothing was drawn, shadows as translucent black. The
// still is drawn over black and over white; a pixel that both show alike is
// opaque, one that white shows brighter was darkened (or left alone) by the
// amount that gives its alpha.
rgba_image render_transparent(art_handle &art, const still &s);
// Drawn over an opaque background, exactly as the library composes it.
rgba_image render_over(art_handle &art, const still &s, RGBQUAD background);

// Alpha and colour of one pixel from its two drawings (B, G, R order).
void derive_rgba(const RGBQUAD &overBlack, const RGBQUAD &overWhite, uint8_t *rgba);

// Each pixel repeated scale x scale times.
rgba_image scale_nearest(const rgba_image &in, uint32_t scale);

// How a picture is made: transparent, or over an opaque colour; enlarged.
struct look {
    bool transparent = true;
    RGBQUAD background = kBlack; // when not transparent
    uint32_t scale = 1;
};
// The still as `how` says; its rectangle must have passed surface_fit.
rgba_image render_still(art_handle &art, const still &s, const look &how);

// Pictures of one size, in showing order: what animation writers take.
class frame_source {
public:
    virtual ~frame_source() = default;
    virtual uint32_t count() const = 0;
    // Frame i; valid until the next call. May throw std::bad_alloc.
    virtual const rgba_image &frame(uint32_t i) = 0;
};

// One picture as a source of one frame.
class single_frame : public frame_source {
public:
    explicit single_frame(rgba_image img) : img_(std::move(img)) {}
    uint32_t count() const override { return 1; }
    const rgba_image &frame(uint32_t) override { return img_; }

private:
    rgba_image img_;
};

// The frames of a group, each in the group's rectangle. Frames are rendered
// once and kept while all of them fit in one picture's memory limit, so the
// several files of a group (GIF, APNG, sheet) share the work.
class group_frames : public frame_source {
public:
    group_frames(art_handle &art, uint32_t group, const RECT &rect, const look &how);
    uint32_t count() const override { return count_; }
    const rgba_image &frame(uint32_t i) override;

private:
    art_handle &art_;
    uint32_t group_, count_;
    RECT rect_;
    look how_;
    bool keepAll_;
    std::vector<rgba_image> kept_;
    rgba_image scratch_;
    uint32_t scratchIndex_ = UINT32_MAX;
};
