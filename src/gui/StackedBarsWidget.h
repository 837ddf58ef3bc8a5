#pragma once
// Stacked bars with a legend: the crawl ledger's days by crawler, status classes by day and
// crawlers by hour of day. Where selection is on, a drag across the bars selects a run of them.

#include <QColor>
#include <QRect>
#include <QStringList>
#include <QWidget>
#include <cstdint>
#include <vector>

namespace quill {

class StackedBarsWidget : public QWidget {
    Q_OBJECT
public:
    explicit StackedBarsWidget(QWidget* parent = nullptr);

    // One bar per label, stacked bottom up from values[bar][series].
    void setBars(QStringList labels, QStringList series, std::vector<std::vector<std::int64_t>> values);
    // Highlights bars first..last (-1: none).
    void setSelection(int first, int last);
    void setSelectable(bool selectable) { m_selectable = selectable; }

    int barCount() const { return static_cast<int>(m_labels.size()); }
    // Where bar `bar` stands at the widget's present size (its whole height range).
    QRect barSlot(int bar) const;
    // The colour of series `series`: hues that stay apart side by side.
    static QColor seriesColor(int series);

    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

signals:
    // A drag (or a click) over bars first..last ended.
    void selected(int first, int last);

protected:
    void paintEvent(QPaintEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    bool event(QEvent* event) override;

private:
    QRect plotArea() const;
    int barAt(int x) const;
    std::int64_t stackHeight(int bar) const;

    QStringList m_labels;
    QStringList m_series;
    std::vector<std::vector<std::int64_t>> m_values;
    std::int64_t m_largest = 0;
    int m_first = -1;
    int m_last = -1;
    int m_dragFrom = -1;
    bool m_selectable = false;
};

} // namespace quill
