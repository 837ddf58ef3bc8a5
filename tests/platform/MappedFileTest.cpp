#include "platform/FileHandle.h"
#include "platform/MappedFile.h"
#include "support/TempFolder.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mman.h>
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

TEST(MappedFileDeathTest, aBusErrorOutsideTheMappingsStillEndsTheProcess)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    TempFolder folder;
    const std::string guarded = folder.write("guarded.log", std::string(kFileBytes, 'a'));
    const std::string other = folder.write("other.log", std::string(kFileBytes, 'b'));
    EXPECT_DEATH(
        {
            FileHandle guardedFile(open(guarded.c_str(), O_RDONLY));
            auto mapping = MappedFile::map(guardedFile.get(), kFileBytes); // installs the guard
            FileHandle otherFile(open(other.c_str(), O_RDONLY));
            void* plain = mmap(nullptr, kFileBytes, PROT_READ, MAP_SHARED, otherFile.get(), 0);
            if (truncate(other.c_str(), 0) == 0 && mapping)
                readByte(static_cast<const char*>(plain) + 4096);
        },
        "");
}
