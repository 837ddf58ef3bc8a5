#include "crawlers/StatsPage.h"

#include "crawlers/StatsChartWidget.h"
#include "qt/QtGbk.h"
#include "qt/QtUiDispatcher.h"
#include "qt/WidgetSetup.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QScrollArea>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>

namespace quill {

StatsPage::StatsPage(std::function<QString()> logFolder, QWidget* parent, UiDispatcher* ui)
    : QWidget(parent), m_logFolder(std::move(logFolder))
{
    m_countButton = makeButton(this, "Button1", "统计");
    m_stopButton = makeButton(this, "Button5", "停止");

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
    for (int column = 0; column < kStatisticsListColumnCount; ++column)
        header->resizeSection(column, columns[column].width);

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
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(3);
    layout->addLayout(buttons);
    layout->addWidget(m_splitter, 1);

    if (!ui) {
        m_ownDispatcher = std::make_unique<QtUiDispatcher>(this);
        ui = m_ownDispatcher.get();
    }
    m_statistics = std::make_unique<CrawlerStatistics>(
        *ui, CrawlerStatsWorker::Handlers{[this](const CrawlerFileStats& row) { appendRow(row); },
                                          [this] { finished(); }});

    connect(m_countButton, &QPushButton::clicked, this, &StatsPage::startCounting);
    connect(m_stopButton, &QPushButton::clicked, this, &StatsPage::stopCounting);
}

StatsPage::~StatsPage()
{
    // The worker is stopped and joined while the widgets its handlers fill still exist; rows
    // it posted but that have not run yet are dropped.
    m_statistics.reset();
}

void StatsPage::startCounting()
{
    if (m_statistics->isCounting())
        return;
    m_countButton->setEnabled(false);
    m_statsList->setRowCount(0);
    m_chart->clear();
    // start() clears StatsStopRequested and hands the worker its own copy of the folder.
    m_statistics->start(toPath(m_logFolder()));
}

void StatsPage::stopCounting() { m_statistics->requestStop(); }

void StatsPage::appendRow(const CrawlerFileStats& row)
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
        m_statsList->item(at, 0)->setToolTip(fromGbk(row.readError)); // why the count cells are empty
    m_chart->appendRow(fromPath(row.fileName), row.counts);
}

void StatsPage::finished() { m_countButton->setEnabled(true); }

} // namespace quill
