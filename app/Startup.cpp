#include "app/Startup.h"
#include "data/Context.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryFile>

// The pictures and the skin are compiled into the static library; naming
// them here links them into every program that starts up.
static void initAppResources() { Q_INIT_RESOURCE(app); }

namespace cg {

void EnsureResources()
{
    static const bool ready = (initAppResources(), true);
    Q_UNUSED(ready);
}

namespace {

constexpr QFile::Permissions kOwnerOnly = QFile::ReadOwner | QFile::WriteOwner;

// Table and template row where they are missing, as one unit: an interrupted
// repair leaves the file as it was and the next start repairs it again.
bool EnsureTemplateRow(DbConnection &db)
{
    return inTransaction(db, [&db] {
        return db.execute(QStringLiteral("create table if not exists 数据库表(id int primary key,"
                                         "服务器IP nvarchar(255),数据库名称 nvarchar(255),"
                                         "登录名 nvarchar(255),密码 nvarchar(255))"))
            && db.execute(QStringLiteral("insert into 数据库表(id,服务器IP,数据库名称,登录名,密码) "
                                         "select 1,?,?,?,? where not exists (select 1 from 数据库表 where id=1)"),
                          {kTemplateServer, kTemplateDatabase, kTemplateLogin, kTemplatePassword});
    });
}

// Builds the file from the template beside its final place and renames it
// there, so the name never stands for a half-built file. An existing file
// is never replaced.
bool CreateFromTemplate(const QString &path)
{
    QTemporaryFile building(path + QStringLiteral(".new-XXXXXX"));
    building.setAutoRemove(false);
    if (!building.open())
        return false;
    const QString temp = building.fileName();
    // The file holds a server password: readable by its owner only.
    building.setPermissions(kOwnerOnly);
    building.close();
    bool built;
    {
        DbConnection db(QStringLiteral("数据库连接_注册_新建"));
        built = db.openSqlite(temp) && EnsureTemplateRow(db);
    }
    // QFile::rename never replaces an existing file.
    const bool placed = built && QFile::rename(temp, path);
    if (!placed)
        QFile::remove(temp);
    return placed;
}

enum class FileCheck { Complete, Incomplete, NotADatabase, Unreadable };

FileCheck CheckLocalFile(DbConnection &db)
{
    QSqlQuery q(db.database());
    if (q.exec(QStringLiteral("select count(*) from 数据库表 where id=1")))
        return q.next() && q.value(0).toInt() > 0 ? FileCheck::Complete : FileCheck::Incomplete;
    // SQLite result codes: 11 damaged and 26 not a database at all; 1 here is
    // the missing table. Anything else (busy, no access) says nothing about
    // the file itself.
    const QString code = q.lastError().nativeErrorCode();
    if (code == QLatin1String("11") || code == QLatin1String("26"))
        return FileCheck::NotADatabase;
    if (code == QLatin1String("1"))
        return FileCheck::Incomplete;
    return FileCheck::Unreadable;
}

// Keeps an unusable file as <name>.bad (replacing an older one) together
// with its journal files, which must not be applied to the new file.
void MoveAside(const QString &path)
{
    for (const QString &suffix : {QString(), QStringLiteral("-journal"), QStringLiteral("-wal"),
                                  QStringLiteral("-shm")}) {
        const QString from = path + suffix;
        const QString to = path + QStringLiteral(".bad") + suffix;
        QFile::remove(to);
        if (QFileInfo::exists(from))
            QFile::rename(from, to);
    }
}

} // namespace

bool OpenLocalConnectionDatabase()
{
    AppContext &ctx = Ctx();
    const QString path = ctx.localDbPath();
    DbConnection &local = ctx.localDb();
    // Owner-only before SQLite opens it: its journal files take the same mode.
    const auto open = [&] {
        if (QFileInfo::exists(path))
            QFile::setPermissions(path, kOwnerOnly);
        const bool opened = local.openSqlite(path);
        QFile::setPermissions(path, kOwnerOnly);
        return opened;
    };
    if (!QFileInfo::exists(path))
        CreateFromTemplate(path);
    if (!open())
        return false;
    switch (CheckLocalFile(local)) {
    case FileCheck::Complete:
    case FileCheck::Unreadable:   // busy or locked: left alone, reads come back empty
        break;
    case FileCheck::Incomplete:
        EnsureTemplateRow(local);
        break;
    case FileCheck::NotADatabase:
        local.close();
        MoveAside(path);
        CreateFromTemplate(path);
        if (!open())
            return false;
        EnsureTemplateRow(local);   // in case the new file could not be built aside
        break;
    }
    return true;
}

QString ReadConnectionSetting(const QString &column)
{
    static const QStringList allowed = {QStringLiteral("服务器IP"), QStringLiteral("数据库名称"),
                                        QStringLiteral("登录名"), QStringLiteral("密码")};
    if (!allowed.contains(column))
        return {};
    Recordset rs(Ctx().localDb());
    if (!rs.open(QStringLiteral("select ") + column + QStringLiteral(" from 数据库表 where id=1")))
        return {};
    const QString value = rs.text(0);
    rs.close();
    return value;
}

bool SaveConnectionSettings(const QString &server, const QString &database, const QString &login,
                            const QString &password)
{
    DbConnection &local = Ctx().localDb();
    return local.execute(QStringLiteral("update 数据库表 set 服务器IP=?,数据库名称=?,登录名=?,密码=? where id=1"),
                         {server, database, login, password})
        && local.rowsAffected() != 0;
}

QByteArray DefaultBackgroundPicture()
{
    EnsureResources();
    QFile f(QStringLiteral(":/app/default_background.jpg"));
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

BackgroundChoice ChooseBackground()
{
    const QString section = QStringLiteral("界面布局");
    const QString key = QStringLiteral("背景图片");
    const QString removed = QStringLiteral("背景图片未加载");
    BackgroundChoice choice;
    QFile f(Ctx().backgroundPath());
    if (f.open(QIODevice::ReadOnly))
        choice.picture = f.readAll();
    if (choice.picture.isEmpty() && Settings::read(section, key) == removed) {
        Settings::write(section, key, removed);
    } else if (choice.picture.isEmpty()) {
        choice.picture = DefaultBackgroundPicture();
        Settings::write(section, key, QStringLiteral("已加载默认背景图片"));
    } else {
        Settings::write(section, key, QStringLiteral("背景图片加载成功"));
    }
    const QString placement = Settings::read(section, QStringLiteral("图片位置"));
    if (placement == QStringLiteral("图片左上"))
        choice.placement = PicturePlacement::TopLeft;
    else if (placement == QStringLiteral("图片平铺"))
        choice.placement = PicturePlacement::Tiled;
    else if (placement == QStringLiteral("图片居中"))
        choice.placement = PicturePlacement::Centred;
    return choice;
}

QString StatusDateText(const QDate &date)
{
    static const char *const days[] = {"  星期日", "  星期一", "  星期二", "  星期三",
                                       "  星期四", "  星期五", "  星期六"};
    // Qt counts Monday as 1 and Sunday as 7.
    const QString weekday = QString::fromUtf8(days[date.dayOfWeek() % 7]);
    return QStringLiteral(" %1年%2月%3日").arg(date.year()).arg(date.month()).arg(date.day()) + weekday;
}

} // namespace cg
