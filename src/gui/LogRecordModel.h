#pragma once
// The record list's model: a view of the log analysis' record store in display order. It holds
// no rows; it formats only the cells the view asks for. An 18th column shows the crawler check's
// verdicts (the page hides it while the check is off), and "只看伪装" narrows the rows to fakes.

#include "logs/LogAnalysis.h"
#include "verify/Verdict.h"

#include <QAbstractTableModel>

namespace quill {

class LogRecordModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit LogRecordModel(LogAnalysis& analysis, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Loads a file into the store, with one model reset around it; `toFollow` as LogAnalysis::load.
    LogAnalysis::LoadResult load(const std::string& path, const FilterSnapshot& filters, bool toFollow = false);
    // Adds the rows of followed records: after the others in file order, or each at its sorted
    // place. The rows already there keep their selection and current cell; no reset. Fails when
    // memory runs out, with the rows as they were.
    Status appendFollowed(FollowBatch batch);
    // Empties the list, as the triggers of a load do first.
    void clear();
    // A click on a column header: the engine's sort, with one model reset.
    void clickColumn(int column);
    // True while the rows still show the bytes their file held when it was loaded; otherwise
    // empties the list (one model reset) and emits rowsWithdrawn. Every cell the view asks for
    // is checked this way once its text is taken.
    bool confirmRows();

    // While `held`, the store is read elsewhere (an export): rows found changed are emptied only
    // once it is released.
    void holdStore(bool held);

    // The verdicts of the loaded records (file order); empty: none. A load or clear drops them.
    void setVerdicts(std::vector<Verdict> verdicts);
    const std::vector<Verdict>& verdicts() const { return m_verdicts; }
    // Show only the rows whose verdict is 伪装.
    void setOnlyFakes(bool onlyFakes);
    // The store rows (display order) the list shows while only fakes show; otherwise null.
    const std::vector<std::uint32_t>* narrowedRows() const { return m_onlyFakes ? &m_fakeRows : nullptr; }
    // The store's row (display order) shown in list row `row`.
    std::uint32_t storeRow(int row) const;

    static constexpr int kVerdictColumn = kColumnCount;

signals:
    // The file changed under the loaded rows, which are gone; `text` says so for the summary line.
    void rowsWithdrawn(const QString& text);

public:
    // Caption and width in pixels of each column.
    static QString caption(int column);
    static int width(int column);

private:
    void refilter();
    void withdrawRows();
    // Rows were added at the end; moves them and the earlier rows to where they stand now, each
    // earlier row i to i + the number of `placedBefore` entries <= i.
    void placeAddedRows(int earlierRows, const std::vector<std::uint32_t>& placedBefore);
    // The narrowed rows became `rows`; they keep their selection when the old ones are among them.
    void narrowTo(std::vector<std::uint32_t> rows);

    LogAnalysis& m_analysis;
    std::vector<Verdict> m_verdicts;
    bool m_onlyFakes = false;
    std::vector<std::uint32_t> m_fakeRows; // store rows shown while only fakes are shown
    mutable bool m_withdrawing = false; // the rows go at the next turn of the event loop
    bool m_storeHeld = false;
};

} // namespace quill
