#pragma once
// Runs a program to its end with the given standard input, capturing its output and exit code.

#include <string>
#include <sys/types.h>
#include <vector>

namespace quill::test {

struct ProcessResult {
    int exitCode = -1;
    std::string out;
    std::string err;
};

ProcessResult runProcess(const std::vector<std::string>& argv, const std::string& input = "");

// quillmarkbox-cli with `args`, as runProcess runs it.
ProcessResult runCli(std::vector<std::string> args, const std::string& input = "");

// The id of a process that has ended and been reaped.
pid_t endedProcess();

} // namespace quill::test
