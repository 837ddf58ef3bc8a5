#pragma once
// The "蜘蛛来访统计" page: the statistics list, "统计" and "停止", and the bar chart of the
// counts under the list.

#include "crawlers/CrawlerStatistics.h"
#include "gui/CsvExportRunner.h"
#include "verify/CrawlerVerifier.h"

#include <QWidget>
#include <atomic>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

class QCheckBox;
class QLabel;
class QPushButton;
class QScrollArea;
class QSplitter;
class QTableWidget;

namespace quill {

class ColumnWidths;
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

    bool isCounting() const { return m_statistics->isCounting() || m_verifiedCounting; }

    // "只计已验证": counts only visits whose crawler the DNS check verified, with a second row of
    // fakes per file. Its verdicts are kept in the cache file at `path`.
    void setOnlyVerified(bool onlyVerified);
    bool onlyVerified() const;
    void setVerdictCachePath(std::string path) { m_verdictCachePath = std::move(path); }
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
    void appendRow(const CrawlerFileStats& row, bool fakes = false);
    void appendVerifiedRows(const CrawlerFileStats& verified, const CrawlerFileStats& fakes);
    void finished();

    QPushButton* m_countButton;
    QPushButton* m_stopButton;
    QCheckBox* m_onlyVerifiedBox;
    QLabel* m_messageLabel;
    QPushButton* m_exportButton;
    CsvExportRunner* m_exportRunner;
    ColumnWidths* m_columnWidths;
    std::vector<CrawlerFileStats> m_rows; // what the list shows, for the export
    QSplitter* m_splitter;
    QTableWidget* m_statsList;
    QScrollArea* m_chartArea;
    StatsChartWidget* m_chart;
    Options m_options;
    std::unique_ptr<UiDispatcher> m_ownDispatcher;
    std::string m_verdictCachePath;
    std::atomic<bool> m_verifiedStopRequested{false};
    bool m_verifiedCounting = false;
    std::unique_ptr<CrawlerStatistics> m_statistics;
    std::unique_ptr<VerifiedStatsWorker> m_verifiedWorker; // stopped before the members it uses go
};

} // namespace quill
