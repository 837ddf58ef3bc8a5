// quillmarkbox: the desktop program.
//   quillmarkbox [--log-dir PATH]   PATH is the log folder of this run; it is not saved.
//   quillmarkbox --version

#include "app/MainWindow.h"
#include "gui/QtTranslations.h"
#include "gui/UpdaterWindow.h"

#include <QApplication>
#include <QCommandLineParser>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillmarkbox"));
    QApplication::setApplicationDisplayName(QStringLiteral("Quillmarkbox"));
    QApplication::setApplicationVersion(QStringLiteral(QUILLMARK_VERSION));
    quill::installQtTranslations(app); // without them Qt's dialogs speak English

    QCommandLineParser parser;
    const QCommandLineOption logDir(QStringLiteral("log-dir"), QStringLiteral("Log folder for this run."),
                                    QStringLiteral("PATH"));
    parser.addOption(logDir);
    parser.addHelpOption();
    parser.addVersionOption();
    parser.process(app);

    quill::MainWindow::Options options;
    if (parser.isSet(logDir))
        options.logFolderForRun = parser.value(logDir);
    quill::MainWindow form(options);
    quill::UpdaterWindow::Options updaterOptions;
    updaterOptions.mainWindow = &form;
    quill::UpdaterWindow updater(updaterOptions);
    form.setUpdateWindow(&updater);
    form.show();
    return app.exec();
}
