#include "webtools/ToolsPage.h"

#include "html/PageWalks.h"
#include "html/PageParser.h"
#include "qt/ErrorBoxDialog.h"
#include "qt/QtGbk.h"
#include "qt/WidgetSetup.h"
#include "webtools/HeadProbe.h"
#include "webtools/IndexQueries.h"
#include "webtools/KeywordTools.h"
#include "webtools/PageTools.h"
#include "webtools/QtClientSocket.h"
#include "webtools/SiteList.h"
#include "webtools/WebRequests.h"

#include <QCheckBox>
#include <QComboBox>
#include <QCoreApplication>
#include <QDateTime>
#include <QEventLoop>
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
    : QWidget(parent), m_options(std::move(options)), m_parser(pageParser)
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
    m_resultSizeLabel = placed(new QLabel(m_toolBar), "Label3", {368, 120, 49, 25});
    m_resultSizeLabel->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    m_clearButton = button(m_toolBar, "Button15", "清空", {424, 120, 73, 25});
    m_keywordBox = placed(new QLineEdit(QString::fromUtf8("兴安盟"), m_toolBar), "Edit1", {520, 120, 97, 21});
    m_suggestKeywordsButton = button(m_toolBar, "Button17", "相关词补充", {616, 120, 81, 25});
    m_relatedSearchButton = button(m_toolBar, "Button20", "相关搜索", {704, 120, 81, 25});

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
    m_headProbe = std::make_unique<HeadProbe>(
        *m_headSocket, [this](const std::string& line) { appendLine(line); },
        [](const std::function<bool()>& done) {
            while (!done())
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        });

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

ToolsPage::~ToolsPage() = default;

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
    runIndexQueries(
        run, [](const std::string& url) { return fetchPage(url); },
        [this](const std::string& line) {
            appendLine(line);
            // Shows each line as it comes; clicks wait until the queries are done.
            QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents);
        });
}

void ToolsPage::requestPageHeader()
{
    if (Status done = m_headProbe->click(toGbk(m_siteBox->currentText())); !done)
        showErrorBox(this, done.message());
}

void ToolsPage::analyseHead() { parseAndList(&pageHeaderLines); }

void ToolsPage::listAllLinks() { parseAndList(&pageLinkLines); }

void ToolsPage::parseAndList(std::vector<std::string> (*walk)(const ParsedPage& page))
{
    // Both buttons share the one parser: a second click while a parse is awaited is ignored.
    if (m_parsing)
        return;
    std::optional<std::string> body =
        fetchForTool(WebTool::PageHeadAndLinks, pageAddress(toGbk(m_siteBox->currentText())));
    if (!body)
        return;
    m_parsing = true;
    m_parser.parseText(std::move(*body));
    waitForParser();
    for (const std::string& line : walk(m_parser.page()))
        appendLine(line);
    waitForParser();
    m_parsing = false;
}

void ToolsPage::waitForParser()
{
    if (m_parser.parseState() == ParserState::Idle)
        return;
    // The parse ends on its own thread without posting anything, so the state is polled.
    QEventLoop loop;
    QTimer poll;
    connect(&poll, &QTimer::timeout, &loop, [this, &loop] {
        if (m_parser.parseState() == ParserState::Idle)
            loop.quit();
    });
    poll.start(5);
    loop.exec();
}

void ToolsPage::showPlainText()
{
    if (std::optional<std::string> text = pagePlainText(toGbk(m_siteBox->currentText())))
        appendLine(*text);
}

void ToolsPage::suggestKeywords()
{
    if (std::optional<std::string> lines = keywordSuggestions(toGbk(m_keywordBox->text())))
        appendLine(*lines);
}

void ToolsPage::searchRelated()
{
    if (std::optional<std::string> lines = relatedSearches(toGbk(m_keywordBox->text())))
        appendLine(*lines);
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
    if (!load.written)
        showErrorBox(this, load.written.message());
    setDropDown(fromGbkList(load.urls));
    return load.wasRead;
}

void ToolsPage::saveSite()
{
    const SiteListChange change = saveSiteAddress(m_options.siteListPath, toGbk(m_siteBox->currentText()));
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
