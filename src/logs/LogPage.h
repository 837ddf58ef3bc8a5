#pragma once
// The "日志分析" page: filter boxes, the log-file box, the search box, the summary line, the two
// colour boxes and the virtual record list.

#include "logs/LogAnalysis.h"
#include "settings/ColourNames.h"

#include <QWidget>

class QCheckBox;
class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;

namespace quill {

class ColorBoxWidget;
class LogRecordModel;

class LogPage : public QWidget {
    Q_OBJECT
public:
    LogPage(LogAnalysis& analysis, QWidget* parent = nullptr);

    // The filter boxes and the search text as they stand now.
    FilterSnapshot filterSnapshot() const;
    // Sets the twelve boxes the settings keep (audio and search are not among them).
    void setSavedBoxes(const FilterSnapshot& boxes);

    // The folder whose log files the log-file box lists.
    void setLogFolder(const QString& folder) { m_logFolder = folder; }
    const QString& logFolder() const { return m_logFolder; }
    // Lists the "*.log" entries of the log folder; optionally selects the last one (loading nothing).
    void listLogFiles(bool selectLast);

    void setListColours(TColor background, TColor text);
    TColor listBackground() const;
    TColor listText() const;

    // "刷新日志" and choosing an entry of the log-file box: empty the list and load the file named
    // by the box's text.
    void reload();

    QCheckBox* CheckBox1;  // 过滤图片
    QCheckBox* CheckBox2;  // 过滤200
    QCheckBox* CheckBox3;  // 蜘蛛
    QCheckBox* CheckBox4;  // 百度
    QCheckBox* CheckBox5;  // google
    QCheckBox* CheckBox6;  // SOSO
    QCheckBox* CheckBox7;  // 雅虎
    QCheckBox* CheckBox8;  // 搜狗
    QCheckBox* CheckBox9;  // MSN
    QCheckBox* CheckBox10; // 有道
    QCheckBox* CheckBox17; // 过滤音频
    QCheckBox* CheckBox31; // 过滤本站XMLhttp
    QCheckBox* CheckBox32; // 过滤蜘蛛
    QComboBox* cbb1;
    QPushButton* Button2;
    QLineEdit* Edit2;
    QLabel* Label4;
    ColorBoxWidget* ColorBox1;
    ColorBoxWidget* ColorBox2;
    QTableView* lv2;
    LogRecordModel* model() const { return m_model; }

private:
    QCheckBox* makeBox(const char* name, const char* caption, bool checked);
    void applyListColours();

    LogAnalysis& m_analysis;
    LogRecordModel* m_model;
    QString m_logFolder;
};

} // namespace quill
