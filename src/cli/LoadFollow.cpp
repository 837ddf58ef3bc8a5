#include "cli/LoadFollow.h"

#include "cli/CliOutput.h"
#include "logs/LogFollower.h"
#include "logs/RowTexts.h"
#include "logsource/LogSource.h"
#include "logsource/LogWatch.h"

#include <csignal>
#include <cstdio>

namespace quill::cli {
namespace {

// Read per step at most, so a long backlog is printed as it is read.
constexpr size_t kStepBytes = size_t(16) << 20;

volatile std::sig_atomic_t g_stopped = 0;
LogWatch* g_watch = nullptr;

// Ends the wait for the file; writing to the watch's eventfd is safe in a signal handler.
void onStopSignal(int)
{
    g_stopped = 1;
    if (g_watch)
        g_watch->wake();
}

class StopSignals {
public:
    explicit StopSignals(LogWatch& watch)
    {
        g_watch = &watch;
        struct sigaction action {};
        action.sa_handler = onStopSignal;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &m_int);
        sigaction(SIGTERM, &action, &m_term);
    }
    ~StopSignals()
    {
        sigaction(SIGINT, &m_int, nullptr);
        sigaction(SIGTERM, &m_term, nullptr);
        g_watch = nullptr;
    }
    StopSignals(const StopSignals&) = delete;
    StopSignals& operator=(const StopSignals&) = delete;

private:
    struct sigaction m_int {};
    struct sigaction m_term {};
};

} // namespace

int followLoad(const CliArgs& args, LogAnalysis& analysis, std::uint64_t loadMs,
               const std::function<Status(size_t firstRow)>& printFrom)
{
    auto summary = [&] {
        const std::string line = printableField(summaryLine(loadMs, analysis.store().count()), args.raw());
        std::fprintf(stderr, "%s\n", line.c_str());
    };
    std::optional<FollowStart> start = analysis.followStart();
    if (!start) {
        summary();
        return failure(args, "Only a plain file can be followed, not a pipe, an archive or a log ended by its end mark");
    }
    Result<std::unique_ptr<LogWatch>> watch = LogWatch::watchFile(start->path);
    if (!watch.ok()) {
        // Rotated away between the load and the watch: it ends following as it would have later.
        const std::optional<FileIdentity> named = fileIdentityAt(start->path);
        if (!named || !(*named == start->end.file)) {
            summary();
            (void)failure(args, followEndedText(named ? FollowEnd::Replaced : FollowEnd::Gone, {}));
            return kExitOk;
        }
        return failure(args, watch.status().message());
    }
    StopSignals signals(*watch.value());
    FollowedLog log(std::move(*start));
    while (!g_stopped) {
        FollowBatch batch;
        const FollowStep step = log.step(batch, kStepBytes);
        if (step.end == FollowEnd::None) {
            const size_t firstRow = analysis.store().count();
            Result<LogAnalysis::AppendedRows> added = analysis.appendFollowed(std::move(batch));
            if (!added.ok())
                return failure(args, added.status().message());
            if (Status printed = printFrom(firstRow); !printed.ok())
                return failure(args, printed.message());
        } else {
            summary();
            const int code = failure(args, followEndedText(step.end, step.read));
            // Renamed, removed or replaced: the file was rotated away, which ends following.
            return step.end == FollowEnd::Gone || step.end == FollowEnd::Replaced ? kExitOk : code;
        }
        if (!step.more)
            watch.value()->wait(-1);
    }
    summary();
    return kExitOk;
}

} // namespace quill::cli
