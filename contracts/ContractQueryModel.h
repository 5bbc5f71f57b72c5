#pragma once
// The rows of the contract list behind the query window's table view: head
// rows with all columns, continuation rows with product, quantity and unit
// only, and in column 21 of every row the id of its contract's head row.
//
// A list filled from ListLines knows at first only each line's id, number
// and attachment mark. The other texts are read by id when a row is asked
// for, a block of rows around it in one statement (growing while the reader
// goes straight down the list, as an export does), and only the most recent
// few thousand lines are kept. So a row far down shows the values stored
// when it is first shown, which may be newer than the filter; what the list
// itself was told (setState, editLines) stays as it was told.

#include "contracts/ContractQuery.h"

#include <QAbstractTableModel>
#include <QHash>
#include <QVector>
#include <functional>

namespace cg {

// One selected contract: its head row and the id in column 21.
struct SelectedContract {
    int headRow = -1;
    qint64 id = 0;
};

class ContractListModel : public QAbstractTableModel {
    Q_OBJECT
public:
    explicit ContractListModel(QObject *parent = nullptr);

    // Shows lines grouped by GroupContractLines, with all their texts.
    void setLines(QVector<ContractLine> lines);
    // Shows lines grouped by GroupContractLines; the texts are read through
    // lines.db when shown, the first block at once.
    void setLines(ListLines lines);
    void clear();

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // The text a row shows in a column (empty outside the row's columns).
    // May read the texts of the row and the rows after it.
    QString cell(int row, int column) const;
    bool isHead(int row) const;
    // Column 21: the id of the contract's head row.
    qint64 contractId(int row) const;
    // The id of the line the row shows.
    qint64 lineId(int row) const;
    int contractCount() const { return m_contracts; }

    int rowOfLine(qint64 lineId) const;

    // One entry per contract among the rows, bottom row first.
    QVector<SelectedContract> selection(QList<int> rows) const;

    // Sets the state column of a head row.
    void setState(int headRow, const QString &state);
    // Removes the rows of one contract starting at its head row; the number
    // of rows removed.
    int removeContract(int headRow, qint64 id);
    // Removes the row of one line. A head row hands its place to the next
    // line of the contract, which becomes the head row with all columns.
    void removeLine(qint64 lineId);
    // Lets edit change the stored values of the given lines that are shown.
    void editLines(const QVector<qint64> &lineIds, const std::function<void(ContractLine &)> &edit);

    // Find marks.
    void clearHighlights();
    // Marks every row whose cell in column contains text (letter case
    // counts); the rows marked.
    QVector<int> highlightMatching(int column, const QString &text);
    bool isHighlighted(int row) const;

private:
    // Texts an edit put in place of the stored ones, for the columns in
    // the mask.
    struct EditedCells {
        quint32 columns = 0;
        LineCells cells;
    };
    static constexpr quint32 kAllColumns = (1u << ListColumn::Attachment) - 1;

    void reset(QVector<qint64> ids, PackedTexts numbers, QVector<bool> marks);
    // Marks the lines of the contracts whose numbers are given.
    void markContracts(const PackedTexts &attached);
    void recount();
    // The text of a line in one of the columns 0–19, reading it if needed
    // (row: where the line is shown, to read the rows around it).
    QString text(int row, int line, int column) const;
    bool hasTexts(int line) const;
    bool edited(int line, int column) const;
    // Reads the texts of the rows around row that has none.
    void readAround(int row) const;
    // Reads the texts of lines into the ring.
    void readLines(const QVector<int> &lines) const;
    const LineCells *cached(int line) const;
    int lineOfId(qint64 id) const;

    // Per line, in the order read.
    QVector<qint64> m_ids;
    PackedTexts m_numbers;
    QVector<bool> m_marks;
    QVector<LineCells> m_given;   // all texts, when the lines came with them

    QVector<ListRow> m_rows;
    QVector<bool> m_highlight;
    int m_contracts = 0;
    QHash<int, EditedCells> m_edits;   // by line; the number too, in place of m_numbers

    // Where texts are read from when not given.
    DbConnection *m_db = nullptr;
    QString m_table;
    Filter m_filter;
    bool m_newestFirst = false;   // m_ids descending: lines found by halving

    // Texts read so far: a ring of slots, each holding one line's texts,
    // the oldest overwritten first; per line the slot that holds it, or -1.
    mutable QVector<LineCells> m_slots;
    mutable QVector<int> m_slotLine;   // per slot: its line, or -1
    mutable QVector<int> m_slotOf;     // per line
    mutable int m_nextSlot = 0;
    mutable int m_nextRow = -1;        // the row after the last rows read
    mutable int m_block = 0;
};

} // namespace cg
