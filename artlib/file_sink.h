// A file written whole or not at all.
//
// Bytes go to a temporary file in the target's folder, which takes the
// target's name only when everything was written and closed. A failed or
// abandoned sink removes its temporary file, so a file already there under the
// target's name stays as it was and no half-written file ever carries it.
#pragma once

#include <stddef.h>

#ifdef _WIN32
#include <windows.h>
#endif

class file_sink {
public:
    file_sink() = default;
    ~file_sink() { discard(); }
    file_sink(const file_sink &) = delete;
    file_sink &operator=(const file_sink &) = delete;

    // Starts a file that will be named `path`. False when the temporary file
    // can't be made (no such folder, no rights, a name too long) or, on POSIX,
    // when an existing file of that name may not be written.
    bool open(const char *path);

    // Writes all n bytes; false when any of them could not be written.
    bool write(const void *data, size_t n);

    // Closes the file and gives it the target's name, replacing any file there.
    // On false nothing under either name is left behind.
    bool commit();

private:
    // Longest target name taken; a longer one is refused.
    static constexpr size_t kMaxPath = 4096;

    bool close_file();     // false when the system reports the close failed
    bool replace_target(); // the temporary file takes the target's name
    void remove_temp();
    void discard();

    const char *target_ = nullptr;
    char temp_[kMaxPath + 32] = ""; // empty while no temporary file exists
#ifdef _WIN32
    HANDLE file_ = INVALID_HANDLE_VALUE;
#else
    int file_ = -1;
#endif
};
