#include "ledger/LedgerAdd.h"

#include "LedgerTestSupport.h"
#include "ledger/LedgerViews.h"
#include "platform/CodePage.h"
#include "support/RunProcess.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <thread>

using namespace quill;
using namespace quill::test;

namespace {

// A log of `lines` Baidu visits over many paths, so that its write takes many pages.
std::string manyPathsLog(int lines, const std::string& day = "2026-12-01")
{
    std::vector<Visit> visits;
    for (int i = 0; i < lines; ++i)
        visits.push_back(Visit{.day = day, .path = "/page/" + std::to_string(i) + ".htm", .agent = kBaiduAgent});
    return iis6Log(visits);
}

std::string hitsAndFiles(const std::string& ledger)
{
    const auto hits = ledgerRows(ledger, "SELECT coalesce(sum(requests), 0) FROM day_total");
    const auto crawls = ledgerRows(ledger, "SELECT coalesce(sum(hits), 0) FROM crawl");
    const auto files = ledgerRows(ledger, "SELECT count(*) FROM log_file");
    return hits.at(0) + "/" + crawls.at(0) + "/" + files.at(0);
}

Status addWith(const std::string& ledgerPath, const std::vector<std::string>& logs, int busyTimeoutMs = 30000)
{
    auto ledger = Ledger::open(ledgerPath, LedgerOpenOptions{LedgerAccess::Write, busyTimeoutMs});
    if (!ledger.ok())
        return ledger.status();
    const std::atomic<bool> stop{false};
    return addLogs(*ledger.value(), logs, {}, stop, {});
}

ProcessResult runChild(std::vector<std::string> args)
{
    args.insert(args.begin(), QUILLMARK_LEDGER_CHILD);
    return runProcess(args);
}

// Files the ledger must refuse, leaving every byte of them as it was.
TEST(LedgerFile, refusesFilesItCannotOwnAndLeavesThemUntouched)
{
    TempFolder folder;
    const std::string log = folder.write("ex.log", manyPathsLog(3));
    const std::string newer = folder.file("newer.db");
    ASSERT_TRUE(addWith(newer, {log}).ok());
    {
        auto db = SqliteDatabase::open(newer, OpenMode::ReadWrite, 1000);
        ASSERT_TRUE(db.ok());
        ASSERT_TRUE(db.value()->exec("PRAGMA user_version = 99; PRAGMA wal_checkpoint(TRUNCATE)").ok());
    }
    const std::string foreign = folder.file("foreign.db");
    {
        auto db = SqliteDatabase::open(foreign, OpenMode::ReadWrite, 1000);
        ASSERT_TRUE(db.ok());
        ASSERT_TRUE(db.value()->exec("CREATE TABLE notes (text TEXT); INSERT INTO notes VALUES ('mine')").ok());
    }
    mkdir(folder.file("folder.db").c_str(), 0755);
    struct Case {
        std::string path;
        const char* says;
    } cases[] = {
        {folder.write("text.db", std::string(5000, 'x') + "not a database"), "不是抓取档案文件"},
        {folder.write("header.db", "SQLite format 3" + std::string(1, '\0') + std::string(200, '\xFF')), ""},
        {foreign, "不是抓取档案"},
        {newer, "更新版本的程序 (结构版本 99"},
        {folder.file("folder.db"), "不是一个普通文件"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.path);
        struct stat info {};
        const bool isFile = stat(c.path.c_str(), &info) == 0 && S_ISREG(info.st_mode);
        const std::string before = isFile ? readFile(c.path) : "";
        const Status added = addWith(c.path, {log});
        ASSERT_FALSE(added.ok());
        EXPECT_NE(gbkToUtf8(added.message()).find(c.says), std::string::npos) << gbkToUtf8(added.message());
        EXPECT_FALSE(LedgerViews::open(c.path).ok());
        EXPECT_EQ(isFile ? readFile(c.path) : "", before);
    }
    // File names are UTF-8, messages GBK: a Chinese name reads back as it was given.
    const std::string missing = folder.file("抓取档案.db");
    const auto views = LedgerViews::open(missing);
    ASSERT_FALSE(views.ok());
    EXPECT_NE(gbkToUtf8(views.status().message()).find(missing), std::string::npos) << gbkToUtf8(views.status().message());
}

// Killed at each step of writing a file: after it, the ledger holds all of the file or none.
TEST(LedgerFile, aKilledAddLeavesAllOfTheFileOrNone)
{
    for (const char* stage : {"begun", "facts", "record"}) {
        SCOPED_TRACE(stage);
        TempFolder folder;
        const std::string ledger = folder.file("ledger.db");
        const std::string first = folder.write("a.log", manyPathsLog(50, "2026-11-30"));
        const std::string second = folder.write("b.log", manyPathsLog(2000));
        ASSERT_TRUE(addWith(ledger, {first}).ok());

        const ProcessResult killed = runChild({"kill-at", stage, ledger, second});
        EXPECT_EQ(killed.exitCode, -1) << killed.out; // ended by the signal
        EXPECT_EQ(hitsAndFiles(ledger), "50/50/1");
        const std::string integrity = ledgerRows(ledger, "PRAGMA integrity_check").at(0);
        EXPECT_EQ(integrity, "ok");

        ASSERT_TRUE(addWith(ledger, {first, second}).ok());
        EXPECT_EQ(hitsAndFiles(ledger), "2050/2050/2");
    }
}

TEST(LedgerFile, aFullDiskFailsTheAddWithAMessageAndLosesNothing)
{
    TempFolder folder;
    const std::string ledger = folder.file("ledger.db");
    ASSERT_TRUE(addWith(ledger, {folder.write("a.log", manyPathsLog(10, "2026-11-30"))}).ok());
    const std::string big = folder.write("b.log", manyPathsLog(5000));

    const ProcessResult starved = runChild({"file-limit", std::to_string(256 * 1024), ledger, big});
    EXPECT_EQ(starved.exitCode, 1);
    EXPECT_NE(gbkToUtf8(starved.out).find("磁盘已满"), std::string::npos) << starved.out;
    EXPECT_EQ(hitsAndFiles(ledger), "10/10/1");

    ASSERT_TRUE(addWith(ledger, {big}).ok());
    EXPECT_EQ(hitsAndFiles(ledger), "5010/5010/2");
}

TEST(LedgerFile, aLedgerAnotherProgramHoldsIsReportedAndLeftAsItWas)
{
    TempFolder folder;
    const std::string ledger = folder.file("ledger.db");
    const std::string log = folder.write("a.log", manyPathsLog(10));
    ASSERT_TRUE(addWith(ledger, {folder.write("z.log", manyPathsLog(1, "2026-11-01"))}).ok());
    auto other = SqliteDatabase::open(ledger, OpenMode::ReadWrite, 1000);
    ASSERT_TRUE(other.ok());
    ASSERT_TRUE(other.value()->exec("BEGIN IMMEDIATE").ok());

    const Status busy = addWith(ledger, {log}, 200);
    ASSERT_FALSE(busy.ok());
    EXPECT_NE(gbkToUtf8(busy.message()).find("正被另一个程序使用"), std::string::npos) << gbkToUtf8(busy.message());
    // Reading goes on while the other program writes.
    auto views = LedgerViews::open(ledger, 200);
    ASSERT_TRUE(views.ok());
    EXPECT_TRUE(views.value()->days({}).ok());

    ASSERT_TRUE(other.value()->exec("ROLLBACK").ok());
    ASSERT_TRUE(addWith(ledger, {log}).ok());
    EXPECT_EQ(hitsAndFiles(ledger), "11/11/2");
}

TEST(LedgerFile, aReadOnlyLedgerIsShownButNeverWritten)
{
    TempFolder folder;
    chmod(folder.path().c_str(), 0755);
    const std::string ledger = folder.file("ledger.db");
    const std::string log = folder.write("a.log", manyPathsLog(10));
    ASSERT_TRUE(addWith(ledger, {folder.write("z.log", manyPathsLog(1, "2026-11-01"))}).ok());
    chmod(ledger.c_str(), 0444);
    const std::string before = readFile(ledger);

    const ProcessResult refused = runChild({"unprivileged", ledger, log});
    EXPECT_EQ(refused.exitCode, 1);
    EXPECT_NE(gbkToUtf8(refused.out).find("只读"), std::string::npos) << refused.out;
    EXPECT_EQ(readFile(ledger), before);
    auto views = LedgerViews::open(ledger);
    ASSERT_TRUE(views.ok()) << views.status().message();
    EXPECT_EQ(views.value()->days({}).value().rows.size(), 1u);
}

// The window and the command line add the same folder at the same moment.
TEST(LedgerFile, addsAtTheSameTimeCountEveryLineOnce)
{
    TempFolder folder;
    const std::string logs = folder.file("logs");
    mkdir(logs.c_str(), 0755);
    for (int day = 1; day <= 6; ++day)
        TempFolder::writeFile(logs + "/ex2612" + (day < 10 ? "0" : "") + std::to_string(day) + ".log",
                              manyPathsLog(300 * day, "2026-12-0" + std::to_string(day)));
    const std::string ledger = folder.file("ledger.db");
    ProcessResult results[2];
    std::thread others[2];
    for (int i = 0; i < 2; ++i)
        others[i] = std::thread([&, i] { results[i] = runCli({"ledger", "--ledger", ledger, "add", logs}); });
    const Status mine = addWith(ledger, {logs});
    for (std::thread& other : others)
        other.join();
    EXPECT_TRUE(mine.ok()) << mine.message();
    for (const ProcessResult& result : results)
        EXPECT_EQ(result.exitCode, 0) << result.err;
    EXPECT_EQ(hitsAndFiles(ledger), "6300/6300/6");
}

} // namespace
