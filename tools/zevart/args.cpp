#include "args.h"

#include <cstdint>

bool parse_args(int argc, char **argv, int first, const std::vector<option_rule> &rules,
                parsed_args &out, std::string &err) {
    bool optionsEnded = false;
    for (int i = first; i < argc; ++i) {
        std::string arg = argv[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            out.positional.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        std::string name = arg, value;
        size_t eq = arg.find('=');
        bool inlineValue = arg.compare(0, 2, "--") == 0 && eq != std::string::npos;
        if (inlineValue) {
            name = arg.substr(0, eq);
            value = arg.substr(eq + 1);
        }
        const option_rule *rule = nullptr;
        for (const option_rule &s : rules)
            if (name == s.name) rule = &s;
        if (!rule) {
            err = "unknown option '" + name + "'";
            return false;
        }
        if (rule->takesValue && !inlineValue) {
            if (i + 1 >= argc) {
                err = "option " + name + " needs a value";
                return false;
            }
            value = argv[++i];
        } else if (!rule->takesValue && inlineValue) {
            err = "option " + name + " takes no value";
            return false;
        }
        if (out.options.count(name)) {
            err = "option " + name + " given twice";
            return false;
        }
        out.options[name] = value;
    }
    return true;
}

bool parse_number(const std::string &text, uint32_t max, uint32_t &out) {
    if (text.empty() || text.size() > 10) return false;
    uint64_t v = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        v = v * 10 + uint64_t(c - '0');
    }
    if (v > max) return false;
    out = uint32_t(v);
    return true;
}
