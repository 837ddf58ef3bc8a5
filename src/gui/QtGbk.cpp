#include "gui/QtGbk.h"

#include "platform/CodePage.h"

#include <QFile>
#include <algorithm>

namespace quill {

QString fromGbk(std::string_view gbk)
{
    // Most log fields are ASCII, which needs no code page conversion.
    if (std::none_of(gbk.begin(), gbk.end(), [](char c) { return (c & 0x80) != 0; }))
        return QString::fromLatin1(gbk.data(), static_cast<qsizetype>(gbk.size()));
    const std::string utf8 = gbkToUtf8(gbk);
    return QString::fromUtf8(utf8.data(), static_cast<qsizetype>(utf8.size()));
}

std::string toGbk(const QString& text)
{
    const QByteArray utf8 = text.toUtf8();
    return utf8ToGbk(std::string_view(utf8.constData(), static_cast<size_t>(utf8.size())));
}

std::string toPath(const QString& path) { return QFile::encodeName(path).toStdString(); }

QString fromPath(std::string_view path)
{
    return QFile::decodeName(QByteArray(path.data(), static_cast<qsizetype>(path.size())));
}

} // namespace quill
