#pragma once
// The main window: header strip, the six tool pages, the advertisement strip, and the start-up
// and shut-down steps that belong to no page.

#include "html/PageParser.h"
#include "logs/LogAnalysis.h"

#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

class QFrame;
class QLabel;
class QMenu;
class QPushButton;
class QSplitter;
class QTabWidget;
class QTextBrowser;
class QTimer;

namespace quill {

class AdvertFetch;
class DecodePage;
class LogPage;
class UiDispatcher;
class SettingsPage;
class UpdaterWindow;
class VersionCheckWorker;
class ToolsPage;
class StatsPage;

class MainWindow : public QWidget {
    Q_OBJECT
public:
    struct Options {
        std::string settingsPath;                // the settings file; empty: beside the executable
        std::optional<QString> logFolderForRun;  // --log-dir: used for this run, never saved
        // The folder browser; offscreen tests replace it. Nothing when the user cancels.
        std::function<std::optional<QString>(QWidget* parent)> chooseFolder;
        std::string siteListPath; // the saved site list; empty: "test.xml" in the current folder
    };

    explicit MainWindow(Options options, QWidget* parent = nullptr);
    ~MainWindow() override;

    QLabel* Panel1;
    QFrame* spl2;
    QTabWidget* PageControl;
    QWidget* ts3;       // 设置
    QWidget* ts1;       // 蜘蛛来访统计
    QWidget* ts2;       // 日志分析
    QWidget* ts4;       // 体验
    QWidget* TabSheet1; // 解码
    QWidget* ts5;       // 更新
    QPushButton* Button9; // 更新: shows the updater window
    QSplitter* Splitter1;
    QTextBrowser* WebBrowser1;
    QMenu* PopupMenu1;
    QTimer* Timer1;
    LogPage* logPage;
    SettingsPage* settingsPage;
    DecodePage* decodePage;

    // The updater window Button9 shows; created after this window.
    void setUpdateWindow(UpdaterWindow* updater) { m_updater = updater; }
    // Starts the worker that learns the latest published version; Timer1 announces a newer one.
    void startVersionCheck();
    ToolsPage* toolsPage;
    StatsPage* statsPage;

    const QString& logFolder() const { return m_logFolder; }
    // The site address the "体验" page shows and the settings keep.
    QString siteUrl() const;
    // Whether the first show found the saved site list and read it.
    bool siteListWasRead() const { return m_siteListWasRead; }

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void FormCreate();
    void FormShow();
    void FormClose();
    void Button4Click(); // 定位目录
    void Button3Click(); // 保存配制
    void Button9Click();
    void IP1Click(); // 查看IP
    void Timer1Timer();
    void Panel1MouseDown();
    void Splitter1CanResize();
    void Splitter1Moved();
    void showAdvert();
    void setBrowserHeight(int height);

    Options m_options;
    std::unique_ptr<UiDispatcher> m_dispatcher;
    PageParser UIHTMLParser1{*m_dispatcher};
    std::unique_ptr<AdvertFetch> m_advert;
    std::unique_ptr<VersionCheckWorker> m_versionCheck;
    UpdaterWindow* m_updater = nullptr;
    LogAnalysis m_analysis;
    QString m_logFolder;
    bool m_hideAdvert = false;
    bool m_shown = false;
    bool m_siteListWasRead = false;
};

} // namespace quill
