#pragma once
// The "日志分析" page: filter boxes, the log-file box, the search box, the summary line, the two
// colour boxes and the virtual record list.

#include "gui/CsvExportRunner.h"
#include "logs/LogAnalysis.h"
#include "logs/LogFollower.h"
#include "logs/RecordsCsv.h"
#include "platform/CsvText.h"
#include "platform/Worker.h"
#include "settings/ColourNames.h"
#include "verify/CrawlerVerifier.h"
#include "verify/LogVerification.h"
#include "webtools/WebRequests.h"

#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <string>

class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QMenu;
class QPushButton;
class QTableView;

namespace quill {

class ColourBoxWidget;
class ColumnWidths;
class LogRecordModel;
class RecordListCopy;
class UiDispatcher;
class VerificationWorker;

class LogPage : public QWidget {
    Q_OBJECT
public:
    struct Options {
        ChooseCsvPath chooseCsvPath = chooseCsvFile;
        // The DNS server and time-outs of the crawler check; empty: those of the environment.
        std::optional<VerifierOptions> verifier;
        WebLimits ipLookupLimits = webLimitsFromEnvironment();
        CsvExportRunner::Options exportRunner;
    };

    LogPage(LogAnalysis& analysis, Options options, QWidget* parent = nullptr);
    // Ends the crawler check and the IP lookup and waits for their threads before the widgets go.
    ~LogPage() override;

    // The filter boxes and the search text as they stand now.
    FilterSnapshot filterSnapshot() const;
    // Sets the twelve boxes the settings keep (audio and search are not among them).
    void setSavedBoxes(const FilterSnapshot& boxes);

    // The folder whose log files the log-file box lists.
    void setLogFolder(const QString& folder) { m_logFolder = folder; }
    const QString& logFolder() const { return m_logFolder; }
    // Lists the "*.log" entries of the log folder; optionally selects the last one (loading nothing).
    void listLogFiles(bool selectLast);

    void setListColours(ColourValue background, ColourValue text);
    ColourValue listBackground() const;
    ColourValue listText() const;

    // "刷新日志" and choosing an entry of the log-file box: empty the list and load the file named
    // by the box's text.
    void reload();

    // The crawler check: "验证蜘蛛" and "只看伪装" as the settings keep them, and the cache file.
    void setVerificationBoxes(bool verifyCrawlers, bool onlyFakes);
    bool verifyCrawlers() const;
    bool onlyFakes() const;
    void setVerdictCachePath(std::string path) { m_verdictCachePath = std::move(path); }
    // How "导出CSV" writes cells that start like a formula (the settings key 导出/CSV原样).
    void setCsvCells(CsvCells cells) { m_csvCells = cells; }
    // The published address lists the check reads, unless the verifier options bring their own.
    void setAddressListsPath(std::string path) { m_addressListsPath = std::move(path); }
    bool isVerifying() const { return m_verification != nullptr; }

    // "含URL编码": the search also finds its text percent-encoded, as GBK and as UTF-8.
    void setSearchEncoded(bool on);
    bool searchEncoded() const;

    // "跟踪": while on, the loaded file's new lines join the list as they are written.
    void setFollowing(bool on);
    bool following() const;
    // True while a loaded file is being followed.
    bool isFollowing() const { return m_follower != nullptr; }
    // The client address of the first selected row; nothing when no row is selected.
    std::optional<std::string> selectedClientAddress() const;
    // "查看IP" of the record list's menu: where the visitor of the first selected row is, shown
    // in the summary line. One lookup at a time.
    void lookUpSelectedAddress();
    bool isLookingUp() const { return m_ipLookupRunning; }
    // Ends a lookup under way at once; its answer never shows.
    void cancelIpLookup();

    LogRecordModel* model() const { return m_model; }
    // The list's column widths, which the window keeps in the settings file.
    ColumnWidths* columnWidths() const { return m_columnWidths; }

    // 复制行, 复制单元格 and 复制访问IP, also in the list's context menu.
    QList<QAction*> copyActions() const;
    // Ctrl+F: the search box takes the focus, its text selected.
    void focusSearch();

    // "导出CSV": asks for the file and writes the list as it stands.
    void exportCsv();
    bool isExporting() const;

protected:
    void changeEvent(QEvent* event) override;

signals:
    // Lines were appended to the followed file at `path` (the window hands it to the crawl ledger).
    void followedLogGrew(const std::string& path);

private:
    void showSummary(const QString& text);
    void applyListColours();
    // What the list shows besides the store's rows: the rows "只看伪装" keeps, the verdict column.
    ShownList shownList() const;
    void verifyBoxToggled(bool on);
    void startVerification();
    void cancelVerification();
    void verificationProgress(size_t done, size_t total);
    void verificationFinished(const VerificationRun& run);
    void fitColumnsToFont();
    void sortByColumn(int column);
    void showSortIndicator();
    void setLoadControlsEnabled(bool enabled);
    // Following the loaded file (LogPageFollow.cpp).
    void followBoxToggled(bool on);
    void startFollowing();
    void takeFollowed(FollowBatch batch);
    void takeHeldBatches();
    void followEnded(FollowEnd end, const Status& read);
    void logFilesListed(std::vector<std::string> names);
    void rowsWithdrawn(const QString& text);
    void showRecordCount();
    // The count again after the rows shown changed ("只看伪装", verdicts), when a file is loaded.
    void showShownCount();
    void verifyFollowed();
    void startCheckOf(size_t firstRequest);

    QCheckBox* m_imagesBox;
    QCheckBox* m_status200Box;
    QCheckBox* m_spidersBox;
    QCheckBox* m_aiSpidersBox; // "AI 蜘蛛", never saved
    QCheckBox* m_baiduBox;
    QCheckBox* m_googleBox;
    QCheckBox* m_sosoBox;
    QCheckBox* m_yahooBox;
    QCheckBox* m_sogouBox;
    QCheckBox* m_msnBox;
    QCheckBox* m_youdaoBox;
    QCheckBox* m_audioBox;
    QCheckBox* m_ownXmlHttpBox;
    QCheckBox* m_noSpidersBox;
    QCheckBox* m_verifyBox;
    QCheckBox* m_onlyFakesBox;
    QCheckBox* m_followBox;
    QLabel* m_verifyProgressLabel;
    QPushButton* m_cancelVerifyButton;
    QComboBox* m_logFileBox;
    QPushButton* m_reloadButton;
    QLineEdit* m_searchBox;
    QCheckBox* m_searchEncodedBox;
    QLabel* m_summaryLabel;
    ColourBoxWidget* m_backgroundColourBox;
    ColourBoxWidget* m_textColourBox;
    QTableView* m_recordView;
    QMenu* m_recordMenu;
    QPushButton* m_exportButton;
    CsvExportRunner* m_exportRunner;
    RecordListCopy* m_copy;
    ColumnWidths* m_columnWidths;
    LogAnalysis& m_analysis;
    Options m_options;
    LogRecordModel* m_model;
    QString m_logFolder;
    std::string m_verdictCachePath;
    CsvCells m_csvCells = CsvCells::Neutralised;
    std::string m_addressListsPath;
    std::unique_ptr<UiDispatcher> m_dispatcher;
    StoreRequests m_verifiedRequests; // what the checks were asked, to map their verdicts back
    VerificationRun m_verdictsSoFar;  // per request of m_verifiedRequests, as far as checked
    size_t m_checkFrom = 0;           // the first request of the running check
    size_t m_requestsAsked = 0;       // requests given to a check so far
    std::shared_ptr<const AddressLists> m_checkLists;
    std::uint64_t m_loadMs = 0;       // how long the last load took, for the summary line
    bool m_loaded = false;            // a file was read by the last load
    QString m_followNote;             // what following last did, after the summary
    std::vector<FollowBatch> m_heldBatches; // followed while an export reads the store
    std::unique_ptr<LogFollower> m_follower;
    bool m_ipLookupRunning = false;
    Worker m_ipLookup;                                  // stopped before the widgets its answer goes to
    std::string m_followedPath;
    std::uint64_t m_followedOffset = 0; // where the last batch ended
    std::unique_ptr<VerificationWorker> m_verification; // last: stopped before the members it uses go
};

} // namespace quill
