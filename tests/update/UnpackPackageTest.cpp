#include "update/UnpackPackage.h"

#include "support/UpdateTestSupport.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <filesystem>

using namespace quill;
using namespace quill::test;

namespace {

// The names of the files a folder holds, sorted.
std::vector<std::string> filesIn(const std::string& folder)
{
    std::vector<std::string> names;
    for (const auto& entry : std::filesystem::recursive_directory_iterator(folder))
        names.push_back(std::filesystem::relative(entry.path(), folder).string());
    std::sort(names.begin(), names.end());
    return names;
}

} // namespace

TEST(UnpackPackage, writesEveryEntryUnderItsBareNameIntoTheFolder)
{
    TempFolder outer;
    const std::string program = outer.file("program");
    std::filesystem::create_directory(program);
    TempFolder::writeFile(program + "/old.txt", "old bytes that are longer than the new ones");
    writeZip(program + "/pkg.zip", {
                                       {"old.txt", "new"},
                                       {"docs/", ""},
                                       {"docs/deep/readme.txt", "read me"},
                                       {"empty.dat", ""},
                                       {"../escaped.txt", "up"},
                                       {"/tmp/absolute.txt", "abs"},
                                       {"..\\back.txt", "back"},
                                       {"sub/..", "dots"},
                                       {"./", ""},
                                   });

    EXPECT_TRUE(unpackPackage(program, "pkg.zip"));

    EXPECT_EQ(filesIn(program), (std::vector<std::string>{"absolute.txt", "back.txt", "empty.dat", "escaped.txt",
                                                          "old.txt", "pkg.zip", "readme.txt"}));
    EXPECT_EQ(readFile(program + "/old.txt"), "new");
    EXPECT_EQ(readFile(program + "/readme.txt"), "read me");
    EXPECT_EQ(readFile(program + "/escaped.txt"), "up");
    EXPECT_EQ(readFile(program + "/empty.dat"), "");
    // Nothing reached the folder above.
    EXPECT_EQ(filesIn(outer.path()).size(), filesIn(program).size() + 1);
}

TEST(UnpackPackage, badArchivesChangeNothing)
{
    TempFolder folder;
    writeZip(folder.file("good.zip"), {{"a.txt", std::string(5000, 'a')}, {"b.txt", "bbb"}});
    const std::string good = readFile(folder.file("good.zip"));
    struct Case {
        const char* what;
        std::string bytes;
    };
    const Case cases[] = {
        {"empty file", ""},
        {"not a zip", "MZ\x90\0 this is an executable"},
        {"truncated before the directory", good.substr(0, good.size() / 2)},
        {"directory cut short", good.substr(0, good.size() - 10)},
    };
    for (const Case& c : cases) {
        folder.write("a.txt", "kept");
        folder.write("bad.zip", c.bytes);
        EXPECT_FALSE(unpackPackage(folder.path(), "bad.zip")) << c.what;
        EXPECT_EQ(readFile(folder.file("a.txt")), "kept") << c.what;
        EXPECT_FALSE(fileExists(folder.file("b.txt"))) << c.what;
    }
    EXPECT_FALSE(unpackPackage(folder.path(), "missing.zip"));
}

TEST(UnpackPackage, aDamagedEntryLeavesNoHalfWrittenFile)
{
    TempFolder folder;
    const std::string payload = "PAYLOAD-" + std::string(20000, 'p');
    writeZip(folder.file("pkg.zip"), {{"first.txt", "first"}, {"second.bin", payload, true}, {"third.txt", "3"}});
    std::string bytes = readFile(folder.file("pkg.zip"));
    const size_t at = bytes.find("PAYLOAD-");
    ASSERT_NE(at, std::string::npos);
    bytes[at + 100] = 'X'; // the stored bytes no longer match their checksum
    folder.write("pkg.zip", bytes);
    folder.write("second.bin", "old second");

    EXPECT_FALSE(unpackPackage(folder.path(), "pkg.zip"));

    EXPECT_EQ(readFile(folder.file("first.txt")), "first");
    EXPECT_EQ(readFile(folder.file("second.bin")), "old second");
    EXPECT_FALSE(fileExists(folder.file("third.txt")));
    EXPECT_EQ(filesIn(folder.path()), (std::vector<std::string>{"first.txt", "pkg.zip", "second.bin"}));
}

TEST(UnpackPackage, anEntryOverAReadOnlyFileEndsTheUnpacking)
{
    TempFolder folder;
    writeZip(folder.file("pkg.zip"), {{"locked.txt", "new"}, {"later.txt", "later"}});
    const std::string locked = folder.write("locked.txt", "old");
    std::filesystem::permissions(locked, std::filesystem::perms::owner_read);

    EXPECT_FALSE(unpackPackage(folder.path(), "pkg.zip"));
    EXPECT_EQ(readFile(locked), "old");
    EXPECT_FALSE(fileExists(folder.file("later.txt")));
}
