#include "gui/DecodePage.h"

#include "gui/ErrorBoxDialog.h"
#include "gui/QtGbk.h"
#include "gui/WidgetSetup.h"
#include "text/DecodeActions.h"

#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace quill {
DecodePage::DecodePage(QWidget* parent) : QWidget(parent)
{
    m_input = named(new QPlainTextEdit(this), "Memo3");
    // The buttons read the input as GBK, which cannot hold every character a paste may bring.
    m_input->setToolTip(QString::fromUtf8("按GBK编码处理：GBK中没有的字符当作“?”"));
    m_output = named(new QPlainTextEdit(this), "Memo2");
    m_urlToChineseButton = makeButton(this, "Button10", "URL转汉字");
    m_utf8ToGbButton = makeButton(this, "Button11", "UTF8码转GB");
    m_splitPhrasesButton = makeButton(this, "Button18", "分词");

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(m_urlToChineseButton);
    buttons->addWidget(m_utf8ToGbButton);
    buttons->addWidget(m_splitPhrasesButton);
    buttons->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_input, 1);
    layout->addLayout(buttons);
    layout->addWidget(m_output, 1);

    connect(m_urlToChineseButton, &QPushButton::clicked, this, &DecodePage::convertUrlToChinese);
    connect(m_utf8ToGbButton, &QPushButton::clicked, this, &DecodePage::convertUtf8ToGb);
    connect(m_splitPhrasesButton, &QPushButton::clicked, this, &DecodePage::splitIntoPhrases);
}

std::string DecodePage::inputText() const { return withCrLf(toGbk(m_input->toPlainText())); }

void DecodePage::appendResult(const Result<std::string>& result)
{
    if (!result) {
        showErrorBox(this, result.status().message());
        return;
    }
    m_output->appendPlainText(fromGbk(result.value()));
}

void DecodePage::convertUrlToChinese() { appendResult(urlToChinese(inputText())); }

void DecodePage::convertUtf8ToGb() { appendResult(utf8ToGb(inputText())); }

void DecodePage::splitIntoPhrases()
{
    const std::vector<std::string> phrases = distinctPhrases(inputText());
    std::string lines;
    for (size_t i = 0; i < phrases.size(); ++i) {
        if (i > 0)
            lines += '\n';
        lines += phrases[i];
    }
    m_output->setPlainText(fromGbk(lines));
}

} // namespace quill
