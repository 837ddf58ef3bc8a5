#include "app/MainWindow.h"

#include "crawlers/StatsPage.h"
#include "logs/LogPage.h"
#include "logs/RowTexts.h"
#include "platform/Hosts.h"
#include "app/AdvertFetch.h"
#include "qt/ErrorBoxDialog.h"
#include "qt/QtUiDispatcher.h"
#include "qt/QtGbk.h"
#include "settings/SettingsFile.h"
#include "settings/SettingsPage.h"
#include "text/DecodePage.h"
#include "update/UpdaterWindow.h"
#include "update/VersionCheckWorker.h"
#include "webtools/IpLookup.h"
#include "webtools/ToolsPage.h"
#include "webtools/WebRequests.h"

#include <QApplication>
#include <QCloseEvent>
#include <QComboBox>
#include <QFileDialog>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QSplitter>
#include <QTabWidget>
#include <QTableView>
#include <QTextBrowser>
#include <QTimer>
#include <QVBoxLayout>

namespace quill {
namespace {

constexpr int kBrowserHeight = 68;
constexpr int kBrowserFloor = 80;   // the splitter never leaves the strip lower than this
constexpr int kBrowserSnap = 68;    // ... and snaps back to the floor below this after a move

QWidget* makePage(QTabWidget* pages, const char* name, const char* caption, QWidget* page = nullptr)
{
    if (!page)
        page = new QWidget(pages);
    page->setObjectName(QString::fromLatin1(name));
    pages->addTab(page, QString::fromUtf8(caption));
    return page;
}

} // namespace

MainWindow::MainWindow(Options options, QWidget* parent)
    : QWidget(parent), m_options(std::move(options)), m_dispatcher(std::make_unique<QtUiDispatcher>(this))
{
    setObjectName(QStringLiteral("TForm1"));
    setWindowTitle(QString::fromUtf8("Quillmark-IISWEB日志分析 V1.03-Brenhollow出品.-") + fromGbk(makerSiteAddress()) +
                   QLatin1Char(' '));
    resize(800, 600);
    setMinimumSize(800, 600);
    if (m_options.settingsPath.empty())
        m_options.settingsPath = SettingsFile::defaultPath();
    if (!m_options.chooseFolder)
        m_options.chooseFolder = [](QWidget* owner) -> std::optional<QString> {
            const QString folder = QFileDialog::getExistingDirectory(owner, QString::fromUtf8("请选择保存目录："));
            return folder.isEmpty() ? std::nullopt : std::optional<QString>(folder);
        };

    Panel1 = new QLabel(QString::fromUtf8("未开发的新功能"), this);
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setAlignment(Qt::AlignCenter);
    Panel1->setFrameShape(QFrame::Panel);
    Panel1->setFrameShadow(QFrame::Raised);
    Panel1->setFixedHeight(17);

    spl2 = new QFrame(this);
    spl2->setObjectName(QStringLiteral("spl2"));
    spl2->setFixedHeight(3);
    spl2->setAutoFillBackground(true);
    QPalette highlight = spl2->palette();
    highlight.setColor(QPalette::Window, palette().color(QPalette::Highlight));
    spl2->setPalette(highlight);

    PageControl = new QTabWidget(this);
    PageControl->setObjectName(QStringLiteral("PageControl"));
    PageControl->setDocumentMode(true); // flat tabs
    settingsPage = new SettingsPage(PageControl);
    logPage = new LogPage(m_analysis, PageControl);
    toolsPage = new ToolsPage({m_options.siteListPath}, UIHTMLParser1, PageControl);
    ts3 = makePage(PageControl, "ts3", "设置", settingsPage);
    ts1 = makePage(PageControl, "ts1", "蜘蛛来访统计", statsPage = new StatsPage([this] { return m_logFolder; }, PageControl));
    ts2 = makePage(PageControl, "ts2", "日志分析", logPage);
    ts4 = makePage(PageControl, "ts4", "体验", toolsPage);
    TabSheet1 = makePage(PageControl, "TabSheet1", "解码", decodePage = new DecodePage(PageControl));
    ts5 = makePage(PageControl, "ts5", "更新");
    Button9 = new QPushButton(QString::fromUtf8("更新"), ts5);
    Button9->setObjectName(QStringLiteral("Button9"));
    Button9->move(16, 16);

    WebBrowser1 = new QTextBrowser(this);
    WebBrowser1->setObjectName(QStringLiteral("WebBrowser1"));
    WebBrowser1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    WebBrowser1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    WebBrowser1->setFrameShape(QFrame::NoFrame);
    WebBrowser1->document()->setDocumentMargin(0);
    WebBrowser1->setMinimumHeight(1); // the splitter guard, not the widget, decides how low it may go

    Splitter1 = new QSplitter(Qt::Vertical, this);
    Splitter1->setObjectName(QStringLiteral("Splitter1"));
    Splitter1->setHandleWidth(5);
    Splitter1->setChildrenCollapsible(false);
    Splitter1->addWidget(PageControl);
    Splitter1->addWidget(WebBrowser1);
    Splitter1->setStretchFactor(0, 1);
    Splitter1->setStretchFactor(1, 0);
    connect(Splitter1, &QSplitter::splitterMoved, this, &MainWindow::Splitter1Moved);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Panel1);
    layout->addWidget(spl2);
    layout->addWidget(Splitter1, 1);
    setBrowserHeight(kBrowserHeight);

    PopupMenu1 = new QMenu(this);
    PopupMenu1->setObjectName(QStringLiteral("PopupMenu1"));
    QAction* ip1 = PopupMenu1->addAction(QString::fromUtf8("查看IP"));
    ip1->setObjectName(QStringLiteral("IP1"));
    connect(ip1, &QAction::triggered, this, &MainWindow::IP1Click);
    logPage->lv2->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(logPage->lv2, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { PopupMenu1->popup(logPage->lv2->viewport()->mapToGlobal(at)); });

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(1000);
    connect(Timer1, &QTimer::timeout, this, &MainWindow::Timer1Timer);
    Timer1->start();

    connect(settingsPage->Button4, &QPushButton::clicked, this, &MainWindow::Button4Click);
    connect(settingsPage->Button3, &QPushButton::clicked, this, &MainWindow::Button3Click);
    connect(Button9, &QPushButton::clicked, this, &MainWindow::Button9Click);
    qApp->installEventFilter(this);
    FormCreate();
}

MainWindow::~MainWindow()
{
    qApp->removeEventFilter(this);
    m_advert.reset(); // before the widgets it shows the page in
    m_versionCheck.reset();
}

void MainWindow::FormCreate()
{
    const SettingsFile file(m_options.settingsPath);
    Settings current;
    current.logFolder = toGbk(m_logFolder);
    current.filters = logPage->filterSnapshot();
    current.siteUrl = toGbk(siteUrl());
    current.listBackground = logPage->listBackground();
    current.listText = logPage->listText();
    const Settings settings = file.load(current);

    m_logFolder = fromGbk(settings.logFolder);
    logPage->setSavedBoxes(settings.filters);
    m_hideAdvert = settings.hideAdvert;
    toolsPage->ComboBox1->setEditText(fromGbk(settings.siteUrl));
    logPage->setListColours(settings.listBackground, settings.listText);
    if (m_options.logFolderForRun)
        m_logFolder = *m_options.logFolderForRun;
    settingsPage->edt1->setText(m_logFolder);
    logPage->setLogFolder(m_logFolder);
    logPage->listLogFiles(true);
    if (!m_hideAdvert)
        showAdvert();
    PageControl->setCurrentWidget(ts2);
}

void MainWindow::IP1Click()
{
    const QModelIndexList selected = logPage->lv2->selectionModel()->selectedIndexes();
    if (m_analysis.store().count() == 0 || selected.isEmpty())
        return;
    int row = selected.front().row();
    for (const QModelIndex& index : selected)
        row = std::min(row, index.row());
    const std::string ip = cellText(m_analysis.store(), static_cast<std::uint32_t>(row), kColClientIp);
    logPage->Label4->setText(fromGbk(ip));
    logPage->Label4->repaint(); // the address shows while the lookup blocks the window
    logPage->Label4->setText(fromGbk(IpLookup(ip, [](const std::string& url) { return fetchPage(url); })));
}

QString MainWindow::siteUrl() const { return toolsPage->ComboBox1->currentText(); }

void MainWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        FormShow();
    }
}

void MainWindow::FormShow()
{
    m_siteListWasRead = toolsPage->loadSiteList();
    // Only a program whose site list was there and readable learns of new versions this run.
    if (m_siteListWasRead)
        startVersionCheck();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    FormClose();
    event->accept();
}

void MainWindow::FormClose()
{
    SettingsFile file(m_options.settingsPath);
    if (Status written = file.writeSiteUrl(toGbk(siteUrl())); !written)
        showErrorBox(this, written.message());
}

void MainWindow::Button4Click()
{
    if (std::optional<QString> folder = m_options.chooseFolder(this)) {
        m_logFolder = *folder;
        settingsPage->edt1->setText(m_logFolder);
    }
    SettingsFile file(m_options.settingsPath);
    if (Status written = file.writeLogFolder(toGbk(m_logFolder)); !written) {
        showErrorBox(this, written.message());
        return;
    }
    logPage->setLogFolder(m_logFolder);
    logPage->listLogFiles(false);
}

void MainWindow::Button3Click()
{
    SettingsFile file(m_options.settingsPath);
    const Status written = file.saveConfiguration(logPage->filterSnapshot(), toGbk(siteUrl()),
                                                  logPage->listBackground(), logPage->listText());
    if (!written)
        showErrorBox(this, written.message());
}

void MainWindow::Button9Click()
{
    if (!m_updater)
        return;
    m_updater->show();
    m_updater->raise();
    m_updater->activateWindow();
}

void MainWindow::startVersionCheck()
{
    if (!m_versionCheck)
        m_versionCheck = std::make_unique<VersionCheckWorker>(versionDocumentUrl(), m_hideAdvert);
}

void MainWindow::Timer1Timer()
{
    const double latest = m_versionCheck ? m_versionCheck->latestVersion() : kNoVersionYet;
    switch (versionNotice(latest)) {
    case VersionNotice::KeepWaiting:
        return;
    case VersionNotice::Stop:
        Timer1->stop();
        return;
    case VersionNotice::Announce:
        Timer1->stop();
        PageControl->setCurrentWidget(ts5);
        QMessageBox::information(this, QApplication::applicationDisplayName(), QString::fromUtf8("有新版本"));
        return;
    }
}

void MainWindow::Panel1MouseDown() { Panel1->setFixedHeight(Panel1->height() <= 50 ? 300 : 4); }

void MainWindow::setBrowserHeight(int height)
{
    const QList<int> sizes = Splitter1->sizes();
    const int total = sizes.value(0) + sizes.value(1);
    Splitter1->setSizes({total > height ? total - height : 1, height});
    WebBrowser1->resize(WebBrowser1->width(), height);
}

void MainWindow::Splitter1CanResize()
{
    if (WebBrowser1->height() < kBrowserFloor)
        setBrowserHeight(kBrowserFloor);
}

void MainWindow::Splitter1Moved()
{
    if (WebBrowser1->height() < kBrowserSnap)
        setBrowserHeight(kBrowserFloor);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick || type == QEvent::ContextMenu) {
        auto* widget = qobject_cast<QWidget*>(watched);
        const bool right = type == QEvent::ContextMenu || static_cast<QMouseEvent*>(event)->button() == Qt::RightButton;
        // The advertisement strip never gets a context menu.
        if (right && widget && (widget == WebBrowser1 || WebBrowser1->isAncestorOf(widget)))
            return true;
        if (type == QEvent::MouseButtonPress && watched == Panel1)
            Panel1MouseDown();
        else if (type == QEvent::MouseButtonPress && watched == Splitter1->handle(1))
            Splitter1CanResize();
    }
    return QWidget::eventFilter(watched, event);
}

void MainWindow::showAdvert()
{
    m_advert = std::make_unique<AdvertFetch>(advertUrl(), *m_dispatcher, [this](const std::string& page) {
        WebBrowser1->setHtml(fromGbk(page));
    });
}

} // namespace quill
