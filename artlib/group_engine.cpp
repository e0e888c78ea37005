// Group animation playback.
//
// Records: one group_window per window that shows groups, each with its
// running groups as group_draw records; both lists newest first. Every id
// lookup takes the first match in that order. No record keeps a frame number:
// all groups show frame (ticks mod frameCount) of one shared counter.
//
// Everything runs on the thread that loaded the library, so a render never
// overlaps another operation, except through the client's callbacks: they run
// inside a render, so starting or ending groups is refused there, and a window
// record that goes away under a callback (its set closed) is freed only once
// the callback has returned.
#include "group_engine.h"
#include "art_set.h"

#include <stdlib.h>
#include <string.h>

#include <new>

namespace {

struct group_draw {
    group_draw *next;
    uint32_t id;
    mem_group *group;
    int32_t x;
    int32_t y;
};

struct group_window {
    group_window *next;
    HWND hwnd;
    int32_t clientWidth; // the size `buffer` was made for
    int32_t clientHeight;
    RGBQUAD *buffer; // top row first; null until the first render
    group_draw_callback beforeDraw;
    group_draw_callback afterDraw;
    uint32_t nextId;
    group_draw *draws; // never empty while the record is linked
};

// The header of one render: room for a full colour table behind it, so a
// header that a callback changed can't make the transfer read past it.
struct render_header {
    BITMAPINFO info;
    RGBQUAD moreColors[255];
};

group_host *g_host;
uint64_t g_groupTicks;
group_window *g_groupWindows;
group_window *g_rendering;  // the window whose render is under way, if any
bool g_renderingWindowGone; // its record was unlinked by a callback

template <typename T> T *make_record() {
    void *block = g_host->allocate(sizeof(T));
    return block ? new (block) T{} : nullptr;
}

void free_draws(group_window *w) {
    while (group_draw *d = w->draws) {
        w->draws = d->next;
        g_host->release(d);
    }
}

// Unlinks the window record at *link and frees it with its draws and buffer,
// or, while a callback of its render runs, leaves the freeing to the render.
void drop_window(group_window **link) {
    group_window *w = *link;
    *link = w->next;
    free_draws(w);
    if (w == g_rendering) {
        g_renderingWindowGone = true;
        return;
    }
    g_host->release(w->buffer);
    g_host->release(w);
}

void drop_all_windows() {
    while (g_groupWindows) drop_window(&g_groupWindows);
}

group_window *find_window(HWND window) {
    for (group_window *w = g_groupWindows; w; w = w->next)
        if (w->hwnd == window) return w;
    return nullptr;
}

// The first group with that id: windows newest first, each newest first.
struct id_match {
    group_window **windowLink;
    group_draw **drawLink;
};

bool find_id(uint32_t id, id_match &m) {
    if (id == GROUP_NO_ID) return false;
    for (group_window **wl = &g_groupWindows; *wl; wl = &(*wl)->next)
        for (group_draw **dl = &(*wl)->draws; *dl; dl = &(*dl)->next)
            if ((*dl)->id == id) {
                m = {wl, dl};
                return true;
            }
    return false;
}

void fill_header(render_header &h, int32_t width, int32_t height) {
    memset(&h, 0, sizeof h);
    h.info.bmiHeader.biSize = sizeof(BITMAPINFOHEADER);
    h.info.bmiHeader.biWidth = width;
    h.info.bmiHeader.biHeight = -height;
    h.info.bmiHeader.biPlanes = 1;
    h.info.bmiHeader.biBitCount = 32;
    h.info.bmiHeader.biCompression = BI_RGB;
}

// Whether a header, as a callback may have left it, still describes an
// uncompressed picture that the buffer of width x height pixels holds whole.
// Only then are frames drawn into the buffer and the buffer transferred.
bool header_fits(const BITMAPINFOHEADER &h, int32_t width, int32_t height) {
    if (h.biSize != sizeof(BITMAPINFOHEADER) || h.biCompression != BI_RGB || h.biClrUsed > 256)
        return false;
    unsigned bits = h.biBitCount;
    if (bits != 1 && bits != 4 && bits != 8 && bits != 16 && bits != 24 && bits != 32) return false;
    if (h.biWidth <= 0 || h.biHeight == 0) return false;
    int64_t rows = h.biHeight < 0 ? -int64_t(h.biHeight) : int64_t(h.biHeight);
    int64_t rowBytes = (int64_t(h.biWidth) * h.biBitCount + 31) / 32 * 4;
    return rowBytes * rows <= int64_t(width) * height * 4;
}

// Makes the buffer match the client size. The old buffer stays until a new
// one is had: false (the window is skipped this tick) when memory is out.
bool ensure_buffer(group_window *w, int32_t width, int32_t height) {
    if (w->buffer && w->clientWidth == width && w->clientHeight == height) return true;
    uint64_t bytes = uint64_t(width) * uint64_t(height) * sizeof(RGBQUAD);
    if (bytes > SIZE_MAX) return false;
    void *block = g_host->allocate(size_t(bytes));
    if (!block) return false;
    // One value everywhere: a window without a beforeDraw shows black around
    // its first frame rather than whatever the heap held.
    memset(block, 0, size_t(bytes));
    g_host->release(w->buffer);
    w->buffer = static_cast<RGBQUAD *>(block);
    w->clientWidth = width;
    w->clientHeight = height;
    return true;
}

// Puts the window's buffer on dc, or on the window's own device context when
// dc is null.
void present(group_window *w, HDC dc, const BITMAPINFO &info) {
    HDC target = dc ? dc : g_host->get_dc(w->hwnd);
    if (!target) return;
    g_host->transfer(target, w->clientWidth, w->clientHeight, w->buffer, &info);
    if (!dc) g_host->release_dc(w->hwnd, target);
}

// Runs a client callback on the window's buffer. The library keeps its own
// block: a pointer the callback leaves in the field is not taken (never used,
// never freed). False when the window's record went away meanwhile; it is
// freed here then.
bool call_client(group_window *w, group_draw_callback callback, BITMAPINFO *info) {
    RGBQUAD *own = w->buffer;
    callback(w->hwnd, &w->buffer, info);
    w->buffer = own;
    if (!g_renderingWindowGone) return true;
    g_host->release(w->buffer);
    g_host->release(w);
    return false;
}

void compose(group_window *w, BITMAPINFO *info) {
    uint32_t tick = uint32_t(g_groupTicks);
    for (group_draw *d = w->draws; d; d = d->next) {
        mem_group *g = d->group;
        if (g->frameCount == 0 || !g->frames) continue; // nothing to show
        g->frames[tick % g->frameCount].draw(w->buffer, info, d->x, d->y);
    }
}

// Composes the window's current frames and shows them. A window that is gone,
// has no client area or can't get its buffer is skipped. False when the
// window's record went away during the render (closed by a callback).
bool render_window(group_window *w) {
    int32_t width = 0, height = 0;
    if (!g_host->client_size(w->hwnd, width, height) || width <= 0 || height <= 0) return true;
    if (!ensure_buffer(w, width, height)) return true;

    render_header header;
    fill_header(header, w->clientWidth, w->clientHeight);
    g_rendering = w;
    g_renderingWindowGone = false;
    bool alive = !w->beforeDraw || call_client(w, w->beforeDraw, &header.info);
    if (alive) {
        bool fits = header_fits(header.info.bmiHeader, w->clientWidth, w->clientHeight);
        if (fits) compose(w, &header.info);
        if (w->afterDraw)
            alive = call_client(w, w->afterDraw, &header.info);
        else if (fits)
            present(w, nullptr, header.info);
    }
    g_rendering = nullptr;
    return alive;
}

uint32_t start_group(mem_group *group, HWND window, int x, int y, group_draw_callback beforeDraw,
                     group_draw_callback afterDraw) {
    if (!g_host || !window || g_rendering) return GROUP_NO_ID;
    group_window *w = find_window(window);
    group_window *made = nullptr;
    if (!w) {
        w = made = make_record<group_window>();
        if (!w) return GROUP_NO_ID;
        w->hwnd = window;
        if (!g_host->client_size(window, w->clientWidth, w->clientHeight))
            w->clientWidth = w->clientHeight = 0;
        w->beforeDraw = beforeDraw;
        w->afterDraw = afterDraw;
        w->nextId = 1;
    }
    group_draw *d = w->nextId == GROUP_NO_ID ? nullptr : make_record<group_draw>();
    if (!d) {
        g_host->release(made);
        return GROUP_NO_ID;
    }
    d->id = w->nextId++;
    d->group = group;
    d->x = x;
    d->y = y;
    d->next = w->draws;
    w->draws = d;
    if (made) {
        made->next = g_groupWindows;
        g_groupWindows = made;
    }
    uint32_t id = d->id;
    render_window(w);
    return id;
}

bool redraw(group_window *w, HDC dc) {
    if (!w->buffer) return false; // nothing composed yet
    render_header header;
    fill_header(header, w->clientWidth, w->clientHeight);
    present(w, dc, header.info);
    return true;
}

} // namespace

void *group_host::allocate(size_t bytes) {
    return malloc(bytes);
}

void group_host::release(void *block) {
    free(block);
}

void group_engine_start(group_host *host) {
    group_engine_stop();
    g_host = host;
    g_groupTicks = 0;
    if (g_host) g_host->start_timer();
}

void group_engine_stop() {
    if (!g_host) return;
    drop_all_windows();
    g_host->stop_timer();
    g_host = nullptr;
}

void group_timer_tick() {
    ++g_groupTicks;
    // A tick dispatched by a message loop inside a callback only counts.
    if (!g_host || g_rendering) return;
    for (group_window *w = g_groupWindows; w; w = w->next)
        if (!render_window(w)) break; // the list changed under a callback
}

void forget_group_draws(const mem_group *groups, size_t count) {
    if (!groups || count == 0) return;
    uintptr_t first = uintptr_t(groups), end = first + count * sizeof(mem_group);
    for (group_window **wl = &g_groupWindows; *wl;) {
        group_window *w = *wl;
        for (group_draw **dl = &w->draws; *dl;) {
            group_draw *d = *dl;
            uintptr_t at = uintptr_t(d->group);
            if (at >= first && at < end) {
                *dl = d->next;
                g_host->release(d);
            } else {
                dl = &d->next;
            }
        }
        if (w->draws)
            wl = &w->next;
        else
            drop_window(wl);
    }
}

uint32_t mem_group::start_draw(HWND window, int x, int y, group_draw_callback beforeDraw,
                               group_draw_callback afterDraw) {
    return start_group(this, window, x, y, beforeDraw, afterDraw);
}

bool mem_group::getDrawRect(RECT *out) {
    if (!out) return false;
    // The union of the frames' rectangles; frames that cover nothing (no
    // pictures) add nothing, and a group that covers nothing gets (0,0,0,0).
    RECT r{0, 0, 0, 0};
    bool any = false;
    for (uint32_t i = 0; frames && i < frameCount; ++i) {
        RECT f;
        frames[i].getDrawRect(&f);
        if (f.right <= f.left || f.bottom <= f.top) continue;
        if (!any) {
            r = f;
            any = true;
            continue;
        }
        if (f.left < r.left) r.left = f.left;
        if (f.top < r.top) r.top = f.top;
        if (f.right > r.right) r.right = f.right;
        if (f.bottom > r.bottom) r.bottom = f.bottom;
    }
    *out = r;
    return true;
}

int32_t start_drawGroup(HWND window, int x, int y, art_handle *art, unsigned index) {
    if (!art || art->loadState != ART_LOADED || index >= art->groupCount) return -1;
    return int32_t(start_group(&art->groups[index], window, x, y, nullptr, nullptr));
}

bool end_drawGroup(uint32_t id) {
    id_match m;
    if (g_rendering || !find_id(id, m)) return false;
    group_draw *d = *m.drawLink;
    *m.drawLink = d->next;
    g_host->release(d);
    if (!(*m.windowLink)->draws) drop_window(m.windowLink);
    return true;
}

bool end_drawGroupAll() {
    if (g_rendering) return false;
    if (g_host) drop_all_windows();
    return true;
}

bool set_groupPos(unsigned id, int x, int y) {
    id_match m;
    if (!find_id(id, m)) return false;
    (*m.drawLink)->x = x;
    (*m.drawLink)->y = y;
    return true;
}

HWND get_groupWindow(uint32_t id) {
    id_match m;
    return find_id(id, m) ? (*m.windowLink)->hwnd : nullptr;
}

bool redraw_frameByGroupID(uint32_t id, HDC dc) {
    id_match m;
    return find_id(id, m) && redraw(*m.windowLink, dc);
}

bool redraw_groupWindow(HWND window, HDC dc) {
    group_window *w = window ? find_window(window) : nullptr;
    return w && redraw(w, dc);
}
