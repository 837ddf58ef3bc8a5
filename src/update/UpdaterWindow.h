#pragma once
// The updater window "软件升级": created hidden at start and shown by the "更新" page. It checks
// the maker's manifest for newer files, downloads the ticked ones and can replace the program.

#include "update/FetchToFile.h"

#include <QWidget>
#include <chrono>
#include <functional>
#include <string>

class QLabel;
class QProgressBar;
class QPushButton;
class QStatusBar;
class QTreeWidget;

namespace quill {

class UpdaterWindow : public QWidget {
    Q_OBJECT
public:
    struct Options {
        std::string programFolder;   // where updates land; empty: the executable's folder
        std::string executableName;  // the running program's file there; empty: this process's
        std::string manifestUrl;     // empty: the manifest on the maker's server
        std::chrono::milliseconds replaceWait{3000}; // lets the clean-up start before the program ends
        QWidget* mainWindow = nullptr;               // closed when a replacement has started
        // Offscreen tests replace the boxes, the folder view and the end of the message loop.
        std::function<void(const QString& text)> inform;
        std::function<bool(const QString& question)> confirm;
        std::function<void(const QString& folder)> openFolder;
        std::function<void()> quit;
    };

    UpdaterWindow();
    explicit UpdaterWindow(Options options, QWidget* parent = nullptr);

    QLabel* Label1; // 升级文件列表：
    QLabel* Label2; // 当前下载进度：
    QLabel* Label3; // 总体下载进度：
    QTreeWidget* ListView1;
    QProgressBar* ProgressBar1;
    QProgressBar* ProgressBar2;
    QPushButton* Button1; // 检测(&C)
    QPushButton* Button2; // 下载(&D)
    QPushButton* Button3; // 关闭(&X)
    QStatusBar* StatusBar1;

private:
    void Button1Click();
    void Button2Click();
    void replaceProgram();
    void setStatus(const char* text);
    TransferEvents transferEvents();

    Options m_options;
};

} // namespace quill
