#pragma once
#include <QString>

namespace cg {
// The stored form of a password: MD5 of its GBK bytes, 32 lowercase hex digits.
QString PasswordDigest(const QString &password);
}
