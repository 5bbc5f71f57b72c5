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
