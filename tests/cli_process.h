// Runs the zevart program as a user would: arguments in, exit status and the
// text of both output streams back.
#pragma once

#include <string>
#include <vector>

struct run_result {
    int status = -1;
    std::string out, err;
};

// Runs `program` with `args`; the streams are caught in files under `scratch`.
run_result run_program(const std::string &program, const std::vector<std::string> &args,
                       const std::string &scratch);
