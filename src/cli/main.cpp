// quillmarkbox-cli: the command-line front end over the core.

#include "cli/Commands.h"

#include <cstdio>
#include <map>
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
    };
    if (argc < 2 || !commands.count(argv[1])) {
        std::fputs("usage: quillmarkbox-cli load|stats|text|html|verify|web|crawlers|ledger ...\n", stderr);
        return kExitUsage;
    }
    CliArgs args(std::vector<std::string>(argv + 2, argv + argc));
    return commands.at(argv[1])(args);
}
