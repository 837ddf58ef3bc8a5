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
    ToolsPage(Options options, PageParser& UIHTMLParser1, QWidget* parent = nullptr);
    ~ToolsPage() override;

    QFrame* Panel2;
    QCheckBox* CheckBox11; // 百度
    QCheckBox* CheckBox12; // Google
    QCheckBox* CheckBox13; // the four hidden boxes have no effect
    QCheckBox* CheckBox14;
    QCheckBox* CheckBox15;
    QCheckBox* CheckBox16;
    QPushButton* Button12; // 保存
    QPushButton* Button13; // 删除
    QComboBox* ComboBox1;  // the site address
    QPushButton* Button6;  // 批量查询
    QPushButton* Button7;  // HEAD 分析
    QPushButton* Button8;  // 页面头
    QPushButton* Button14; // 所有链接
    QPushButton* Button16; // 纯文本
    QLabel* Label3;
    QPushButton* Button15; // 清空
    QLineEdit* Edit1;      // the keyword
    QPushButton* Button17; // 相关词补充
    QPushButton* Button20; // 相关搜索
    QPlainTextEdit* Memo1;
    QtClientSocket* CS1;

    // Fills the drop-down from the saved site list, creating the file when it is missing or
    // unreadable; true when it existed and was read.
    bool loadSiteList();
    // Appends GBK text to the results area as lines.
    void appendLine(const std::string& gbk);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Button6Click();
    void Button7Click();
    void Button8Click();
    void Button12Click();
    void Button13Click();
    void Button14Click();
    void Button15Click();
    void Button16Click();
    void Button17Click();
    void Button20Click();
    // Fetches the site box's page, parses it and appends the lines `walk` finds in the tree.
    void parseAndList(std::vector<std::string> (*walk)(const ParsedPage& page));
    // Keeps dispatching events until the parser is idle.
    void waitForParser();
    void Memo1MouseDown();
    void setDropDown(const QStringList& items);

    Options m_options;
    PageParser& m_parser;
    bool m_parsing = false; // "HEAD 分析" or "所有链接" waits for its parse
    std::unique_ptr<HeadProbe> m_headProbe;
};

} // namespace quill
