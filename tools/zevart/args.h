// A small command-line reader: positional arguments and --options (with their
// value after a space or an '='), checked against what a command accepts.
#pragma once

#include <map>
#include <string>
#include <vector>

struct option_rule {
    const char *name; // "--kind", "-o"
    bool takesValue;
};

struct parsed_args {
    std::vector<std::string> positional;
    std::map<std::string, std::string> options; // name -> value ("" for flags)

    bool has(const char *name) const { return options.count(name) != 0; }
    const std::string &value(const char *name) const { return options.at(name); }
};

// False with `err` for an unknown option, a missing value or a repeated
// option. "--" ends the options.
bool parse_args(int argc, char **argv, int first, const std::vector<option_rule> &rules,
                parsed_args &out, std::string &err);

// A decimal number from 0 to max, digits only.
bool parse_number(const std::string &text, uint32_t max, uint32_t &out);
