// A lock for the library's few process-wide tables (shared sets, reports of
// failed loads). WebAssembly builds have one thread and no std::mutex: there
// it excludes nothing.
#pragma once

#ifndef __wasi__
#include <mutex>
#endif

class core_mutex {
public:
#ifdef __wasi__
    void lock() {}
    void unlock() {}
#else
    void lock() { m_.lock(); }
    void unlock() { m_.unlock(); }

private:
    std::mutex m_;
#endif
};

class core_lock {
public:
    explicit core_lock(core_mutex &m) : m_(m) { m_.lock(); }
    ~core_lock() { m_.unlock(); }
    core_lock(const core_lock &) = delete;
    core_lock &operator=(const core_lock &) = delete;

private:
    core_mutex &m_;
};
