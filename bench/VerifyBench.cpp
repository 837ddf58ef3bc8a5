// The crawler check against a loopback DNS server: `quillmarkbox-cli load --verify` over a log of
// 10,000 crawler visits from distinct addresses, first with an empty verdict cache, then served
// from the cache file, beside the plain load of the same log in the same run.
//   build/verify_bench [ADDRESSES]

#include "support/DnsTestServer.h"
#include "support/TempFolder.h"

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <vector>

extern char** environ;

namespace {

struct ProcessFigures {
    double seconds = 0;
    long peakKb = 0;
    int exitCode = -1;
};

// Runs the command line with its output thrown away; wall time and peak resident memory.
ProcessFigures runCli(const std::vector<std::string>& arguments)
{
    std::vector<char*> argv;
    std::string cli = QUILLMARK_CLI_PATH;
    argv.push_back(cli.data());
    std::vector<std::string> copies = arguments;
    for (std::string& argument : copies)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    const auto start = std::chrono::steady_clock::now();
    pid_t pid = 0;
    ProcessFigures figures;
    if (posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), environ) != 0)
        return figures;
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    figures.seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    figures.peakKb = usage.ru_maxrss;
    figures.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    posix_spawn_file_actions_destroy(&actions);
    return figures;
}

} // namespace

int main(int argc, char** argv)
{
    const int count = argc > 1 ? std::atoi(argv[1]) : 10000;
    quill::test::DnsTestServer dns;
    quill::test::TempFolder folder;
    std::string log = "#Software: Microsoft Internet Information Services 6.0\r\n"
                      "#Fields: date time s-sitename s-ip cs-method cs-uri-stem cs-uri-query s-port cs-username "
                      "c-ip cs(User-Agent) sc-status sc-substatus sc-win32-status sc-bytes cs-bytes time-taken "
                      "cs(Referer)\r\n";
    for (int i = 0; i < count; ++i) {
        const std::string ip = "10." + std::to_string(i / 65536 % 256) + "." + std::to_string(i / 256 % 256) + "." +
                               std::to_string(i % 256);
        const std::string host = "baiduspider-" + std::to_string(i) + ".crawl.baidu.com";
        dns.addPtr(ip, {host});
        dns.addAddresses(host, {i % 10 == 0 ? "192.0.2.1" : ip}); // every tenth an impostor
        log += "2026-12-01 00:00:01 W3SVC1 192.168.1.10 GET /a.htm - 80 - " + ip +
               " Mozilla/5.0+(compatible;+Baiduspider/2.0) 200 0 0 100 50 15 -\r\n";
    }
    const std::string logPath = folder.write("ex261201.log", log);
    const std::string cache = folder.file("cache.txt");
    setenv("QUILLMARK_DNS_SERVER", dns.address().c_str(), 1);

    const ProcessFigures plain = runCli({"load", logPath});
    const ProcessFigures first = runCli({"load", "--verify", "--cache", cache, logPath});
    const size_t asked = dns.queriesReceived();
    const ProcessFigures cached = runCli({"load", "--verify", "--cache", cache, logPath});
    const size_t askedAgain = dns.queriesReceived() - asked;
    if (plain.exitCode || first.exitCode || cached.exitCode) {
        std::fprintf(stderr, "verify_bench: a run failed\n");
        return 1;
    }
    const double checking = first.seconds - plain.seconds;
    std::printf("| run | wall (s) | peak memory (MB) | DNS queries | queries/s of the check |\n");
    std::printf("|---|---|---|---|---|\n");
    std::printf("| load, no check (baseline) | %.3f | %.1f | 0 | |\n", plain.seconds, plain.peakKb / 1024.0);
    std::printf("| load --verify, empty cache | %.3f | %.1f | %zu | %.0f |\n", first.seconds, first.peakKb / 1024.0,
                asked, checking > 0 ? asked / checking : 0.0);
    std::printf("| load --verify, from the cache file | %.3f | %.1f | %zu | |\n", cached.seconds,
                cached.peakKb / 1024.0, askedAgain);
    std::printf("\n%d distinct addresses; cached run / first run: %.3f; cached run / plain load: %.2f\n", count,
                cached.seconds / first.seconds, cached.seconds / plain.seconds);

    // A server that answers the first query and then drops every other, with the real time-outs
    // (3 s, one retry): the run gives the server up instead of waiting 6 s per 64 addresses.
    constexpr int kDropCount = 100000;
    quill::test::DnsTestServer dropping;
    dropping.dropAfterReplies(1);
    std::string dropLog = log.substr(0, log.find("\r\n20") + 2);
    for (int i = 0; i < kDropCount; ++i)
        dropLog += "2026-12-01 00:00:01 W3SVC1 192.168.1.10 GET /a.htm - 80 - 10." + std::to_string(i / 65536 % 256) +
                   "." + std::to_string(i / 256 % 256) + "." + std::to_string(i % 256) +
                   " Mozilla/5.0+(compatible;+Baiduspider/2.0) 200 0 0 100 50 15 -\r\n";
    const std::string dropLogPath = folder.write("ex261202.log", dropLog);
    setenv("QUILLMARK_DNS_SERVER", dropping.address().c_str(), 1);
    const ProcessFigures plainDrop = runCli({"load", dropLogPath});
    const ProcessFigures dropped = runCli({"load", "--verify", "--cache", folder.file("drop.txt"), dropLogPath});
    if (plainDrop.exitCode || dropped.exitCode) {
        std::fprintf(stderr, "verify_bench: a run against the dropping server failed\n");
        return 1;
    }
    std::printf("\n| %d addresses, server answers once then drops | wall (s) | DNS queries |\n", kDropCount);
    std::printf("|---|---|---|\n");
    std::printf("| load, no check (baseline) | %.3f | 0 |\n", plainDrop.seconds);
    std::printf("| load --verify | %.3f | %zu |\n", dropped.seconds, dropping.queriesReceived());
    return 0;
}
