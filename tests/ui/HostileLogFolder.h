#pragma once
// A log folder of hostile entries: a pipe without a writer, a device, a folder named like a log, a
// damaged archive, archives that are pipes and, when asked, a pipe that never finishes its line.

#include "UiTestSupport.h"
#include "support/Archives.h"
#include "support/PipeWriter.h"

#include <QString>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>
#include <sys/stat.h>

namespace quill::test {

inline const std::string kHostileFolderLog = kIis6Header + iisLine({.stem = "/a.htm"}) + iisLine({.stem = "/b.htm", .agent = "Baiduspider"});

struct Entry {
    const char* name;
    const char* message; // empty: the entry reads as kHostileFolderLog
};

// In name order; the quiet pipe comes last and keeps whoever reads it waiting.
inline const Entry kEntries[] = {
    {"a.log", ""},
    {"b.log", "No program writes to this pipe"},
    {"c.log", "Not a regular file or a pipe"},
    {"e.log.gz", "压缩文件已损坏: unexpected end of data"},
    {"f.log.gz", ""},
    {"g.zip", "A ZIP archive cannot be read from a pipe"},
};

struct HostileFolder {
    TempFolder folder;
    std::vector<std::unique_ptr<PipeWriter>> pipes;

    explicit HostileFolder(bool quietPipe)
    {
        folder.write("a.log", kHostileFolderLog);
        mkfifo(folder.file("b.log").c_str(), 0600);
        std::filesystem::create_symlink("/dev/zero", folder.file("c.log"));
        std::filesystem::create_directory(folder.file("d.log"));
        const std::string packed = gzipBytes(kHostileFolderLog);
        folder.write("e.log.gz", packed.substr(0, packed.size() - 12));
        pipes.push_back(std::make_unique<PipeWriter>(folder.file("f.log.gz"), packed));
        pipes.push_back(std::make_unique<PipeWriter>(folder.file("g.zip"), zipBytes({{"g.log", kHostileFolderLog}})));
        if (quietPipe) // half a line, then nothing: the reader waits for the rest
            pipes.push_back(std::make_unique<PipeWriter>(folder.file("z.log"), "GET / 200 Baidu", PipeWriter::Then::StayQuiet));
    }
    QString path() const { return QString::fromStdString(folder.path()); }
};

} // namespace quill::test
