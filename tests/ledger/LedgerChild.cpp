// A process the ledger tests start and end on purpose: it adds logs to a ledger and is killed at
// a step of the write, runs out of file space, or adds as an unprivileged user.
//
//   ledger_test_child kill-at begun|facts|record LEDGER LOG...
//   ledger_test_child file-limit BYTES LEDGER LOG...
//   ledger_test_child unprivileged LEDGER LOG...
//
// Prints "ok" or the add's failure on stdout; exits 0 or 1.

#include "ledger/LedgerAdd.h"

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <sys/resource.h>
#include <unistd.h>
#include <vector>

using namespace quill;

int main(int argc, char** argv)
{
    if (argc < 4)
        return 2;
    const std::string mode = argv[1];
    int next = 2;
    AddOptions options;
    if (mode == "kill-at") {
        const std::string stage = argv[next++];
        const WriteStage at = stage == "begun" ? WriteStage::Begun
                              : stage == "facts" ? WriteStage::FactsWritten
                                                 : WriteStage::RecordWritten;
        options.writeStage = [at](WriteStage reached) {
            if (reached == at)
                std::raise(SIGKILL);
        };
    } else if (mode == "file-limit") {
        std::signal(SIGXFSZ, SIG_IGN); // a write past the limit fails instead of ending the process
        const rlim_t bytes = std::strtoull(argv[next++], nullptr, 10);
        const rlimit limit{bytes, bytes};
        setrlimit(RLIMIT_FSIZE, &limit);
    } else if (mode == "unprivileged") {
        if (geteuid() == 0 && (setgid(65534) != 0 || setuid(65534) != 0))
            return 2;
    } else {
        return 2;
    }
    const std::string ledgerPath = argv[next++];
    const std::vector<std::string> logs(argv + next, argv + argc);
    Result<std::unique_ptr<Ledger>> ledger = Ledger::open(ledgerPath, LedgerOpenOptions{LedgerAccess::Write, 2000});
    if (!ledger.ok()) {
        std::printf("%s\n", ledger.status().message().c_str());
        return 1;
    }
    // A cache of a few pages spills the transaction into the write-ahead log long before its commit,
    // so a kill finds written but uncommitted pages there.
    if (mode == "kill-at")
        (void)ledger.value()->database().exec("PRAGMA cache_size = 8");
    const std::atomic<bool> stop{false};
    const Status added = addLogs(*ledger.value(), logs, options, stop, {});
    std::printf("%s\n", added.ok() ? "ok" : added.message().c_str());
    return added.ok() ? 0 : 1;
}
