#include "text/DecodePage.h"

#include "qt/ErrorBoxDialog.h"
#include "qt/QtGbk.h"
#include "text/DecodeActions.h"

#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace quill {
namespace {

QPushButton* makeButton(QWidget* parent, const char* name, const char* caption)
{
    auto* button = new QPushButton(QString::fromUtf8(caption), parent);
    button->setObjectName(QString::fromLatin1(name));
    return button;
}

} // namespace

DecodePage::DecodePage(QWidget* parent) : QWidget(parent)
{
    Memo3 = new QPlainTextEdit(this);
    Memo3->setObjectName(QStringLiteral("Memo3"));
    // The buttons read the input as GBK, which cannot hold every character a paste may bring.
    Memo3->setToolTip(QString::fromUtf8("按GBK编码处理：GBK中没有的字符当作“?”"));
    Memo2 = new QPlainTextEdit(this);
    Memo2->setObjectName(QStringLiteral("Memo2"));
    Button10 = makeButton(this, "Button10", "URL转汉字");
    Button11 = makeButton(this, "Button11", "UTF8码转GB");
    Button18 = makeButton(this, "Button18", "分词");

    auto* buttons = new QHBoxLayout;
    buttons->addWidget(Button10);
    buttons->addWidget(Button11);
    buttons->addWidget(Button18);
    buttons->addStretch(1);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(Memo3, 1);
    layout->addLayout(buttons);
    layout->addWidget(Memo2, 1);

    connect(Button10, &QPushButton::clicked, this, &DecodePage::Button10Click);
    connect(Button11, &QPushButton::clicked, this, &DecodePage::Button11Click);
    connect(Button18, &QPushButton::clicked, this, &DecodePage::Button18Click);
}

std::string DecodePage::inputText() const { return withCrLf(toGbk(Memo3->toPlainText())); }

void DecodePage::appendResult(const Result<std::string>& result)
{
    if (!result) {
        showErrorBox(this, result.status().message());
        return;
    }
    Memo2->appendPlainText(fromGbk(result.value()));
}

void DecodePage::Button10Click() { appendResult(urlToChinese(inputText())); }

void DecodePage::Button11Click() { appendResult(utf8ToGb(inputText())); }

void DecodePage::Button18Click()
{
    const std::vector<std::string> phrases = distinctPhrases(inputText());
    std::string lines;
    for (size_t i = 0; i < phrases.size(); ++i) {
        if (i > 0)
            lines += '\n';
        lines += phrases[i];
    }
    Memo2->setPlainText(fromGbk(lines));
}

} // namespace quill
