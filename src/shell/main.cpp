// quillmarkbox: the desktop program.
//   quillmarkbox [--log-dir PATH]   PATH is the log folder of this run; it is not saved.

#include "shell/TForm1Window.h"
#include "update/TForm3Window.h"

#include <QApplication>
#include <QCommandLineParser>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Quillmarkbox"));
    QApplication::setApplicationDisplayName(QStringLiteral("Quillmarkbox"));

    QCommandLineParser parser;
    const QCommandLineOption logDir(QStringLiteral("log-dir"), QStringLiteral("Log folder for this run."),
                                    QStringLiteral("PATH"));
    parser.addOption(logDir);
    parser.addHelpOption();
    parser.process(app);

    quill::TForm1::Options options;
    if (parser.isSet(logDir))
        options.logFolderForRun = parser.value(logDir);
    quill::TForm1 form(options);
    quill::TForm3::Options updaterOptions;
    updaterOptions.mainWindow = &form;
    quill::TForm3 updater(updaterOptions);
    form.setUpdateWindow(&updater);
    form.show();
    return app.exec();
}
