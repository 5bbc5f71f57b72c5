#include "logview/LogQuery.h"
#include "data/Db.h"

namespace cg {

namespace {

QString dateText(const QDate &date) { return date.toString(QStringLiteral("yyyy-MM-dd")); }

} // namespace

const QStringList &LogConditionColumns()
{
    static const QStringList columns = {QStringLiteral("日期"),     QStringLiteral("用户"),
                                        QStringLiteral("操作模块"), QStringLiteral("状态"),
                                        QStringLiteral("内容描述"), QStringLiteral("机器名"),
                                        QStringLiteral("IP地址")};
    return columns;
}

const QStringList &LogListColumns() { return LogConditionColumns(); }

const QStringList &LogExportTitles()
{
    static const QStringList titles = {QStringLiteral("日期/时间"), QStringLiteral("用户"),
                                       QStringLiteral("操作模块"),  QStringLiteral("状态"),
                                       QStringLiteral("内容描述"),  QStringLiteral("机器名"),
                                       QStringLiteral("IP地址")};
    return titles;
}

LogSelection LogQuery::select(const LogFilterInput &input) const
{
    LogSelection s;
    if (input.start > input.end) {
        s.datesOutOfOrder = true;
        return s;
    }
    s.where = QStringLiteral("过滤日期>=? AND 过滤日期<=?");
    s.params = {dateText(input.start), dateText(input.end)};
    // The column name comes from the fixed list only, never from the text.
    const int column = input.column.isEmpty() ? -1 : int(LogConditionColumns().indexOf(input.column));
    if (column >= 0 && !input.condition.isEmpty()) {
        s.where += QStringLiteral(" and ") + LogConditionColumns().at(column) + QStringLiteral(" LIKE ?");
        s.params << QLatin1Char('%') + input.condition + QLatin1Char('%');
    }
    // One statement: the count and the newest entry agree.
    Recordset rs(m_db);
    if (!rs.open(QStringLiteral("select count(*),max(id),min(id) from rzb where ") + s.where, s.params) || rs.eof()) {
        s.ok = false;
        return s;
    }
    s.count = rs.number(0);
    s.newestId = rs.value(1).isNull() ? 0 : rs.number(1);
    s.oldestId = rs.value(2).isNull() ? 0 : rs.number(2);
    return s;
}

KeysetQuery LogQuery::keysetQuery(const LogSelection &selection) const
{
    KeysetQuery q;
    q.columns = LogListColumns().join(QLatin1Char(',')) + QStringLiteral(",id");
    q.from = QStringLiteral("rzb");
    // The ids of the selection bound every page on both sides: pages are
    // read along the key without sorting, whatever the date index offers.
    q.where = selection.where + QStringLiteral(" and id>=?");
    q.params = selection.params;
    q.params << selection.oldestId;
    q.key = QStringLiteral("id");
    q.descending = true;
    q.startAfter = selection.newestId + 1;
    return q;
}

std::unique_ptr<KeysetReader> LogQuery::reader(const LogSelection &selection) const
{
    if (selection.isEmpty() || !selection.ok)
        return nullptr;
    return std::make_unique<KeysetReader>(m_db, keysetQuery(selection));
}

Sheet::RowSource LogQuery::exportRows(const LogSelection &selection, int pageSize) const
{
    Sheet::RowSource rows;
    if (selection.isEmpty() || !selection.ok)
        return rows;
    // The writer asks row after row; one page of them is held at a time.
    struct Pages {
        std::unique_ptr<KeysetReader> reader;
        RowStore page;
        qint64 first = 0;   // list row of the page's first row
        int pageSize = 0;
    };
    auto pages = std::make_shared<Pages>();
    pages->reader = std::make_unique<KeysetReader>(m_db, keysetQuery(selection));
    pages->pageSize = qMax(pageSize, 1);
    rows.rowCount = selection.count;
    rows.cell = [pages](qint64 row, int column) -> QString {
        Pages &p = *pages;
        while (row >= p.first + p.page.rowCount()) {
            if (!p.reader || p.reader->atEnd())
                return QString();
            p.first += p.page.rowCount();
            p.page.clear();
            if (p.reader->fetch(p.page, p.pageSize) <= 0) {
                p.reader.reset();
                return QString();
            }
        }
        return row < p.first ? QString() : p.page.text(int(row - p.first), column);
    };
    return rows;
}

bool LogQuery::clearAll() { return m_db.execute(QStringLiteral("delete from rzb")); }

} // namespace cg
