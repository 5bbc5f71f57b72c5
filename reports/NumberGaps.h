#pragma once
// The contract numbers of an account set as an auditor asks about them,
// apart from the window: which numbers of the set's sequence (prefix and
// four digits, as the numbering makes them) are missing between the lowest
// and the highest stored one, what the operation log says of each, and
// which stored numbers do not belong to the sequence at all.

#include <QString>
#include <QStringList>
#include <QVector>

namespace cg {
class DbConnection;

struct MissingNumber {
    QString number;
    bool deleted = false;   // a delete entry of this set names the number
    QString user;           // who deleted it (用户 of the newest such entry)
    QString when;           // 日期 of that entry
};

struct GapReport {
    QString prefix;         // the set's prefix as ztb holds it now
    QString lowest;         // lowest and highest number of the sequence stored; empty when none
    QString highest;
    int stored = 0;         // distinct numbers of the sequence stored
    QVector<MissingNumber> missing;   // in sequence order
    QStringList outside;    // stored numbers outside the sequence, in the server's order
};

class NumberGaps {
public:
    // table: the set's contract table; accountSet: its 账套名, as the
    // delete entries of the log name it.
    NumberGaps(DbConnection &db, const QString &table, const QString &accountSet);

    // False when a query failed.
    bool build(GapReport &out) const;

    // The place of a number in the prefix's sequence: the prefix followed
    // by the four digits 0001 to 9999, or by a longer run without leading
    // zero (the numbering goes on so past 9999). -1 for any other number.
    static qint64 sequenceValue(const QString &prefix, const QString &number);
    // The number at a place of the sequence.
    static QString numberAt(const QString &prefix, qint64 value);

    // The gaps of one report as rows (number, kind, log, user, time) for the
    // list and the export; the numbers outside the sequence follow the gaps.
    static QStringList titles();
    static QList<QStringList> rows(const GapReport &report);

private:
    // Fills in what the delete entries of the log say of the missing numbers.
    bool readDeletes(QVector<MissingNumber> &missing) const;

    DbConnection &m_db;
    QString m_table;
    QString m_set;
};

} // namespace cg
