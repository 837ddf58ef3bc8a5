#pragma once
// A tool page as a tab holds it: inside a scroll area that gives the page all the room there is
// and scrolls what does not fit, so a small or scaled screen leaves no control out of reach.

class QScrollArea;
class QWidget;

namespace quill {

// The sheet holding `page`, named as the page is, so tests and code find a page by its given
// name whether they ask for the tab's widget or for the page.
QScrollArea* makePageSheet(QWidget* page);

} // namespace quill
