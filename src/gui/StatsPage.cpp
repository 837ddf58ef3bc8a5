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
#include "verify/Verdict.h"
#include "verify/VerifiedStatsWorker.h"

#include <QCheckBox>
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
    m_messageLabel = named(new QLabel(this), "message");
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
    m_statistics.reset();
}

void StatsPage::setOnlyVerified(bool onlyVerified) { m_onlyVerifiedBox->setChecked(onlyVerified); }

bool StatsPage::onlyVerified() const { return m_onlyVerifiedBox->isChecked(); }

void StatsPage::startCounting()
{
    if (isCounting() || m_exportRunner->isRunning())
        return;
    m_countButton->setEnabled(false);
    m_exportButton->setEnabled(false);
    m_statsList->setRowCount(0);
    m_rows.clear();
    m_chart->clear();
    const QString folder = m_options.logFolder();
    const LogPathProblem problem = checkLogFolder(toPath(folder));
    m_messageLabel->setText(problem == LogPathProblem::None ? QString()
                                                            : fromGbk(logPathProblemText(problem)) + folder);
    if (m_onlyVerifiedBox->isChecked()) {
        m_verifiedWorker.reset();
        m_verifiedStopRequested = false;
        m_verifiedCounting = true;
        VerifierOptions options = m_options.verifier.value_or(VerifierOptions{});
        if (!m_options.verifier)
            options.dns = dnsOptionsFromEnvironment();
        m_verifiedWorker = std::make_unique<VerifiedStatsWorker>(
            toPath(folder), m_verifiedStopRequested, std::move(options), m_verdictCachePath, *m_options.ui,
            VerifiedStatsWorker::Handlers{
                [this](const CrawlerFileStats& verified, const CrawlerFileStats& fakes) {
                    appendVerifiedRows(verified, fakes);
                },
                [this] { finished(); }});
        return;
    }
    // start() clears the stop request and hands the worker its own copy of the folder.
    m_statistics->start(toPath(folder));
}

void StatsPage::stopCounting()
{
    m_statistics->requestStop();
    m_verifiedStopRequested = true;
}

void StatsPage::appendVerifiedRows(const CrawlerFileStats& verified, const CrawlerFileStats& fakes)
{
    appendRow(verified);
    // The second row of a file holds its fakes; its size cell says so.
    CrawlerFileStats fakesRow = fakes;
    fakesRow.sizeText = verdictText(Verdict::Fake);
    appendRow(fakesRow, true);
}

void StatsPage::appendRow(const CrawlerFileStats& row, bool fakes)
{
    const auto texts = statisticsRowTexts(row);
    const int at = m_statsList->rowCount();
    m_statsList->insertRow(at);
    for (int column = 0; column < kStatisticsListColumnCount; ++column) {
        // The name is a file-system name, shown as the log page's file box shows it.
        const QString text = column == 0 ? fromPath(texts[column]) : fromGbk(texts[column]);
        m_statsList->setItem(at, column, new QTableWidgetItem(text));
    }
    if (!row.counts)
        m_statsList->item(at, 0)->setToolTip(fromGbk(row.read.message())); // why the count cells are empty
    // Names and sizes show whole; the count columns keep their widths.
    for (int column : {0, 1})
        m_columnWidths->widenToShow(column, m_statsList->item(at, column)->text());
    m_rows.push_back(row);
    m_chart->appendRow(fromPath(row.fileName), row.counts, fakes);
}

void StatsPage::finished()
{
    m_verifiedCounting = false;
    m_countButton->setEnabled(true);
    m_exportButton->setEnabled(true);
    if (m_rows.empty() && m_messageLabel->text().isEmpty())
        m_messageLabel->setText(QStringLiteral("日志目录中没有日志文件"));
}

void StatsPage::exportCsv()
{
    if (isCounting() || m_exportRunner->isRunning())
        return;
    const QString path = m_options.chooseCsvPath(this, m_options.logFolder());
    if (path.isEmpty())
        return;
    m_countButton->setEnabled(false);
    m_exportButton->setEnabled(false);
    m_exportRunner->start(statisticsCsv(m_rows), toPath(path), [this](const Status& outcome) {
        m_countButton->setEnabled(true);
        m_exportButton->setEnabled(true);
        if (!outcome.ok() && outcome.message() != kCancelledMessage)
            showErrorBox(this, outcome.message());
    });
}

} // namespace quill
