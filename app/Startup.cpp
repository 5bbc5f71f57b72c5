#include "app/Startup.h"
#include "data/Context.h"

#include <QFile>

// The pictures and the skin are compiled into the static library; naming
// them here links them into every program that starts up.
static void initAppResources() { Q_INIT_RESOURCE(app); }

namespace cg {

void EnsureResources()
{
    static const bool ready = (initAppResources(), true);
    Q_UNUSED(ready);
}

bool OpenLocalConnectionDatabase()
{
    AppContext &ctx = Ctx();
    const QString path = ctx.localDbPath();
    const bool fresh = !QFile::exists(path);
    DbConnection &local = ctx.localDb();
    if (!local.openSqlite(path))
        return false;
    if (fresh) {
        // The file holds a server password: readable by its owner only.
        QFile::setPermissions(path, QFile::ReadOwner | QFile::WriteOwner);
        local.execute(QStringLiteral("create table 数据库表(id int primary key,服务器IP nvarchar(255),"
                                     "数据库名称 nvarchar(255),登录名 nvarchar(255),密码 nvarchar(255))"));
        local.execute(QStringLiteral("insert into 数据库表(id,服务器IP,数据库名称,登录名,密码) values(1,?,?,?,?)"),
                      {kTemplateServer, kTemplateDatabase, kTemplateLogin, kTemplatePassword});
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
