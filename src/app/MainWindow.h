#pragma once
// The main window: composes the six tool pages under the header strip, the advertisement strip
// below them, and the start-up and shut-down steps that belong to no page.

#include "html/PageParser.h"
#include "logs/LogAnalysis.h"
#include "settings/SettingsFile.h"

#include <QWidget>
#include <functional>
#include <memory>
#include <optional>

class QFrame;
class QLabel;
class QPushButton;
class QSplitter;
class QTabWidget;
class QTextBrowser;
class QTimer;

namespace quill {

class AdvertFetch;
class DecodePage;
class LedgerPage;
class LogPage;
class SettingsPage;
class StatsPage;
class ToolsPage;
class UiDispatcher;
class UpdaterWindow;
class VersionCheckWorker;

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

    // The updater window that "更新" shows; created after this window.
    void setUpdateWindow(UpdaterWindow* updater) { m_updater = updater; }
    // Starts the worker that learns the latest published version; a timer announces a newer one.
    void startVersionCheck();
    // Whether the first show found the saved site list and read it.
    bool siteListWasRead() const { return m_siteListWasRead; }

protected:
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;
    void showEvent(QShowEvent* event) override;

private:
    void applySettings();
    // Size, place, maximised state and page as last closed, fitted to today's screens
    // (MainWindowPlacement.cpp).
    void restorePlacement(const WindowState& saved);
    WindowState placementToSave() const;
    // Makes the tab holding `page` the current one.
    void showPage(QWidget* page);
    void restoreColumnWidths(const SettingsFile& file);
    // The settings the pages show now (the log folder aside).
    Settings pageSettings() const;
    void firstShow();
    void saveOnClose();
    void showUpdater();
    void announceNewVersion();
    // Ctrl+F, and Ctrl+Tab / Ctrl+PgDn (with Shift / PgUp back) from anywhere (MainWindowKeys.cpp).
    void installKeys();
    void stepPage(int step);
    void toggleHeaderStrip();
    void fitHeaderStrip();
    void keepAdvertAboveFloor();
    void snapAdvertToFloor();
    void showAdvert();
    void setBrowserHeight(int height);

    Options m_options;
    std::unique_ptr<UiDispatcher> m_dispatcher;
    PageParser m_pageParser{*m_dispatcher};
    LogAnalysis m_analysis;
    QLabel* m_headerStrip = nullptr;
    QFrame* m_headerRule;
    QTabWidget* m_pages;
    SettingsPage* m_settingsPage;
    StatsPage* m_statsPage;
    LedgerPage* m_ledgerPage;
    LogPage* m_logPage;
    std::string m_verdictCacheFileName; // as the settings file names it (GBK); empty: the default
    ToolsPage* m_toolsPage;
    DecodePage* m_decodePage;
    QWidget* m_updateTab;
    QPushButton* m_showUpdaterButton;
    QSplitter* m_splitter;
    QTextBrowser* m_advertView;
    QTimer* m_versionTimer;
    std::unique_ptr<AdvertFetch> m_advert;
    std::unique_ptr<VersionCheckWorker> m_versionCheck;
    UpdaterWindow* m_updater = nullptr;
    bool m_headerStripToggled = false;
    bool m_hideAdvert = false;
    bool m_shown = false;
    bool m_siteListWasRead = false;
};

} // namespace quill
