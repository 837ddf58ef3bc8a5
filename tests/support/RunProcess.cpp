#include "support/RunProcess.h"

#include <chrono>
#include <csignal>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

namespace quill::test {

ProcessResult runProcess(const std::vector<std::string>& argv, const std::string& input)
{
    int in[2], out[2], err[2];
    if (pipe(in) != 0 || pipe(out) != 0 || pipe(err) != 0)
        return {};
    const pid_t pid = fork();
    if (pid == 0) {
        dup2(in[0], 0);
        dup2(out[1], 1);
        dup2(err[1], 2);
        for (int fd : {in[0], in[1], out[0], out[1], err[0], err[1]})
            close(fd);
        std::vector<char*> args;
        for (const std::string& arg : argv)
            args.push_back(const_cast<char*>(arg.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    close(in[0]);
    close(out[1]);
    close(err[1]);
    ProcessResult result;
    size_t written = 0;
    if (input.empty())
        close(in[1]);
    bool inputOpen = !input.empty();
    bool outOpen = true, errOpen = true;
    char buffer[65536];
    while (outOpen || errOpen) {
        pollfd fds[3] = {{out[0], POLLIN, 0}, {err[0], POLLIN, 0}, {inputOpen ? in[1] : -1, POLLOUT, 0}};
        poll(fds, 3, -1);
        for (int i = 0; i < 2; ++i) {
            if (!(fds[i].revents & (POLLIN | POLLHUP)))
                continue;
            const ssize_t got = read(fds[i].fd, buffer, sizeof buffer);
            if (got <= 0) {
                (i == 0 ? outOpen : errOpen) = false;
                continue;
            }
            (i == 0 ? result.out : result.err).append(buffer, static_cast<size_t>(got));
        }
        if (inputOpen && (fds[2].revents & (POLLOUT | POLLERR))) {
            const ssize_t put = write(in[1], input.data() + written, input.size() - written);
            written += put > 0 ? static_cast<size_t>(put) : 0;
            if (put < 0 || written == input.size()) {
                close(in[1]);
                inputOpen = false;
            }
        }
    }
    if (inputOpen)
        close(in[1]);
    close(out[0]);
    close(err[0]);
    int status = 0;
    waitpid(pid, &status, 0);
    result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return result;
}

ProcessResult runCli(std::vector<std::string> args, const std::string& input)
{
    args.insert(args.begin(), QUILLMARK_CLI_PATH);
    return runProcess(args, input);
}

pid_t endedProcess()
{
    const pid_t child = fork();
    if (child == 0)
        _exit(0);
    waitpid(child, nullptr, 0);
    return child;
}

RunningProcess::RunningProcess(const std::vector<std::string>& argv)
{
    int out[2], err[2];
    if (pipe(out) != 0 || pipe(err) != 0)
        return;
    m_pid = fork();
    if (m_pid == 0) {
        dup2(out[1], 1);
        dup2(err[1], 2);
        for (int fd : {out[0], out[1], err[0], err[1]})
            close(fd);
        std::vector<char*> args;
        for (const std::string& arg : argv)
            args.push_back(const_cast<char*>(arg.c_str()));
        args.push_back(nullptr);
        execv(args[0], args.data());
        _exit(127);
    }
    close(out[1]);
    close(err[1]);
    m_out = out[0];
    m_err = err[0];
    m_reader = std::thread([this] {
        bool outOpen = true, errOpen = true;
        char buffer[65536];
        while (outOpen || errOpen) {
            pollfd fds[2] = {{outOpen ? m_out : -1, POLLIN, 0}, {errOpen ? m_err : -1, POLLIN, 0}};
            poll(fds, 2, -1);
            for (int i = 0; i < 2; ++i) {
                if (!(fds[i].revents & (POLLIN | POLLHUP)))
                    continue;
                const ssize_t got = read(fds[i].fd, buffer, sizeof buffer);
                if (got <= 0) {
                    (i == 0 ? outOpen : errOpen) = false;
                    continue;
                }
                std::lock_guard lock(m_mutex);
                (i == 0 ? m_result.out : m_result.err).append(buffer, static_cast<size_t>(got));
            }
        }
    });
}

RunningProcess::~RunningProcess()
{
    if (m_pid > 0)
        finish(0);
}

std::string RunningProcess::out() const
{
    std::lock_guard lock(m_mutex);
    return m_result.out;
}

void RunningProcess::signal(int number) const
{
    if (m_pid > 0)
        kill(m_pid, number);
}

ProcessResult RunningProcess::finish(int limitMs)
{
    if (m_pid <= 0)
        return m_result;
    int status = 0;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(limitMs);
    while (waitpid(m_pid, &status, WNOHANG) == 0) {
        if (std::chrono::steady_clock::now() >= deadline) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, &status, 0);
            break;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    m_pid = -1;
    m_reader.join();
    close(m_out);
    close(m_err);
    m_result.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return m_result;
}

} // namespace quill::test
