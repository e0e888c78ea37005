#include "cli_process.h"

#include <algorithm>
#include <fstream>
#include <iterator>

#ifdef _WIN32
#include <windows.h>
#else
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#endif

namespace {

std::string slurp(const std::string &path) {
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

// The text without the "\r" that Wine puts before every "\n" of console output.
std::string text_of(std::string bytes) {
    bytes.erase(std::remove(bytes.begin(), bytes.end(), '\r'), bytes.end());
    return bytes;
}

#ifdef _WIN32
int run(const std::string &program, const std::vector<std::string> &args,
        const std::string &outPath, const std::string &errPath) {
    SECURITY_ATTRIBUTES inherit{sizeof inherit, nullptr, TRUE};
    auto create = [&](const std::string &path) {
        return CreateFileA(path.c_str(), GENERIC_WRITE, FILE_SHARE_READ, &inherit, CREATE_ALWAYS,
                           FILE_ATTRIBUTE_NORMAL, nullptr);
    };
    STARTUPINFOA si{};
    si.cb = sizeof si;
    si.dwFlags = STARTF_USESTDHANDLES;
    si.hStdInput = GetStdHandle(STD_INPUT_HANDLE);
    si.hStdOutput = create(outPath);
    si.hStdError = create(errPath);
    std::string line = "\"" + program + "\"";
    for (const std::string &a : args) line += " \"" + a + "\""; // no quotes inside our arguments
    PROCESS_INFORMATION pi{};
    DWORD code = DWORD(-1);
    if (CreateProcessA(program.c_str(), &line[0], nullptr, nullptr, TRUE, 0, nullptr, nullptr, &si,
                       &pi)) {
        WaitForSingleObject(pi.hProcess, INFINITE);
        GetExitCodeProcess(pi.hProcess, &code);
        CloseHandle(pi.hThread);
        CloseHandle(pi.hProcess);
    }
    CloseHandle(si.hStdOutput);
    CloseHandle(si.hStdError);
    return int(code);
}
#else
int run(const std::string &program, const std::vector<std::string> &args,
        const std::string &outPath, const std::string &errPath) {
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    posix_spawn_file_actions_addopen(&actions, 2, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC,
                                     0644);
    std::vector<char *> argv{const_cast<char *>(program.c_str())};
    for (const std::string &a : args) argv.push_back(const_cast<char *>(a.c_str()));
    argv.push_back(nullptr);
    pid_t pid;
    int status = -1;
    if (posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ) == 0)
        waitpid(pid, &status, 0);
    posix_spawn_file_actions_destroy(&actions);
    return status == -1 ? -1 : WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}
#endif

} // namespace

run_result run_program(const std::string &program, const std::vector<std::string> &args,
                       const std::string &scratch, const std::string &stdoutPath) {
    const std::string outPath = stdoutPath.empty() ? scratch + "/stdout.txt" : stdoutPath,
                      errPath = scratch + "/stderr.txt";
    const int status = run(program, args, outPath, errPath);
    const std::string bytes = stdoutPath.empty() ? slurp(outPath) : "";
    return {status, text_of(bytes), text_of(slurp(errPath)), bytes};
}
