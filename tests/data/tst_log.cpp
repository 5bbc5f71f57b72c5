// The operation log writer and the once-per-login size check.
#include "app/MainWindow.h"
#include "ui/Shell.h"
#include "data/OperationLog.h"
#include "support/TestEnv.h"

#include <QHostAddress>
#include <QtTest>

using namespace cg;

class TstLog : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void entryColumns();
    void failedInsertIsReported();
    void hostAddressIsDottedIPv4();
    void sizeCheckThresholds();
};

void TstLog::entryColumns()
{
    cgtest::TestEnv env;
    env.loginAs(QStringLiteral("张三"));
    // The computer name is not cut at 15 characters.
    HostInfo::setOverride(QStringLiteral("purchasing-workstation-017"), QStringLiteral("10.1.2.3"));
    Clock::setFixed(QDateTime(QDate(2021, 3, 7), QTime(9, 5, 3)));
    QCOMPARE(LogFilterDate(Clock::now()), QStringLiteral("2021-03-07"));
    QCOMPARE(LogDateTime(Clock::now()), QStringLiteral("2021-03-07 09:05:03"));
    WriteLogEntry(QStringLiteral("操作"), QStringLiteral("O'Brien'); drop table rzb; --"), QStringLiteral("基础资料"));
    const auto rows = env.rows(QStringLiteral("select id,过滤日期,日期,用户,操作模块,状态,内容描述,机器名,IP地址 from rzb"));
    QCOMPARE(rows.size(), 1);
    QCOMPARE(rows[0], (QStringList{QStringLiteral("1"), QStringLiteral("2021-03-07"), QStringLiteral("2021-03-07 09:05:03"),
                                   QStringLiteral("张三"), QStringLiteral("基础资料"), QStringLiteral("操作"),
                                   QStringLiteral("O'Brien'); drop table rzb; --"),
                                   QStringLiteral("purchasing-workstation-017"), QStringLiteral("10.1.2.3")}));
    // Before a login the user is empty.
    env.ctx().login.userName.clear();
    Clock::setFixed(QDateTime(QDate(2026, 12, 31), QTime(23, 59, 59)));
    WriteLogEntry(QStringLiteral("结束"), QStringLiteral("取消登录操作"), QStringLiteral("登录"));
    QCOMPARE(env.rows(QStringLiteral("select 用户,日期 from rzb order by id desc")).value(0),
             (QStringList{QString(), QStringLiteral("2026-12-31 23:59:59")}));
    QCOMPARE(env.rows(QStringLiteral("select count(*) from rzb where 用户 is null")).value(0).value(0),
             QStringLiteral("0"));
    QCOMPARE(env.rows(QStringLiteral("select count(*) from rzb where 用户=''")).value(0).value(0),
             QStringLiteral("1"));
    QCOMPARE(cgtest::messageTexts(), QStringList());
}

void TstLog::failedInsertIsReported()
{
    cgtest::TestEnv env;
    QVERIFY(env.db().execute(QStringLiteral("drop table rzb")));
    WriteLogEntry(QStringLiteral("操作"), QStringLiteral("x"), QStringLiteral("y"));
    QCOMPARE(MessageSeam::shown().size(), 1);
    QCOMPARE(MessageSeam::shown()[0].text, QStringLiteral("没有写入成功"));
    QCOMPARE(MessageSeam::shown()[0].title, QStringLiteral("系统提示"));
    QCOMPARE(MessageSeam::shown()[0].icon, MsgIcon::Information);
    QCOMPARE(LogSizeCheck(env.db(), QString()).rowCount(), -1);
}

void TstLog::hostAddressIsDottedIPv4()
{
    // The first IPv4 address that is not the loopback; the loopback when
    // there is none.
    QCOMPARE(HostInfo::pickIpv4({QStringLiteral("127.0.0.1"), QStringLiteral("::1"), QStringLiteral("fe80::1"),
                                 QStringLiteral("192.168.3.7"), QStringLiteral("10.0.0.2")}),
             QStringLiteral("192.168.3.7"));
    QCOMPARE(HostInfo::pickIpv4({QStringLiteral("::1"), QStringLiteral("2001:db8::5")}), QStringLiteral("127.0.0.1"));
    QCOMPARE(HostInfo::pickIpv4({}), QStringLiteral("127.0.0.1"));
    HostInfo::clearOverride();
    const QString ip = HostInfo::ipv4Address();
    QHostAddress a;
    QVERIFY2(a.setAddress(ip) && a.protocol() == QAbstractSocket::IPv4Protocol, qPrintable(ip));
    QVERIFY(!HostInfo::computerName().isEmpty());
}

namespace {
void fillLog(cgtest::TestEnv &env, int rows)
{
    QVERIFY(env.db().execute(QStringLiteral("delete from rzb")));
    QVERIFY(env.db().execute(QStringLiteral(
        "WITH RECURSIVE c(x) AS (SELECT 1 UNION ALL SELECT x+1 FROM c WHERE x<?) "
        "INSERT INTO rzb(过滤日期,日期,用户,操作模块,状态,内容描述,机器名,IP地址) "
        "SELECT '2026-01-01','2026-01-01 08:00:00','admin','登录','操作记录','x','pc','127.0.0.1' FROM c"),
                             {rows}));
    QCOMPARE(LogSizeCheck(env.db(), QString()).rowCount(), rows);
}
} // namespace

void TstLog::sizeCheckThresholds()
{
    cgtest::TestEnv env;
    env.loginAs(QStringLiteral("admin"));
    int logWindows = 0;
    // The log window closes itself at once, as a user would.
    Windows::registerFactory(WindowKey::SystemLog, [&](QWidget *) {
        ++logWindows;
        auto *w = new QWidget;
        QTimer::singleShot(0, w, &QWidget::close);
        return w;
    });
    MainWindow main;
    const QString limitWarning = QStringLiteral("系统日志已超出设定值，请管理员及时清除系统日志！");
    const QString hardWarning = QStringLiteral("日志数超过10万条，请管理员及时清除系统日志！");

    QVERIFY(env.db().execute(QStringLiteral("update ztb set 日志数=80000")));
    fillLog(env, 79999);
    main.armLogCheck();
    main.checkLogSize();
    QCOMPARE(cgtest::messageTexts(), QStringList());

    fillLog(env, 80000);
    main.armLogCheck();
    main.checkLogSize();
    QCOMPARE(cgtest::messageTexts(), QStringList{limitWarning});
    QCOMPARE(MessageSeam::shown()[0].owner, &main);
    // Once per login: a second tick does nothing.
    main.checkLogSize();
    QCOMPARE(MessageSeam::shown().size(), 1);
    QCOMPARE(logWindows, 0);

    MessageSeam::clear();
    fillLog(env, 100000);
    main.armLogCheck();
    main.checkLogSize();
    QCOMPARE(cgtest::messageTexts(), (QStringList{limitWarning, hardWarning}));
    QCOMPARE(logWindows, 1);

    // A set without a limit warns always.
    MessageSeam::clear();
    QVERIFY(env.db().execute(QStringLiteral("update ztb set 日志数=NULL")));
    fillLog(env, 1);
    main.armLogCheck();
    main.checkLogSize();
    QCOMPARE(cgtest::messageTexts(), QStringList{limitWarning});
}

QTEST_MAIN(TstLog)
#include "tst_log.moc"
