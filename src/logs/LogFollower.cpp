#include "logs/LogFollower.h"

#include "logs/LogAnalysis.h"
#include "platform/CodePage.h"
#include "platform/FileSystem.h"

#include <chrono>

namespace quill {
namespace {

using Clock = std::chrono::steady_clock;

int msUntil(Clock::time_point when)
{
    const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(when - Clock::now()).count();
    return static_cast<int>(std::max<long long>(left, 0));
}

} // namespace

std::string followReloadedText(FollowEnd end)
{
    switch (end) {
    case FollowEnd::CutShort:
        return gbk("日志文件被截短，已重新加载");
    case FollowEnd::Replaced:
        return gbk("日志文件已被替换，已重新加载");
    default:
        return gbk("日志文件被改写，已重新加载");
    }
}

std::string followSwitchedText() { return gbk("已切换到新的日志文件 "); }

std::string followEndedText(FollowEnd end, const Status& read)
{
    switch (end) {
    case FollowEnd::None:
        return {};
    case FollowEnd::CutShort:
        return gbk("日志文件被截短，跟踪停止");
    case FollowEnd::Rewritten:
        return gbk("日志文件被改写，跟踪停止");
    case FollowEnd::Replaced:
        return gbk("日志文件已被替换，跟踪停止");
    case FollowEnd::Gone:
        return gbk("日志文件已被移走，跟踪停止");
    case FollowEnd::Failed:
        break;
    }
    return read.message();
}

LogFollower::LogFollower(FollowStart start, UiDispatcher& ui, Handlers handlers, Options options) : m_worker(&ui)
{
    Result<std::unique_ptr<LogWatch>> watch = LogWatch::watchFile(start.path, options.watch);
    if (watch.ok())
        m_watch = std::move(watch.value());
    // The folder as it is now, so that what comes after the start is told.
    std::vector<std::string> names = listLogFiles(folderOfPath(start.path));
    m_worker.start([this, start = std::move(start), handlers = std::move(handlers), options, names = std::move(names)](
                       const std::atomic<bool>& stop, const Worker::Post& post) mutable {
        run(std::move(start), std::move(names), handlers, options, stop, post);
    });
}

LogFollower::~LogFollower()
{
    m_stopping = true;
    if (m_watch)
        m_watch->wake();
    m_worker.stop();
}

void LogFollower::run(FollowStart start, std::vector<std::string> names, const Handlers& handlers,
                      const Options& options, const std::atomic<bool>& stop, const Worker::Post& post)
{
    const std::string folder = folderOfPath(start.path);
    const std::uint64_t startOffset = start.end.offset;
    FollowedLog log(std::move(start), options.limits);
    if (!m_watch) { // the file went before it could be watched
        post([handlers] { handlers.ended(FollowEnd::Gone, {}); });
        return;
    }
    LogWatch& watch = *m_watch;
    FollowBatch pending;
    std::uint64_t postedOffset = startOffset;
    Clock::time_point nextPost = Clock::now();
    const auto gap = std::chrono::milliseconds(options.batchGapMs);

    // The batch goes once the last was taken; taking it wakes the worker for the next.
    auto send = [&] {
        ++*m_inFlight;
        post([handlers, inFlight = m_inFlight, &watch, batch = std::move(pending)]() mutable {
            handlers.batch(std::move(batch));
            --*inFlight;
            watch.wake();
        });
        pending = FollowBatch{};
        postedOffset = log.offset();
        nextPost = Clock::now() + gap;
    };

    while (!stop && !m_stopping) {
        const FollowStep step = log.step(pending, options.stepBytes);
        const bool waiting = log.offset() != postedOffset;
        if (step.end != FollowEnd::None) {
            if (waiting)
                send();
            post([handlers, end = step.end, read = step.read] { handlers.ended(end, read); });
            return;
        }
        int timeoutMs = -1;
        if (waiting && *m_inFlight == 0 && Clock::now() >= nextPost)
            send();
        else if (waiting && *m_inFlight == 0)
            timeoutMs = msUntil(nextPost);
        if (step.more && timeoutMs != 0)
            timeoutMs = 0;
        const LogWatch::Wake wake = watch.wait(timeoutMs);
        if (wake.folder && !stop && !m_stopping) {
            std::vector<std::string> now = listLogFiles(folder);
            if (now != names) {
                names = now;
                post([handlers, now = std::move(now)]() mutable { handlers.listed(std::move(now)); });
            }
        }
    }
}

} // namespace quill
