// The reports of failed loads, for get_loadError. The handle's layout is a
// contract with no room for them, so they are kept beside it: a fixed table of
// slots keyed by the handle's address, taken by a failed load and freed when
// the handle is loaded again, closed or destroyed. Nothing is allocated; when
// more failed handles are open than there are slots, the oldest report makes
// room.
#include "art_set.h"

#include <string.h>

#include "core_lock.h"

namespace {

constexpr size_t kSlots = 64;

struct slot {
    const art_handle *handle;
    uint64_t serial; // when it was taken; 0: free
    load_report report;
};

slot g_slots[kSlots];
uint64_t g_serial = 0;

// Never destroyed: a client's static handle may be closed after this
// library's own statics are gone.
core_mutex &slots_mutex() {
    static auto *m = new core_mutex;
    return *m;
}

slot *find(const art_handle *handle) {
    for (slot &s : g_slots)
        if (s.serial && s.handle == handle) return &s;
    return nullptr;
}

void keep(const art_handle *handle, const load_report &report) {
    slot *s = find(handle);
    if (!s) {
        s = &g_slots[0];
        for (slot &t : g_slots)
            if (t.serial < s->serial) s = &t; // a free one, else the oldest
    }
    *s = {handle, ++g_serial, report};
}

} // namespace

void keep_load_report(const art_handle *handle, const load_report &report) {
    core_lock lock(slots_mutex());
    keep(handle, report);
}

void forget_load_report(const art_handle *handle) {
    core_lock lock(slots_mutex());
    if (slot *s = find(handle)) s->serial = 0;
}

void copy_load_report(const art_handle *from, const art_handle *to) {
    core_lock lock(slots_mutex());
    const slot *s = find(from);
    if (s && from != to) keep(to, load_report(s->report));
}

int get_loadError(const art_handle *handle, char *reason, unsigned size, int64_t *offset) {
    load_report report;
    report.code = -1;
    if (handle && handle->loadState == ART_LOADED) {
        report.code = ART_OK;
    } else if (handle && handle->loadState == ART_FAILED) {
        core_lock lock(slots_mutex());
        if (const slot *s = find(handle)) report = s->report;
    }
    if (reason && size) {
        size_t n = strnlen(report.reason, sizeof report.reason - 1);
        if (n > size - 1) n = size - 1;
        memcpy(reason, report.reason, n);
        reason[n] = '\0';
    }
    if (offset) *offset = report.code > 0 ? report.offset : -1;
    return report.code;
}
