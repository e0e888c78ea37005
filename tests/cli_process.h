// Runs the zevart program as a user would: arguments in, exit status and the
// text of both output streams back.
#pragma once

#include <string>
#include <vector>

struct run_result {
    int status = -1;      // the exit status; 128 + the signal that ended it
    std::string out, err; // text, without the "\r" that Wine adds
    std::string bytes;    // standard output as written
};

// Runs `program` with `args`; the streams are caught in files under `scratch`,
// or standard output goes to `stdoutPath` when one is given.
run_result run_program(const std::string &program, const std::vector<std::string> &args,
                       const std::string &scratch, const std::string &stdoutPath = "");
