#pragma once
#include <functional>
// Account sets (rows of ztb) and their contract tables, apart from the window.

#include <QList>
#include <QString>

namespace cg {
class DbConnection;

// One row of ztb, in the table's column order.
struct AccountSetRow {
    QString name;            // 账套名
    QString department;      // 隶属部门
    QString remark;          // 备注
    QString contractTable;   // 引用合同表
    QString prefix;          // 合同编号
    QString logLimit;        // 日志数
    QString defaultStart;    // 默认启动
    QString year;            // 账套年份
};

class AccountSets {
public:
    enum class Outcome {
        Done,
        Duplicate,   // another set already has the name
        NotFound,    // no set of that name (any more)
        NoTable,     // no free contract table name left
        Failed       // the database refused; nothing was changed
    };

    // currentSet: the set the user is logged in to; it is in use and can be
    // neither modified nor deleted.
    AccountSets(DbConnection &db, const QString &currentSet);

    // Every set in stored order ("select * from ztb"); false when the query failed.
    bool list(QList<AccountSetRow> &out) const;

    // A set other than except has a name the server would take for name
    // (equal but for letter case and trailing blanks).
    bool nameTaken(const QString &name, const QString &except = QString()) const;
    static QString comparisonKey(const QString &name);
    bool isInUse(const QString &name) const { return name == m_current; }
    // 引用合同表 of the set, empty when there is no such set.
    QString contractTableOf(const QString &name) const;

    // Writes the ztb row and creates the contract table as one unit, under a
    // "htb" name no set and no table uses yet. *table receives that name.
    Outcome create(const QString &name, const QString &department, const QString &remark,
                   const QString &prefix, const QString &year, QString *table = nullptr);

    // Renames the set and sets its department and remark; its contract table
    // keeps its name. Refused when another set has the new name.
    Outcome modify(const QString &oldName, const QString &newName, const QString &department,
                   const QString &remark);

    // Deletes the ztb row of the set (exactly one row, or nothing).
    Outcome remove(const QString &name);

    // Drops a contract table that no set refers to any more. Names that are
    // not plain identifiers and the fixed tables are never dropped.
    bool dropUnusedContractTable(const QString &table);

private:
    // One statement that must change exactly one ztb row, as a unit.
    Outcome changeOneRow(const QString &sql, const QVariantList &params,
                         const std::function<bool()> &isDuplicate);
    DbConnection &m_db;
    QString m_current;
};

} // namespace cg
