#pragma once
// Helpers for offscreen widget tests.

#include "support/LogFixtures.h"
#include "support/TempFolder.h"

#include <QApplication>
#include <QHeaderView>
#include <QImage>
#include <QString>
#include <QTest>
#include <QWidget>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>

namespace quill::test {

// The control named `objectName` below `parent`: where the pages keep their given control names.
// A missing control fails the test instead of crashing it.
template <typename T>
T* child(const QObject* parent, const char* objectName)
{
    T* found = parent->findChild<T*>(QString::fromLatin1(objectName));
    if (!found)
        throw std::logic_error(std::string("no control named ") + objectName);
    return found;
}

template <typename T, typename Owner>
T* child(const std::unique_ptr<Owner>& parent, const char* objectName)
{
    return child<T>(parent.get(), objectName);
}

inline std::string logLine(const std::string& stem, const std::string& timeTaken, const std::string& agent = "UA")
{
    return "2026-12-01 00:00:01 W3SVC1 10.0.0.1 GET " + stem + " - 80 - 1.2.3.4 " + agent + " 200 0 0 1 2 " +
           timeTaken + " -\r\n";
}

// Clicks the header of `column` as a user would.
inline void clickHeader(QHeaderView* header, int column)
{
    const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2, header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
}

// Saves a picture of `widget` when QUILLMARK_SCREENSHOTS names a folder (for looking at pages).
inline void screenshot(QWidget* widget, const char* name)
{
    const char* folder = std::getenv("QUILLMARK_SCREENSHOTS");
    if (!folder)
        return;
    QApplication::processEvents();
    widget->grab().save(QString::fromUtf8(folder) + QLatin1Char('/') + QString::fromUtf8(name) + QStringLiteral(".png"));
}

} // namespace quill::test
