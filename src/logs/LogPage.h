#pragma once
// The "日志分析" page: filter boxes, the log-file box, the search box, the summary line, the two
// colour boxes and the virtual record list.

#include "logs/LogAnalysis.h"
#include "settings/ColourNames.h"

#include <QWidget>
#include <optional>
#include <string>

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

    // The client address of the first selected row; nothing when no row is selected.
    std::optional<std::string> selectedClientAddress() const;
    // Replaces the summary line under the filters (the IP lookup shows its answer there).
    void showSummary(const QString& text);
    // The record list, where the window hangs its context menu.
    QTableView* recordView() const { return m_recordView; }
    LogRecordModel* model() const { return m_model; }

private:
    void applyListColours();

    QCheckBox* m_imagesBox;
    QCheckBox* m_status200Box;
    QCheckBox* m_spidersBox;
    QCheckBox* m_baiduBox;
    QCheckBox* m_googleBox;
    QCheckBox* m_sosoBox;
    QCheckBox* m_yahooBox;
    QCheckBox* m_sogouBox;
    QCheckBox* m_msnBox;
    QCheckBox* m_youdaoBox;
    QCheckBox* m_audioBox;
    QCheckBox* m_ownXmlHttpBox;
    QCheckBox* m_noSpidersBox;
    QComboBox* m_logFileBox;
    QPushButton* m_reloadButton;
    QLineEdit* m_searchBox;
    QLabel* m_summaryLabel;
    ColorBoxWidget* m_backgroundColourBox;
    ColorBoxWidget* m_textColourBox;
    QTableView* m_recordView;
    LogAnalysis& m_analysis;
    LogRecordModel* m_model;
    QString m_logFolder;
};

} // namespace quill
