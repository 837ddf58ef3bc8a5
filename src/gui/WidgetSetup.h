#pragma once
// Creating a page's controls: each gets the object name that tests and style rules find it by.

#include <QCheckBox>
#include <QLabel>
#include <QPushButton>
#include <QString>

namespace quill {

template <typename T>
T* named(T* widget, const char* objectName)
{
    widget->setObjectName(QString::fromLatin1(objectName));
    return widget;
}

inline QPushButton* makeButton(QWidget* parent, const char* objectName, const char* caption)
{
    return named(new QPushButton(QString::fromUtf8(caption), parent), objectName);
}

// A label for texts that come from logs, pages, files or servers: shown as they are, never read
// as markup (a QLabel guesses rich text from a "<").
inline QLabel* makePlainLabel(QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    return label;
}

inline QCheckBox* makeCheckBox(QWidget* parent, const char* objectName, const char* caption, bool checked)
{
    auto* box = named(new QCheckBox(QString::fromUtf8(caption), parent), objectName);
    box->setChecked(checked);
    return box;
}

} // namespace quill
