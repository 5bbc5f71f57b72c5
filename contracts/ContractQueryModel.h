#pragma once
// The rows of the contract list behind the query window's table view: head
// rows with all columns, continuation rows with product, quantity and unit
// only, and in column 21 of every row the id of its contract's head row.

#include "contracts/ContractQuery.h"

#include <QAbstractTableModel>
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

    // Shows lines grouped by GroupContractLines.
    void setLines(QVector<ContractLine> lines);
    void clear();

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // The text a row shows in a column (empty outside the row's columns).
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
    void recount();

    QVector<ContractLine> m_lines;
    QVector<ListRow> m_rows;
    QVector<bool> m_highlight;
    int m_contracts = 0;
};

} // namespace cg
