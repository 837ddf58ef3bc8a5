#pragma once
// The "解码" page: the input Memo3, the output Memo2 and the buttons that decode and split text.

#include "platform/Status.h"

#include <QWidget>
#include <string>

class QPlainTextEdit;
class QPushButton;

namespace quill {

class DecodePage : public QWidget {
    Q_OBJECT
public:
    explicit DecodePage(QWidget* parent = nullptr);

    QPlainTextEdit* Memo3;  // input
    QPlainTextEdit* Memo2;  // output
    QPushButton* Button10;  // URL转汉字
    QPushButton* Button11;  // UTF8码转GB
    QPushButton* Button18;  // 分词

private:
    void Button10Click();
    void Button11Click();
    void Button18Click();
    // Memo3 as GBK text with its lines joined by CR LF.
    std::string inputText() const;
    // A result as one new line at the end of Memo2; a failure in the error box, Memo2 unchanged.
    void appendResult(const Result<std::string>& result);
};

} // namespace quill
