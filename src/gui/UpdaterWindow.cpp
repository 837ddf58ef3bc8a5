#include "gui/UpdaterWindow.h"

#include "platform/CodePage.h"
#include "platform/FileSystem.h"
#include "gui/QtGbk.h"
#include "gui/QtUiDispatcher.h"
#include "gui/WidgetSetup.h"
#include "update/DownloadLoop.h"
#include "update/StagingArea.h"
#include "update/UpdateFailure.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QFileInfo>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QMessageBox>
#include <QProgressBar>
#include <QPushButton>
#include <QStatusBar>
#include <QTimer>
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <limits>
#include <unistd.h>

namespace quill {
namespace {

enum Column { NameColumn, SizeColumn, DateColumn, NoteColumn, StateColumn, UrlColumn };

int barValue(std::int64_t bytes)
{
    return static_cast<int>(std::clamp<std::int64_t>(bytes, 0, std::numeric_limits<int>::max()));
}

// The latest position of a transfer, handed to the window once per repaint at most, not once per
// piece of the body.
struct BarFeed {
    std::atomic<std::int64_t> maximum{0};
    std::atomic<std::int64_t> position{0};
    std::atomic<bool> posted{false};
};

} // namespace

UpdaterWindow::UpdaterWindow() : UpdaterWindow(Options()) {}

UpdaterWindow::UpdaterWindow(Options options, QWidget* parent)
    : QWidget(parent, Qt::Window), m_options(std::move(options)),
      m_dispatcher(std::make_unique<QtUiDispatcher>(this)), m_worker(m_dispatcher.get())
{
    setObjectName(QStringLiteral("TForm3"));
    setWindowTitle(QString::fromUtf8("软件升级"));
    resize(560, 400);
    if (m_options.programFolder.empty())
        m_options.programFolder = executableFolder();
    if (m_options.executableName.empty())
        m_options.executableName = toPath(QFileInfo(QCoreApplication::applicationFilePath()).fileName());
    if (m_options.manifestUrl.empty())
        m_options.manifestUrl = manifestUrl();
    if (m_options.caFile.empty())
        m_options.caFile = trustedCaFile();
    if (!m_options.inform)
        m_options.inform = [this](const QString& text) {
            QMessageBox::information(this, QString::fromUtf8("信息"), text);
        };
    if (!m_options.confirm)
        m_options.confirm = [this](const QString& question) {
            return QMessageBox::question(this, QString::fromUtf8("确认"), question,
                                         QMessageBox::Yes | QMessageBox::No) == QMessageBox::Yes;
        };
    if (!m_options.openFolder)
        m_options.openFolder = [](const QString& folder) { QDesktopServices::openUrl(QUrl::fromLocalFile(folder)); };
    if (!m_options.quit)
        m_options.quit = [] { QCoreApplication::quit(); };
    // What an update of an earlier run left half done is put back, and its staging folders go.
    recoverUpdateFolder(m_options.programFolder);

    m_fileListLabel = named(new QLabel(QString::fromUtf8("升级文件列表："), this), "Label1");
    m_fileProgressLabel = named(new QLabel(QString::fromUtf8("当前下载进度："), this), "Label2");
    m_totalProgressLabel = named(new QLabel(QString::fromUtf8("总体下载进度："), this), "Label3");

    m_fileList = named(new QTreeWidget(this), "ListView1");
    m_fileList->setRootIsDecorated(false);
    m_fileList->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_fileList->setHeaderLabels({QString::fromUtf8("文件名"), QString::fromUtf8("大小"), QString::fromUtf8("日期"),
                                QString::fromUtf8("说明"), QString::fromUtf8("状态"), QString::fromUtf8("地址")});
    m_fileList->header()->setSectionResizeMode(QHeaderView::Interactive);
    m_fileList->setColumnWidth(NameColumn, 110);
    m_fileList->setColumnWidth(SizeColumn, 60);
    m_fileList->setColumnWidth(DateColumn, 80);
    m_fileList->setColumnWidth(NoteColumn, 130);
    m_fileList->setColumnWidth(StateColumn, 110);

    m_fileProgress = named(new QProgressBar(this), "ProgressBar1");
    m_totalProgress = named(new QProgressBar(this), "ProgressBar2");
    for (QProgressBar* bar : {m_fileProgress, m_totalProgress}) {
        bar->setRange(0, 100);
        bar->setValue(0);
        bar->setTextVisible(false);
    }

    m_checkButton = makeButton(this, "Button1", "检测(&C)");
    m_downloadButton = makeButton(this, "Button2", "下载(&D)");
    m_closeButton = makeButton(this, "Button3", "关闭(&X)");
    m_downloadButton->setEnabled(false);

    m_statusBar = named(new QStatusBar(this), "StatusBar1");
    m_statusBar->setSizeGripEnabled(false);
    setStatus("就绪...");

    auto* bars = new QGridLayout;
    bars->addWidget(m_fileProgressLabel, 0, 0);
    bars->addWidget(m_fileProgress, 0, 1);
    bars->addWidget(m_totalProgressLabel, 1, 0);
    bars->addWidget(m_totalProgress, 1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(m_checkButton);
    buttons->addWidget(m_downloadButton);
    buttons->addWidget(m_closeButton);
    auto* content = new QVBoxLayout;
    content->setContentsMargins(8, 8, 8, 4);
    content->addWidget(m_fileListLabel);
    content->addWidget(m_fileList, 1);
    content->addLayout(bars);
    content->addLayout(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addLayout(content, 1);
    layout->addWidget(m_statusBar);

    connect(m_checkButton, &QPushButton::clicked, this, &UpdaterWindow::checkForUpdates);
    connect(m_downloadButton, &QPushButton::clicked, this, &UpdaterWindow::downloadChecked);
    connect(m_closeButton, &QPushButton::clicked, this, &QWidget::close);

    // A program the package manager installed is updated by the package manager, never from here.
    if (isManagedInstall(m_options.programFolder)) {
        m_checkButton->setEnabled(false);
        m_statusBar->showMessage(QString::fromUtf8("本程序由软件包管理器安装，请用软件包管理器升级"));
    }
}

UpdaterWindow::~UpdaterWindow() { m_worker.stop(); }

void UpdaterWindow::setStatus(const char* text) { m_statusBar->showMessage(QString::fromUtf8(text)); }

void UpdaterWindow::setButtonsEnabled(bool enabled)
{
    m_checkButton->setEnabled(enabled);
    m_downloadButton->setEnabled(enabled);
}

TransferEvents UpdaterWindow::transferEvents(const Worker::Post& post, const std::atomic<bool>& stop)
{
    TransferEvents events;
    // One task at a time carries the latest range and position: a range that changes while an
    // update waits is never applied after the position it belongs to.
    const auto feed = std::make_shared<BarFeed>();
    const auto show = [this, post, feed] {
        if (!feed->posted.exchange(true))
            post([this, feed] {
                feed->posted = false;
                // A bar with no range would show Qt's busy animation; an unknown size shows an empty bar.
                m_fileProgress->setMaximum(std::max(barValue(feed->maximum), 1));
                m_fileProgress->setValue(barValue(feed->position));
            });
    };
    events.begin = [feed, show](std::int64_t maximum) {
        feed->maximum = maximum;
        feed->position = 0;
        show();
    };
    events.advance = [feed, show](std::int64_t position) {
        feed->position = position;
        show();
    };
    events.end = [this, post] { post([this] { m_fileProgress->setValue(0); }); };
    events.stop = &stop;
    events.noProgressLimit = m_options.noProgressLimit;
    events.caFile = m_options.caFile;
    return events;
}

void UpdaterWindow::closeEvent(QCloseEvent* event)
{
    // A replacement runs to its end: its launcher must learn when this program exits.
    if (m_busy && !m_replacing) {
        // What the stopped job would still have posted is dropped; the window says where it ended.
        m_worker.stop();
        m_busy = false;
        const QString downloading = fromGbk(itemStateText(ItemState::Downloading));
        const QString failed = fromGbk(itemStateText(ItemState::Failed, failureText(UpdateFailure::Download)));
        for (int i = 0; i < m_fileList->topLevelItemCount(); ++i)
            if (m_fileList->topLevelItem(i)->text(StateColumn) == downloading)
                m_fileList->topLevelItem(i)->setText(StateColumn, failed);
        m_fileProgress->setValue(0);
        m_totalProgress->setValue(0);
        setStatus("就绪...");
        setButtonsEnabled(true);
    }
    if (m_packageRefused) {
        m_packageRefused = false;
        unlink(joinPath(m_options.programFolder, kPackageName).c_str());
    }
    QWidget::closeEvent(event);
}

void UpdaterWindow::checkForUpdates()
{
    setStatus("检测升级文件...");
    m_checkButton->setEnabled(false);
    m_busy = true;
    CheckOptions check;
    check.manifestUrl = m_options.manifestUrl;
    check.key = m_options.publicKey.value_or(releasePublicKey());
    check.staging = m_options.staging;
    m_worker.start([this, check, folder = m_options.programFolder, today = todayDayNumber()](
                       const std::atomic<bool>& stop, const Worker::Post& post) mutable {
        check.events = transferEvents(post, stop);
        Result<CheckResult> result = quill::checkForUpdates(folder, check, today);
        post([this, result = std::move(result)] { showCheck(result); });
    });
}

void UpdaterWindow::showCheck(const Result<CheckResult>& result)
{
    m_busy = false;
    if (!result) {
        setStatus("检测升级文件失败!");
        m_checkButton->setEnabled(true);
        if (isUpdateFailure(result.status()))
            m_options.inform(fromGbk(result.status().message()));
        return;
    }
    setStatus("分析升级文件...");
    m_fileList->clear();
    m_entries = result.value().newer;
    setStatus("5分析升级文件...");
    for (const UpdateEntry& entry : m_entries) {
        auto* item = new QTreeWidgetItem(m_fileList, {fromGbk(entry.name), fromGbk(entry.size), fromGbk(entry.dateText),
                                                     fromGbk(entry.note), QString::fromUtf8("未下载"),
                                                     fromGbk(entry.url)});
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(NameColumn, Qt::Checked);
    }
    if (!m_entries.empty())
        m_downloadButton->setEnabled(true);
    else
        m_options.inform(QString::fromUtf8(result.value().listsFiles ? "已是最新版本" : "没有升级文件列表"));
    setStatus("就绪...");
    m_checkButton->setEnabled(true);
}

void UpdaterWindow::downloadChecked()
{
    setStatus("正在下载升级文件...");
    setButtonsEnabled(false);
    m_busy = true;
    m_totalProgress->setMaximum(std::max(m_fileList->topLevelItemCount(), 1));
    m_totalProgress->setValue(0);
    std::vector<ListedItem> items;
    for (int i = 0; i < m_fileList->topLevelItemCount(); ++i)
        items.push_back({m_entries.at(static_cast<std::size_t>(i)),
                         m_fileList->topLevelItem(i)->checkState(NameColumn) == Qt::Checked});
    DownloadOptions download;
    download.folder = m_options.programFolder;
    download.executableName = m_options.executableName;
    download.overallLimit = m_options.overallLimit;
    download.staging = m_options.staging;
    download.today = todayDayNumber();
    m_worker.start([this, items = std::move(items), download](const std::atomic<bool>& stop,
                                                               const Worker::Post& post) mutable {
        download.events = transferEvents(post, stop);
        DownloadReport report;
        report.state = [this, post](std::size_t item, ItemState state, const Status& status) {
            post([this, item, state, failure = status.message()] { setItemState(item, static_cast<int>(state), failure); });
        };
        report.passed = [this, post](std::size_t) {
            post([this] { m_totalProgress->setValue(m_totalProgress->value() + 1); });
        };
        downloadTicked(items, download, report);
        post([this] { downloadsEnded(); });
    });
}

void UpdaterWindow::setItemState(std::size_t item, int state, const std::string& failure)
{
    if (QTreeWidgetItem* row = m_fileList->topLevelItem(static_cast<int>(item))) {
        row->setText(StateColumn, fromGbk(itemStateText(static_cast<ItemState>(state), failure)));
        row->setToolTip(StateColumn, row->text(StateColumn)); // a long reason is cut in the column
    }
}

void UpdaterWindow::downloadsEnded()
{
    m_busy = false;
    // Every failure is said, with its reason; "完成" only when nothing failed.
    QStringList failures;
    for (int i = 0; i < m_fileList->topLevelItemCount(); ++i) {
        const QTreeWidgetItem* row = m_fileList->topLevelItem(i);
        if (row->text(StateColumn).startsWith(QString::fromUtf8("失败")))
            failures << row->text(NameColumn) + QString::fromUtf8("：升级") + row->text(StateColumn);
    }
    m_options.inform(failures.isEmpty() ? QString::fromUtf8("下载升级文件完成") : failures.join(QLatin1Char('\n')));
    if (!m_options.confirm(QString::fromUtf8("是否现在运行升级文件?")))
        return;
    m_totalProgress->setValue(0);
    setStatus("就绪...");
    replaceProgram();
}

void UpdaterWindow::replaceProgram()
{
    ReplaceOptions replace;
    replace.programPid = m_options.programPid;
    replace.exitWait = m_options.exitWait;
    replace.staging = m_options.staging;
    replace.today = todayDayNumber();
    for (int i = 0; i < m_fileList->topLevelItemCount(); ++i)
        if (m_entries.at(static_cast<std::size_t>(i)).name == kPackageName &&
            m_fileList->topLevelItem(i)->text(StateColumn) == QString::fromUtf8("完成"))
            replace.installed = {m_entries.at(static_cast<std::size_t>(i))};
    // The buttons wait for the replacement: a new job would stop it before its launcher is known.
    m_replacing = true;
    m_worker.start([this, replace, folder = m_options.programFolder, executable = m_options.executableName](
                       const std::atomic<bool>&, const Worker::Post& post) {
        ReplaceResult result = replaceExecutable(folder, executable, replace);
        post([this, outcome = result.outcome, status = result.status,
              exit = std::shared_ptr<ProgramExit>(std::move(result.exit))] { replacementEnded(outcome, status, exit); });
    });
}

void UpdaterWindow::replacementEnded(ReplaceOutcome outcome, const Status& status,
                                     const std::shared_ptr<ProgramExit>& exit)
{
    m_replacing = false;
    if (outcome != ReplaceOutcome::Started) {
        setButtonsEnabled(true);
        if (outcome == ReplaceOutcome::Failed) {
            const QString failed = fromGbk(itemStateText(ItemState::Failed, status.message()));
            for (int i = 0; i < m_fileList->topLevelItemCount(); ++i)
                if (m_entries.at(static_cast<std::size_t>(i)).name == kPackageName) {
                    m_fileList->topLevelItem(i)->setText(StateColumn, failed);
                    m_fileList->topLevelItem(i)->setToolTip(StateColumn, failed);
                }
            m_packageRefused = true;
            m_options.inform(fromGbk(status.message()));
        }
        return;
    }
    m_programExit = exit;
    // The pause before the end is a timer: the window keeps painting and answering meanwhile.
    QTimer::singleShot(m_options.replaceWait, this, &UpdaterWindow::finishReplacement);
}

void UpdaterWindow::finishReplacement()
{
    m_options.openFolder(fromPath(m_options.programFolder));
    // The message loop ends only after the user has closed the last box: once asked to end, Qt
    // closes every box at once, and the user would never read it.
    m_options.inform(QString::fromUtf8("升级完成"));
    if (m_options.mainWindow)
        m_options.mainWindow->close();
    close();
    // The program begins to exit: only now does the launcher's wait for it begin.
    m_programExit.reset();
    m_options.quit();
}

} // namespace quill
