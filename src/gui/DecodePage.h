#pragma once
// The "解码" page: the input and output boxes and the buttons that decode and split text.

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

private:
    void convertUrlToChinese();
    void convertUtf8ToGb();
    void splitIntoPhrases();
    // m_input as GBK text with its lines joined by CR LF.
    std::string inputText() const;
    // A result as one new line at the end of m_output; a failure in the error box, m_output unchanged.
    void appendResult(const Result<std::string>& result);

    QPlainTextEdit* m_input;
    QPlainTextEdit* m_output;
    QPushButton* m_urlToChineseButton;
    QPushButton* m_utf8ToGbButton;
    QPushButton* m_splitPhrasesButton;
};

} // namespace quill
