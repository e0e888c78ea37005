// Group animation: which groups play in which windows, which frame shows at
// which tick, and the composition of each window's picture. The window system
// is reached only through group_host, so all of it runs without windows.
#pragma once

#include "art_handle.h"

#include <stddef.h>
#include <stdint.h>

// Milliseconds between two animation ticks.
constexpr unsigned GROUP_TICK_MS = 150;

// The group-draw id that marks a failed start; never given to a group.
constexpr uint32_t GROUP_NO_ID = 0xFFFFFFFF;

// What the window system does for the group animation.
class group_host {
public:
    // Width and height of the window's client area; false when the window is
    // gone or its client area can't be had.
    virtual bool client_size(HWND window, int32_t &width, int32_t &height) = 0;
    // The window's own device context, and giving it back.
    virtual HDC get_dc(HWND window) = 0;
    virtual void release_dc(HWND window, HDC dc) = 0;
    // One SetDIBitsToDevice: `height` rows of `width` pixels to (0, 0) of dc.
    virtual void transfer(HDC dc, int32_t width, int32_t height, const RGBQUAD *pixels,
                          const BITMAPINFO *info) = 0;
    // The animation timer, which calls group_timer_tick on every tick.
    virtual void start_timer() = 0;
    virtual void stop_timer() = 0;
    // Heap blocks for records and buffers; null when memory is out.
    virtual void *allocate(size_t bytes);
    virtual void release(void *block);

protected:
    ~group_host() = default;
};

// Library load: the tick counter starts at 0 and the host's timer runs.
void group_engine_start(group_host *host);
// Library unload: every record and buffer is freed, then the timer stops.
void group_engine_stop();
// One timer tick: the counter moves on and every window is composed and shown.
void group_timer_tick();
