#include "gui/StackedBarsWidget.h"

#include <QHelpEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QToolTip>
#include <algorithm>
#include <numeric>

namespace quill {
namespace {

constexpr int kGap = 6;
constexpr int kSwatch = 10;

std::int64_t gridStep(std::int64_t largest)
{
    for (std::int64_t power = 1;; power *= 10)
        for (std::int64_t factor : {1, 2, 5})
            if (factor * power * 4 >= largest)
                return factor * power;
}

} // namespace

StackedBarsWidget::StackedBarsWidget(QWidget* parent) : QWidget(parent) { setAttribute(Qt::WA_OpaquePaintEvent); }

QColor StackedBarsWidget::seriesColor(int series)
{
    static const QRgb colours[] = {0x4E79A7, 0xF28E2B, 0xE15759, 0x76B7B2, 0x59A14F, 0xEDC948,
                                   0xB07AA1, 0xFF9DA7, 0x9C755F, 0xBAB0AC, 0x1F77B4, 0x8C564B};
    constexpr int count = sizeof colours / sizeof colours[0];
    return QColor(colours[((series % count) + count) % count]);
}

void StackedBarsWidget::setBars(QStringList labels, QStringList series, std::vector<std::vector<std::int64_t>> values)
{
    m_labels = std::move(labels);
    m_series = std::move(series);
    m_values = std::move(values);
    m_values.resize(static_cast<size_t>(m_labels.size()));
    m_largest = 0;
    for (int bar = 0; bar < barCount(); ++bar)
        m_largest = std::max(m_largest, stackHeight(bar));
    m_first = m_last = -1;
    update();
}

void StackedBarsWidget::setSelection(int first, int last)
{
    m_first = std::min(first, last);
    m_last = std::max(first, last);
    update();
}

std::int64_t StackedBarsWidget::stackHeight(int bar) const
{
    const auto& values = m_values[static_cast<size_t>(bar)];
    return std::accumulate(values.begin(), values.end(), std::int64_t(0));
}

QSize StackedBarsWidget::sizeHint() const { return {600, 12 * fontMetrics().height()}; }

QSize StackedBarsWidget::minimumSizeHint() const { return {200, 7 * fontMetrics().height()}; }

QRect StackedBarsWidget::plotArea() const
{
    const QFontMetrics metrics = fontMetrics();
    const std::int64_t step = gridStep(std::max<std::int64_t>(m_largest, 1));
    const std::int64_t top = (std::max<std::int64_t>(m_largest, 1) + step - 1) / step * step;
    const int left = metrics.horizontalAdvance(QString::number(top)) + 2 * kGap;
    const int legend = metrics.height() + kGap + metrics.height() / 2; // the top grid label stands half above
    const int labels = metrics.height() + kGap / 2;
    return QRect(left, legend, std::max(1, width() - left - kGap), std::max(1, height() - legend - labels - kGap / 2));
}

QRect StackedBarsWidget::barSlot(int bar) const
{
    const QRect plot = plotArea();
    if (barCount() == 0)
        return {};
    const double width = static_cast<double>(plot.width()) / barCount();
    const int left = plot.left() + static_cast<int>(bar * width);
    const int right = plot.left() + static_cast<int>((bar + 1) * width);
    return QRect(left, plot.top(), std::max(1, right - left), plot.height());
}

int StackedBarsWidget::barAt(int x) const
{
    const QRect plot = plotArea();
    if (barCount() == 0)
        return -1;
    const int bar = static_cast<int>((x - plot.left()) * static_cast<double>(barCount()) / plot.width());
    return std::clamp(bar, 0, barCount() - 1);
}

void StackedBarsWidget::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Base));
    const QFontMetrics metrics = fontMetrics();
    const QColor text = palette().color(QPalette::Text);

    int x = kGap;
    for (int s = 0; s < m_series.size(); ++s) {
        painter.fillRect(x, (metrics.height() - kSwatch) / 2 + 2, kSwatch, kSwatch, seriesColor(s));
        x += kSwatch + 4;
        painter.setPen(text);
        painter.drawText(x, 2, metrics.horizontalAdvance(m_series[s]) + 1, metrics.height(), Qt::AlignVCenter, m_series[s]);
        x += metrics.horizontalAdvance(m_series[s]) + 2 * kGap;
    }

    const QRect plot = plotArea();
    const std::int64_t step = gridStep(std::max<std::int64_t>(m_largest, 1));
    const std::int64_t top = (std::max<std::int64_t>(m_largest, 1) + step - 1) / step * step;
    painter.setPen(palette().color(QPalette::Mid));
    for (std::int64_t value = 0; value <= top; value += step) {
        const int y = plot.bottom() - static_cast<int>(plot.height() * static_cast<double>(value) / top);
        painter.drawLine(plot.left(), y, plot.right(), y);
        painter.drawText(0, y - metrics.height() / 2, plot.left() - kGap, metrics.height(), Qt::AlignRight | Qt::AlignVCenter,
                         QString::number(value));
    }

    if (m_first >= 0)
        painter.fillRect(QRect(barSlot(m_first).topLeft(), barSlot(m_last).bottomRight()),
                         palette().color(QPalette::Highlight).lighter(170));
    // Labels as many as fit without touching.
    const int labelWidth = metrics.horizontalAdvance(m_labels.isEmpty() ? QString() : m_labels.front()) + kGap;
    const int every = std::max(1, static_cast<int>(labelWidth / std::max(1.0, plot.width() / std::max(1.0, 1.0 * barCount()))) + 1);
    for (int bar = 0; bar < barCount(); ++bar) {
        const QRect slot = barSlot(bar);
        const int barWidth = std::max(1, slot.width() * 3 / 4);
        double bottom = plot.bottom() + 1;
        const auto& values = m_values[static_cast<size_t>(bar)];
        for (size_t s = 0; s < values.size(); ++s) {
            const double height = plot.height() * static_cast<double>(values[s]) / top;
            painter.fillRect(QRectF(slot.left() + (slot.width() - barWidth) / 2.0, bottom - height, barWidth, height),
                             seriesColor(static_cast<int>(s)));
            bottom -= height;
        }
        if (bar % every == 0) {
            painter.setPen(text);
            painter.drawText(slot.left(), plot.bottom() + 2, labelWidth, metrics.height(), Qt::AlignLeft, m_labels[bar]);
        }
    }
}

void StackedBarsWidget::mousePressEvent(QMouseEvent* event)
{
    if (!m_selectable || event->button() != Qt::LeftButton || barCount() == 0)
        return;
    m_dragFrom = barAt(event->position().toPoint().x());
    setSelection(m_dragFrom, m_dragFrom);
}

void StackedBarsWidget::mouseMoveEvent(QMouseEvent* event)
{
    if (m_dragFrom >= 0)
        setSelection(m_dragFrom, barAt(event->position().toPoint().x()));
}

void StackedBarsWidget::mouseReleaseEvent(QMouseEvent* event)
{
    if (m_dragFrom < 0)
        return;
    setSelection(m_dragFrom, barAt(event->position().toPoint().x()));
    m_dragFrom = -1;
    emit selected(m_first, m_last);
}

bool StackedBarsWidget::event(QEvent* event)
{
    if (event->type() != QEvent::ToolTip)
        return QWidget::event(event);
    const auto* help = static_cast<QHelpEvent*>(event);
    if (barCount() == 0 || !plotArea().contains(help->pos())) {
        QToolTip::hideText();
        return true;
    }
    const int bar = barAt(help->pos().x());
    QString tip = m_labels[bar];
    const auto& values = m_values[static_cast<size_t>(bar)];
    for (size_t s = 0; s < values.size() && s < static_cast<size_t>(m_series.size()); ++s)
        if (values[s] != 0)
            tip += QLatin1Char('\n') + m_series[static_cast<int>(s)] + QStringLiteral(": ") + QString::number(values[s]);
    QToolTip::showText(help->globalPos(), tip, this);
    return true;
}

} // namespace quill
