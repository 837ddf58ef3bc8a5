#include "UiTestSupport.h"
#include "app/MainWindow.h"
#include "gui/DecodePage.h"

#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <gtest/gtest.h>

using namespace quill;
using namespace quill::test;

namespace {


// Types `input` into the input box of `page`, whose output box holds `before`, and presses `button`.
void press(DecodePage& page, const char* button, const char* input, const char* before = "")
{
    child<QPlainTextEdit>(&page, "Memo3")->setPlainText(QString::fromUtf8(input));
    child<QPlainTextEdit>(&page, "Memo2")->setPlainText(QString::fromUtf8(before));
    QTest::mouseClick(child<QPushButton>(&page, button), Qt::LeftButton);
}

} // namespace

TEST(DecodePage, buttonsShowTheirResultsInMemo2)
{
    struct Case {
        const char* button;
        const char* input;
        const char* before;
        const char* after;
    };
    const Case cases[] = {
        // GBK escapes from a search address; "+" is a space
        {"Button10", "wd=%C4%E3%BA%C3+%B0%D9%B6%C8&ie=gb2312", "", "wd=你好 百度&ie=gb2312"},
        // UTF-8 escapes read as GBK bytes give unrelated characters
        {"Button10", "%E4%BD%A0", "", "浣\xEF\xBF\xBD"},
        {"Button11", "q=%E4%BD%A0%E5%A5%BD+world", "", "q=你好 world"},
        {"Button11", "%C4%E3", "", "?"},
        // results go below what the output box holds; a multi-line input keeps its lines
        {"Button10", "a%20b\nc+d", "earlier", "earlier\na b\nc d"},
        {"Button11", "%E4%BD%A0\n%E5%A5%BD", "earlier", "earlier\n你\n好"},
        {"Button10", "%%41", "", "%41"},
        // a decoded NUL ends the appended text
        {"Button10", "ab%00cd", "", "ab"},
        {"Button11", "ab%00cd", "x", "x\nab"},
        // a character GBK lacks reaches the decoder as "?"
        {"Button10", "😀%41", "", "?A"},
        // "分词" replaces the output with the distinct phrases
        {"Button18", "百度，谷歌、百度 搜狗\n谷歌", "old", "百度\n谷歌\n搜狗"},
        {"Button18", "a b a", "", "a\nb"},
        {"Button18", "", "old", ""},
    };
    DecodePage page;
    page.show();
    for (const Case& c : cases) {
        press(page, c.button, c.input, c.before);
        EXPECT_EQ(child<QPlainTextEdit>(&page, "Memo2")->toPlainText(), QString::fromUtf8(c.after)) << c.input;
        EXPECT_EQ(child<QPlainTextEdit>(&page, "Memo3")->toPlainText(), QString::fromUtf8(c.input));
    }
}

TEST(DecodePage, resultsGatherUntilPhrasesReplaceThem)
{
    DecodePage page;
    page.show();
    child<QPlainTextEdit>(&page, "Memo3")->setPlainText(QStringLiteral("%C4%E3+a"));
    QTest::mouseClick(child<QPushButton>(&page, "Button10"), Qt::LeftButton);
    QTest::mouseClick(child<QPushButton>(&page, "Button10"), Qt::LeftButton);
    child<QPlainTextEdit>(&page, "Memo3")->setPlainText(QStringLiteral("%E5%A5%BD"));
    QTest::mouseClick(child<QPushButton>(&page, "Button11"), Qt::LeftButton);
    EXPECT_EQ(child<QPlainTextEdit>(&page, "Memo2")->toPlainText(), QString::fromUtf8("你 a\n你 a\n好"));
    QTest::mouseClick(child<QPushButton>(&page, "Button18"), Qt::LeftButton);
    EXPECT_EQ(child<QPlainTextEdit>(&page, "Memo2")->toPlainText(), QStringLiteral("%E5%A5%BD"));
}

TEST(DecodePage, badEscapesShowTheErrorBoxAndLeaveMemo2)
{
    struct Case {
        const char* button;
        const char* input;
        const char* message;
    };
    const Case cases[] = {
        {"Button10", "abc%4", "Error decoding URL style (%XX) encoded string at position 4."},
        {"Button11", "%E4%BD%", "Error decoding URL style (%XX) encoded string at position 7."},
        // the line break counts as CR LF in the position
        {"Button11", "x\n%G1", "Invalid URL encoded character (%G1) at position 4."},
        {"Button10", "%C4%E3%%%zz", "Invalid URL encoded character (%zz) at position 9."},
    };
    DecodePage page;
    page.show();
    for (const Case& c : cases) {
        MessageBoxes boxes;
        press(page, c.button, c.input, "kept\nlines");
        EXPECT_EQ(boxes.texts(), QStringList{QString::fromUtf8(c.message)}) << c.input;
        EXPECT_EQ(child<QPlainTextEdit>(&page, "Memo2")->toPlainText(), QStringLiteral("kept\nlines"));
    }
}

TEST(DecodePage, aNulQuotedInTheErrorShowsAndEndsNothing)
{
    DecodePage page;
    page.show();
    MessageBoxes boxes;
    child<QPlainTextEdit>(&page, "Memo3")->setPlainText(QStringLiteral("ab%") + QChar(0) + QStringLiteral("A"));
    QTest::mouseClick(child<QPushButton>(&page, "Button10"), Qt::LeftButton);
    EXPECT_EQ(boxes.texts(), QStringList{QStringLiteral("Invalid URL encoded character (%\\0A) at position 3.")});
}

TEST(DecodePage, isTheDecodeTabOfTheMainWindow)
{
    TempFolder folder;
    MainWindow::Options options;
    options.settingsPath = folder.file("settings.ini");
    options.siteListPath = folder.file("test.xml");
    options.logFolderForRun = QString::fromStdString(folder.path());
    MainWindow form(options);
    form.show();
    // The tab's sheet holds the page and goes by its name.
    ASSERT_TRUE(child<QWidget>(&form, "TabSheet1")->isAncestorOf(child<DecodePage>(&form, "TabSheet1")));
    child<QTabWidget>(&form, "PageControl")->setCurrentWidget(child<QWidget>(&form, "TabSheet1"));
    DecodePage* page = child<DecodePage>(&form, "TabSheet1");
    child<QPlainTextEdit>(page, "Memo3")->setPlainText(QString::fromUtf8("http://www.baidu.com/s?wd=%C4%E3%BA%C3+%CA%C0%BD%E7"));
    QTest::mouseClick(child<QPushButton>(page, "Button10"), Qt::LeftButton);
    child<QPlainTextEdit>(page, "Memo3")->setPlainText(QString::fromUtf8("q=%E4%BD%A0%E5%A5%BD%EF%BC%8C%E4%B8%96%E7%95%8C\nie=utf-8"));
    QTest::mouseClick(child<QPushButton>(page, "Button11"), Qt::LeftButton);
    EXPECT_EQ(child<QPlainTextEdit>(page, "Memo2")->toPlainText(),
              QString::fromUtf8("http://www.baidu.com/s?wd=你好 世界\nq=你好，世界\nie=utf-8"));
    screenshot(&form, "decode-page");
}
