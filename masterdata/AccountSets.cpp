#include "masterdata/AccountSets.h"
#include "data/Db.h"
#include "data/Schema.h"

#include <QRegularExpression>

namespace cg {

AccountSets::AccountSets(DbConnection &db, const QString &currentSet) : m_db(db), m_current(currentSet) {}

bool AccountSets::list(QList<AccountSetRow> &out) const
{
    out.clear();
    Recordset rs(m_db);
    if (!rs.open(QStringLiteral("select * from ztb")))
        return false;
    for (; !rs.eof(); rs.moveNext())
        out << AccountSetRow{rs.text(0), rs.text(1), rs.text(2), rs.text(3),
                             rs.text(4), rs.text(5), rs.text(6), rs.text(7)};
    return true;
}

bool AccountSets::nameTaken(const QString &name, const QString &except) const
{
    Recordset rs(m_db);
    if (!rs.open(QStringLiteral("select 账套名 from ztb")))
        return false;
    const QString key = comparisonKey(name);
    for (; !rs.eof(); rs.moveNext()) {
        const QString existing = rs.text(0);
        if (existing != except && comparisonKey(existing) == key)
            return true;
    }
    return false;
}

QString AccountSets::comparisonKey(const QString &name)
{
    // SQL Server compares names without regard to case and ignores trailing
    // blanks: "2024年度 " and "2024年度" are one name to every statement.
    qsizetype end = name.size();
    while (end > 0 && name.at(end - 1) == u' ')
        --end;
    return name.left(end).toCaseFolded();
}

QString AccountSets::contractTableOf(const QString &name) const
{
    Recordset rs(m_db);
    if (!rs.open(QStringLiteral("select 账套名,引用合同表 from ztb where 账套名=?"), {name}))
        return {};
    for (; !rs.eof(); rs.moveNext())
        if (rs.text(0) == name)
            return rs.text(1);
    return {};
}

AccountSets::Outcome AccountSets::create(const QString &name, const QString &department,
                                         const QString &remark, const QString &prefix,
                                         const QString &year, QString *table)
{
    Outcome outcome = Outcome::Failed;
    QString chosen;
    // Checked and written in one unit, so two workstations adding at the same
    // moment cannot both take the name or the table.
    const bool committed = inTransaction(m_db, [&] {
        if (nameTaken(name)) {
            outcome = Outcome::Duplicate;
            return false;
        }
        chosen = Schema::freeContractTableName(m_db);
        if (chosen.isEmpty()) {
            outcome = Outcome::NoTable;
            return false;
        }
        if (!Schema::createAccountSet(m_db, name, department, remark, chosen, prefix, year))
            return false;
        outcome = Outcome::Done;
        return true;
    });
    // A failed commit leaves nothing behind either.
    if (!committed && outcome == Outcome::Done)
        outcome = Outcome::Failed;
    if (table)
        *table = outcome == Outcome::Done ? chosen : QString();
    return outcome;
}

AccountSets::Outcome AccountSets::changeOneRow(const QString &sql, const QVariantList &params,
                                               const std::function<bool()> &isDuplicate)
{
    Outcome outcome = Outcome::Failed;
    const bool committed = inTransaction(m_db, [&] {
        if (isDuplicate && isDuplicate()) {
            outcome = Outcome::Duplicate;
            return false;
        }
        if (!m_db.execute(sql, params))
            return false;
        const int rows = m_db.rowsAffected();
        if (rows == 0) {
            outcome = Outcome::NotFound;
            return false;
        }
        // A server that compares names loosely could match more than the one set.
        if (rows > 1)
            return false;
        outcome = Outcome::Done;
        return true;
    });
    return committed ? outcome : (outcome == Outcome::Done ? Outcome::Failed : outcome);
}

AccountSets::Outcome AccountSets::modify(const QString &oldName, const QString &newName,
                                         const QString &department, const QString &remark)
{
    return changeOneRow(QStringLiteral("update ztb set 账套名=?,隶属部门=?,备注=? where 账套名=?"),
                        {newName, department, remark, oldName},
                        [&] { return nameTaken(newName, oldName); });
}

AccountSets::Outcome AccountSets::remove(const QString &name)
{
    return changeOneRow(QStringLiteral("delete from ztb where 账套名=?"), {name}, {});
}

bool AccountSets::dropUnusedContractTable(const QString &table)
{
    static const QRegularExpression plainName(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    static const QStringList fixed = {QStringLiteral("ztb"), QStringLiteral("yhb"), QStringLiteral("gysb"),
                                      QStringLiteral("jczlb"), QStringLiteral("rzb")};
    if (!plainName.match(table).hasMatch() || fixed.contains(table, Qt::CaseInsensitive))
        return false;
    // Sets made by older versions could share one table: it stays while any
    // set still refers to it.
    Recordset rs(m_db);
    if (!rs.open(QStringLiteral("select 引用合同表 from ztb")))
        return false;
    for (; !rs.eof(); rs.moveNext())
        if (rs.text(0).compare(table, Qt::CaseInsensitive) == 0)
            return false;
    if (!m_db.tableExists(table))
        return false;
    return m_db.execute(QStringLiteral("drop table ") + table);
}

} // namespace cg
