// quillmarkbox-cli: the command-line front end over the core.

#include "cli/Commands.h"
#include "platform/VirtualMemory.h"

#include <cstdio>
#include <map>
#include <new>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    using namespace quill::cli;
    const std::map<std::string, int (*)(CliArgs&)> commands = {
        {"load", runLoad},
        {"stats", runStats},
        {"text", runText},
        {"html", runHtml},
        {"verify", runVerify},
        {"web", runWeb},
        {"crawlers", runCrawlers},
        {"ledger", runLedger},
        {"report", runReport},
    };
    if (argc == 2 && std::string(argv[1]) == "--version") {
        std::puts("quillmarkbox-cli " QUILLMARK_VERSION);
        return 0;
    }
    if (argc < 2 || !commands.count(argv[1])) {
        std::fputs("usage: quillmarkbox-cli load|stats|text|html|verify|web|crawlers|ledger|report ...\n"
                   "       quillmarkbox-cli --version\n", stderr);
        return kExitUsage;
    }
    quill::preferLargeHeapPages();
    CliArgs args(std::vector<std::string>(argv + 2, argv + argc));
    try {
        return commands.at(argv[1])(args);
    } catch (const std::bad_alloc&) {
        // Whatever a command holds in memory is bounded; a machine short of memory still gets a word.
        std::fputs("Out of memory\n", stderr);
        return kExitFailure;
    }
}
