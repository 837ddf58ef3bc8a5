#pragma once
// Runs a program to its end with the given standard input, capturing its output and exit code.

#include <string>
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

} // namespace quill::test
