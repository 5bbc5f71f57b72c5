#include "app/SystemConfig.h"
#include "data/OperationLog.h"
#include "app/Startup.h"
#include "data/Context.h"
#include "ui/Printing.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

namespace cg {
namespace SystemConfig {

int logLimitIndex(qint64 limit)
{
    if (limit == kLimit80k)
        return 1;
    if (limit == kLimit50k)
        return 0;
    return -1;
}

qint64 logLimitOfIndex(int index) { return index == 1 ? kLimit80k : kLimit50k; }

Snapshot load()
{
    AppContext &ctx = Ctx();
    Snapshot s;
    s.prefix = ctx.login.contractPrefix;
    s.pictureStatus = Settings::read(kLayoutSection, kPictureKey);
    s.placement = Settings::read(kLayoutSection, kPlacementKey, kTiled);
    s.logLimitIndex = logLimitIndex(LogSizeCheck(ctx.db(), ctx.login.accountSetName).limit());
    s.adminFieldsEditable = ctx.login.isAdmin();
    s.printTitle = PrintSettings::title();
    return s;
}

bool storePicture(const QByteArray &bytes)
{
    // Written beside the old file and renamed over it, so a failed write
    // never leaves a half picture behind.
    QSaveFile out(Ctx().backgroundPath());
    if (!out.open(QIODevice::WriteOnly))
        return false;
    if (out.write(bytes) != bytes.size()) {
        out.cancelWriting();
        return false;
    }
    return out.commit();
}

bool takePicture(const QString &path)
{
    QFile in(path);
    if (!in.open(QIODevice::ReadOnly))
        return false;
    const QByteArray bytes = in.readAll();
    if (in.error() != QFileDevice::NoError)
        return false;
    in.close();
    if (!storePicture(bytes))
        return false;
    Settings::write(kLayoutSection, kPictureKey, kPictureLoaded);
    return true;
}

QString clearPicture()
{
    Settings::write(kLayoutSection, kPictureKey, kPictureRemoved);
    const QString stored = Settings::read(kLayoutSection, kPictureKey);
    QFile::remove(Ctx().backgroundPath());
    return stored;
}

bool savePlacement(const QString &placement)
{
    return Settings::write(kLayoutSection, kPlacementKey, placement);
}

void restoreDefaultPicture()
{
    storePicture(DefaultBackgroundPicture());
    savePlacement(kTiled);
}

namespace {
// A path typed or left in the path box: copied over 底图 when it names
// another existing file; failures are ignored.
void copyNamedPicture(const QString &pathBoxText)
{
    if (pathBoxText.isEmpty())
        return;
    const QFileInfo source(pathBoxText);
    if (!source.isFile())
        return;
    const QFileInfo target(Ctx().backgroundPath());
    if (target.exists() && source.canonicalFilePath() == target.canonicalFilePath())
        return;
    QFile in(source.absoluteFilePath());
    if (!in.open(QIODevice::ReadOnly))
        return;
    const QByteArray bytes = in.readAll();
    if (in.error() == QFileDevice::NoError)
        storePicture(bytes);
}
} // namespace

bool saveAccountSetSettings(const QString &prefix, const QString &pathBoxText, int limitIndex)
{
    AppContext &ctx = Ctx();
    ctx.login.contractPrefix = prefix;
    const QString set = ctx.login.accountSetName;
    DbConnection &db = ctx.db();
    // The prefix and the log limit are stored together or not at all; an
    // update that changes no row (the account set is gone) stores nothing.
    const bool stored = inTransaction(db, [&] {
        if (!db.execute(QStringLiteral("update ztb set 合同编号=? where 账套名=?"), {prefix, set})
            || db.rowsAffected() != 1)
            return false;
        if (limitIndex == 0 || limitIndex == 1)
            return db.execute(QStringLiteral("update ztb set 日志数=? where 账套名=?"),
                              {logLimitOfIndex(limitIndex), set})
                && db.rowsAffected() == 1;
        return true;
    });
    if (!stored)
        return false;
    copyNamedPicture(pathBoxText);
    return true;
}

} // namespace SystemConfig
} // namespace cg
