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
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QMouseEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTimer>
#include <QVBoxLayout>

namespace quill {
namespace {

QCheckBox* engineBox(QWidget* parent, const char* name, const char* caption, int left, bool visible)
{
    QCheckBox* box = makeCheckBox(parent, name, caption, visible);
    box->setGeometry(left, 8, 65, 33);
    box->setVisible(visible);
    return box;
}

QPushButton* button(QWidget* parent, const char* name, const char* caption, const QRect& geometry)
{
    QPushButton* button = makeButton(parent, name, caption);
    button->setGeometry(geometry);
    return button;
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
    m_toolBar->setFixedHeight(153);
    m_baiduBox = engineBox(m_toolBar, "CheckBox11", "百度", 8, true);
    m_googleBox = engineBox(m_toolBar, "CheckBox12", "Google", 72, true);
    m_sosoBox = engineBox(m_toolBar, "CheckBox13", "SOSO", 136, false);
    m_yahooBox = engineBox(m_toolBar, "CheckBox14", "Yahoo", 200, false);
    m_youdaoBox = engineBox(m_toolBar, "CheckBox15", "有道", 264, false);
    m_sogouBox = engineBox(m_toolBar, "CheckBox16", "Sogou", 336, false);
    m_saveSiteButton = button(m_toolBar, "Button12", "保存", {504, 8, 41, 25});
    m_deleteSiteButton = button(m_toolBar, "Button13", "删除", {544, 8, 49, 25});
    m_siteBox = placed(new QComboBox(m_toolBar), "ComboBox1", {8, 44, 409, 21});
    m_siteBox->setEditable(true);
    m_siteBox->setInsertPolicy(QComboBox::NoInsert); // only "保存" adds to the list
    m_siteBox->setEditText(QStringLiteral("http://www.baidu.com"));
    m_indexQueryButton = button(m_toolBar, "Button6", "批量查询", {416, 40, 97, 25});
    m_headAnalysisButton = button(m_toolBar, "Button7", "HEAD 分析", {8, 112, 89, 33});
    m_pageHeaderButton = button(m_toolBar, "Button8", "页面头", {104, 112, 81, 33});
    m_allLinksButton = button(m_toolBar, "Button14", "所有链接", {192, 112, 81, 33});
    m_plainTextButton = button(m_toolBar, "Button16", "纯文本", {288, 112, 81, 33});
    m_resultSizeLabel = placed(makePlainLabel(m_toolBar), "Label3", {368, 120, 49, 25});
    m_resultSizeLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_clearButton = button(m_toolBar, "Button15", "清空", {424, 120, 73, 25});
    m_keywordBox = placed(new QLineEdit(QString::fromUtf8("兴安盟"), m_toolBar), "Edit1", {520, 120, 97, 21});
    m_suggestKeywordsButton = button(m_toolBar, "Button17", "相关词补充", {616, 120, 81, 25});
    m_relatedSearchButton = button(m_toolBar, "Button20", "相关搜索", {704, 120, 81, 25});
    // What runs and how far it got, or how the last run ended.
    m_statusLine = placed(makePlainLabel(m_toolBar), "StatusLine", {8, 76, 777, 28});
    m_statusLine->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    // The controls stand where they were designed; the page scrolls rather than cut them off.
    m_toolBar->setMinimumWidth(m_toolBar->childrenRect().right() + 8);

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
    probeHandlers.finished = [this](const std::string& status) { endRun(status); };
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
        const IndexEnd end = runIndexQueries(
            run, [&context](const std::string& url) { return fetchPageReporting(url, context); },
            [this, &post](const std::string& line) { post([this, line] { appendLine(line); }); },
            [this, &post](int done, int total) { post([this, done, total] { setStatus(indexProgress(done, total)); }); },
            context.stop);
        post([this, status = end.status] { endRun(status); });
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
        ToolAnswer page = fetchPageAsGbk(WebTool::PageHeadAndLinks, address, context);
        post([this, name, walk, page = std::move(page)]() mutable {
            if (!page.value) {
                endRun(toolStatus(name, page.failure));
                return;
            }
            m_parser.parseText(std::move(*page.value));
            listWhenParsed(m_run, name, walk);
        });
    });
}

void ToolsPage::listWhenParsed(unsigned run, std::string tool, std::vector<std::string> (*walk)(const ParsedPage& page))
{
    if (run != m_run)
        return;
    // The parse ends on its own thread without posting anything, so the state is polled.
    if (m_parser.parseState() != ParserState::Idle) {
        QTimer::singleShot(5, this, [this, run, tool = std::move(tool), walk] { listWhenParsed(run, tool, walk); });
        return;
    }
    if (const Status& parsed = m_parser.page().status(); !parsed) {
        endRun(toolStatus(tool, parsed.message()));
        return;
    }
    for (const std::string& line : walk(m_parser.page()))
        appendLine(line);
    endRun(toolStatus(tool, {}));
}

void ToolsPage::showPlainText()
{
    if (m_busy)
        return;
    const std::string site = toGbk(m_siteBox->currentText());
    startRun(gbk("纯文本 …"), [this, site](const WebContext& context, const auto& post) {
        ToolAnswer text = pagePlainText(site, context);
        post([this, text = std::move(text)] {
            if (text.value)
                appendLine(*text.value);
            endRun(toolStatus(gbk("纯文本"), text.failure));
        });
    });
}

void ToolsPage::suggestKeywords()
{
    if (m_busy)
        return;
    const std::string keyword = toGbk(m_keywordBox->text());
    startRun(gbk("相关词补充 …"), [this, keyword](const WebContext& context, const auto& post) {
        ToolAnswer lines = keywordSuggestions(keyword, context);
        post([this, lines = std::move(lines)] {
            if (lines.value)
                appendLine(*lines.value);
            endRun(toolStatus(gbk("相关词补充"), lines.failure));
        });
    });
}

void ToolsPage::searchRelated()
{
    if (m_busy)
        return;
    const std::string keyword = toGbk(m_keywordBox->text());
    startRun(gbk("相关搜索 …"), [this, keyword](const WebContext& context, const auto& post) {
        ToolAnswer lines = relatedSearches(keyword, context);
        post([this, lines = std::move(lines)] {
            if (lines.value)
                appendLine(*lines.value);
            endRun(toolStatus(gbk("相关搜索"), lines.failure));
        });
    });
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
