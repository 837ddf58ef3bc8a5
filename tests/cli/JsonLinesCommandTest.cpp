#include "logs/LogTestSupport.h"
#include "logs/LogTokens.h"
#include "platform/CodePage.h"
#include "support/RunProcess.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <filesystem>
#include <fstream>
#include <thread>

using namespace quill;
using namespace quill::test;

namespace {

// Python's json module reads the rows back strictly (control characters in strings refused) from
// bytes that must be UTF-8; each row prints the values of `keys` joined by US (0x1F), "<none>"
// for a member left out, and rows are joined by RS (0x1E).
std::string readBackJson(const std::string& jsonLines, const std::vector<std::string>& keys)
{
    const std::string script =
        "import json, sys\n"
        "text = sys.stdin.buffer.read().decode('utf-8')\n"
        "assert text.endswith('\\n')\n"
        "rows = [json.loads(line) for line in text[:-1].split('\\n')]\n"
        "out = '\\x1e'.join('\\x1f'.join(str(r.get(k, '<none>')) for k in sys.argv[1:]) for r in rows)\n"
        "sys.stdout.buffer.write(out.encode('utf-8'))\n";
    std::vector<std::string> argv = {"/usr/bin/python3", "-c", script};
    argv.insert(argv.end(), keys.begin(), keys.end());
    const ProcessResult python = runProcess(argv, jsonLines);
    EXPECT_EQ(python.exitCode, 0) << python.err;
    return python.out;
}

std::string utf8OrNone(std::string_view gbkField)
{
    return gbkField.empty() || gbkField == kMissingToken ? "<none>" : gbkToUtf8(gbkField);
}

} // namespace

TEST(JsonLinesCommand, hostileRowsReadBackAsTheirFields)
{
    // Quotes, backslashes, control bytes, NUL, DEL, GBK characters whose second byte is a
    // backslash, and bytes that are no GBK, in the fields a visitor chooses.
    std::string log = kIis6Header;
    const std::vector<std::pair<std::string, std::string>> stemsAndAgents = {
        {"/say\"hi\".htm", "UA\\\"}{,"},
        {"/back\\slash\\", "\x95\x5C\x95\x5C"},
        {std::string("/nul") + '\0' + "and\x01\x1F\x7F", "ctl\x1B[31m\tTAB"},
        {"/" + gbk("日志") + "\xB0", "\xFF\xFE\x81"},
        {"/lead\x81", "Mozilla/5.0+(compatible;+Baiduspider/2.0)\xC8"},
        {"/" + gbk("百度") + "?x=\"\\", "GPTBot/1.0\\"},
    };
    for (const auto& [stem, agent] : stemsAndAgents)
        log += iisLine({.stem = stem, .agent = agent});
    TempFolder folder;
    const std::string path = folder.write("hostile.log", log);
    const ProcessResult result = runCli({"load", "--off", "images", "--jsonl", path});
    ASSERT_EQ(result.exitCode, 0) << result.err;
    EXPECT_TRUE(isValidUtf8(result.out));

    LogAnalysis analysis;
    FilterSnapshot filters;
    filters.images = false;
    ASSERT_TRUE(analysis.load(path, filters).read());
    const RecordStore& store = analysis.store();
    ASSERT_EQ(store.count(), stemsAndAgents.size());
    std::string expected;
    for (std::uint32_t row = 0; row < store.count(); ++row) {
        const LogRecord& record = store.record(row);
        expected += row ? "\x1e" : "";
        expected += utf8OrNone(cellText(store, row, kColUriStem)) + "\x1f" +
                    utf8OrNone(tokenAt(record.line(), store.mapOf(record)[kColUserAgent])) + "\x1f" +
                    utf8OrNone(cellText(store, row, kColClientIp));
    }
    EXPECT_EQ(readBackJson(result.out, {"url.path", "user_agent.original", "source.address"}), expected);
}

TEST(JsonLinesCommand, samplesGiveTheRowsLoadPrintsFieldForField)
{
    // Each printed column and the schema member that carries it; "-" is a member left out.
    const std::vector<std::pair<int, std::string>> columns = {
        {1, "url.path"},         {2, "url.query"},          {4, "http.response.status_code"},
        {5, "iis.sub_status"},   {6, "iis.win32_status"},   {7, "source.address"},
        {10, "http.request.method"}, {11, "destination.address"}, {12, "destination.port"},
        {13, "http.response.bytes"}, {14, "http.request.bytes"},  {16, "http.request.referrer"},
    };
    std::vector<std::string> keys;
    for (const auto& [column, key] : columns)
        keys.push_back(key);
    for (const auto& entry : std::filesystem::directory_iterator(QUILLMARK_SAMPLES_DIR)) {
        const std::string path = entry.path().string();
        const ProcessResult rows = runCli({"load", path});
        const ProcessResult json = runCli({"load", "--jsonl", path});
        ASSERT_EQ(rows.exitCode, 0) << rows.err;
        ASSERT_EQ(json.exitCode, 0) << json.err;
        // the summary line stays on stderr, the time aside
        EXPECT_EQ(json.err.substr(json.err.find("   ")), rows.err.substr(rows.err.find("   ")));

        std::string expected;
        size_t count = 0;
        for (size_t start = 0, end; (end = rows.out.find('\n', start)) != std::string::npos; start = end + 1, ++count) {
            std::vector<std::string> fields;
            for (size_t from = start, tab;; from = tab + 1) {
                tab = rows.out.find('\t', from);
                fields.push_back(rows.out.substr(from, std::min(tab, end) - from));
                if (tab > end)
                    break;
            }
            ASSERT_EQ(fields.size(), 17u);
            expected += count ? "\x1e" : "";
            for (size_t i = 0; i < columns.size(); ++i) {
                const std::string& text = fields[static_cast<size_t>(columns[i].first)];
                expected += (i ? "\x1f" : "") + (text == "-" ? std::string("<none>") : text);
            }
        }
        ASSERT_GT(count, 0u) << path;
        EXPECT_EQ(readBackJson(json.out, keys), expected) << path;
    }
}

TEST(JsonLinesCommand, takesNoSecondOutputForm)
{
    TempFolder folder;
    const std::string path = folder.write("ex.log", std::string(kIis6Header) + iisLine({.stem = "/a.htm"}));
    for (const char* other : {"--count", "--csv", "--csv-raw"})
        EXPECT_EQ(runCli({"load", "--jsonl", other, path}).exitCode, 2) << other;
}

TEST(JsonLinesCommand, followsALogAsJsonLines)
{
    TempFolder folder;
    const std::string path = folder.write("u_ex261208.log", std::string(kIis6Header) + iisLine({.stem = "/loaded.htm"}));
    RunningProcess cli({QUILLMARK_CLI_PATH, "load", "--jsonl", "--follow", path});
    auto waitForLines = [&](size_t lines) {
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (std::chrono::steady_clock::now() < deadline) {
            const std::string out = cli.out();
            if (static_cast<size_t>(std::count(out.begin(), out.end(), '\n')) >= lines)
                return true;
            std::this_thread::sleep_for(std::chrono::milliseconds(20));
        }
        return false;
    };
    ASSERT_TRUE(waitForLines(1));
    std::ofstream(path, std::ios::binary | std::ios::app) << iisLine({.stem = "/appended.htm"});
    ASSERT_TRUE(waitForLines(2));
    cli.signal(SIGINT);
    const ProcessResult result = cli.finish();
    EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(readBackJson(result.out, {"url.path"}), "/loaded.htm\x1e/appended.htm");
}
