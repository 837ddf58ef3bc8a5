#include "gui/LedgerPage.h"

#include "gui/ColumnWidths.h"
#include "gui/CsvExportRunner.h"
#include "gui/ErrorBoxDialog.h"
#include "gui/LedgerTableModel.h"
#include "gui/QtGbk.h"
#include "gui/QtUiDispatcher.h"
#include "gui/StackedBarsWidget.h"
#include "gui/WidgetSetup.h"
#include "ledger/LedgerDays.h"
#include "ledger/LedgerTables.h"
#include "ledger/Sitemap.h"
#include "platform/CodePage.h"
#include "platform/FileSystem.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QFileDialog>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QSplitter>
#include <QTabWidget>
#include <QTableView>
#include <QTimer>
#include <QVBoxLayout>
#include <algorithm>
#include <map>

namespace quill {
namespace {

constexpr int kWidestFirstColumn = 420;

QDate dateOf(int day) { return QDate(day / 10000, day / 100 % 100, day % 100); }
int dayOf(const QDate& date) { return date.year() * 10000 + date.month() * 100 + date.day(); }

QString filesFilter() { return QString::fromUtf8("日志文件 (*.log *.gz *.zip);;所有文件 (*)"); }

} // namespace

// Everything one query reads, handed to the page in one piece.
struct LedgerPage::Views {
    std::optional<DateRange> span;
    std::vector<CrawlerColumn> crawlers;
    DaysView days; // the whole span, for the histogram
    std::shared_ptr<LedgerTable> status, hours, fakes;
    StatusView statusView;
    HoursView hoursView;
};

LedgerPage::LedgerPage(Options options, QWidget* parent)
    : QWidget(parent), m_options(std::move(options)),
      m_ownDispatcher(m_options.ui ? nullptr : std::make_unique<QtUiDispatcher>(this)),
      m_ui(m_options.ui ? m_options.ui : m_ownDispatcher.get()), m_queryWorker(m_ui), m_addWorker(m_ui),
      m_reportWorker(m_ui)
{
    if (!m_options.logFolder)
        m_options.logFolder = [] { return QString(); };
    if (!m_options.chooseLogs)
        m_options.chooseLogs = [](QWidget* owner, const QString& folder) {
            return QFileDialog::getOpenFileNames(owner, QString::fromUtf8("添加日志"), folder, filesFilter());
        };
    if (!m_options.chooseFolder)
        m_options.chooseFolder = [](QWidget* owner, const QString& folder) {
            return QFileDialog::getExistingDirectory(owner, QString::fromUtf8("添加目录"), folder);
        };
    if (!m_options.chooseCsvPath)
        m_options.chooseCsvPath = [](QWidget* owner, const QString& folder) { return chooseCsvFile(owner, folder); };
    if (!m_options.chooseReportPath)
        m_options.chooseReportPath = [](QWidget* owner, const QString& folder) {
            return QFileDialog::getSaveFileName(owner, QString::fromUtf8("生成报告"), folder,
                                                QString::fromUtf8("网页 (*.html)"));
        };
    if (!m_options.chooseSitemap)
        m_options.chooseSitemap = [](QWidget* owner, const QString& folder) {
            return QFileDialog::getOpenFileName(owner, QString::fromUtf8("网站地图"), folder,
                                                QString::fromUtf8("网站地图 (*.xml *.gz *.txt);;所有文件 (*)"));
        };
    buildControls();
    m_followedTimer = new QTimer(this);
    m_followedTimer->setSingleShot(true);
    m_followedTimer->setInterval(m_options.followedAddDelayMs);
    connect(m_followedTimer, &QTimer::timeout, this, &LedgerPage::addFollowedNow);
}

LedgerPage::~LedgerPage()
{
    // Controls going with the page still signal (a date box losing focus ends its editing).
    for (QObject* control : findChildren<QObject*>())
        control->disconnect(this);
    m_stopAdding = true;
    m_exportRunner->cancel();
    m_addWorker.stop();
    m_queryWorker.stop();
    m_reportWorker.stop();
}

void LedgerPage::buildControls()
{
    m_addLogsButton = makeButton(this, "addLogs", "添加日志…");
    m_addFolderButton = makeButton(this, "addFolder", "添加目录…");
    m_stopButton = makeButton(this, "stopAdding", "停止");
    m_stopButton->setEnabled(false);
    m_verifyBox = makeCheckBox(this, "verifyCrawlers", "验证蜘蛛", false);
    m_fromBox = named(new QDateEdit(this), "fromDate");
    m_toBox = named(new QDateEdit(this), "toDate");
    for (QDateEdit* box : {m_fromBox, m_toBox}) {
        box->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
        box->setCalendarPopup(true);
    }
    m_allDaysButton = makeButton(this, "allDays", "全部日期");
    m_crawlerBox = named(new QComboBox(this), "crawler");
    m_crawlerBox->addItem(QString::fromUtf8("全部蜘蛛"));
    m_crawlerBox->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    m_message = named(new QLabel(this), "message");
    m_message->setTextInteractionFlags(Qt::TextSelectableByMouse);
    m_exportButton = makeButton(this, "exportCsv", "导出CSV");
    m_exportRunner = new CsvExportRunner(this, m_options.exportRunner);
    m_reportButton = makeButton(this, "makeReport", "生成报告");

    m_histogram = named(new StackedBarsWidget(this), "histogram");
    m_histogram->setSelectable(true);
    m_histogram->setToolTip(QString::fromUtf8("拖动选择日期范围"));

    m_tabs = named(new QTabWidget(this), "views");
    m_searchBox = named(new QLineEdit, "search");
    m_searchBox->setPlaceholderText(QString::fromUtf8("搜索 URL"));
    m_searchBox->setClearButtonEnabled(true);
    m_tabs->addTab(listTab(m_urlView, m_urlModel, "urls", m_searchBox), QStringLiteral("URL"));
    m_tabs->addTab(listTab(m_dirView, m_dirModel, "dirs"), QString::fromUtf8("目录"));
    m_statusChart = named(new StackedBarsWidget, "statusChart");
    m_tabs->addTab(listTab(m_statusView, m_statusModel, "status", m_statusChart), QString::fromUtf8("状态"));
    m_hoursChart = named(new StackedBarsWidget, "hoursChart");
    m_tabs->addTab(listTab(m_hoursView, m_hoursModel, "hours", m_hoursChart), QString::fromUtf8("时段"));
    m_tabs->addTab(listTab(m_fakesView, m_fakesModel, "fakes"), QString::fromUtf8("伪装"));
    auto* sitemapRow = new QWidget;
    m_sitemapBox = named(new QLineEdit(sitemapRow), "sitemap");
    m_sitemapBox->setPlaceholderText(QString::fromUtf8("网站地图的地址或文件: http://www.example.com/sitemap.xml"));
    auto* browse = makeButton(sitemapRow, "browseSitemap", "浏览…");
    m_sitemapButton = makeButton(sitemapRow, "compareSitemap", "比较");
    auto* sitemapLayout = new QHBoxLayout(sitemapRow);
    sitemapLayout->setContentsMargins(0, 0, 0, 0);
    sitemapLayout->addWidget(m_sitemapBox, 1);
    sitemapLayout->addWidget(browse);
    sitemapLayout->addWidget(m_sitemapButton);
    m_tabs->addTab(listTab(m_uncrawledView, m_uncrawledModel, "uncrawled", sitemapRow), QString::fromUtf8("未抓取"));

    auto* splitter = named(new QSplitter(Qt::Vertical, this), "splitter");
    splitter->setChildrenCollapsible(false);
    splitter->addWidget(m_histogram);
    splitter->addWidget(m_tabs);
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 3);

    auto* top = new QHBoxLayout;
    top->addWidget(m_addLogsButton);
    top->addWidget(m_addFolderButton);
    top->addWidget(m_stopButton);
    top->addWidget(m_verifyBox);
    top->addSpacing(12);
    top->addWidget(new QLabel(QString::fromUtf8("从"), this));
    top->addWidget(m_fromBox);
    top->addWidget(new QLabel(QString::fromUtf8("到"), this));
    top->addWidget(m_toBox);
    top->addWidget(m_allDaysButton);
    top->addWidget(m_crawlerBox);
    top->addStretch(1);
    auto* bottom = new QHBoxLayout;
    bottom->addWidget(m_message, 1);
    bottom->addWidget(m_exportRunner->progressBar());
    bottom->addWidget(m_exportRunner->cancelButton());
    bottom->addWidget(m_exportButton);
    bottom->addWidget(m_reportButton);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(3);
    layout->addLayout(top);
    layout->addWidget(splitter, 1);
    layout->addLayout(bottom);

    connect(m_addLogsButton, &QPushButton::clicked, this, [this] {
        std::vector<std::string> paths;
        for (const QString& file : m_options.chooseLogs(this, m_options.logFolder()))
            paths.push_back(toPath(file));
        addPaths(std::move(paths));
    });
    connect(m_addFolderButton, &QPushButton::clicked, this, [this] {
        const QString folder = m_options.chooseFolder(this, m_options.logFolder());
        if (!folder.isEmpty())
            addPaths({toPath(folder)});
    });
    connect(m_stopButton, &QPushButton::clicked, this, [this] { m_stopAdding = true; });
    connect(m_fromBox, &QDateEdit::editingFinished, this, &LedgerPage::datesEdited);
    connect(m_toBox, &QDateEdit::editingFinished, this, &LedgerPage::datesEdited);
    connect(m_allDaysButton, &QPushButton::clicked, this, [this] { setRange({}); });
    connect(m_crawlerBox, &QComboBox::activated, this, &LedgerPage::crawlerChosen);
    connect(m_histogram, &StackedBarsWidget::selected, this, &LedgerPage::histogramSelected);
    connect(m_searchBox, &QLineEdit::textChanged, m_urlModel, &LedgerTableModel::narrow);
    connect(browse, &QPushButton::clicked, this, [this] {
        const QString file = m_options.chooseSitemap(this, m_options.logFolder());
        if (!file.isEmpty())
            m_sitemapBox->setText(file);
    });
    connect(m_sitemapButton, &QPushButton::clicked, this, &LedgerPage::compareWithSitemap);
    connect(m_sitemapBox, &QLineEdit::returnPressed, this, &LedgerPage::compareWithSitemap);
    connect(m_exportButton, &QPushButton::clicked, this, &LedgerPage::exportCsv);
    connect(m_reportButton, &QPushButton::clicked, this, &LedgerPage::makeReport);
}

QWidget* LedgerPage::listTab(QTableView*& view, LedgerTableModel*& model, const char* name, QWidget* above)
{
    auto* tab = new QWidget;
    view = named(new QTableView(tab), name);
    model = new LedgerTableModel(view);
    view->setModel(model);
    view->setSortingEnabled(true);
    view->setSelectionBehavior(QAbstractItemView::SelectRows);
    view->setWordWrap(false);
    view->verticalHeader()->hide();
    view->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    view->verticalHeader()->setDefaultSectionSize(view->fontMetrics().height() + 4);
    view->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    view->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    view->horizontalHeader()->setSortIndicator(-1, Qt::AscendingOrder);
    auto* layout = new QVBoxLayout(tab);
    layout->setContentsMargins(2, 2, 2, 2);
    if (above)
        layout->addWidget(above, above == m_statusChart || above == m_hoursChart ? 1 : 0);
    layout->addWidget(view, 2);
    return tab;
}

void LedgerPage::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (!m_shown) {
        m_shown = true;
        refresh(); // a page nobody looked at reads nothing
    }
}

void LedgerPage::setLedgerPath(std::string path)
{
    m_ledgerPath = std::move(path);
    m_range = {};
    m_crawler.reset();
    if (m_shown)
        refresh();
}

void LedgerPage::setVerifyCrawlers(bool verify) { m_verifyBox->setChecked(verify); }

void LedgerPage::setRange(DateRange range)
{
    m_range = range;
    refresh();
}

void LedgerPage::refresh()
{
    if (m_querying) {
        m_queryAgain = true; // once the running query is in
        return;
    }
    startQuery();
}

void LedgerPage::startQuery()
{
    m_querying = true;
    m_queryAgain = false;
    updateBusy();
    if (m_session->path != m_ledgerPath) {
        m_session = std::make_shared<Session>();
        m_session->path = m_ledgerPath;
    }
    const ViewFilter filter{m_range, m_crawler};
    m_queryWorker.start([this, session = m_session, filter](const std::atomic<bool>& stop, const Worker::Post& post) {
        auto fail = [&](const Status& why) {
            post([this, message = why.message()] {
                m_querying = false;
                for (LedgerTableModel* model : {m_urlModel, m_dirModel, m_statusModel, m_hoursModel, m_fakesModel})
                    model->setTable(nullptr);
                m_histogram->setBars({}, {}, {});
                m_message->setText(fromGbk(message));
                updateBusy();
            });
        };
        if (!session->views) {
            Result<std::unique_ptr<LedgerViews>> opened = LedgerViews::open(session->path, 2000);
            if (!opened.ok())
                return fail(opened.status());
            session->views = std::move(opened.value());
        }
        LedgerViews& ledger = *session->views;
        // The URL list first: it is what most people look at after a change of range.
        Result<UrlView> urls = ledger.urls(filter);
        if (!urls.ok())
            return fail(urls.status());
        UrlView dirView = directoriesOf(urls.value());
        std::shared_ptr<LedgerTable> urlList = urlTable(std::move(urls.value()), false);
        urlList->sortBy(0, false); // as the list starts; a click on a header sorts it again
        post([this, urlList] { showUrls(urlList); });
        std::shared_ptr<LedgerTable> dirs = urlTable(std::move(dirView), true);
        post([this, dirs] {
            m_dirModel->setTable(dirs);
            fitColumns(m_dirView);
        });
        if (stop.load())
            return;

        auto views = std::make_shared<Views>();
        Result<std::optional<DateRange>> span = ledger.span();
        Result<std::vector<CrawlerColumn>> crawlers = ledger.crawlers();
        Result<DaysView> days = ledger.days(ViewFilter{{}, filter.crawler});
        Result<StatusView> statuses = ledger.statuses(filter);
        Result<HoursView> hours = ledger.hours(filter);
        Result<FakesView> fakes = ledger.fakes(filter);
        for (const Status* status : {&span.status(), &crawlers.status(), &days.status(), &statuses.status(),
                                     &hours.status(), &fakes.status()})
            if (!status->ok())
                return fail(*status);
        views->span = span.value();
        views->crawlers = std::move(crawlers.value());
        views->days = std::move(days.value());
        views->statusView = statuses.value();
        views->hoursView = hours.value();
        views->status = statusTable(std::move(statuses.value()));
        views->hours = hoursTable(std::move(hours.value()));
        views->fakes = fakesTable(std::move(fakes.value()));
        post([this, views] { showViews(views); });
    });
}

void LedgerPage::showUrls(std::shared_ptr<LedgerTable> urls)
{
    m_urlCount = urls->rowCount(); // before the search box narrows them
    m_urlModel->setTable(std::move(urls));
    fitColumns(m_urlView);
}

void LedgerPage::showViews(std::shared_ptr<Views> views)
{
    m_querying = false;
    m_statusModel->setTable(views->status);
    m_hoursModel->setTable(views->hours);
    m_fakesModel->setTable(views->fakes);
    for (QTableView* view : {m_statusView, m_hoursView, m_fakesView})
        fitColumns(view);
    showHistogram(views->days);
    showStatusChart(views->statusView);
    showHoursChart(views->hoursView);

    // The crawler box lists every crawler of the ledger; the one chosen stays chosen.
    m_crawlerBox->clear();
    m_crawlerBox->addItem(QString::fromUtf8("全部蜘蛛"));
    for (const CrawlerColumn& crawler : views->crawlers) {
        m_crawlerBox->addItem(fromGbk(crawler.name), QVariant::fromValue(static_cast<qlonglong>(crawler.id)));
        if (m_crawler == crawler.id)
            m_crawlerBox->setCurrentIndex(m_crawlerBox->count() - 1);
    }
    const DateRange span = views->span.value_or(DateRange{});
    for (QDateEdit* box : {m_fromBox, m_toBox}) {
        const QSignalBlocker quiet(box);
        if (span.from != 0)
            box->setDateRange(dateOf(span.from), dateOf(span.to));
    }
    if (span.from != 0) {
        const QSignalBlocker quietFrom(m_fromBox), quietTo(m_toBox);
        m_fromBox->setDate(dateOf(m_range.from != 0 ? m_range.from : span.from));
        m_toBox->setDate(dateOf(m_range.to != 0 ? m_range.to : span.to));
    }
    m_message->setText(views->span ? QString::fromUtf8("%1 至 %2，共 %3 个URL")
                                         .arg(m_fromBox->date().toString(QStringLiteral("yyyy-MM-dd")),
                                              m_toBox->date().toString(QStringLiteral("yyyy-MM-dd")))
                                         .arg(m_urlCount)
                                   : QString::fromUtf8("抓取档案还是空的，请添加日志"));
    updateBusy();
    if (m_queryAgain)
        startQuery();
}

void LedgerPage::showHistogram(const DaysView& days)
{
    QStringList labels, series;
    std::vector<std::vector<std::int64_t>> values;
    m_histogramDays.clear();
    for (const CrawlerColumn& crawler : days.crawlers)
        series << fromGbk(crawler.name);
    for (const DayRow& row : days.rows) {
        m_histogramDays.push_back(row.day);
        labels << QString::fromStdString(dayText(row.day)).mid(5);
        values.push_back(row.hits);
    }
    m_histogram->setBars(labels, series, values);
    if (m_range.from == 0 && m_range.to == 0)
        return;
    int first = -1, last = -1;
    for (int i = 0; i < static_cast<int>(m_histogramDays.size()); ++i) {
        const int day = m_histogramDays[static_cast<size_t>(i)];
        if ((m_range.from == 0 || day >= m_range.from) && (m_range.to == 0 || day <= m_range.to)) {
            first = first < 0 ? i : first;
            last = i;
        }
    }
    // A range over every day shows as no selection.
    if (first >= 0 && (first > 0 || last + 1 < static_cast<int>(m_histogramDays.size())))
        m_histogram->setSelection(first, last);
}

void LedgerPage::showStatusChart(const StatusView& statuses)
{
    // Status classes per day, all crawlers shown together.
    std::map<int, std::vector<std::int64_t>> byDay;
    for (const StatusRow& row : statuses.rows) {
        if (row.day == 0)
            continue;
        auto& values = byDay[row.day];
        values.resize(kStatusClasses + 1, 0);
        std::int64_t classified = 0;
        for (int c = 0; c < kStatusClasses; ++c) {
            values[static_cast<size_t>(c)] += row.classHits[static_cast<size_t>(c)];
            classified += row.classHits[static_cast<size_t>(c)];
        }
        values[kStatusClasses] += row.hits - classified;
    }
    QStringList labels;
    std::vector<std::vector<std::int64_t>> values;
    for (auto& [day, counts] : byDay) {
        labels << QString::fromStdString(dayText(day)).mid(5);
        values.push_back(counts);
    }
    m_statusChart->setBars(labels,
                           {QStringLiteral("2xx"), QStringLiteral("3xx"), QStringLiteral("4xx"), QStringLiteral("5xx"),
                            QString::fromUtf8("其他")},
                           values);
}

void LedgerPage::showHoursChart(const HoursView& hours)
{
    QStringList labels, series;
    for (const CrawlerColumn& crawler : hours.crawlers)
        series << fromGbk(crawler.name);
    std::vector<std::vector<std::int64_t>> values;
    for (int hour = 0; hour < 24; ++hour) {
        labels << QString::number(hour);
        values.push_back(hours.hits[static_cast<size_t>(hour)]);
    }
    m_hoursChart->setBars(labels, series, values);
}

void LedgerPage::fitColumns(QTableView* view)
{
    QHeaderView* header = view->horizontalHeader();
    for (int column = 0; column < view->model()->columnCount(); ++column) {
        view->resizeColumnToContents(column); // measures the rows in sight only
        int width = std::max(captionWidth(header, column), view->columnWidth(column));
        if (column == 0)
            width = std::min(width, kWidestFirstColumn);
        header->resizeSection(column, width);
    }
}

void LedgerPage::histogramSelected(int first, int last)
{
    if (first < 0 || last >= static_cast<int>(m_histogramDays.size()))
        return;
    m_range = {m_histogramDays[static_cast<size_t>(first)], m_histogramDays[static_cast<size_t>(last)]};
    const QSignalBlocker quietFrom(m_fromBox), quietTo(m_toBox);
    m_fromBox->setDate(dateOf(m_range.from));
    m_toBox->setDate(dateOf(m_range.to));
    refresh();
}

void LedgerPage::datesEdited()
{
    DateRange range{dayOf(m_fromBox->date()), dayOf(m_toBox->date())};
    if (range.from > range.to)
        std::swap(range.from, range.to);
    if (range.from != m_range.from || range.to != m_range.to)
        setRange(range);
}

void LedgerPage::crawlerChosen()
{
    const QVariant id = m_crawlerBox->currentData();
    m_crawler = id.isValid() ? std::optional<std::int64_t>(id.toLongLong()) : std::nullopt;
    refresh();
}

void LedgerPage::addPaths(std::vector<std::string> paths)
{
    if (paths.empty() || m_adding)
        return;
    startAdd(std::move(paths), false);
}

void LedgerPage::addFollowed(const std::string& path)
{
    if (std::find(m_followedPaths.begin(), m_followedPaths.end(), path) == m_followedPaths.end())
        m_followedPaths.push_back(path);
    if (!m_adding && !m_followedTimer->isActive())
        m_followedTimer->start();
}

void LedgerPage::addFollowedNow()
{
    if (m_adding || m_followedPaths.empty())
        return; // the add that runs starts the timer again when it ends
    startAdd(std::exchange(m_followedPaths, {}), true);
}

void LedgerPage::startAdd(std::vector<std::string> paths, bool followed)
{
    m_adding = true;
    m_addingFollowed = followed;
    m_stopAdding = false;
    updateBusy();
    if (!followed)
        m_message->setText(QString::fromUtf8("正在添加…"));
    AddOptions options;
    options.verify = m_verifyBox->isChecked();
    options.verifier = m_options.verifier.value_or(VerifierOptions{});
    if (!m_options.verifier)
        options.verifier.dns = dnsOptionsFromEnvironment();
    options.verdictCachePath = m_verdictCachePath;
    m_addWorker.start([this, path = m_ledgerPath, paths = std::move(paths), options, lists = m_addressListsPath,
                       followed](const std::atomic<bool>&, const Worker::Post& post) mutable {
        if (followed && !fileSize(path)) {
            post([this] { addFinished({}, 0, 0); }); // no ledger in use: none is made for a followed log
            return;
        }
        if (options.verify && !lists.empty())
            options.verifier.lists = std::make_shared<const AddressLists>(readAddressListsFile(lists));
        size_t files = 0;
        std::uint64_t lines = 0;
        Result<std::unique_ptr<Ledger>> ledger = Ledger::open(path);
        if (!ledger.ok()) {
            post([this, why = ledger.status()] { addFinished(why, 0, 0); });
            return;
        }
        // "停止" and the page's end both set m_stopAdding; the add ends within the file it reads.
        const Status outcome = addLogs(*ledger.value(), paths, options, m_stopAdding, [&](const AddedFile& file) {
            ++files;
            lines += file.lines;
            if (followed && file.lines == 0 && file.outcome != AddOutcome::Failed)
                return; // nothing to tell every few seconds
            const size_t slash = file.path.rfind('/');
            const std::string name = slash == std::string::npos ? file.path : file.path.substr(slash + 1);
            post([this, text = (followed ? QString::fromUtf8("跟踪 ") : QString()) + fromPath(name) +
                                QStringLiteral(": ") + fromGbk(addedFileText(file))] {
                m_message->setText(text);
            });
        });
        post([this, outcome, files, lines] { addFinished(outcome, files, lines); });
    });
}

void LedgerPage::addFinished(const Status& outcome, size_t files, std::uint64_t lines)
{
    m_adding = false;
    updateBusy();
    if (!m_followedPaths.empty())
        m_followedTimer->start();
    if (m_addingFollowed) {
        // Said on the page, never in a box that would come back every few seconds.
        if (!outcome.ok())
            m_message->setText(QString::fromUtf8("跟踪的日志没有加入抓取档案: ") + fromGbk(outcome.message()));
        if (lines > 0)
            refresh();
        return;
    }
    if (!outcome.ok()) {
        m_message->setText(fromGbk(outcome.message()));
        showErrorBox(this, outcome.message());
    } else {
        m_message->setText(QString::fromUtf8("添加完成: %1 个文件，新增 %2 行").arg(files).arg(lines));
    }
    refresh();
}

void LedgerPage::compareWithSitemap()
{
    const QString where = m_sitemapBox->text().trimmed();
    if (where.isEmpty() || m_querying)
        return;
    m_querying = true;
    updateBusy();
    m_message->setText(QString::fromUtf8("正在读取网站地图…"));
    const ViewFilter filter{m_range, m_crawler};
    m_queryWorker.start([this, session = m_session, filter, where = toPath(where)](const std::atomic<bool>& stop,
                                                                                  const Worker::Post& post) {
        SitemapOptions options;
        options.stop = &stop;
        Result<Sitemap> sitemap = loadSitemap(where, options);
        Result<UrlView> urls = Status::failure(gbk("抓取档案还是空的，请添加日志"));
        if (sitemap.ok() && !session->views) {
            Result<std::unique_ptr<LedgerViews>> opened = LedgerViews::open(session->path, 2000);
            if (opened.ok())
                session->views = std::move(opened.value());
            else
                urls = opened.status();
        }
        if (sitemap.ok() && session->views)
            urls = session->views->urls(filter);
        std::shared_ptr<LedgerTable> table;
        std::string message;
        if (!sitemap.ok() || !urls.ok()) {
            message = !sitemap.ok() ? sitemap.status().message() : urls.status().message();
        } else {
            const SitemapComparison comparison = compareSitemap(sitemap.value(), urls.value());
            std::vector<std::vector<std::string>> rows;
            for (const std::string& url : comparison.uncrawled)
                rows.push_back({gbk("未被抓取"), url});
            for (const std::string& path : comparison.notInSitemap)
                rows.push_back({gbk("不在网站地图中"), displayPath(path)});
            table = textTable({gbk("类别"), "URL"}, std::move(rows));
            message = gbk("网站地图 ") + std::to_string(sitemap.value().urls.size()) + gbk(" 个URL: 未被抓取 ") +
                      std::to_string(comparison.uncrawled.size()) + gbk(" 个，不在网站地图中 ") +
                      std::to_string(comparison.notInSitemap.size()) + gbk(" 个");
            for (const std::string& note : sitemap.value().notes)
                message += gbk("；") + note;
        }
        post([this, table, message] {
            m_querying = false;
            if (table) {
                m_uncrawledModel->setTable(table);
                fitColumns(m_uncrawledView);
            }
            m_message->setText(fromGbk(message));
            updateBusy();
            if (m_queryAgain)
                startQuery();
        });
    });
}

void LedgerPage::exportCsv()
{
    auto* view = m_tabs->currentWidget()->findChild<QTableView*>();
    auto* model = view ? static_cast<LedgerTableModel*>(view->model()) : nullptr;
    if (!model || !model->table() || m_exportRunner->isRunning())
        return;
    const QString path = m_options.chooseCsvPath(this, m_options.logFolder());
    if (path.isEmpty())
        return;
    // The list keeps its rows and order until the export has read them.
    m_tabs->setEnabled(false);
    m_exportButton->setEnabled(false);
    std::shared_ptr<LedgerTable> table = model->table();
    m_exportRunner->start(ledgerCsv(*table, m_csvCells), toPath(path), [this, table](const Status& outcome) {
        m_tabs->setEnabled(true);
        m_exportButton->setEnabled(true);
        if (!outcome.ok() && outcome.message() != kCancelledMessage)
            showErrorBox(this, outcome.message());
    });
}

void LedgerPage::updateBusy()
{
    const bool busy = m_adding || m_querying || m_reporting;
    m_addLogsButton->setEnabled(!m_adding);
    m_addFolderButton->setEnabled(!m_adding);
    m_verifyBox->setEnabled(!m_adding);
    m_stopButton->setEnabled(m_adding);
    m_sitemapButton->setEnabled(!m_querying);
    m_reportButton->setEnabled(!m_reporting);
    if (busy)
        setCursor(Qt::BusyCursor);
    else
        unsetCursor();
}

} // namespace quill
