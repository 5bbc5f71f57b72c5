#pragma once
// Finding contracts: the filter statement over one contract table, reading
// its lines, and grouping them into one head row per contract followed by a
// continuation row for each further line. No widgets here; the query window
// shows what these produce.

#include <QDate>
#include <QString>
#include <QStringList>
#include <QStringView>
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

// The texts of columns 0–19 of one line.
using LineCells = std::array<QString, ListColumn::Attachment>;

// One stored line as the list reads it.
struct ContractLine {
    LineCells cells;   // columns 0–19
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

// Many short texts in one buffer with one end offset each: a million
// contract numbers without a million allocations, and compared where they
// lie.
class PackedTexts {
public:
    void append(QStringView text)
    {
        m_text += text;
        m_ends.append(quint32(m_text.size()));
    }
    // One more text, the one write appends to the buffer it is given.
    template <typename Write> void appendWritten(Write &&write)
    {
        write(m_text);
        m_ends.append(quint32(m_text.size()));
    }
    QStringView at(int i) const
    {
        const quint32 begin = i > 0 ? m_ends.at(i - 1) : 0;
        return QStringView(m_text).mid(begin, m_ends.at(i) - begin);
    }
    int size() const { return int(m_ends.size()); }
    bool isEmpty() const { return m_ends.isEmpty(); }

private:
    QString m_text;
    QVector<quint32> m_ends;
};

struct GroupedLines {
    QVector<ListRow> rows;
    int contracts = 0;
};

// Head rows in the order their contracts first appear, each followed at
// once by its further lines in the order given, wherever they stood.
GroupedLines GroupContractLines(const QVector<ContractLine> &lines);
// The same over the numbers and ids of the lines, given in parallel.
GroupedLines GroupContractLines(const PackedTexts &numbers, const QVector<qint64> &ids);

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

struct ListLines;

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

    // The SELECT the list is filled from: 合同编号, the attachment mark and
    // id, newest line first. That is all grouping and counting need; the
    // other texts are read by id for the rows that are shown (textsSql).
    QString listSql(const Filter &filter) const;
    // 合同编号 of every contract whose first row (lowest id) carries bytes.
    QString attachedSql() const;
    // The same lines with all 20 values before the mark and id.
    QString linesSql(const Filter &filter) const;
    // The 20 values and id of the lines whose ids fill the idCount
    // placeholders.
    QString textsSql(int idCount) const;
    QString countSql(const Filter &filter) const;

    // Reads the lines of a filter with all their values; false when the
    // statement could not run.
    bool read(const Filter &filter, QVector<ContractLine> &out) const;
    // Reads what the list needs first (listSql); the list reads the rest
    // through out.db when it shows the rows.
    bool read(const Filter &filter, ListLines &out) const;
    // The values of the lines with the given ids, in no particular order;
    // ids not found are left out. Several statements for many ids, each with
    // at most kIdsPerStatement bound ids.
    bool readTexts(const QVector<qint64> &ids, QVector<ContractLine> &out) const;
    // The filter's lines again, only their ids and the value of one of the
    // columns 0–19, newest line first.
    bool readColumn(const Filter &filter, int column, QVector<qint64> &ids, QVector<QString> &texts) const;
    // SQL Server takes at most 2,100 bound values in one statement.
    static constexpr int kIdsPerStatement = 250;
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
    // "columns" (ending in a comma), the attachment mark and id of the
    // filter's lines, newest first.
    QString markedSql(const QString &columns, const Filter &filter) const;
    // Reads 合同编号 and id of the filter's lines, newest first, and marks
    // the lines of contracts attachedSql names.
    bool readMarkedApart(const Filter &filter, ListLines &out) const;

    DbConnection &m_db;
    QString m_table;
};

// The lines of a filter as the list first needs them, newest first, in
// parallel vectors: a hundred thousand lines take a few megabytes instead
// of a QString for every cell.
struct ListLines {
    QVector<qint64> ids;
    PackedTexts numbers;
    QVector<bool> marks;    // the contract's first row carries a PDF
    // Or, when markedApart, marks is empty and these are the numbers of the
    // contracts whose first row carries one: the list marks each contract
    // once as it groups the lines.
    bool markedApart = false;
    PackedTexts attached;
    // Where the other texts are read: the connection, the contract table and
    // the filter the lines came from. db stays valid while the list is shown.
    DbConnection *db = nullptr;
    QString table;
    Filter filter;
};

} // namespace cg
