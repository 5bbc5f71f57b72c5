#include "data/Password.h"

#include <QCryptographicHash>
#include <QTextCodec>

namespace cg {

QString PasswordDigest(const QString &password)
{
    QTextCodec *gbk = QTextCodec::codecForName("GBK");
    const QByteArray bytes = gbk ? gbk->fromUnicode(password) : password.toLocal8Bit();
    return QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Md5).toHex());
}

} // namespace cg

#include "data/Db.h"

namespace cg {
bool VerifyPassword(DbConnection &db, const QString &user, const QString &password)
{
    const QString digest = PasswordDigest(password);
    Recordset rs(db);
    if (!rs.open(QStringLiteral("select 用户名,密码 from yhb where 用户名=? and 密码=?"), {user, digest}))
        return false;
    for (; !rs.eof(); rs.moveNext())
        if (rs.text(0) == user && rs.text(1) == digest)
            return true;
    return false;
}
} // namespace cg
