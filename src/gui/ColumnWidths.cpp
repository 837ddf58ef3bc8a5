#include "gui/ColumnWidths.h"

#include <QApplication>
#include <QHeaderView>
#include <QStyle>
#include <algorithm>
#include <cmath>

namespace quill {
namespace {

constexpr double kDescribedDigitWidth = 6.0;

// Room around a cell's text: the item margins on both sides and the grid line.
int cellPadding(const QWidget* widget)
{
    return 2 * (widget->style()->pixelMetric(QStyle::PM_FocusFrameHMargin, nullptr, widget) + 1) + 2;
}

} // namespace

int captionWidth(const QHeaderView* header, int logicalIndex)
{
    const QString caption =
        header->model() ? header->model()->headerData(logicalIndex, header->orientation()).toString() : QString();
    const QStyle* style = header->style();
    const int margin = style->pixelMetric(QStyle::PM_HeaderMargin, nullptr, header);
    // Room for the sort indicator too, so a sorted column keeps its whole caption.
    const int mark = style->pixelMetric(QStyle::PM_HeaderMarkSize, nullptr, header);
    return header->fontMetrics().horizontalAdvance(caption) + 4 * margin + mark;
}

int scaledColumnWidth(const QHeaderView* header, int logicalIndex, int described)
{
    // The cells' font decides what fits; a platform may give headers a font of their own.
    const QWidget* view = header->parentWidget() ? header->parentWidget() : header;
    const double digit = std::max(view->fontMetrics().horizontalAdvance(QLatin1Char('0')),
                                  header->fontMetrics().horizontalAdvance(QLatin1Char('0')));
    const int scaled = static_cast<int>(std::lround(described * std::max(1.0, digit / kDescribedDigitWidth)));
    return std::max(scaled, captionWidth(header, logicalIndex));
}

void applyDescribedWidths(QHeaderView* header, std::span<const int> described)
{
    for (int column = 0; column < static_cast<int>(described.size()); ++column)
        header->resizeSection(column, scaledColumnWidth(header, column, described[static_cast<size_t>(column)]));
}

ColumnWidths::ColumnWidths(QHeaderView* header, std::vector<int> described)
    : QObject(header), m_header(header), m_described(std::move(described)), m_user(m_described.size(), 0)
{
    m_settle.setSingleShot(true);
    m_settle.setInterval(400);
    connect(&m_settle, &QTimer::timeout, this, &ColumnWidths::changed);
    connect(header, &QHeaderView::sectionResized, this, &ColumnWidths::sectionResized);
}

void ColumnWidths::fit()
{
    m_fitting = true;
    for (size_t column = 0; column < m_described.size(); ++column) {
        const int logical = static_cast<int>(column);
        m_header->resizeSection(logical, m_user[column] > 0 ? m_user[column]
                                                            : scaledColumnWidth(m_header, logical, m_described[column]));
    }
    m_fitting = false;
}

void ColumnWidths::setUserWidths(std::vector<int> widths)
{
    widths.resize(m_described.size(), 0);
    m_user = std::move(widths);
    fit();
}

void ColumnWidths::sectionResized(int column, int oldSize, int newSize)
{
    // Hiding and showing a column resize it from or to nothing; the user set no width.
    if (m_fitting || column < 0 || column >= static_cast<int>(m_user.size()) || oldSize == 0 || newSize == 0)
        return;
    m_user[static_cast<size_t>(column)] = newSize;
    m_settle.start();
}

void ColumnWidths::widenToShow(int column, const QString& text)
{
    if (column < 0 || column >= static_cast<int>(m_user.size()) || m_user[static_cast<size_t>(column)] > 0)
        return;
    const QWidget* view = m_header->parentWidget() ? m_header->parentWidget() : m_header;
    const int needed = view->fontMetrics().horizontalAdvance(text) + cellPadding(view);
    if (m_header->sectionSize(column) < needed) {
        m_fitting = true;
        m_header->resizeSection(column, needed);
        m_fitting = false;
    }
}

} // namespace quill
