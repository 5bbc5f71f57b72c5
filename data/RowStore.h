#pragma once
// Large results: the query windows' lists (tens of thousands of contract
// lines, a log of a million rows). The statement filters and orders in SQL;
// the rows come into a compact store of texts, a page at a time or all at
// once. A Recordset stays the tool for small lookups.
//
// A store is plain data: it can be filled on a worker thread with that
// thread's own DbConnection and handed to the model on the GUI thread
// (copies share their data until one of them changes).

#include <QMetaType>
#include <QSqlQuery>
#include <QString>
#include <QStringList>
#include <QStringView>
#include <QVariant>
#include <QVector>
#include <memory>

struct sqlite3_stmt;

namespace cg {

class DbConnection;

// Rows of texts, all cells of all rows in one text buffer with one end
// offset per cell: about 4 bytes per cell beside the characters themselves.
// Binary values (an image column) are not kept: they read as empty.
class RowStore {
public:
    RowStore() = default;
    explicit RowStore(const QStringList &columns) : m_columns(columns) {}
    // A store of these rows, each of columns.size() cells.
    static RowStore fromRows(const QStringList &columns, const QList<QStringList> &rows);

    const QStringList &columns() const { return m_columns; }
    void setColumns(const QStringList &columns) { m_columns = columns; }
    int columnCount() const { return int(m_columns.size()); }
    int rowCount() const { return m_columns.isEmpty() ? 0 : int(m_ends.size() / m_columns.size()); }
    bool isEmpty() const { return rowCount() == 0; }

    // Empty for a cell outside the store.
    QStringView view(int row, int column) const;
    QString text(int row, int column) const { return view(row, column).toString(); }
    int columnIndex(const QString &name) const;

    // One row: columnCount() cells, given in order.
    void appendRow(const QStringList &cells);
    // Appends the rows of another store with the same column count.
    bool append(const RowStore &other);
    void clear();
    // Memory the cells take (characters and offsets).
    qint64 bytes() const;

private:
    friend class QueryReader;
    friend class KeysetReader;
    void appendCell(QStringView text);
    void appendValue(const QVariant &value);

    QStringList m_columns;
    QString m_text;
    QVector<quint32> m_ends;   // end of each cell in m_text, row after row
};

// Where a model's rows come from, a batch at a time.
class RowSource {
public:
    virtual ~RowSource() = default;
    // Appends up to maxRows rows to store (setting its columns when it has
    // none); the number appended, or -1 when the statement failed.
    virtual int fetch(RowStore &store, int maxRows) = 0;
    virtual bool atEnd() const = 0;
    virtual QString lastError() const = 0;
};

// Runs one statement (T-SQL, translated for the backend; values bound) and
// reads its rows forward only. Reading everything at once is the quick full
// load; reading in batches keeps the statement open between them, which is
// fine on SQLite and on a connection of its own, but on SQL Server it keeps
// the connection busy for every other statement: page a shared connection
// with KeysetReader instead.
class QueryReader : public RowSource {
public:
    explicit QueryReader(DbConnection &db);
    ~QueryReader() override;

    [[nodiscard]] bool open(const QString &sql, const QVariantList &params = {});
    int fetch(RowStore &store, int maxRows) override;
    bool atEnd() const override { return m_atEnd; }
    QString lastError() const override { return m_error; }
    QStringList columns() const { return m_columns; }
    void close();

    // The whole result of a statement in a new store; false on failure.
    [[nodiscard]] static bool readAll(DbConnection &db, const QString &sql, const QVariantList &params,
                                      RowStore *store, QString *error = nullptr);

private:
    DbConnection &m_db;
    std::unique_ptr<QSqlQuery> m_query;
    QVariantList m_params;     // left out of what the log says
    QStringList m_columns;
    bool m_atEnd = true;
    QString m_error;
};

// Steps through the rows of one statement (T-SQL, translated; values bound)
// forward only, reading a column where it lies: for lists of a million
// lines, which only need a number and a text or two of each. On SQLite the
// rows come straight from the library's statement, without a QVariant per
// cell nor the library's own copy of every text into UTF-16 (together more
// than half of the time of such a read); elsewhere through QSqlQuery. A
// statement that does not prepare is run through QSqlQuery as well, which
// reports it as every statement's failure is reported.
class RowCursor {
public:
    explicit RowCursor(DbConnection &db);
    ~RowCursor();
    RowCursor(const RowCursor &) = delete;
    RowCursor &operator=(const RowCursor &) = delete;

    [[nodiscard]] bool open(const QString &sql, const QVariantList &params = {});
    // The next row; false at the end and when stepping failed (failed()).
    bool next();
    bool failed() const { return m_failed; }
    QString lastError() const { return m_error; }

    // Column values of the current row; 0 and nothing for NULL.
    qint64 integer(int column) const;
    // Appends the text valueText() gives for the column.
    void appendText(int column, QString &to) const;
    QString text(int column) const;

private:
    void finish();

    DbConnection &m_db;
    ::sqlite3_stmt *m_stmt = nullptr;
    std::unique_ptr<QSqlQuery> m_query;
    bool m_failed = false;
    QString m_error;
};

// A list in the order of a unique, non-null key column (the id of rzb or
// of a contract table), read page by page with one short statement each:
//   select top N <columns> from <from> where (<where>) and <key> < ?
//   order by <key> desc
// No statement stays open between pages, so the shared connection stays
// free; rows written meanwhile before the current position are not shown,
// rows after it are. <columns> must include the key.
struct KeysetQuery {
    QString columns;          // select list, e.g. "id,过滤日期,日期,用户"
    QString from;             // a table name
    QString where;            // condition with '?' placeholders, or empty
    QVariantList params;      // values of the condition
    QString key = QStringLiteral("id");
    bool descending = true;   // newest first
    // When set, the first page starts past this key (below it when
    // descending), as every later page starts past the last key read: a
    // list pinned to the rows that existed when it was counted, with one
    // bound on the key per statement.
    QVariant startAfter;
};

class KeysetReader : public RowSource {
public:
    KeysetReader(DbConnection &db, const KeysetQuery &query);

    int fetch(RowStore &store, int maxRows) override;
    bool atEnd() const override { return m_atEnd; }
    QString lastError() const override { return m_error; }

    // The statement of the next page (T-SQL, before translation).
    QString pageSql(int rows) const;

private:
    DbConnection &m_db;
    KeysetQuery m_query;
    QVariant m_lastKey;   // key of the last row read; null before the first page
    bool m_atEnd = false;
    QString m_error;
};

} // namespace cg

Q_DECLARE_METATYPE(cg::RowStore)
