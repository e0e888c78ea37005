// What the commands of the zevart tool share: exit statuses, object kinds and
// loading an art set with a readable reason when it fails.
#pragma once

#include "art_handle.h"

#include <cstdint>
#include <string>

// Exit statuses (documented in docs/zevart-cli.md).
enum {
    EXIT_OK = 0,
    EXIT_USAGE = 1,       // bad command line, index out of range
    EXIT_LOAD = 2,        // the art set cannot be loaded
    EXIT_SOME_FAILED = 3, // some objects could not be written; the others were
    EXIT_EXISTS = 4,      // an output file exists and --force was not given; nothing written
};

enum class kind { image, picture, frame, group };

const char *kind_name(kind k);
bool parse_kind(const std::string &text, kind &out);
uint32_t kind_count(const art_handle &art, kind k);

// Loads the set into `art`; on failure prints the loader's code and a
// one-line reason naming the file at fault, and returns false.
bool load_or_explain(const char *bmp, const char *prt, art_handle &art);

// "zevart: " + message on stderr.
void print_error(const std::string &message);
