#pragma once
// The "体验" page: the site and keyword boxes, the web tools' buttons and the results area.

#include "platform/Worker.h"
#include "webtools/WebRequests.h"

#include <QWidget>
#include <memory>
#include <string>
#include <vector>

class QCheckBox;
class QComboBox;
class QFrame;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace quill {

class HeadProbe;
class ParsedPage;
class QtClientSocket;
class QtUiDispatcher;
class PageParser;

class ToolsPage : public QWidget {
    Q_OBJECT
public:
    struct Options {
        std::string siteListPath; // the saved site list; empty: "test.xml" in the current folder
        WebLimits limits = webLimitsFromEnvironment(); // of every request the tools send
    };

    // "HEAD 分析" and "所有链接" parse pages with the window's parser.
    ToolsPage(Options options, PageParser& pageParser, QWidget* parent = nullptr);
    ~ToolsPage() override;

    // Fills the drop-down from the saved site list, creating the file when it is missing or
    // unreadable; true when it existed and was read.
    bool loadSiteList();
    // The site address in the site box, as typed or chosen.
    QString siteAddress() const;
    void setSiteAddress(const QString& address);
    // Appends GBK text to the results area as lines.
    void appendLine(const std::string& gbk);
    // A tool is running: its requests, its parse or its socket.
    bool busy() const { return m_busy; }
    // Ends what runs at once: requests are stopped, the socket closed, nothing more is appended.
    void cancelRun();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void queryIndexCounts();
    void analyseHead();
    void requestPageHeader();
    void saveSite();
    void deleteSite();
    void listAllLinks();
    void clearResults();
    void showPlainText();
    void suggestKeywords();
    void searchRelated();
    // Fetches the site box's page on a worker, parses it and appends the lines `walk` finds.
    void parseAndList(const char* tool, std::vector<std::string> (*walk)(const ParsedPage& page));
    // Appends the lines `walk` finds in the parsed page, unless run `run` was cancelled.
    void listParsed(unsigned run, const std::string& tool, std::vector<std::string> (*walk)(const ParsedPage& page));
    // Starts `job` on a worker: the page shows it busy until endRun.
    void startRun(const std::string& status, std::function<void(const WebContext&, const Worker::Post&)> job);
    // Shows the page busy (busy cursor, request buttons off) with `status` in the status line.
    void beginRun(const std::string& status);
    void endRun(const std::string& status);
    // Appends what a one-request tool answered and ends its run.
    void showAnswer(const char* tool, const Result<std::string>& answer);
    void setStatus(const std::string& gbk);
    // A click into the results area shows their size in GBK bytes.
    void showResultSize();
    void setDropDown(const QStringList& items);

    QFrame* m_toolBar;
    QCheckBox* m_baiduBox;
    QCheckBox* m_googleBox;
    QCheckBox* m_sosoBox; // the four hidden boxes have no effect
    QCheckBox* m_yahooBox;
    QCheckBox* m_youdaoBox;
    QCheckBox* m_sogouBox;
    QPushButton* m_saveSiteButton;
    QPushButton* m_deleteSiteButton;
    QComboBox* m_siteBox;
    QPushButton* m_indexQueryButton;
    QPushButton* m_headAnalysisButton;
    QPushButton* m_pageHeaderButton;
    QPushButton* m_allLinksButton;
    QPushButton* m_plainTextButton;
    QLabel* m_resultSizeLabel;
    QPushButton* m_clearButton;
    QLineEdit* m_keywordBox;
    QPushButton* m_suggestKeywordsButton;
    QPushButton* m_relatedSearchButton;
    QLabel* m_statusLine;
    QPlainTextEdit* m_results;
    QtClientSocket* m_headSocket;

    Options m_options;
    PageParser& m_parser;
    std::unique_ptr<QtUiDispatcher> m_ui;
    bool m_busy = false; // one tool at a time: a press while one runs is ignored
    unsigned m_run = 0;  // counts runs, so a late step of a cancelled one does nothing
    std::unique_ptr<HeadProbe> m_headProbe;
    Worker m_worker; // the tools' requests; stopped before the members its tasks use go
};

} // namespace quill
