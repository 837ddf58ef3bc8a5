#include "gui/UpdaterWindow.h"

#include "platform/FileSystem.h"
#include "platform/Hosts.h"
#include "platform/ReplacementFile.h"
#include "gui/QtGbk.h"
#include "gui/WidgetSetup.h"
#include "update/DownloadLoop.h"
#include "update/SelfReplacement.h"
#include "update/UpdateManifest.h"

#include <QApplication>
#include <QCloseEvent>
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
#include <QTreeWidget>
#include <QUrl>
#include <QVBoxLayout>
#include <algorithm>
#include <limits>
#include <thread>

namespace quill {
namespace {

enum Column { NameColumn, SizeColumn, DateColumn, NoteColumn, StateColumn, UrlColumn };

int barValue(std::int64_t bytes)
{
    return static_cast<int>(std::clamp<std::int64_t>(bytes, 0, std::numeric_limits<int>::max()));
}

QString stateText(ItemState state)
{
    switch (state) {
    case ItemState::Downloading:
        return QString::fromUtf8("下载中");
    case ItemState::Done:
        return QString::fromUtf8("完成");
    case ItemState::Failed:
        break;
    }
    return QString::fromUtf8("失败");
}

// The download loop's view of m_fileList and m_totalProgress.
class ListViewItems : public DownloadList {
public:
    ListViewItems(QTreeWidget* list, QProgressBar* overall) : m_list(list), m_overall(overall) {}

    std::size_t count() const override { return static_cast<std::size_t>(m_list->topLevelItemCount()); }
    bool isTicked(std::size_t item) const override { return at(item)->checkState(NameColumn) == Qt::Checked; }
    std::string name(std::size_t item) const override { return toPath(at(item)->text(NameColumn)); }
    std::string url(std::size_t item) const override { return toGbk(at(item)->text(UrlColumn)); }
    void setState(std::size_t item, ItemState state) override { at(item)->setText(StateColumn, stateText(state)); }
    void passed(std::size_t) override
    {
        m_overall->setValue(m_overall->value() + 1);
        QApplication::processEvents();
    }

private:
    QTreeWidgetItem* at(std::size_t item) const { return m_list->topLevelItem(static_cast<int>(item)); }

    QTreeWidget* m_list;
    QProgressBar* m_overall;
};

} // namespace

UpdaterWindow::UpdaterWindow() : UpdaterWindow(Options()) {}

UpdaterWindow::UpdaterWindow(Options options, QWidget* parent) : QWidget(parent, Qt::Window), m_options(std::move(options))
{
    setObjectName(QStringLiteral("TForm3"));
    setWindowTitle(QString::fromUtf8("软件升级"));
    resize(560, 400);
    if (m_options.programFolder.empty())
        m_options.programFolder = executableFolder();
    if (m_options.executableName.empty())
        m_options.executableName = toPath(QFileInfo(QCoreApplication::applicationFilePath()).fileName());
    if (m_options.manifestUrl.empty())
        m_options.manifestUrl = "http://" + makerHost() + "/Quillmarkkit/update.txt";
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
    // Transfers of an earlier run that was killed left their temporary files here.
    removeLeftoverTemporaryFiles(m_options.programFolder);

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
    m_fileList->setColumnWidth(StateColumn, 60);

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
}

void UpdaterWindow::setStatus(const char* text) { m_statusBar->showMessage(QString::fromUtf8(text)); }

TransferEvents UpdaterWindow::transferEvents()
{
    // A bar with no range would show Qt's busy animation; an unknown size shows an empty bar.
    return {[this](std::int64_t maximum) {
                m_fileProgress->setMaximum(std::max(barValue(maximum), 1));
                m_fileProgress->setValue(0);
            },
            [this](std::int64_t position) {
                m_fileProgress->setValue(barValue(position));
                QApplication::processEvents();
            },
            [this] { m_fileProgress->setValue(0); },
            &m_closed,
            m_options.noProgressLimit};
}

void UpdaterWindow::closeEvent(QCloseEvent* event)
{
    m_closed = true;
    QWidget::closeEvent(event);
}

void UpdaterWindow::checkForUpdates()
{
    m_closed = false;
    setStatus("检测升级文件...");
    m_checkButton->setEnabled(false);
    const std::string manifest = joinPath(m_options.programFolder, "tmp.ini");
    if (!fetchToFile(m_options.manifestUrl, manifest, transferEvents())) {
        setStatus("检测升级文件失败!");
        m_checkButton->setEnabled(true);
        return;
    }
    setStatus("分析升级文件...");
    m_fileList->clear();
    setStatus("5分析升级文件...");
    for (const UpdateEntry& entry :
         newerEntries(manifest, joinPath(m_options.programFolder, "update.ini"), todayDayNumber())) {
        auto* item = new QTreeWidgetItem(m_fileList, {fromGbk(entry.name), fromGbk(entry.size), fromGbk(entry.dateText),
                                                     fromGbk(entry.note), QString::fromUtf8("未下载"),
                                                     fromGbk(entry.url)});
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(NameColumn, Qt::Checked);
    }
    if (m_fileList->topLevelItemCount() > 0)
        m_downloadButton->setEnabled(true);
    else
        m_options.inform(QString::fromUtf8("没有升级文件列表"));
    setStatus("就绪...");
    m_checkButton->setEnabled(true);
}

void UpdaterWindow::downloadChecked()
{
    m_closed = false;
    setStatus("正在下载升级文件...");
    m_checkButton->setEnabled(false);
    m_downloadButton->setEnabled(false);
    m_totalProgress->setMaximum(std::max(m_fileList->topLevelItemCount(), 1));
    ListViewItems items(m_fileList, m_totalProgress);
    downloadTicked(items, m_options.programFolder, transferEvents(), m_options.executableName);
    if (m_closed) {
        // Closed during the downloads: no boxes for a window the user has dismissed.
        m_totalProgress->setValue(0);
        setStatus("就绪...");
        m_checkButton->setEnabled(true);
        m_downloadButton->setEnabled(true);
        return;
    }
    m_options.inform(QString::fromUtf8("下载升级文件完成"));
    if (!m_options.confirm(QString::fromUtf8("是否现在运行升级文件?")))
        return;
    m_totalProgress->setValue(0);
    setStatus("就绪...");
    m_checkButton->setEnabled(true);
    m_downloadButton->setEnabled(true);
    replaceProgram();
}

void UpdaterWindow::replaceProgram()
{
    ReplaceOptions replace;
    replace.programPid = m_options.programPid;
    if (replaceExecutable(m_options.programFolder, m_options.executableName, replace) != ReplaceOutcome::Started)
        return;
    std::this_thread::sleep_for(m_options.replaceWait);
    m_options.openFolder(fromPath(m_options.programFolder));
    // The message loop ends only after the user has closed the last box: once asked to end, Qt
    // closes every box at once, and the user would never read it. The new program waits for this
    // process to end.
    m_options.inform(QString::fromUtf8("升级完成"));
    if (m_options.mainWindow)
        m_options.mainWindow->close();
    close();
    m_options.quit();
}

} // namespace quill
