#include "contracts/ContractQuery.h"
#include "data/SqlDialect.h"
#include "contracts/ContractRecord.h"
#include "data/Db.h"

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

GroupedLines GroupContractLines(const QVector<ContractLine> &lines)
{
    // One pass: each number gets its group when first seen.
    QHash<QString, int> groupOf;
    QVector<QVector<int>> groups;
    groupOf.reserve(lines.size());
    for (int i = 0; i < lines.size(); ++i) {
        const auto it = groupOf.constFind(lines.at(i).number());
        if (it == groupOf.constEnd()) {
            groupOf.insert(lines.at(i).number(), groups.size());
            groups.append(QVector<int>{i});
        } else {
            groups[*it].append(i);
        }
    }
    GroupedLines out;
    out.contracts = groups.size();
    out.rows.reserve(lines.size());
    for (const QVector<int> &g : std::as_const(groups)) {
        const qint64 headId = lines.at(g.first()).id;
        out.rows.append({g.first(), headId, true});
        for (int k = 1; k < g.size(); ++k)
            out.rows.append({g.at(k), headId, false});
    }
    return out;
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
    const QString range = QStringLiteral("制单日期>=? AND 制单日期<=?");
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

QString ContractQuery::listSql(const Filter &filter) const
{
    // The mark asks whether the contract's first row (lowest id) has bytes,
    // for all contracts in one go rather than once per head row.
    const QString T = m_table;
    const QString mark = QStringLiteral("case when 合同编号 in (select f.合同编号 from ") + T
        + QStringLiteral(" f where f.id in (select min(g.id) from ") + T
        + QStringLiteral(" g group by g.合同编号) and ") + SqlDialect::byteLength(m_db.backend(), QStringLiteral("f.附件"))
        + QStringLiteral(">0) then 1 else 0 end");
    return QString::fromUtf8(kSelectValues) + mark + QStringLiteral(",id from ") + T + QStringLiteral(" where ")
        + filter.where + QStringLiteral(" ORDER BY id desc");
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
    // Forward only, straight into the lines: the list may hold a hundred
    // thousand of them.
    QSqlQuery q(m_db.database());
    q.setForwardOnly(true);
    if (!m_db.run(q, m_db.translate(listSql(filter)), filter.params))
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
