// The cost of the crawler operators' published address lists, on the 1 GiB benchmark log: the
// load, the load with the crawler check's collection and verdicts (no DNS reachable, so only the
// lists and the collection cost anything), the same with several thousand prefixes in 18 lists,
// and the load with every record's client address, crawler or not, matched against all lists (the
// matching also timed alone). Rounds interleaved; medians.
//   build/lists_bench bench/data/iis7_1073741824.log [ROUNDS]

#include "crawlers/CrawlerRegistry.h"
#include "logs/FieldMap.h"
#include "logs/LogAnalysis.h"
#include "logs/LogTokens.h"
#include "verify/CrawlerVerifier.h"
#include "verify/LogVerification.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <functional>
#include <random>
#include <string>
#include <thread>
#include <vector>

using namespace quill;

namespace {

using Clock = std::chrono::steady_clock;

// 18 lists of about 250 prefixes each: IPv4 /20-/28 over the log's address space, and some IPv6.
std::shared_ptr<const AddressLists> generatedLists(size_t& prefixCount)
{
    std::mt19937 random(2026);
    std::vector<AddressList> lists;
    prefixCount = 0;
    for (size_t index = 0; index < publishedLists().size(); ++index) {
        AddressList list{static_cast<int>(index), 0, 0, {}};
        const auto now = secondsNow();
        list.date = list.obtainedAt = now;
        for (int i = 0; i < 250; ++i) {
            char text[64];
            if (i % 5 == 4)
                std::snprintf(text, sizeof text, "2001:db8:%x:%x::/%u", unsigned(random() % 65536),
                              unsigned(random() % 65536), 48 + unsigned(random() % 17));
            else
                std::snprintf(text, sizeof text, "%u.%u.%u.0/%u", 58 + unsigned(random() % 160),
                              unsigned(random() % 256), unsigned(random() % 256), 20 + unsigned(random() % 9));
            list.prefixes.push_back(*parseAddressPrefix(text));
        }
        prefixCount += list.prefixes.size();
        lists.push_back(std::move(list));
    }
    return std::make_shared<const AddressLists>(std::move(lists));
}

double seconds(Clock::time_point start) { return std::chrono::duration<double>(Clock::now() - start).count(); }

// The CPU time of all the process's threads: on a shared machine the wall time also holds the
// other programs' turns.
double cpuSeconds()
{
    timespec now{};
    clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) / 1e9;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

struct Check {
    size_t requests = 0;
    size_t verified = 0;
};

// The collection and verdicts the window runs after a load with "验证蜘蛛" on.
Check checkCrawlers(const RecordStore& store, std::shared_ptr<const AddressLists> lists)
{
    const StoreRequests requests = storeRequests(store);
    VerifierOptions options;
    options.dns.server = "127.0.0.1:9"; // nothing answers: the first checks time out, the rest are 未知
    options.dns.timeoutMs = 20;
    options.lists = std::move(lists);
    VerdictCache cache;
    const std::atomic<bool> stop{false};
    const VerificationRun run = verifyCrawlers(requests.requests, options, cache, stop);
    Check check{requests.requests.size(), 0};
    for (const VerificationResult& result : run.results)
        check.verified += result.verdict == Verdict::Verified;
    return check;
}

// Every record's client address against all lists, on both cores.
size_t matchEveryAddress(const RecordStore& store, const AddressLists& lists)
{
    const auto records = store.records();
    std::atomic<size_t> held{0};
    auto part = [&](size_t begin, size_t end) {
        size_t found = 0;
        for (size_t r = begin; r < end; ++r) {
            const LogRecord& record = records[r];
            const auto address = parseIpAddress(tokenAt(record.line(), store.mapOf(record)[kColClientIp]));
            found += address && lists.listsHolding(*address) != 0;
        }
        held += found;
    };
    std::thread second(part, records.size() / 2, records.size());
    part(0, records.size() / 2);
    second.join();
    return held;
}

} // namespace

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: lists_bench LOG [ROUNDS]\n");
        return 2;
    }
    const std::string path = argv[1];
    const int rounds = argc > 2 ? std::atoi(argv[2]) : 3;
    size_t prefixes = 0;
    const auto lists = generatedLists(prefixes);
    const auto noLists = std::make_shared<const AddressLists>();

    std::vector<double> load, checked, checkedWithLists, everyAddress, matchingAlone, loadCpu, checkCpu, matchingCpu;
    size_t records = 0, requests = 0, verified = 0, held = 0;
    // A load into a fresh analysis followed by `after`, timed whole; each analysis is gone before
    // the next load.
    auto timed = [&](std::vector<double>& times, const std::function<void(const RecordStore&)>& after) {
        LogAnalysis analysis;
        const auto start = Clock::now();
        analysis.load(path, FilterSnapshot{});
        after(analysis.store());
        times.push_back(seconds(start));
    };
    for (int round = 0; round < rounds; ++round) {
        const double cpuBefore = cpuSeconds();
        timed(load, [&](const RecordStore& store) {
            records = store.count();
            loadCpu.push_back(cpuSeconds() - cpuBefore);
        });
        timed(checked, [&](const RecordStore& store) { requests = checkCrawlers(store, noLists).requests; });
        const double cpuBeforeCheck = cpuSeconds();
        timed(checkedWithLists, [&](const RecordStore& store) {
            verified = checkCrawlers(store, lists).verified;
            checkCpu.push_back(cpuSeconds() - cpuBeforeCheck);
        });
        timed(everyAddress, [&](const RecordStore& store) {
            const auto start = Clock::now();
            const double cpuStart = cpuSeconds();
            held = matchEveryAddress(store, *lists);
            matchingCpu.push_back(cpuSeconds() - cpuStart);
            matchingAlone.push_back(seconds(start));
        });
    }
    const double a = median(load), b = median(checked), c = median(checkedWithLists), d = median(everyAddress);
    const double m = median(matchingAlone);
    std::printf("records %zu, crawler requests %zu, prefixes %zu in %zu lists, %zu verified by a list, "
                "%zu records in a list\n",
                records, requests, prefixes, publishedLists().size(), verified, held);
    std::printf("| measure | seconds (median of %d) | ratio |\n|---|---|---|\n", rounds);
    std::printf("| load, default filters | %.3f | 1.00 |\n", a);
    std::printf("| load and crawler check, no lists | %.3f | %.2f of the load |\n", b, b / a);
    std::printf("| load and crawler check, with the lists | %.3f | %.3f of the check without lists |\n", c, c / b);
    std::printf("| load and every address matched against all lists | %.3f | %.3f of the load |\n", d, d / a);
    std::printf("| the matching of every address alone | %.3f | %.3f of the load, %.3f of the load and check |\n", m,
                m / a, m / c);
    const double mc = median(matchingCpu);
    std::printf("\nCPU seconds (all threads, medians): load %.3f, load and check with the lists %.3f, matching every "
                "address %.3f (%.3f of the load, %.3f of the load and check)\n",
                median(loadCpu), median(checkCpu), mc, mc / median(loadCpu), mc / median(checkCpu));
    return 0;
}
