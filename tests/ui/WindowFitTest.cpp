// The window on a small or scaled screen. ctest runs WindowFit at 100%, 150% and 200% of a
// 1024x768 screen (QT_SCALE_FACTOR and an offscreen screen of that size, QUILLMARK_SCREEN naming
// it); the plain run takes the default offscreen screen.

#include "UiTestSupport.h"
#include "app/MainWindow.h"
#include "platform/CodePage.h"
#include "platform/IniFile.h"

#include <QAbstractButton>
#include <QGuiApplication>
#include <QScreen>
#include <QScrollArea>
#include <QTabBar>
#include <QTabWidget>
#include <gtest/gtest.h>

using namespace quill;
using namespace quill::test;

namespace {

std::unique_ptr<MainWindow> openWindow(const TempFolder& folder)
{
    MainWindow::Options options;
    options.settingsPath = folder.file("settings.ini");
    options.siteListPath = folder.file("test.xml");
    options.logFolderForRun = QString::fromStdString(folder.path());
    auto window = std::make_unique<MainWindow>(options);
    window->show();
    QApplication::processEvents();
    return window;
}

QString describe(const QWidget* widget)
{
    const QString name = widget->objectName();
    return name.isEmpty() ? QString::fromLatin1(widget->metaObject()->className()) : name;
}

// The widget between `button` and `page` that cuts part of the button off; empty when all of it
// lies within the page (which its sheet scrolls) or within a viewport that scrolls it.
QString cutOffBy(const QAbstractButton* button, const QWidget* page)
{
    QRect rect = button->rect();
    for (const QWidget* widget = button; widget != page; widget = widget->parentWidget()) {
        rect.translate(widget->pos());
        const QWidget* parent = widget->parentWidget();
        if (!parent->rect().contains(rect))
            return describe(parent);
        const auto* scrolling = qobject_cast<const QAbstractScrollArea*>(parent->parentWidget());
        if (scrolling && scrolling->viewport() == parent)
            return {};
    }
    return {};
}

} // namespace

TEST(WindowFit, everyButtonOfEveryPageCanBeReachedOnTheScreen)
{
    QScreen* screen = QGuiApplication::primaryScreen();
    const QRect available = screen->availableGeometry();
    const QString expectedScreen = qEnvironmentVariable("QUILLMARK_SCREEN");
    const QString scale = qEnvironmentVariable("QT_SCALE_FACTOR", QStringLiteral("1"));
    if (!expectedScreen.isEmpty()) { // the screen asked for, in device pixels (give or take rounding)
        const QStringList size = expectedScreen.split(QLatin1Char('x'));
        ASSERT_EQ(size.size(), 2);
        EXPECT_NEAR(available.width() * screen->devicePixelRatio(), size[0].toInt(), 1);
        EXPECT_NEAR(available.height() * screen->devicePixelRatio(), size[1].toInt(), 1);
    }

    TempFolder folder;
    auto window = openWindow(folder);
    EXPECT_TRUE(available.contains(window->frameGeometry()))
        << window->frameGeometry().width() << "x" << window->frameGeometry().height() << " on " << available.width()
        << "x" << available.height();
    auto* tabs = child<QTabWidget>(window, "PageControl");
    EXPECT_TRUE(tabs->usesScrollButtons() || tabs->tabBar()->sizeHint().width() <= tabs->width());
    for (int i = 0; i < tabs->count(); ++i) {
        tabs->setCurrentIndex(i);
        QApplication::processEvents();
        auto* sheet = qobject_cast<QScrollArea*>(tabs->widget(i));
        ASSERT_NE(sheet, nullptr) << i;
        const QRect viewport(sheet->viewport()->mapToGlobal(QPoint(0, 0)), sheet->viewport()->size());
        EXPECT_TRUE(available.contains(viewport)) << describe(sheet).toStdString();
        EXPECT_GT(viewport.height(), 0) << describe(sheet).toStdString();
        const QWidget* page = sheet->widget();
        int buttons = 0;
        for (const QAbstractButton* button : page->findChildren<QAbstractButton*>()) {
            if (!button->isVisibleTo(page))
                continue;
            ++buttons;
            EXPECT_EQ(cutOffBy(button, page).toStdString(), "")
                << describe(sheet).toStdString() << ": " << button->text().toStdString();
        }
        EXPECT_GT(buttons, 0) << describe(sheet).toStdString();
        const std::string name = "window-" + scale.toStdString() + "-" + describe(sheet).toStdString();
        screenshot(window.get(), name.c_str());
    }
}

TEST(WindowRestore, sizePlaceMaximisedStateAndPageComeBack)
{
    TempFolder folder;
    const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
    const QRect saved(screen.x() + 20, screen.y() + 10, screen.width() / 2, screen.height() / 2);
    folder.write("settings.ini", "[" + gbk("窗口") + "]\r\n" + gbk("左") + "=" + std::to_string(saved.x()) + "\r\n" +
                                     gbk("上") + "=" + std::to_string(saved.y()) + "\r\n" + gbk("宽") + "=" +
                                     std::to_string(saved.width()) + "\r\n" + gbk("高") + "=" +
                                     std::to_string(saved.height()) + "\r\n" + gbk("页") + "=ts4\r\n");
    {
        auto window = openWindow(folder);
        EXPECT_EQ(window->geometry(), saved);
        EXPECT_FALSE(window->isMaximized());
        auto* tabs = child<QTabWidget>(window, "PageControl");
        EXPECT_EQ(tabs->currentWidget(), child<QWidget>(window, "ts4"));
        tabs->setCurrentWidget(child<QWidget>(window, "ts1"));
        window->showMaximized();
        QApplication::processEvents();
        window->close();
    }
    const IniFile ini(folder.file("settings.ini"));
    EXPECT_EQ(ini.readString(gbk("窗口"), gbk("最大化"), ""), "1");
    EXPECT_EQ(ini.readString(gbk("窗口"), gbk("页"), ""), "ts1");
    EXPECT_EQ(ini.readString(gbk("窗口"), gbk("宽"), ""), std::to_string(saved.width())); // the size before maximising

    auto window = openWindow(folder);
    EXPECT_TRUE(window->isMaximized());
    EXPECT_EQ(child<QTabWidget>(window, "PageControl")->currentWidget(), child<QWidget>(window, "ts1"));
}

TEST(WindowRestore, aPlaceOffEveryScreenOrAnUnknownPageIsIgnored)
{
    TempFolder folder;
    folder.write("settings.ini", "[" + gbk("窗口") + "]\r\n" + gbk("左") + "=30000\r\n" + gbk("上") + "=-30000\r\n" +
                                     gbk("宽") + "=300\r\n" + gbk("高") + "=200\r\n" + gbk("页") + "=nosuchpage\r\n");
    auto window = openWindow(folder);
    EXPECT_EQ(window->size(), QSize(300, 200));
    EXPECT_TRUE(QGuiApplication::primaryScreen()->availableGeometry().intersects(window->frameGeometry()));
    EXPECT_EQ(child<QTabWidget>(window, "PageControl")->currentWidget(), child<QWidget>(window, "ts2"));
}
