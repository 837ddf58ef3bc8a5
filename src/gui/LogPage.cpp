#include "gui/LogPage.h"

#include "gui/LogRecordModel.h"
#include "logs/RecordsCsv.h"
#include "logs/RowTexts.h"
#include "logsource/ByteSource.h"
#include "platform/FileSystem.h"
#include "logsource/LogPathCheck.h"
#include "gui/BusyCursor.h"
#include "gui/ColourBoxWidget.h"
#include "gui/ColumnWidths.h"
#include "gui/ErrorBoxDialog.h"
#include "gui/QtGbk.h"
#include "gui/QtUiDispatcher.h"
#include "gui/RecordListCopy.h"
#include "gui/WidgetSetup.h"
#include "verify/UncheckedNotice.h"
#include "verify/VerificationWorker.h"
#include "webtools/IpLookup.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QProgressBar>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace quill {

LogPage::LogPage(LogAnalysis& analysis, Options options, QWidget* parent)
    : QWidget(parent), m_analysis(analysis), m_options(std::move(options)),
      m_dispatcher(std::make_unique<QtUiDispatcher>(this)), m_ipLookup(m_dispatcher.get())
{
    const FilterSnapshot design;
    m_baiduBox = makeCheckBox(this, "CheckBox4", "百度", design.baidu);
    m_googleBox = makeCheckBox(this, "CheckBox5", "google", design.google);
    m_sosoBox = makeCheckBox(this, "CheckBox6", "SOSO", design.soso);
    m_yahooBox = makeCheckBox(this, "CheckBox7", "雅虎", design.yahoo);
    m_sogouBox = makeCheckBox(this, "CheckBox8", "搜狗", design.sogou);
    m_msnBox = makeCheckBox(this, "CheckBox9", "MSN", design.msn);
    m_youdaoBox = makeCheckBox(this, "CheckBox10", "有道", design.youdao);
    m_spidersBox = makeCheckBox(this, "CheckBox3", "蜘蛛", design.spiders);
    m_aiSpidersBox = makeCheckBox(this, "CheckBoxAi", "AI 蜘蛛", false);
    m_aiSpidersBox->setToolTip(QStringLiteral("只留 AI 训练、AI 搜索和 AI 代取蜘蛛的访问"));
    m_imagesBox = makeCheckBox(this, "CheckBox1", "过滤图片", design.images);
    m_audioBox = makeCheckBox(this, "CheckBox17", "过滤音频", design.audio);
    m_noSpidersBox = makeCheckBox(this, "CheckBox32", "过滤蜘蛛", design.noSpiders);
    m_status200Box = makeCheckBox(this, "CheckBox2", "过滤200", design.status200);
    m_ownXmlHttpBox = makeCheckBox(this, "CheckBox31", "过滤本站XMLhttp", design.ownXmlHttp);
    m_verifyBox = makeCheckBox(this, "CheckBoxVerify", "验证蜘蛛", false);
    m_onlyFakesBox = makeCheckBox(this, "CheckBoxFakes", "只看伪装", false);
    m_onlyFakesBox->setEnabled(false);
    m_followBox = makeCheckBox(this, "CheckBoxFollow", "跟踪", false);
    m_followBox->setToolTip(QStringLiteral("日志文件新写入的记录随时加入列表"));
    m_verifyProgressLabel = named(makePlainLabel(this), "LabelVerify");
    m_cancelVerifyButton = makeButton(this, "ButtonCancelVerify", "取消");
    m_cancelVerifyButton->hide();

    m_logFileBox = named(new QComboBox(this), "cbb1");
    m_logFileBox->setEditable(true);
    m_logFileBox->setInsertPolicy(QComboBox::NoInsert);
    m_logFileBox->setMinimumWidth(180);
    m_logFileBox->lineEdit()->setPlaceholderText(QStringLiteral("日志文件名"));
    m_reloadButton = makeButton(this, "Button2", "刷新日志");
    m_searchBox = named(new QLineEdit(this), "Edit2");
    m_searchBox->setMaximumWidth(180);
    m_searchBox->setPlaceholderText(QStringLiteral("搜索, 回车刷新"));
    m_searchBox->setClearButtonEnabled(true);
    m_searchEncodedBox = makeCheckBox(this, "CheckBoxEncoded", "含URL编码", true);
    m_searchEncodedBox->setToolTip(QStringLiteral("也找按 GBK 或 UTF-8 百分号编码的搜索文字，如 %C8%D5%D6%BE"));
    m_summaryLabel = named(makePlainLabel(this), "Label4");
    m_backgroundColourBox = named(new ColourBoxWidget(this), "ColorBox1");
    m_backgroundColourBox->setColour(0x00F0CAA6); // kColourSkyBlue
    m_textColourBox = named(new ColourBoxWidget(this), "ColorBox2");
    m_textColourBox->setColour(0x00000000); // kColourBlack

    m_model = new LogRecordModel(analysis, this);
    m_recordView = named(new QTableView(this), "lv2");
    m_recordView->setModel(m_model);
    m_recordView->setShowGrid(true);
    m_recordView->setSelectionBehavior(QAbstractItemView::SelectRows);
    m_recordView->setSelectionMode(QAbstractItemView::ExtendedSelection);
    m_recordView->setEditTriggers(QAbstractItemView::NoEditTriggers);
    m_recordView->setWordWrap(false);
    m_recordView->setSortingEnabled(false);
    m_recordView->verticalHeader()->hide();
    // Fixed row heights: the view never measures rows, so millions of them cost nothing.
    m_recordView->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    m_recordView->verticalHeader()->setDefaultSectionSize(m_recordView->fontMetrics().height() + 4);
    QHeaderView* header = m_recordView->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setSectionsClickable(true);
    header->setHighlightSections(false);
    header->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    header->setSortIndicatorShown(true);
    header->setSortIndicator(-1, Qt::AscendingOrder);
    std::vector<int> described;
    for (int column = 0; column <= LogRecordModel::kVerdictColumn; ++column)
        described.push_back(LogRecordModel::width(column));
    m_columnWidths = new ColumnWidths(header, std::move(described));
    fitColumnsToFont();
    m_recordView->setColumnHidden(LogRecordModel::kVerdictColumn, true);
    connect(header, &QHeaderView::sectionClicked, this, &LogPage::sortByColumn);
    connect(m_model, &LogRecordModel::rowsWithdrawn, this, &LogPage::rowsWithdrawn);

    m_recordMenu = named(new QMenu(this), "PopupMenu1");
    QAction* lookUp = named(m_recordMenu->addAction(QString::fromUtf8("查看IP")), "IP1");
    connect(lookUp, &QAction::triggered, this, &LogPage::lookUpSelectedAddress);
    m_recordView->setContextMenuPolicy(Qt::CustomContextMenu);
    connect(m_recordView, &QWidget::customContextMenuRequested, this,
            [this](const QPoint& at) { m_recordMenu->popup(m_recordView->viewport()->mapToGlobal(at)); });

    m_exportButton = makeButton(this, "exportCsv", "导出CSV");
    m_exportRunner = new CsvExportRunner(this, m_options.exportRunner);
    m_copy = new RecordListCopy(m_recordView, m_model, analysis, [this] { return shownList(); }, this);
    m_recordMenu->addActions(m_copy->actions());

    auto* engines = new QHBoxLayout;
    for (QCheckBox* box :
         {m_baiduBox, m_googleBox, m_sosoBox, m_yahooBox, m_sogouBox, m_msnBox, m_youdaoBox, m_spidersBox, m_aiSpidersBox})
        engines->addWidget(box);
    engines->addSpacing(12);
    engines->addWidget(m_verifyBox);
    engines->addWidget(m_onlyFakesBox);
    engines->addWidget(m_verifyProgressLabel);
    engines->addWidget(m_cancelVerifyButton);
    engines->addStretch();
    auto* filters = new QHBoxLayout;
    for (QCheckBox* box : {m_imagesBox, m_audioBox, m_noSpidersBox, m_status200Box, m_ownXmlHttpBox})
        filters->addWidget(box);
    filters->addStretch();
    filters->addWidget(m_logFileBox);
    filters->addWidget(m_reloadButton);
    filters->addWidget(m_followBox);
    auto* third = new QHBoxLayout;
    third->addWidget(m_searchBox);
    third->addWidget(m_searchEncodedBox);
    third->addWidget(m_summaryLabel, 1);
    third->addWidget(m_exportRunner->progressBar());
    third->addWidget(m_exportRunner->cancelButton());
    third->addWidget(m_exportButton);
    third->addWidget(m_backgroundColourBox);
    third->addWidget(m_textColourBox);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(3);
    layout->addLayout(engines);
    layout->addLayout(filters);
    layout->addLayout(third);
    layout->addWidget(m_recordView, 1);

    connect(m_reloadButton, &QPushButton::clicked, this, &LogPage::reload);
    connect(m_logFileBox, &QComboBox::activated, this, &LogPage::reload);
    connect(m_searchBox, &QLineEdit::returnPressed, this, &LogPage::reload);
    connect(m_exportButton, &QPushButton::clicked, this, &LogPage::exportCsv);
    connect(m_backgroundColourBox, &ColourBoxWidget::colourChanged, this, &LogPage::applyListColours);
    connect(m_textColourBox, &ColourBoxWidget::colourChanged, this, &LogPage::applyListColours);
    connect(m_verifyBox, &QCheckBox::toggled, this, &LogPage::verifyBoxToggled);
    connect(m_onlyFakesBox, &QCheckBox::toggled, this, [this](bool on) {
        m_model->setOnlyFakes(on);
        showShownCount();
    });
    connect(m_cancelVerifyButton, &QPushButton::clicked, this, &LogPage::cancelVerification);
    connect(m_followBox, &QCheckBox::toggled, this, &LogPage::followBoxToggled);
    applyListColours();
}

LogPage::~LogPage()
{
    m_verification.reset();
    m_follower.reset();
    m_ipLookup.stop();
}

void LogPage::setSearchEncoded(bool on) { m_searchEncodedBox->setChecked(on); }

bool LogPage::searchEncoded() const { return m_searchEncodedBox->isChecked(); }

void LogPage::fitColumnsToFont()
{
    m_columnWidths->fit();
    m_recordView->verticalHeader()->setDefaultSectionSize(m_recordView->fontMetrics().height() + 4);
}

void LogPage::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        fitColumnsToFont();
}

FilterSnapshot LogPage::filterSnapshot() const
{
    FilterSnapshot filters;
    filters.images = m_imagesBox->isChecked();
    filters.status200 = m_status200Box->isChecked();
    filters.spiders = m_spidersBox->isChecked();
    filters.baidu = m_baiduBox->isChecked();
    filters.google = m_googleBox->isChecked();
    filters.soso = m_sosoBox->isChecked();
    filters.yahoo = m_yahooBox->isChecked();
    filters.sogou = m_sogouBox->isChecked();
    filters.msn = m_msnBox->isChecked();
    filters.youdao = m_youdaoBox->isChecked();
    filters.audio = m_audioBox->isChecked();
    filters.ownXmlHttp = m_ownXmlHttpBox->isChecked();
    filters.noSpiders = m_noSpidersBox->isChecked();
    filters.search = toGbk(m_searchBox->text());
    filters.searchEncoded = m_searchEncodedBox->isChecked();
    if (m_aiSpidersBox->isChecked()) {
        filters.onlyRegistryCrawlers = true;
        filters.registryCrawlers = aiCrawlers();
    }
    return filters;
}

void LogPage::setSavedBoxes(const FilterSnapshot& boxes)
{
    m_imagesBox->setChecked(boxes.images);
    m_status200Box->setChecked(boxes.status200);
    m_spidersBox->setChecked(boxes.spiders);
    m_baiduBox->setChecked(boxes.baidu);
    m_googleBox->setChecked(boxes.google);
    m_sosoBox->setChecked(boxes.soso);
    m_yahooBox->setChecked(boxes.yahoo);
    m_sogouBox->setChecked(boxes.sogou);
    m_msnBox->setChecked(boxes.msn);
    m_youdaoBox->setChecked(boxes.youdao);
    m_ownXmlHttpBox->setChecked(boxes.ownXmlHttp);
    m_noSpidersBox->setChecked(boxes.noSpiders);
}

void LogPage::listLogFiles(bool selectLast)
{
    m_logFileBox->clear();
    for (const std::string& name : quill::listLogFiles(toPath(m_logFolder)))
        m_logFileBox->addItem(fromPath(name));
    m_logFileBox->setCurrentIndex(selectLast ? m_logFileBox->count() - 1 : -1);
}

void LogPage::setListColours(ColourValue background, ColourValue text)
{
    m_backgroundColourBox->setColour(background);
    m_textColourBox->setColour(text);
    applyListColours();
}

ColourValue LogPage::listBackground() const { return m_backgroundColourBox->colour(); }

ColourValue LogPage::listText() const { return m_textColourBox->colour(); }

void LogPage::applyListColours()
{
    QPalette colours = m_recordView->palette();
    colours.setColor(QPalette::Base, toQColor(m_backgroundColourBox->colour(), palette()));
    colours.setColor(QPalette::Text, toQColor(m_textColourBox->colour(), palette()));
    m_recordView->setPalette(colours);
}

std::optional<std::string> LogPage::selectedClientAddress() const
{
    const QModelIndexList selected = m_recordView->selectionModel()->selectedIndexes();
    if (m_analysis.store().count() == 0 || selected.isEmpty())
        return std::nullopt;
    int row = selected.front().row();
    for (const QModelIndex& index : selected)
        row = std::min(row, index.row());
    std::string address = cellText(m_analysis.store(), m_model->storeRow(row), kColClientIp);
    if (!m_model->confirmRows())
        return std::nullopt;
    return address;
}

void LogPage::showSummary(const QString& text)
{
    m_summaryLabel->setText(text);
    m_summaryLabel->repaint(); // shown at once, also when a blocking step follows
}

void LogPage::lookUpSelectedAddress()
{
    const std::optional<std::string> address = selectedClientAddress();
    if (!address || m_ipLookupRunning)
        return;
    showSummary(fromGbk(*address)); // the address shows while the lookup runs
    setCursor(Qt::BusyCursor);
    m_ipLookupRunning = true;
    m_ipLookup.start([this, ip = *address, limits = m_options.ipLookupLimits](const std::atomic<bool>& stop,
                                                                               const Worker::Post& post) {
        const IpLookupResult result = lookUpIp(ip, WebContext{limits, &stop});
        post([this, label = result.label] {
            showSummary(fromGbk(label));
            unsetCursor();
            m_ipLookupRunning = false;
        });
    });
}

void LogPage::cancelIpLookup()
{
    m_ipLookup.stop();
    if (!m_ipLookupRunning)
        return;
    unsetCursor();
    m_ipLookupRunning = false;
}

void LogPage::reload()
{
    if (isExporting())
        return; // the export reads the store
    m_verification.reset();
    m_follower.reset();
    m_heldBatches.clear();
    m_loaded = false;
    m_verifyProgressLabel->clear();
    m_cancelVerifyButton->hide();
    m_model->clear();
    showSortIndicator();
    const std::string folder = toPath(m_logFolder);
    const QString name = m_logFileBox->currentText();
    // Nothing to read is said in plain words instead of leaving the last load's count standing.
    if (const LogPathProblem problem = checkLogPath(folder, toPath(name)); problem != LogPathProblem::None) {
        const QString what = problem == LogPathProblem::FolderMissing ? m_logFolder : name;
        m_summaryLabel->setText(fromGbk(logPathProblemText(problem)) + what);
        return;
    }
    const QString path = m_logFolder + QChar::fromLatin1(kPathSeparator) + name;
    LogAnalysis::LoadResult result;
    {
        const bool archive = archiveKindOf(toPath(name)) != ArchiveKind::None;
        BusyCursor busy(expectLongLoad(fileSize(toPath(path)).value_or(0), archive));
        result = m_model->load(toPath(path), filterSnapshot(), following());
    }
    if (!result.outcome.ok()) {
        const std::string& error = result.outcome.status().message();
        m_summaryLabel->setText(fromGbk(unreadableLogText()) + name + QStringLiteral(" (") + fromGbk(error) +
                                QLatin1Char(')'));
        showErrorBox(this, error);
    } else if (result.read()) {
        m_loaded = true;
        m_loadMs = result.elapsedMs;
        m_followNote.clear();
        showRecordCount();
    }
    if (result.read() && m_verifyBox->isChecked())
        startVerification();
    if (result.read() && following())
        startFollowing();
}

void LogPage::setVerificationBoxes(bool verifyCrawlers, bool onlyFakes)
{
    m_onlyFakesBox->setChecked(onlyFakes);
    m_verifyBox->setChecked(verifyCrawlers);
}

bool LogPage::verifyCrawlers() const { return m_verifyBox->isChecked(); }

bool LogPage::onlyFakes() const { return m_onlyFakesBox->isChecked(); }

void LogPage::verifyBoxToggled(bool on)
{
    m_onlyFakesBox->setEnabled(on);
    m_recordView->setColumnHidden(LogRecordModel::kVerdictColumn, !on);
    if (on) {
        m_model->setOnlyFakes(m_onlyFakesBox->isChecked());
        startVerification(); // the file already loaded
        return;
    }
    // Off: nothing of the check is left, and no query goes out.
    m_verification.reset();
    m_verifyProgressLabel->clear();
    m_cancelVerifyButton->hide();
    m_model->setOnlyFakes(false);
    m_model->setVerdicts({});
    showShownCount();
}

void LogPage::startVerification()
{
    m_verification.reset();
    m_verifiedRequests = storeRequests(m_analysis.store());
    m_verdictsSoFar = {};
    m_requestsAsked = 0;
    startCheckOf(0);
}

void LogPage::startCheckOf(size_t firstRequest)
{
    const std::vector<VerificationRequest>& all = m_verifiedRequests.requests;
    if (firstRequest >= all.size())
        return;
    m_checkFrom = firstRequest;
    m_requestsAsked = all.size();
    std::vector<VerificationRequest> requests(all.begin() + static_cast<std::ptrdiff_t>(firstRequest), all.end());
    VerifierOptions options = m_options.verifier.value_or(VerifierOptions{});
    if (!m_options.verifier)
        options.dns = dnsOptionsFromEnvironment();
    if (!options.lists && (firstRequest == 0 || !m_checkLists)) // read once for the checks of one load
        m_checkLists = std::make_shared<const AddressLists>(readAddressListsFile(m_addressListsPath));
    if (!options.lists)
        options.lists = m_checkLists;
    m_verifyProgressLabel->setText(fromGbk(verificationProgressText(0, requests.size())));
    m_cancelVerifyButton->show();
    m_verification = std::make_unique<VerificationWorker>(
        std::move(requests), std::move(options), m_verdictCachePath, *m_dispatcher,
        VerificationWorker::Handlers{[this](size_t done, size_t total) { verificationProgress(done, total); },
                                     [this](const VerificationRun& run) { verificationFinished(run); }});
}

void LogPage::cancelVerification()
{
    if (m_verification)
        m_verification->cancel(); // the verdicts found so far still arrive
}

void LogPage::verificationProgress(size_t done, size_t total)
{
    m_verifyProgressLabel->setText(fromGbk(verificationProgressText(done, total)));
}

void LogPage::verificationFinished(const VerificationRun& run)
{
    m_cancelVerifyButton->hide();
    // The check covered the requests from m_checkFrom on; earlier checks the ones before.
    std::vector<VerificationResult>& results = m_verdictsSoFar.results;
    results.resize(std::max(results.size(), m_checkFrom + run.results.size()));
    std::copy(run.results.begin(), run.results.end(), results.begin() + static_cast<std::ptrdiff_t>(m_checkFrom));
    m_model->setVerdicts(recordVerdicts(m_verifiedRequests, m_verdictsSoFar));
    showShownCount();
    // Addresses the check could not decide are said in words, with why when the DNS was out of reach.
    std::string notice = uncheckedNotice(uncheckedCount(m_verdictsSoFar), dnsUnreachable(run));
    if (!run.status.ok() && !run.dnsDown)
        notice += (notice.empty() ? "" : "   ") + run.status.message(); // a server setting that cannot be used
    if (!notice.empty())
        m_verifyProgressLabel->setText(fromGbk(notice));
    m_verification.reset(); // its thread has ended: this was its last word
    if (!run.cancelled && run.status.ok())
        startCheckOf(m_requestsAsked); // crawlers that came while it ran
}

void LogPage::sortByColumn(int column)
{
    if (isExporting())
        return;
    {
        BusyCursor busy(expectLongSort(m_analysis.store().count()));
        m_model->clickColumn(column);
    }
    showSortIndicator();
}

void LogPage::showSortIndicator()
{
    // The rows stand in file order until a sort by a known column sets an order.
    QHeaderView* header = m_recordView->horizontalHeader();
    if (m_analysis.store().order().empty())
        header->setSortIndicator(-1, Qt::AscendingOrder);
    else
        header->setSortIndicator(m_analysis.lastSortColumn(),
                                 m_analysis.sortDescending() ? Qt::DescendingOrder : Qt::AscendingOrder);
}

bool LogPage::isExporting() const { return m_exportRunner->isRunning(); }

void LogPage::setLoadControlsEnabled(bool enabled)
{
    for (QWidget* control : std::initializer_list<QWidget*>{m_reloadButton, m_logFileBox, m_searchBox, m_exportButton})
        control->setEnabled(enabled);
    m_recordView->horizontalHeader()->setSectionsClickable(enabled);
}

ShownList LogPage::shownList() const
{
    ShownList shown;
    if (const std::vector<std::uint32_t>* rows = m_model->narrowedRows())
        shown.rows = *rows;
    if (!m_recordView->isColumnHidden(LogRecordModel::kVerdictColumn)) {
        shown.extraCaption = toGbk(LogRecordModel::caption(LogRecordModel::kVerdictColumn));
        for (Verdict verdict : m_model->verdicts())
            shown.extraTexts.push_back(verdictText(verdict));
    }
    return shown;
}

QList<QAction*> LogPage::copyActions() const { return m_copy->actions(); }

void LogPage::focusSearch()
{
    m_searchBox->setFocus(Qt::ShortcutFocusReason);
    m_searchBox->selectAll();
}

void LogPage::exportCsv()
{
    if (isExporting())
        return;
    const QString chosen = m_options.chooseCsvPath(this, m_logFolder);
    if (chosen.isEmpty())
        return;
    const std::string path = withCsvExtension(toPath(chosen));
    setLoadControlsEnabled(false);
    m_model->holdStore(true);
    CsvTable table = recordsCsv(m_analysis.store(), shownList(), m_csvCells);
    const size_t rows = table.rows;
    m_exportRunner->start(std::move(table), path, [this, rows, path](const Status& outcome) {
        setLoadControlsEnabled(true);
        m_model->holdStore(false);
        takeHeldBatches();
        if (outcome.ok())
            showSummary(csvWrittenText(rows, path));
        else if (outcome.message() != kCancelledMessage)
            showErrorBox(this, outcome.message());
    });
}

} // namespace quill


