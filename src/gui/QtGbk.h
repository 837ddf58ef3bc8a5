#pragma once
// Conversions between the core's GBK bytes and Qt's text, and between QString and file paths.

#include <QString>
#include <string>
#include <string_view>

namespace quill {

QString fromGbk(std::string_view gbk);
std::string toGbk(const QString& text);

// A path as the file system takes it, and back.
std::string toPath(const QString& path);
QString fromPath(std::string_view path);

} // namespace quill
