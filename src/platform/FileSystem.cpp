#include "platform/FileSystem.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace quill {
namespace {

inline char lowerAscii(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c + 32) : c; }

} // namespace

bool matchesWildcard(std::string_view name, std::string_view pattern)
{
    // Iterative matcher with one backtrack point for the last "*".
    size_t n = 0, p = 0, starP = std::string_view::npos, starN = 0;
    while (n < name.size()) {
        if (p < pattern.size() && (pattern[p] == '?' || lowerAscii(pattern[p]) == lowerAscii(name[n]))) {
            ++n;
            ++p;
        } else if (p < pattern.size() && pattern[p] == '*') {
            starP = p++;
            starN = n;
        } else if (starP != std::string_view::npos) {
            p = starP + 1;
            n = ++starN;
        } else {
            return false;
        }
    }
    while (p < pattern.size() && pattern[p] == '*')
        ++p;
    return p == pattern.size();
}

std::vector<DirectoryEntry> findEntries(const std::string& folder, std::string_view pattern)
{
    std::vector<DirectoryEntry> entries;
    const std::string dirPath = folder.empty() ? std::string(1, kPathSeparator) : folder;
    DIR* dir = opendir(dirPath.c_str());
    if (!dir)
        return entries;
    while (const dirent* entry = readdir(dir)) {
        std::string_view name = entry->d_name;
        if (name == "." || name == ".." || !matchesWildcard(name, pattern))
            continue;
        bool isDirectory = entry->d_type == DT_DIR;
        if (entry->d_type == DT_UNKNOWN || entry->d_type == DT_LNK) {
            struct stat info {};
            isDirectory = stat(joinPath(folder, name).c_str(), &info) == 0 && S_ISDIR(info.st_mode);
        }
        entries.push_back({std::string(name), isDirectory});
    }
    closedir(dir);
    return entries;
}

std::string joinPath(const std::string& folder, std::string_view name)
{
    std::string path = folder;
    path += kPathSeparator;
    path += name;
    return path;
}

std::string folderOfPath(const std::string& path)
{
    const size_t slash = path.rfind(kPathSeparator);
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? path.substr(0, 1) : path.substr(0, slash);
}

std::optional<std::uint64_t> fileSize(const std::string& path)
{
    struct stat info {};
    if (stat(path.c_str(), &info) != 0 || !S_ISREG(info.st_mode))
        return std::nullopt;
    return static_cast<std::uint64_t>(info.st_size);
}

std::optional<std::uint64_t> freeBytes(const std::string& path)
{
    struct statvfs info {};
    if (statvfs(path.c_str(), &info) != 0)
        return std::nullopt;
    return static_cast<std::uint64_t>(info.f_bavail) * info.f_frsize;
}

Result<std::string> renameAside(const std::string& path, std::string_view label)
{
    const std::time_t now = std::time(nullptr);
    std::tm local{};
    localtime_r(&now, &local);
    char stamp[32];
    std::strftime(stamp, sizeof stamp, "%Y%m%d-%H%M%S", &local);
    const std::string stem = path + "." + std::string(label) + "-" + stamp;
    for (int attempt = 1; attempt < 100; ++attempt) {
        const std::string target = attempt == 1 ? stem : stem + "-" + std::to_string(attempt);
        if (renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, target.c_str(), RENAME_NOREPLACE) == 0)
            return target;
        if (errno == EEXIST)
            continue;
        // File systems without the no-replace rename: a link cannot replace either.
        if (errno == EINVAL && link(path.c_str(), target.c_str()) == 0) {
            unlink(path.c_str());
            return target;
        }
        if (errno == EEXIST)
            continue;
        return Status::failure(fileErrorText(errno));
    }
    return Status::failure(fileErrorText(EEXIST));
}

std::string executableFolder()
{
    std::string path(4096, '\0');
    ssize_t length = readlink("/proc/self/exe", path.data(), path.size());
    if (length <= 0)
        return ".";
    path.resize(static_cast<size_t>(length));
    size_t slash = path.rfind(kPathSeparator);
    return slash == std::string::npos ? "." : path.substr(0, slash);
}

std::string settingsFolder()
{
    const std::string programFolder = executableFolder();
    if (access(programFolder.c_str(), W_OK) == 0)
        return programFolder;
    std::string base;
    if (const char* config = std::getenv("XDG_CONFIG_HOME"); config && config[0] == '/')
        base = config;
    else if (const char* home = std::getenv("HOME"); home && home[0] == '/')
        base = joinPath(home, ".config");
    else
        return programFolder;
    mkdir(base.c_str(), 0700);
    const std::string folder = joinPath(base, "quillmarkbox");
    mkdir(folder.c_str(), 0700);
    return folder;
}

Result<size_t> readAtOffset(int fd, std::uint64_t offset, char* into, size_t size)
{
    size_t done = 0;
    while (done < size) {
        const ssize_t got = pread(fd, into + done, size - done, static_cast<off_t>(offset + done));
        if (got < 0 && errno == EINTR)
            continue;
        if (got < 0)
            return Status::failure(fileErrorText(errno));
        if (got == 0)
            break;
        done += static_cast<size_t>(got);
    }
    return done;
}

std::string fileErrorText(int errorNumber)
{
    if (errorNumber == EACCES || errorNumber == EPERM)
        return "File access denied";
    return "I/O error " + std::to_string(errorNumber);
}

} // namespace quill
