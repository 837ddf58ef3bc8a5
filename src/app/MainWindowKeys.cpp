// The window's keys that belong to no single control: they work wherever the focus is.

#include "app/MainWindow.h"

#include "gui/LogPage.h"

#include <QKeySequence>
#include <QShortcut>
#include <QTabWidget>

namespace quill {

void MainWindow::installKeys()
{
    const auto onKeys = [this](std::initializer_list<QKeySequence> keys, auto handler) {
        for (const QKeySequence& key : keys)
            connect(new QShortcut(key, this), &QShortcut::activated, this, handler);
    };
    onKeys({QKeySequence::Find}, [this] {
        showPage(m_logPage);
        m_logPage->focusSearch();
    });
    // The tab bar knows these keys only while it has the focus itself.
    onKeys({QKeySequence(Qt::CTRL | Qt::Key_Tab), QKeySequence(Qt::CTRL | Qt::Key_PageDown)}, [this] { stepPage(1); });
    onKeys({QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Backtab), QKeySequence(Qt::CTRL | Qt::Key_PageUp)},
           [this] { stepPage(-1); });
}

void MainWindow::stepPage(int step)
{
    const int count = m_pages->count();
    m_pages->setCurrentIndex((m_pages->currentIndex() + step + count) % count);
}

} // namespace quill
