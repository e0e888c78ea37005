// The handle's lifecycle: construction, release and shared copies.
//
// A copy made by operator= shares the source's tables. Which blocks a set owns
// and how many handles share them is kept here, keyed by the set's bitmap name
// string (unique per load), so the tables are freed exactly once: by the last
// handle that lets go. Releasing a handle whose set is not known here (a raw
// byte copy already released elsewhere) frees nothing.
#include "art_set.h"

#include <stdlib.h>
#include <string.h>

#include <map>

#include "core_lock.h"

namespace {

struct shared_set {
    unsigned refs;
    set_blocks blocks;
};

// Never destroyed, as the registry below.
core_mutex &registry_mutex() {
    static auto *m = new core_mutex;
    return *m;
}

// Never destroyed: a client's static handle may be released after this
// library's own statics are gone.
std::map<const void *, shared_set> &registry() {
    static auto *r = new std::map<const void *, shared_set>;
    return *r;
}

void clear_fields(art_handle *h) {
    int32_t state = h->loadState;
    memset(static_cast<void *>(h), 0, sizeof *h);
    h->loadState = state;
}

// Adds one sharer to the set of a loaded handle; false when the set is unknown.
bool retain_set(const art_handle *h) {
    core_lock lock(registry_mutex());
    auto it = registry().find(h->bmpFileName);
    if (it == registry().end()) return false;
    ++it->second.refs;
    return true;
}

} // namespace

set_blocks::~set_blocks() {
    for (void *b : blocks) free(b);
}

void *set_blocks::alloc(size_t n) {
    if (n == 0) return nullptr;
    try {
        blocks.reserve(blocks.size() + 1);
    } catch (...) {
        return nullptr;
    }
    void *p = calloc(1, n);
    if (p) blocks.push_back(p);
    return p;
}

bool adopt_set(art_handle *handle, set_blocks &blocks) {
    core_lock lock(registry_mutex());
    try {
        registry().emplace(handle->bmpFileName, shared_set{1, std::move(blocks)});
    } catch (...) {
        return false;
    }
    return true;
}

void release_set(art_handle *handle) {
    if (handle->loadState == ART_LOADED) {
        set_blocks last;
        bool freeing = false;
        {
            core_lock lock(registry_mutex());
            auto it = registry().find(handle->bmpFileName);
            if (it != registry().end() && --it->second.refs == 0) {
                last = std::move(it->second.blocks);
                registry().erase(it);
                freeing = true;
            }
        }
        if (freeing) forget_group_draws(handle->groups, handle->groupCount);
        // `last` frees the blocks here, after no group plays from them.
    }
    forget_load_report(handle);
    handle->loadState = ART_EMPTY;
    clear_fields(handle);
}

art_handle::art_handle() {
    loadState = ART_EMPTY;
}

art_handle::art_handle(const char *) {
    loadState = ART_EMPTY;
}

art_handle::art_handle(const char *bmpFile, const char *prtFile) {
    loadState = ART_EMPTY;
    LoadArtFromFile(bmpFile, prtFile, this);
}

art_handle::~art_handle() {
    release_set(this);
}

art_handle &art_handle::operator=(const art_handle &other) {
    if (this == &other) return *this;
    // Only a set this library still knows can be shared; anything else is
    // copied as an empty or failed handle that owns nothing.
    bool shared = other.loadState == ART_LOADED && retain_set(&other);
    release_set(this);
    memcpy(static_cast<void *>(this), &other, sizeof *this);
    if (other.loadState == ART_FAILED) copy_load_report(&other, this);
    if (other.loadState == ART_LOADED && !shared) {
        clear_fields(this);
        loadState = ART_FAILED;
    }
    return *this;
}

int CloseArt(art_handle *handle) {
    if (handle) release_set(handle);
    return 1;
}
