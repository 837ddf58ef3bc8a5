// Copying rows from the log page, offscreen: Ctrl+A and Ctrl+C over the first ROWS rows of a
// loaded log until the clipboard holds their text, against the engine's load of the same file.
//   copy_bench LOG [ROWS]

#include "gui/LogPage.h"

#include <QApplication>
#include <QClipboard>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QKeyEvent>
#include <QPushButton>
#include <QTableView>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <sys/resource.h>

namespace {

// CPU seconds of the process so far, all threads: on a machine shared with other work the wall
// clock also counts the waits for a core.
double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) + (usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

void press(QWidget* widget, int key)
{
    QKeyEvent down(QEvent::KeyPress, key, Qt::ControlModifier);
    QApplication::sendEvent(widget, &down);
}

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    if (argc != 2 && argc != 3) {
        std::fputs("usage: copy_bench LOG [ROWS]\n", stderr);
        return 2;
    }
    const QFileInfo log(QString::fromLocal8Bit(argv[1]));
    const int wanted = argc == 3 ? std::atoi(argv[2]) : 1'000'000;

    quill::LogAnalysis analysis;
    quill::LogPage page(analysis, {});
    page.setLogFolder(log.absolutePath());
    page.listLogFiles(false);
    page.findChild<QComboBox*>(QStringLiteral("cbb1"))->setEditText(log.fileName());
    page.resize(1000, 700);
    page.show();
    double loadBest = 1e9;
    double loadCpu = 1e9;
    for (int i = 0; i < 3; ++i) {
        QElapsedTimer clock;
        clock.start();
        const double cpu = cpuSeconds();
        page.findChild<QPushButton*>(QStringLiteral("Button2"))->click();
        loadBest = std::min(loadBest, clock.nsecsElapsed() / 1e9);
        loadCpu = std::min(loadCpu, cpuSeconds() - cpu);
    }
    auto* list = page.findChild<QTableView*>(QStringLiteral("lv2"));
    const int rows = std::min(wanted, list->model()->rowCount());
    list->setFocus();

    double selectBest = 1e9;
    double copyBest = 1e9;
    double copyCpu = 1e9;
    qsizetype characters = 0;
    for (int i = 0; i < 3; ++i) {
        QApplication::clipboard()->clear();
        QElapsedTimer clock;
        clock.start();
        if (rows == list->model()->rowCount())
            press(list, Qt::Key_A);
        else
            list->selectionModel()->select(QItemSelection(list->model()->index(0, 0), list->model()->index(rows - 1, 0)),
                                           QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
        selectBest = std::min(selectBest, clock.nsecsElapsed() / 1e9);
        clock.restart();
        const double cpu = cpuSeconds();
        press(list, Qt::Key_C);
        copyBest = std::min(copyBest, clock.nsecsElapsed() / 1e9);
        copyCpu = std::min(copyCpu, cpuSeconds() - cpu);
        characters = QApplication::clipboard()->text().size();
    }
    std::printf("rows copied: %d of %d, %lld characters\n", rows, list->model()->rowCount(),
                static_cast<long long>(characters));
    std::printf("select: %.3f s, copy to the clipboard: %.3f s, load of the file: %.3f s, copy/load %.2f\n", selectBest,
                copyBest, loadBest, copyBest / loadBest);
    std::printf("CPU time: copy %.3f s, load %.3f s, copy/load %.2f\n", copyCpu, loadCpu, copyCpu / loadCpu);
    return 0;
}
