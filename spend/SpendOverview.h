#pragma once
// How much was signed, apart from the window: the 合同金额 of the contracts
// of one account set whose 制单日期 lies in a range, summed per month, per
// supplier, per department and per audit state, with the sum of their
// remaining balances.
//
// A contract counts once: its lines repeat the header values, and the first
// line in the range (lowest id) gives them. Amounts are the stored texts,
// added exactly (DecimalSum); a text that is no number is not added but
// counted, so a total never hides what it left out.

#include "contracts/ContractRecord.h"

#include <QDate>
#include <QList>
#include <QString>

namespace cg {
class DbConnection;

struct SpendGroup {
    QString label;           // "2024-03", a supplier, a department, an audit state, "其他"
    int contracts = 0;
    DecimalSum amount;       // sum of the 合同金额 that are numbers
    DecimalSum remaining;    // sum of the 剩余尾款 that are numbers
    int amountNotNumber = 0;     // contracts whose 合同金额 is no number
    int remainingNotNumber = 0;  // contracts whose 剩余尾款 is no number (or empty)
};

struct SpendFigures {
    SpendGroup total;                 // every contract in the range; label empty
    // Every month from the first to the last with a contract, in order,
    // months without one included.
    QList<SpendGroup> months;
    // The ten largest sums, largest first (equal sums by name), then the
    // rest together as "其他" when there are more than ten suppliers.
    QList<SpendGroup> suppliers;
    // Largest sum first, equal sums by name.
    QList<SpendGroup> departments;
    // "已审核", then "未审核", then any other stored state text by name.
    QList<SpendGroup> auditStates;
};

class SpendOverview {
public:
    enum class Outcome {
        Done,
        DatesOutOfOrder,   // from is after to; nothing was read
        Failed             // the query failed; the figures are empty
    };

    inline static const QString kOthers = QStringLiteral("其他");
    static constexpr int kTopSuppliers = 10;

    // table: the account set's 引用合同表.
    SpendOverview(DbConnection &db, const QString &table);

    // One statement over the lines of the range, ordered by number and id
    // (the number's index), read once: a contract's lines come together.
    Outcome compute(const QDate &from, const QDate &to, SpendFigures *figures) const;
    QString lastError() const { return m_error; }

    // The range the window starts with: the whole of the account set's
    // year (账套年份) when it reads as one, else the whole of the year of
    // today.
    static void defaultRange(const QString &accountSetYear, const QDate &today, QDate *from, QDate *to);

private:
    DbConnection &m_db;
    QString m_table;
    mutable QString m_error;
};

} // namespace cg
