#pragma once
// The "抓取档案" page: logs added to the crawl ledger, and what the crawlers did on the site over a
// range of days, chosen on the day histogram or in two date boxes: URLs, directories, status
// classes, hours, fakes and the sitemap's uncrawled URLs. Every query and every add runs on a
// worker; results come back through its post.

#include "gui/CsvExportRunner.h"
#include "ledger/LedgerAdd.h"
#include "ledger/LedgerViews.h"
#include "platform/CsvText.h"
#include "platform/Worker.h"

#include <QWidget>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QTabWidget;
class QTableView;
class QTimer;

namespace quill {

class LedgerTable;
class LedgerTableModel;
class StackedBarsWidget;
class UiDispatcher;

class LedgerPage : public QWidget {
    Q_OBJECT
public:
    struct Options {
        // The window's log folder, where the choosers open.
        std::function<QString()> logFolder;
        // The choosers; tests replace them. Empty when the user cancels.
        std::function<QStringList(QWidget* parent, const QString& folder)> chooseLogs;
        std::function<QString(QWidget* parent, const QString& folder)> chooseFolder;
        std::function<QString(QWidget* parent, const QString& folder)> chooseCsvPath;
        std::function<QString(QWidget* parent, const QString& folder)> chooseSitemap;
        std::function<QString(QWidget* parent, const QString& folder)> chooseReportPath;
        // The crawler check's DNS; none: the environment's.
        std::optional<VerifierOptions> verifier;
        // Results reach the page through `ui` (tests hook it); none: the page's own event queue.
        UiDispatcher* ui = nullptr;
        // How long the new lines of a followed log wait before they are added: one add takes in
        // the batches of those seconds.
        int followedAddDelayMs = 3000;
        CsvExportRunner::Options exportRunner;
    };

    explicit LedgerPage(Options options, QWidget* parent = nullptr);
    // Stops the running add and query and waits for them, before the widgets they fill go.
    ~LedgerPage() override;

    // The ledger file; the views are read from it again.
    void setLedgerPath(std::string path);
    void setVerdictCachePath(std::string path) { m_verdictCachePath = std::move(path); }
    // The published address lists the check reads first.
    void setAddressListsPath(std::string path) { m_addressListsPath = std::move(path); }
    // "验证蜘蛛": adds check the crawlers by DNS and keep fakes as fakes.
    void setVerifyCrawlers(bool verify);
    // How "导出CSV" writes cells that start like a formula.
    void setCsvCells(CsvCells cells) { m_csvCells = cells; }

    bool isAdding() const { return m_adding; }
    bool isQuerying() const { return m_querying; }
    bool isReporting() const { return m_reporting; }
    // Reads every view again for the range and crawler chosen.
    void refresh();
    // Adds files and folders to the ledger, as "添加日志" and "添加目录" do with what was chosen.
    void addPaths(std::vector<std::string> paths);
    // The log page follows `path` and it grew: its new lines are added a few seconds later by the
    // same rule as any add, so a day followed live and added again later is counted once. Only a
    // ledger that exists is fed; a user who never added a log gets no file.
    void addFollowed(const std::string& path);
    // Chooses a range of days (yyyymmdd; 0 leaves an end open), as the date boxes and the
    // histogram do.
    void setRange(DateRange range);
    DateRange range() const { return m_range; }

protected:
    void showEvent(QShowEvent* event) override;

private:
    struct Views;
    void buildControls();
    QWidget* listTab(QTableView*& view, LedgerTableModel*& model, const char* name, QWidget* above = nullptr);
    void startQuery();
    void showViews(std::shared_ptr<Views> views);
    void showUrls(std::shared_ptr<LedgerTable> urls);
    void showHistogram(const DaysView& days);
    void showStatusChart(const StatusView& statuses);
    void showHoursChart(const HoursView& hours);
    void fitColumns(QTableView* view);
    void histogramSelected(int first, int last);
    void datesEdited();
    void crawlerChosen();
    void startAdd(std::vector<std::string> paths, bool followed);
    void addFollowedNow();
    void addFinished(const Status& outcome, size_t files, std::uint64_t lines);
    void compareWithSitemap();
    void exportCsv();
    // "生成报告": the chosen range as one HTML page to share.
    void makeReport();
    void updateBusy();

    Options m_options;
    std::unique_ptr<UiDispatcher> m_ownDispatcher;
    UiDispatcher* m_ui;
    std::string m_ledgerPath;
    std::string m_verdictCachePath;
    std::string m_addressListsPath;
    DateRange m_range;
    CsvCells m_csvCells = CsvCells::Neutralised;
    std::optional<std::int64_t> m_crawler;
    std::vector<int> m_histogramDays; // the day of each bar
    size_t m_urlCount = 0;
    bool m_adding = false;
    bool m_addingFollowed = false;
    std::vector<std::string> m_followedPaths; // grown while followed, waiting for their add
    bool m_querying = false;
    bool m_queryAgain = false;
    bool m_reporting = false;
    bool m_shown = false;

    QTimer* m_followedTimer;
    QPushButton* m_addLogsButton;
    QPushButton* m_addFolderButton;
    QPushButton* m_stopButton;
    QCheckBox* m_verifyBox;
    QDateEdit* m_fromBox;
    QDateEdit* m_toBox;
    QPushButton* m_allDaysButton;
    QComboBox* m_crawlerBox;
    QLabel* m_message;
    QPushButton* m_exportButton;
    QPushButton* m_reportButton;
    CsvExportRunner* m_exportRunner;
    StackedBarsWidget* m_histogram;
    QTabWidget* m_tabs;
    QLineEdit* m_searchBox;
    QTableView* m_urlView;
    LedgerTableModel* m_urlModel;
    QTableView* m_dirView;
    LedgerTableModel* m_dirModel;
    StackedBarsWidget* m_statusChart;
    QTableView* m_statusView;
    LedgerTableModel* m_statusModel;
    StackedBarsWidget* m_hoursChart;
    QTableView* m_hoursView;
    LedgerTableModel* m_hoursModel;
    QTableView* m_fakesView;
    LedgerTableModel* m_fakesModel;
    QLineEdit* m_sitemapBox;
    QPushButton* m_sitemapButton;
    QTableView* m_uncrawledView;
    LedgerTableModel* m_uncrawledModel;

    // Each worker's jobs use the session alone, one job after another.
    struct Session {
        std::string path;
        std::unique_ptr<LedgerViews> views;
    };
    std::shared_ptr<Session> m_session = std::make_shared<Session>();
    std::atomic<bool> m_stopAdding{false};
    Worker m_queryWorker;
    Worker m_addWorker;
    Worker m_reportWorker;
};

} // namespace quill
