#include "support/TestEnv.h"
#include "ui/Shell.h"
#include "app/Startup.h"
#include "data/Password.h"
#include "data/Permissions.h"
#include "ui/Gates.h"
#include "data/Schema.h"

#include <QCoreApplication>
#include <QPointer>
#include <QRandomGenerator>
#include <QSettings>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>

namespace cgtest {

namespace {

struct ClusterValues {
    QString host, port, user, password;
};

ClusterValues cluster()
{
    return {qEnvironmentVariable("CGSYS_PG_HOST"), qEnvironmentVariable("CGSYS_PG_PORT", QStringLiteral("5432")),
            qEnvironmentVariable("CGSYS_PG_USER"), qEnvironmentVariable("CGSYS_PG_PASSWORD")};
}

// Runs one statement on the cluster's maintenance database "postgres".
bool onMaintenanceDatabase(const QString &sql, QString *error)
{
    static int serial = 0;
    const QString name = QStringLiteral("cgtest-maintenance-%1").arg(++serial);
    bool ok;
    {
        const ClusterValues c = cluster();
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QPSQL"), name);
        db.setHostName(c.host);
        db.setPort(c.port.toInt());
        db.setUserName(c.user);
        db.setPassword(c.password);
        db.setDatabaseName(QStringLiteral("postgres"));
        ok = db.open();
        if (ok) {
            QSqlQuery q(db);
            ok = q.exec(sql);
            if (!ok)
                *error = q.lastError().text();
        } else {
            *error = db.lastError().text();
        }
        db.close();
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

} // namespace

cg::Backend TestEnv::backend()
{
    return qEnvironmentVariable("CGSYS_TEST_BACKEND").compare(QLatin1String("postgresql"), Qt::CaseInsensitive) == 0
        ? cg::Backend::PostgreSql
        : cg::Backend::Sqlite;
}

TestEnv::TestEnv(bool connect)
{
    m_ctx = std::make_unique<cg::AppContext>(m_dir.path() + QStringLiteral("/wkd/"));
    cg::MessageSeam::startRecording();
    cg::FileDialogs::startRecording();
    cg::Launcher::startRecording();
    cg::ProcessExit::startRecording();
    cg::PrintPreview::startRecording();
    cg::InstallLogFailureMessage();
    cg::HostInfo::setOverride(QStringLiteral("工作站-01"), QStringLiteral("192.168.1.20"));
    // A fixed day in another year than today's: whatever reads the real
    // clock instead of the seam shows up.
    cg::Clock::setFixed(kFixedNow);
    cg::Gates::clear();
    cg::OpenLocalConnectionDatabase();
    if (onPostgreSql()) {
        // A test without its database cannot go on: QFAIL would only leave
        // this constructor, and the test would run on a missing connection.
        if (cluster().host.isEmpty())
            qFatal("PostgreSQL test cluster not running: CGSYS_PG_HOST is not set");
        // Lower-case ASCII: the name stands unquoted in statements.
        static int serial = 0;
        const QString name = QStringLiteral("cgtest_%1_%2_%3")
                                 .arg(QCoreApplication::applicationPid())
                                 .arg(++serial)
                                 .arg(QRandomGenerator::global()->generate() % 1000000);
        QString error;
        const bool created = onMaintenanceDatabase(QStringLiteral("create database ") + name, &error);
        if (!created)
            qFatal("cannot create a database on the PostgreSQL test cluster: %s", qPrintable(error));
        m_serverDatabase = name;
    }
    if (connect) {
        if (!open(m_ctx->db()))
            qFatal("test database: %s", qPrintable(m_ctx->db().lastError()));
        if (!cg::Schema::initialise(m_ctx->db(), kFixedNow.date().year()))
            qFatal("test database cannot be set up: %s", qPrintable(m_ctx->db().lastError()));
    }
}

TestEnv::~TestEnv()
{
    QList<QPointer<QWidget>> windows;
    for (QWidget *w : QApplication::topLevelWidgets())
        windows << w;
    for (const QPointer<QWidget> &w : windows)
        if (w && !w->parentWidget())
            delete w.data();
    for (const QPointer<QWidget> &w : windows)
        delete w.data();
    cg::Windows::clearFactories();
    cg::MessageSeam::stopRecording();
    cg::FileDialogs::stopRecording();
    cg::Launcher::stopRecording();
    cg::ProcessExit::stopRecording();
    cg::PrintPreview::stopRecording();
    cg::HostInfo::clearOverride();
    cg::Clock::setFixed(QDateTime());
    cg::Gates::clear();
    m_ctx.reset();
    if (!m_serverDatabase.isEmpty()) {
        // Also ends what a failed test left connected (worker processes).
        QString error;
        if (!onMaintenanceDatabase(QStringLiteral("drop database if exists ") + m_serverDatabase
                                       + QStringLiteral(" with (force)"),
                                   &error))
            qWarning("test database %s not dropped: %s", qPrintable(m_serverDatabase), qPrintable(error));
    }
}

QString TestEnv::dbPath() const { return m_ctx->workFolder() + QStringLiteral("cgsys.db"); }

QStringList TestEnv::connectionValues() const
{
    if (onPostgreSql()) {
        const ClusterValues c = cluster();
        return {QLatin1String(cg::kPostgreSqlScheme) + c.host + QLatin1Char(':') + c.port, m_serverDatabase, c.user,
                c.password};
    }
    return {QLatin1String(cg::kEmbeddedServer), dbPath(), QStringLiteral("local"), QStringLiteral("local")};
}

bool TestEnv::open(cg::DbConnection &other) const
{
    const QStringList v = connectionValues();
    return other.open(v.at(0), v.at(1), v.at(2), v.at(3), workFolder());
}

QStringList TestEnv::initdbArguments() const
{
    if (onPostgreSql()) {
        const ClusterValues c = cluster();
        return {QStringLiteral("--postgresql"), c.host + QLatin1Char(':') + c.port, QStringLiteral("--database"),
                m_serverDatabase, QStringLiteral("--login"), c.user, QStringLiteral("--password"), c.password};
    }
    return {QStringLiteral("--sqlite"), dbPath()};
}

void TestEnv::reconnect()
{
    if (!db().isConnected())
        QVERIFY(open(db()));
    if (!m_ctx->localDb().isConnected())
        QVERIFY(m_ctx->localDb().openSqlite(m_ctx->localDbPath()));
}

void TestEnv::loginAs(const QString &user)
{
    cg::LoginContext &lc = m_ctx->login;
    lc.userName = user;
    lc.loggedIn = true;
    cg::Recordset rs(db());
    QVERIFY(rs.open(QStringLiteral("select * from ztb")));
    lc.accountSetName = rs.text(0);
    lc.chosenAccountSet = rs.text(0);
    lc.contractTable = rs.text(3);
    lc.contractPrefix = rs.text(4).isEmpty() ? QStringLiteral("KQLM") : rs.text(4);
}

void TestEnv::addUser(const QString &name, const QString &password, const QStringList &grantedFlags)
{
    QString cols = QStringLiteral("用户名,密码");
    QString marks = QStringLiteral("?,?");
    QVariantList values{name, cg::PasswordDigest(password)};
    for (const QString &f : cg::Schema::permissionFlags()) {
        cols += QLatin1Char(',') + f;
        marks += QStringLiteral(",?");
        values << (grantedFlags.contains(f) ? QStringLiteral("1") : QStringLiteral("0"));
    }
    QVERIFY(db().execute(QStringLiteral("insert into yhb(") + cols + QStringLiteral(") values(") + marks
                             + QStringLiteral(")"),
                         values));
}

bool TestEnv::refuse(const QString &table, const QString &event)
{
    const QString trigger = QStringLiteral("refuse_%1_%2").arg(table, event);
    if (db().backend() == cg::Backend::PostgreSql)
        return db().execute(QStringLiteral("create or replace function cgtest_refuse() returns trigger language plpgsql "
                                           "as $$ begin raise exception 'refused'; end $$"))
            && db().execute(QStringLiteral("create trigger %1 before %2 on %3 for each row execute function "
                                           "cgtest_refuse()")
                                .arg(trigger, event, table));
    return db().execute(QStringLiteral("create trigger %1 before %2 on %3 begin select raise(abort,'refused'); end")
                            .arg(trigger, event, table));
}

QList<QStringList> TestEnv::rows(const QString &sql, const QVariantList &params)
{
    QList<QStringList> out;
    reconnect();
    cg::Recordset rs(db());
    if (!rs.open(sql, params))
        return out;
    for (; !rs.eof(); rs.moveNext()) {
        QStringList row;
        for (int i = 0; i < rs.columnCount(); ++i)
            row << rs.text(i);
        out << row;
    }
    return out;
}

QStringList TestEnv::logTriples()
{
    QStringList out;
    for (const QStringList &r : rows(QStringLiteral("select 状态,内容描述,操作模块 from rzb order by id")))
        out << r.join(QLatin1Char('|'));
    return out;
}

QString TestEnv::setting(const QString &section, const QString &key)
{
    QSettings s(m_ctx->settingsPath(), QSettings::IniFormat);
    return s.value(section + QLatin1Char('/') + key).toString();
}

QStringList messageTexts()
{
    QStringList out;
    for (const cg::ShownMessage &m : cg::MessageSeam::shown())
        out << m.text;
    return out;
}

QStringList indexNames(cg::DbConnection &db, const QString &table)
{
    QString sql;
    switch (db.backend()) {
    case cg::Backend::Sqlite:
        sql = QStringLiteral("select name from sqlite_master where type='index' and tbl_name=? and sql is not null "
                             "order by name");
        break;
    case cg::Backend::PostgreSql:
        sql = QStringLiteral("select i.relname::text from pg_index x join pg_class i on i.oid=x.indexrelid "
                             "join pg_class t on t.oid=x.indrelid where t.relname=? and not x.indisprimary "
                             "and t.relnamespace=(select oid from pg_namespace where nspname=current_schema()) order by 1");
        break;
    case cg::Backend::SqlServer:
    case cg::Backend::None:
        return {};
    }
    QStringList names;
    cg::Recordset rs(db);
    if (rs.open(sql, {table}))
        for (; !rs.eof(); rs.moveNext())
            names << rs.text(0);
    return names;
}

} // namespace cgtest
