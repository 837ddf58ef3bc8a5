#include "webtools/ToolsPage.h"

#include "html/PageWalks.h"
#include "html/PageParser.h"
#include "qt/ErrorBoxDialog.h"
#include "qt/QtGbk.h"
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

template <typename T>
T* place(T* control, const char* name, int left, int top, int width, int height)
{
    control->setObjectName(QString::fromLatin1(name));
    control->setGeometry(left, top, width, height);
    return control;
}

QPushButton* button(QWidget* parent, const char* name, const char* caption, int left, int top, int width, int height)
{
    return place(new QPushButton(QString::fromUtf8(caption), parent), name, left, top, width, height);
}

QCheckBox* checkBox(QWidget* parent, const char* name, const char* caption, int left, bool visible)
{
    auto* box = place(new QCheckBox(QString::fromUtf8(caption), parent), name, left, 8, 65, 33);
    box->setChecked(visible);
    box->setVisible(visible);
    return box;
}

QStringList fromGbkList(const std::vector<std::string>& texts)
{
    QStringList list;
    for (const std::string& text : texts)
        list << fromGbk(text);
    return list;
}

} // namespace

ToolsPage::ToolsPage(Options options, PageParser& UIHTMLParser1, QWidget* parent)
    : QWidget(parent), m_options(std::move(options)), m_parser(UIHTMLParser1)
{
    if (m_options.siteListPath.empty())
        m_options.siteListPath = kSiteListFile;

    Panel2 = new QFrame(this);
    Panel2->setObjectName(QStringLiteral("Panel2"));
    Panel2->setFixedHeight(153);
    CheckBox11 = checkBox(Panel2, "CheckBox11", "百度", 8, true);
    CheckBox12 = checkBox(Panel2, "CheckBox12", "Google", 72, true);
    CheckBox13 = checkBox(Panel2, "CheckBox13", "SOSO", 136, false);
    CheckBox14 = checkBox(Panel2, "CheckBox14", "Yahoo", 200, false);
    CheckBox15 = checkBox(Panel2, "CheckBox15", "有道", 264, false);
    CheckBox16 = checkBox(Panel2, "CheckBox16", "Sogou", 336, false);
    Button12 = button(Panel2, "Button12", "保存", 504, 8, 41, 25);
    Button13 = button(Panel2, "Button13", "删除", 544, 8, 49, 25);
    ComboBox1 = place(new QComboBox(Panel2), "ComboBox1", 8, 44, 409, 21);
    ComboBox1->setEditable(true);
    ComboBox1->setInsertPolicy(QComboBox::NoInsert); // only "保存" adds to the list
    ComboBox1->setEditText(QStringLiteral("http://www.baidu.com"));
    Button6 = button(Panel2, "Button6", "批量查询", 416, 40, 97, 25);
    Button7 = button(Panel2, "Button7", "HEAD 分析", 8, 112, 89, 33);
    Button8 = button(Panel2, "Button8", "页面头", 104, 112, 81, 33);
    Button14 = button(Panel2, "Button14", "所有链接", 192, 112, 81, 33);
    Button16 = button(Panel2, "Button16", "纯文本", 288, 112, 81, 33);
    Label3 = place(new QLabel(Panel2), "Label3", 368, 120, 49, 25);
    Label3->setAlignment(Qt::AlignLeft | Qt::AlignTop);
    Button15 = button(Panel2, "Button15", "清空", 424, 120, 73, 25);
    Edit1 = place(new QLineEdit(QString::fromUtf8("兴安盟"), Panel2), "Edit1", 520, 120, 97, 21);
    Button17 = button(Panel2, "Button17", "相关词补充", 616, 120, 81, 25);
    Button20 = button(Panel2, "Button20", "相关搜索", 704, 120, 81, 25);

    Memo1 = new QPlainTextEdit(this);
    Memo1->setObjectName(QStringLiteral("Memo1"));
    Memo1->setLineWrapMode(QPlainTextEdit::NoWrap);
    Memo1->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    Memo1->setPlainText(QStringLiteral("\n")); // one empty line; output goes below it
    Memo1->viewport()->installEventFilter(this);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(Panel2);
    layout->addWidget(Memo1, 1);

    CS1 = new QtClientSocket(this);
    CS1->setObjectName(QStringLiteral("CS1"));
    m_headProbe = std::make_unique<HeadProbe>(
        *CS1, [this](const std::string& line) { appendLine(line); },
        [](const std::function<bool()>& done) {
            while (!done())
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        });

    connect(Button6, &QPushButton::clicked, this, &ToolsPage::Button6Click);
    connect(Button7, &QPushButton::clicked, this, &ToolsPage::Button7Click);
    connect(Button8, &QPushButton::clicked, this, &ToolsPage::Button8Click);
    connect(Button12, &QPushButton::clicked, this, &ToolsPage::Button12Click);
    connect(Button13, &QPushButton::clicked, this, &ToolsPage::Button13Click);
    connect(Button14, &QPushButton::clicked, this, &ToolsPage::Button14Click);
    connect(Button15, &QPushButton::clicked, this, &ToolsPage::Button15Click);
    connect(Button16, &QPushButton::clicked, this, &ToolsPage::Button16Click);
    connect(Button17, &QPushButton::clicked, this, &ToolsPage::Button17Click);
    connect(Button20, &QPushButton::clicked, this, &ToolsPage::Button20Click);
}

ToolsPage::~ToolsPage() = default;

void ToolsPage::appendLine(const std::string& gbk)
{
    QString text = fromGbk(gbk);
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QTextCursor end(Memo1->document());
    end.movePosition(QTextCursor::End);
    end.insertText(text + QLatin1Char('\n'));
    Memo1->setTextCursor(end);
}

bool ToolsPage::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == Memo1->viewport() && event->type() == QEvent::MouseButtonPress)
        Memo1MouseDown();
    return QWidget::eventFilter(watched, event);
}

void ToolsPage::Memo1MouseDown()
{
    QString text = Memo1->toPlainText();
    text.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    Label3->setText(QString::number(toGbk(text).size()));
}

void ToolsPage::Button15Click() { Memo1->clear(); }

void ToolsPage::Button6Click()
{
    const QLocale locale = QLocale::system();
    const QDateTime now = QDateTime::currentDateTime();
    IndexRun run;
    run.siteBox = toGbk(ComboBox1->currentText());
    run.baidu = CheckBox11->isChecked();
    run.google = CheckBox12->isChecked();
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

void ToolsPage::Button8Click()
{
    if (Status done = m_headProbe->click(toGbk(ComboBox1->currentText())); !done)
        showErrorBox(this, done.message());
}

void ToolsPage::Button7Click() { parseAndList(&pageHeaderLines); }

void ToolsPage::Button14Click() { parseAndList(&pageLinkLines); }

void ToolsPage::parseAndList(std::vector<std::string> (*walk)(const ParsedPage& page))
{
    // Both buttons share the one parser: a second click while a parse is awaited is ignored.
    if (m_parsing)
        return;
    std::optional<std::string> body =
        fetchForTool(WebTool::PageHeadAndLinks, pageAddress(toGbk(ComboBox1->currentText())));
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

void ToolsPage::Button16Click()
{
    if (std::optional<std::string> text = pagePlainText(toGbk(ComboBox1->currentText())))
        appendLine(*text);
}

void ToolsPage::Button17Click()
{
    if (std::optional<std::string> lines = keywordSuggestions(toGbk(Edit1->text())))
        appendLine(*lines);
}

void ToolsPage::Button20Click()
{
    if (std::optional<std::string> lines = relatedSearches(toGbk(Edit1->text())))
        appendLine(*lines);
}

void ToolsPage::setDropDown(const QStringList& items)
{
    const QString typed = ComboBox1->currentText(); // the list never changes the typed text
    ComboBox1->clear();
    ComboBox1->addItems(items);
    ComboBox1->setEditText(typed);
}

bool ToolsPage::loadSiteList()
{
    const SiteListLoad load = quill::loadSiteList(m_options.siteListPath);
    if (!load.written)
        showErrorBox(this, load.written.message());
    setDropDown(fromGbkList(load.urls));
    return load.wasRead;
}

void ToolsPage::Button12Click()
{
    const SiteListChange change = saveSiteAddress(m_options.siteListPath, toGbk(ComboBox1->currentText()));
    if (!change.status) {
        showErrorBox(this, change.status.message());
        return;
    }
    if (change.message)
        appendLine(*change.message);
    if (!change.dropDown.empty()) {
        const QString typed = ComboBox1->currentText();
        ComboBox1->addItems(fromGbkList(change.dropDown));
        ComboBox1->setEditText(typed);
    }
}

void ToolsPage::Button13Click()
{
    const SiteListChange change = deleteSiteAddress(m_options.siteListPath, toGbk(ComboBox1->currentText()));
    setDropDown(fromGbkList(change.dropDown));
    if (!change.status) {
        showErrorBox(this, change.status.message());
        return;
    }
    if (change.message)
        appendLine(*change.message);
}

} // namespace quill
