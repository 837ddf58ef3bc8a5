#include "gui/ToolsPage.h"

#include "html/PageWalks.h"
#include "html/PageParser.h"
#include "gui/ErrorBoxDialog.h"
#include "gui/QtGbk.h"
#include "gui/QtUiDispatcher.h"
#include "platform/CodePage.h"
#include "gui/WidgetSetup.h"
#include "webtools/HeadProbe.h"
#include "webtools/IndexQueries.h"
#include "webtools/KeywordTools.h"
#include "webtools/PageTools.h"
#include "gui/QtClientSocket.h"
#include "webtools/SiteList.h"
#include "webtools/WebRequests.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateTime>
#include <QFrame>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace quill {
namespace {

QCheckBox* engineBox(QWidget* parent, const char* name, const char* caption, bool visible)
{
    QCheckBox* box = makeCheckBox(parent, name, caption, visible);
    box->setVisible(visible);
    return box;
}

QHBoxLayout* row(std::initializer_list<QWidget*> controls)
{
    auto* row = new QHBoxLayout;
    row->setSpacing(6);
    for (QWidget* control : controls)
        row->addWidget(control);
    return row;
}

QStringList fromGbkList(const std::vector<std::string>& texts)
{
    QStringList list;
    for (const std::string& text : texts)
        list << fromGbk(text);
    return list;
}

} // namespace

ToolsPage::ToolsPage(Options options, PageParser& pageParser, QWidget* parent)
    : QWidget(parent),
      m_options(std::move(options)),
      m_parser(pageParser),
      m_ui(std::make_unique<QtUiDispatcher>(this)),
      m_worker(m_ui.get())
{
    if (m_options.siteListPath.empty())
        m_options.siteListPath = kSiteListFile;

    m_toolBar = named(new QFrame(this), "Panel2");
    m_baiduBox = engineBox(m_toolBar, "CheckBox11", "百度", true);
    m_googleBox = engineBox(m_toolBar, "CheckBox12", "Google", true);
    m_sosoBox = engineBox(m_toolBar, "CheckBox13", "SOSO", false);
    m_yahooBox = engineBox(m_toolBar, "CheckBox14", "Yahoo", false);
    m_youdaoBox = engineBox(m_toolBar, "CheckBox15", "有道", false);
    m_sogouBox = engineBox(m_toolBar, "CheckBox16", "Sogou", false);
    m_saveSiteButton = makeButton(m_toolBar, "Button12", "保存");
    m_deleteSiteButton = makeButton(m_toolBar, "Button13", "删除");
    m_siteBox = named(new QComboBox(m_toolBar), "ComboBox1");
    m_siteBox->setMinimumWidth(409);
    m_siteBox->setEditable(true);
    m_siteBox->setInsertPolicy(QComboBox::NoInsert); // only "保存" adds to the list
    m_siteBox->setEditText(QStringLiteral("http://www.baidu.com"));
    m_indexQueryButton = makeButton(m_toolBar, "Button6", "批量查询");
    m_headAnalysisButton = makeButton(m_toolBar, "Button7", "HEAD 分析");
    m_pageHeaderButton = makeButton(m_toolBar, "Button8", "页面头");
    m_allLinksButton = makeButton(m_toolBar, "Button14", "所有链接");
    m_plainTextButton = makeButton(m_toolBar, "Button16", "纯文本");
    m_resultSizeLabel = named(makePlainLabel(m_toolBar), "Label3");
    m_resultSizeLabel->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    m_clearButton = makeButton(m_toolBar, "Button15", "清空");
    m_keywordBox = named(new QLineEdit(QString::fromUtf8("兴安盟"), m_toolBar), "Edit1");
    m_keywordBox->setMinimumWidth(97);
    m_suggestKeywordsButton = makeButton(m_toolBar, "Button17", "相关词补充");
    m_relatedSearchButton = makeButton(m_toolBar, "Button20", "相关搜索");
    // What runs and how far it got, or how the last run ended.
    m_statusLine = named(makePlainLabel(m_toolBar), "StatusLine");
    m_statusLine->setMinimumHeight(28);
    m_statusLine->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    // Four rows as the page was drawn: the engines over the site box, "保存" and "删除" over
    // "批量查询", the status line, then the page and keyword tools.
    auto* engines = row({m_baiduBox, m_googleBox, m_sosoBox, m_yahooBox, m_youdaoBox, m_sogouBox});
    engines->addStretch();
    auto* siteButtons = row({m_saveSiteButton, m_deleteSiteButton});
    siteButtons->addStretch();
    auto* tools = row({m_headAnalysisButton, m_pageHeaderButton, m_allLinksButton, m_plainTextButton,
                       m_resultSizeLabel, m_clearButton, m_keywordBox, m_suggestKeywordsButton,
                       m_relatedSearchButton});
    tools->addStretch();
    auto* bar = new QGridLayout(m_toolBar);
    bar->setContentsMargins(8, 4, 8, 8);
    bar->setHorizontalSpacing(0);
    bar->setVerticalSpacing(6);
    bar->addLayout(engines, 0, 0);
    bar->addLayout(siteButtons, 0, 1);
    bar->addWidget(m_siteBox, 1, 0);
    bar->addWidget(m_indexQueryButton, 1, 1, Qt::AlignLeft);
    bar->addWidget(m_statusLine, 2, 0, 1, 3);
    bar->addLayout(tools, 3, 0, 1, 3);
    bar->setColumnStretch(2, 1);

    m_results = named(new QPlainTextEdit(this), "Memo1");
    m_results->setLineWrapMode(QPlainTextEdit::NoWrap);
    m_results->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_results->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    m_results->setPlainText(QStringLiteral("\n")); // one empty line; output goes below it
    m_results->viewport()->installEventFilter(this);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(m_toolBar);
    layout->addWidget(m_results, 1);

    m_headSocket = named(new QtClientSocket(this), "CS1");
    HeadProbe::Handlers probeHandlers;
    probeHandlers.appendLine = [this](const std::string& line) { appendLine(line); };
    probeHandlers.connectFailed = [this](const std::string& message) { showErrorBox(this, message); };
    probeHandlers.finished = [this](const Status& outcome) { endRun(toolStatus(gbk("页面头"), outcome)); };
    m_headProbe = std::make_unique<HeadProbe>(
        *m_headSocket, std::move(probeHandlers),
        [this](std::chrono::milliseconds delay, std::function<void()> task) {
            QTimer::singleShot(delay, this, std::move(task));
        },
        m_options.limits);

    connect(m_indexQueryButton, &QPushButton::clicked, this, &ToolsPage::queryIndexCounts);
    connect(m_headAnalysisButton, &QPushButton::clicked, this, &ToolsPage::analyseHead);
    connect(m_pageHeaderButton, &QPushButton::clicked, this, &ToolsPage::requestPageHeader);
    connect(m_saveSiteButton, &QPushButton::clicked, this, &ToolsPage::saveSite);
    connect(m_deleteSiteButton, &QPushButton::clicked, this, &ToolsPage::deleteSite);
    connect(m_allLinksButton, &QPushButton::clicked, this, &ToolsPage::listAllLinks);
    connect(m_clearButton, &QPushButton::clicked, this, &ToolsPage::clearResults);
    connect(m_plainTextButton, &QPushButton::clicked, this, &ToolsPage::showPlainText);
    connect(m_suggestKeywordsButton, &QPushButton::clicked, this, &ToolsPage::suggestKeywords);
    connect(m_relatedSearchButton, &QPushButton::clicked, this, &ToolsPage::searchRelated);
}

ToolsPage::~ToolsPage()
{
    m_worker.stop();
    m_headProbe.reset(); // the socket, a child object, goes later and closes as it goes
}

void ToolsPage::cancelRun()
{
    m_worker.stop(); // ends its request and waits for it; its queued results are dropped
    if (m_headSocket->active())
        m_headSocket->close();
    if (m_busy)
        endRun(gbk("已取消"));
    ++m_run; // a parse still under way lists nothing
}

void ToolsPage::setStatus(const std::string& gbk) { m_statusLine->setText(fromGbk(gbk)); }

void ToolsPage::beginRun(const std::string& status)
{
    ++m_run;
    m_busy = true;
    for (QPushButton* button : {m_indexQueryButton, m_headAnalysisButton, m_pageHeaderButton, m_allLinksButton,
                                m_plainTextButton, m_suggestKeywordsButton, m_relatedSearchButton})
        button->setEnabled(false);
    setCursor(Qt::BusyCursor);
    setStatus(status);
}

void ToolsPage::endRun(const std::string& status)
{
    m_busy = false;
    for (QPushButton* button : {m_indexQueryButton, m_headAnalysisButton, m_pageHeaderButton, m_allLinksButton,
                                m_plainTextButton, m_suggestKeywordsButton, m_relatedSearchButton})
        button->setEnabled(true);
    unsetCursor();
    setStatus(status);
}

void ToolsPage::startRun(const std::string& status, std::function<void(const WebContext&, const Worker::Post&)> job)
{
    beginRun(status);
    m_worker.start([limits = m_options.limits, job = std::move(job)](const std::atomic<bool>& stop, const Worker::Post& post) {
        job(WebContext{limits, &stop}, post);
    });
}

QString ToolsPage::siteAddress() const { return m_siteBox->currentText(); }

void ToolsPage::setSiteAddress(const QString& address) { m_siteBox->setEditText(address); }

void ToolsPage::appendLine(const std::string& gbk)
{
    QString text = fromGbk(gbk);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QTextCursor end(m_results->document());
    end.movePosition(QTextCursor::End);
    end.insertText(text + QLatin1Char('\n'));
    m_results->setTextCursor(end);
}

bool ToolsPage::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == m_results->viewport() && event->type() == QEvent::MouseButtonPress)
        showResultSize();
    return QWidget::eventFilter(watched, event);
}

void ToolsPage::showResultSize()
{
    QString text = m_results->toPlainText();
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    m_resultSizeLabel->setText(QString::number(toGbk(text).size()));
}

void ToolsPage::clearResults() { m_results->clear(); }

void ToolsPage::queryIndexCounts()
{
    if (m_busy)
        return;
    const QLocale locale = QLocale::system();
    const QDateTime now = QDateTime::currentDateTime();
    IndexRun run;
    run.siteBox = toGbk(m_siteBox->currentText());
    run.baidu = m_baiduBox->isChecked();
    run.google = m_googleBox->isChecked();
    run.dateTime = toGbk(locale.toString(now.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
                         locale.toString(now.time(), QLocale::LongFormat));
    run.baiduHost = baiduSearchHost();
    run.googleHost = googleSearchHost();
    startRun(indexProgress(0, indexQueryCount(run)), [this, run](const WebContext& context, const auto& post) {
        const Status outcome = runIndexQueries(
            run, [&context](const std::string& url) { return fetchPageReporting(url, context); },
            [this, &post](const std::string& line) { post([this, line] { appendLine(line); }); },
            [this, &post](int done, int total) { post([this, done, total] { setStatus(indexProgress(done, total)); }); },
            context.stop);
        post([this, status = toolStatus(gbk("批量查询"), outcome)] { endRun(status); });
    });
}

void ToolsPage::requestPageHeader()
{
    if (m_busy)
        return;
    beginRun(gbk("页面头 …"));
    if (Status started = m_headProbe->click(toGbk(m_siteBox->currentText())); !started) {
        endRun(gbk("页面头: ") + started.message());
        showErrorBox(this, started.message());
    }
}

void ToolsPage::analyseHead() { parseAndList("HEAD 分析", &pageHeaderLines); }

void ToolsPage::listAllLinks() { parseAndList("所有链接", &pageLinkLines); }

void ToolsPage::parseAndList(const char* tool, std::vector<std::string> (*walk)(const ParsedPage& page))
{
    // Both buttons share the one parser: a press while either runs is ignored.
    if (m_busy)
        return;
    const std::string address = pageAddress(toGbk(m_siteBox->currentText()));
    startRun(gbk(tool) + gbk(" …"), [this, address, name = gbk(tool), walk](const WebContext& context, const auto& post) {
        Result<std::string> page = fetchPageAsGbk(WebTool::PageHeadAndLinks, address, context);
        post([this, name, walk, page = std::move(page)]() mutable {
            if (!page) {
                endRun(toolStatus(name, page.status()));
                return;
            }
            m_parser.parseText(std::move(page.value()));
            // The parser is the window's and may outlive this page.
            m_parser.whenIdle([page = QPointer<ToolsPage>(this), run = m_run, name, walk] {
                if (page)
                    page->listParsed(run, name, walk);
            });
        });
    });
}

void ToolsPage::listParsed(unsigned run, const std::string& tool, std::vector<std::string> (*walk)(const ParsedPage& page))
{
    if (run != m_run)
        return; // cancelled meanwhile
    if (const Status& parsed = m_parser.page().status(); !parsed) {
        endRun(toolStatus(tool, parsed));
        return;
    }
    for (const std::string& line : walk(m_parser.page()))
        appendLine(line);
    endRun(toolStatus(tool, Status()));
}

void ToolsPage::showPlainText()
{
    if (m_busy)
        return;
    const std::string site = toGbk(m_siteBox->currentText());
    startRun(gbk("纯文本 …"), [this, site](const WebContext& context, const auto& post) {
        Result<std::string> text = pagePlainText(site, context);
        post([this, text = std::move(text)] { showAnswer("纯文本", text); });
    });
}

void ToolsPage::suggestKeywords()
{
    if (m_busy)
        return;
    const std::string keyword = toGbk(m_keywordBox->text());
    startRun(gbk("相关词补充 …"), [this, keyword](const WebContext& context, const auto& post) {
        Result<std::string> lines = keywordSuggestions(keyword, context);
        post([this, lines = std::move(lines)] { showAnswer("相关词补充", lines); });
    });
}

void ToolsPage::searchRelated()
{
    if (m_busy)
        return;
    const std::string keyword = toGbk(m_keywordBox->text());
    startRun(gbk("相关搜索 …"), [this, keyword](const WebContext& context, const auto& post) {
        Result<std::string> lines = relatedSearches(keyword, context);
        post([this, lines = std::move(lines)] { showAnswer("相关搜索", lines); });
    });
}

void ToolsPage::showAnswer(const char* tool, const Result<std::string>& answer)
{
    if (answer)
        appendLine(answer.value());
    endRun(toolStatus(gbk(tool), answer.status()));
}

void ToolsPage::setDropDown(const QStringList& items)
{
    const QString typed = m_siteBox->currentText(); // the list never changes the typed text
    m_siteBox->clear();
    m_siteBox->addItems(items);
    m_siteBox->setEditText(typed);
}

bool ToolsPage::loadSiteList()
{
    const SiteListLoad load = quill::loadSiteList(m_options.siteListPath);
    if (load.keptAside)
        showErrorBox(this, *load.keptAside);
    if (!load.written)
        showErrorBox(this, load.written.message());
    setDropDown(fromGbkList(load.urls));
    return load.wasRead;
}

void ToolsPage::saveSite()
{
    const SiteListChange change = saveSiteAddress(m_options.siteListPath, toGbk(m_siteBox->currentText()));
    if (change.keptAside)
        showErrorBox(this, *change.keptAside);
    if (!change.status) {
        showErrorBox(this, change.status.message());
        return;
    }
    if (change.message)
        appendLine(*change.message);
    if (!change.dropDown.empty()) {
        const QString typed = m_siteBox->currentText();
        m_siteBox->addItems(fromGbkList(change.dropDown));
        m_siteBox->setEditText(typed);
    }
}

void ToolsPage::deleteSite()
{
    const SiteListChange change = deleteSiteAddress(m_options.siteListPath, toGbk(m_siteBox->currentText()));
    setDropDown(fromGbkList(change.dropDown));
    if (!change.status) {
        showErrorBox(this, change.status.message());
        return;
    }
    if (change.message)
        appendLine(*change.message);
}

} // namespace quill
