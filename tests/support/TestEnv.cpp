#include "support/TestEnv.h"
#include "ui/Shell.h"
#include "app/Startup.h"
#include "data/Password.h"
#include "data/Permissions.h"
#include "ui/Gates.h"
#include "data/Schema.h"

#include <QPointer>
#include <QSettings>
#include <QtTest>

namespace cgtest {

TestEnv::TestEnv(bool connect)
{
    m_ctx = std::make_unique<cg::AppContext>(m_dir.path() + QStringLiteral("/wkd/"));
    cg::MessageSeam::startRecording();
    cg::FileDialogs::startRecording();
    cg::Launcher::startRecording();
    cg::ProcessExit::startRecording();
    cg::InstallLogFailureMessage();
    cg::HostInfo::setOverride(QStringLiteral("工作站-01"), QStringLiteral("192.168.1.20"));
    // A fixed day in another year than today's: whatever reads the real
    // clock instead of the seam shows up.
    cg::Clock::setFixed(kFixedNow);
    cg::Gates::clear();
    cg::OpenLocalConnectionDatabase();
    if (connect) {
        const bool ok = m_ctx->db().openSqlite(dbPath());
        QVERIFY2(ok, "embedded database");
        QVERIFY(cg::Schema::initialise(m_ctx->db(), kFixedNow.date().year()));
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
    cg::HostInfo::clearOverride();
    cg::Clock::setFixed(QDateTime());
    cg::Gates::clear();
    m_ctx.reset();
}

QString TestEnv::dbPath() const { return m_ctx->workFolder() + QStringLiteral("cgsys.db"); }

void TestEnv::reconnect()
{
    if (!db().isConnected())
        QVERIFY(db().openSqlite(dbPath()));
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

} // namespace cgtest
