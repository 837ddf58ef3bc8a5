#include "logsource/LogPathCheck.h"

#include "platform/CodePage.h"
#include "platform/FileSystem.h"

#include <cerrno>
#include <sys/stat.h>

namespace quill {
namespace {

bool isFolder(const std::string& path)
{
    struct stat info {};
    return stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

} // namespace

LogPathProblem checkLogFolder(const std::string& folder)
{
    // An empty setting lists the root, which is there.
    return folder.empty() || isFolder(folder) ? LogPathProblem::None : LogPathProblem::FolderMissing;
}

LogPathProblem checkLogPath(const std::string& folder, const std::string& name)
{
    if (checkLogFolder(folder) != LogPathProblem::None)
        return LogPathProblem::FolderMissing;
    if (name.empty())
        return LogPathProblem::NoName;
    const std::string path = joinPath(folder, name);
    struct stat info {};
    if (stat(path.c_str(), &info) != 0) // other failures are the load's to report
        return errno == ENOENT || errno == ENOTDIR ? LogPathProblem::FileMissing : LogPathProblem::None;
    return S_ISDIR(info.st_mode) ? LogPathProblem::FolderNotFile : LogPathProblem::None;
}

std::string logPathProblemText(LogPathProblem problem)
{
    switch (problem) {
    case LogPathProblem::FolderMissing:
        return gbk("日志目录不存在: ");
    case LogPathProblem::NoName:
        return gbk("请选择或输入日志文件名");
    case LogPathProblem::FileMissing:
        return gbk("找不到日志文件: ");
    case LogPathProblem::FolderNotFile:
        return gbk("这是文件夹, 不是日志文件: ");
    case LogPathProblem::None:
        break;
    }
    return {};
}

std::string unreadableLogText() { return gbk("无法读取日志文件: "); }

} // namespace quill
