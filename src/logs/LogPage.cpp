#include "logs/LogPage.h"

#include "logs/LogRecordModel.h"
#include "logs/RowTexts.h"
#include "platform/FileSystem.h"
#include "qt/ColorBoxWidget.h"
#include "qt/ErrorBoxDialog.h"
#include "qt/QtGbk.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

namespace quill {

LogPage::LogPage(LogAnalysis& analysis, QWidget* parent) : QWidget(parent), m_analysis(analysis)
{
    const FilterSnapshot design;
    CheckBox4 = makeBox("CheckBox4", "百度", design.baidu);
    CheckBox5 = makeBox("CheckBox5", "google", design.google);
    CheckBox6 = makeBox("CheckBox6", "SOSO", design.soso);
    CheckBox7 = makeBox("CheckBox7", "雅虎", design.yahoo);
    CheckBox8 = makeBox("CheckBox8", "搜狗", design.sogou);
    CheckBox9 = makeBox("CheckBox9", "MSN", design.msn);
    CheckBox10 = makeBox("CheckBox10", "有道", design.youdao);
    CheckBox3 = makeBox("CheckBox3", "蜘蛛", design.spiders);
    CheckBox1 = makeBox("CheckBox1", "过滤图片", design.images);
    CheckBox17 = makeBox("CheckBox17", "过滤音频", design.audio);
    CheckBox32 = makeBox("CheckBox32", "过滤蜘蛛", design.noSpiders);
    CheckBox2 = makeBox("CheckBox2", "过滤200", design.status200);
    CheckBox31 = makeBox("CheckBox31", "过滤本站XMLhttp", design.ownXmlHttp);

    cbb1 = new QComboBox(this);
    cbb1->setObjectName(QStringLiteral("cbb1"));
    cbb1->setEditable(true);
    cbb1->setInsertPolicy(QComboBox::NoInsert);
    cbb1->setMinimumWidth(180);
    Button2 = new QPushButton(QString::fromUtf8("刷新日志"), this);
    Button2->setObjectName(QStringLiteral("Button2"));
    Edit2 = new QLineEdit(this);
    Edit2->setObjectName(QStringLiteral("Edit2"));
    Edit2->setMaximumWidth(180);
    Label4 = new QLabel(this);
    Label4->setObjectName(QStringLiteral("Label4"));
    ColorBox1 = new ColorBoxWidget(this);
    ColorBox1->setObjectName(QStringLiteral("ColorBox1"));
    ColorBox1->setColor(0x00F0CAA6); // clSkyBlue
    ColorBox2 = new ColorBoxWidget(this);
    ColorBox2->setObjectName(QStringLiteral("ColorBox2"));
    ColorBox2->setColor(0x00000000); // clBlack

    m_model = new LogRecordModel(analysis, this);
    lv2 = new QTableView(this);
    lv2->setObjectName(QStringLiteral("lv2"));
    lv2->setModel(m_model);
    lv2->setShowGrid(true);
    lv2->setSelectionBehavior(QAbstractItemView::SelectRows);
    lv2->setSelectionMode(QAbstractItemView::ExtendedSelection);
    lv2->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lv2->setWordWrap(false);
    lv2->setSortingEnabled(false);
    lv2->verticalHeader()->hide();
    // Fixed row heights: the view never measures rows, so millions of them cost nothing.
    lv2->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    lv2->verticalHeader()->setDefaultSectionSize(lv2->fontMetrics().height() + 4);
    QHeaderView* header = lv2->horizontalHeader();
    header->setSectionResizeMode(QHeaderView::Interactive);
    header->setSectionsClickable(true);
    header->setHighlightSections(false);
    for (int column = 0; column < kColumnCount; ++column)
        header->resizeSection(column, LogRecordModel::width(column));
    connect(header, &QHeaderView::sectionClicked, m_model, &LogRecordModel::clickColumn);

    auto* engines = new QHBoxLayout;
    for (QCheckBox* box : {CheckBox4, CheckBox5, CheckBox6, CheckBox7, CheckBox8, CheckBox9, CheckBox10, CheckBox3})
        engines->addWidget(box);
    engines->addStretch();
    auto* filters = new QHBoxLayout;
    for (QCheckBox* box : {CheckBox1, CheckBox17, CheckBox32, CheckBox2, CheckBox31})
        filters->addWidget(box);
    filters->addStretch();
    filters->addWidget(cbb1);
    filters->addWidget(Button2);
    auto* third = new QHBoxLayout;
    third->addWidget(Edit2);
    third->addWidget(Label4, 1);
    third->addWidget(ColorBox1);
    third->addWidget(ColorBox2);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(4, 4, 4, 4);
    layout->setSpacing(3);
    layout->addLayout(engines);
    layout->addLayout(filters);
    layout->addLayout(third);
    layout->addWidget(lv2, 1);

    connect(Button2, &QPushButton::clicked, this, &LogPage::reload);
    connect(cbb1, &QComboBox::activated, this, &LogPage::reload);
    connect(ColorBox1, &ColorBoxWidget::colorChanged, this, &LogPage::applyListColours);
    connect(ColorBox2, &ColorBoxWidget::colorChanged, this, &LogPage::applyListColours);
    applyListColours();
}

QCheckBox* LogPage::makeBox(const char* name, const char* caption, bool checked)
{
    auto* box = new QCheckBox(QString::fromUtf8(caption), this);
    box->setObjectName(QString::fromLatin1(name));
    box->setChecked(checked);
    return box;
}

FilterSnapshot LogPage::filterSnapshot() const
{
    FilterSnapshot filters;
    filters.images = CheckBox1->isChecked();
    filters.status200 = CheckBox2->isChecked();
    filters.spiders = CheckBox3->isChecked();
    filters.baidu = CheckBox4->isChecked();
    filters.google = CheckBox5->isChecked();
    filters.soso = CheckBox6->isChecked();
    filters.yahoo = CheckBox7->isChecked();
    filters.sogou = CheckBox8->isChecked();
    filters.msn = CheckBox9->isChecked();
    filters.youdao = CheckBox10->isChecked();
    filters.audio = CheckBox17->isChecked();
    filters.ownXmlHttp = CheckBox31->isChecked();
    filters.noSpiders = CheckBox32->isChecked();
    filters.search = toGbk(Edit2->text());
    return filters;
}

void LogPage::setSavedBoxes(const FilterSnapshot& boxes)
{
    CheckBox1->setChecked(boxes.images);
    CheckBox2->setChecked(boxes.status200);
    CheckBox3->setChecked(boxes.spiders);
    CheckBox4->setChecked(boxes.baidu);
    CheckBox5->setChecked(boxes.google);
    CheckBox6->setChecked(boxes.soso);
    CheckBox7->setChecked(boxes.yahoo);
    CheckBox8->setChecked(boxes.sogou);
    CheckBox9->setChecked(boxes.msn);
    CheckBox10->setChecked(boxes.youdao);
    CheckBox31->setChecked(boxes.ownXmlHttp);
    CheckBox32->setChecked(boxes.noSpiders);
}

void LogPage::listLogFiles(bool selectLast)
{
    cbb1->clear();
    for (const std::string& name : quill::listLogFiles(toPath(m_logFolder)))
        cbb1->addItem(fromPath(name));
    cbb1->setCurrentIndex(selectLast ? cbb1->count() - 1 : -1);
}

void LogPage::setListColours(TColor background, TColor text)
{
    ColorBox1->setColor(background);
    ColorBox2->setColor(text);
    applyListColours();
}

TColor LogPage::listBackground() const { return ColorBox1->color(); }

TColor LogPage::listText() const { return ColorBox2->color(); }

void LogPage::applyListColours()
{
    QPalette colours = lv2->palette();
    colours.setColor(QPalette::Base, toQColor(ColorBox1->color(), palette()));
    colours.setColor(QPalette::Text, toQColor(ColorBox2->color(), palette()));
    lv2->setPalette(colours);
}

void LogPage::reload()
{
    m_model->clear();
    const QString path = m_logFolder + QChar::fromLatin1(kPathSeparator) + cbb1->currentText();
    const LogAnalysis::LoadResult result = m_model->load(toPath(path), filterSnapshot());
    if (!result.outcome.ok())
        showErrorBox(this, result.outcome.status().message());
    else if (result.read())
        Label4->setText(fromGbk(summaryLine(result.elapsedMs, m_analysis.store().count())));
}

} // namespace quill
