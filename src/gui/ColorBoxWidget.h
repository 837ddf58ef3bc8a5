#pragma once
// A colour picker box: the 52 named colours with swatches, and a custom entry that asks for any
// colour.

#include "settings/ColourNames.h"

#include <QComboBox>
#include <QPalette>

namespace quill {

// The screen colour of a colour value; system colours take the palette role that matches them.
QColor toQColor(TColor value, const QPalette& palette = QPalette());

class ColorBoxWidget : public QComboBox {
    Q_OBJECT
public:
    explicit ColorBoxWidget(QWidget* parent = nullptr);

    TColor color() const;
    // Selects the named entry of `value`, or shows it in the custom entry.
    void setColor(TColor value);

signals:
    void colorChanged(quill::TColor value);

private:
    void onActivated(int index);
    void setCustomEntry(TColor value);

    int m_lastIndex = 0;
};

} // namespace quill
