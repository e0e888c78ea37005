// Library-internal view of a loaded art set: the heap blocks it owns and the
// entry points the loader and the tests share.
#pragma once

#include "art_handle.h"
#include "byte_source.h"
#include "pixel_area.h"

#include <vector>

// The art set's tables mean something only while it is loaded: the index
// exports check this before they follow any table.
inline bool art_loaded(const art_handle *art) {
    return art && art->loadState == ART_LOADED;
}

// Every heap block of one loaded set (tables, colour blocks, pixel area and the
// two name strings). Freed together by the last handle that shares the set.
struct set_blocks {
    std::vector<void *> blocks;
    pixel_area pixels; // the bitmap's pixel area the images point into

    set_blocks() = default;
    set_blocks(const set_blocks &) = delete;
    set_blocks &operator=(const set_blocks &) = delete;
    set_blocks(set_blocks &&) = default;
    set_blocks &operator=(set_blocks &&) = default;
    ~set_blocks();

    // Allocates n bytes (zero-filled) and keeps them; null when memory is out.
    void *alloc(size_t n);
};

// Hands the blocks of a freshly loaded set to `handle`, which must already
// hold the set's fields. Returns false (blocks untouched) when memory is out.
bool adopt_set(art_handle *handle, set_blocks &blocks);

// Empties `handle`: frees its set when no other handle shares it.
void release_set(art_handle *handle);

// Why a load failed, as get_loadError gives it.
struct load_report {
    int code = ART_OK;
    int64_t offset = -1; // in the file at fault; -1: no byte is
    char reason[ART_REASON_SIZE] = "";
};

// The report of a failed load into `handle`, kept until the handle is loaded
// again, closed or destroyed (forget_load_report). Copies go with the handle.
void keep_load_report(const art_handle *handle, const load_report &report);
void forget_load_report(const art_handle *handle);
void copy_load_report(const art_handle *from, const art_handle *to);

// The loader behind LoadArtFromFile, on any byte sources. A null source is a
// file that could not be opened.
int load_art(art_handle *handle, const char *bmpName, const char *prtName, const byte_source *bmp,
             const byte_source *prt);

// Ends every group drawing that plays a group of [groups, groups + count), so
// no timer tick draws from tables about to be freed.
void forget_group_draws(const mem_group *groups, size_t count);
