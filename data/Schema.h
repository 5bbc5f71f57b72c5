#pragma once
// The tables of the shared database and the statements that create them.

#include <QByteArray>
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

// The five tables every database holds: ztb, yhb, gysb, jczlb, rzb.
const QStringList &fixedTables();
// CREATE TABLE statements of ztb, yhb, gysb, jczlb and rzb (T-SQL).
QStringList fixedTableStatements();

// The T-SQL setup script: the five tables, the first admin row, the
// current year's account set and the indexes, each guarded so it can run
// again.
QString setupScript();
// The script as data/sql/setup.sql holds it: UTF-8 with a byte-order mark,
// so sqlcmd on a Chinese Windows does not read it in code page 936.
QByteArray setupScriptFile();

// Index names: "ix_rzb_过滤日期", "ix_" + table + "_合同编号" and
// "ix_" + table + "_合同子编号".
QString logIndexName();
QString contractIndexName(const QString &table);
QString contractSubNumberIndexName(const QString &table);

// The indexes the searches rely on: rzb by 过滤日期 and each contract table
// by 合同编号 and by 合同子编号 (the import's duplicate test). Each is created when missing, so this is harmless on a
// database that has them; tables that do not exist are skipped. Meant for
// the start-up, right after connecting. True when every index is in place
// (a login without the right to create indexes gets false; the program
// works on, only slower).
bool ensureIndexes(DbConnection &db, const QStringList &contractTables);

// The contract tables named by the account sets (引用合同表 of ztb).
QStringList contractTables(DbConnection &db);

inline constexpr const char *kAdminUser = "admin";
inline constexpr const char *kAdminInitialPassword = "123456";

// Creates whatever of the five tables is missing, the admin row when yhb has
// no admin, an account set "<year>年度" (with its contract table) when ztb
// is empty, and the indexes. One unit of work. True when everything is in
// place.
bool initialise(DbConnection &db, int year);

// Inserts an account-set row and creates its contract table with its
// indexes as one unit.
bool createAccountSet(DbConnection &db, const QString &name, const QString &department,
                      const QString &remark, const QString &table, const QString &prefix,
                      const QString &year);

// A "htb" name whose number is used neither by an account set nor by an
// existing table; empty when 1 to 1000 are all taken.
QString freeContractTableName(DbConnection &db);

} // namespace Schema
} // namespace cg
