// Two workstations save contracts into one database at the same moment. The
// test program starts itself twice with --workstation; each copy opens the
// entry window on the shared database and saves as fast as it can, either
// the same typed numbers or the numbers the window proposes. With --saver a copy saves contracts until
// it is killed, which must never leave a contract without its log rows.
#include "contracts/ContractEntryWindow.h"
#include "support/TestEnv.h"
#include "support/UserInput.h"

#include <QApplication>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTableWidget>
#include <QThread>
#include <QtTest>
#include <cstdio>
#include <memory>

using namespace cg;

namespace {

constexpr int kContracts = 30;

QString number(int i) { return QStringLiteral("KQLM%1").arg(i, 4, 10, QLatin1Char('0')); }

// Connects a copy of the program as a logged-in workstation: server,
// database, login and password from args at first.
bool connectStation(AppContext &ctx, const QStringList &args, int first, const QString &name)
{
    if (!ctx.db().open(args.at(first), args.at(first + 1), args.at(first + 2), args.at(first + 3), ctx.workFolder()))
        return false;
    MessageSeam::startRecording();
    Clock::setFixed(cgtest::kFixedNow);   // the year of the test's account set
    HostInfo::setOverride(name, QStringLiteral("10.0.0.1"));
    LoginContext &login = ctx.login;
    login.userName = QStringLiteral("admin");
    Recordset rs(ctx.db());
    if (!rs.open(QStringLiteral("select * from ztb")))
        return false;
    login.accountSetName = login.chosenAccountSet = rs.text(0);
    login.contractTable = rs.text(3);
    return true;
}

// Fills the entry form as a clerk would: the header, then two lines.
void fillForm(QWidget *w, const QString &contract, const QString &name)
{
    auto set = [&](const char *control, const QString &text) {
        if (auto *box = w->findChild<QComboBox *>(QString::fromUtf8(control)))
            box->setEditText(text);
        else
            w->findChild<QLineEdit *>(QString::fromUtf8(control))->setText(text);
    };
    // Both stations type the same number: it is the clerk's, not the
    // window's proposal, so the later save is refused. Without a number
    // the window's proposal stays.
    if (!contract.isEmpty() && !cgtest::typeText(w->findChild<QLineEdit *>(QStringLiteral("编辑框_合同编号")), contract))
        std::fprintf(stderr, "the number box takes no keys\n");
    set("组合框_供应商", QStringLiteral("北方五金"));
    set("组合框_申请人", name);
    set("组合框_申请部门", QStringLiteral("采购部"));
    set("组合框_采购员", QStringLiteral("李四"));
    set("组合框_付款方式", QStringLiteral("现金"));
    set("组合框_税率", QStringLiteral("6%"));
    set("编辑框_合同总金额", QStringLiteral("100"));
    auto *grid = w->findChild<QTableWidget *>(QStringLiteral("高级表格_产品"));
    // After a refusal the form is kept: start afresh.
    while (grid->rowCount() > 1)
        grid->removeRow(1);
    static_cast<ContractEntryWindow *>(w)->addLine();
    for (int row = 0; row < 2; ++row)
        for (int c = 0; c < 3; ++c)
            grid->setItem(row, c, new QTableWidgetItem(name + QString::number(row * 3 + c)));
}

// --workstation <work folder> <go file> <name> <server> <database> <login> <password>
int runWorkstation(const QStringList &args)
{
    if (args.size() < 9)
        return 2;
    const QString name = args.at(4);
    AppContext ctx(args.at(2));
    if (!connectStation(ctx, args, 5, name))
        return 3;
    std::unique_ptr<QWidget> w(CreateContractEntryWindow(nullptr));
    w->show();
    std::printf("ready\n");
    std::fflush(stdout);
    while (!QFile::exists(args.at(3)))
        QThread::msleep(2);

    const bool proposed = qEnvironmentVariableIsSet("CGTEST_PROPOSED_NUMBERS");
    for (int i = 1; i <= kContracts; ++i) {
        fillForm(w.get(), proposed ? QString() : number(i), name);
        w->findChild<QPushButton *>(QStringLiteral("按钮_保存"))->click();
        for (const ShownMessage &m : MessageSeam::shown())
            std::printf("%d:%s\n", i, QString(m.text).replace(u'\n', QStringLiteral("\\n")).toUtf8().constData());
        std::fflush(stdout);
        MessageSeam::clear();
    }
    return 0;
}

// --saver <work folder> <prefix> <server> <database> <login> <password>:
// saves contracts prefix0001, prefix0002 … until it is killed.
int runSaver(const QStringList &args)
{
    if (args.size() < 8)
        return 2;
    AppContext ctx(args.at(2));
    if (!connectStation(ctx, args, 4, QStringLiteral("工作站丙")))
        return 3;
    // A log row takes its time (a busy server, a slow network), so a
    // kill is most likely to fall while the log rows are being written.
    ctx.db().setStatementObserver([](const QString &sql) {
        if (sql.startsWith(QStringLiteral("insert into rzb")))
            QThread::msleep(4);
    });
    std::unique_ptr<QWidget> w(CreateContractEntryWindow(nullptr));
    w->show();
    std::printf("ready\n");
    std::fflush(stdout);
    for (int i = 1; i < 100000; ++i) {
        fillForm(w.get(), args.at(3) + QStringLiteral("%1").arg(i, 4, 10, QLatin1Char('0')), QStringLiteral("丙"));
        w->findChild<QPushButton *>(QStringLiteral("按钮_保存"))->click();
        MessageSeam::clear();
    }
    return 0;
}
} // namespace

class TstEntryProcess : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void twoWorkstationsNeverStoreOneNumberTwice_data();
    void twoWorkstationsNeverStoreOneNumberTwice();
    void killedSavesNeverLeaveAContractUnlogged();
};

void TstEntryProcess::twoWorkstationsNeverStoreOneNumberTwice_data()
{
    QTest::addColumn<bool>("proposed");
    QTest::newRow("typed numbers") << false;
    QTest::newRow("proposed numbers") << true;
}

void TstEntryProcess::twoWorkstationsNeverStoreOneNumberTwice()
{
    QFETCH(bool, proposed);
    cgtest::TestEnv env;
    const QString go = env.folder() + QStringLiteral("/go");
    std::vector<std::unique_ptr<QProcess>> stations;
    const QStringList names = {QStringLiteral("工作站甲"), QStringLiteral("工作站乙")};
    for (const QString &name : names) {
        auto p = std::make_unique<QProcess>();
        QProcessEnvironment pe = QProcessEnvironment::systemEnvironment();
        pe.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        if (proposed)
            pe.insert(QStringLiteral("CGTEST_PROPOSED_NUMBERS"), QStringLiteral("1"));
        p->setProcessEnvironment(pe);
        p->setProgram(QCoreApplication::applicationFilePath());
        p->setArguments(QStringList{QStringLiteral("--workstation"),
                                    env.folder() + QLatin1Char('/') + name + QStringLiteral("/wkd/"), go, name}
                        + env.connectionValues());
        p->start();
        QVERIFY2(p->waitForStarted(10000), qPrintable(p->errorString()));
        stations.push_back(std::move(p));
    }
    for (auto &p : stations)
        QTRY_VERIFY_WITH_TIMEOUT(p->canReadLine() || p->state() == QProcess::NotRunning, 20000);
    for (auto &p : stations)
        QCOMPARE(p->readLine().trimmed(), QByteArray("ready"));
    QFile flag(go);
    QVERIFY(flag.open(QIODevice::WriteOnly));
    flag.close();

    QMap<int, QStringList> outcomes;   // contract → what each station was told
    for (auto &p : stations) {
        QVERIFY(p->waitForFinished(120000));
        QCOMPARE(p->exitStatus(), QProcess::NormalExit);
        QCOMPARE(p->exitCode(), 0);
        for (const QByteArray &line : p->readAllStandardOutput().split('\n')) {
            const int colon = line.indexOf(':');
            if (colon > 0)
                outcomes[line.left(colon).toInt()] << QString::fromUtf8(line.mid(colon + 1)).replace(QStringLiteral("\\n"), QStringLiteral("\n"));
        }
    }

    // Typed numbers: each is stored once and refused once. Proposed
    // numbers: every save goes through, under the next free number when the
    // other station took the proposal, and the numbers run without a gap.
    const int contracts = proposed ? 2 * kContracts : kContracts;
    for (int i = 1; i <= kContracts; ++i) {
        QStringList told = outcomes.value(i);
        told.sort();
        if (proposed) {
            QCOMPARE(told.size(), 2);
            for (const QString &t : told)
                QVERIFY2(t == QStringLiteral("添加成功！")
                             || (t.startsWith(QStringLiteral("添加成功！\n合同编号 KQLM"))
                                 && t.contains(QStringLiteral(" 已被其他工作站使用，本合同的编号为 KQLM"))),
                         qPrintable(t));
        } else {
            QCOMPARE(told, (QStringList{QStringLiteral("合同编号重复，添加失败"), QStringLiteral("添加成功！")}));
        }
    }
    if (proposed) {
        int moved = 0;
        for (const QStringList &told : outcomes)
            for (const QString &t : told)
                moved += t != QStringLiteral("添加成功！");
        qInfo("%d of %d saves moved on to a later number", moved, contracts);
    }
    for (int i = 1; i <= contracts; ++i) {
        // Both lines of a contract come from the one station that won it,
        // and only that station logged them.
        const auto rows = env.rows(QStringLiteral("select 申请人,合同子编号,产品 from htb1 where 合同编号=? order by id"),
                                   {number(i)});
        QCOMPARE(rows.size(), 2);
        const QString winner = rows[0][0];
        QVERIFY(names.contains(winner));
        QCOMPARE(rows[1][0], winner);
        QCOMPARE(rows[0][1], number(i) + QStringLiteral("52"));
        if (!proposed)
            QCOMPARE(rows[1][2], winner + QStringLiteral("3"));
        const auto logged = env.rows(QStringLiteral("select 机器名 from rzb where 内容描述 like ?"),
                                     {QStringLiteral("合同录入成功：") + number(i) + QStringLiteral("|%")});
        QCOMPARE(logged, (QList<QStringList>{{winner}, {winner}}));
    }
    QCOMPARE(env.rows(QStringLiteral("select count(*) from htb1")).value(0).value(0), QString::number(2 * contracts));
}

void TstEntryProcess::killedSavesNeverLeaveAContractUnlogged()
{
    cgtest::TestEnv env;
    constexpr int kRounds = 8;
    for (int round = 0; round < kRounds; ++round) {
        QProcess p;
        QProcessEnvironment pe = QProcessEnvironment::systemEnvironment();
        pe.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        p.setProcessEnvironment(pe);
        p.setProgram(QCoreApplication::applicationFilePath());
        p.setArguments(QStringList{QStringLiteral("--saver"), env.folder() + QStringLiteral("/saver/wkd/"),
                                   QStringLiteral("K%1-").arg(round)}
                       + env.connectionValues());
        p.start();
        QVERIFY2(p.waitForStarted(10000), qPrintable(p.errorString()));
        QTRY_VERIFY_WITH_TIMEOUT(p.canReadLine() || p.state() == QProcess::NotRunning, 20000);
        QCOMPARE(p.readLine().trimmed(), QByteArray("ready"));
        // Killed somewhere in the middle of a save, a different moment each round.
        QThread::msleep(200 + 37 * round);
        p.kill();
        QVERIFY(p.waitForFinished(10000));
        QCOMPARE(p.exitStatus(), QProcess::CrashExit);
    }
    // Every stored contract has one log row per line, and every logged
    // contract is stored.
    const auto lines = env.rows(QStringLiteral("select 合同编号,count(*) from htb1 group by 合同编号 order by 合同编号"));
    QList<QStringList> logged;
    for (const QStringList &r : env.rows(QStringLiteral("select 内容描述 from rzb where 内容描述 like ? order by 内容描述"),
                                         {QStringLiteral("合同录入成功：%")})) {
        const QString number = r.at(0).section(u'：', 1).section(u'|', 0, 0);
        if (logged.isEmpty() || logged.last().at(0) != number)
            logged << QStringList{number, QStringLiteral("0")};
        logged.last()[1] = QString::number(logged.last().at(1).toInt() + 1);
    }
    QCOMPARE(logged, lines);
    for (const QStringList &r : lines)
        QCOMPARE(r.at(1), QStringLiteral("2"));
    qInfo("%d contracts saved across %d kills", int(lines.size()), kRounds);
    QVERIFY(!lines.isEmpty());
}

int main(int argc, char *argv[])
{
    if (argc > 1 && qstrcmp(argv[1], "--workstation") == 0) {
        QApplication app(argc, argv);
        return runWorkstation(app.arguments());
    }
    if (argc > 1 && qstrcmp(argv[1], "--saver") == 0) {
        QApplication app(argc, argv);
        return runSaver(app.arguments());
    }
    QApplication app(argc, argv);
    TstEntryProcess test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_entryprocess.moc"
