#pragma once
#include <QString>

namespace cg {
// The stored form of a password: MD5 of its GBK bytes, 32 lowercase hex digits.
QString PasswordDigest(const QString &password);
}

namespace cg {
class DbConnection;
// The user's row matches name and password digest exactly (compared here
// too: the server may compare names without regard to case).
bool VerifyPassword(DbConnection &db, const QString &user, const QString &password);
}
