// An output file written whole or not at all, and never over an existing file
// unless asked to.
//
// The bytes go to a temporary file next to the target, made with exclusive
// creation so no two writers share it. commit() gives it the target's name: without
// `replace`, by a rename that fails when the name is taken (so a file that
// appeared meanwhile is not lost either); with it, by a plain replacing
// rename. A sink that is not committed removes its temporary file.
//
// A stream is written in place instead: "-" and this process's own standard
// output under any name (/dev/stdout), and an existing device or pipe.
#pragma once

#include <cstdio>
#include <string>

class out_file {
public:
    out_file() = default;
    ~out_file();
    out_file(const out_file &) = delete;
    out_file &operator=(const out_file &) = delete;

    // Makes the temporary file for `path`; false (with `err`) when it can't.
    bool open(const std::string &path, std::string &err);
    FILE *stream() { return file_; }
    // Appends bytes; a failure is kept and reported by commit().
    void write(const void *data, size_t n);
    // For writers that make the file themselves (the library's BMP writers):
    // closes the stream and leaves the reserved temporary name to them. Not
    // for a stream written in place.
    const std::string &temp_path();
    bool in_place() const { return inPlace_; }

    // Closes and names the file; false (with `err`) when a write failed,
    // or the target exists and `replace` is false.
    bool commit(bool replace, std::string &err);
    // After a failed commit: whether it failed because the target exists.
    bool target_existed() const { return targetExisted_; }

private:
    void discard();

    std::string path_, temp_;
    FILE *file_ = nullptr;
    bool inPlace_ = false, ownsStream_ = false;
    int writeError_ = 0; // errno of a failed write or close
    bool targetExisted_ = false;
};

// `n` bytes as the file at `path`, by out_file's rules: whole or not at all,
// an existing file replaced only with `replace` (`existed` then tells why it
// failed). On Linux a new file is written unnamed (O_TMPFILE) and given its
// name when complete: no temporary name to make, rename or leave behind,
// even if the program is killed. Elsewhere, or over an existing file, through
// out_file.
bool write_whole_file(const std::string &path, const void *data, size_t n, bool replace,
                      std::string &err, bool *existed = nullptr);

// Whether anything (file, folder, link) is at `path`.
bool path_taken(const std::string &path);

// Whether `path` is a stream that out_file writes in place: "-", standard
// output by another name, an existing device or pipe. Such a target is never
// refused as existing.
bool writes_in_place(const std::string &path);

// A name for a scratch file in the system's temporary folder, unused so far.
std::string scratch_path(const std::string &suffix);

// "standard output" for "-", else the path.
std::string shown_name(const std::string &path);
