#include "UiTestSupport.h"
#include "gui/LogPage.h"
#include "platform/CodePage.h"
#include "platform/IniFile.h"
#include "gui/ColourBoxWidget.h"
#include "gui/ColumnWidths.h"
#include "gui/SettingsPage.h"
#include "app/MainWindow.h"
#include "support/LoopbackServer.h"

#include <QCheckBox>
#include <QColorDialog>
#include <QComboBox>
#include <QDir>
#include <QGuiApplication>
#include <QScreen>
#include <QWindow>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QSplitter>
#include <QTabWidget>
#include <QTableView>
#include <QTextBrowser>
#include <gtest/gtest.h>
#include <filesystem>
#include <atomic>
#include <memory>

using namespace quill;
using namespace quill::test;

namespace {

struct WindowFixture {
    TempFolder folder;
    std::string settings = folder.file("settings.ini");
    std::string logs = folder.file("logs");

    WindowFixture()
    {
        QDir().mkpath(QString::fromStdString(logs));
        TempFolder::writeFile(logs + "/ex1.log", kIis6Header + iisLine({.stem = "/a.htm"}) + iisLine({.stem = "/b.htm"}));
        TempFolder::writeFile(logs + "/ex2.log", kIis6Header + iisLine({.stem = "/c.htm"}));
    }

    std::unique_ptr<MainWindow> open(std::optional<QString> chosen = std::nullopt, bool logDirForRun = true)
    {
        MainWindow::Options options;
        options.settingsPath = settings;
        options.siteListPath = folder.file("test.xml");
        if (logDirForRun)
            options.logFolderForRun = QString::fromStdString(logs);
        options.chooseFolder = [chosen](QWidget*) { return chosen; };
        auto form = std::make_unique<MainWindow>(options);
        form->show();
        return form;
    }
};

// Counts the right-button presses that reach a widget.
class PressCounter : public QObject {
public:
    int presses = 0;
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::MouseButtonPress)
            ++presses;
        return false;
    }
};

} // namespace

TEST(MainWindow, firstStartShowsTheLogPageWithDesignStates)
{
    WindowFixture f;
    auto form = f.open();
    EXPECT_TRUE(form->windowTitle().startsWith(QString::fromUtf8("Quillmark-IISWEB日志分析 V1.03-Brenhollow出品.-")));
    // The designed 800 x 600, where the screen has room for it and the frame.
    const QMargins frame = form->windowHandle()->frameMargins();
    const QSize room = (QGuiApplication::primaryScreen()->availableGeometry() - frame).size();
    EXPECT_EQ(form->size(), QSize(800, 600).boundedTo(room));
    QStringList captions;
    for (int i = 0; i < child<QTabWidget>(form, "PageControl")->count(); ++i)
        captions << child<QTabWidget>(form, "PageControl")->tabText(i);
    // The six pages of the design, and the crawl ledger's after the statistics.
    EXPECT_EQ(captions.join(QLatin1Char(',')), QString::fromUtf8("设置,蜘蛛来访统计,抓取档案,日志分析,体验,解码,更新"));
    EXPECT_EQ(child<QTabWidget>(form, "PageControl")->currentWidget(), child<QWidget>(form, "ts2"));
    EXPECT_EQ(onPage<QComboBox>(form, "ts2", "cbb1")->count(), 2);
    EXPECT_EQ(onPage<QComboBox>(form, "ts2", "cbb1")->currentIndex(), 1); // the last entry, not loaded
    EXPECT_EQ(onPage<QTableView>(form, "ts2", "lv2")->model()->rowCount(), 0);
    EXPECT_TRUE(onPage<QCheckBox>(form, "ts2", "CheckBox1")->isChecked());
    EXPECT_TRUE(onPage<QCheckBox>(form, "ts2", "CheckBox4")->isChecked());
    EXPECT_FALSE(onPage<QCheckBox>(form, "ts2", "CheckBox3")->isChecked());
    EXPECT_EQ(child<LogPage>(form, "ts2")->listBackground(), 0x00F0CAA6u);
    EXPECT_EQ(onPage<QLineEdit>(form, "ts3", "edt1")->text(), QString::fromStdString(f.logs));
    screenshot(form.get(), "main-window-first-start");
}

TEST(MainWindow, everyPageShowsItsControlsWholeAtAnyFontSize)
{
    WindowFixture f;
    for (int pointSize : {9, 16}) {
        auto form = f.open();
        setPointSize(form.get(), pointSize);
        QTabWidget* pages = child<QTabWidget>(form, "PageControl");
        for (int i = 0; i < pages->count(); ++i) {
            pages->setCurrentIndex(i);
            EXPECT_EQ(layoutFaults(form.get()), QStringList()) << pointSize << " pt, " << pages->tabText(i).toStdString();
            screenshot(form.get(), ("main-window-" + std::to_string(pointSize) + "pt-" +
                                    pages->widget(i)->objectName().toStdString()).c_str());
        }
    }
}

TEST(MainWindow, labelsThatShowFileOrServerTextNeverReadItAsMarkup)
{
    WindowFixture f;
    auto form = f.open();
    for (const char* name : {"Label4", "LabelVerify"})
        EXPECT_EQ(onPage<QLabel>(form, "ts2", name)->textFormat(), Qt::PlainText) << name;
    EXPECT_EQ(onPage<QLabel>(form, "ts1", "message")->textFormat(), Qt::PlainText);
    for (const char* name : {"StatusLine", "Label3"})
        EXPECT_EQ(onPage<QLabel>(form, "ts4", name)->textFormat(), Qt::PlainText) << name;
}

TEST(MainWindow, savedConfigurationSurvivesARestart)
{
    WindowFixture f;
    {
        auto form = f.open();
        onPage<QCheckBox>(form, "ts2", "CheckBox1")->setChecked(false);
        onPage<QCheckBox>(form, "ts2", "CheckBox7")->setChecked(true);
        onPage<QCheckBox>(form, "ts2", "CheckBox32")->setChecked(true);
        answerNextDialog<QColorDialog>([](QColorDialog* dialog) {
            dialog->setCurrentColor(QColor(0xEF, 0xCD, 0xAB));
            dialog->accept();
        });
        emit onPage<ColourBoxWidget>(form, "ts2", "ColorBox1")->activated(0);
        const int navy = onPage<ColourBoxWidget>(form, "ts2", "ColorBox2")->findText(QStringLiteral("Navy"));
        onPage<ColourBoxWidget>(form, "ts2", "ColorBox2")->setCurrentIndex(navy);
        emit onPage<ColourBoxWidget>(form, "ts2", "ColorBox2")->activated(navy);
        child<QTabWidget>(form, "PageControl")->setCurrentWidget(child<QWidget>(form, "ts3"));
        QTest::mouseClick(onPage<QPushButton>(form, "ts3", "Button3"), Qt::LeftButton);
        form->close();
    }
    const IniFile ini(f.settings);
    EXPECT_EQ(ini.readString(gbk("user"), gbk("lvbakcolor"), ""), "$00ABCDEF");
    EXPECT_EQ(ini.readString(gbk("user"), gbk("lvfontcolor"), ""), "clNavy");
    EXPECT_EQ(ini.readString(gbk("过滤"), gbk("图片"), ""), "0");
    EXPECT_EQ(ini.readString(gbk("user"), gbk("siteurl"), ""), "http://www.baidu.com");

    auto form = f.open();
    EXPECT_FALSE(onPage<QCheckBox>(form, "ts2", "CheckBox1")->isChecked());
    EXPECT_TRUE(onPage<QCheckBox>(form, "ts2", "CheckBox7")->isChecked());
    EXPECT_TRUE(onPage<QCheckBox>(form, "ts2", "CheckBox32")->isChecked());
    EXPECT_FALSE(onPage<QCheckBox>(form, "ts2", "CheckBox17")->isChecked());
    EXPECT_EQ(child<LogPage>(form, "ts2")->listBackground(), 0x00ABCDEFu);
    EXPECT_EQ(child<LogPage>(form, "ts2")->listText(), 0x00800000u);
    EXPECT_EQ(onPage<QTableView>(form, "ts2", "lv2")->palette().color(QPalette::Base), QColor(0xEF, 0xCD, 0xAB));
}

TEST(MainWindow, cancelledFolderBrowserWritesTheOldFolderBack)
{
    WindowFixture f;
    auto form = f.open(std::nullopt, false);
    EXPECT_EQ(onPage<QLineEdit>(form, "ts3", "edt1")->text(), QString());
    child<QTabWidget>(form, "PageControl")->setCurrentWidget(child<QWidget>(form, "ts3"));
    QTest::mouseClick(onPage<QPushButton>(form, "ts3", "Button4"), Qt::LeftButton);
    const IniFile ini(f.settings);
    EXPECT_EQ(ini.readString(gbk("基本"), gbk("日志目录"), "missing"), "");

    auto chooser = f.open(QString::fromStdString(f.logs), false);
    child<QTabWidget>(chooser, "PageControl")->setCurrentWidget(child<QWidget>(chooser, "ts3"));
    QTest::mouseClick(onPage<QPushButton>(chooser, "ts3", "Button4"), Qt::LeftButton);
    EXPECT_EQ(onPage<QLineEdit>(chooser, "ts3", "edt1")->text(), QString::fromStdString(f.logs));
    EXPECT_EQ(onPage<QComboBox>(chooser, "ts2", "cbb1")->count(), 2);
    EXPECT_EQ(onPage<QComboBox>(chooser, "ts2", "cbb1")->currentIndex(), -1);
    EXPECT_EQ(IniFile(f.settings).readString(gbk("基本"), gbk("日志目录"), ""), f.logs);
}

TEST(MainWindow, headerPanelTogglesBetweenTallAndThin)
{
    WindowFixture f;
    auto form = f.open();
    EXPECT_GE(child<QLabel>(form, "Panel1")->height(), 17); // or as tall as its caption needs
    std::vector<int> heights;
    for (int i = 0; i < 3; ++i) {
        QTest::mouseClick(child<QLabel>(form, "Panel1"), Qt::LeftButton);
        heights.push_back(child<QLabel>(form, "Panel1")->height());
    }
    EXPECT_EQ(heights, (std::vector<int>{300, 4, 300}));
}

TEST(MainWindow, splitterKeepsTheAdvertisementStripVisible)
{
    WindowFixture f;
    auto form = f.open();
    QApplication::processEvents();
    QSplitterHandle* handle = child<QSplitter>(form, "Splitter1")->handle(1);
    const QPoint middle(handle->width() / 2, handle->height() / 2);
    QTest::mousePress(handle, Qt::LeftButton, {}, middle);
    EXPECT_EQ(child<QTextBrowser>(form, "WebBrowser1")->height(), 80); // lower than 80 when a drag starts: 80
    // Dragging down by 60 would leave it 20 high: it snaps back to 80.
    QTest::mouseMove(handle, middle + QPoint(0, 60));
    QTest::mouseRelease(handle, Qt::LeftButton, {}, middle + QPoint(0, 60));
    QApplication::processEvents();
    EXPECT_EQ(child<QTextBrowser>(form, "WebBrowser1")->height(), 80);
    // Dragging down by 10 leaves it 70 high, which stands.
    QTest::mousePress(handle, Qt::LeftButton, {}, middle);
    QTest::mouseMove(handle, middle + QPoint(0, 10));
    QTest::mouseRelease(handle, Qt::LeftButton, {}, middle + QPoint(0, 10));
    QApplication::processEvents();
    EXPECT_EQ(child<QTextBrowser>(form, "WebBrowser1")->height(), 70);
}

TEST(MainWindow, rightClicksNeverReachTheAdvertisementStrip)
{
    WindowFixture f;
    auto form = f.open();
    PressCounter counter;
    QWidget* strip = child<QTextBrowser>(form, "WebBrowser1")->viewport();
    strip->installEventFilter(&counter);
    QTest::mousePress(strip, Qt::RightButton, {}, QPoint(5, 5));
    QTest::mouseRelease(strip, Qt::RightButton, {}, QPoint(5, 5));
    EXPECT_EQ(counter.presses, 0);
    QTest::mousePress(strip, Qt::LeftButton, {}, QPoint(5, 5));
    QTest::mouseRelease(strip, Qt::LeftButton, {}, QPoint(5, 5));
    EXPECT_EQ(counter.presses, 1);
    strip->removeEventFilter(&counter);

    emit onPage<QTableView>(form, "ts2", "lv2")->customContextMenuRequested(QPoint(10, 10));
    EXPECT_TRUE(child<QMenu>(form, "PopupMenu1")->isVisible());
    EXPECT_EQ(child<QMenu>(form, "PopupMenu1")->actions().value(0)->text(), QString::fromUtf8("查看IP"));
    child<QMenu>(form, "PopupMenu1")->close();
}

TEST(MainWindow, closingSavesTheSiteAddressAndTheWindowButNoBox)
{
    WindowFixture f;
    auto form = f.open();
    form->close();
    const IniFile ini(f.settings);
    EXPECT_EQ(ini.readString(gbk("user"), gbk("siteurl"), ""), "http://www.baidu.com");
    EXPECT_EQ(ini.readString(gbk("窗口"), gbk("页"), ""), "ts2");
    EXPECT_EQ(ini.readString(gbk("过滤"), gbk("图片"), "absent"), "absent");
    EXPECT_EQ(ini.readString(gbk("日志"), gbk("含URL编码"), "absent"), "absent");
}

TEST(MainWindow, aSettingsFileThatCannotBeWrittenIsReported)
{
    WindowFixture f;
    auto form = f.open();
    // A folder where the settings file should be cannot be replaced by a file.
    std::filesystem::remove(f.settings);
    std::filesystem::create_directory(f.settings);
    MessageBoxes boxes;
    child<QTabWidget>(form, "PageControl")->setCurrentWidget(child<QWidget>(form, "ts3"));
    QTest::mouseClick(onPage<QPushButton>(form, "ts3", "Button3"), Qt::LeftButton);
    ASSERT_EQ(boxes.texts().size(), 1);
    EXPECT_TRUE(boxes.texts()[0].startsWith(u("Unable to write to ")));
    EXPECT_TRUE(boxes.texts()[0].endsWith(u(".")));
}

TEST(MainWindow, loadsTheBundledSamplesAndSorts)
{
    TempFolder folder;
    MainWindow::Options options;
    options.settingsPath = folder.file("settings.ini");
    options.siteListPath = folder.file("test.xml");
    options.logFolderForRun = QStringLiteral(QUILLMARK_SAMPLES_DIR);
    MainWindow form(options);
    form.show();
    LogPage* page = child<LogPage>(&form, "ts2");
    child<QComboBox>(page, "cbb1")->setCurrentIndex(child<QComboBox>(page, "cbb1")->findText(QStringLiteral("ex261202.log")));
    QTest::mouseClick(child<QPushButton>(page, "Button2"), Qt::LeftButton);
    EXPECT_GT(child<QTableView>(page, "lv2")->model()->rowCount(), 100);
    screenshot(&form, "main-window-sample-loaded");
    clickHeader(child<QTableView>(page, "lv2")->horizontalHeader(), 8);
    screenshot(&form, "main-window-sample-sorted");
    child<QTabWidget>(&form, "PageControl")->setCurrentWidget(child<QWidget>(&form, "ts3"));
    screenshot(&form, "main-window-settings-page");
}

TEST(MainWindow, showsTheAdvertisementUnlessTheSettingsHideIt)
{
    LoopbackServer server;
    std::atomic<int> requests{0};
    server->Get("/Quillmarkkit/Quillmarkad.asp", [&](const httplib::Request&, httplib::Response& response) {
        ++requests;
        response.set_content("<p>" + gbk("广告") + "</p>", "text/html");
    });
    server.start();
    const QByteArray oldHost = qgetenv("QUILLMARK_MAKER_HOST");
    qputenv("QUILLMARK_MAKER_HOST", "127.0.0.1:" + QByteArray::number(server.port()));
    WindowFixture f;
    {
        auto form = f.open();
        QTRY_VERIFY_WITH_TIMEOUT(child<QTextBrowser>(form, "WebBrowser1")->toPlainText().contains(QString::fromUtf8("广告")), 10000);
    }
    ASSERT_EQ(requests, 1);
    ASSERT_TRUE(IniFile(f.settings).writeString("admin", "ad", "1").ok());
    auto hidden = f.open();
    QTest::qWait(300); // a fetch, had one started, would have reached the loopback server by now
    EXPECT_EQ(requests, 1);
    EXPECT_TRUE(child<QTextBrowser>(hidden, "WebBrowser1")->toPlainText().isEmpty());
    qputenv("QUILLMARK_MAKER_HOST", oldHost);
}

TEST(MainWindow, aLogFolderThatDoesNotExistListsNothing)
{
    WindowFixture f;
    MainWindow::Options options;
    options.settingsPath = f.settings;
    options.siteListPath = f.folder.file("test.xml");
    options.logFolderForRun = QString::fromStdString(f.folder.file("no-such-folder"));
    MainWindow form(options);
    EXPECT_EQ(onPage<QComboBox>(&form, "ts2", "cbb1")->count(), 0);
    QTest::mouseClick(onPage<QPushButton>(&form, "ts2", "Button2"), Qt::LeftButton);
    EXPECT_EQ(onPage<QTableView>(&form, "ts2", "lv2")->model()->rowCount(), 0);
}

TEST(MainWindow, columnWidthsTheUserSetsAreKeptInTheSettingsFile)
{
    TempFolder folder;
    MainWindow::Options options;
    options.settingsPath = folder.file("settings.ini");
    options.siteListPath = folder.file("test.xml");
    options.logFolderForRun = QStringLiteral(QUILLMARK_SAMPLES_DIR);
    int fitted = 0;
    {
        MainWindow form(options);
        form.show();
        QHeaderView* header = onPage<QTableView>(&form, "ts2", "lv2")->horizontalHeader();
        fitted = header->sectionSize(kColReferrer);
        header->resizeSection(kColReferrer, fitted + 77); // as a drag on the edge does
        ASSERT_TRUE(QTest::qWaitFor([&] { return readFile(options.settingsPath).find("lv2=") != std::string::npos; }, 5000));
    }
    MainWindow again(options);
    again.show();
    const QHeaderView* header = onPage<QTableView>(&again, "ts2", "lv2")->horizontalHeader();
    EXPECT_EQ(header->sectionSize(kColReferrer), fitted + 77);
    EXPECT_EQ(header->sectionSize(kColDate), scaledColumnWidth(header, kColDate, 70)); // untouched: fitted
}

TEST(MainWindow, aDamagedSiteListIsKeptAsideAndToldOnce)
{
    WindowFixture f;
    const std::string list = f.folder.file("test.xml");
    const std::string damaged = "<XMLPacage><url>http://a.test/</url><url>http://b.te";
    TempFolder::writeFile(list, damaged);
    MessageBoxes boxes;
    auto form = f.open();
    EXPECT_EQ(onPage<QComboBox>(form, "ts4", "ComboBox1")->count(), 0);
    form.reset();
    form = f.open(); // the next start finds the fresh empty list and says nothing
    const QStringList shown = boxes.texts();
    ASSERT_EQ(shown.size(), 1);
    EXPECT_TRUE(shown[0].contains(QStringLiteral("test.xml.damaged-")));
    size_t kept = 0;
    for (const auto& entry : std::filesystem::directory_iterator(f.folder.path()))
        if (entry.path().filename().string().starts_with("test.xml.damaged-")) {
            ++kept;
            EXPECT_EQ(readFile(entry.path().string()), damaged);
        }
    EXPECT_EQ(kept, 1u);
}

TEST(MainWindow, aHugeSettingsFileIsReadOnceAndTheWindowComesUp)
{
    WindowFixture f;
    std::string big = "[" + gbk("过滤") + "]\r\n";
    for (int i = 0; big.size() < (36u << 20); ++i)
        big += "k" + std::to_string(i) + "=" + std::string(24, 'v') + "\r\n";
    big += gbk("图片") + "=0\r\n[user]\r\nsiteurl=huge.test\r\n";
    TempFolder::writeFile(f.settings, big);
    auto form = f.open();
    EXPECT_FALSE(onPage<QCheckBox>(form, "ts2", "CheckBox1")->isChecked());
    EXPECT_EQ(onPage<QComboBox>(form, "ts4", "ComboBox1")->currentText(), QStringLiteral("huge.test"));
}

TEST(MainWindow, verificationBoxesComeFromTheSettingsFileAndAreSavedWithTheOthers)
{
    TempFolder folder;
    const std::string settings = folder.write("settings.ini", "[" + gbk("验证") + "]\r\n" + gbk("验证蜘蛛") + "=1\r\n" +
                                                                  gbk("只计已验证") + "=1\r\n");
    MainWindow::Options options;
    options.settingsPath = settings;
    options.siteListPath = folder.file("test.xml");
    options.logFolderForRun = QString::fromStdString(folder.path());
    options.chooseFolder = [](QWidget*) { return std::optional<QString>(); };
    {
        MainWindow form(options);
        form.show();
        auto* logPage = child<LogPage>(&form, "ts2");
        EXPECT_TRUE(child<QCheckBox>(logPage, "CheckBoxVerify")->isChecked());
        EXPECT_TRUE(child<QCheckBox>(logPage, "CheckBoxFakes")->isEnabled());
        EXPECT_FALSE(child<QCheckBox>(logPage, "CheckBoxFakes")->isChecked());
        EXPECT_TRUE(child<QCheckBox>(&form, "CheckBoxVerified")->isChecked());
        EXPECT_FALSE(logPage->isVerifying()); // nothing is loaded yet, so nothing is asked

        child<QCheckBox>(logPage, "CheckBoxFakes")->click();
        child<QCheckBox>(&form, "CheckBoxVerified")->click();
        onPage<QPushButton>(&form, "ts3", "Button3")->click(); // "保存配制"
    }
    const Settings saved = SettingsFile(settings).load(Settings{});
    EXPECT_TRUE(saved.verification.verifyCrawlers);
    EXPECT_TRUE(saved.verification.onlyFakes);
    EXPECT_FALSE(saved.verification.onlyVerified);
    EXPECT_EQ(saved.verification.cacheFileName, gbk("蜘蛛验证.txt"));
}

TEST(MainWindow, ctrlFFindsTheSearchBoxAndCtrlTabSwitchesPagesFromAnywhere)
{
    WindowFixture f;
    auto form = f.open();
    QApplication::setActiveWindow(form.get());
    auto* page = child<LogPage>(form, "ts2");
    auto* list = child<QTableView>(page, "lv2");
    auto* search = child<QLineEdit>(page, "Edit2");
    QTest::mouseClick(child<QPushButton>(page, "Button2"), Qt::LeftButton);
    auto* pages = child<QTabWidget>(form, "PageControl");
    const int logPage = pages->indexOf(child<QWidget>(form, "ts2")); // the tab's sheet, which holds the page
    ASSERT_EQ(pages->currentIndex(), logPage);

    // From the list, with the focus in it.
    list->setFocus();
    QTest::keyClick(list, Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(pages->currentIndex(), logPage + 1);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_PageUp, Qt::ControlModifier);
    EXPECT_EQ(pages->currentIndex(), logPage);
    list->setFocus();
    QTest::keyClick(list, Qt::Key_PageDown, Qt::ControlModifier);
    EXPECT_EQ(pages->currentIndex(), logPage + 1);
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Backtab, Qt::ControlModifier | Qt::ShiftModifier);
    EXPECT_EQ(pages->currentIndex(), logPage);

    // Past the last page to the first.
    pages->setCurrentIndex(pages->count() - 1);
    QTest::keyClick(pages, Qt::Key_Tab, Qt::ControlModifier);
    EXPECT_EQ(pages->currentIndex(), 0);

    // Ctrl+F from another page: the log page, its search box focused and its text selected.
    search->setText(QStringLiteral("abc"));
    QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : pages, Qt::Key_F, Qt::ControlModifier);
    EXPECT_EQ(pages->currentIndex(), logPage);
    EXPECT_EQ(QApplication::focusWidget(), search);
    EXPECT_EQ(search->selectedText(), QStringLiteral("abc"));
}
