#include "gui/PageSheet.h"

#include <QScrollArea>

namespace quill {

QScrollArea* makePageSheet(QWidget* page)
{
    auto* sheet = new QScrollArea;
    sheet->setObjectName(page->objectName());
    sheet->setFrameShape(QFrame::NoFrame);
    sheet->setWidgetResizable(true); // the page fills the sheet, but never below its minimum size
    sheet->setWidget(page);
    return sheet;
}

} // namespace quill
