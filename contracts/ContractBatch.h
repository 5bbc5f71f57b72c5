#pragma once
// Audit, unaudit and delete of whole contracts, one contract at a time. Each
// contract is named by the id of one of its lines; the state is checked and
// the rows are written in one unit, so another workstation working on the
// same contract at the same moment is either seen or waits.

#include <QString>

namespace cg {
class DbConnection;

enum class BatchOperation { Audit, Unaudit, Delete };

enum class BatchOutcome {
    Done,
    Refused,   // audit: already audited; unaudit: not audited; delete: audited
    Failed,    // the database refused the statement; nothing changed
    Stale      // no row matched any more (deleted or changed elsewhere); told and logged as a failure
};

struct BatchResult {
    BatchOutcome outcome = BatchOutcome::Failed;
    QString number;   // the contract number the outcome names
};

class ContractBatch {
public:
    // Module of the log entries.
    static inline const QString kModule = QStringLiteral("合同查询");

    ContractBatch(DbConnection &db, const QString &table, const QString &accountSet, const QString &user);

    // Applies op to the contract of the line id and writes its log entry:
    // a success in the same unit as the change, a failure (the database
    // refused, or the contract is gone) after it; refusals are not logged.
    // A delete is refused while any line of the contract is audited.
    // shownNumber names the contract when its id no longer resolves.
    BatchResult apply(BatchOperation op, qint64 id, const QString &shownNumber);

    // "编号：" + number + the outcome's suffix.
    static QString message(BatchOperation op, BatchOutcome outcome, const QString &number);
    // The refusals of delete and its failures are errors; everything else a notice.
    static bool isError(BatchOperation op, BatchOutcome outcome);
    // The log description, empty when the outcome is not logged.
    static QString logDescription(BatchOperation op, BatchOutcome outcome, const QString &number,
                                  const QString &accountSet);

private:
    DbConnection &m_db;
    QString m_table, m_set, m_user;
};

} // namespace cg
