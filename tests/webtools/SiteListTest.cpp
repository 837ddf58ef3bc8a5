#include "webtools/SiteList.h"

#include "platform/CodePage.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <cstdlib>
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

    // The files an unreadable list was renamed to.
    std::vector<std::string> keptAside() const
    {
        std::vector<std::string> names;
        for (const auto& entry : std::filesystem::directory_iterator(folder.path()))
            if (entry.path().filename().string().starts_with("test.xml.damaged-"))
                names.push_back(entry.path().string());
        return names;
    }
};

// Entries nested `depth` elements deep inside the first url.
std::string deepList(size_t depth)
{
    std::string xml = "<XMLPacage><url>a.test";
    for (size_t i = 0; i < depth; ++i)
        xml += "<b>";
    for (size_t i = 0; i < depth; ++i)
        xml += "</b>";
    return xml + "</url><url>b.test</url></XMLPacage>";
}

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
        {"empty", std::string(), false, {}},
        {"blanks", std::string(" \r\n"), false, {}},
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

TEST(SiteList, anUnreadableListIsKeptAsideNeverOverwritten)
{
    const std::string whole = listFile({url("http://a.test/"), url("http://b.test/")});
    struct Case {
        const char* what;
        std::string bytes;
    };
    const Case cases[] = {
        {"cut short", whole.substr(0, whole.size() - 12)},
        {"a NUL byte", whole.substr(0, 20) + std::string(1, '\0') + whole.substr(20)},
        {"garbage", std::string("\x01\xFFnot xml <<")},
        {"no root element", std::string("<?xml version=\"1.0\"?><!-- nothing -->")},
        // Deep enough to overflow the stack of a recursive walk.
        {"400000 nested elements", deepList(400000)},
    };
    for (const Case& c : cases) {
        // At start-up: kept aside byte for byte, said once, then an empty list.
        SiteListFolder f;
        TempFolder::writeFile(f.path, c.bytes);
        const SiteListLoad load = loadSiteList(f.path);
        EXPECT_FALSE(load.wasRead) << c.what;
        EXPECT_TRUE(load.urls.empty()) << c.what;
        EXPECT_TRUE(load.written) << c.what;
        const std::vector<std::string> aside = f.keptAside();
        ASSERT_EQ(aside.size(), 1u) << c.what;
        EXPECT_EQ(readFile(aside[0]), c.bytes) << c.what;
        ASSERT_TRUE(load.keptAside) << c.what;
        EXPECT_NE(load.keptAside->find(utf8ToGbk(aside[0])), std::string::npos) << c.what;
        const SiteListLoad again = loadSiteList(f.path);
        EXPECT_TRUE(again.wasRead) << c.what;
        EXPECT_FALSE(again.keptAside) << c.what;

        // "保存" keeps it aside too before writing the new address; "删除" writes nothing.
        SiteListFolder g;
        TempFolder::writeFile(g.path, c.bytes);
        EXPECT_EQ(deleteSiteAddress(g.path, "http://a.test/").message, gbk("保存列表中不存:  http://a.test/")) << c.what;
        EXPECT_EQ(readFile(g.path), c.bytes) << c.what;
        const SiteListChange saved = saveSiteAddress(g.path, "c.test");
        EXPECT_TRUE(saved.status) << c.what;
        EXPECT_TRUE(saved.keptAside) << c.what;
        EXPECT_EQ(saved.message, gbk("地址保存成功:  c.test")) << c.what;
        ASSERT_EQ(g.keptAside().size(), 1u) << c.what;
        EXPECT_EQ(readFile(g.keptAside()[0]), c.bytes) << c.what;
        EXPECT_EQ(g.saved(), std::vector<std::string>{"c.test"}) << c.what;
    }

    // Two damaged lists in the same second keep both.
    SiteListFolder f;
    TempFolder::writeFile(f.path, "one");
    EXPECT_TRUE(loadSiteList(f.path).keptAside);
    TempFolder::writeFile(f.path, "two");
    EXPECT_TRUE(loadSiteList(f.path).keptAside);
    EXPECT_EQ(f.keptAside().size(), 2u);

    // A list nested as deep as the limit still reads.
    TempFolder::writeFile(f.path, deepList(250));
    EXPECT_EQ(f.saved(), (std::vector<std::string>{"a.test", "b.test"}));
}

TEST(SiteList, saveComparesForeignChildren)
{
    SiteListFolder f;
    TempFolder::writeFile(f.path, listFile({"<site>b.test</site>"}));
    EXPECT_EQ(saveSiteAddress(f.path, "b.test").message, gbk("这个地址存在:  b.test"));
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

namespace {

// True when an independent parser finds the file well-formed.
bool wellFormed(const std::string& path)
{
    const std::string command = "xmllint --noout '" + path + "' 2>/dev/null";
    return std::system(command.c_str()) == 0;
}

std::string utf16le(const std::string& utf8)
{
    std::string out = "\xFF\xFE";
    const std::u16string units = [&] {
        std::u16string u;
        for (size_t i = 0; i < utf8.size();) {
            const auto b = static_cast<unsigned char>(utf8[i]);
            char32_t c = b;
            size_t n = 1;
            if (b >= 0xE0) {
                c = ((b & 0x0F) << 12) | ((utf8[i + 1] & 0x3F) << 6) | (utf8[i + 2] & 0x3F);
                n = 3;
            } else if (b >= 0xC0) {
                c = ((b & 0x1F) << 6) | (utf8[i + 1] & 0x3F);
                n = 2;
            }
            u.push_back(static_cast<char16_t>(c));
            i += n;
        }
        return u;
    }();
    for (char16_t unit : units) {
        out.push_back(static_cast<char>(unit & 0xFF));
        out.push_back(static_cast<char>(unit >> 8));
    }
    return out;
}

} // namespace

TEST(SiteList, chineseAddressesSurviveEveryEncodingAndAreRewrittenAsUtf8)
{
    const std::string chinese = "http://\xE4\xB8\xAD\xE6\x96\x87.test/\xE9\xA6\x96\xE9\xA1\xB5"; // 中文 ... 首页
    const std::string gbkChinese = gbk(chinese);
    const std::string body = listFile({url("http://a.test/"), url(chinese)});
    struct Case {
        const char* what;
        std::string bytes;
    };
    const Case cases[] = {
        {"utf-8 declared", "<?xml version=\"1.0\" encoding=\"UTF-8\"?>" + body},
        {"utf-8 undeclared", body},
        {"gb2312 declared", "<?xml version=\"1.0\" encoding=\"gb2312\"?>" + gbk(body)},
        {"gbk declared", "<?xml version='1.0' encoding='GBK'?>\r\n" + gbk(body)},
        {"gb18030 declared", "<?xml version=\"1.0\" encoding=\"gb18030\"?>" + gbk(body)},
        {"utf-16 with BOM", utf16le("<?xml version=\"1.0\" encoding=\"UTF-16\"?>" + body)},
        // What earlier versions left after a save: GBK bytes and no declaration.
        {"raw gbk", gbk(body)},
    };
    for (const Case& c : cases) {
        SiteListFolder f;
        TempFolder::writeFile(f.path, c.bytes);
        const SiteListLoad load = loadSiteList(f.path);
        EXPECT_TRUE(load.wasRead) << c.what;
        EXPECT_EQ(load.urls, (std::vector<std::string>{"http://a.test/", gbkChinese})) << c.what;
        // Found, so it can be deleted; the rewrite is UTF-8, declared, and loses nothing else.
        EXPECT_EQ(saveSiteAddress(f.path, gbkChinese).message, gbk("这个地址存在:  ") + gbkChinese) << c.what;
        EXPECT_EQ(deleteSiteAddress(f.path, gbkChinese).message, gbk("删除成功:  ") + gbkChinese) << c.what;
        EXPECT_TRUE(readFile(f.path).starts_with("<?xml version=\"1.0\" encoding=\"UTF-8\"?>")) << c.what;
        EXPECT_TRUE(wellFormed(f.path)) << c.what;
        EXPECT_EQ(f.saved(), std::vector<std::string>{"http://a.test/"}) << c.what;
        ASSERT_TRUE(saveSiteAddress(f.path, gbkChinese).status) << c.what;
        EXPECT_TRUE(wellFormed(f.path)) << c.what;
        EXPECT_EQ(f.saved(), (std::vector<std::string>{"http://a.test/", gbkChinese})) << c.what;
    }
}

TEST(SiteList, aListWithABadUtf8SequenceReadsBackAfterASave)
{
    // Found by fuzzing: the bad bytes were kept and written back under the UTF-8 declaration, and
    // the next read took the whole file for GBK.
    for (const std::string& start : {std::string("\xEF\xBB\xBF"), std::string("<?xml version=\"1.0\" encoding=\"UTF-8\"?>")}) {
        SiteListFolder f;
        TempFolder::writeFile(f.path, start + listFile({"<url><![CDATA[http://a.test/\xEF@\xBF]]></url>", url("b.test")}));
        ASSERT_EQ(f.saved().size(), 2u);
        ASSERT_TRUE(saveSiteAddress(f.path, "c.test").status);
        const SiteListLoad load = loadSiteList(f.path);
        EXPECT_TRUE(load.wasRead);
        EXPECT_FALSE(load.keptAside);
        ASSERT_EQ(load.urls.size(), 3u);
        EXPECT_EQ(load.urls[1], "b.test");
        EXPECT_EQ(load.urls[2], "c.test");
    }
}

TEST(SiteList, addressesWithControlCharactersAreRefused)
{
    for (const std::string& address : {std::string("http://a.test/\r\nb"), std::string("http://a\tb.test/"), std::string("http://a\x01.test"),
                                      std::string("http://a.test/\x7F")}) {
        SiteListFolder f;
        ASSERT_TRUE(saveSiteAddress(f.path, "http://ok.test/").status);
        const std::string before = readFile(f.path);
        const SiteListChange change = saveSiteAddress(f.path, address);
        EXPECT_FALSE(change.status) << address;
        EXPECT_EQ(change.status.message(), gbk("地址中有控制字符（如换行或制表符），不能保存"));
        EXPECT_FALSE(change.message);
        EXPECT_TRUE(change.dropDown.empty());
        EXPECT_EQ(readFile(f.path), before);
        EXPECT_TRUE(wellFormed(f.path));
    }
}

TEST(SiteList, everySavedFileIsWellFormed)
{
    SiteListFolder f;
    loadSiteList(f.path); // the empty list written at first start
    EXPECT_TRUE(wellFormed(f.path));
    for (const std::string& address : {std::string("http://a.test/?x=1&y=<2>"), gbk("http://站点.test/\"'"),
                                      std::string("http://b.test/]]>")}) {
        ASSERT_TRUE(saveSiteAddress(f.path, address).status);
        EXPECT_TRUE(wellFormed(f.path)) << address;
    }
    EXPECT_EQ(f.saved().size(), 3u);
}
