#include "settings/SettingsFile.h"

#include "platform/CodePage.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <tuple>

using namespace quill;
using quill::test::readFile;
using quill::test::TempFolder;

namespace {

// Current values that differ from every design-time default, so a read that ignores its
// default shows.
Settings unusualCurrent()
{
    Settings current;
    current.logFolder = gbk("D:\\网站日志");
    current.filters.images = false;
    current.filters.baidu = false;
    current.filters.yahoo = true;
    current.filters.audio = true;
    current.filters.search = "abc";
    current.hideAdvert = true;
    current.siteUrl = "www.example.test";
    current.listBackground = 0x00112233;
    current.listText = 0xFF000008;
    return current;
}

// Every field, so two settings compare in one expectation.
auto fields(const Settings& s)
{
    const FilterSnapshot& f = s.filters;
    return std::tuple(s.logFolder, f.images, f.audio, f.status200, f.spiders, f.baidu, f.google, f.soso,
                      f.yahoo, f.sogou, f.msn, f.youdao, f.ownXmlHttp, f.noSpiders, f.search,
                      s.hideAdvert, s.siteUrl, s.listBackground, s.listText);
}

} // namespace

TEST(SettingsFile, missingFileOrKeysLeaveEveryValueAsItWas)
{
    TempFolder folder;
    const Settings current = unusualCurrent();
    EXPECT_EQ(fields(SettingsFile(folder.file("none.ini")).load(current)), fields(current));
    const std::string garbage = "\xEF\xBB\xBFjunk\r[user]\rlvbakcolor=$XYZ\rlvfontcolor=\r[" + gbk("过滤") +
                                "]\r" + gbk("图片") + "=word\rBaidu=\r";
    EXPECT_EQ(fields(SettingsFile(folder.write("junk.ini", garbage)).load(current)), fields(current));
}

TEST(SettingsFile, readsAFileTheProgramWrote)
{
    TempFolder folder;
    const std::string text = "[" + gbk("基本") + "]\r\n" + gbk("日志目录") + "=" + gbk("E:\\日志") +
                             "\r\n[" + gbk("过滤") + "]\r\n" + gbk("图片") + "=0\r\n" + gbk("状态200") +
                             "=1\r\nbaidu=0\r\nYAHOO=1\r\n" + gbk("蜘蛛NO") +
                             "=1\r\n[admin]\r\nad=1\r\n[user]\r\nsiteurl=" + gbk("站") +
                             "\r\nlvbakcolor=clcream\r\nlvfontcolor=$00123456\r\n";
    const Settings loaded = SettingsFile(folder.write("s.ini", text)).load(Settings{});
    EXPECT_EQ(loaded.logFolder, gbk("E:\\日志"));
    EXPECT_FALSE(loaded.filters.images);
    EXPECT_TRUE(loaded.filters.status200);
    EXPECT_FALSE(loaded.filters.baidu);
    EXPECT_TRUE(loaded.filters.yahoo);
    EXPECT_TRUE(loaded.filters.noSpiders);
    EXPECT_TRUE(loaded.filters.google) << "a missing key keeps the design-time state";
    EXPECT_TRUE(loaded.hideAdvert);
    EXPECT_EQ(loaded.siteUrl, gbk("站"));
    EXPECT_EQ(loaded.listBackground, 0x00F0FBFFu);
    EXPECT_EQ(loaded.listText, 0x00123456u);
}

TEST(SettingsFile, saveConfigurationWritesItsKeysInOrderAndNothingElse)
{
    TempFolder folder;
    SettingsFile file(folder.file("s.ini"));
    FilterSnapshot boxes;
    boxes.images = false;
    boxes.msn = true;
    boxes.audio = true;
    boxes.search = "never saved";
    ASSERT_TRUE(file.saveConfiguration(boxes, gbk("百度"), 0x00123456, 0xFF000008).ok());
    const std::string expected = "[" + gbk("过滤") + "]\r\n" + gbk("图片") + "=0\r\n" + gbk("状态200") +
                                 "=0\r\n" + gbk("蜘蛛") + "=0\r\nBaidu=1\r\nGoogle=1\r\nSOSO=1\r\nYahoo=0\r\n"
                                 "Sogou=0\r\nMSN=1\r\nyodao=0\r\nXMLHTTP=0\r\n" + gbk("蜘蛛NO") +
                                 "=0\r\n[user]\r\nsiteurl=" + gbk("百度") +
                                 "\r\nlvbakcolor=$00123456\r\nlvfontcolor=clWindowText\r\n";
    EXPECT_EQ(readFile(file.path()), expected);

    const Settings loaded = file.load(unusualCurrent());
    EXPECT_FALSE(loaded.filters.images);
    EXPECT_TRUE(loaded.filters.msn);
    EXPECT_TRUE(loaded.filters.audio) << "the audio box is not saved";
    EXPECT_EQ(loaded.filters.search, "abc");
    EXPECT_EQ(loaded.logFolder, unusualCurrent().logFolder) << "saving leaves the folder unwritten";
    EXPECT_EQ(loaded.listBackground, 0x00123456u);
}

TEST(SettingsFile, logFolderAndSiteUrlAreWrittenAlone)
{
    TempFolder folder;
    SettingsFile file(folder.file("s.ini"));
    // A cancelled folder choice on a first start writes the empty folder back.
    ASSERT_TRUE(file.writeLogFolder("").ok());
    ASSERT_TRUE(file.writeSiteUrl("http://a.test/").ok());
    EXPECT_EQ(readFile(file.path()), "[" + gbk("基本") + "]\r\n" + gbk("日志目录") +
                                          "=\r\n[user]\r\nsiteurl=http://a.test/\r\n");
    EXPECT_EQ(file.load(unusualCurrent()).logFolder, "");
}

TEST(SettingsFile, readOnlyFileStopsTheSaveWithItsPath)
{
    TempFolder folder;
    const std::string path = folder.write("s.ini", "[user]\r\nsiteurl=x\r\n");
    chmod(path.c_str(), 0444);
    SettingsFile file(path);
    const Status status = file.saveConfiguration(FilterSnapshot{}, "y", kColourSkyBlue, kColourBlack);
    EXPECT_EQ(status.message(), "Unable to write to " + path);
    EXPECT_EQ(file.writeSiteUrl("y").message(), "Unable to write to " + path);
    EXPECT_EQ(readFile(path), "[user]\r\nsiteurl=x\r\n");
}

TEST(SettingsFile, olderFileStartsWithVerificationOffAndSavedBoxesReadBack)
{
    TempFolder folder;
    const std::string older = folder.write("older.ini", "[user]\r\nsiteurl=www.example.test\r\n");
    const Settings fresh = SettingsFile(older).load(Settings{});
    EXPECT_FALSE(fresh.verification.verifyCrawlers);
    EXPECT_FALSE(fresh.verification.onlyFakes);
    EXPECT_FALSE(fresh.verification.onlyVerified);
    EXPECT_EQ(fresh.siteUrl, "www.example.test");

    SettingsFile file(older);
    VerificationSettings saved{true, false, true, gbk("验证缓存.txt"), {}, {}};
    ASSERT_TRUE(file.saveVerification(saved).ok());
    const Settings again = file.load(Settings{});
    EXPECT_TRUE(again.verification.verifyCrawlers);
    EXPECT_FALSE(again.verification.onlyFakes);
    EXPECT_TRUE(again.verification.onlyVerified);
    EXPECT_EQ(again.verification.cacheFileName, gbk("验证缓存.txt"));
    EXPECT_EQ(again.siteUrl, "www.example.test"); // the other keys stay
    EXPECT_NE(readFile(older).find(gbk("验证蜘蛛") + "=1"), std::string::npos);
}

TEST(SettingsFile, verdictCacheLiesBesideTheSettingsFile)
{
    SettingsFile file("/opt/quill/settings.ini");
    struct Case {
        std::string name;
        const char* path;
    };
    const Case cases[] = {
        {"", "/opt/quill/蜘蛛验证.txt"},
        {gbk("缓存.txt"), "/opt/quill/缓存.txt"},
        {"../../etc/passwd", "/opt/quill/passwd"}, // only the name counts
        {"C:\\temp\\v.txt", "/opt/quill/v.txt"},
        {"sub/", "/opt/quill/蜘蛛验证.txt"},
        {"..", "/opt/quill/蜘蛛验证.txt"},
    };
    for (const Case& c : cases) {
        VerificationSettings verification;
        verification.cacheFileName = c.name;
        EXPECT_EQ(file.verdictCachePath(verification), c.path) << c.name;
    }
}

TEST(SettingsFile, oneObjectReadsTheFileOnceUntilItWrites)
{
    TempFolder folder;
    const std::string path = folder.write("settings.ini", "[" + gbk("过滤") + "]\r\n" + gbk("图片") +
                                                              "=0\r\n[user]\r\nsiteurl=first.test\r\n[" +
                                                              gbk("列宽") + "]\r\nlv2=50,60\r\n");

    SettingsFile file(path);
    const Settings first = file.load(Settings{});
    EXPECT_FALSE(first.filters.images);
    EXPECT_EQ(first.siteUrl, "first.test");
    // Changed behind the object's back: it answers from its one reading.
    TempFolder::writeFile(path, "[user]\r\nsiteurl=second.test\r\n");
    EXPECT_EQ(file.load(Settings{}).siteUrl, "first.test");
    EXPECT_EQ(file.readColumnWidths("lv2", 3), (std::vector<int>{50, 60, 0}));
    // Its own write reads the file again.
    ASSERT_TRUE(file.writeLogFolder("D:\\logs"));
    EXPECT_EQ(file.load(Settings{}).siteUrl, "second.test");
    EXPECT_EQ(file.load(Settings{}).logFolder, "D:\\logs");
}

TEST(SettingsFile, csvCellsAreNeutralisedUnlessTheExportKeySaysVerbatim)
{
    TempFolder folder;
    const struct {
        std::string file;
        bool verbatim;
    } cases[] = {
        {"", false},
        {"[" + gbk("导出") + "]\r\n" + gbk("CSV原样") + "=1\r\n", true},
        {"[" + gbk("导出") + "]\r\n" + gbk("CSV原样") + "=0\r\n", false},
        {"[" + gbk("导出") + "]\r\n" + gbk("CSV原样") + "=yes\r\n", false},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SettingsFile(folder.write("s.ini", c.file)).load(Settings{}).csvVerbatim, c.verbatim) << c.file;
}

TEST(SettingsFile, followingIsKeptOffUntilSaved)
{
    TempFolder folder;
    const std::string path = folder.write("s.ini", "");
    EXPECT_FALSE(SettingsFile(path).load(Settings{}).followLog);
    ASSERT_TRUE(SettingsFile(path).writeFollowLog(true).ok());
    EXPECT_TRUE(SettingsFile(path).load(Settings{}).followLog);
    EXPECT_NE(readFile(path).find("[" + gbk("日志") + "]\r\n" + gbk("跟踪") + "=1"), std::string::npos) << readFile(path);
    ASSERT_TRUE(SettingsFile(path).writeFollowLog(false).ok());
    EXPECT_FALSE(SettingsFile(path).load(Settings{}).followLog);
}

TEST(SettingsFile, encodedSearchIsOnUntilSavedOff)
{
    TempFolder folder;
    const std::string path = folder.write("s.ini", "[" + gbk("日志") + "]\r\n" + gbk("跟踪") + "=1\r\n");
    EXPECT_TRUE(SettingsFile(path).load(Settings{}).searchEncoded);
    ASSERT_TRUE(SettingsFile(path).writeSearchEncoded(false).ok());
    EXPECT_FALSE(SettingsFile(path).load(Settings{}).searchEncoded);
    EXPECT_NE(readFile(path).find(gbk("含URL编码") + "=0"), std::string::npos) << readFile(path);
    EXPECT_TRUE(SettingsFile(path).load(Settings{}).followLog);
}
