#pragma once
// Column widths that fit the font in use: the lists were laid out in pixels for a 9-point font
// whose digits are 6 pixels wide, so the described widths scale with the digit width of the
// header's font, and a column is never narrower than its caption.

#include <QObject>
#include <QString>
#include <QTimer>
#include <span>
#include <vector>

class QHeaderView;

namespace quill {

// Pixels for a column described as `described` pixels, at the header's font.
int scaledColumnWidth(const QHeaderView* header, int logicalIndex, int described);

// Pixels the caption of `logicalIndex` needs, with its margins and a sort indicator.
int captionWidth(const QHeaderView* header, int logicalIndex);

// Sizes every column of `header` from `described` widths.
void applyDescribedWidths(QHeaderView* header, std::span<const int> described);


// The widths of a list's columns: described widths fitted to the font, except where the user has
// set a width (dragging or double-clicking an edge), which is kept and reported through
// `changed` once the user has stopped changing it.
class ColumnWidths : public QObject {
    Q_OBJECT
public:
    ColumnWidths(QHeaderView* header, std::vector<int> described);

    // Sizes every column: the user's width where there is one, else the described one fitted.
    void fit();
    // Widths from the settings (0: follows the font).
    void setUserWidths(std::vector<int> widths);
    const std::vector<int>& userWidths() const { return m_user; }
    // Widens `column` so that `text` shows whole in a cell, unless the user set its width.
    void widenToShow(int column, const QString& text);

signals:
    void changed();

private:
    void sectionResized(int column, int oldSize, int newSize);

    QHeaderView* m_header;
    std::vector<int> m_described;
    std::vector<int> m_user;
    bool m_fitting = false;
    QTimer m_settle;
};

} // namespace quill
