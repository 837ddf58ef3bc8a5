#pragma once
// Runs a program to its end with the given standard input, capturing its output and exit code.

#include <mutex>
#include <string>
#include <sys/types.h>
#include <thread>
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

// A program running beside the test, its output gathered as it comes.
class RunningProcess {
public:
    explicit RunningProcess(const std::vector<std::string>& argv);
    // Kills the program if it still runs.
    ~RunningProcess();
    RunningProcess(const RunningProcess&) = delete;
    RunningProcess& operator=(const RunningProcess&) = delete;

    // What it has written to standard output so far.
    std::string out() const;
    void signal(int number) const;
    // Waits for its end (SIGKILL after `limitMs`) and returns all it wrote and its exit code.
    ProcessResult finish(int limitMs = 30000);

private:
    pid_t m_pid = -1;
    int m_out = -1;
    int m_err = -1;
    mutable std::mutex m_mutex;
    ProcessResult m_result;
    std::thread m_reader;
};

} // namespace quill::test
