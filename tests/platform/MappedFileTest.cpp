#include "platform/FileHandle.h"
#include "platform/MappedFile.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <filesystem>
#include <sys/mman.h>
#include <set>
#include <unistd.h>

using namespace quill;
using namespace quill::test;

namespace {

constexpr size_t kFileBytes = 12 * 4096;

char readByte(const char* at) { return *static_cast<const volatile char*>(at); }

} // namespace

TEST(MappedFile, pagesPastTheEndOfAFileCutShortReadAsZeros)
{
    TempFolder folder;
    const std::string path = folder.write("cut.log", std::string(kFileBytes, 'a'));
    FileHandle file(open(path.c_str(), O_RDONLY));
    auto mapping = MappedFile::map(file.get(), kFileBytes);
    ASSERT_TRUE(mapping);
    EXPECT_EQ(readByte(mapping->data() + kFileBytes - 1), 'a');
    EXPECT_FALSE(mapping->faulted());
    ASSERT_EQ(truncate(path.c_str(), 4096), 0);

    EXPECT_EQ(readByte(mapping->data()), 'a');
    EXPECT_EQ(readByte(mapping->data() + 4095), 'a');
    EXPECT_EQ(readByte(mapping->data() + 4096), '\0');
    EXPECT_EQ(readByte(mapping->data() + kFileBytes - 1), '\0');
    EXPECT_TRUE(mapping->faulted());
}

TEST(MappedFile, leavesWhatCannotBeMappedToBeRead)
{
    TempFolder folder;
    FileHandle empty(open(folder.write("empty.log", "").c_str(), O_RDONLY));
    EXPECT_FALSE(MappedFile::map(empty.get(), 0));

    int ends[2];
    ASSERT_EQ(pipe(ends), 0);
    FileHandle reading(ends[0]), writing(ends[1]);
    EXPECT_FALSE(MappedFile::map(reading.get(), 4096));
}

namespace {

// Folders in the temp folder that hold a file of this name.
std::set<std::string> foldersHolding(const std::string& name)
{
    std::set<std::string> folders;
    for (const auto& entry : std::filesystem::directory_iterator(std::filesystem::temp_directory_path()))
        if (std::filesystem::exists(entry.path() / name))
            folders.insert(entry.path().string());
    return folders;
}

// Maps one file with the guard, reads past the end of another mapping cut short: the process
// dies. The folder goes first, since the dying child made a folder of its own.
void readPastTheEndOfAnUnguardedMapping(const TempFolder& folder)
{
    const std::string guarded = folder.write("guarded.log", std::string(kFileBytes, 'a'));
    const std::string other = folder.write("other.log", std::string(kFileBytes, 'b'));
    FileHandle guardedFile(open(guarded.c_str(), O_RDONLY));
    auto mapping = MappedFile::map(guardedFile.get(), kFileBytes); // installs the guard
    FileHandle otherFile(open(other.c_str(), O_RDONLY));
    void* plain = mmap(nullptr, kFileBytes, PROT_READ, MAP_SHARED, otherFile.get(), 0);
    const bool cut = truncate(other.c_str(), 0) == 0;
    std::filesystem::remove_all(folder.path());
    if (cut && mapping)
        readByte(static_cast<const char*>(plain) + 4096);
}

} // namespace

TEST(MappedFileDeathTest, aBusErrorOutsideTheMappingsStillEndsTheProcess)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    const std::set<std::string> before = foldersHolding("guarded.log");
    {
        TempFolder folder;
        EXPECT_DEATH(readPastTheEndOfAnUnguardedMapping(folder), "");
    }
    EXPECT_EQ(foldersHolding("guarded.log"), before); // nothing left behind by parent or child
}
