#pragma once
// Permission flags of yhb: one query per question.

#include <QString>

namespace cg {
class DbConnection;

// One query per call: "select 用户名,<flag> from yhb where 用户名=…"; granted
// exactly when the row of that exact user name exists and the flag reads as
// the number 1. Only the fourteen flag columns of yhb are asked; any other
// name is refused without a query.
bool HasPermission(DbConnection &db, const QString &user, const QString &flag);
// The same for the logged-in user on the main connection.
bool HasPermission(const QString &flag);
bool IsPermissionFlag(const QString &flag);

} // namespace cg
