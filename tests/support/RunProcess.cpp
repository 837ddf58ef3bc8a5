#include "support/RunProcess.h"

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

} // namespace quill::test
