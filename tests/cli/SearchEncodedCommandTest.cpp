#include "logs/LogTestSupport.h"
#include "platform/CodePage.h"
#include "support/RunProcess.h"

#include <gtest/gtest.h>

#include <random>

using namespace quill;
using namespace quill::test;

namespace {

// Counts the data lines holding TEXT (UTF-8 argument) plain as GBK or, with "encoded", as
// Python's own percent-encodings of its GBK and UTF-8 bytes (blanks as %20 and as +), ignoring
// ASCII case, in the line with the record list's "- " prefix.
constexpr const char* kPythonCount = R"(
import sys, urllib.parse
path, text, mode = sys.argv[1], sys.argv[2], sys.argv[3]
forms = [text.encode('gbk')]
if mode == 'encoded':
    for charset in ('gbk', 'utf-8'):
        forms.append(urllib.parse.quote(text, safe='', encoding=charset).encode())
        forms.append(urllib.parse.quote_plus(text, safe='', encoding=charset).encode())
forms = [f.upper() for f in forms]
count = 0
for line in open(path, 'rb').read().split(b'\r\n'):
    if line and not line.startswith(b'#'):
        hay = (b'- ' + line).upper()
        count += any(f in hay for f in forms)
print(count)
)";

// A log whose queries hold the words of `words` plain, escaped as GBK and as UTF-8 in upper,
// lower and mixed case, cut short, or joined by + and %20.
std::string generatedLog(const std::vector<std::string>& words)
{
    std::mt19937 random(26);
    auto below = [&](size_t n) { return std::uniform_int_distribution<size_t>(0, n - 1)(random); };
    auto escape = [&](std::string_view bytes) {
        static constexpr char kHex[] = "0123456789ABCDEF";
        std::string out;
        const size_t casing = below(3); // upper, lower, mixed
        for (char c : bytes) {
            const auto byte = static_cast<unsigned char>(c);
            std::string escaped = {'%', kHex[byte >> 4], kHex[byte & 15]};
            for (char& digit : escaped)
                if (casing == 1 || (casing == 2 && below(2)))
                    digit = static_cast<char>(std::tolower(static_cast<unsigned char>(digit)));
            out += escaped;
        }
        return out;
    };
    std::string log = kIis6Header;
    for (int i = 0; i < 3000; ++i) {
        std::string query;
        for (size_t n = 1 + below(2); n > 0; --n) {
            const std::string word = gbk(words[below(words.size())]);
            std::string form;
            switch (below(5)) {
            case 0: form = word; break;
            case 1: form = escape(word); break;
            case 2: form = escape(gbkToUtf8(word)); break;
            case 3: form = escape(word).substr(0, 3 * word.size() - 1); break;
            default: form = escape(gbkToUtf8(word.substr(0, 2))); break;
            }
            query += (query.empty() ? "q=" : (below(2) ? "+" : "%20")) + form;
        }
        std::string line = iisLine({.stem = "/s.asp"});
        line.replace(line.find(" - 80 "), 3, " " + query + " ");
        log += line;
    }
    return log;
}

size_t summaryCount(const std::string& summary)
{
    const size_t at = summary.find("共有 ");
    return at == std::string::npos ? SIZE_MAX : std::stoul(summary.substr(at + std::string("共有 ").size()));
}

} // namespace

TEST(SearchEncodedCommand, countsWhatAnIndependentPercentEncoderFinds)
{
    const std::vector<std::string> words = {"日志", "分析", "日志分析", "搜索引擎", "网站"};
    TempFolder folder;
    const std::string path = folder.write("encoded.log", generatedLog(words));
    for (const std::string text : {"日志分析", "日志", "日志 分析"}) {
        size_t found[2] = {};
        for (const bool encoded : {false, true}) {
            const ProcessResult python =
                runProcess({"/usr/bin/python3", "-c", kPythonCount, path, text, encoded ? "encoded" : "plain"});
            ASSERT_EQ(python.exitCode, 0) << python.err;
            const ProcessResult ours = runCli({"load", encoded ? "--search-encoded" : "--search", text, "--count", path});
            ASSERT_EQ(ours.exitCode, 0) << ours.err;
            found[encoded] = std::stoul(python.out);
            EXPECT_EQ(summaryCount(ours.out), found[encoded]) << text << (encoded ? " encoded: " : " plain: ") << ours.out;
        }
        EXPECT_GT(found[1], found[0]) << text; // the log holds encoded forms to be found
    }
}

TEST(SearchEncodedCommand, theLastSearchOptionHolds)
{
    TempFolder folder;
    const std::string path =
        folder.write("a.log", std::string(kIis6Header) + iisLine({.stem = "/%C8%D5%D6%BE.htm"}) + iisLine({.stem = "/b.htm"}));
    EXPECT_EQ(summaryCount(runCli({"load", "--search", "日志", "--search-encoded", "日志", "--count", path}).out), 1u);
    EXPECT_EQ(summaryCount(runCli({"load", "--search-encoded", "日志", "--search", "日志", "--count", path}).out), 0u);
    EXPECT_EQ(runCli({"load", "--search-encoded"}).exitCode, 2);
}
