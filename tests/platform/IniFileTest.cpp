#include "platform/IniFile.h"

#include "platform/CodePage.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <functional>
#include <fstream>
#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

using namespace quill;
using quill::test::readFile;
using quill::test::TempFolder;

namespace {

size_t entryCount(const std::string& folder)
{
    auto entries = std::filesystem::directory_iterator(folder);
    return static_cast<size_t>(std::distance(begin(entries), end(entries)));
}

} // namespace

TEST(IniFile, readsValuesAsTheProfileFunctionsDo)
{
    struct Case {
        const char* what;
        std::string content;
        std::string section;
        std::string key;
        std::string expected;
    };
    const std::string zhong = "\xD6\xD0"; // 中
    const Case cases[] = {
        {"plain", "[a]\r\nk=v\r\n", "a", "k", "v"},
        {"names ignore ASCII case", "[SeCt]\nKEY=v\n", "sect", "key", "v"},
        {"GBK section name", "[" + gbk("基本") + "]\nk=v\n", gbk("基本"), "k", "v"},
        // 0xB0 0x41 and 0xB0 0x61 are two characters; their trail bytes are not letters.
        {"trail byte is no letter", "[\xB0\x41]\nk=v\n", "\xB0\x61", "k", "D"},
        {"blanks around name and value", "  [ a ]  \n  k  =  v w  \n", "a", "k", "v w"},
        {"empty value is no default", "[a]\nk=\n", "a", "k", ""},
        {"value holding =", "[a]\nk=x=y\n", "a", "k", "x=y"},
        {"GBK value unchanged", "[a]\nk=" + zhong + "\xB0\x61\n", "a", "k", zhong + "\xB0\x61"},
        {"missing key", "[a]\nk=v\n", "a", "j", "D"},
        {"missing section", "[a]\nk=v\n", "b", "k", "D"},
        {"key of another section", "[a]\nx=1\n[b]\nk=v\n", "a", "k", "D"},
        {"key before any section", "k=v\n[a]\n", "a", "k", "D"},
        {"first duplicate key wins", "[a]\nk=1\nk=2\n", "a", "k", "1"},
        {"first duplicate section wins", "[a]\nk=1\n[A]\nk=2\n", "a", "k", "1"},
        {"later duplicate section is not searched", "[a]\nx=1\n[a]\nk=2\n", "a", "k", "D"},
        {"comment line is no key", "[a]\n;k=1\nk=2\n", "a", "k", "2"},
        {"garbage lines", "\x01\x02junk\n[a\n=x\n]]\n[a]\nnoise\nk=v\n", "a", "k", "v"},
        {"no trailing line end", "[a]\nk=v", "a", "k", "v"},
        {"UTF-8 BOM before the first section", "\xEF\xBB\xBF[a]\r\nk=v\r\n", "a", "k", "v"},
        {"CR-only line ends", "[a]\rx=1\r[b]\rk=w\r", "b", "k", "w"},
        {"empty file", "", "a", "k", "D"},
    };
    for (const Case& c : cases) {
        TempFolder folder;
        IniFile ini(folder.write("t.ini", c.content));
        EXPECT_EQ(ini.readString(c.section, c.key, "D"), c.expected) << c.what;
        // The file read once answers the same.
        const IniSnapshot snapshot(ini.path());
        EXPECT_EQ(snapshot.readString(c.section, c.key, "D"), c.expected) << c.what;
        EXPECT_EQ(snapshot.sectionNames(), ini.sectionNames()) << c.what;
    }
    TempFolder folder;
    EXPECT_EQ(IniFile(folder.file("missing.ini")).readString("a", "k", "D"), "D");
    EXPECT_EQ(IniSnapshot(folder.file("missing.ini")).readString("a", "k", "D"), "D");
    EXPECT_TRUE(IniSnapshot(folder.file("missing.ini")).sectionNames().empty());
}

TEST(IniFile, cutsLongValuesAfter2047Characters)
{
    const std::string zhong = "\xD6\xD0";
    struct Case {
        const char* what;
        std::string value;
        std::string expected;
    };
    std::string doubleBytes;
    for (int i = 0; i < 3000; ++i)
        doubleBytes += zhong;
    const Case cases[] = {
        {"10 KB of ASCII", std::string(10240, 'x'), std::string(2047, 'x')},
        {"double-byte characters count once", doubleBytes, doubleBytes.substr(0, 2 * 2047)},
        {"no character split at the cut", "a" + doubleBytes, "a" + doubleBytes.substr(0, 2 * 2046)},
        {"exactly 2047 kept", std::string(2047, 'y'), std::string(2047, 'y')},
    };
    for (const Case& c : cases) {
        TempFolder folder;
        IniFile ini(folder.write("t.ini", "[a]\nk=" + c.value + "\n"));
        EXPECT_EQ(ini.readString("a", "k", ""), c.expected) << c.what;
        EXPECT_EQ(IniSnapshot(ini.path()).readString("a", "k", ""), c.expected) << c.what;
    }
}

TEST(IniFile, readsIntegersAndBooleansWithDefaultForOtherText)
{
    struct Case {
        const char* value;
        int integer; // read with default 42
        bool flag;   // read with default true
    };
    const Case cases[] = {
        {"0", 0, false},       {"1", 1, true},          {"-1", -1, true},      {" 7 ", 7, true},
        {"$10", 16, true},     {"0x1f", 31, true},      {"+5", 5, true},       {"word", 42, true},
        {"", 42, true},        {"1.5", 42, true},       {"12abc", 42, true},   {"99999999999", 42, true},
        {"$FFFFFFFF", -1, true}, {"$100000000", 42, true}, {"$", 42, true},    {"0x", 42, true},
        {"2147483647", 2147483647, true}, {"2147483648", 42, true}, {"-2147483648", INT32_MIN, true},
    };
    for (const Case& c : cases) {
        TempFolder folder;
        IniFile ini(folder.write("t.ini", std::string("[a]\nk=") + c.value + "\n"));
        EXPECT_EQ(ini.readInteger("a", "k", 42), c.integer) << c.value;
        EXPECT_EQ(ini.readBool("a", "k", true), c.flag) << c.value;
        const IniSnapshot snapshot(ini.path());
        EXPECT_EQ(snapshot.readInteger("A", "K", 42), c.integer) << c.value;
        EXPECT_EQ(snapshot.readBool("a", "k", true), c.flag) << c.value;
    }
    TempFolder folder;
    IniFile ini(folder.write("t.ini", "[a]\nk=word\n"));
    EXPECT_FALSE(ini.readBool("a", "k", false));
    EXPECT_FALSE(ini.readBool("a", "missing", false));
}

TEST(IniFile, writeChangesOnlyItsOwnLine)
{
    struct Case {
        const char* what;
        std::string before;
        std::string section, key, value;
        std::string after;
    };
    const Case cases[] = {
        {"first write creates the file", "", "s", "k", "v", "[s]\r\nk=v\r\n"},
        {"value replaced, other lines kept", "; note\r\n[s]\r\njunk line\r\nk=old\r\nx=1\r\n",
         "s", "k", "new", "; note\r\n[s]\r\njunk line\r\nk=new\r\nx=1\r\n"},
        {"existing spelling and indentation kept", "[S]\n  Key = old\n", "s", "KEY", "v",
         "[S]\n  Key=v\n"},
        {"key added after the section's last line", "[a]\r\nx=1\r\n\r\n[b]\r\ny=2\r\n", "a", "k", "v",
         "[a]\r\nx=1\r\nk=v\r\n\r\n[b]\r\ny=2\r\n"},
        {"section added in the file's line-end style", "[a]\nx=1\n", "b", "k", "v",
         "[a]\nx=1\n[b]\nk=v\n"},
        {"unterminated last line ended before an addition", "[a]\nx=1", "a", "k", "v",
         "[a]\nx=1\nk=v\n"},
        {"unterminated last line left alone", "[a]\nk=1\n[b]\nx=1", "a", "k", "2",
         "[a]\nk=2\n[b]\nx=1"},
        {"CR-only file", "[a]\rx=1\r", "a", "k", "v", "[a]\rx=1\rk=v\r"},
        {"BOM kept", "\xEF\xBB\xBF[a]\r\nk=1\r\n", "A", "k", "2", "\xEF\xBB\xBF[a]\r\nk=2\r\n"},
        {"first of duplicate keys changed", "[a]\nk=1\nk=2\n", "a", "k", "9", "[a]\nk=9\nk=2\n"},
        {"first of duplicate sections gets the key", "[a]\nx=1\n[a]\nk=2\n", "a", "k", "v",
         "[a]\nx=1\nk=v\n[a]\nk=2\n"},
        {"10 KB value written whole", "", "a", "k", std::string(10240, 'v'),
         "[a]\r\nk=" + std::string(10240, 'v') + "\r\n"},
        {"value cut at a line break", "", "s", "k", "one\r\n[x]\r\ny=2", "[s]\r\nk=one\r\n"},
        {"GBK bytes written unchanged", "", gbk("基本"), gbk("日志目录"), gbk("D:\\日志"),
         "[" + gbk("基本") + "]\r\n" + gbk("日志目录") + "=" + gbk("D:\\日志") + "\r\n"},
    };
    for (const Case& c : cases) {
        TempFolder folder;
        const std::string path = folder.file("t.ini");
        if (!c.before.empty())
            folder.write("t.ini", c.before);
        IniFile ini(path);
        ASSERT_TRUE(ini.writeString(c.section, c.key, c.value).ok()) << c.what;
        EXPECT_EQ(readFile(path), c.after) << c.what;
        EXPECT_EQ(entryCount(folder.path()), 1u) << c.what << ": a temporary file was left";
    }
}

TEST(IniFile, keepsTheFilePermissions)
{
    TempFolder folder;
    const std::string path = folder.write("t.ini", "[a]\nk=1\n");
    chmod(path.c_str(), 0640);
    ASSERT_TRUE(IniFile(path).writeString("a", "k", "2").ok());
    struct stat info {};
    stat(path.c_str(), &info);
    EXPECT_EQ(info.st_mode & 0777, 0640u);
}

TEST(IniFile, failedWriteNamesTheFileAndLosesNothing)
{
    struct Case {
        const char* what;
        // Prepares the folder and returns the path to write to.
        std::function<std::string(const TempFolder&)> prepare;
    };
    const Case cases[] = {
        {"read-only file",
         [](const TempFolder& folder) {
             std::string path = folder.write("t.ini", "[a]\nk=1\n");
             chmod(path.c_str(), 0444);
             return path;
         }},
        {"missing folder", [](const TempFolder& folder) { return folder.file("none/t.ini"); }},
        {"a folder in the file's place",
         [](const TempFolder& folder) {
             std::filesystem::create_directory(folder.file("t.ini"));
             return folder.file("t.ini");
         }},
    };
    for (const Case& c : cases) {
        TempFolder folder;
        const std::string path = c.prepare(folder);
        const std::string before = std::filesystem::is_regular_file(path) ? readFile(path) : "";
        const size_t entries = entryCount(folder.path());
        const Status status = IniFile(path).writeString("a", "k", "2");
        EXPECT_FALSE(status.ok()) << c.what;
        EXPECT_EQ(status.message(), "Unable to write to " + path) << c.what;
        if (!before.empty()) {
            EXPECT_EQ(readFile(path), before) << c.what;
        }
        EXPECT_EQ(entryCount(folder.path()), entries) << c.what << ": a temporary file was left";
    }
}

TEST(IniFile, failsInAReadOnlyFolder)
{
    if (geteuid() == 0)
        GTEST_SKIP() << "an administrator may write to any folder";
    TempFolder folder;
    const std::string path = folder.write("t.ini", "[a]\nk=1\n");
    chmod(folder.path().c_str(), 0555);
    const Status status = IniFile(path).writeString("a", "k", "2");
    chmod(folder.path().c_str(), 0755);
    EXPECT_EQ(status.message(), "Unable to write to " + path);
    EXPECT_EQ(readFile(path), "[a]\nk=1\n");
}
