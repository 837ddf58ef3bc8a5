#include "UiTestSupport.h"
#include "app/MainWindow.h"
#include "gui/QtGbk.h"
#include "gui/UpdaterWindow.h"
#include "platform/CodePage.h"
#include "support/RunProcess.h"
#include "support/UpdateServer.h"
#include "support/UpdateTestSupport.h"
#include "update/UpdateFailure.h"

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
#include <filesystem>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>

using namespace quill;
using namespace quill::test;

namespace {

// A program folder, a signed update server and an UpdaterWindow whose boxes are recorded and answered.
struct UpdaterFixture {
    TempFolder folder;
    UpdateServer server;
    QStringList informed;
    QStringList asked;
    bool answerYes = false;
    QStringList opened;
    int quits = 0;
    qsizetype boxesBeforeQuit = -1;
    QWidget mainWindow;
    std::unique_ptr<UpdaterWindow> form;

    explicit UpdaterFixture(UpdaterWindow::Options options = {}, Scheme scheme = Scheme::Http) : server(scheme)
    {
        if (options.programFolder.empty())
            options.programFolder = folder.path();
        options.executableName = "quillmarkbox";
        options.manifestUrl = server.manifestUrl();
        options.publicKey = testKey().publicKey;
        options.caFile = loopbackCertificateFile();
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

    QPushButton* button(const char* name) const { return child<QPushButton>(form, name); }
    QTreeWidget* list() const { return child<QTreeWidget>(form, "ListView1"); }
    QString status() const { return child<QStatusBar>(form, "StatusBar1")->currentMessage(); }

    // Presses "检测" and waits until the check has ended.
    void check()
    {
        QTest::mouseClick(button("Button1"), Qt::LeftButton);
        EXPECT_TRUE(waitUntil([&] { return button("Button1")->isEnabled(); }));
    }
    // Presses "下载" and waits for the question that ends the downloads.
    void download()
    {
        const qsizetype before = asked.size();
        QTest::mouseClick(button("Button2"), Qt::LeftButton);
        EXPECT_TRUE(waitUntil([&] { return asked.size() > before; }));
    }

    QStringList column(int column) const
    {
        QStringList texts;
        for (int i = 0; i < list()->topLevelItemCount(); ++i)
            texts << list()->topLevelItem(i)->text(column);
        return texts;
    }
};

QString failed(UpdateFailure failure) { return u("失败") + fromGbk(failureText(failure)).mid(4); }

} // namespace

TEST(UpdaterWindow, opensReadyWithItsControls)
{
    UpdaterFixture f;
    EXPECT_EQ(f.form->windowTitle(), u("软件升级"));
    QStringList headers;
    for (int i = 0; i < f.list()->columnCount(); ++i)
        headers << f.list()->headerItem()->text(i);
    EXPECT_EQ(headers.join(QLatin1Char(',')), u("文件名,大小,日期,说明,状态,地址"));
    EXPECT_EQ(f.button("Button1")->text(), u("检测(&C)"));
    EXPECT_EQ(f.button("Button2")->text(), u("下载(&D)"));
    EXPECT_EQ(f.button("Button3")->text(), u("关闭(&X)"));
    EXPECT_EQ(child<QLabel>(f.form, "Label1")->text() + child<QLabel>(f.form, "Label2")->text() +
                  child<QLabel>(f.form, "Label3")->text(),
              u("升级文件列表：当前下载进度：总体下载进度："));
    EXPECT_TRUE(f.button("Button1")->isEnabled());
    EXPECT_FALSE(f.button("Button2")->isEnabled());
    EXPECT_EQ(f.status(), u("就绪..."));
    EXPECT_EQ(f.button("Button1")->shortcut(), QKeySequence(Qt::ALT | Qt::Key_C));
    EXPECT_EQ(f.button("Button2")->shortcut(), QKeySequence(Qt::ALT | Qt::Key_D));
    EXPECT_EQ(f.button("Button3")->shortcut(), QKeySequence(Qt::ALT | Qt::Key_X));
    f.button("Button3")->animateClick();
    EXPECT_TRUE(QTest::qWaitFor([&] { return !f.form->isVisible(); }, 5000));
}

TEST(UpdaterWindow, checkListsTheNewerFilesOfASignedManifestTicked)
{
    UpdaterFixture f({}, Scheme::Https);
    f.folder.write("update.ini", "[a_zip]\nDate=2009-3-7\n[b_zip]\nDate=2009-3-7\n");
    std::string manifest = f.server.item("first", "a.zip", "/a.zip", "a", "2009-3-8") +
                           f.server.item("second", "b.zip", "/b.zip", "b", "2009-3-7");
    manifest.insert(manifest.find("URL="), "Size=1 KB\nnote=" + gbk("新词库") + "\n");
    f.server.publish(manifest);
    QSignalSpy statuses(child<QStatusBar>(f.form, "StatusBar1"), &QStatusBar::messageChanged);

    f.check();

    QStringList shown;
    for (const QList<QVariant>& change : statuses)
        shown << change.at(0).toString();
    EXPECT_EQ(shown, (QStringList{u("检测升级文件..."), u("分析升级文件..."), u("5分析升级文件..."), u("就绪...")}));
    ASSERT_EQ(f.list()->topLevelItemCount(), 1);
    const QTreeWidgetItem* item = f.list()->topLevelItem(0);
    EXPECT_EQ(item->checkState(0), Qt::Checked);
    QStringList texts;
    for (int i = 0; i < 6; ++i)
        texts << item->text(i);
    EXPECT_EQ(texts, (QStringList{u("a.zip"), u("1 KB"), u("2009-3-8"), u("新词库"), u("未下载"),
                                  QString::fromStdString(f.server.url("/a.zip"))}));
    EXPECT_TRUE(f.button("Button2")->isEnabled());
    EXPECT_TRUE(f.informed.isEmpty());
    EXPECT_EQ(readFile(f.folder.file("tmp.ini")), manifest);
    screenshot(f.form.get(), "updater-after-check");

    // A failed fetch keeps the list; a check that lists nothing empties it but leaves 下载 on.
    f.server.remove("/Quillmarkkit/update.txt");
    f.check();
    EXPECT_EQ(f.status(), u("检测升级文件失败!"));
    EXPECT_EQ(f.list()->topLevelItemCount(), 1);
    f.server.publish("");
    f.check();
    EXPECT_EQ(f.informed, QStringList{u("没有升级文件列表")});
    EXPECT_EQ(f.list()->topLevelItemCount(), 0);
    EXPECT_TRUE(f.button("Button2")->isEnabled());
    EXPECT_EQ(f.status(), u("就绪..."));
    // A manifest whose files are all installed says so.
    f.server.publish(f.server.item("second", "b.zip", "/b.zip", "b", "2009-3-7"));
    f.check();
    EXPECT_EQ(f.informed.last(), u("已是最新版本"));
}

TEST(UpdaterWindow, anUnsignedOrForgedManifestIsRefusedAndSaidSo)
{
    UpdaterFixture f;
    f.folder.write("tmp.ini", "kept");
    const std::string manifest = f.server.item("1", "a.zip", "/a.zip", "a");
    f.server.publish(manifest, nullptr);
    f.check();
    f.server.publish(manifest, &otherKey());
    f.check();
    EXPECT_EQ(f.informed, (QStringList{fromGbk(failureText(UpdateFailure::Unsigned)),
                                       fromGbk(failureText(UpdateFailure::BadSignature))}));
    EXPECT_EQ(f.status(), u("检测升级文件失败!"));
    EXPECT_EQ(f.list()->topLevelItemCount(), 0);
    EXPECT_EQ(readFile(f.folder.file("tmp.ini")), "kept");
}

TEST(UpdaterWindow, downloadMarksEachItemWithItsReasonAndSaysSo)
{
    UpdaterFixture f;
    const std::string words = std::string(300000, 'w');
    std::string manifest = f.server.item("1", "words.zip", "/words.zip", zipBytes({{"dict/words.txt", words}})) +
                           f.server.item("2", "gone.zip", "/gone.zip", "x") +
                           f.server.item("3", "forged.zip", "/forged.zip", zipBytes({{"x.txt", "GOOD"}})) +
                           f.server.item("4", "later.zip", "/later.zip", "l");
    f.server.remove("/gone.zip");
    f.server.serve("/forged.zip", zipBytes({{"x.txt", "EVIL"}})); // as long as the genuine one
    f.server.publish(manifest);
    f.check();
    ASSERT_EQ(f.list()->topLevelItemCount(), 4);
    f.list()->topLevelItem(3)->setCheckState(0, Qt::Unchecked);
    QSignalSpy positions(child<QProgressBar>(f.form, "ProgressBar1"), &QProgressBar::valueChanged);

    f.download();

    EXPECT_EQ(f.column(4), (QStringList{u("完成"), failed(UpdateFailure::Download),
                                        failed(UpdateFailure::HashMismatch), u("未下载")}));
    EXPECT_EQ(readFile(f.folder.file("words.txt")), words);
    EXPECT_FALSE(fileExists(f.folder.file("x.txt")));
    EXPECT_EQ(f.informed, QStringList{u("gone.zip：") + fromGbk(failureText(UpdateFailure::Download)) + u("\n") +
                                      u("forged.zip：") + fromGbk(failureText(UpdateFailure::HashMismatch))});
    EXPECT_EQ(f.asked, QStringList{u("是否现在运行升级文件?")});
    EXPECT_EQ(child<QProgressBar>(f.form, "ProgressBar2")->maximum(), 4);
    EXPECT_EQ(child<QProgressBar>(f.form, "ProgressBar2")->value(), 4);
    EXPECT_EQ(child<QProgressBar>(f.form, "ProgressBar1")->value(), 0);
    EXPECT_FALSE(positions.isEmpty()); // the current bar moved during the transfers
    // Answering No leaves both buttons off.
    EXPECT_FALSE(f.button("Button1")->isEnabled());
    EXPECT_FALSE(f.button("Button2")->isEnabled());
    EXPECT_EQ(f.status(), u("正在下载升级文件..."));
    EXPECT_EQ(f.quits, 0);
    screenshot(f.form.get(), "updater-after-download");
    QTest::mouseClick(f.button("Button3"), Qt::LeftButton);
    EXPECT_FALSE(f.form->isVisible());
}

TEST(UpdaterWindow, theWindowPaintsAndClosesDuringADownload)
{
    UpdaterFixture f;
    f.server.serve("/data", zipBytes({{"data.txt", "data"}}));
    std::string manifest = f.server.item("1", "stalled.zip", "/stalled", "late") +
                           f.server.item("2", "data.zip", "/data", zipBytes({{"data.txt", "data"}}));
    f.server.publish(manifest);
    f.check();
    QTest::mouseClick(f.button("Button2"), Qt::LeftButton);
    // The download runs on: the window repaints while it waits.
    QTest::qWait(300);
    EXPECT_EQ(f.column(4).first(), u("下载中"));
    EXPECT_FALSE(f.form->grab().isNull());
    screenshot(f.form.get(), "updater-stalled-download");
    QTest::mouseClick(f.button("Button3"), Qt::LeftButton);

    EXPECT_FALSE(f.form->isVisible());
    EXPECT_EQ(f.column(4), (QStringList{failed(UpdateFailure::Download), u("未下载")}));
    QTest::qWait(100);
    EXPECT_TRUE(f.informed.isEmpty()); // no boxes for a window the user closed
    EXPECT_TRUE(f.asked.isEmpty());
    EXPECT_FALSE(fileExists(f.folder.file("data.txt")));
    EXPECT_TRUE(f.button("Button1")->isEnabled());
    EXPECT_TRUE(f.button("Button2")->isEnabled());
}

TEST(UpdaterWindow, answeringYesReplacesTheProgramAndEnds)
{
    UpdaterFixture f;
    chmod(f.folder.write("quillmarkbox", "the running program").c_str(), 0755);
    const std::string newProgram = "#!/bin/sh\necho started > started.txt\n";
    f.server.publish(f.server.item("p", "Quillmarkbox", "/package", zipBytes({{"Quillmarkbox.exe", newProgram}})));
    f.check();
    f.answerYes = true;

    f.download();
    EXPECT_TRUE(waitUntil([&] { return f.quits > 0; }));

    EXPECT_EQ(f.column(4), QStringList{u("完成")});
    EXPECT_EQ(f.informed, (QStringList{u("下载升级文件完成"), u("升级完成")}));
    EXPECT_EQ(f.quits, 1);
    EXPECT_EQ(f.boxesBeforeQuit, 2); // the message loop ends after the last box, never under it
    EXPECT_EQ(f.opened, QStringList{QString::fromStdString(f.folder.path())});
    EXPECT_FALSE(f.mainWindow.isVisible());
    EXPECT_FALSE(f.form->isVisible());
    EXPECT_EQ(f.status(), u("就绪..."));
    EXPECT_EQ(child<QProgressBar>(f.form, "ProgressBar2")->value(), 0);
    // The launcher has started the new program in the folder and removed itself.
    EXPECT_TRUE(waitUntil([&] {
        return fileExists(f.folder.file("started.txt")) && !fileExists(f.folder.file("$del$.bat"));
    }));
    EXPECT_EQ(readFile(f.folder.file("quillmarkbox")), newProgram);
    EXPECT_FALSE(fileExists(f.folder.file("Quillmarkbox")));
    EXPECT_NE(readFile(f.folder.file("update.ini")).find("[Quillmarkbox]"), std::string::npos);
}

TEST(UpdaterWindow, aRefusedProgramPackageIsSaidAndKeptUntilTheWindowCloses)
{
    UpdaterFixture f;
    chmod(f.folder.write("quillmarkbox", "the running program").c_str(), 0555); // read-only
    f.server.publish(f.server.item("p", "Quillmarkbox", "/package", zipBytes({{"Quillmarkbox.exe", "new"}})));
    f.check();
    f.answerYes = true;
    f.download();
    EXPECT_TRUE(waitUntil([&] { return f.informed.size() == 2; }));

    const QString reason = fromGbk(failureText(UpdateFailure::CannotReplaceProgram));
    EXPECT_EQ(f.informed, (QStringList{u("下载升级文件完成"), reason}));
    EXPECT_EQ(f.column(4), QStringList{failed(UpdateFailure::CannotReplaceProgram)});
    EXPECT_EQ(f.quits, 0);
    EXPECT_TRUE(f.button("Button1")->isEnabled());
    EXPECT_EQ(readFile(f.folder.file("quillmarkbox")), "the running program");
    EXPECT_TRUE(fileExists(f.folder.file("Quillmarkbox")));
    screenshot(f.form.get(), "updater-refused-package");
    f.form->close();
    EXPECT_FALSE(fileExists(f.folder.file("Quillmarkbox")));
}

TEST(UpdaterWindow, answeringYesWithoutAPackageOnlyReenablesTheButtons)
{
    UpdaterFixture f;
    f.folder.write("quillmarkbox", "the running program");
    f.server.publish(f.server.item("a", "a.txt", "/a.txt", "plain"));
    f.check();
    f.answerYes = true;
    f.download();

    EXPECT_TRUE(waitUntil([&] { return f.button("Button1")->isEnabled(); }));
    EXPECT_TRUE(f.button("Button2")->isEnabled());
    EXPECT_EQ(f.quits, 0);
    EXPECT_TRUE(f.form->isVisible());
    EXPECT_EQ(readFile(f.folder.file("quillmarkbox")), "the running program");
    EXPECT_FALSE(fileExists(f.folder.file("a.txt"))); // not an archive: dropped after the failed unpack
}

TEST(UpdaterWindow, startUpPutsBackAHalfDoneUpdateAndSparesTheUsersFiles)
{
    TempFolder folder;
    const std::string backup = folder.write("backup.2023-12-31.tmp", "the user's backup");
    const std::string leftover = folder.write("words.txt." + std::to_string(endedProcess()) + "-0-42.tmp", "the user's");
    std::filesystem::create_directory(folder.file(".update-1-1"));
    folder.write(".update-1-1/new", "");
    folder.write("update.journal", ".update-1-1\n");
    UpdaterWindow::Options options;
    options.programFolder = folder.path();
    UpdaterWindow form(options);
    EXPECT_TRUE(fileExists(backup));
    EXPECT_TRUE(fileExists(leftover));
    EXPECT_FALSE(fileExists(folder.file(".update-1-1")));
    EXPECT_FALSE(fileExists(folder.file("update.journal")));
}

TEST(UpdaterWindow, aProgramThePackageManagerInstalledIsNotUpdatedHere)
{
    UpdaterWindow::Options options;
    options.programFolder = "/usr/bin";
    UpdaterWindow form(options);
    EXPECT_FALSE(child<QPushButton>(&form, "Button1")->isEnabled());
    EXPECT_FALSE(child<QPushButton>(&form, "Button2")->isEnabled());
    EXPECT_EQ(child<QStatusBar>(&form, "StatusBar1")->currentMessage(), u("本程序由软件包管理器安装，请用软件包管理器升级"));
    screenshot(&form, "updater-package-manager");
}

TEST(UpdaterWindow, theLastBoxIsSeenBeforeTheProgramEnds)
{
    // A whole program: only a real end of the message loop shows whether it closes the box.
    UpdateServer server;
    TempFolder folder;
    chmod(folder.write("quillmarkbox", "#!/bin/sh\necho old\n").c_str(), 0755);
    server.publish(server.item("p", "Quillmarkbox", "/package",
                               zipBytes({{"Quillmarkbox.exe", "#!/bin/sh\necho new > started.txt\n"}})));

    const ProcessResult run = runProcess({"/usr/bin/timeout", "60", QUILLMARK_UPDATER_PROBE, "update", folder.path(),
                                          server.manifestUrl(), testKey().publicHex});

    EXPECT_EQ(run.exitCode, 0) << run.err;
    EXPECT_EQ(run.out, "shown 下载升级文件完成\nclosed 下载升级文件完成\nshown 是否现在运行升级文件?\n"
                       "closed 是否现在运行升级文件?\nshown 升级完成\nclosed 升级完成\nexited\n");
    // The new program started once the old one had ended.
    EXPECT_TRUE(waitUntil([&] { return fileExists(folder.file("started.txt")); }));
    EXPECT_EQ(readFile(folder.file("quillmarkbox")), "#!/bin/sh\necho new > started.txt\n");
}

TEST(UpdaterWindow, closingTheWindowDuringADownloadEndsTheProgram)
{
    UpdateServer server;
    TempFolder folder;
    server.publish(server.item("p", "a.zip", "/stalled", "late"));

    const ProcessResult run = runProcess({"/usr/bin/timeout", "20", QUILLMARK_UPDATER_PROBE, "close", folder.path(),
                                          server.manifestUrl(), testKey().publicHex});

    EXPECT_EQ(run.exitCode, 0) << run.err; // 124: the program was still in its download
    EXPECT_EQ(run.out, "closing the window\nexited\n");
}

namespace {

// Serves the version document over HTTPS and points the maker's host at this server while it lives.
struct VersionServer {
    LoopbackServer server{Scheme::Https};
    QByteArray oldHost = qgetenv("QUILLMARK_MAKER_HOST");
    explicit VersionServer(std::string version)
    {
        server->Get("/Quillmarkkit/setxml.asp", [version](const httplib::Request&, httplib::Response& response) {
            response.set_content("<r><banben>" + version + "</banben></r>", "text/xml");
        });
        server.start();
        qputenv("QUILLMARK_MAKER_HOST", QByteArray::fromStdString("127.0.0.1:" + std::to_string(server.port())));
        qputenv("QUILLMARK_CA_FILE", QByteArray::fromStdString(loopbackCertificateFile()));
    }
    ~VersionServer()
    {
        qputenv("QUILLMARK_MAKER_HOST", oldHost);
        qunsetenv("QUILLMARK_CA_FILE");
    }
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
