#include "args.h"

#include <cstdint>

namespace {

// Stores one option under its long name; `value` is taken from the word
// (inline) or, when the option needs one and none is inline, the next word.
bool take(const option_rule &rule, const std::string &given, bool hasInline,
          const std::string &inlineValue, int argc, char **argv, int &i, parsed_args &out,
          std::string &err) {
    std::string value;
    if (rule.takesValue) {
        if (hasInline) {
            value = inlineValue;
        } else if (i + 1 < argc) {
            value = argv[++i];
        } else {
            err = "option " + given + " needs a value";
            return false;
        }
    } else if (hasInline) {
        err = "option " + given + " takes no value";
        return false;
    }
    if (out.options.count(rule.name)) {
        err = "option " + std::string(rule.name) + " given twice";
        return false;
    }
    out.options[rule.name] = value;
    return true;
}

} // namespace

bool parse_args(int argc, char **argv, int first, const std::vector<option_rule> &rules,
                parsed_args &out, std::string &err) {
    bool optionsEnded = false;
    for (int i = first; i < argc; ++i) {
        const std::string arg = argv[i];
        if (optionsEnded || arg.size() < 2 || arg[0] != '-') {
            out.positional.push_back(arg);
            continue;
        }
        if (arg == "--") {
            optionsEnded = true;
            continue;
        }
        if (arg[1] == '-') {
            const size_t eq = arg.find('=');
            const std::string name = arg.substr(0, eq);
            const option_rule *rule = nullptr;
            for (const option_rule &r : rules)
                if (name == r.name) rule = &r;
            if (!rule) {
                err = "unknown option '" + name + "'";
                return false;
            }
            const bool hasInline = eq != std::string::npos;
            if (!take(*rule, name, hasInline, hasInline ? arg.substr(eq + 1) : "", argc, argv, i,
                      out, err))
                return false;
            continue;
        }
        // Short options: flags one after another, a value option last with
        // its value joined or in the next word.
        for (size_t k = 1; k < arg.size(); ++k) {
            const option_rule *rule = nullptr;
            for (const option_rule &r : rules)
                if (r.shortName == arg[k]) rule = &r;
            const std::string given = std::string("-") + arg[k];
            if (!rule) {
                err = "unknown option '" + given + "'";
                return false;
            }
            const bool hasInline = rule->takesValue && k + 1 < arg.size();
            if (!take(*rule, given, hasInline, hasInline ? arg.substr(k + 1) : "", argc, argv, i,
                      out, err))
                return false;
            if (rule->takesValue) break;
        }
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
