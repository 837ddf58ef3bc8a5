// The window's size, place, maximised state and page: restored from the settings file at start,
// kept at close, and always within the screens there are now.

#include "app/MainWindow.h"

#include "gui/LogPage.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTabWidget>
#include <QWindow>

namespace quill {
namespace {

constexpr ScreenRect kDesignedSize{0, 0, 800, 600};

ScreenRect toScreenRect(const QRect& rect) { return {rect.x(), rect.y(), rect.width(), rect.height()}; }

// The room for the window's inside on each screen, the primary first: the available area less the
// window's frame.
std::vector<ScreenRect> availableScreens(const QMargins& frame)
{
    std::vector<ScreenRect> screens;
    QScreen* primary = QGuiApplication::primaryScreen();
    if (primary)
        screens.push_back(toScreenRect(primary->availableGeometry() - frame));
    for (QScreen* screen : QGuiApplication::screens())
        if (screen != primary)
            screens.push_back(toScreenRect(screen->availableGeometry() - frame));
    return screens;
}

} // namespace

void MainWindow::restorePlacement(const WindowState& saved)
{
    // Where the platform knows the frame before the window shows, the frame must fit too; where it
    // learns it later, a window cut to the screen is maximised below, which fits it all the same.
    create();
    const QMargins frame = windowHandle() ? windowHandle()->frameMargins() : QMargins();
    const WindowPlacement placed = placeWindow(saved.geometry, availableScreens(frame), kDesignedSize);
    const QRect rect(placed.rect.x, placed.rect.y, placed.rect.width, placed.rect.height);
    if (placed.positioned)
        setGeometry(rect);
    else
        resize(rect.size());
    // A window as large as the screen is maximised, so the window manager fits its frame too.
    if (saved.maximised || placed.fillsScreen)
        setWindowState(windowState() | Qt::WindowMaximized);
    QWidget* page = m_logPage;
    for (int i = 0; i < m_pages->count(); ++i)
        if (!saved.page.empty() && m_pages->widget(i)->objectName() == QString::fromStdString(saved.page))
            page = m_pages->widget(i);
    showPage(page);
}

WindowState MainWindow::placementToSave() const
{
    WindowState state;
    state.maximised = isMaximized();
    const QRect normal = state.maximised ? normalGeometry() : geometry();
    if (normal.isValid())
        state.geometry = toScreenRect(normal);
    if (const QWidget* current = m_pages->currentWidget())
        state.page = current->objectName().toStdString();
    return state;
}

void MainWindow::showPage(QWidget* page)
{
    for (int i = 0; i < m_pages->count(); ++i)
        if (m_pages->widget(i) == page || m_pages->widget(i)->isAncestorOf(page))
            m_pages->setCurrentIndex(i);
}

} // namespace quill
