#include "update/UnpackPackage.h"

#include "platform/CodePage.h"
#include "support/Archives.h"
#include "support/UpdateTestSupport.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <functional>
#include <sys/resource.h>

using namespace quill;
using namespace quill::test;

namespace {

// The names of the files a folder holds, sorted.
std::vector<std::string> filesBelow(const std::string& folder)
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

    EXPECT_EQ(unpackPackage(program, "pkg.zip"), UnpackResult::Unpacked);

    EXPECT_EQ(filesBelow(program), (std::vector<std::string>{"absolute.txt", "back.txt", "empty.dat", "escaped.txt",
                                                          "old.txt", "pkg.zip", "readme.txt"}));
    EXPECT_EQ(readFile(program + "/old.txt"), "new");
    EXPECT_EQ(readFile(program + "/readme.txt"), "read me");
    EXPECT_EQ(readFile(program + "/escaped.txt"), "up");
    EXPECT_EQ(readFile(program + "/empty.dat"), "");
    // Nothing reached the folder above.
    EXPECT_EQ(filesBelow(outer.path()).size(), filesBelow(program).size() + 1);
}

TEST(UnpackPackage, badArchivesChangeNothing)
{
    TempFolder folder;
    writeZip(folder.file("good.zip"), {{"a.txt", std::string(5000, 'a')}, {"b.txt", "bbb"}});
    const std::string good = readFile(folder.file("good.zip"));
    struct Case {
        const char* what;
        std::string bytes;
        UnpackResult result;
    };
    const Case cases[] = {
        {"empty file", "", UnpackResult::NotAnArchive},
        {"not a zip", "MZ\x90 this is an executable", UnpackResult::NotAnArchive},
        {"truncated before the directory", good.substr(0, good.size() / 2), UnpackResult::Failed},
        {"directory cut short", good.substr(0, good.size() - 10), UnpackResult::Failed},
    };
    for (const Case& c : cases) {
        folder.write("a.txt", "kept");
        folder.write("bad.zip", c.bytes);
        EXPECT_EQ(unpackPackage(folder.path(), "bad.zip"), c.result) << c.what;
        EXPECT_EQ(readFile(folder.file("a.txt")), "kept") << c.what;
        EXPECT_FALSE(fileExists(folder.file("b.txt"))) << c.what;
    }
    EXPECT_EQ(unpackPackage(folder.path(), "missing.zip"), UnpackResult::Failed);
}

TEST(UnpackPackage, aPackageIsWrittenWholeOrNotAtAll)
{
    struct Case {
        const char* what;
        std::function<void(TempFolder&)> spoil; // run after the package is written
    };
    const Case cases[] = {
        {"a damaged entry in the middle",
         [](TempFolder& folder) {
             std::string bytes = readFile(folder.file("pkg.zip"));
             const size_t at = bytes.find("PAYLOAD-");
             bytes[at + 100] = 'X'; // the stored bytes no longer match their checksum
             folder.write("pkg.zip", bytes);
         }},
        {"an entry over a read-only file",
         [](TempFolder& folder) {
             std::filesystem::permissions(folder.file("second.bin"), std::filesystem::perms::owner_read);
         }},
    };
    for (const Case& c : cases) {
        TempFolder folder;
        writeZip(folder.file("pkg.zip"), {{"first.txt", "new first"},
                                          {"second.bin", "PAYLOAD-" + std::string(20000, 'p'), true},
                                          {"third.txt", "3"}});
        folder.write("first.txt", "old first");
        folder.write("second.bin", "old second");
        c.spoil(folder);

        EXPECT_EQ(unpackPackage(folder.path(), "pkg.zip"), UnpackResult::Failed) << c.what;

        EXPECT_EQ(readFile(folder.file("first.txt")), "old first") << c.what;
        EXPECT_EQ(readFile(folder.file("second.bin")), "old second") << c.what;
        EXPECT_EQ(filesBelow(folder.path()), (std::vector<std::string>{"first.txt", "pkg.zip", "second.bin"})) << c.what;
    }
}

TEST(UnpackPackage, refusesPackagesLargerThanTheyMayBe)
{
    // An 8 MB entry compresses to a few KB: the classic small file with a huge content.
    const std::string zeros(8 << 20, '\0');
    struct Case {
        const char* what;
        std::vector<ZipEntry> entries;
        std::vector<std::pair<size_t, std::uint32_t>> declared; // (entry, uncompressed size) written into both headers
        bool onlyLocalHeader;
        std::uint64_t limit;
        UnpackResult result;
    };
    const Case cases[] = {
        {"declared size above the limit", {{"a.txt", "a"}, {"zeros.bin", zeros}}, {}, false, 1 << 20,
         UnpackResult::TooLarge},
        {"entries together above the limit", {{"a.txt", std::string(600000, 'a')}, {"b.txt", std::string(600000, 'b')}},
         {}, false, 1 << 20, UnpackResult::TooLarge},
        {"a small file declaring 4 GB", {{"a.txt", "a"}, {"huge.bin", "tiny", true}}, {{1, 0xFFFFFFF0u}}, false,
         kUnpackLimit, UnpackResult::TooLarge},
        {"a file unpacking to more than it declares", {{"a.txt", "a"}, {"zeros.bin", zeros}}, {{1, 1000}}, false,
         kUnpackLimit, UnpackResult::Failed},
        {"a local header lying about the size", {{"a.txt", "a"}, {"zeros.bin", zeros}}, {{1, 1000}}, true,
         kUnpackLimit, UnpackResult::Failed},
    };
    for (const Case& c : cases) {
        TempFolder folder;
        writeZip(folder.file("pkg.zip"), c.entries);
        for (const auto& [entry, size] : c.declared)
            setDeclaredSize(folder.file("pkg.zip"), entry, size, c.onlyLocalHeader);
        folder.write("a.txt", "old");

        EXPECT_EQ(unpackPackage(folder.path(), "pkg.zip", c.limit), c.result) << c.what;

        EXPECT_EQ(readFile(folder.file("a.txt")), "old") << c.what;
        EXPECT_EQ(filesBelow(folder.path()), (std::vector<std::string>{"a.txt", "pkg.zip"})) << c.what;
    }
}

TEST(UnpackPackage, aFullDiskReplacesNothing)
{
    TempFolder folder;
    writeZip(folder.file("pkg.zip"), {{"small.txt", "new small"}, {"big.bin", std::string(300000, 'b')}});
    folder.write("small.txt", "old small");
    // A child process may write no file larger than 64 KB: the big entry meets a full disk.
    const int status = runInChild([&] {
        const rlimit limit{64 << 10, 64 << 10};
        signal(SIGXFSZ, SIG_IGN);
        setrlimit(RLIMIT_FSIZE, &limit);
        return unpackPackage(folder.path(), "pkg.zip") == UnpackResult::Failed ? 0 : 1;
    });
    EXPECT_EQ(status, 0);
    EXPECT_EQ(readFile(folder.file("small.txt")), "old small");
    EXPECT_EQ(filesBelow(folder.path()), (std::vector<std::string>{"pkg.zip", "small.txt"}));
}

TEST(UnpackPackage, namesWithoutTheUtf8MarkAreGbk)
{
    TempFolder folder;
    // libzip marks a name as UTF-8 exactly when it is valid UTF-8; GBK names go unmarked, as
    // Chinese zip tools write them.
    writeZip(folder.file("pkg.zip"), {
                                         {gbk("词库.txt"), "gbk"},
                                         {gbk("资料\\乗.txt"), "trail byte 0x5C"},
                                         {gbk("资料/说明.txt"), "in a folder"},
                                         {"新/词.txt", "utf-8"},
                                     });
    folder.write("词库.txt", "old");

    EXPECT_EQ(unpackPackage(folder.path(), "pkg.zip"), UnpackResult::Unpacked);

    EXPECT_EQ(filesBelow(folder.path()),
              (std::vector<std::string>{"pkg.zip", "乗.txt", "词.txt", "词库.txt", "说明.txt"}));
    EXPECT_EQ(readFile(folder.file("词库.txt")), "gbk");
    EXPECT_EQ(readFile(folder.file("乗.txt")), "trail byte 0x5C");
}

TEST(UnpackPackage, bareGbkNamesKeepWholeCharacters)
{
    const std::pair<std::string, std::string> cases[] = {
        {gbk("乗.zip"), "乗.zip"},           // 0x81 0x5C is one character, not a separator
        {gbk("目录\\乗"), "乗"},
        {gbk("a/b\\c.txt"), "c.txt"},
        {gbk("目录/"), ""},
        {"..", ""},
        {"x\\.", ""},
        {"", ""},
    };
    for (const auto& [name, bare] : cases)
        EXPECT_EQ(bareGbkFileName(name), bare) << bare;
}

TEST(UnpackPackage, entriesSharingTheirDataAreRefused)
{
    const std::string text(200000, 'w');
    const RawZipEntry a = quill::test::deflatedEntry("a.txt", text);
    const RawZipEntry b = quill::test::deflatedEntry("b.txt", text);
    const struct {
        const char* what;
        std::string bytes;
        UnpackResult result;
    } cases[] = {
        {"one after another", rawZip({a, b}), UnpackResult::Unpacked},
        {"overlapping", overlappingZip(text, 4), UnpackResult::Failed},
        {"listed out of order", rawZip({a, b}, {1, 0}), UnpackResult::Failed},
    };
    for (const auto& c : cases) {
        TempFolder folder;
        folder.write("pkg.zip", c.bytes);
        folder.write("a.txt", "old");
        EXPECT_EQ(unpackPackage(folder.path(), "pkg.zip"), c.result) << c.what;
        if (c.result == UnpackResult::Unpacked) {
            EXPECT_EQ(readFile(folder.file("b.txt")), text) << c.what;
            continue;
        }
        EXPECT_EQ(readFile(folder.file("a.txt")), "old") << c.what;
        EXPECT_EQ(filesIn(folder.path()), (std::vector<std::string>{"a.txt", "pkg.zip"})) << c.what;
    }
}
