#include "reports/NumberGaps.h"
#include "contracts/ContractBatch.h"
#include "contracts/ContractRecord.h"
#include "data/Db.h"
#include "data/SqlDialect.h"

#include <QHash>
#include <QSet>
#include <algorithm>

namespace cg {

namespace {
// Past 9999 the numbering writes the value in full; it never gets far
// (the next number starts again from the last four digits), so a longer
// run than five digits is somebody's typing, not the sequence.
constexpr qint64 kLastInSequence = 99999;
// Descriptions looked up in one statement.
constexpr int kDescriptionsPerStatement = 200;
} // namespace

NumberGaps::NumberGaps(DbConnection &db, const QString &table, const QString &accountSet)
    : m_db(db), m_table(SqlDialect::isPlainIdentifier(table) ? table : QString()), m_set(accountSet)
{
}

qint64 NumberGaps::sequenceValue(const QString &prefix, const QString &number)
{
    if (!number.startsWith(prefix))
        return -1;
    const QStringView digits = QStringView(number).mid(prefix.size());
    if (digits.size() < 4 || digits.size() > 5)
        return -1;
    qint64 value = 0;
    for (const QChar c : digits) {
        if (c < u'0' || c > u'9')
            return -1;
        value = value * 10 + (c.unicode() - u'0');
    }
    if (value < 1 || value > kLastInSequence)
        return -1;
    // Written as the numbering writes it: 0001, …, 9999, 10000.
    return numberAt(prefix, value) == number ? value : -1;
}

QString NumberGaps::numberAt(const QString &prefix, qint64 value)
{
    return prefix + QString::asprintf("%04lld", value);
}

bool NumberGaps::build(GapReport &out) const
{
    out = GapReport();
    if (m_table.isEmpty())
        return false;
    out.prefix = ContractStore(m_db, m_table, m_set).prefix();
    Recordset rs(m_db);
    if (!rs.open(QStringLiteral("select distinct 合同编号 from ") + m_table + QStringLiteral(" order by 合同编号")))
        return false;
    QSet<qint64> present;
    qint64 low = 0, high = 0;
    for (; !rs.eof(); rs.moveNext()) {
        const QString number = rs.text(0);
        const qint64 v = sequenceValue(out.prefix, number);
        if (v < 0) {
            out.outside << number;
            continue;
        }
        present.insert(v);
        low = present.size() == 1 ? v : qMin(low, v);
        high = present.size() == 1 ? v : qMax(high, v);
    }
    rs.close();
    out.stored = int(present.size());
    if (present.isEmpty())
        return true;
    out.lowest = numberAt(out.prefix, low);
    out.highest = numberAt(out.prefix, high);
    for (qint64 v = low + 1; v < high; ++v)
        if (!present.contains(v))
            out.missing.append({numberAt(out.prefix, v)});
    return readDeletes(out.missing);
}

bool NumberGaps::readDeletes(QVector<MissingNumber> &missing) const
{
    // The delete entries name the number and the set in one fixed text; the
    // set's name keeps another set's contract of the same number out.
    QHash<QString, int> byDescription;
    QStringList descriptions;
    for (int i = 0; i < missing.size(); ++i) {
        const QString d =
            ContractBatch::logDescription(BatchOperation::Delete, BatchOutcome::Done, missing.at(i).number, m_set);
        byDescription.insert(d, i);
        descriptions << d;
    }
    for (int from = 0; from < descriptions.size(); from += kDescriptionsPerStatement) {
        const QStringList part = descriptions.mid(from, kDescriptionsPerStatement);
        QString marks;
        QVariantList params{ContractBatch::kModule, QStringLiteral("操作")};
        for (const QString &d : part) {
            marks += marks.isEmpty() ? QStringLiteral("?") : QStringLiteral(",?");
            params << d;
        }
        Recordset rs(m_db);
        // Oldest first: a number deleted, used again and deleted again
        // keeps its last deletion.
        if (!rs.open(QStringLiteral("select 用户,日期,内容描述 from rzb where 操作模块=? and 状态=? and 内容描述 in (")
                         + marks + QStringLiteral(") order by id"),
                     params))
            return false;
        for (; !rs.eof(); rs.moveNext()) {
            const int i = byDescription.value(rs.text(2), -1);
            if (i < 0)
                continue;
            MissingNumber &m = missing[i];
            m.deleted = true;
            m.user = rs.text(0);
            m.when = rs.text(1);
        }
    }
    return true;
}

QStringList NumberGaps::titles()
{
    return {QStringLiteral("合同编号"), QStringLiteral("类别"), QStringLiteral("日志记录"), QStringLiteral("删除人"),
            QStringLiteral("删除时间")};
}

QList<QStringList> NumberGaps::rows(const GapReport &report)
{
    QList<QStringList> out;
    for (const MissingNumber &m : report.missing)
        out << QStringList{m.number, QStringLiteral("缺号"),
                           m.deleted ? QStringLiteral("已删除") : QStringLiteral("无记录"), m.user, m.when};
    for (const QString &n : report.outside)
        out << QStringList{n, QStringLiteral("序列外编号"), QString(), QString(), QString()};
    return out;
}

} // namespace cg
