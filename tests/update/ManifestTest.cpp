#include "update/UpdateManifest.h"

#include "platform/CodePage.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

using namespace quill;
using quill::test::TempFolder;

namespace {

const int kToday = dayNumber(2009, 3, 7);

std::vector<std::string> listedNames(const std::string& manifest, const std::string& installed,
                                     bool withInstalled = true)
{
    TempFolder folder;
    const std::string manifestPath = folder.write("tmp.ini", manifest);
    const std::string installedPath = withInstalled ? folder.write("update.ini", installed) : folder.file("update.ini");
    std::vector<std::string> names;
    for (const UpdateEntry& entry : newerEntries(manifestPath, installedPath, kToday))
        names.push_back(entry.name);
    return names;
}

} // namespace

TEST(UpdateManifest, readsShortDatesAsDayNumbers)
{
    struct Case {
        const char* text;
        std::optional<int> day;
    };
    const Case cases[] = {
        // The scale: day 0 is 1899-12-30, day 1997 the default installed date.
        {"1899-12-30", 0},
        {"1905-6-19", kUnknownInstalledDay},
        {"2009-03-07", kToday},
        {" 2009/3/7 ", kToday},
        {"09-3-7", kToday},
        {"99-12-31", dayNumber(1999, 12, 31)},
        {"2008-2-29", dayNumber(2008, 2, 29)},
        // Other forms and impossible dates are unreadable.
        {"", std::nullopt},
        {"2009-3", std::nullopt},
        {"2009-3-7-1", std::nullopt},
        {"2009-2-29", std::nullopt},
        {"2009-13-1", std::nullopt},
        {"2009-3-7 12:00", std::nullopt},
        {"7.3.2009", std::nullopt},
        {"March 7, 2009", std::nullopt},
        {"2009-3/7", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(parseShortDate(c.text), c.day) << c.text;
    EXPECT_EQ(dayNumber(1970, 1, 1), 25569);
}

TEST(UpdateManifest, listsEntriesNewerThanTheInstalledDate)
{
    const std::string installed = "[a_zip]\nDate=2009-3-7\n[Quillmarkbox_exe]\nDate=2009-3-1\n"
                                  "[bad_zip]\nDate=yesterday\n";
    // Same day is not newer, one day later is; the lookup section turns "." into "_".
    EXPECT_EQ(listedNames("[1]\nName=a.zip\nDate=2009-3-7\n", installed), std::vector<std::string>{});
    EXPECT_EQ(listedNames("[1]\nName=a.zip\nDate=2009-3-8\n", installed), std::vector<std::string>{"a.zip"});
    EXPECT_EQ(listedNames("[1]\nName=Quillmarkbox.exe\nDate=2009-3-2\n", installed),
              std::vector<std::string>{"Quillmarkbox.exe"});
    EXPECT_EQ(listedNames("[1]\nName=Quillmarkbox.exe\nDate=2009-2-28\n", installed), std::vector<std::string>{});
    // An unreadable installed date counts as 1905-06-19.
    EXPECT_EQ(listedNames("[1]\nName=bad.zip\nDate=1905-6-20\n", installed), std::vector<std::string>{"bad.zip"});
    EXPECT_EQ(listedNames("[1]\nName=bad.zip\nDate=1905-6-19\n", installed), std::vector<std::string>{});
    // An unreadable or missing remote date counts as today.
    EXPECT_EQ(listedNames("[1]\nName=Quillmarkbox.exe\nDate=soon\n[2]\nName=Quillmarkbox.exe\n", installed),
              (std::vector<std::string>{"Quillmarkbox.exe", "Quillmarkbox.exe"}));
    EXPECT_EQ(listedNames("[1]\nName=a.zip\nDate=soon\n", installed), std::vector<std::string>{});
    EXPECT_EQ(listedNames("[1]\nName=new.zip\nDate=2010-1-1\n", "", false), std::vector<std::string>{"new.zip"});
}

TEST(UpdateManifest, followsTheSectionsInFileOrder)
{
    const std::string manifest = "; published files\n[zeta]\nName=z.zip\nDate=2009-1-1\n"
                                 "[alpha]\nName=a.zip\nDate=2009-1-1\n"
                                 "[ALPHA]\nName=ignored.zip\nDate=2009-1-1\n"
                                 "[mid]\nName=a.zip\nDate=2009-1-2\n";
    EXPECT_EQ(listedNames(manifest, ""), (std::vector<std::string>{"z.zip", "a.zip", "a.zip"}));
}

TEST(UpdateManifest, badManifestsGiveDefaultsOrNothing)
{
    EXPECT_TRUE(listedNames("", "").empty());
    EXPECT_TRUE(listedNames("<html><body>404</body></html>", "").empty());
    EXPECT_TRUE(listedNames(std::string("\0\x01\xff\xfe", 4), "").empty());
    // A section with no keys still makes an item: empty texts, dated today.
    TempFolder folder;
    const std::vector<UpdateEntry> entries =
        newerEntries(folder.write("tmp.ini", "[only]\r\n"), folder.file("update.ini"), kToday);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, "");
    EXPECT_EQ(entries[0].url, "");
    EXPECT_EQ(entries[0].dateText, "");
}

TEST(UpdateManifest, keepsEveryTextAsStored)
{
    TempFolder folder;
    const std::string note = gbk("修正统计");
    const std::vector<UpdateEntry> entries = newerEntries(
        folder.write("tmp.ini", "[s]\nname=a.zip\nDATE=2009-3-8\nSize=12 KB\nnote=" + note + "\nURL=http://h/a.zip\n"),
        folder.file("update.ini"), kToday);
    ASSERT_EQ(entries.size(), 1u);
    EXPECT_EQ(entries[0].name, "a.zip");
    EXPECT_EQ(entries[0].size, "12 KB");
    EXPECT_EQ(entries[0].dateText, "2009-3-8");
    EXPECT_EQ(entries[0].note, note);
    EXPECT_EQ(entries[0].url, "http://h/a.zip");
}

TEST(UpdateManifest, bareFileNamesNeverLeaveTheFolder)
{
    const std::pair<std::string, std::string> cases[] = {
        {"a.zip", "a.zip"},
        {"../a.zip", "a.zip"},
        {"/etc/passwd", "passwd"},
        {"..\\..\\win.ini", "win.ini"},
        {"dir/sub/", ""},
        {"..", ""},
        {"x/.", ""},
        {"", ""},
        {"a/" + gbk("文件.zip"), gbk("文件.zip")},
        {"中/../../x", "x"},
        // Deliberate: these are file-system names, where a 0x5C byte always separates; GBK names
        // from archives are cut on whole characters instead.
        {gbk("乗.zip"), ".zip"},
    };
    for (const auto& [name, bare] : cases)
        EXPECT_EQ(bareFileName(name), bare) << name;
}
