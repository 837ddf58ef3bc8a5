// Runs the updater window with its real message boxes and the real end of the message loop, for
// tests that need a whole program. A stand-in user answers every box (Yes where it may) once it
// has been on screen for a moment, and the program reports what the user saw on its output.
//   updater_probe update FOLDER MANIFEST-URL KEY   check, download, answer Yes, let the program end
//   updater_probe close FOLDER MANIFEST-URL KEY    check, download, close the window during the transfer
// KEY is the hexadecimal public key the manifest is signed with.

#include "gui/UpdaterWindow.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMessageBox>
#include <QPointer>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <optional>

namespace {

void report(const QString& line)
{
    std::fputs((line + QLatin1Char('\n')).toUtf8().constData(), stdout);
    std::fflush(stdout);
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const std::optional<quill::PublicKey> key = argc == 5 ? quill::parsePublicKey(argv[4]) : std::nullopt;
    if (!key)
        return 2;
    const bool closeDuringTransfer = std::strcmp(argv[1], "close") == 0;

    quill::UpdaterWindow::Options options;
    options.programFolder = argv[2];
    options.executableName = "quillmarkbox";
    options.manifestUrl = argv[3];
    options.publicKey = key;
    options.replaceWait = std::chrono::milliseconds(0);
    options.openFolder = [](const QString&) {};
    quill::UpdaterWindow window(options);
    window.show();

    QPointer<QMessageBox> current;
    QElapsedTimer shown;
    QTimer user;
    QObject::connect(&user, &QTimer::timeout, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box && box != current) {
            current = box;
            shown.start();
            report(QStringLiteral("shown ") + box->text());
        } else if (box && shown.elapsed() >= 200) {
            report(QStringLiteral("closed ") + box->text());
            QAbstractButton* answer = box->button(QMessageBox::Yes);
            (answer ? answer : box->button(QMessageBox::Ok))->click();
        }
        const auto* status = window.findChild<QStatusBar*>(QStringLiteral("StatusBar1"));
        if (closeDuringTransfer && window.isVisible() &&
            status->currentMessage() == QString::fromUtf8("正在下载升级文件...")) {
            report(QStringLiteral("closing the window"));
            window.close();
        }
    });
    user.start(20);
    // The check runs on a worker: 下载 is pressed once it has listed the file.
    auto* check = window.findChild<QPushButton*>(QStringLiteral("Button1"));
    auto* download = window.findChild<QPushButton*>(QStringLiteral("Button2"));
    QTimer::singleShot(0, check, &QPushButton::click);
    QTimer pressDownload;
    QObject::connect(&pressDownload, &QTimer::timeout, [&] {
        if (download->isEnabled()) {
            pressDownload.stop();
            download->click();
        }
    });
    pressDownload.start(10);
    const int code = app.exec();
    report(QStringLiteral("exited"));
    return code;
}
