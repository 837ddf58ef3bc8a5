#include "platform/CodePage.h"
#include "support/RunProcess.h"
#include "text/DecodeActions.h"
#include "text/UrlCoding.h"
#include "text/HtmlText.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

using namespace quill;

namespace {

// Runs "quillmarkbox-cli text ARGUMENTS" with `input` on standard input.
test::ProcessResult runText(std::vector<std::string> arguments, std::string_view input)
{
    arguments.insert(arguments.begin(), "text");
    return test::runCli(std::move(arguments), std::string(input));
}

const std::string kPage = gbk("<title>首页</title><script>x()</script><p>你好，世界&nbsp;a b a</p>\r\n%E4%BD%A0");

} // namespace

TEST(TextCommand, rawOutputIsTheCoreResult)
{
    struct Case {
        std::vector<std::string> arguments;
        std::string input, expected;
    };
    const Case cases[] = {
        {{"urldecode", "--raw"}, "%C4%E3+%00tail", urlToChinese("%C4%E3+%00tail").value()},
        {{"--raw", "utf8-to-gb"}, "%E4%BD%A0%C4%E3", utf8ToGb("%E4%BD%A0%C4%E3").value()},
        {{"urlencode", "--raw"}, kPage, urlEncode(kPage)},
        {{"html-to-text", "--raw"}, kPage, htmlToText(kPage)},
        {{"split-phrases", "--raw"}, kPage, splitPhrases(kPage)},
        {{"phrases", "--raw"}, "a b a\r\nc", "a\r\nb\r\nc"},
        {{"between", gbk("首页"), "</p>", "--raw"}, kPage, textBetween(kPage, gbk("首页"), "</p>")},
        {{"html-to-text", "--raw"}, "", "\r\n"},
    };
    for (const Case& c : cases) {
        const test::ProcessResult run = runText(c.arguments, c.input);
        EXPECT_EQ(run.exitCode, 0) << c.arguments.front() << ": " << run.err;
        EXPECT_EQ(run.out, c.expected) << c.arguments.front();
    }
}

TEST(TextCommand, convertsOutputAndMarkersFromUtf8WithoutRaw)
{
    EXPECT_EQ(runText({"html-to-text"}, kPage).out, "标题: 首页\r\n你好，世界 a b a %E4%BD%A0");
    EXPECT_EQ(runText({"utf8-to-gb"}, "%E4%BD%A0").out, "你");
    EXPECT_EQ(runText({"between", "首页", "</p>"}, kPage).out, "</title><script>x()</script><p>你好，世界&nbsp;a b a");
}

TEST(TextCommand, decodingErrorsExitWithTheMessage)
{
    const test::ProcessResult run = runText({"urldecode"}, "abc%4");
    EXPECT_EQ(run.exitCode, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(run.err, "Error decoding URL style (%XX) encoded string at position 4\n");
    EXPECT_EQ(runText({"utf8-to-gb"}, "%G1").err, "Invalid URL encoded character (%G1) at position 1\n");
    // A NUL quoted from the input shows as \0 and the message goes on after it.
    for (bool raw : {false, true}) {
        const std::vector<std::string> arguments = raw ? std::vector<std::string>{"urldecode", "--raw"}
                                                       : std::vector<std::string>{"urldecode"};
        EXPECT_EQ(runText(arguments, std::string("ab%\0A", 5)).err,
                  "Invalid URL encoded character (%\\0A) at position 3\n")
            << raw;
    }
}

TEST(TextCommand, rejectsBadArguments)
{
    const std::vector<std::string> cases[] = {{}, {"nosuch"}, {"between"}, {"between", "S"}, {"between", "S", "E", "F"},
                                              {"urlencode", "extra"}, {"--raw"}};
    for (const std::vector<std::string>& arguments : cases) {
        const test::ProcessResult run = runText(arguments, "x");
        EXPECT_EQ(run.exitCode, 2) << arguments.size();
        EXPECT_EQ(run.out, "") << arguments.size();
        EXPECT_EQ(run.err.rfind("usage: ", 0), 0u) << arguments.size();
    }
}
