#pragma once
// A colour picker box: the 52 named colours with swatches, and a custom entry that asks for any
// colour.

#include "settings/ColourNames.h"

#include <QComboBox>
#include <QPalette>

namespace quill {

// The screen colour of a colour value; system colours take the palette role that matches them.
QColor toQColor(ColourValue value, const QPalette& palette = QPalette());

class ColourBoxWidget : public QComboBox {
    Q_OBJECT
public:
    explicit ColourBoxWidget(QWidget* parent = nullptr);

    ColourValue colour() const;
    // Selects the named entry of `value`, or shows it in the custom entry.
    void setColour(ColourValue value);

signals:
    void colourChanged(quill::ColourValue value);

private:
    void onActivated(int index);
    void setCustomEntry(ColourValue value);

    int m_lastIndex = 0;
};

} // namespace quill
