#pragma once
// The picture under the statistics list: one group of bars per counted file, one colour per series
// (the seven engines, or the columns of the "全部蜘蛛" view), with a legend. It only shows the rows
// it is given; the list stays as it is.

#include "crawlers/CrawlerFileStats.h"

#include <QColor>
#include <QList>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QWidget>
#include <optional>
#include <vector>

namespace quill {

class StatsChartWidget : public QWidget {
    Q_OBJECT
public:
    explicit StatsChartWidget(QWidget* parent = nullptr);

    void clear();
    // The series the bars stand for, in column order; empty: the seven engines. Clears the rows.
    void setSeries(const QStringList& captions);
    int seriesCount() const { return static_cast<int>(m_series.size()); }
    // One group at the right end; a row without counts keeps its place but draws no bars. A
    // group of `fakes` (visits whose crawler the DNS check found fake) is hatched and labelled so.
    void appendRow(const QString& fileName, const std::optional<StatisticsCounts>& counts, bool fakes = false);
    // A row of the current series; missing counts are 0, surplus ones are left out.
    void appendCounts(const QString& fileName, const std::optional<std::vector<std::int64_t>>& counts, bool fakes = false);
    bool isFakes(int row) const { return m_rows[static_cast<size_t>(row)].fakes; }
    int rowCount() const { return static_cast<int>(m_rows.size()); }

    // Where the bars of `row` stand at the widget's present size, in count column order;
    // empty for a row without counts. A count of 0 gives a bar of height 0.
    QList<QRect> barRects(int row) const;
    // The colour of series `engine` (0-6: the engines, Baidu first).
    static QColor engineColour(int engine);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool event(QEvent* event) override;

private:
    struct Row {
        QString fileName;
        std::optional<std::vector<std::int64_t>> counts;
        bool fakes = false;
    };
    struct Layout {
        QRect legend;
        QRect plot;         // the bars stand on its bottom edge
        double groupWidth;  // plot width per row
        std::int64_t top;   // the count at the plot's top edge
        std::int64_t step;  // between two grid lines
    };

    Layout layout() const;
    int leftMargin() const;
    int rowAt(int x) const;
    void drawLegend(QPainter& painter, const QRect& area) const;
    void drawAxis(QPainter& painter, const Layout& at) const;
    void drawGroups(QPainter& painter, const Layout& at) const;
    // The whole text under a group: the file's name, after "伪装" for a fakes group.
    QString labelText(int row) const;
    QString toolTipText(int row) const;

    QStringList m_series;
    std::vector<Row> m_rows;
    std::int64_t m_largest = 0;
    bool m_anyFakes = false;
};

} // namespace quill
