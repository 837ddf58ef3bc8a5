#include "gui/StatsChartWidget.h"

#include "crawlers/ChartScale.h"
#include "gui/QtGbk.h"

#include <QHelpEvent>
#include <QPainter>
#include <QToolTip>
#include <algorithm>

namespace quill {
namespace {

constexpr int kFirstCountColumn = 2; // of the statistics list: name and size come first
constexpr int kMinGroupWidth = 40;   // seven bars of at least 3 pixels, a gap, a day's digits
constexpr int kMinBarWidth = 4;
constexpr int kGap = 6;
constexpr int kSwatch = 10;
constexpr double kBarShare = 0.72; // of a group's width; the rest separates the groups

QStringList describedSeries()
{
    QStringList captions;
    for (int engine = 0; engine < kStatisticsCountColumns; ++engine)
        captions << fromGbk(statisticsListColumns()[kFirstCountColumn + engine].caption);
    return captions;
}

QString fakesCaption()
{
    return QString::fromUtf8("伪装");
}

} // namespace

StatsChartWidget::StatsChartWidget(QWidget* parent) : QWidget(parent), m_series(describedSeries())
{
    setAttribute(Qt::WA_OpaquePaintEvent);
    setMouseTracking(false);
}

void StatsChartWidget::clear()
{
    m_rows.clear();
    m_largest = 0;
    m_anyFakes = false;
    updateGeometry();
    update();
}

void StatsChartWidget::setSeries(const QStringList& captions)
{
    m_series = captions.isEmpty() ? describedSeries() : captions;
    clear();
}

void StatsChartWidget::appendRow(const QString& fileName, const std::optional<StatisticsCounts>& counts, bool fakes)
{
    std::optional<std::vector<std::int64_t>> values;
    if (counts)
        values.emplace(counts->begin(), counts->end());
    appendCounts(fileName, values, fakes);
}

void StatsChartWidget::appendCounts(const QString& fileName, const std::optional<std::vector<std::int64_t>>& counts,
                                    bool fakes)
{
    std::optional<std::vector<std::int64_t>> shown = counts;
    if (shown)
        shown->resize(static_cast<size_t>(seriesCount()), 0);
    m_rows.push_back({fileName, shown, fakes});
    m_anyFakes = m_anyFakes || fakes;
    if (shown && !shown->empty())
        m_largest = std::max(m_largest, *std::max_element(shown->begin(), shown->end()));
    updateGeometry(); // a scroll area around the chart learns its new minimum width
    update();
}

QColor StatsChartWidget::engineColour(int engine)
{
    // Baidu, Google, Soso, Youdao, Yahoo, Sogou, MSN: seven hues that stay apart side by side; the
    // wider views of today's crawlers go on with five more, then start again.
    static const QRgb colours[] = {0x4E79A7, 0xF28E2B, 0xE15759, 0x76B7B2, 0xB07AA1, 0x59A14F,
                                   0xEDC948, 0xFF9DA7, 0x9C755F, 0xBAB0AC, 0x17BECF, 0x8C564B};
    constexpr int count = sizeof colours / sizeof colours[0];
    return QColor(colours[((engine % count) + count) % count]);
}

int StatsChartWidget::leftMargin() const
{
    return fontMetrics().horizontalAdvance(QString::number(chartScale(m_largest).top)) + 2 * kGap;
}

QSize StatsChartWidget::minimumSizeHint() const
{
    const int groups = std::max(rowCount(), 1);
    const int groupWidth = std::max(kMinGroupWidth, seriesCount() * kMinBarWidth + 12);
    return {leftMargin() + groups * groupWidth + kGap, 5 * fontMetrics().height() + 40};
}

QSize StatsChartWidget::sizeHint() const
{
    return minimumSizeHint().expandedTo({400, 200});
}

StatsChartWidget::Layout StatsChartWidget::layout() const
{
    const int line = fontMetrics().height();
    Layout at;
    at.legend = QRect(leftMargin(), kGap, width() - leftMargin() - kGap, line);
    const int plotTop = at.legend.bottom() + kGap + line / 2;
    const int plotBottom = height() - line - kGap;
    at.plot = QRect(QPoint(leftMargin(), plotTop), QPoint(width() - kGap, std::max(plotTop, plotBottom)));
    at.groupWidth = double(at.plot.width()) / std::max(rowCount(), 1);
    const ChartScale scale = chartScale(m_largest);
    at.step = scale.step;
    at.top = scale.top;
    return at;
}

QList<QRect> StatsChartWidget::barRects(int row) const
{
    QList<QRect> bars;
    if (row < 0 || row >= rowCount() || !m_rows[row].counts)
        return bars;
    const Layout at = layout();
    const double barWidth = at.groupWidth * kBarShare / std::max(seriesCount(), 1);
    const double groupLeft = at.plot.left() + row * at.groupWidth + at.groupWidth * (1 - kBarShare) / 2;
    for (int engine = 0; engine < seriesCount(); ++engine) {
        const int left = int(groupLeft + engine * barWidth);
        const int right = int(groupLeft + (engine + 1) * barWidth);
        const double share = double((*m_rows[row].counts)[engine]) / double(at.top);
        const int height = int(share * at.plot.height() + 0.5);
        bars.push_back(QRect(left, at.plot.bottom() + 1 - height, std::max(right - left, 1), height));
    }
    return bars;
}

int StatsChartWidget::rowAt(int x) const
{
    const Layout at = layout();
    if (x < at.plot.left() || x > at.plot.right() || m_rows.empty())
        return -1;
    return std::min(int((x - at.plot.left()) / at.groupWidth), rowCount() - 1);
}

void StatsChartWidget::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Base));
    const Layout at = layout();
    drawLegend(painter, at.legend);
    drawAxis(painter, at);
    drawGroups(painter, at);
}

void StatsChartWidget::drawLegend(QPainter& painter, const QRect& area) const
{
    const QFontMetrics metrics = fontMetrics();
    int x = area.left();
    for (int engine = 0; engine < seriesCount(); ++engine) {
        const QString& caption = m_series[engine];
        const QRect swatch(x, area.center().y() - kSwatch / 2, kSwatch, kSwatch);
        painter.fillRect(swatch, engineColour(engine));
        x = swatch.right() + 1 + kGap / 2;
        painter.setPen(palette().color(QPalette::Text));
        painter.drawText(QRect(x, area.top(), metrics.horizontalAdvance(caption) + 1, area.height()),
                         Qt::AlignLeft | Qt::AlignVCenter, caption);
        x += metrics.horizontalAdvance(caption) + 3 * kGap;
    }
    if (!m_anyFakes)
        return;
    const QString caption = fakesCaption();
    const QRect swatch(x, area.center().y() - kSwatch / 2, kSwatch, kSwatch);
    painter.fillRect(swatch, QBrush(palette().color(QPalette::Text), Qt::BDiagPattern));
    painter.setPen(palette().color(QPalette::Text));
    painter.drawRect(swatch.adjusted(0, 0, -1, -1));
    painter.drawText(QRect(swatch.right() + 1 + kGap / 2, area.top(), metrics.horizontalAdvance(caption) + 1,
                           area.height()),
                     Qt::AlignLeft | Qt::AlignVCenter, caption);
}

void StatsChartWidget::drawAxis(QPainter& painter, const Layout& at) const
{
    const QColor text = palette().color(QPalette::Text);
    QColor grid = palette().color(QPalette::Mid);
    grid.setAlpha(110);
    const int line = fontMetrics().height();
    for (std::int64_t value = 0; value <= at.top; value += at.step) {
        const int y = at.plot.bottom() - int(double(value) / double(at.top) * at.plot.height() + 0.5);
        painter.setPen(QPen(grid, 1, value == 0 ? Qt::SolidLine : Qt::DotLine));
        painter.drawLine(at.plot.left(), y, at.plot.right(), y);
        painter.setPen(text);
        painter.drawText(QRect(0, y - line / 2, at.plot.left() - kGap, line), Qt::AlignRight | Qt::AlignVCenter,
                         QString::number(value));
    }
    painter.setPen(text);
    painter.drawLine(at.plot.left(), at.plot.top(), at.plot.left(), at.plot.bottom());
    painter.drawLine(at.plot.left(), at.plot.bottom(), at.plot.right(), at.plot.bottom());
}

void StatsChartWidget::drawGroups(QPainter& painter, const Layout& at) const
{
    const QFontMetrics metrics = fontMetrics();
    for (int row = 0; row < rowCount(); ++row) {
        const QList<QRect> bars = barRects(row);
        for (int engine = 0; engine < bars.size(); ++engine) {
            if (!m_rows[row].fakes) {
                painter.fillRect(bars[engine], engineColour(engine));
                continue;
            }
            if (bars[engine].height() < 2)
                continue; // no fakes: nothing to draw, as a count of 0 draws nothing
            painter.fillRect(bars[engine], QBrush(engineColour(engine), Qt::BDiagPattern));
            painter.setPen(engineColour(engine));
            painter.drawRect(bars[engine].adjusted(0, 0, -1, -1));
        }
        // The file's name under its group, a fakes group's too; a name that does not fit keeps its
        // beginning and its end (daily logs differ in their last digits, archives in their
        // extension) and the tool tip has it whole.
        const int left = at.plot.left() + int(row * at.groupWidth);
        const QRect label(left + 1, at.plot.bottom() + 2, int(at.groupWidth) - 2, metrics.height());
        const QString name = metrics.elidedText(labelText(row), Qt::ElideMiddle, label.width());
        painter.setPen(palette().color(m_rows[row].counts ? QPalette::Text : QPalette::PlaceholderText));
        painter.drawText(label, Qt::AlignHCenter | Qt::AlignTop, name);
    }
}

QString StatsChartWidget::labelText(int row) const
{
    const Row& shown = m_rows[row];
    return shown.fakes ? fakesCaption() + QLatin1Char(' ') + shown.fileName : shown.fileName;
}

QString StatsChartWidget::toolTipText(int row) const
{
    const Row& shown = m_rows[row];
    QString text = labelText(row);
    for (int engine = 0; engine < seriesCount(); ++engine)
        text += QLatin1Char('\n') + m_series[engine] + QStringLiteral(": ") +
                (shown.counts ? QString::number((*shown.counts)[static_cast<size_t>(engine)]) : QString());
    return text;
}

bool StatsChartWidget::event(QEvent* event)
{
    if (event->type() != QEvent::ToolTip)
        return QWidget::event(event);
    auto* help = static_cast<QHelpEvent*>(event);
    const int row = rowAt(help->pos().x());
    if (row < 0) {
        QToolTip::hideText();
        event->ignore();
    } else {
        QToolTip::showText(help->globalPos(), toolTipText(row), this);
    }
    return true;
}

} // namespace quill
