#include "gui/StatsPage.h"

#include "crawlers/StatisticsCsv.h"
#include "gui/StatsChartWidget.h"
#include "logsource/LogPathCheck.h"
#include "gui/ColumnWidths.h"
#include "gui/CsvExportRunner.h"
#include "gui/ErrorBoxDialog.h"
#include "gui/QtGbk.h"
#include "gui/QtUiDispatcher.h"
#include "gui/WidgetSetup.h"

#include <QTextDocument>
#include "verify/VerifiedStatsWorker.h"
#include "logs/RegistryVisits.h"

#include <QCheckBox>
#include <algorithm>
#include <QComboBox>
#include <QSpinBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>

namespace quill {

StatsPage::StatsPage(Options options, QWidget* parent) : QWidget(parent), m_options(std::move(options))
{
    m_countButton = makeButton(this, "Button1", "统计");
    m_stopButton = makeButton(this, "Button5", "停止");
    m_onlyVerifiedBox = makeCheckBox(this, "CheckBoxVerified", "只计已验证", false);
    m_viewBox = named(new QComboBox(this), "cbbView");
    m_viewBox->addItems({QStringLiteral("七列"), QStringLiteral("全部蜘蛛 · 按类别"), QStringLiteral("全部蜘蛛 · 按蜘蛛")});
    m_topBox = named(new QSpinBox(this), "spnTop");
    m_topBox->setRange(1, 50);
    m_topBox->setValue(10);
    m_topBox->setPrefix(QStringLiteral("前 "));
    m_topBox->setEnabled(false);
    m_messageLabel = named(makePlainLabel(this), "message");
    m_exportButton = makeButton(this, "exportCsv", "导出CSV");
    m_exportRunner = new CsvExportRunner(this, m_options.exportRunner);

    const auto& columns = statisticsListColumns();
    m_statsList = named(new QTableWidget(0, kStatisticsListColumnCount, this), "lv1");
    QStringList captions;
    for (const StatisticsListColumn& column : columns)
        captions << fromGbk(column.caption);
    m_statsList->setHorizontalHeaderLabels(captions);
    m_statsList->setShowGrid(true);
    m_statsList->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_statsList->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_statsList->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_statsList->setSortingEnabled(false);
    m_statsList->setWordWrap(false);
    m_statsList->verticalHeader()->hide();
    m_statsList->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_statsList->verticalHeader()->setDefaultSectionSize(m_statsList->fontMetrics().height() + 4);
    QHeaderView* header = m_statsList->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setStretchLastSection(false);
    header->setHighlightSections(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    std::vector<int> described;
    for (const StatisticsListColumn& column : columns)
        described.push_back(column.width);
    m_columnWidths = new ColumnWidths(header, std::move(described));
    fitColumnsToFont();

    m_chart = named(new StatsChartWidget, "chart");
    m_chartArea = named(new QScrollArea, "chartArea");
    m_chartArea->setWidget(m_chart);
    m_chartArea->setWidgetResizable(true); // fills the area; scrolls sideways once groups get too narrow
    m_chartArea->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    m_splitter = named(new QSplitter(Qt::Vertical, this), "splitter");
    m_splitter->setChildrenCollapsible(false);
    m_splitter->addWidget(m_statsList);
    m_splitter->addWidget(m_chartArea);
    m_splitter->setStretchFactor(0, 1);
    m_splitter->setStretchFactor(1, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_countButton);
    buttons->addWidget(m_stopButton);
    buttons->addSpacing(12);
    buttons->addWidget(m_onlyVerifiedBox);
    buttons->addSpacing(12);
    buttons->addWidget(m_viewBox);
    buttons->addWidget(m_topBox);
    buttons->addWidget(m_messageLabel, 1);
    buttons->addWidget(m_exportRunner->progressBar());
    buttons->addWidget(m_exportRunner->cancelButton());
    buttons->addWidget(m_exportButton);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(3);
    layout->addLayout(buttons);
    layout->addWidget(m_splitter, 1);

    if (!m_options.ui) {
        m_ownDispatcher = std::make_unique<QtUiDispatcher>(this);
        m_options.ui = m_ownDispatcher.get();
    }
    m_statistics = std::make_unique<CrawlerStatistics>(
        *m_options.ui, CrawlerStatsWorker::Handlers{[this](const CrawlerFileStats& row) { appendRow(row); },
                                          [this] { finished(); }});

    connect(m_countButton, &QPushButton::clicked, this, &StatsPage::startCounting);
    connect(m_stopButton, &QPushButton::clicked, this, &StatsPage::stopCounting);
    connect(m_exportButton, &QPushButton::clicked, this, &StatsPage::exportCsv);
    connect(m_viewBox, &QComboBox::currentIndexChanged, this, [this] {
        m_topBox->setEnabled(view() == View::RegistryTop);
        m_onlyVerifiedBox->setEnabled(view() == View::Described); // the check counts the seven columns
        showRows();
    });
    connect(m_topBox, &QSpinBox::valueChanged, this, [this] {
        if (view() == View::RegistryTop)
            showRows();
    });
}

StatsPage::View StatsPage::view() const { return static_cast<View>(m_viewBox->currentIndex()); }

void StatsPage::setView(View view) { m_viewBox->setCurrentIndex(static_cast<int>(view)); }

void StatsPage::setTopCount(int count) { m_topBox->setValue(count); }

std::vector<RegistryColumn> StatsPage::registryColumnsNow() const
{
    const RegistryView shown = view() == View::RegistryGroups ? RegistryView::Groups : RegistryView::Crawlers;
    return registryColumns(shown, m_registryRows, static_cast<size_t>(m_topBox->value()), allCrawlers());
}

void StatsPage::showRows()
{
    if (isCounting())
        return; // the run in progress fills the list for the view it started with
    m_statsList->setRowCount(0);
    QStringList captions;
    if (view() == View::Described) {
        showDescribedCaptions();
        m_chart->setSeries({});
        const std::vector<CrawlerFileStats> rows = std::move(m_rows);
        const std::vector<VerifiedFileStats> verifiedRows = std::move(m_verifiedRows);
        m_rows.clear();
        m_verifiedRows.clear();
        for (const CrawlerFileStats& row : rows)
            appendRow(row);
        for (const VerifiedFileStats& row : verifiedRows)
            appendVerifiedRows(row);
        return;
    }
    m_registryColumns = registryColumnsNow();
    for (const std::string& caption : registryCaptions(m_registryColumns))
        captions << fromGbk(caption);
    m_statsList->setColumnCount(captions.size());
    m_statsList->setHorizontalHeaderLabels(captions);
    m_chart->setSeries(captions.mid(2));
    for (const RegistryFileStats& row : m_registryRows) {
        addTableRow(registryRowTexts(row, m_registryColumns), row.read);
        m_chart->appendCounts(fromPath(row.fileName), row.counts ? std::optional(registryRowCounts(row, m_registryColumns))
                                                                 : std::nullopt);
    }
}

void StatsPage::showDescribedCaptions()
{
    QStringList captions;
    if (m_showsVerified)
        for (const StatisticsListColumn& column : verifiedListColumns())
            captions << fromGbk(column.caption);
    else
        for (const StatisticsListColumn& column : statisticsListColumns())
            captions << fromGbk(column.caption);
    m_statsList->setColumnCount(captions.size());
    m_statsList->setHorizontalHeaderLabels(captions);
}

void StatsPage::fitColumnsToFont()
{
    m_columnWidths->fit();
    m_statsList->verticalHeader()->setDefaultSectionSize(m_statsList->fontMetrics().height() + 4);
    for (int row = 0; row < m_statsList->rowCount(); ++row)
        for (int column : {0, 1})
            m_columnWidths->widenToShow(column, m_statsList->item(row, column)->text());
}

void StatsPage::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        fitColumnsToFont();
}

StatsPage::~StatsPage()
{
    // The worker is stopped and joined while the widgets its handlers fill still exist; rows
    // it posted but that have not run yet are dropped.
    m_verifiedWorker.reset();
    m_registryWorker.reset();
    m_statistics.reset();
}

void StatsPage::setOnlyVerified(bool onlyVerified) { m_onlyVerifiedBox->setChecked(onlyVerified); }

bool StatsPage::onlyVerified() const { return m_onlyVerifiedBox->isChecked(); }

void StatsPage::startCounting()
{
    if (isCounting() || m_exportRunner->isRunning())
        return;
    const QString folder = m_options.logFolder();
    const LogPathProblem problem = checkLogFolder(toPath(folder));
    m_messageLabel->setText(problem == LogPathProblem::None ? QString()
                                                            : fromGbk(logPathProblemText(problem)) + folder);
    if (view() != View::Described) {
        m_registryRows.clear();
        showRows(); // the captions of an empty run
        m_countButton->setEnabled(false);
        m_exportButton->setEnabled(false);
        m_viewBox->setEnabled(false);
        m_registryWorker.reset();
        m_registryStopRequested = false;
        m_registryCounting = true;
        m_registryWorker = std::make_unique<RegistryStatsWorker>(
            toPath(folder), m_registryStopRequested, *m_options.ui,
            RegistryStatsWorker::Handlers{[this](const RegistryFileStats& row) { appendRegistryRow(row); },
                                          [this] { finished(); }});
        return;
    }
    m_rows.clear();
    m_verifiedRows.clear();
    m_showsVerified = m_onlyVerifiedBox->isChecked();
    showRows();
    m_countButton->setEnabled(false);
    m_exportButton->setEnabled(false);
    m_viewBox->setEnabled(false);
    if (m_onlyVerifiedBox->isChecked()) {
        m_verifiedWorker.reset();
        m_verifiedStopRequested = false;
        m_verifiedCounting = true;
        VerifierOptions options = m_options.verifier.value_or(VerifierOptions{});
        if (!m_options.verifier)
            options.dns = dnsOptionsFromEnvironment();
        if (!options.lists)
            options.lists = std::make_shared<const AddressLists>(readAddressListsFile(m_addressListsPath));
        m_verifiedWorker = std::make_unique<VerifiedStatsWorker>(
            toPath(folder), m_verifiedStopRequested, std::move(options), m_verdictCachePath, *m_options.ui,
            VerifiedStatsWorker::Handlers{
                [this](const VerifiedFileStats& row) { appendVerifiedRows(row); },
                [this](const VerifiedStatsProgress& progress) {
                    m_messageLabel->setText(fromGbk(verifiedStatsProgressText(progress)));
                },
                [this](const std::string& notice) {
                    m_messageLabel->clear(); // the progress
                    finished(fromGbk(notice));
                }});
        return;
    }
    // start() clears the stop request and hands the worker its own copy of the folder.
    m_statistics->start(toPath(folder));
}

void StatsPage::stopCounting()
{
    m_statistics->requestStop();
    m_verifiedStopRequested = true;
    m_registryStopRequested = true;
}

void StatsPage::appendRegistryRow(const RegistryFileStats& row)
{
    m_registryRows.push_back(row);
    const std::vector<RegistryColumn> columns = registryColumnsNow();
    const bool sameColumns = std::equal(columns.begin(), columns.end(), m_registryColumns.begin(), m_registryColumns.end(),
                                        [](const RegistryColumn& a, const RegistryColumn& b) {
                                            return a.caption == b.caption && a.members == b.members;
                                        });
    if (!sameColumns) {
        // The busiest crawlers changed with this file: the whole list follows the new columns.
        m_registryCounting = false;
        showRows();
        m_registryCounting = true;
        return;
    }
    addTableRow(registryRowTexts(row, m_registryColumns), row.read);
    m_chart->appendCounts(fromPath(row.fileName), row.counts ? std::optional(registryRowCounts(row, m_registryColumns))
                                                             : std::nullopt);
}

void StatsPage::appendVerifiedRows(const VerifiedFileStats& row)
{
    // One row per group; the group's word stands in its own column.
    for (VerifiedGroup group : kVerifiedGroups)
        addTableRow(verifiedListRowTexts(row, group), row.read);
    m_verifiedRows.push_back(row);
    const QString name = fromPath(row.fileName);
    const auto counts = [&row](VerifiedGroup group) {
        return row.counts ? std::optional(groupCounts(*row.counts, group)) : std::nullopt;
    };
    m_chart->appendRow(name, counts(VerifiedGroup::Verified));
    m_chart->appendRow(name, counts(VerifiedGroup::Fake), true);
}

void StatsPage::appendRow(const CrawlerFileStats& row)
{
    const auto texts = statisticsRowTexts(row);
    addTableRow(std::vector<std::string>(texts.begin(), texts.end()), row.read);
    m_rows.push_back(row);
    m_chart->appendRow(fromPath(row.fileName), row.counts);
}

void StatsPage::addTableRow(const std::vector<std::string>& texts, const Status& read)
{
    const int at = m_statsList->rowCount();
    m_statsList->insertRow(at);
    for (int column = 0; column < static_cast<int>(texts.size()); ++column) {
        // The name is a file-system name, shown as the log page's file box shows it.
        const auto& text = texts[static_cast<size_t>(column)];
        m_statsList->setItem(at, column, new QTableWidgetItem(column == 0 ? fromPath(text) : fromGbk(text)));
    }
    if (!read)
        m_statsList->item(at, 0)->setToolTip(Qt::convertFromPlainText(fromGbk(read.message()))); // why the count cells are empty
    // Names and sizes show whole; the count columns keep their widths.
    for (int column : {0, 1})
        m_columnWidths->widenToShow(column, m_statsList->item(at, column)->text());
}

void StatsPage::finished(const QString& notice)
{
    m_verifiedCounting = false;
    m_registryCounting = false;
    m_viewBox->setEnabled(true);
    m_countButton->setEnabled(true);
    m_exportButton->setEnabled(true);
    if (!notice.isEmpty())
        m_messageLabel->setText(notice);
    const bool none = view() == View::Described ? m_rows.empty() && m_verifiedRows.empty() : m_registryRows.empty();
    if (none && m_messageLabel->text().isEmpty())
        m_messageLabel->setText(QStringLiteral("日志目录中没有日志文件"));
}

void StatsPage::exportCsv()
{
    if (isCounting() || m_exportRunner->isRunning())
        return;
    const QString chosen = m_options.chooseCsvPath(this, m_options.logFolder());
    if (chosen.isEmpty())
        return;
    const std::string path = withCsvExtension(toPath(chosen));
    m_countButton->setEnabled(false);
    m_exportButton->setEnabled(false);
    // The verified rows export as `stats --csv --verify` prints them: one line per file.
    CsvTable table = view() != View::Described ? registryStatisticsCsv(m_registryRows, m_registryColumns, m_csvCells)
                     : m_showsVerified         ? verifiedStatisticsCsv(m_verifiedRows, m_csvCells)
                                               : statisticsCsv(m_rows, m_csvCells);
    const size_t rows = table.rows;
    m_exportRunner->start(std::move(table), path, [this, rows, path](const Status& outcome) {
        m_countButton->setEnabled(true);
        m_exportButton->setEnabled(true);
        if (outcome.ok())
            m_messageLabel->setText(csvWrittenText(rows, path));
        else if (outcome.message() != kCancelledMessage)
            showErrorBox(this, outcome.message());
    });
}

} // namespace quill
