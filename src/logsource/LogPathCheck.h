#pragma once
// Why a log path gives nothing to read, in plain words for the summary line and the statistics
// page, instead of an empty list that looks like an empty log.

#include <string>

namespace quill {

enum class LogPathProblem { None, FolderMissing, NoName, FileMissing, FolderNotFile };

// What is wrong with reading `name` in `folder` (file-system names); None when it names a file
// (which may still fail to read).
LogPathProblem checkLogPath(const std::string& folder, const std::string& name);

// FolderMissing or None for a folder that the statistics would list.
LogPathProblem checkLogFolder(const std::string& folder);

// The words for a problem, in GBK, ending where the name or folder follows ("日志目录不存在: ").
std::string logPathProblemText(LogPathProblem problem);

// "无法读取日志文件: " in GBK, which the file name and the error follow.
std::string unreadableLogText();

} // namespace quill
