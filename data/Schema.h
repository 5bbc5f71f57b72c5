#pragma once
// The tables of the shared database and the statements that create them.

#include <QString>
#include <QStringList>

namespace cg {
class DbConnection;

namespace Schema {

// The fourteen permission flag columns of yhb, in table order.
const QStringList &permissionFlags();

// "(id int IDENTITY (1,1) PRIMARY KEY,单据状态 …,附件 image)": the column list of
// every contract table, appended to "create table " + name.
QString contractTableColumns();
QString createContractTableSql(const QString &table);

// CREATE TABLE statements of ztb, yhb, gysb, jczlb and rzb (T-SQL).
QStringList fixedTableStatements();

// The T-SQL setup script: the five tables, the first admin row and the
// current year's account set, each guarded so it can run again.
QString setupScript();

inline constexpr const char *kAdminUser = "admin";
inline constexpr const char *kAdminInitialPassword = "123456";

// Creates whatever of the five tables is missing, the admin row when yhb has
// no admin, and an account set "<year>年度" (with its contract table) when
// ztb is empty. One unit of work. True when everything is in place.
bool initialise(DbConnection &db, int year);

// Inserts an account-set row and creates its contract table as one unit.
bool createAccountSet(DbConnection &db, const QString &name, const QString &department,
                      const QString &remark, const QString &table, const QString &prefix,
                      const QString &year);

// A "htb" name whose number is used neither by an account set nor by an
// existing table; empty when 1 to 1000 are all taken.
QString freeContractTableName(DbConnection &db);

} // namespace Schema
} // namespace cg
