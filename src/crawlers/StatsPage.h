#pragma once
// The "蜘蛛来访统计" page: the statistics list, "统计" and "停止", and the bar chart of the
// counts under the list.

#include "crawlers/CrawlerStatistics.h"

#include <QWidget>
#include <functional>
#include <memory>

class QPushButton;
class QScrollArea;
class QSplitter;
class QTableWidget;

namespace quill {

class StatsChartWidget;

class StatsPage : public QWidget {
    Q_OBJECT
public:
    // `logFolder` gives the window's log folder as it stands when "统计" is pressed. Rows reach
    // the page through `ui` (tests hook it); without one the page posts to its own event queue.
    explicit StatsPage(std::function<QString()> logFolder, QWidget* parent = nullptr, UiDispatcher* ui = nullptr);
    // Abandons a running count and waits for its thread, before the list and buttons go.
    ~StatsPage() override;

    bool isCounting() const { return m_statistics->isCounting(); }

private:
    void startCounting();
    void stopCounting();
    void appendRow(const CrawlerFileStats& row);
    void finished();

    QPushButton* m_countButton;
    QPushButton* m_stopButton;
    QSplitter* m_splitter;
    QTableWidget* m_statsList;
    QScrollArea* m_chartArea;
    StatsChartWidget* m_chart;
    std::function<QString()> m_logFolder;
    std::unique_ptr<UiDispatcher> m_ownDispatcher;
    std::unique_ptr<CrawlerStatistics> m_statistics;
};

} // namespace quill
