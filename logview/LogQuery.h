#pragma once
// Reading and clearing the operation log (rzb) for the system log window:
// the filter by entry date and an optional condition on one column, the
// newest entry first, counted and read page by page in SQL so that a log of
// a million entries costs one page at a time.

#include "data/RowStore.h"
#include "spreadsheet/SheetExport.h"

#include <QDate>
#include <QString>
#include <QStringList>
#include <QVariantList>
#include <memory>

namespace cg {
class DbConnection;

// The columns a condition may name, in the order of 组合框_编号名称; each
// item text is the rzb column of that name.
const QStringList &LogConditionColumns();

// The rzb columns the list shows, in list order.
const QStringList &LogListColumns();

// The titles of the exported columns.
const QStringList &LogExportTitles();

struct LogFilterInput {
    QDate start;
    QDate end;
    QString column;      // item text of the condition column; may be empty
    QString condition;   // condition text; may be empty
};

// The rows of one query, pinned to the entries that existed when it ran.
struct LogSelection {
    bool datesOutOfOrder = false;   // start after end: nothing is asked
    bool ok = true;                 // the statements ran
    QString where;                  // condition with '?' placeholders
    QVariantList params;
    qint64 newestId = 0;            // the newest matching entry then (0: none)
    qint64 oldestId = 0;            // the oldest
    qint64 count = 0;               // entries from newestId down

    bool isEmpty() const { return newestId <= 0 || count <= 0; }
};

class LogQuery {
public:
    static inline const QString kModule = QStringLiteral("日志");

    explicit LogQuery(DbConnection &db) : m_db(db) {}

    // The entries whose 过滤日期 lies from start to end (both included) and,
    // when a column of the fixed list and a condition are given, whose
    // column contains the condition (LIKE '%…%'). Counts them with
    // count(*); entries written later are not part of the selection.
    LogSelection select(const LogFilterInput &input) const;

    // The selection's entries, newest first, a page per statement (the
    // list columns, then id). Empty when the selection is.
    std::unique_ptr<KeysetReader> reader(const LogSelection &selection) const;

    // The selection's entries for a workbook, read page by page as the
    // writer asks for them; at most selection.count rows (entries cleared
    // meanwhile come out empty).
    Sheet::RowSource exportRows(const LogSelection &selection, int pageSize = 5000) const;

    // Deletes every entry of the log, whatever a filter shows.
    bool clearAll();

private:
    KeysetQuery keysetQuery(const LogSelection &selection) const;
    DbConnection &m_db;
};

} // namespace cg
