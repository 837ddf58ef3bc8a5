#pragma once
// The subcommands of quillmarkbox-cli, each taking the arguments after its name.

#include "cli/CliArgs.h"

namespace quill::cli {

int runLoad(CliArgs& args);
int runStats(CliArgs& args);
int runText(CliArgs& args);
int runHtml(CliArgs& args);
int runVerify(CliArgs& args);
int runWeb(CliArgs& args);
int runCrawlers(CliArgs& args);
int runLedger(CliArgs& args);
int runReport(CliArgs& args);

} // namespace quill::cli
