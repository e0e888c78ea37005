// A small command-line reader: positional arguments and options, checked
// against what a command accepts. Long options take their value after a space
// or an '=' (--jobs 4, --jobs=4); short ones after a space or joined (-j 4,
// -j4), and flags may be grouped (-qf). "--" ends the options; "-" alone is an
// argument (standard output where a file is named).
#pragma once

#include <map>
#include <string>
#include <vector>

struct option_rule {
    const char *name; // "--kind"
    bool takesValue;
    char shortName = 0; // 'j' for -j; 0: none
};

struct parsed_args {
    std::vector<std::string> positional;
    std::map<std::string, std::string> options; // long name -> value ("" for flags)

    bool has(const char *name) const { return options.count(name) != 0; }
    const std::string &value(const char *name) const { return options.at(name); }
};

// False with `err` for an unknown option, a missing value or a repeated
// option (by either of its names).
bool parse_args(int argc, char **argv, int first, const std::vector<option_rule> &rules,
                parsed_args &out, std::string &err);

// A decimal number from 0 to max, digits only.
bool parse_number(const std::string &text, uint32_t max, uint32_t &out);
