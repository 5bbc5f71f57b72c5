#pragma once
// The ztb row of one account set, as every reader of a set's values takes it.

#include <QStringList>
#include <optional>

namespace cg {
class DbConnection;

namespace ZtbColumn {
enum { Name = 0, Department, Remark, ContractTable, Prefix, LogLimit, DefaultStart, Year };
}

// "select * from ztb where 账套名=?": the columns of the row that is this
// name to the letter, or else of the first row the server matched (it may
// ignore case and trailing blanks). Nothing when no row came back or the
// query failed.
std::optional<QStringList> FindAccountSetRow(DbConnection &db, const QString &name);

} // namespace cg
