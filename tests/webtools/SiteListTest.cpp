#include "webtools/SiteList.h"

#include "platform/CodePage.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

using namespace quill;
using quill::test::readFile;
using quill::test::TempFolder;

namespace {

std::string listFile(const std::vector<std::string>& children, const std::string& root = "XMLPacage")
{
    std::string xml = "<" + root + ">";
    for (const std::string& child : children)
        xml += child;
    return xml + "</" + root + ">";
}

std::string url(const std::string& utf8) { return "<url>" + utf8 + "</url>"; }

struct SiteListFolder {
    TempFolder folder;
    std::string path = folder.file("test.xml");

    std::vector<std::string> saved() { return loadSiteList(path).urls; }
};

} // namespace

TEST(SiteList, loadReadsUrlChildrenOrWritesAnEmptyList)
{
    struct Case {
        const char* what;
        std::optional<std::string> file; // nothing: no file
        bool read;
        std::vector<std::string> urls;
    };
    const std::string bom = "\xEF\xBB\xBF";
    const Case cases[] = {
        {"missing", std::nullopt, false, {}},
        {"garbage", std::string("\x01\xFFnot xml <<"), false, {}},
        {"empty", std::string(), false, {}},
        {"with BOM", bom + listFile({url("http://a.test/"), url("\xE7\xAB\x99.test")}), true,
         {"http://a.test/", gbk("站.test")}},
        // Only children named exactly "url" are offered.
        {"foreign children", listFile({url("a.test"), "<URL>b.test</URL>", "<site>c.test</site>", url(" d.test ")}),
         true, {"a.test", " d.test "}},
        {"another root", listFile({url("a.test")}, "sites"), true, {"a.test"}},
    };
    for (const Case& c : cases) {
        SiteListFolder f;
        if (c.file)
            TempFolder::writeFile(f.path, *c.file);
        const SiteListLoad load = loadSiteList(f.path);
        EXPECT_EQ(load.wasRead, c.read) << c.what;
        EXPECT_EQ(load.urls, c.urls) << c.what;
        EXPECT_TRUE(load.written) << c.what;
        if (!c.read) { // replaced by a list that reads back empty
            EXPECT_TRUE(loadSiteList(f.path).wasRead) << c.what;
        }
    }
}

TEST(SiteList, saveAddsNewWholeTextsOnce)
{
    SiteListFolder f;
    // Fewer than four bytes do nothing, not even create the file.
    for (const std::string& tooShort : {std::string("abc"), gbk("站") + "a"})
        EXPECT_FALSE(saveSiteAddress(f.path, tooShort).message) << tooShort;
    EXPECT_FALSE(std::filesystem::exists(f.path));

    SiteListChange added = saveSiteAddress(f.path, gbk("http://站.test"));
    EXPECT_EQ(added.message, gbk("地址保存成功:  http://站.test"));
    EXPECT_EQ(added.dropDown, std::vector<std::string>{gbk("http://站.test")});
    EXPECT_NE(readFile(f.path).find("<url>http://\xE7\xAB\x99.test</url>"), std::string::npos); // UTF-8 on disk

    EXPECT_EQ(saveSiteAddress(f.path, "abcd").message, gbk("地址保存成功:  abcd"));
    EXPECT_EQ(saveSiteAddress(f.path, "ABCD").message, gbk("地址保存成功:  ABCD"));
    const SiteListChange again = saveSiteAddress(f.path, "abcd");
    EXPECT_EQ(again.message, gbk("这个地址存在:  abcd"));
    EXPECT_TRUE(again.dropDown.empty());
    EXPECT_EQ(f.saved(), (std::vector<std::string>{gbk("http://站.test"), "abcd", "ABCD"}));
}

TEST(SiteList, saveComparesForeignChildrenAndReplacesAnUnreadableFile)
{
    SiteListFolder f;
    TempFolder::writeFile(f.path, listFile({"<site>b.test</site>"}));
    EXPECT_EQ(saveSiteAddress(f.path, "b.test").message, gbk("这个地址存在:  b.test"));

    TempFolder::writeFile(f.path, "garbage");
    EXPECT_TRUE(saveSiteAddress(f.path, "c.test").status);
    EXPECT_EQ(f.saved(), std::vector<std::string>{"c.test"});
}

TEST(SiteList, deleteRemovesTheFirstEqualChildAndRebuildsTheDropDown)
{
    SiteListFolder f;
    TempFolder::writeFile(f.path, listFile({url("a.test"), url("b.test"), "<site>x.test</site>", url("b.test"),
                                            url("c.test")}));
    const SiteListChange removed = deleteSiteAddress(f.path, "b.test");
    EXPECT_EQ(removed.message, gbk("删除成功:  b.test"));
    EXPECT_EQ(removed.dropDown, (std::vector<std::string>{"a.test", "x.test", "b.test", "c.test"}));
    EXPECT_EQ(f.saved(), (std::vector<std::string>{"a.test", "b.test", "c.test"}));

    const std::string before = readFile(f.path);
    const SiteListChange missing = deleteSiteAddress(f.path, "B.TEST");
    EXPECT_EQ(missing.message, gbk("保存列表中不存:  B.TEST"));
    EXPECT_EQ(missing.dropDown, (std::vector<std::string>{"a.test", "x.test", "b.test", "c.test"}));
    const SiteListChange tooShort = deleteSiteAddress(f.path, "ab");
    EXPECT_FALSE(tooShort.message);
    EXPECT_TRUE(tooShort.dropDown.empty());
    EXPECT_EQ(readFile(f.path), before);

    TempFolder::writeFile(f.path, "garbage");
    EXPECT_EQ(deleteSiteAddress(f.path, "a.test").message, gbk("保存列表中不存:  a.test"));
    EXPECT_EQ(readFile(f.path), "garbage");
}

TEST(SiteList, aFailedWriteKeepsTheOldFileWhole)
{
    SiteListFolder f;
    const std::string old = listFile({url("a.test"), url("b.test")});
    TempFolder::writeFile(f.path, old);
    std::filesystem::permissions(f.path, std::filesystem::perms::owner_read); // marked read-only

    const SiteListChange saved = saveSiteAddress(f.path, "c.test");
    EXPECT_EQ(saved.status.message().rfind("Unable to write to ", 0), 0u);
    EXPECT_FALSE(saved.message);
    EXPECT_TRUE(saved.dropDown.empty());

    const SiteListChange removed = deleteSiteAddress(f.path, "a.test");
    EXPECT_FALSE(removed.status);
    EXPECT_FALSE(removed.message);
    EXPECT_EQ(removed.dropDown, (std::vector<std::string>{"a.test", "b.test"})); // as the file still is
    EXPECT_EQ(readFile(f.path), old);
    EXPECT_EQ(std::filesystem::directory_iterator(f.folder.path())->path(), f.path); // no temporary left

    // A folder in the file's place can neither be read nor replaced.
    SiteListFolder g;
    std::filesystem::create_directory(g.path);
    const SiteListLoad load = loadSiteList(g.path);
    EXPECT_FALSE(load.wasRead);
    EXPECT_FALSE(load.written);
}
