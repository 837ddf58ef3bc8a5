#pragma once
// The "蜘蛛来访统计" page: the statistics list, "统计" and "停止", and the bar chart of the
// counts under the list. The list shows the seven described columns, or "全部蜘蛛": today's
// crawlers by group, or the busiest of them one by one.

#include "crawlers/CrawlerStatistics.h"
#include "gui/CsvExportRunner.h"
#include "crawlers/RegistryStatistics.h"
#include "platform/CsvText.h"
#include "verify/CrawlerVerifier.h"
#include "verify/VerifiedStatistics.h"

#include <QWidget>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QSpinBox;
class QLabel;
class QPushButton;
class QScrollArea;
class QSplitter;
class QTableWidget;

namespace quill {

class ColumnWidths;
class RegistryStatsWorker;
class StatsChartWidget;
class VerifiedStatsWorker;

class StatsPage : public QWidget {
    Q_OBJECT
public:
    struct Options {
        // The window's log folder as it stands when "统计" is pressed.
        std::function<QString()> logFolder;
        ChooseCsvPath chooseCsvPath = chooseCsvFile;
        // The DNS server and time-outs of the crawler check; empty: those of the environment.
        std::optional<VerifierOptions> verifier;
        // Where the counts reach the page; empty: its own event queue.
        UiDispatcher* ui = nullptr;
        CsvExportRunner::Options exportRunner;
    };

    explicit StatsPage(Options options, QWidget* parent = nullptr);
    // Abandons a running count and waits for its thread, before the list and buttons go.
    ~StatsPage() override;

    bool isCounting() const { return m_statistics->isCounting() || m_verifiedCounting || m_registryCounting; }

    // What the list shows: the seven columns, or "全部蜘蛛" by group or by the busiest crawlers.
    enum class View { Described, RegistryGroups, RegistryTop };
    View view() const;
    void setView(View view);
    // How many crawlers "全部蜘蛛" shows one by one.
    void setTopCount(int count);

    // "只计已验证": counts visits by what the DNS check found, one row per file for those verified,
    // those fake and those it could not decide (未验证). Its verdicts are kept in the cache file.
    void setOnlyVerified(bool onlyVerified);
    bool onlyVerified() const;
    void setVerdictCachePath(std::string path) { m_verdictCachePath = std::move(path); }
    // How "导出CSV" writes cells that start like a formula (the settings key 导出/CSV原样).
    void setCsvCells(CsvCells cells) { m_csvCells = cells; }
    // The published address lists the check reads, unless the verifier options bring their own.
    void setAddressListsPath(std::string path) { m_addressListsPath = std::move(path); }
    // The list's column widths, which the window keeps in the settings file.
    ColumnWidths* columnWidths() const { return m_columnWidths; }

    // "导出CSV": asks for the file and writes the table as it stands.
    void exportCsv();

protected:
    void changeEvent(QEvent* event) override;

private:
    void fitColumnsToFont();
    void startCounting();
    void stopCounting();
    void appendRow(const CrawlerFileStats& row);
    void appendRegistryRow(const RegistryFileStats& row);
    void addTableRow(const std::vector<std::string>& texts, const Status& read);
    // Fills the list and the chart again for the view chosen, from the rows counted last for it.
    void showRows();
    std::vector<RegistryColumn> registryColumnsNow() const;
    void appendVerifiedRows(const VerifiedFileStats& row);
    // The seven columns' captions, with 验证 after the size while the verified rows show.
    void showDescribedCaptions();
    // A count ended; `notice` (the DNS server stopped answering) replaces the message line.
    void finished(const QString& notice = {});

    QPushButton* m_countButton;
    QPushButton* m_stopButton;
    QCheckBox* m_onlyVerifiedBox;
    QComboBox* m_viewBox;
    QSpinBox* m_topBox;
    QLabel* m_messageLabel;
    QPushButton* m_exportButton;
    CsvExportRunner* m_exportRunner;
    ColumnWidths* m_columnWidths;
    std::vector<CrawlerFileStats> m_rows;          // the described view's rows, for the export
    std::vector<VerifiedFileStats> m_verifiedRows; // ... when the last count was checked
    bool m_showsVerified = false;                  // the described view shows m_verifiedRows
    std::vector<RegistryFileStats> m_registryRows;
    std::vector<RegistryColumn> m_registryColumns; // what the list shows in a "全部蜘蛛" view
    QSplitter* m_splitter;
    QTableWidget* m_statsList;
    QScrollArea* m_chartArea;
    StatsChartWidget* m_chart;
    Options m_options;
    std::unique_ptr<UiDispatcher> m_ownDispatcher;
    std::string m_verdictCachePath;
    CsvCells m_csvCells = CsvCells::Neutralised;
    std::string m_addressListsPath;
    std::atomic<bool> m_verifiedStopRequested{false};
    bool m_verifiedCounting = false;
    std::atomic<bool> m_registryStopRequested{false};
    bool m_registryCounting = false;
    std::unique_ptr<RegistryStatsWorker> m_registryWorker;
    std::unique_ptr<CrawlerStatistics> m_statistics;
    std::unique_ptr<VerifiedStatsWorker> m_verifiedWorker; // stopped before the members it uses go
};

} // namespace quill
