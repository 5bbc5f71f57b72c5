#pragma once
// The checks of a login, apart from the window.

#include <QString>
#include <QStringList>

namespace cg {

QStringList AllUserNames();          // 用户名 of every yhb row, in stored order
QStringList AllAccountSetNames();    // 账套名 of every ztb row, in stored order

// False when the set's name, read as a leading integer, is not this year.
bool AccountSetIsOfYear(const QString &accountSet, int year);
// Reads the set's row into the login context (name and contract table).
void LoadAccountSet(const QString &accountSet);
// The message for the first missing table (contract table, yhb, gysb,
// jczlb), or an empty text when all exist.
QString MissingTableMessage(const QString &contractTable);
// The user's row matches name and password digest exactly.
bool VerifyPassword(const QString &user, const QString &password);
// ztb.合同编号 of the set, "KQLM" when empty.
QString ContractPrefixOf(const QString &accountSet);

} // namespace cg
