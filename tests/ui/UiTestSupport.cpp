#include "UiTestSupport.h"

#include <QAbstractButton>
#include <QAbstractItemView>
#include <QAbstractSpinBox>
#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPointer>
#include <QProgressBar>
#include <QPushButton>
#include <QStyleOptionButton>
#include <QTabBar>
#include <gtest/gtest.h>

namespace quill::test {
namespace {

MessageBoxes*& activeBoxes()
{
    static MessageBoxes* boxes = nullptr;
    return boxes;
}

QString nameOf(const QWidget* widget)
{
    return widget->objectName().isEmpty() ? QString::fromLatin1(widget->metaObject()->className()) : widget->objectName();
}

// Parts of a compound control (the edit line of a box, the headers of a list, the arrows of a tab
// bar) are laid out by that control, not by the page.
bool partOfACompound(const QWidget* widget, const QWidget* page)
{
    for (const QWidget* up = widget->parentWidget(); up && up != page; up = up->parentWidget())
        if (qobject_cast<const QAbstractScrollArea*>(up) || qobject_cast<const QComboBox*>(up) ||
            qobject_cast<const QAbstractSpinBox*>(up) || qobject_cast<const QTabBar*>(up))
            return true;
    return false;
}

bool isControl(const QWidget* widget)
{
    return qobject_cast<const QAbstractButton*>(widget) || qobject_cast<const QLabel*>(widget) ||
           qobject_cast<const QComboBox*>(widget) || qobject_cast<const QLineEdit*>(widget) ||
           qobject_cast<const QProgressBar*>(widget);
}

// The room a control's own text has, or an empty rectangle for a control without one to check.
QRect textRoom(QWidget* widget, QString& text)
{
    if (auto* button = qobject_cast<QPushButton*>(widget)) {
        QStyleOptionButton option;
        option.initFrom(button);
        option.text = text = button->text();
        return button->style()->subElementRect(QStyle::SE_PushButtonContents, &option, button);
    }
    if (auto* box = qobject_cast<QCheckBox*>(widget)) {
        QStyleOptionButton option;
        option.initFrom(box);
        option.text = text = box->text();
        return box->style()->subElementRect(QStyle::SE_CheckBoxContents, &option, box);
    }
    if (auto* label = qobject_cast<QLabel*>(widget); label && !label->wordWrap() && label->textFormat() != Qt::RichText) {
        text = label->text();
        return label->contentsRect();
    }
    return {};
}

} // namespace

QStringList layoutFaults(QWidget* page)
{
    for (int pass = 0; pass < 4; ++pass) // nested layouts settle one level a pass
        QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    std::vector<QWidget*> controls;
    for (QWidget* widget : page->findChildren<QWidget*>())
        if (isControl(widget) && widget->isVisibleTo(page) && !partOfACompound(widget, page) && !widget->size().isEmpty())
            controls.push_back(widget);

    QStringList faults;
    const auto placeOf = [page](const QWidget* widget) { return QRect(widget->mapTo(page, QPoint(0, 0)), widget->size()); };
    for (size_t i = 0; i < controls.size(); ++i) {
        for (size_t j = i + 1; j < controls.size(); ++j) {
            if (controls[i]->isAncestorOf(controls[j]) || controls[j]->isAncestorOf(controls[i]))
                continue;
            if (placeOf(controls[i]).intersects(placeOf(controls[j])))
                faults << nameOf(controls[i]) + QStringLiteral(" overlaps ") + nameOf(controls[j]);
        }
        QString text;
        const QRect room = textRoom(controls[i], text);
        if (text.isEmpty())
            continue;
        const QFontMetrics metrics = controls[i]->fontMetrics();
        if (room.width() < metrics.horizontalAdvance(text) || room.height() < metrics.height())
            faults << nameOf(controls[i]) + QStringLiteral(" cuts \"") + text + QStringLiteral("\" short");
    }
    return faults;
}

void setPointSize(QWidget* widget, int pointSize)
{
    QFont font = widget->font();
    font.setPointSize(pointSize);
    widget->setFont(font);
}

MessageBoxes::MessageBoxes() { activeBoxes() = this; }

MessageBoxes::~MessageBoxes() { activeBoxes() = nullptr; }

QStringList MessageBoxes::texts() const
{
    QStringList texts;
    for (const Shown& box : m_shown)
        texts << box.text;
    return texts;
}

void MessageBoxes::watchForBoxes()
{
    auto* poll = new QTimer(QCoreApplication::instance());
    QObject::connect(poll, &QTimer::timeout, [] {
        static QPointer<QMessageBox> unexpected;
        static QElapsedTimer open;
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        if (MessageBoxes* boxes = activeBoxes()) {
            boxes->m_shown.push_back({box->windowTitle(), box->text(), box->icon() == QMessageBox::Critical});
        } else {
            // A test may answer a box its own way; one that stays open is a fault, not a hang.
            if (box != unexpected) {
                unexpected = box;
                open.start();
            }
            if (open.elapsed() < 2000)
                return;
            ADD_FAILURE() << "a message box no test answered: " << box->text().toStdString();
        }
        QAbstractButton* answer = box->defaultButton() ? box->defaultButton() : box->buttons().value(0);
        if (answer)
            answer->click();
        else
            box->reject();
    });
    poll->start(5);
}

} // namespace quill::test
