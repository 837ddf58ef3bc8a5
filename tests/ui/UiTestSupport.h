#pragma once
// Helpers for offscreen widget tests.

#include "support/LogFixtures.h"
#include "support/TempFolder.h"

#include <QApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QHeaderView>
#include <QImage>
#include <QString>
#include <QTableView>
#include <QTableWidget>
#include <QTest>
#include <QTimer>
#include <QWidget>
#include <cstdlib>
#include <functional>
#include <memory>
#include <ostream>
#include <stdexcept>
#include <string>
#include <vector>

// Failed comparisons of texts print them readably.
inline void PrintTo(const QString& text, std::ostream* out) { *out << '"' << text.toStdString() << '"'; }

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

// The control named `objectName` on the window's page named `page` ("ts2" is the log page).
template <typename T, typename Window>
T* onPage(const Window& window, const char* page, const char* objectName)
{
    return child<T>(child<QWidget>(window, page), objectName);
}

// A program text written in the test as UTF-8.
inline QString u(const char* utf8) { return QString::fromUtf8(utf8); }

// The texts of a row of a table widget, "<none>" for a cell without an item.
inline QStringList rowTexts(const QTableWidget* list, int row)
{
    QStringList texts;
    for (int column = 0; column < list->columnCount(); ++column)
        texts << (list->item(row, column) ? list->item(row, column)->text() : QStringLiteral("<none>"));
    return texts;
}

// The texts of a column of a view's rows as its model gives them.
inline QStringList columnTexts(const QTableView* view, int column)
{
    QStringList texts;
    for (int row = 0; row < view->model()->rowCount(); ++row)
        texts << view->model()->index(row, column).data().toString();
    return texts;
}

// Clicks the header of `column` as a user would.
inline void clickHeader(QHeaderView* header, int column)
{
    const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2, header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
}

// Handles events until `done` holds; false when `limitMs` passed first.
template <typename Done>
bool waitUntil(Done done, int limitMs = 15000)
{
    QDeadlineTimer deadline(limitMs);
    while (!done()) {
        if (deadline.hasExpired())
            return false;
        QTest::qWait(5);
    }
    return true;
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

// What a user would find wrong with the visible controls of `page` as it is laid out now: two
// controls over each other, or a button, box or label too narrow or too low for its text. Empty
// when nothing is.
QStringList layoutFaults(QWidget* page);

// Sets the point size of `widget`'s font; its controls follow as a user's font setting makes them.
void setPointSize(QWidget* widget, int pointSize);

// Every message box that opens while this lives is answered at once with its default button, as a
// user would, and kept here; tests read what the boxes said. A box that opens while none lives
// and that nothing else answers fails the running test and is closed.
class MessageBoxes {
public:
    struct Shown {
        QString title;
        QString text;
        bool critical; // the error icon
    };
    MessageBoxes();
    ~MessageBoxes();
    MessageBoxes(const MessageBoxes&) = delete;
    MessageBoxes& operator=(const MessageBoxes&) = delete;

    const std::vector<Shown>& shown() const { return m_shown; }
    QStringList texts() const;
    void clear() { m_shown.clear(); }
    // Starts the watch that answers the boxes; called once by the test program's main.
    static void watchForBoxes();

private:
    std::vector<Shown> m_shown;
};

// Answers the next modal dialog of type D that opens within `limitMs` by calling `answer` on it
// (which fills it in and accepts or rejects it), from inside the dialog's own event loop.
template <typename D>
void answerNextDialog(std::function<void(D* dialog)> answer, int limitMs = 10000)
{
    auto* poll = new QTimer(QCoreApplication::instance());
    auto* waited = new QElapsedTimer;
    waited->start();
    QObject::connect(poll, &QTimer::timeout, poll, [poll, waited, answer = std::move(answer), limitMs] {
        auto* dialog = qobject_cast<D*>(QApplication::activeModalWidget());
        if (!dialog && waited->elapsed() < limitMs)
            return;
        poll->stop();
        poll->deleteLater();
        delete waited;
        if (dialog)
            answer(dialog);
    });
    poll->start(5);
}

} // namespace quill::test
