// Whole-window figures, offscreen: start-up to a shown window with an empty settings file, and
// the load of a large log through the log page against the engine's load alone.
//   window_bench LOG

#include "gui/LogPage.h"
#include "gui/LogRecordModel.h"
#include "app/MainWindow.h"

#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <algorithm>
#include <cstdio>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("QUILLMARK_MAKER_HOST"))
        qputenv("QUILLMARK_MAKER_HOST", "127.0.0.1:9");
    QApplication app(argc, argv);
    if (argc != 2) {
        std::fputs("usage: window_bench LOG\n", stderr);
        return 2;
    }
    const QFileInfo log(QString::fromLocal8Bit(argv[1]));
    QTemporaryDir settingsFolder;

    // Start-up: construct the window and process events until it has been painted.
    qint64 startupMs = 0;
    {
        QElapsedTimer clock;
        clock.start();
        quill::MainWindow::Options options;
        options.settingsPath = QDir(settingsFolder.path()).filePath(QStringLiteral("settings.ini")).toStdString();
        options.siteListPath = QDir(settingsFolder.path()).filePath(QStringLiteral("test.xml")).toStdString();
        options.logFolderForRun = log.absolutePath();
        quill::MainWindow form(options);
        form.show();
        QApplication::processEvents();
        form.grab();
        startupMs = clock.elapsed();
    }

    // The engine alone: three reloads of the same file into one analysis.
    double engineBest = 1e9;
    {
        quill::LogAnalysis analysis;
        for (int i = 0; i < 4; ++i) {
            QElapsedTimer clock;
            clock.start();
            analysis.load(log.absoluteFilePath().toStdString(), quill::FilterSnapshot{});
            if (i > 0)
                engineBest = std::min(engineBest, clock.nsecsElapsed() / 1e9);
        }
    }

    // Through the page: "刷新日志" clicked in a shown window, until the first rows are painted.
    double pageBest = 1e9;
    {
        quill::MainWindow::Options options;
        options.settingsPath = QDir(settingsFolder.path()).filePath(QStringLiteral("page.ini")).toStdString();
        options.siteListPath = QDir(settingsFolder.path()).filePath(QStringLiteral("test.xml")).toStdString();
        options.logFolderForRun = log.absolutePath();
        quill::MainWindow form(options);
        form.show();
        quill::LogPage* page = form.findChild<quill::LogPage*>(QStringLiteral("ts2"));
        auto* records = page->findChild<QTableView*>(QStringLiteral("lv2"));
        auto* reload = page->findChild<QPushButton*>(QStringLiteral("Button2"));
        page->findChild<QComboBox*>(QStringLiteral("cbb1"))->setEditText(log.fileName());
        for (int i = 0; i < 4; ++i) {
            QElapsedTimer clock;
            clock.start();
            reload->click();
            QApplication::processEvents();
            records->viewport()->grab();
            if (i > 0)
                pageBest = std::min(pageBest, clock.nsecsElapsed() / 1e9);
        }
        std::printf("records shown: %d\n", records->model()->rowCount());
    }
    std::printf("start-up to a painted window: %lld ms\n", static_cast<long long>(startupMs));
    std::printf("engine reload: %.3f s, page reload with first rows painted: %.3f s, ratio %.2f\n", engineBest,
                pageBest, pageBest / engineBest);
    return 0;
}
