#include "contracts/ContractBatch.h"
#include "contracts/ContractRecord.h"
#include "data/Db.h"
#include "data/OperationLog.h"

namespace cg {

ContractBatch::ContractBatch(DbConnection &db, const QString &table, const QString &accountSet,
                             const QString &user)
    : m_db(db), m_table(table), m_set(accountSet), m_user(user)
{
}

BatchResult ContractBatch::apply(BatchOperation op, qint64 id, const QString &shownNumber)
{
    BatchResult result;
    result.number = shownNumber;
    const QString &audited = AuditState::Audited;
    const bool committed = inTransaction(m_db, [&] {
        Recordset rs(m_db);
        if (!rs.open(QStringLiteral("select 合同编号 from ") + m_table + QStringLiteral(" where id=?"), {id}))
            return false;
        if (rs.eof()) {
            result.outcome = BatchOutcome::Stale;
            return false;
        }
        result.number = rs.text(0);
        rs.close();
        // The lines of an imported contract may differ in state. Audit acts
        // while any line is not audited and unaudit while any line is, so
        // such a contract can always be brought to one state; one audited
        // line is enough to keep the whole contract from being deleted.
        if (!rs.open(QStringLiteral("select 单据状态 from ") + m_table + QStringLiteral(" where 合同编号=?"),
                     {result.number}))
            return false;
        bool anyAudited = false, anyOther = false;
        for (; !rs.eof(); rs.moveNext())
            (rs.text(0) == audited ? anyAudited : anyOther) = true;
        rs.close();
        // The check and the statement are one unit under the write lock, so
        // no other workstation changes the lines in between.
        bool ran = false;
        switch (op) {
        case BatchOperation::Audit:
            if (!anyOther) {
                result.outcome = BatchOutcome::Refused;
                return false;
            }
            ran = m_db.execute(QStringLiteral("update ") + m_table + QStringLiteral(" set 单据状态=? where 合同编号=?"),
                               {audited, result.number});
            break;
        case BatchOperation::Unaudit:
            if (!anyAudited) {
                result.outcome = BatchOutcome::Refused;
                return false;
            }
            ran = m_db.execute(QStringLiteral("update ") + m_table + QStringLiteral(" set 单据状态=? where 合同编号=?"),
                               {AuditState::NotAudited, result.number});
            break;
        case BatchOperation::Delete:
            if (anyAudited) {
                result.outcome = BatchOutcome::Refused;
                return false;
            }
            ran = m_db.execute(QStringLiteral("delete from ") + m_table + QStringLiteral(" where 合同编号=?"),
                               {result.number});
            break;
        }
        if (!ran)
            return false;
        if (m_db.rowsAffected() < 1) {
            result.outcome = BatchOutcome::Stale;
            return false;
        }
        // The log row belongs to the change: both are stored or neither.
        if (!LogWriter(m_db, m_user)
                 .write(QStringLiteral("操作"), logDescription(op, BatchOutcome::Done, result.number, m_set), kModule))
            return false;
        result.outcome = BatchOutcome::Done;
        return true;
    });
    if (!committed && result.outcome == BatchOutcome::Done)
        result.outcome = BatchOutcome::Failed;
    // A failed attempt is logged too, on its own: nothing else was stored.
    if (result.outcome != BatchOutcome::Done) {
        const QString description = logDescription(op, result.outcome, result.number, m_set);
        if (!description.isEmpty())
            WriteLogEntry(m_db, m_user, QStringLiteral("操作"), description, kModule);
    }
    return result;
}

namespace {
struct Texts {
    const char *refused;
    const char *done;
    const char *failed;
};
Texts textsOf(BatchOperation op)
{
    switch (op) {
    case BatchOperation::Audit:
        return {" 已是审核状态，不需要重复审核！", " 审核成功！", " 审核失败！"};
    case BatchOperation::Unaudit:
        return {" 已是未审核状态，不需要重复反审核！", " 反审核成功！", " 反审核失败！"};
    case BatchOperation::Delete:
        break;
    }
    return {" 已是审核状态，不能直接删除！", " 删除成功！", " 删除失败！"};
}
} // namespace

QString ContractBatch::message(BatchOperation op, BatchOutcome outcome, const QString &number)
{
    const Texts t = textsOf(op);
    const char *suffix = outcome == BatchOutcome::Done ? t.done : outcome == BatchOutcome::Refused ? t.refused : t.failed;
    return QStringLiteral("编号：") + number + QString::fromUtf8(suffix);
}

bool ContractBatch::isError(BatchOperation op, BatchOutcome outcome)
{
    return op == BatchOperation::Delete && outcome != BatchOutcome::Done;
}

QString ContractBatch::logDescription(BatchOperation op, BatchOutcome outcome, const QString &number,
                                      const QString &accountSet)
{
    if (outcome == BatchOutcome::Refused)
        return {};
    return message(op, outcome, number) + QStringLiteral("账套：") + accountSet;
}

} // namespace cg
