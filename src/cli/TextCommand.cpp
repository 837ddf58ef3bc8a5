// quillmarkbox-cli text: the text tools over standard input.

#include "cli/CliOutput.h"
#include "cli/Commands.h"
#include "platform/CodePage.h"
#include "platform/FileSystem.h"
#include "text/DecodeActions.h"
#include "text/UrlCoding.h"
#include "text/HtmlText.h"

#include <cerrno>
#include <cstdio>
#include <functional>
#include <map>

namespace quill::cli {
namespace {

constexpr std::string_view kUsage =
    "quillmarkbox-cli text urldecode|utf8-to-gb|urlencode|html-to-text|split-phrases|phrases [--raw]\n"
    "       quillmarkbox-cli text between START END [--raw]";

using Tool = std::function<Result<std::string>(std::string_view)>;

std::string joinCrLf(const std::vector<std::string>& lines)
{
    std::string joined;
    for (size_t i = 0; i < lines.size(); ++i) {
        if (i > 0)
            joined += "\r\n";
        joined += lines[i];
    }
    return joined;
}

// The tool named by the arguments, which must all be used up; nothing for a usage error.
std::optional<Tool> takeTool(CliArgs& args)
{
    static const std::map<std::string, Tool> tools = {
        {"urldecode", urlToChinese},
        {"utf8-to-gb", utf8ToGb},
        {"urlencode", urlEncode},
        {"html-to-text", htmlToText},
        {"split-phrases", splitPhrases},
        {"phrases", [](std::string_view text) { return joinCrLf(distinctPhrases(text)); }},
    };
    if (args.atEnd())
        return std::nullopt;
    const std::string name = args.take();
    std::optional<Tool> tool;
    if (name == "between" && !args.atEnd()) {
        std::string start = args.toGbk(args.take());
        if (args.atEnd())
            return std::nullopt;
        std::string end = args.toGbk(args.take());
        tool = [start, end](std::string_view text) { return textBetween(text, start, end); };
    } else if (auto it = tools.find(name); it != tools.end()) {
        tool = it->second;
    }
    return args.atEnd() ? tool : std::nullopt;
}

// All of standard input as bytes; false when it cannot be read.
bool readStandardInput(std::string& bytes)
{
    char buffer[1 << 16];
    size_t count;
    while ((count = std::fread(buffer, 1, sizeof buffer, stdin)) > 0)
        bytes.append(buffer, count);
    return !std::ferror(stdin);
}

} // namespace

int runText(CliArgs& args)
{
    const std::optional<Tool> tool = takeTool(args);
    if (!tool)
        return usageError(kUsage);
    std::string input;
    if (!readStandardInput(input))
        return failure(args, fileErrorText(errno));
    const Result<std::string> result = (*tool)(input);
    if (!result)
        return failure(args, result.status().message());
    CliOutput out(args.raw());
    out.plain(args.raw() ? result.value() : gbkToUtf8(result.value()));
    return kExitOk;
}

} // namespace quill::cli
