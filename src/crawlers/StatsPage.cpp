#include "crawlers/StatsPage.h"

#include "crawlers/StatsChartWidget.h"
#include "qt/QtGbk.h"
#include "qt/QtUiDispatcher.h"

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
    Button1 = new QPushButton(QString::fromUtf8("统计"), this);
    Button1->setObjectName(QStringLiteral("Button1"));
    Button5 = new QPushButton(QString::fromUtf8("停止"), this);
    Button5->setObjectName(QStringLiteral("Button5"));

    const auto& columns = statisticsListColumns();
    lv1 = new QTableWidget(0, kStatisticsListColumnCount, this);
    lv1->setObjectName(QStringLiteral("lv1"));
    QStringList captions;
    for (const StatisticsListColumn& column : columns)
        captions << fromGbk(column.caption);
    lv1->setHorizontalHeaderLabels(captions);
    lv1->setShowGrid(true);
    lv1->setSelectionBehavior(QAbstractItemView::SelectRows);
    lv1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lv1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lv1->setSortingEnabled(false);
    lv1->setWordWrap(false);
    lv1->verticalHeader()->hide();
    lv1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    lv1->verticalHeader()->setDefaultSectionSize(lv1->fontMetrics().height() + 4);
    QHeaderView* header = lv1->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setStretchLastSection(false);
    header->setHighlightSections(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    for (int column = 0; column < kStatisticsListColumnCount; ++column)
        header->resizeSection(column, columns[column].width);

    chart = new StatsChartWidget;
    chart->setObjectName(QStringLiteral("chart"));
    chartArea = new QScrollArea;
    chartArea->setWidget(chart);
    chartArea->setWidgetResizable(true); // fills the area; scrolls sideways once groups get too narrow
    chartArea->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);

    splitter = new QSplitter(Qt::Vertical, this);
    splitter->setChildrenCollapsible(false);
    splitter->addWidget(lv1);
    splitter->addWidget(chartArea);
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 1);

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Button1);
    buttons->addWidget(Button5);
    buttons->addStretch();
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(3);
    layout->addLayout(buttons);
    layout->addWidget(splitter, 1);

    if (!ui) {
        m_ownDispatcher = std::make_unique<QtUiDispatcher>(this);
        ui = m_ownDispatcher.get();
    }
    m_statistics = std::make_unique<CrawlerStatistics>(
        *ui, CrawlerStatsWorker::Handlers{[this](const CrawlerFileStats& row) { appendRow(row); },
                                          [this] { finished(); }});

    connect(Button1, &QPushButton::clicked, this, &StatsPage::Button1Click);
    connect(Button5, &QPushButton::clicked, this, &StatsPage::Button5Click);
}

StatsPage::~StatsPage()
{
    // D8: the worker is stopped and joined while the widgets its handlers fill still exist; rows
    // it posted but that have not run yet are dropped.
    m_statistics.reset();
}

void StatsPage::Button1Click()
{
    if (m_statistics->isCounting())
        return;
    Button1->setEnabled(false);
    lv1->setRowCount(0);
    chart->clear();
    // start() clears StatsStopRequested and hands the worker its own copy of the folder.
    m_statistics->start(toPath(m_logFolder()));
}

void StatsPage::Button5Click() { m_statistics->requestStop(); }

void StatsPage::appendRow(const CrawlerFileStats& row)
{
    const auto texts = statisticsRowTexts(row);
    const int at = lv1->rowCount();
    lv1->insertRow(at);
    for (int column = 0; column < kStatisticsListColumnCount; ++column) {
        // The name is a file-system name, shown as the log page's file box shows it.
        const QString text = column == 0 ? fromPath(texts[column]) : fromGbk(texts[column]);
        lv1->setItem(at, column, new QTableWidgetItem(text));
    }
    if (!row.counts)
        lv1->item(at, 0)->setToolTip(fromGbk(row.readError)); // why the count cells are empty
    chart->appendRow(fromPath(row.fileName), row.counts);
}

void StatsPage::finished() { Button1->setEnabled(true); }

} // namespace quill
