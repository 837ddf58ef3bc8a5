#include "update/UpdaterWindow.h"

#include "platform/FileSystem.h"
#include "platform/Hosts.h"
#include "qt/QtGbk.h"
#include "update/DownloadLoop.h"
#include "update/SelfReplacement.h"
#include "update/UpdateManifest.h"

#include <QApplication>
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

// The download loop's view of ListView1 and ProgressBar2.
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

template <typename T>
T* named(T* widget, const char* name)
{
    widget->setObjectName(QString::fromLatin1(name));
    return widget;
}

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

    Label1 = named(new QLabel(QString::fromUtf8("升级文件列表："), this), "Label1");
    Label2 = named(new QLabel(QString::fromUtf8("当前下载进度："), this), "Label2");
    Label3 = named(new QLabel(QString::fromUtf8("总体下载进度："), this), "Label3");

    ListView1 = named(new QTreeWidget(this), "ListView1");
    ListView1->setRootIsDecorated(false);
    ListView1->setSelectionBehavior(QAbstractItemView::SelectRows);
    ListView1->setHeaderLabels({QString::fromUtf8("文件名"), QString::fromUtf8("大小"), QString::fromUtf8("日期"),
                                QString::fromUtf8("说明"), QString::fromUtf8("状态"), QString::fromUtf8("地址")});
    ListView1->header()->setSectionResizeMode(QHeaderView::Interactive);
    ListView1->setColumnWidth(NameColumn, 110);
    ListView1->setColumnWidth(SizeColumn, 60);
    ListView1->setColumnWidth(DateColumn, 80);
    ListView1->setColumnWidth(NoteColumn, 130);
    ListView1->setColumnWidth(StateColumn, 60);

    ProgressBar1 = named(new QProgressBar(this), "ProgressBar1");
    ProgressBar2 = named(new QProgressBar(this), "ProgressBar2");
    for (QProgressBar* bar : {ProgressBar1, ProgressBar2}) {
        bar->setRange(0, 100);
        bar->setValue(0);
        bar->setTextVisible(false);
    }

    Button1 = named(new QPushButton(QString::fromUtf8("检测(&C)"), this), "Button1");
    Button2 = named(new QPushButton(QString::fromUtf8("下载(&D)"), this), "Button2");
    Button3 = named(new QPushButton(QString::fromUtf8("关闭(&X)"), this), "Button3");
    Button2->setEnabled(false);

    StatusBar1 = named(new QStatusBar(this), "StatusBar1");
    StatusBar1->setSizeGripEnabled(false);
    setStatus("就绪...");

    auto* bars = new QGridLayout;
    bars->addWidget(Label2, 0, 0);
    bars->addWidget(ProgressBar1, 0, 1);
    bars->addWidget(Label3, 1, 0);
    bars->addWidget(ProgressBar2, 1, 1);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(Button1);
    buttons->addWidget(Button2);
    buttons->addWidget(Button3);
    auto* content = new QVBoxLayout;
    content->setContentsMargins(8, 8, 8, 4);
    content->addWidget(Label1);
    content->addWidget(ListView1, 1);
    content->addLayout(bars);
    content->addLayout(buttons);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addLayout(content, 1);
    layout->addWidget(StatusBar1);

    connect(Button1, &QPushButton::clicked, this, &UpdaterWindow::Button1Click);
    connect(Button2, &QPushButton::clicked, this, &UpdaterWindow::Button2Click);
    connect(Button3, &QPushButton::clicked, this, &QWidget::close);
}

void UpdaterWindow::setStatus(const char* text) { StatusBar1->showMessage(QString::fromUtf8(text)); }

TransferEvents UpdaterWindow::transferEvents()
{
    // A bar with no range would show Qt's busy animation; an unknown size shows an empty bar.
    return {[this](std::int64_t maximum) {
                ProgressBar1->setMaximum(std::max(barValue(maximum), 1));
                ProgressBar1->setValue(0);
            },
            [this](std::int64_t position) {
                ProgressBar1->setValue(barValue(position));
                QApplication::processEvents();
            },
            [this] { ProgressBar1->setValue(0); }};
}

void UpdaterWindow::Button1Click()
{
    setStatus("检测升级文件...");
    Button1->setEnabled(false);
    const std::string manifest = joinPath(m_options.programFolder, "tmp.ini");
    if (!fetchToFile(m_options.manifestUrl, manifest, transferEvents())) {
        setStatus("检测升级文件失败!");
        Button1->setEnabled(true);
        return;
    }
    setStatus("分析升级文件...");
    ListView1->clear();
    setStatus("5分析升级文件...");
    for (const UpdateEntry& entry :
         newerEntries(manifest, joinPath(m_options.programFolder, "update.ini"), todayDayNumber())) {
        auto* item = new QTreeWidgetItem(ListView1, {fromGbk(entry.name), fromGbk(entry.size), fromGbk(entry.dateText),
                                                     fromGbk(entry.note), QString::fromUtf8("未下载"),
                                                     fromGbk(entry.url)});
        item->setFlags(item->flags() | Qt::ItemIsUserCheckable);
        item->setCheckState(NameColumn, Qt::Checked);
    }
    if (ListView1->topLevelItemCount() > 0)
        Button2->setEnabled(true);
    else
        m_options.inform(QString::fromUtf8("没有升级文件列表"));
    setStatus("就绪...");
    Button1->setEnabled(true);
}

void UpdaterWindow::Button2Click()
{
    setStatus("正在下载升级文件...");
    Button1->setEnabled(false);
    Button2->setEnabled(false);
    ProgressBar2->setMaximum(std::max(ListView1->topLevelItemCount(), 1));
    ListViewItems items(ListView1, ProgressBar2);
    downloadTicked(items, m_options.programFolder, transferEvents());
    m_options.inform(QString::fromUtf8("下载升级文件完成"));
    if (!m_options.confirm(QString::fromUtf8("是否现在运行升级文件?")))
        return;
    ProgressBar2->setValue(0);
    setStatus("就绪...");
    Button1->setEnabled(true);
    Button2->setEnabled(true);
    replaceProgram();
}

void UpdaterWindow::replaceProgram()
{
    if (replaceExecutable(m_options.programFolder, m_options.executableName) != ReplaceOutcome::Started)
        return;
    std::this_thread::sleep_for(m_options.replaceWait);
    m_options.quit();
    m_options.openFolder(fromPath(m_options.programFolder));
    m_options.inform(QString::fromUtf8("升级完成"));
    if (m_options.mainWindow)
        m_options.mainWindow->close();
    close();
}

} // namespace quill
