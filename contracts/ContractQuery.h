#pragma once
// Finding contracts: the filter statement over one contract table, reading
// its lines, and grouping them into one head row per contract followed by a
// continuation row for each further line. No widgets here; the query window
// shows what these produce.

#include <QDate>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <QVector>
#include <array>

namespace cg {
class DbConnection;

// Columns of the contract list, in order. 0–19 are the line's own values,
// 20 the attachment mark of its contract, 21 the id that names the contract.
namespace ListColumn {
enum : int {
    State = 0, Number, Requester, Department, Buyer, Supplier, Product, Quantity, Unit,
    DocumentDate, EffectiveDate, ExpiryDate, Amount, PaymentTerms, First, Second, Third,
    Fourth, Remaining, TaxRate, Attachment, Id,
    Count
};
}

// "有附件", the mark of column 20.
inline const QString kAttachmentMark = QStringLiteral("有附件");

// One stored line as the list reads it.
struct ContractLine {
    std::array<QString, ListColumn::Attachment> cells;   // columns 0–19
    qint64 id = 0;
    bool contractHasAttachment = false;   // the contract's first row carries a PDF

    const QString &number() const { return cells[ListColumn::Number]; }
};

// One row of the list: the line it shows, and the id of its contract's head
// row (its own id for a head row).
struct ListRow {
    int line = -1;        // index into the lines
    qint64 headId = 0;
    bool head = false;
};

struct GroupedLines {
    QVector<ListRow> rows;
    int contracts = 0;
};

// Head rows in the order their contracts first appear, each followed at
// once by its further lines in the order given, wherever they stood.
GroupedLines GroupContractLines(const QVector<ContractLine> &lines);

// What the user asked for: the document date range and an optional
// condition on one column.
struct FilterInput {
    QDate start;
    QDate end;
    QString field;       // item text of the filter column drop-down; may be empty
    QString condition;   // text typed as condition; may be empty
};

// The condition part of a filter (after "where"), with its bound values.
struct Filter {
    bool datesOutOfOrder = false;   // start after end: nothing to run
    QString where;
    QVariantList params;
};

class ContractQuery {
public:
    // table: the contract table of the logged-in account set.
    ContractQuery(DbConnection &db, const QString &table);

    // The 19 filter columns, the 21 find columns and the 22 list headers.
    static const QStringList &filterFields();
    static const QStringList &findFields();
    static const QStringList &listHeaders();
    static const QVector<int> &listWidths();

    // Date texts as they are stored and compared: 2024-03-01.
    static QString dateText(const QDate &date);

    // The filter for the input. A field outside the fixed list counts as no
    // field; the column name in the statement is always the list's own text.
    // With 产品 the filter lists every line of each contract that has a
    // matching line inside the date range, whatever the dates of its other
    // lines.
    Filter buildFilter(const FilterInput &input) const;

    // The SELECT the list is filled from: the 20 values, the attachment
    // mark and id, newest line first.
    QString listSql(const Filter &filter) const;
    QString countSql(const Filter &filter) const;

    // Reads the lines of a filter; false when the statement could not run.
    bool read(const Filter &filter, QVector<ContractLine> &out) const;
    // Number of contracts the filter yields; -1 when it could not run.
    int countContracts(const Filter &filter) const;

    // 合同编号 of the line with that id; found is false when no row came back.
    QString numberOf(qint64 id, bool *found = nullptr) const;
    // The line with that id reads "已审核".
    bool isAudited(qint64 id) const;
    // The first row of the contract (lowest id) carries at least one byte.
    bool hasAttachment(const QString &number) const;
    // The stored attachment of the contract of the line with that id, as it
    // stands on its first row; empty when there is none.
    QByteArray storedAttachment(qint64 id) const;


private:
    DbConnection &m_db;
    QString m_table;
};

} // namespace cg
