#include "contracts/ContractQuery.h"
#include "data/SqlDialect.h"
#include "contracts/ContractRecord.h"
#include "data/Db.h"
#include "data/RowStore.h"

#include <QSqlQuery>
#include <QHash>
#include <QSet>

namespace cg {

namespace {

// The values of the list in column order; the attachment mark and the id
// are added by listSql.
const char *kSelectValues =
    "select 单据状态,合同编号,申请人,申请部门,采购员,供应商,产品,设备数量,计量单位,制单日期,"
    "生效日期,失效日期,合同金额,付款方式,第一次付款,第二次付款,第三次付款,第四次付款,剩余尾款,税率,";

} // namespace

namespace {

// number(i) is the number of line i, as a QStringView.
template <typename Number> GroupedLines groupLines(int n, const Number &number, const QVector<qint64> &ids)
{
    if (n <= 0)
        return {};
    // One pass gives each line its contract's group, numbered as the
    // contracts first appear; counting sort then lays the groups out in that
    // order, the lines of each in the order given. No list per contract.
    //
    // The groups are found in a table of their own rather than a QHash: a
    // slot holds the hash of a number and its group in one word, the number
    // is compared where the group's first line keeps it. At a million lines
    // that is a few times quicker, as fewer places in memory are touched.
    //
    // Past some hundred thousand contracts the table no longer fits the
    // processor's caches and nearly every line waits for memory: the hashes
    // are taken first, in one pass down the numbers, so that the slot of a
    // line some way ahead can be fetched while this one is placed.
    constexpr quint64 kEmpty = ~quint64(0);
    constexpr int kAhead = 16;
    QVector<quint32> hashes(n);
    for (int i = 0; i < n; ++i)
        hashes[i] = quint32(qHash(number(i), size_t(0)));
    QVector<quint64> table(1024, kEmpty);
    QVector<int> firstLine;   // per group
    QVector<int> group(n);
    QVector<int> start;       // lines per group first, then where each group starts
    for (int i = 0; i < n; ++i) {
        if (i + kAhead < n)
            __builtin_prefetch(table.constData() + (hashes.at(i + kAhead) & quint32(table.size() - 1)));
        const QStringView key = number(i);
        // The lines of a contract mostly stand together.
        if (i > 0 && hashes.at(i) == hashes.at(i - 1) && key == number(i - 1)) {
            group[i] = group[i - 1];
            ++start[group[i]];
            continue;
        }
        const quint32 hash = hashes.at(i);
        const quint32 mask = quint32(table.size() - 1);
        quint32 probe = hash & mask;
        int g = -1;
        for (; table.at(probe) != kEmpty; probe = (probe + 1) & mask) {
            const quint64 slot = table.at(probe);
            if (quint32(slot >> 32) == hash && number(firstLine.at(int(quint32(slot)))) == key) {
                g = int(quint32(slot));
                break;
            }
        }
        if (g >= 0) {
            group[i] = g;
            ++start[g];
            continue;
        }
        g = int(start.size());
        group[i] = g;
        start.append(1);
        firstLine.append(i);
        table[probe] = (quint64(hash) << 32) | quint32(g);
        if (qsizetype(start.size()) * 2 > table.size()) {
            // Half full: twice the table, every group placed again.
            QVector<quint64> wider(table.size() * 2, kEmpty);
            const quint32 wideMask = quint32(wider.size() - 1);
            for (quint64 slot : std::as_const(table)) {
                if (slot == kEmpty)
                    continue;
                quint32 w = quint32(slot >> 32) & wideMask;
                while (wider.at(w) != kEmpty)
                    w = (w + 1) & wideMask;
                wider[w] = slot;
            }
            table.swap(wider);
        }
    }
    int at = 0;
    for (int &s : start) {
        const int size = s;
        s = at;
        at += size;
    }
    GroupedLines out;
    out.contracts = int(start.size());
    out.rows.resize(n);
    for (int i = 0; i < n; ++i)
        out.rows[start[group.at(i)]++].line = i;
    // The group's first line took its first place: the head row.
    qint64 headId = 0;
    for (int pos = 0; pos < n; ++pos) {
        ListRow &r = out.rows[pos];
        r.head = pos == 0 || group.at(r.line) != group.at(out.rows.at(pos - 1).line);
        if (r.head)
            headId = ids.at(r.line);
        r.headId = headId;
    }
    return out;
}

} // namespace

GroupedLines GroupContractLines(const PackedTexts &numbers, const QVector<qint64> &ids)
{
    return groupLines(int(qMin<qsizetype>(numbers.size(), ids.size())),
                      [&](int i) { return numbers.at(i); }, ids);
}

GroupedLines GroupContractLines(const QVector<ContractLine> &lines)
{
    QVector<qint64> ids;
    ids.reserve(lines.size());
    for (const ContractLine &l : lines)
        ids.append(l.id);
    return groupLines(int(lines.size()), [&](int i) { return QStringView(lines.at(i).number()); }, ids);
}

ContractQuery::ContractQuery(DbConnection &db, const QString &table) : m_db(db), m_table(table) {}

const QStringList &ContractQuery::filterFields()
{
    static const QStringList f = {
        QStringLiteral("单据状态"), QStringLiteral("合同编号"), QStringLiteral("申请人"),
        QStringLiteral("申请日期"), QStringLiteral("申请部门"), QStringLiteral("采购员"),
        QStringLiteral("制单日期"), QStringLiteral("生效日期"), QStringLiteral("失效日期"),
        QStringLiteral("供应商"), QStringLiteral("产品"), QStringLiteral("合同金额"),
        QStringLiteral("付款方式"), QStringLiteral("第一次付款"), QStringLiteral("第二次付款"),
        QStringLiteral("第三次付款"), QStringLiteral("第四次付款"), QStringLiteral("剩余尾款"),
        QStringLiteral("税率")};
    return f;
}

const QStringList &ContractQuery::findFields()
{
    static const QStringList f = {
        QStringLiteral("单据状态"), QStringLiteral("合同编号"), QStringLiteral("申请人"),
        QStringLiteral("申请部门"), QStringLiteral("采购员"), QStringLiteral("供应商"),
        QStringLiteral("产品"), QStringLiteral("设备数量"), QStringLiteral("计量单位"),
        QStringLiteral("制单日期"), QStringLiteral("生效日期"), QStringLiteral("失效日期"),
        QStringLiteral("合同金额"), QStringLiteral("付款方式"), QStringLiteral("第一次付款"),
        QStringLiteral("第二次付款"), QStringLiteral("第三次付款"), QStringLiteral("第四次付款"),
        QStringLiteral("剩余尾款"), QStringLiteral("税率"), QStringLiteral("附件")};
    return f;
}

const QStringList &ContractQuery::listHeaders()
{
    static const QStringList h = {
        QStringLiteral("单据状态"), QStringLiteral("合同编号"), QStringLiteral("申请人"),
        QStringLiteral("申请部门"), QStringLiteral("采购员"), QStringLiteral("供应商"),
        QStringLiteral("购买产品/设备名称"), QStringLiteral("设备数量"), QStringLiteral("计量单位"),
        QStringLiteral("制单日期"), QStringLiteral("生效日期"), QStringLiteral("失效日期"),
        QStringLiteral("合同总金额(元)"), QStringLiteral("付款方式"), QStringLiteral("第一次付款(元)"),
        QStringLiteral("第二次付款(元)"), QStringLiteral("第三次付款(元)"), QStringLiteral("第四次付款(元)"),
        QStringLiteral("剩余尾款(元)"), QStringLiteral("税    率"), QStringLiteral("附件"),
        QStringLiteral("标识")};
    return h;
}

const QVector<int> &ContractQuery::listWidths()
{
    static const QVector<int> w = {70, 150, 70, 100, 70, 150, 150, 80, 80, 80, 80,
                                   80, 150, 100, 100, 100, 100, 100, 100, 100, 60, 0};
    return w;
}

QString ContractQuery::dateText(const QDate &date) { return date.toString(QStringLiteral("yyyy-MM-dd")); }

Filter ContractQuery::buildFilter(const FilterInput &input) const
{
    Filter f;
    const QString s = dateText(input.start);
    const QString e = dateText(input.end);
    if (s > e) {
        f.datesOutOfOrder = true;
        return f;
    }
    // SQLite gives a column declared "date" numeric affinity, and so tries
    // to read both date texts as numbers on every row it compares; the
    // column as a plain expression (+) compares the stored texts as they
    // are, which is what they hold.
    const QString date = m_db.backend() == Backend::Sqlite ? QStringLiteral("+制单日期") : QStringLiteral("制单日期");
    const QString range = date + QStringLiteral(">=? AND ") + date + QStringLiteral("<=?");
    const int index = filterFields().indexOf(input.field);
    if (index < 0 || input.condition.isEmpty()) {
        f.where = range;
        f.params = {s, e};
        return f;
    }
    const QString &column = filterFields().at(index);
    const QString pattern = QLatin1Char('%') + input.condition + QLatin1Char('%');
    if (column == QStringLiteral("产品")) {
        // Every line of each contract with a matching line in the range.
        f.where = QStringLiteral("合同编号 in (select 合同编号 from ") + m_table + QStringLiteral(" where ")
            + range + QStringLiteral(" and 产品 LIKE ? and 合同编号<>?)");
        f.params = {s, e, pattern, QString(QLatin1String(""))};
        return f;
    }
    // A date column is matched as its year-month-day text: some servers
    // have no LIKE on dates.
    const bool isDate = column == QStringLiteral("制单日期") || column == QStringLiteral("生效日期")
        || column == QStringLiteral("失效日期");
    const QString matched = isDate ? QStringLiteral("cast(") + column + QStringLiteral(" as varchar(10))") : column;
    f.where = range + QStringLiteral(" and ") + matched + QStringLiteral(" LIKE ?");
    f.params = {s, e, pattern};
    return f;
}

QString ContractQuery::markedSql(const QString &columns, const Filter &filter) const
{
    // The mark asks whether the contract's first row (lowest id) has bytes,
    // for all contracts in one go rather than once per head row.
    const QString T = m_table;
    const QString mark = QStringLiteral("case when 合同编号 in (select f.合同编号 from ") + T
        + QStringLiteral(" f where f.id in (select min(g.id) from ") + T
        + QStringLiteral(" g group by g.合同编号) and ") + SqlDialect::byteLength(m_db.backend(), QStringLiteral("f.附件"))
        + QStringLiteral(">0) then 1 else 0 end");
    return columns + mark + QStringLiteral(",id from ") + T + QStringLiteral(" where ") + filter.where
        + QStringLiteral(" ORDER BY id desc");
}

QString ContractQuery::listSql(const Filter &filter) const
{
    return markedSql(QStringLiteral("select 合同编号,"), filter);
}

QString ContractQuery::attachedSql() const
{
    // The byte length is asked of every row, the first-row test only of
    // the few with bytes.
    const QString T = m_table;
    return QStringLiteral("select f.合同编号 from ") + T + QStringLiteral(" f where ")
        + SqlDialect::byteLength(m_db.backend(), QStringLiteral("f.附件"))
        + QStringLiteral(">0 and f.id=(select min(g.id) from ") + T + QStringLiteral(" g where g.合同编号=f.合同编号)");
}

QString ContractQuery::linesSql(const Filter &filter) const
{
    return markedSql(QString::fromUtf8(kSelectValues), filter);
}

QString ContractQuery::textsSql(int idCount) const
{
    QString marks;
    marks.reserve(idCount * 2);
    for (int i = 0; i < idCount; ++i)
        marks += i ? QStringLiteral(",?") : QStringLiteral("?");
    return QString::fromUtf8(kSelectValues) + QStringLiteral("id from ") + m_table + QStringLiteral(" where id in (")
        + marks + QLatin1Char(')');
}

QString ContractQuery::countSql(const Filter &filter) const
{
    return QStringLiteral("select 合同编号 from ") + m_table + QStringLiteral(" where ") + filter.where;
}

bool ContractQuery::read(const Filter &filter, QVector<ContractLine> &out) const
{
    out.clear();
    if (filter.datesOutOfOrder || !m_db.isConnected())
        return false;
    QSqlQuery q(m_db.database());
    q.setForwardOnly(true);
    if (!m_db.run(q, m_db.translate(linesSql(filter)), filter.params))
        return false;
    while (q.next()) {
        ContractLine line;
        for (int c = 0; c < ListColumn::Attachment; ++c)
            line.cells[c] = valueText(q.value(c));
        line.contractHasAttachment = q.value(ListColumn::Attachment).toLongLong() != 0;
        line.id = q.value(ListColumn::Id).toLongLong();
        out.append(std::move(line));
    }
    return true;
}

bool ContractQuery::read(const Filter &filter, ListLines &out) const
{
    out = ListLines();
    out.db = &m_db;
    out.table = m_table;
    out.filter = filter;
    if (filter.datesOutOfOrder || !m_db.isConnected())
        return false;
    // SQL Server compares the numbers by its collation, letter case and
    // trailing blanks aside: there the statement keeps the mark.
    if (m_db.backend() != Backend::SqlServer)
        return readMarkedApart(filter, out);
    // Three values a line, forward only: stepping through the rows and
    // making a text of every cell is what a large list costs, so the other
    // twenty texts wait until a row is shown.
    QSqlQuery q(m_db.database());
    q.setForwardOnly(true);
    if (!m_db.run(q, m_db.translate(listSql(filter)), filter.params))
        return false;
    while (q.next()) {
        out.numbers.append(valueText(q.value(0)));
        out.marks.append(q.value(1).toLongLong() != 0);
        out.ids.append(q.value(2).toLongLong());
    }
    return true;
}

bool ContractQuery::readMarkedApart(const Filter &filter, ListLines &out) const
{
    // Asking "is this contract's first row attached" of every line costs
    // a lookup in the server's list of attached contracts per line, which
    // grows with the table (a tree search on SQLite). The attached
    // contracts are read once instead and looked up once per contract when
    // the list groups the lines, by exact text as it groups them.
    out.markedApart = true;
    {
        RowCursor c(m_db);
        if (!c.open(attachedSql()))
            return false;
        while (c.next())
            out.attached.appendWritten([&](QString &to) { c.appendText(0, to); });
        if (c.failed())
            return false;
    }
    RowCursor c(m_db);
    const QString sql = QStringLiteral("select 合同编号,id from ") + m_table + QStringLiteral(" where ") + filter.where
        + QStringLiteral(" ORDER BY id desc");
    if (!c.open(sql, filter.params))
        return false;
    while (c.next()) {
        out.numbers.appendWritten([&](QString &to) { c.appendText(0, to); });
        out.ids.append(c.integer(1));
    }
    if (c.failed()) {
        out = ListLines();
        return false;
    }
    return true;
}

bool ContractQuery::readTexts(const QVector<qint64> &ids, QVector<ContractLine> &out) const
{
    out.clear();
    if (!m_db.isConnected())
        return false;
    QString sql;
    int sqlIds = -1;
    for (int from = 0; from < ids.size(); from += kIdsPerStatement) {
        const int count = int(qMin<qsizetype>(kIdsPerStatement, ids.size() - from));
        if (count != sqlIds) {
            sql = textsSql(count);
            sqlIds = count;
        }
        QVariantList params;
        params.reserve(count);
        for (int i = from; i < from + count; ++i)
            params.append(ids.at(i));
        RowCursor c(m_db);
        if (!c.open(sql, params))
            return false;
        while (c.next()) {
            ContractLine line;
            for (int col = 0; col < ListColumn::Attachment; ++col)
                c.appendText(col, line.cells[col]);
            line.id = c.integer(ListColumn::Attachment);
            out.append(std::move(line));
        }
        if (c.failed())
            return false;
    }
    return true;
}

bool ContractQuery::readColumn(const Filter &filter, int column, QVector<qint64> &ids, QVector<QString> &texts) const
{
    ids.clear();
    texts.clear();
    static const QStringList columns = QString::fromUtf8(kSelectValues)
                                           .mid(int(qstrlen("select ")))
                                           .split(QLatin1Char(','), Qt::SkipEmptyParts);
    if (filter.datesOutOfOrder || column < 0 || column >= columns.size() || !m_db.isConnected())
        return false;
    const QString sql = QStringLiteral("select id,") + columns.at(column) + QStringLiteral(" from ") + m_table
        + QStringLiteral(" where ") + filter.where + QStringLiteral(" ORDER BY id desc");
    RowCursor c(m_db);
    if (!c.open(sql, filter.params))
        return false;
    while (c.next()) {
        ids.append(c.integer(0));
        texts.append(c.text(1));
    }
    if (c.failed()) {
        ids.clear();
        texts.clear();
        return false;
    }
    return true;
}

int ContractQuery::countContracts(const Filter &filter) const
{
    if (filter.datesOutOfOrder)
        return -1;
    Recordset rs(m_db);
    if (!rs.open(countSql(filter), filter.params))
        return -1;
    // Counted the way the list groups: by the exact text of the number.
    QSet<QString> numbers;
    for (; !rs.eof(); rs.moveNext())
        numbers.insert(rs.text(0));
    return numbers.size();
}

QString ContractQuery::numberOf(qint64 id, bool *found) const
{
    Recordset rs(m_db);
    const bool ok = rs.open(QStringLiteral("select 合同编号 from ") + m_table + QStringLiteral(" where id=?"), {id})
        && !rs.eof();
    if (found)
        *found = ok;
    return ok ? rs.text(0) : QString();
}

bool ContractQuery::isAudited(qint64 id) const
{
    Recordset rs(m_db);
    if (!rs.open(QStringLiteral("select 单据状态 from ") + m_table + QStringLiteral(" where id=?"), {id}))
        return false;
    return !rs.eof() && rs.text(0) == AuditState::Audited;
}

bool ContractQuery::hasAttachment(const QString &number) const
{
    return ContractStore(m_db, m_table, QString()).hasAttachment(number);
}

QByteArray ContractQuery::storedAttachment(qint64 id) const
{
    bool found = false;
    const QString number = numberOf(id, &found);
    if (!found)
        return {};
    Recordset rs(m_db);
    if (!rs.open(QStringLiteral("select 附件 from ") + m_table + QStringLiteral(" where id=(select min(id) from ")
                     + m_table + QStringLiteral(" where 合同编号=?)"),
                 {number}))
        return {};
    return rs.bytes(QStringLiteral("附件"));
}

} // namespace cg
