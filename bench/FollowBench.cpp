// Following today's log, offscreen: how long a line takes from its write to its row in the sorted
// list at two writing rates, and the CPU time a quiet followed file costs, each beside `tail -f`
// on the same file in the same run.
//   follow_bench [WRITE_SECONDS=5] [QUIET_SECONDS=60]

#include "gui/LogPage.h"
#include "gui/LogRecordModel.h"
#include "logs/LogFollower.h"
#include "logs/RowTexts.h"
#include "platform/QueueDispatcher.h"

#include <QApplication>
#include <QCheckBox>
#include <QEventLoop>
#include <QHeaderView>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <algorithm>
#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <sys/resource.h>
#include <sys/wait.h>
#include <thread>
#include <unistd.h>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

constexpr const char* kHeader =
    "#Software: Microsoft Internet Information Services 7.5\r\n"
    "#Fields: date time s-ip cs-method cs-uri-stem cs-uri-query s-port cs-username c-ip cs(User-Agent) "
    "sc-status sc-substatus sc-win32-status time-taken\r\n";

// Line i: its number in the stem, a time taken that spreads it over the sorted list.
std::string line(int i)
{
    return "2026-12-08 10:00:00 10.0.0.1 GET /n" + std::to_string(i) + ".htm - 80 - 1.2.3.4 Baiduspider 200 0 0 " +
           std::to_string(i * 7919 % 1000) + "\r\n";
}

int numberInStem(std::string_view text)
{
    const size_t at = text.find("/n");
    return at == std::string_view::npos ? -1 : std::atoi(std::string(text.substr(at + 2, 12)).c_str());
}

double percentile(std::vector<double> values, double share)
{
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    return values[std::min(values.size() - 1, static_cast<size_t>(share * static_cast<double>(values.size())))];
}

double cpuMs(const rusage& usage)
{
    return (usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) * 1e3 + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e3;
}

double selfCpuMs()
{
    rusage usage {};
    getrusage(RUSAGE_SELF, &usage);
    return cpuMs(usage);
}

// `tail -f -n0 PATH` with its output on a pipe; lines read by a thread, each stamped on arrival.
class Tail {
public:
    explicit Tail(const std::string& path, std::vector<Clock::time_point>* arrivals)
    {
        int out[2];
        if (pipe(out) != 0)
            std::abort();
        m_pid = fork();
        if (m_pid == 0) {
            dup2(out[1], 1);
            close(out[0]);
            close(out[1]);
            execlp("tail", "tail", "-f", "-n0", path.c_str(), static_cast<char*>(nullptr));
            _exit(127);
        }
        close(out[1]);
        m_reader = std::thread([fd = out[0], arrivals] {
            std::string pending;
            char buffer[1 << 16];
            ssize_t got;
            while ((got = read(fd, buffer, sizeof buffer)) > 0) {
                const Clock::time_point now = Clock::now();
                pending.append(buffer, static_cast<size_t>(got));
                size_t end;
                while ((end = pending.find('\n')) != std::string::npos) {
                    const int i = numberInStem(std::string_view(pending).substr(0, end));
                    if (arrivals && i >= 0 && static_cast<size_t>(i) < arrivals->size())
                        (*arrivals)[static_cast<size_t>(i)] = now;
                    pending.erase(0, end + 1);
                }
            }
            close(fd);
        });
    }
    // Ends it; its CPU time in milliseconds.
    double stop()
    {
        kill(m_pid, SIGTERM);
        int status = 0;
        rusage usage {};
        wait4(m_pid, &status, 0, &usage);
        m_reader.join();
        return cpuMs(usage);
    }

private:
    pid_t m_pid = -1;
    std::thread m_reader;
};

struct Latencies {
    double medianMs = 0, p99Ms = 0, tailMedianMs = 0, tailP99Ms = 0;
    size_t rows = 0;
};

// Writes `rate` lines a second for `seconds` into a log the page follows, sorted by time taken.
Latencies measureLatency(const std::string& folder, int rate, int seconds)
{
    const std::string path = folder + "/u_ex261208.log";
    constexpr int kLoaded = 10000;
    {
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << kHeader;
        for (int i = 0; i < kLoaded; ++i)
            out << line(i);
    }
    const int total = kLoaded + rate * seconds;
    std::vector<Clock::time_point> written(static_cast<size_t>(total)), shown(static_cast<size_t>(total)),
        tailed(static_cast<size_t>(total));

    quill::LogAnalysis analysis;
    quill::LogPage page(analysis, {});
    page.resize(1200, 700);
    page.show();
    page.setLogFolder(QString::fromStdString(folder));
    page.listLogFiles(true);
    page.setFollowing(true);
    page.reload();
    emit page.findChild<QTableView*>(QStringLiteral("lv2"))->horizontalHeader()->sectionClicked(15); // sorted by time taken
    QObject::connect(page.model(), &QAbstractItemModel::rowsInserted, [&](const QModelIndex&, int first, int last) {
        const Clock::time_point now = Clock::now();
        const quill::RecordStore& store = analysis.store();
        // Followed rows are the store's last records, whatever rows they took.
        for (std::uint32_t r = store.count() - static_cast<std::uint32_t>(last - first + 1); r < store.count(); ++r) {
            const int i = numberInStem(store.record(r).line());
            if (i >= 0 && i < total)
                shown[static_cast<size_t>(i)] = now;
        }
    });
    Tail tail(path, &tailed);
    QTest::qWait(500); // tail has opened the file

    std::atomic<bool> done = false;
    std::thread writer([&] {
        std::ofstream out(path, std::ios::binary | std::ios::app);
        const int perTick = std::max(1, rate / 1000);
        auto next = Clock::now();
        for (int i = kLoaded; i < total; i += perTick) {
            std::string bytes;
            const int end = std::min(total, i + perTick);
            for (int j = i; j < end; ++j)
                bytes += line(j);
            const Clock::time_point now = Clock::now();
            for (int j = i; j < end; ++j)
                written[static_cast<size_t>(j)] = now;
            out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
            out.flush();
            next += std::chrono::microseconds(1000);
            std::this_thread::sleep_until(next);
        }
        done = true;
    });
    while (!done || analysis.store().count() < static_cast<std::uint32_t>(total))
        QTest::qWait(5);
    writer.join();
    QTest::qWait(500); // tail's last lines
    tail.stop();

    Latencies result;
    std::vector<double> ours, theirs;
    for (int i = kLoaded; i < total; ++i) {
        const auto at = static_cast<size_t>(i);
        ours.push_back(std::chrono::duration<double, std::milli>(shown[at] - written[at]).count());
        if (tailed[at] != Clock::time_point{})
            theirs.push_back(std::chrono::duration<double, std::milli>(tailed[at] - written[at]).count());
    }
    result.rows = ours.size();
    result.medianMs = percentile(ours, 0.5);
    result.p99Ms = percentile(ours, 0.99);
    result.tailMedianMs = percentile(theirs, 0.5);
    result.tailP99Ms = percentile(theirs, 0.99);
    return result;
}

// CPU time of the page with a file nobody writes to loaded (followed or not), and of tail -f on
// it meanwhile.
std::pair<double, double> measureQuietPage(const std::string& folder, int seconds, bool follow)
{
    const std::string path = folder + "/u_ex261209.log";
    std::ofstream(path, std::ios::binary | std::ios::trunc) << kHeader << line(0);
    quill::LogAnalysis analysis;
    quill::LogPage page(analysis, {});
    page.show();
    page.setLogFolder(QString::fromStdString(folder));
    page.listLogFiles(true);
    page.setFollowing(follow);
    page.reload();
    QTest::qWait(200);
    Tail tail(path, nullptr);
    const double before = selfCpuMs();
    QEventLoop idle; // sleeps until its timer, where QTest::qWait would look every 10 ms
    QTimer::singleShot(seconds * 1000, &idle, &QEventLoop::quit);
    idle.exec();
    const double ours = selfCpuMs() - before;
    return {ours, tail.stop()};
}

// CPU time of following alone, told of changes by the system or looking once a second (as on a
// network file system).
double measureQuietFollower(const std::string& folder, int seconds, bool poll)
{
    const std::string path = folder + "/u_ex261210.log";
    std::ofstream(path, std::ios::binary | std::ios::trunc) << kHeader << line(0);
    quill::LogAnalysis analysis;
    analysis.load(path, {}, true);
    quill::QueueDispatcher ui;
    quill::LogFollower::Options options;
    options.watch.poll = poll;
    quill::LogFollower follower(*analysis.followStart(), ui, {[](quill::FollowBatch) {}, [](std::vector<std::string>) {},
                                                           [](quill::FollowEnd, const quill::Status&) {}},
                                options);
    const double before = selfCpuMs();
    std::this_thread::sleep_for(std::chrono::seconds(seconds));
    return selfCpuMs() - before;
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int writeSeconds = argc > 1 ? std::atoi(argv[1]) : 5;
    const int quietSeconds = argc > 2 ? std::atoi(argv[2]) : 60;
    const std::string folder = std::filesystem::temp_directory_path() / ("follow_bench_" + std::to_string(getpid()));
    std::filesystem::create_directories(folder);

    std::printf("| rate (lines/s) | rows | write to row: median / p99 (ms) | tail -f: median / p99 (ms) | ratio median / p99 |\n");
    std::printf("|---|---|---|---|---|\n");
    for (int rate : {1000, 50000}) {
        const Latencies l = measureLatency(folder, rate, writeSeconds);
        std::printf("| %d | %zu | %.2f / %.2f | %.2f / %.2f | %.2f / %.2f |\n", rate, l.rows, l.medianMs, l.p99Ms,
                    l.tailMedianMs, l.tailP99Ms, l.medianMs / l.tailMedianMs, l.p99Ms / l.tailP99Ms);
        std::fflush(stdout);
    }
    const auto [idle, idleTail] = measureQuietPage(folder, quietSeconds, false);
    const auto [following, tail] = measureQuietPage(folder, quietSeconds, true);
    const double told = measureQuietFollower(folder, quietSeconds, false);
    const double polling = measureQuietFollower(folder, quietSeconds, true);
    std::printf("\nCPU time while the file is quiet for %d s: the window following it %.1f ms, the window with the "
                "same file loaded and not followed %.1f ms (tail -f meanwhile %.1f and %.1f ms); following alone, told "
                "by inotify %.1f ms, looking once a second %.1f ms.\n",
                quietSeconds, following, idle, tail, idleTail, told, polling);
    std::filesystem::remove_all(folder);
    return 0;
}
