#include "gui/ColourBoxWidget.h"

#include <QColorDialog>
#include <QPixmap>

namespace quill {
namespace {

constexpr ColourValue kSystemColour = 0xFF000000u;
constexpr int kCustomIndex = 0;
constexpr int kVisibleEntries = 20;

// Palette roles of the system colour indexes 0-30.
QPalette::ColorRole systemRole(unsigned index)
{
    static const QPalette::ColorRole roles[] = {
        QPalette::Button,      QPalette::Window,      QPalette::Highlight,       QPalette::Mid,
        QPalette::Window,      QPalette::Base,        QPalette::Shadow,          QPalette::WindowText,
        QPalette::Text,        QPalette::HighlightedText, QPalette::Mid,         QPalette::Midlight,
        QPalette::Dark,        QPalette::Highlight,   QPalette::HighlightedText, QPalette::Button,
        QPalette::Dark,        QPalette::PlaceholderText, QPalette::ButtonText,  QPalette::Text,
        QPalette::Light,       QPalette::Shadow,      QPalette::Midlight,        QPalette::ToolTipText,
        QPalette::ToolTipBase, QPalette::Window,      QPalette::Link,            QPalette::Highlight,
        QPalette::Midlight,    QPalette::Highlight,   QPalette::Window,
    };
    return index < std::size(roles) ? roles[index] : QPalette::Base;
}

QIcon swatch(const QColor& colour)
{
    QPixmap pixmap(16, 12);
    pixmap.fill(colour);
    return QIcon(pixmap);
}

} // namespace

QColor toQColor(ColourValue value, const QPalette& palette)
{
    if ((value & 0xFF000000u) == kSystemColour)
        return palette.color(systemRole(value & 0xFFu));
    if ((value & 0xFF000000u) != 0) // "none" and "default"
        return palette.color(QPalette::Base);
    return QColor(static_cast<int>(value & 0xFF), static_cast<int>((value >> 8) & 0xFF),
                  static_cast<int>((value >> 16) & 0xFF));
}

ColourBoxWidget::ColourBoxWidget(QWidget* parent) : QComboBox(parent)
{
    // 53 entries would fill the screen; styles that open the list over the box ignore the limit.
    setMaxVisibleItems(kVisibleEntries);
    setStyleSheet(QStringLiteral("QComboBox { combobox-popup: 0; }"));
    addItem(QString::fromUtf8("自定义..."), QVariant::fromValue(0u));
    for (const ColourName& entry : colourNameTable()) {
        QString name = QString::fromLatin1(entry.name.data(), static_cast<qsizetype>(entry.name.size()));
        addItem(swatch(toQColor(entry.value, palette())), name.mid(2), QVariant::fromValue(entry.value));
    }
    connect(this, &QComboBox::activated, this, &ColourBoxWidget::onActivated);
}

ColourValue ColourBoxWidget::colour() const { return currentData().value<ColourValue>(); }

void ColourBoxWidget::setColour(ColourValue value)
{
    int named = -1;
    for (int i = kCustomIndex + 1; i < count() && named < 0; ++i)
        if (itemData(i).value<ColourValue>() == value)
            named = i;
    if (named > 0)
        setCurrentIndex(named);
    else
        setCustomEntry(value);
    m_lastIndex = currentIndex();
}

void ColourBoxWidget::setCustomEntry(ColourValue value)
{
    setItemData(kCustomIndex, QVariant::fromValue(value));
    setItemIcon(kCustomIndex, swatch(toQColor(value, palette())));
    setCurrentIndex(kCustomIndex);
}

void ColourBoxWidget::onActivated(int index)
{
    if (index == kCustomIndex) {
        const QColor chosen = QColorDialog::getColor(toQColor(colour(), palette()), this);
        if (!chosen.isValid()) {
            setCurrentIndex(m_lastIndex);
            return;
        }
        setCustomEntry(static_cast<ColourValue>(chosen.red()) | (static_cast<ColourValue>(chosen.green()) << 8) |
                       (static_cast<ColourValue>(chosen.blue()) << 16));
    }
    m_lastIndex = currentIndex();
    emit colourChanged(colour());
}

} // namespace quill
