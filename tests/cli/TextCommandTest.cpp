#include "platform/CodePage.h"
#include "support/TempFolder.h"
#include "text/DecodeActions.h"
#include "text/UrlCoding.h"
#include "text/HtmlText.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <fstream>
#include <iterator>
#include <sys/wait.h>

using namespace quill;
using quill::test::readFile;

namespace {

struct CliRun {
    int exitCode = -1;
    std::string out, err;
};

// Runs "quillmarkbox-cli text ARGUMENTS" with `input` on standard input.
CliRun runText(const std::string& arguments, std::string_view input)
{
    const test::TempFolder folder;
    const std::string command = std::string(QUILLMARK_CLI_PATH) + " text " + arguments + " <'" +
                                folder.write("in", input) + "' >'" + folder.file("out") + "' 2>'" +
                                folder.file("err") + "'";
    const int status = std::system(command.c_str());
    CliRun run;
    run.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    run.out = readFile(folder.file("out"));
    run.err = readFile(folder.file("err"));
    return run;
}

const std::string kPage = gbk("<title>首页</title><script>x()</script><p>你好，世界&nbsp;a b a</p>\r\n%E4%BD%A0");

} // namespace

TEST(TextCommand, rawOutputIsTheCoreResult)
{
    struct Case {
        std::string arguments, input, expected;
    };
    const Case cases[] = {
        {"urldecode --raw", "%C4%E3+%00tail", urlToChinese("%C4%E3+%00tail").value()},
        {"--raw utf8-to-gb", "%E4%BD%A0%C4%E3", utf8ToGb("%E4%BD%A0%C4%E3").value()},
        {"urlencode --raw", kPage, urlEncode(kPage)},
        {"html-to-text --raw", kPage, htmlToText(kPage)},
        {"split-phrases --raw", kPage, splitPhrases(kPage)},
        {"phrases --raw", "a b a\r\nc", "a\r\nb\r\nc"},
        {"between '" + gbk("首页") + "' '</p>' --raw", kPage, textBetween(kPage, gbk("首页"), "</p>")},
        {"html-to-text --raw", "", "\r\n"},
    };
    for (const Case& c : cases) {
        const CliRun run = runText(c.arguments, c.input);
        EXPECT_EQ(run.exitCode, 0) << c.arguments << ": " << run.err;
        EXPECT_EQ(run.out, c.expected) << c.arguments;
    }
}

TEST(TextCommand, convertsOutputAndMarkersFromUtf8WithoutRaw)
{
    EXPECT_EQ(runText("html-to-text", kPage).out, "标题: 首页\r\n你好，世界 a b a %E4%BD%A0");
    EXPECT_EQ(runText("utf8-to-gb", "%E4%BD%A0").out, "你");
    EXPECT_EQ(runText("between 首页 '</p>'", kPage).out, "</title><script>x()</script><p>你好，世界&nbsp;a b a");
}

TEST(TextCommand, decodingErrorsExitWithTheMessage)
{
    const CliRun run = runText("urldecode", "abc%4");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "Error decoding URL style (%XX) encoded string at position 4\n");
    EXPECT_EQ(runText("utf8-to-gb", "%G1").err, "Invalid URL encoded character (%G1) at position 1\n");
    // A NUL quoted from the input shows as \0 and the message goes on after it.
    for (const char* mode : {"urldecode", "urldecode --raw"})
        EXPECT_EQ(runText(mode, std::string("ab%\0A", 5)).err, "Invalid URL encoded character (%\\0A) at position 3\n")
            << mode;
}

TEST(TextCommand, rejectsBadArguments)
{
    for (const char* arguments :
         {"", "nosuch", "between", "between S", "between S E F", "urlencode extra", "--raw"}) {
        const CliRun run = runText(arguments, "x");
        EXPECT_EQ(run.exitCode, 2) << arguments;
        EXPECT_EQ(run.out, "") << arguments;
        EXPECT_EQ(run.err.rfind("usage: ", 0), 0u) << arguments;
    }
}
