#include "app/MainWindow.h"

#include "gui/StatsPage.h"
#include "gui/LedgerPage.h"
#include "gui/LogPage.h"
#include "platform/Hosts.h"
#include "webtools/AdvertFetch.h"
#include "gui/ErrorBoxDialog.h"
#include "gui/QtUiDispatcher.h"
#include "gui/PageSheet.h"
#include "gui/QtGbk.h"
#include "gui/WidgetSetup.h"
#include "gui/ColumnWidths.h"
#include "settings/SettingsFile.h"
#include "gui/SettingsPage.h"
#include "gui/DecodePage.h"
#include "gui/UpdaterWindow.h"
#include "update/VersionCheckWorker.h"
#include "gui/ToolsPage.h"

#include <QApplication>
#include <QCloseEvent>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPushButton>
#include <QScrollArea>
#include <QSplitter>
#include <QTabWidget>
#include <QTextBrowser>
#include <QTimer>
#include <QVBoxLayout>

namespace quill {
namespace {

constexpr int kBrowserHeight = 68;
constexpr int kBrowserFloor = 80;   // the splitter never leaves the strip lower than this
constexpr int kBrowserSnap = 68;    // ... and snaps back to the floor below this after a move

QWidget* addPage(QTabWidget* pages, const char* name, const char* caption, QWidget* page)
{
    pages->addTab(makePageSheet(named(page, name)), QString::fromUtf8(caption));
    return page;
}

} // namespace

MainWindow::MainWindow(Options options, QWidget* parent)
    : QWidget(parent), m_options(std::move(options)), m_dispatcher(std::make_unique<QtUiDispatcher>(this))
{
    setObjectName(QStringLiteral("TForm1"));
    setWindowTitle(QString::fromUtf8("Quillmark-IISWEB日志分析 V1.03-Brenhollow出品.-") + fromGbk(makerSiteAddress()) +
                   QLatin1Char(' '));
    if (m_options.settingsPath.empty())
        m_options.settingsPath = SettingsFile::defaultPath();
    if (!m_options.chooseFolder)
        m_options.chooseFolder = [](QWidget* owner) -> std::optional<QString> {
            const QString folder = QFileDialog::getExistingDirectory(owner, QString::fromUtf8("请选择保存目录："));
            return folder.isEmpty() ? std::nullopt : std::optional<QString>(folder);
        };

    m_headerStrip = named(new QLabel(QString::fromUtf8("未开发的新功能"), this), "Panel1");
    m_headerStrip->setAlignment(Qt::AlignCenter);
    m_headerStrip->setFrameShape(QFrame::Panel);
    m_headerStrip->setFrameShadow(QFrame::Raised);
    fitHeaderStrip();

    m_headerRule = named(new QFrame(this), "spl2");
    m_headerRule->setFixedHeight(3);
    m_headerRule->setAutoFillBackground(true);
    QPalette highlight = m_headerRule->palette();
    highlight.setColor(QPalette::Window, palette().color(QPalette::Highlight));
    m_headerRule->setPalette(highlight);

    m_pages = named(new QTabWidget(this), "PageControl");
    m_pages->setDocumentMode(true); // flat tabs
    m_settingsPage =
        new SettingsPage({m_options.settingsPath, m_options.chooseFolder, [this] { return pageSettings(); }}, m_pages);
    StatsPage::Options statsOptions;
    statsOptions.logFolder = [this] { return m_settingsPage->logFolder(); };
    m_statsPage = new StatsPage(std::move(statsOptions), m_pages);
    LedgerPage::Options ledgerOptions;
    ledgerOptions.logFolder = [this] { return m_settingsPage->logFolder(); };
    m_ledgerPage = new LedgerPage(std::move(ledgerOptions), m_pages);
    m_logPage = new LogPage(m_analysis, {}, m_pages);
    // A day followed live reaches the ledger as it is written, and is counted once.
    connect(m_logPage, &LogPage::followedLogGrew, m_ledgerPage, &LedgerPage::addFollowed);
    m_toolsPage = new ToolsPage({m_options.siteListPath}, m_pageParser, m_pages);
    m_decodePage = new DecodePage(m_pages);
    addPage(m_pages, "ts3", "设置", m_settingsPage);
    addPage(m_pages, "ts1", "蜘蛛来访统计", m_statsPage);
    addPage(m_pages, "tsLedger", "抓取档案", m_ledgerPage);
    addPage(m_pages, "ts2", "日志分析", m_logPage);
    addPage(m_pages, "ts4", "体验", m_toolsPage);
    addPage(m_pages, "TabSheet1", "解码", m_decodePage);
    m_updateTab = addPage(m_pages, "ts5", "更新", new QWidget(m_pages));
    m_showUpdaterButton = makeButton(m_updateTab, "Button9", "更新");
    m_showUpdaterButton->move(16, 16);

    m_advertView = named(new QTextBrowser(this), "WebBrowser1");
    m_advertView->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_advertView->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    m_advertView->setFrameShape(QFrame::NoFrame);
    m_advertView->document()->setDocumentMargin(0);
    m_advertView->setMinimumHeight(1); // the splitter guard, not the widget, decides how low it may go

    m_splitter = named(new QSplitter(Qt::Vertical, this), "Splitter1");
    m_splitter->setHandleWidth(5);
    m_splitter->setChildrenCollapsible(false);
    m_splitter->addWidget(m_pages);
    m_splitter->addWidget(m_advertView);
    m_splitter->setStretchFactor(0, 1);
    m_splitter->setStretchFactor(1, 0);
    connect(m_splitter, &QSplitter::splitterMoved, this, &MainWindow::snapAdvertToFloor);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_headerStrip);
    layout->addWidget(m_headerRule);
    layout->addWidget(m_splitter, 1);
    setBrowserHeight(kBrowserHeight);


    m_versionTimer = named(new QTimer(this), "Timer1");
    m_versionTimer->setInterval(1000);
    connect(m_versionTimer, &QTimer::timeout, this, &MainWindow::announceNewVersion);
    m_versionTimer->start();

    connect(m_settingsPage, &SettingsPage::logFolderSaved, this, [this](const QString& folder) {
        m_logPage->setLogFolder(folder);
        m_logPage->listLogFiles(false);
    });
    connect(m_showUpdaterButton, &QPushButton::clicked, this, &MainWindow::showUpdater);
    qApp->installEventFilter(this);
    installKeys();
    applySettings();
}

MainWindow::~MainWindow()
{
    qApp->removeEventFilter(this);
    m_advert.reset(); // before the widgets it shows the page in
    m_versionCheck.reset();
}

void MainWindow::applySettings()
{
    // One reading of the file serves every key of the start-up.
    const SettingsFile file(m_options.settingsPath);
    const Settings settings = file.load(pageSettings());

    m_logPage->setSavedBoxes(settings.filters);
    m_hideAdvert = settings.hideAdvert;
    m_toolsPage->setSiteAddress(fromGbk(settings.siteUrl));
    m_logPage->setListColours(settings.listBackground, settings.listText);
    m_verdictCacheFileName = settings.verification.cacheFileName;
    const std::string cachePath = file.verdictCachePath(settings.verification);
    m_logPage->setVerdictCachePath(cachePath);
    m_statsPage->setVerdictCachePath(cachePath);
    const std::string listsPath = SettingsFile(m_options.settingsPath).addressListsPath(settings.verification);
    m_logPage->setAddressListsPath(listsPath);
    m_statsPage->setAddressListsPath(listsPath);
    m_ledgerPage->setAddressListsPath(listsPath);
    m_ledgerPage->setVerdictCachePath(cachePath);
    m_ledgerPage->setVerifyCrawlers(settings.verification.verifyCrawlers);
    m_ledgerPage->setLedgerPath(SettingsFile(m_options.settingsPath).ledgerPath());
    m_logPage->setVerificationBoxes(settings.verification.verifyCrawlers, settings.verification.onlyFakes);
    m_logPage->setFollowing(settings.followLog);
    m_logPage->setSearchEncoded(settings.searchEncoded);
    m_statsPage->setOnlyVerified(settings.verification.onlyVerified);
    const CsvCells csvCells = settings.csvVerbatim ? CsvCells::Verbatim : CsvCells::Neutralised;
    m_logPage->setCsvCells(csvCells);
    m_statsPage->setCsvCells(csvCells);
    m_ledgerPage->setCsvCells(csvCells);
    restoreColumnWidths(file);
    const QString logFolder = m_options.logFolderForRun.value_or(fromGbk(settings.logFolder));
    m_settingsPage->setLogFolder(logFolder);
    m_logPage->setLogFolder(logFolder);
    m_logPage->listLogFiles(true);
    if (!m_hideAdvert)
        showAdvert();
    restorePlacement(settings.window);
}

void MainWindow::restoreColumnWidths(const SettingsFile& file)
{
    // Widths the user sets are written as soon as the user has stopped setting them.
    const struct {
        ColumnWidths* widths;
        const char* list;
    } lists[] = {{m_logPage->columnWidths(), "lv2"}, {m_statsPage->columnWidths(), "lv1"}};
    for (const auto& entry : lists) {
        entry.widths->setUserWidths(file.readColumnWidths(entry.list, entry.widths->userWidths().size()));
        connect(entry.widths, &ColumnWidths::changed, this, [this, widths = entry.widths, list = entry.list] {
            SettingsFile settings(m_options.settingsPath);
            if (Status written = settings.writeColumnWidths(list, widths->userWidths()); !written)
                showErrorBox(this, written.message());
        });
    }
}

Settings MainWindow::pageSettings() const
{
    Settings current;
    current.filters = m_logPage->filterSnapshot();
    current.siteUrl = toGbk(m_toolsPage->siteAddress());
    current.listBackground = m_logPage->listBackground();
    current.listText = m_logPage->listText();
    current.verification.verifyCrawlers = m_logPage->verifyCrawlers();
    current.verification.onlyFakes = m_logPage->onlyFakes();
    current.verification.onlyVerified = m_statsPage->onlyVerified();
    current.verification.cacheFileName = m_verdictCacheFileName;
    current.followLog = m_logPage->following();
    current.searchEncoded = m_logPage->searchEncoded();
    return current;
}

void MainWindow::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        firstShow();
    }
}

void MainWindow::firstShow()
{
    m_siteListWasRead = m_toolsPage->loadSiteList();
    // Only a program whose site list was there and readable learns of new versions this run.
    if (m_siteListWasRead)
        startVersionCheck();
}

void MainWindow::closeEvent(QCloseEvent* event)
{
    // Requests under way end now, so the program exits at once.
    m_toolsPage->cancelRun();
    m_logPage->cancelIpLookup();
    saveOnClose();
    event->accept();
}

void MainWindow::saveOnClose()
{
    SettingsFile file(m_options.settingsPath);
    Status written = file.writeSiteUrl(toGbk(m_toolsPage->siteAddress()));
    if (written)
        written = file.writeWindowState(placementToSave());
    if (!written)
        showErrorBox(this, written.message());
}

void MainWindow::showUpdater()
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
        m_versionCheck = std::make_unique<VersionCheckWorker>(versionDocumentUrl(), m_hideAdvert, m_dispatcher.get());
}

void MainWindow::announceNewVersion()
{
    const double latest = m_versionCheck ? m_versionCheck->latestVersion() : kNoVersionYet;
    switch (versionNotice(latest)) {
    case VersionNotice::KeepWaiting:
        return;
    case VersionNotice::Stop:
        m_versionTimer->stop();
        return;
    case VersionNotice::Announce:
        m_versionTimer->stop();
        showPage(m_updateTab);
        QMessageBox::information(this, QApplication::applicationDisplayName(), QString::fromUtf8("有新版本"));
        return;
    }
}

void MainWindow::toggleHeaderStrip()
{
    m_headerStripToggled = true;
    m_headerStrip->setFixedHeight(m_headerStrip->height() <= 50 ? 300 : 4);
}

void MainWindow::fitHeaderStrip()
{
    // 17 pixels, or as much as the caption needs in a taller font; the toggled heights stay.
    if (!m_headerStripToggled)
        m_headerStrip->setFixedHeight(std::max(17, m_headerStrip->fontMetrics().height() + 2 * m_headerStrip->frameWidth()));
}

void MainWindow::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange && m_headerStrip)
        fitHeaderStrip();
}

void MainWindow::setBrowserHeight(int height)
{
    const QList<int> sizes = m_splitter->sizes();
    const int total = sizes.value(0) + sizes.value(1);
    m_splitter->setSizes({total > height ? total - height : 1, height});
    m_advertView->resize(m_advertView->width(), height);
}

void MainWindow::keepAdvertAboveFloor()
{
    if (m_advertView->height() < kBrowserFloor)
        setBrowserHeight(kBrowserFloor);
}

void MainWindow::snapAdvertToFloor()
{
    if (m_advertView->height() < kBrowserSnap)
        setBrowserHeight(kBrowserFloor);
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if (type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick || type == QEvent::ContextMenu) {
        auto* widget = qobject_cast<QWidget*>(watched);
        const bool right = type == QEvent::ContextMenu || static_cast<QMouseEvent*>(event)->button() == Qt::RightButton;
        // The advertisement strip never gets a context menu.
        if (right && widget && (widget == m_advertView || m_advertView->isAncestorOf(widget)))
            return true;
        if (type == QEvent::MouseButtonPress && watched == m_headerStrip)
            toggleHeaderStrip();
        else if (type == QEvent::MouseButtonPress && watched == m_splitter->handle(1))
            keepAdvertAboveFloor();
    }
    return QWidget::eventFilter(watched, event);
}

void MainWindow::showAdvert()
{
    m_advert = std::make_unique<AdvertFetch>(advertUrl(), *m_dispatcher, [this](const std::string& page) {
        m_advertView->setHtml(fromGbk(page));
    });
}

} // namespace quill
