#include "UiTestSupport.h"
#include "platform/CodePage.h"
#include "app/MainWindow.h"
#include "support/LoopbackServer.h"
#include "support/RunProcess.h"
#include "gui/UpdaterWindow.h"
#include "support/UpdateTestSupport.h"

#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QStatusBar>
#include <QTabWidget>
#include <QTimer>
#include <QTreeWidget>
#include <gtest/gtest.h>
#include <map>
#include <set>
#include <memory>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace quill;
using namespace quill::test;

namespace {

// A program folder, an update server and a UpdaterWindow whose boxes are recorded and answered.
struct UpdaterFixture {
    TempFolder folder;
    LoopbackServer server;
    std::map<std::string, std::string> files; // by path
    std::set<std::string> moved;              // paths answered with a redirect
    QStringList informed;
    QStringList asked;
    bool answerYes = false;
    QStringList opened;
    int quits = 0;
    qsizetype boxesBeforeQuit = -1;
    QWidget mainWindow;
    std::unique_ptr<UpdaterWindow> form;

    explicit UpdaterFixture(UpdaterWindow::Options options = {})
    {
        server->Get(R"(/.+)", [this](const httplib::Request& request, httplib::Response& response) {
            if (request.path == "/moved" || moved.count(request.path)) {
                response.status = 302;
                response.set_header("Location", "/elsewhere");
                response.set_content("<html><body>Object moved</body></html>", "text/html");
                return;
            }
            if (request.path == "/stalled") {
                server.holdUntilReleased(std::chrono::seconds(60));
                return;
            }
            const auto found = files.find(request.path);
            if (found == files.end())
                response.status = 404;
            else
                response.set_content(found->second, "application/octet-stream");
        });
        server.start();
        options.programFolder = folder.path();
        options.executableName = "quillmarkbox";
        options.manifestUrl = server.url("/Quillmarkkit/update.txt");
        options.replaceWait = std::chrono::milliseconds(0);
        options.mainWindow = &mainWindow;
        options.inform = [this](const QString& text) { informed << text; };
        options.confirm = [this](const QString& question) {
            asked << question;
            return answerYes;
        };
        options.openFolder = [this](const QString& path) { opened << path; };
        options.quit = [this] {
            ++quits;
            boxesBeforeQuit = informed.size();
        };
        options.programPid = endedProcess();
        form = std::make_unique<UpdaterWindow>(options);
        mainWindow.show();
        form->show();
    }

    void publish(const std::string& manifest) { files["/Quillmarkkit/update.txt"] = manifest; }

    QStringList column(int column) const
    {
        QStringList texts;
        for (int i = 0; i < child<QTreeWidget>(form, "ListView1")->topLevelItemCount(); ++i)
            texts << child<QTreeWidget>(form, "ListView1")->topLevelItem(i)->text(column);
        return texts;
    }
};

} // namespace

TEST(UpdaterWindow, opensReadyWithItsControls)
{
    UpdaterFixture f;
    EXPECT_EQ(f.form->windowTitle(), u("软件升级"));
    QStringList headers;
    for (int i = 0; i < child<QTreeWidget>(f.form, "ListView1")->columnCount(); ++i)
        headers << child<QTreeWidget>(f.form, "ListView1")->headerItem()->text(i);
    EXPECT_EQ(headers.join(QLatin1Char(',')), u("文件名,大小,日期,说明,状态,地址"));
    EXPECT_EQ(child<QPushButton>(f.form, "Button1")->text(), u("检测(&C)"));
    EXPECT_EQ(child<QPushButton>(f.form, "Button2")->text(), u("下载(&D)"));
    EXPECT_EQ(child<QPushButton>(f.form, "Button3")->text(), u("关闭(&X)"));
    EXPECT_EQ(child<QLabel>(f.form, "Label1")->text() + child<QLabel>(f.form, "Label2")->text() + child<QLabel>(f.form, "Label3")->text(),
              u("升级文件列表：当前下载进度：总体下载进度："));
    EXPECT_TRUE(child<QPushButton>(f.form, "Button1")->isEnabled());
    EXPECT_FALSE(child<QPushButton>(f.form, "Button2")->isEnabled());
    EXPECT_EQ(child<QStatusBar>(f.form, "StatusBar1")->currentMessage(), u("就绪..."));
    EXPECT_EQ(child<QPushButton>(f.form, "Button1")->shortcut(), QKeySequence(Qt::ALT | Qt::Key_C));
    EXPECT_EQ(child<QPushButton>(f.form, "Button2")->shortcut(), QKeySequence(Qt::ALT | Qt::Key_D));
    EXPECT_EQ(child<QPushButton>(f.form, "Button3")->shortcut(), QKeySequence(Qt::ALT | Qt::Key_X));
    child<QPushButton>(f.form, "Button3")->animateClick();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !f.form->isVisible(); }, 5000));
}

TEST(UpdaterWindow, checkListsTheNewerFilesTicked)
{
    UpdaterFixture f;
    f.folder.write("update.ini", "[a_zip]\nDate=2009-3-7\n[b_zip]\nDate=2009-3-7\n");
    f.publish("[first]\nName=a.zip\nDate=2009-3-8\nSize=1 KB\nnote=" + gbk("新词库") +
              "\nURL=http://h/a.zip\n[second]\nName=b.zip\nDate=2009-3-7\nURL=http://h/b.zip\n");
    QSignalSpy statuses(child<QStatusBar>(f.form, "StatusBar1"), &QStatusBar::messageChanged);

    QTest::mouseClick(child<QPushButton>(f.form, "Button1"), Qt::LeftButton);

    QStringList shown;
    for (const QList<QVariant>& change : statuses)
        shown << change.at(0).toString();
    EXPECT_EQ(shown, (QStringList{u("检测升级文件..."), u("分析升级文件..."), u("5分析升级文件..."), u("就绪...")}));
    ASSERT_EQ(child<QTreeWidget>(f.form, "ListView1")->topLevelItemCount(), 1);
    const QTreeWidgetItem* item = child<QTreeWidget>(f.form, "ListView1")->topLevelItem(0);
    EXPECT_EQ(item->checkState(0), Qt::Checked);
    QStringList texts;
    for (int i = 0; i < 6; ++i)
        texts << item->text(i);
    EXPECT_EQ(texts, (QStringList{u("a.zip"), u("1 KB"), u("2009-3-8"), u("新词库"), u("未下载"), u("http://h/a.zip")}));
    EXPECT_TRUE(child<QPushButton>(f.form, "Button2")->isEnabled());
    EXPECT_TRUE(f.informed.isEmpty());
    EXPECT_EQ(readFile(f.folder.file("tmp.ini")), f.files["/Quillmarkkit/update.txt"]);
    screenshot(f.form.get(), "updater-after-check");

    // A failed fetch keeps the list; a check that lists nothing empties it but leaves 下载 on.
    f.files.clear();
    QTest::mouseClick(child<QPushButton>(f.form, "Button1"), Qt::LeftButton);
    EXPECT_EQ(child<QStatusBar>(f.form, "StatusBar1")->currentMessage(), u("检测升级文件失败!"));
    EXPECT_EQ(child<QTreeWidget>(f.form, "ListView1")->topLevelItemCount(), 1);
    EXPECT_TRUE(child<QPushButton>(f.form, "Button1")->isEnabled());
    f.publish("");
    QTest::mouseClick(child<QPushButton>(f.form, "Button1"), Qt::LeftButton);
    EXPECT_EQ(f.informed, QStringList{u("没有升级文件列表")});
    EXPECT_EQ(child<QTreeWidget>(f.form, "ListView1")->topLevelItemCount(), 0);
    EXPECT_TRUE(child<QPushButton>(f.form, "Button2")->isEnabled());
    EXPECT_EQ(child<QStatusBar>(f.form, "StatusBar1")->currentMessage(), u("就绪..."));
}

TEST(UpdaterWindow, downloadMarksEachItemAndAnsweringNoKeepsTheButtonsOff)
{
    UpdaterFixture f;
    const std::string words = std::string(300000, 'w');
    f.files["/files/words.zip"] = zipBytes({{"dict/words.txt", words}});
    const std::string address = f.server.url("/files/");
    f.publish("[1]\nName=words.zip\nDate=2010-1-1\nURL=" + address + "words.zip\n"
              "[2]\nName=gone.zip\nDate=2010-1-1\nURL=" + address + "gone.zip\n"
              "[3]\nName=later.zip\nDate=2010-1-1\nURL=" + address + "words.zip\n");
    QTest::mouseClick(child<QPushButton>(f.form, "Button1"), Qt::LeftButton);
    ASSERT_EQ(child<QTreeWidget>(f.form, "ListView1")->topLevelItemCount(), 3);
    child<QTreeWidget>(f.form, "ListView1")->topLevelItem(2)->setCheckState(0, Qt::Unchecked);
    QSignalSpy maxima(child<QProgressBar>(f.form, "ProgressBar1"), &QProgressBar::valueChanged);

    QTest::mouseClick(child<QPushButton>(f.form, "Button2"), Qt::LeftButton);

    EXPECT_EQ(f.column(4), (QStringList{u("完成"), u("失败"), u("未下载")}));
    EXPECT_EQ(readFile(f.folder.file("words.txt")), words);
    EXPECT_FALSE(fileExists(f.folder.file("words.zip")));
    EXPECT_EQ(f.informed, QStringList{u("下载升级文件完成")});
    EXPECT_EQ(f.asked, QStringList{u("是否现在运行升级文件?")});
    EXPECT_EQ(child<QProgressBar>(f.form, "ProgressBar2")->maximum(), 3);
    EXPECT_EQ(child<QProgressBar>(f.form, "ProgressBar2")->value(), 3);
    EXPECT_EQ(child<QProgressBar>(f.form, "ProgressBar1")->value(), 0);
    EXPECT_FALSE(maxima.isEmpty()); // the current bar moved during the transfers
    EXPECT_FALSE(child<QPushButton>(f.form, "Button1")->isEnabled());
    EXPECT_FALSE(child<QPushButton>(f.form, "Button2")->isEnabled());
    EXPECT_EQ(child<QStatusBar>(f.form, "StatusBar1")->currentMessage(), u("正在下载升级文件..."));
    EXPECT_EQ(f.quits, 0);
    screenshot(f.form.get(), "updater-after-download");
    QTest::mouseClick(child<QPushButton>(f.form, "Button3"), Qt::LeftButton);
    EXPECT_FALSE(f.form->isVisible());
}

TEST(UpdaterWindow, answeringYesReplacesTheProgramAndEnds)
{
    UpdaterFixture f;
    chmod(f.folder.write("quillmarkbox", "the running program").c_str(), 0755);
    const std::string newProgram = "#!/bin/sh\necho started > started.txt\n";
    f.files["/files/package"] = zipBytes({{"Quillmarkbox.exe", newProgram}});
    f.publish("[p]\nName=Quillmarkbox\nDate=2010-1-1\nURL=" + f.server.url("/files/package") + "\n");
    QTest::mouseClick(child<QPushButton>(f.form, "Button1"), Qt::LeftButton);
    f.answerYes = true;

    QTest::mouseClick(child<QPushButton>(f.form, "Button2"), Qt::LeftButton);

    EXPECT_EQ(f.column(4), QStringList{u("完成")});
    EXPECT_EQ(f.informed, (QStringList{u("下载升级文件完成"), u("升级完成")}));
    EXPECT_EQ(f.quits, 1);
    EXPECT_EQ(f.boxesBeforeQuit, 2); // the message loop ends after the last box, never under it
    EXPECT_EQ(f.opened, QStringList{QString::fromStdString(f.folder.path())});
    EXPECT_FALSE(f.mainWindow.isVisible());
    EXPECT_FALSE(f.form->isVisible());
    EXPECT_EQ(child<QStatusBar>(f.form, "StatusBar1")->currentMessage(), u("就绪..."));
    EXPECT_EQ(child<QProgressBar>(f.form, "ProgressBar2")->value(), 0);
    // The clean-up has started the new program in the folder and removed itself.
    EXPECT_TRUE(waitUntil([&] {
        return fileExists(f.folder.file("started.txt")) && !fileExists(f.folder.file("$del$.bat"));
    }));
    // The new program has the running program's name.
    EXPECT_EQ(readFile(f.folder.file("quillmarkbox")), newProgram);
    EXPECT_FALSE(fileExists(f.folder.file("Quillmarkbox")));
    EXPECT_FALSE(fileExists(f.folder.file("Quillmarkbox.exe")));
}

TEST(UpdaterWindow, failedDownloadsSayFailed)
{
    UpdaterFixture f;
    f.folder.write("quillmarkbox", "the running program");
    f.files["/files/data"] = zipBytes({{"data.txt", "data"}});
    const std::string files = f.server.url("/files/");
    f.publish("[1]\nName=moved.zip\nDate=2010-1-1\nURL=" + f.server.url("/moved") + "\n"
              "[2]\nName=quillmarkbox\nDate=2010-1-1\nURL=" + files + "data\n"
              "[3]\nName=data.zip\nDate=2010-1-1\nURL=" + files + "data\n");
    // A redirected manifest is a failed check, not a manifest without files.
    f.moved.insert("/Quillmarkkit/update.txt");
    QTest::mouseClick(child<QPushButton>(f.form, "Button1"), Qt::LeftButton);
    EXPECT_EQ(child<QStatusBar>(f.form, "StatusBar1")->currentMessage(), u("检测升级文件失败!"));
    EXPECT_TRUE(f.informed.isEmpty());
    f.moved.clear();
    QTest::mouseClick(child<QPushButton>(f.form, "Button1"), Qt::LeftButton);

    QTest::mouseClick(child<QPushButton>(f.form, "Button2"), Qt::LeftButton);

    // A redirect is no download, and no download may replace the running program.
    EXPECT_EQ(f.column(4), (QStringList{u("失败"), u("失败"), u("完成")}));
    EXPECT_EQ(readFile(f.folder.file("quillmarkbox")), "the running program");
    EXPECT_EQ(readFile(f.folder.file("data.txt")), "data");
    screenshot(f.form.get(), "updater-failed-items");
}

TEST(UpdaterWindow, closingTheWindowEndsAStalledDownload)
{
    UpdaterFixture f;
    f.files["/files/data"] = zipBytes({{"data.txt", "data"}});
    f.publish("[1]\nName=stalled.zip\nDate=2010-1-1\nURL=" + f.server.url("/stalled") + "\n"
              "[2]\nName=data.zip\nDate=2010-1-1\nURL=" + f.server.url("/files/data") + "\n");
    QTest::mouseClick(child<QPushButton>(f.form, "Button1"), Qt::LeftButton);
    QTimer::singleShot(300, f.form.get(), [&] {
        screenshot(f.form.get(), "updater-stalled-download");
        child<QPushButton>(f.form, "Button3")->click();
    });

    QTest::mouseClick(child<QPushButton>(f.form, "Button2"), Qt::LeftButton);

    EXPECT_FALSE(f.form->isVisible());
    EXPECT_EQ(f.column(4), (QStringList{u("失败"), u("未下载")}));
    EXPECT_TRUE(f.informed.isEmpty()); // no boxes for a window the user closed
    EXPECT_TRUE(f.asked.isEmpty());
    EXPECT_FALSE(fileExists(f.folder.file("data.txt")));
    EXPECT_TRUE(child<QPushButton>(f.form, "Button1")->isEnabled());
    EXPECT_TRUE(child<QPushButton>(f.form, "Button2")->isEnabled());
}

TEST(UpdaterWindow, aStalledDownloadFailsAfterTheNoProgressLimit)
{
    UpdaterWindow::Options options;
    options.noProgressLimit = std::chrono::milliseconds(300);
    UpdaterFixture f(options);
    f.publish("[1]\nName=stalled.zip\nDate=2010-1-1\nURL=" + f.server.url("/stalled") + "\n");
    QTest::mouseClick(child<QPushButton>(f.form, "Button1"), Qt::LeftButton);

    QTest::mouseClick(child<QPushButton>(f.form, "Button2"), Qt::LeftButton);

    EXPECT_EQ(f.column(4), QStringList{u("失败")});
    EXPECT_EQ(f.informed, QStringList{u("下载升级文件完成")});
}

TEST(UpdaterWindow, leftoverTemporaryFilesGoAtTheNextStart)
{
    TempFolder folder;
    const std::string leftover = folder.write("words.txt." + std::to_string(endedProcess()) + "-0-42.tmp", "part");
    const std::string kept = folder.write("words.txt", "words");
    UpdaterWindow::Options options;
    options.programFolder = folder.path();
    UpdaterWindow form(options);
    EXPECT_FALSE(fileExists(leftover));
    EXPECT_EQ(readFile(kept), "words");
}

TEST(UpdaterWindow, theLastBoxIsSeenBeforeTheProgramEnds)
{
    // A whole program: only a real end of the message loop shows whether it closes the box.
    LoopbackServer server;
    TempFolder folder;
    chmod(folder.write("quillmarkbox", "#!/bin/sh\necho old\n").c_str(), 0755);
    const std::string package = zipBytes({{"Quillmarkbox.exe", "#!/bin/sh\necho new > started.txt\n"}});
    const std::string manifest = "[p]\nName=Quillmarkbox\nDate=2010-1-1\nURL=" + server.url("/package") + "\n";
    server->Get("/update.txt", [&](const httplib::Request&, httplib::Response& r) { r.set_content(manifest, "text/plain"); });
    server->Get("/package", [&](const httplib::Request&, httplib::Response& r) { r.set_content(package, "application/zip"); });
    server.start();

    const ProcessResult run =
        runProcess({"/usr/bin/timeout", "60", QUILLMARK_UPDATER_PROBE, "update", folder.path(), server.url("/update.txt")});

    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "shown 下载升级文件完成\nclosed 下载升级文件完成\nshown 是否现在运行升级文件?\n"
                       "closed 是否现在运行升级文件?\nshown 升级完成\nclosed 升级完成\nexited\n");
    // The new program started once the old one had ended.
    EXPECT_TRUE(waitUntil([&] { return fileExists(folder.file("started.txt")); }));
    EXPECT_EQ(readFile(folder.file("quillmarkbox")), "#!/bin/sh\necho new > started.txt\n");
}

TEST(UpdaterWindow, closingTheWindowDuringADownloadEndsTheProgram)
{
    LoopbackServer server;
    TempFolder folder;
    const std::string manifest = "[p]\nName=a.zip\nDate=2010-1-1\nURL=" + server.url("/stalled") + "\n";
    server->Get("/update.txt", [&](const httplib::Request&, httplib::Response& r) { r.set_content(manifest, "text/plain"); });
    server->Get("/stalled", [&](const httplib::Request&, httplib::Response&) {
        server.holdUntilReleased(std::chrono::seconds(60));
    });
    server.start();

    const ProcessResult run =
        runProcess({"/usr/bin/timeout", "20", QUILLMARK_UPDATER_PROBE, "close", folder.path(), server.url("/update.txt")});

    EXPECT_EQ(run.exitCode, 0) << run.err; // 124: the program was still in its download
    EXPECT_EQ(run.out, "closing the window\nexited\n");
}

TEST(UpdaterWindow, answeringYesWithoutAPackageOnlyReenablesTheButtons)
{
    UpdaterFixture f;
    f.folder.write("quillmarkbox", "the running program");
    f.publish("");
    QTest::mouseClick(child<QPushButton>(f.form, "Button1"), Qt::LeftButton);
    f.answerYes = true;
    // 下载 is still off after an empty first check; a download needs a listed file first.
    EXPECT_FALSE(child<QPushButton>(f.form, "Button2")->isEnabled());
    f.files["/files/a.txt"] = "plain";
    f.publish("[a]\nName=a.txt\nURL=" + f.server.url("/files/a.txt") + "\n");
    QTest::mouseClick(child<QPushButton>(f.form, "Button1"), Qt::LeftButton);
    QTest::mouseClick(child<QPushButton>(f.form, "Button2"), Qt::LeftButton);

    EXPECT_TRUE(child<QPushButton>(f.form, "Button1")->isEnabled());
    EXPECT_TRUE(child<QPushButton>(f.form, "Button2")->isEnabled());
    EXPECT_EQ(f.quits, 0);
    EXPECT_TRUE(f.form->isVisible());
    EXPECT_EQ(readFile(f.folder.file("quillmarkbox")), "the running program");
    EXPECT_FALSE(fileExists(f.folder.file("a.txt"))); // not an archive: deleted after the failed unpack
}

namespace {

// Serves the version document and points the maker's host at this server while it lives.
struct VersionServer {
    LoopbackServer server;
    explicit VersionServer(std::string version)
    {
        server->Get("/Quillmarkkit/setxml.asp", [version](const httplib::Request&, httplib::Response& response) {
            response.set_content("<r><banben>" + version + "</banben></r>", "text/xml");
        });
        server.start();
        qputenv("QUILLMARK_MAKER_HOST", QByteArray::fromStdString("127.0.0.1:" + std::to_string(server.port())));
    }
    ~VersionServer() { qunsetenv("QUILLMARK_MAKER_HOST"); }
};

// Closes every message box the main window shows and keeps its text.
struct MessageCatcher : QObject {
    QStringList texts;
    QTimer poll;
    MessageCatcher()
    {
        connect(&poll, &QTimer::timeout, this, [this] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                texts << box->text();
                box->accept();
            }
        });
        poll.start(5);
    }
};

std::unique_ptr<MainWindow> openMainWindow(const TempFolder& folder, UpdaterWindow* updater)
{
    MainWindow::Options options;
    options.settingsPath = folder.file("settings.ini");
    options.siteListPath = folder.file("test.xml");
    options.logFolderForRun = QString::fromStdString(folder.path());
    auto form = std::make_unique<MainWindow>(options);
    form->setUpdateWindow(updater);
    child<QTimer>(form, "Timer1")->setInterval(10);
    form->show();
    return form;
}

} // namespace

TEST(VersionNotice, aNewerVersionSwitchesToTheUpdatePageOnce)
{
    VersionServer server("1.04");
    TempFolder folder;
    UpdaterWindow updater;
    auto form = openMainWindow(folder, &updater);
    EXPECT_TRUE(child<QTimer>(form, "Timer1")->isActive());
    MessageCatcher messages;

    form->startVersionCheck();

    EXPECT_TRUE(QTest::qWaitFor([&] { return !messages.texts.isEmpty(); }, 10000));
    EXPECT_EQ(child<QTabWidget>(form, "PageControl")->currentWidget(), child<QWidget>(form, "ts5"));
    EXPECT_FALSE(child<QTimer>(form, "Timer1")->isActive());
    QTest::qWait(50);
    EXPECT_EQ(messages.texts, QStringList{u("有新版本")});
    screenshot(form.get(), "main-window-update-page");

    QTest::mouseClick(child<QPushButton>(form, "Button9"), Qt::LeftButton);
    EXPECT_TRUE(updater.isVisible());
    updater.close();
}

TEST(VersionNotice, theSameVersionKeepsPollingAndAFailureStops)
{
    TempFolder folder;
    {
        VersionServer server("1.03");
        auto form = openMainWindow(folder, nullptr);
        MessageCatcher messages;
        form->startVersionCheck();
        QSignalSpy ticks(child<QTimer>(form, "Timer1"), &QTimer::timeout);
        EXPECT_TRUE(QTest::qWaitFor([&] { return ticks.count() >= 30; }, 10000));
        EXPECT_TRUE(child<QTimer>(form, "Timer1")->isActive());
        EXPECT_NE(child<QTabWidget>(form, "PageControl")->currentWidget(), child<QWidget>(form, "ts5"));
        EXPECT_TRUE(messages.texts.isEmpty());
    }
    VersionServer server("abc");
    auto form = openMainWindow(folder, nullptr);
    MessageCatcher messages;
    form->startVersionCheck();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !child<QTimer>(form, "Timer1")->isActive(); }, 10000));
    EXPECT_NE(child<QTabWidget>(form, "PageControl")->currentWidget(), child<QWidget>(form, "ts5"));
    EXPECT_TRUE(messages.texts.isEmpty());
}
