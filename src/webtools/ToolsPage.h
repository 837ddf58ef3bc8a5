#pragma once
// The "体验" page: the site and keyword boxes, the web tools' buttons and the results area.

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
class PageParser;

class ToolsPage : public QWidget {
    Q_OBJECT
public:
    struct Options {
        std::string siteListPath; // the saved site list; empty: "test.xml" in the current folder
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
    // Fetches the site box's page, parses it and appends the lines `walk` finds in the tree.
    void parseAndList(std::vector<std::string> (*walk)(const ParsedPage& page));
    // Keeps dispatching events until the parser is idle.
    void waitForParser();
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
    QPlainTextEdit* m_results;
    QtClientSocket* m_headSocket;

    Options m_options;
    PageParser& m_parser;
    bool m_parsing = false; // "HEAD 分析" or "所有链接" waits for its parse
    std::unique_ptr<HeadProbe> m_headProbe;
};

} // namespace quill
