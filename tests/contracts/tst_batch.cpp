// Audit, unaudit and delete of one and of several contracts from the query
// window, stale lists, and two workstations on one database.
#include "contracts/ContractBatch.h"
#include "contracts/ContractQueryWindow.h"
#include "contracts/ResultPrompt.h"
#include "data/Db.h"
#include "support/TestEnv.h"
#include "ui/Shell.h"

#include <QApplication>
#include <QDateEdit>
#include <QFile>
#include <QItemSelectionModel>
#include <QLabel>
#include <QPointer>
#include <QProcess>
#include <QTableView>
#include <QThread>
#include <QTreeWidget>
#include <QtTest>

using namespace cg;

namespace {

template <typename T> T *child(QWidget *w, const QString &name)
{
    T *c = w->findChild<T *>(name);
    if (!c)
        qWarning("missing control %s", qPrintable(name));
    return c;
}

const QString kAudited = QStringLiteral("已审核");
const QString kNotAudited = QStringLiteral("未审核");

QString table() { return Ctx().login.contractTable; }
QString accountSet() { return Ctx().login.accountSetName; }

qint64 insertLine(DbConnection &db, const QString &table, const QString &number, const QString &product,
                  const QString &state)
{
    const bool ok = db.execute(
        QStringLiteral("insert into ") + table
            + QStringLiteral("(单据状态,合同编号,合同子编号,申请人,申请部门,采购员,供应商,产品,设备数量,计量单位,"
                             "制单日期,生效日期,失效日期,合同金额,付款方式,第一次付款,第二次付款,第三次付款,"
                             "第四次付款,剩余尾款,税率) values(?,?,?,'张三','采购部','李四','华东机电',?,'1','台',"
                             "'2024-03-05','2024-03-01','2025-03-01','100','月结','0','0','0','0','100','13%')"),
        {state, number, number + QStringLiteral("52"), product});
    if (!ok)
        qWarning("insert failed: %s", qPrintable(db.lastError()));
    Recordset rs(db);
    if (!rs.open(QStringLiteral("select max(id) from ") + table))
        return 0;
    return rs.number(0);
}

// A contract of several lines; the id of its first line.
qint64 addContract(cgtest::TestEnv &env, const QString &number, const QString &state, int lines = 2)
{
    qint64 first = 0;
    for (int k = 0; k < lines; ++k) {
        const qint64 id = insertLine(env.db(), table(), number, QStringLiteral("产品%1").arg(k + 1), state);
        if (k == 0)
            first = id;
    }
    return first;
}

QStringList states(cgtest::TestEnv &env, const QString &number)
{
    QStringList out;
    for (const QStringList &r : env.rows(QStringLiteral("select 单据状态 from ") + table()
                                             + QStringLiteral(" where 合同编号=? order by id"),
                                         {number}))
        out << r.at(0);
    return out;
}

class Env : public cgtest::TestEnv {
public:
    Env()
    {
        loginAs(QStringLiteral("admin"));
        Clock::setFixed(QDateTime(QDate(2024, 3, 15), QTime(9, 30)));
    }
};

ContractQueryWindow *openFiltered()
{
    Windows::registerFactory(WindowKey::ContractQuery, CreateContractQueryWindow);
    auto *w = qobject_cast<ContractQueryWindow *>(Windows::open(WindowKey::ContractQuery));
    w->filter();
    return w;
}

// Selects the rows whose number (head rows) or product (any row) is given.
void selectRows(ContractQueryWindow *w, const QList<int> &rows)
{
    QItemSelectionModel *sel = w->list()->selectionModel();
    sel->clearSelection();
    for (int r : rows)
        sel->select(w->model()->index(r, 0), QItemSelectionModel::Select | QItemSelectionModel::Rows);
}

int headRowOf(ContractQueryWindow *w, const QString &number)
{
    for (int r = 0; r < w->model()->rowCount(); ++r)
        if (w->model()->cell(r, ListColumn::Number) == number)
            return r;
    return -1;
}

QStringList listNumbers(ContractQueryWindow *w)
{
    QStringList out;
    for (int r = 0; r < w->model()->rowCount(); ++r)
        out << w->model()->cell(r, ListColumn::Number);
    return out;
}

QStringList actionLog(cgtest::TestEnv &env)
{
    QStringList out;
    for (const QString &t : env.logTriples())
        if (t.startsWith(QStringLiteral("操作|编号")))
            out << t;
    return out;
}

QString logged(const QString &number, const QString &suffix)
{
    return QStringLiteral("操作|编号：") + number + suffix + QStringLiteral("账套：") + accountSet()
        + QStringLiteral("|合同查询");
}

QStringList promptLines()
{
    ResultPromptWindow *p = ResultPrompt::window();
    return p ? p->lines() : QStringList();
}

} // namespace

class TstBatch : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void auditAndUnauditOneContract();
    void severalContractsReportInTheResultPrompt();
    void deleteAsksRemovesRowsAndRecounts();
    void staleListFailsAndLogsTheAttempt();
    void linesOfDifferentStates();
    void refusedLogRowUndoesTheChange();
    void twoWorkstationsOnOneDatabase();
};

void TstBatch::auditAndUnauditOneContract()
{
    Env env;
    addContract(env, QStringLiteral("U1"), kNotAudited, 3);
    addContract(env, QStringLiteral("A1"), kAudited);
    ContractQueryWindow *w = openFiltered();
    const int u1 = headRowOf(w, QStringLiteral("U1"));
    QCOMPARE(u1, 2);

    // Only a continuation row selected: the whole contract is audited.
    selectRows(w, {u1 + 2});
    w->auditSelected();
    QCOMPARE(MessageSeam::shown().size(), 1);
    const ShownMessage m = MessageSeam::shown().at(0);
    QCOMPARE(m.text, QStringLiteral("编号：U1 审核成功！"));
    QCOMPARE(m.title, QStringLiteral("系统提示"));
    QCOMPARE(m.icon, MsgIcon::Information);
    QCOMPARE(states(env, QStringLiteral("U1")), QStringList({kAudited, kAudited, kAudited}));
    QCOMPARE(w->model()->cell(u1, ListColumn::State), kAudited);
    QCOMPARE(actionLog(env), QStringList({logged(QStringLiteral("U1"), QStringLiteral(" 审核成功！"))}));
    QVERIFY(!ResultPrompt::window());

    // Already audited: told, not logged.
    MessageSeam::clear();
    selectRows(w, {headRowOf(w, QStringLiteral("A1"))});
    w->auditSelected();
    QCOMPARE(cgtest::messageTexts(), QStringList({"编号：A1 已是审核状态，不需要重复审核！"}));
    QCOMPARE(actionLog(env).size(), 1);

    // Unaudit and unaudit again.
    MessageSeam::clear();
    selectRows(w, {u1});
    w->unauditSelected();
    w->unauditSelected();
    QCOMPARE(cgtest::messageTexts(),
             QStringList({"编号：U1 反审核成功！", "编号：U1 已是未审核状态，不需要重复反审核！"}));
    QCOMPARE(states(env, QStringLiteral("U1")), QStringList({kNotAudited, kNotAudited, kNotAudited}));
    QCOMPARE(w->model()->cell(u1, ListColumn::State), kNotAudited);
    QCOMPARE(actionLog(env).last(), logged(QStringLiteral("U1"), QStringLiteral(" 反审核成功！")));
    QCOMPARE(actionLog(env).size(), 2);
    // The list is not refilled and the statistics stay.
    QCOMPARE(child<QLabel>(w, QStringLiteral("标签_统计"))->text(), QStringLiteral("过滤出：2 份合同"));
}

void TstBatch::severalContractsReportInTheResultPrompt()
{
    Env env;
    addContract(env, QStringLiteral("S1"), kNotAudited);
    addContract(env, QStringLiteral("S2"), kAudited);
    addContract(env, QStringLiteral("S3"), kNotAudited);
    ContractQueryWindow *w = openFiltered();
    QCOMPARE(listNumbers(w), QStringList({"S3", "", "S2", "", "S1", ""}));

    selectRows(w, {0, 1, 2, 4});
    w->auditSelected();
    QVERIFY(MessageSeam::shown().isEmpty());
    ResultPromptWindow *prompt = ResultPrompt::window();
    QVERIFY(prompt);
    QCOMPARE(prompt->windowTitle(), QStringLiteral("砚禾澄屿合同管理系统--系统提示"));
    auto *list = prompt->findChild<QTreeWidget *>(QStringLiteral("超级列表框_提示"));
    QVERIFY(list);
    QCOMPARE(list->headerItem()->text(0), QStringLiteral("提示信息"));
    // Bottom contract first.
    QCOMPARE(promptLines(), QStringList({"编号：S1 审核成功！", "编号：S2 已是审核状态，不需要重复审核！",
                                         "编号：S3 审核成功！"}));
    QCOMPARE(actionLog(env), QStringList({logged(QStringLiteral("S1"), QStringLiteral(" 审核成功！")),
                                          logged(QStringLiteral("S3"), QStringLiteral(" 审核成功！"))}));
    QCOMPARE(w->model()->cell(0, ListColumn::State), kAudited);
    QCOMPARE(w->model()->cell(4, ListColumn::State), kAudited);

    // A second batch appends below the first.
    selectRows(w, {0, 4});
    w->unauditSelected();
    QCOMPARE(ResultPrompt::window(), prompt);
    QCOMPARE(promptLines().mid(3), QStringList({"编号：S1 反审核成功！", "编号：S3 反审核成功！"}));

    // Closed by the user, the next batch opens it anew with its own lines.
    QPointer<ResultPromptWindow> gone(prompt);
    prompt->close();
    QTRY_VERIFY(!gone);
    w->unauditSelected();
    QCOMPARE(promptLines(), QStringList({"编号：S1 已是未审核状态，不需要重复反审核！",
                                         "编号：S3 已是未审核状态，不需要重复反审核！"}));
    QCOMPARE(ResultPrompt::window()->parentWidget(), MainWindowWidget());
}

void TstBatch::deleteAsksRemovesRowsAndRecounts()
{
    Env env;
    addContract(env, QStringLiteral("D1"), kNotAudited, 3);
    addContract(env, QStringLiteral("D2"), kAudited);
    addContract(env, QStringLiteral("D3"), kNotAudited);
    ContractQueryWindow *w = openFiltered();
    auto *count = child<QLabel>(w, QStringLiteral("标签_统计"));
    QCOMPARE(count->text(), QStringLiteral("过滤出：3 份合同"));

    // No: nothing happens, not even to the statistics.
    selectRows(w, {headRowOf(w, QStringLiteral("D1")), headRowOf(w, QStringLiteral("D2"))});
    w->deleteSelected();
    QCOMPARE(cgtest::messageTexts(), QStringList({"是否要删除已选择2份合同，删除后无法恢复！"}));
    QCOMPARE(MessageSeam::shown().at(0).icon, MsgIcon::Question);
    QCOMPARE(MessageSeam::shown().at(0).owner, w);
    QCOMPARE(env.rows(QStringLiteral("select count(*) from ") + table()).value(0).value(0), QStringLiteral("7"));
    QCOMPARE(count->text(), QStringLiteral("过滤出：3 份合同"));

    // Yes: the audited one is refused and stays, the other goes with its rows.
    MessageSeam::clear();
    MessageSeam::setNextAnswer(QMessageBox::Yes);
    w->deleteSelected();
    QCOMPARE(promptLines(), QStringList({"编号：D1 删除成功！", "编号：D2 已是审核状态，不能直接删除！"}));
    QCOMPARE(states(env, QStringLiteral("D1")), QStringList());
    QCOMPARE(states(env, QStringLiteral("D2")), QStringList({kAudited, kAudited}));
    QCOMPARE(listNumbers(w), QStringList({"D3", "", "D2", ""}));
    QCOMPARE(count->text(), QStringLiteral(" 共：2 份合同"));
    QCOMPARE(actionLog(env), QStringList({logged(QStringLiteral("D1"), QStringLiteral(" 删除成功！"))}));

    // One contract: message boxes, the refusal with the error icon.
    MessageSeam::clear();
    MessageSeam::setNextAnswer(QMessageBox::Yes);
    selectRows(w, {headRowOf(w, QStringLiteral("D2")) + 1});
    w->deleteSelected();
    QCOMPARE(MessageSeam::shown().size(), 2);
    QCOMPARE(MessageSeam::shown().at(1).text, QStringLiteral("编号：D2 已是审核状态，不能直接删除！"));
    QCOMPARE(MessageSeam::shown().at(1).icon, MsgIcon::Error);
    MessageSeam::clear();
    MessageSeam::setNextAnswer(QMessageBox::Yes);
    selectRows(w, {0});
    w->deleteSelected();
    QCOMPARE(MessageSeam::shown().at(1).text, QStringLiteral("编号：D3 删除成功！"));
    QCOMPARE(MessageSeam::shown().at(1).icon, MsgIcon::Information);
    QCOMPARE(listNumbers(w), QStringList({"D2", ""}));
    QCOMPARE(count->text(), QStringLiteral(" 共：1 份合同"));

    // Dates out of order when recounting: the message, and 0.
    child<QDateEdit>(w, QStringLiteral("日期框_起始"))->setDate(QDate(2024, 4, 1));
    MessageSeam::clear();
    MessageSeam::setNextAnswer(QMessageBox::Yes);
    selectRows(w, {0});
    w->deleteSelected();
    QCOMPARE(cgtest::messageTexts().last(), QStringLiteral("终止时间不能小于起始时间，请重新设定过滤时间！"));
    QCOMPARE(count->text(), QStringLiteral(" 共：0 份合同"));
}

void TstBatch::staleListFailsAndLogsTheAttempt()
{
    Env env;
    addContract(env, QStringLiteral("T1"), kNotAudited);
    addContract(env, QStringLiteral("T2"), kNotAudited);
    addContract(env, QStringLiteral("T3"), kAudited);
    ContractQueryWindow *w = openFiltered();
    const int logBefore = env.logTriples().size();

    // Another workstation deletes T1 and audits T2 after this list was filled.
    DbConnection other(QStringLiteral("other-workstation"));
    QVERIFY(env.open(other));
    QVERIFY(other.execute(QStringLiteral("delete from ") + table() + QStringLiteral(" where 合同编号=?"), {"T1"}));
    QVERIFY(other.execute(QStringLiteral("update ") + table() + QStringLiteral(" set 单据状态=? where 合同编号=?"),
                          {kAudited, "T2"}));

    selectRows(w, {headRowOf(w, QStringLiteral("T1"))});
    w->auditSelected();
    QCOMPARE(cgtest::messageTexts(), QStringList({"编号：T1 审核失败！"}));
    // The state it finds is told as it is now.
    MessageSeam::clear();
    selectRows(w, {headRowOf(w, QStringLiteral("T2"))});
    w->auditSelected();
    QCOMPARE(cgtest::messageTexts(), QStringList({"编号：T2 已是审核状态，不需要重复审核！"}));
    QCOMPARE(w->model()->cell(headRowOf(w, QStringLiteral("T2")), ListColumn::State), kNotAudited);

    MessageSeam::clear();
    MessageSeam::setNextAnswer(QMessageBox::Yes);
    selectRows(w, {headRowOf(w, QStringLiteral("T1"))});
    w->deleteSelected();
    QCOMPARE(MessageSeam::shown().at(1).text, QStringLiteral("编号：T1 删除失败！"));
    QCOMPARE(MessageSeam::shown().at(1).icon, MsgIcon::Error);
    QVERIFY(headRowOf(w, QStringLiteral("T1")) >= 0);

    // Unaudit of a contract that went elsewhere, in a batch of two.
    QVERIFY(other.execute(QStringLiteral("delete from ") + table() + QStringLiteral(" where 合同编号=?"), {"T3"}));
    selectRows(w, {headRowOf(w, QStringLiteral("T3")), headRowOf(w, QStringLiteral("T2"))});
    w->unauditSelected();
    QCOMPARE(promptLines(), QStringList({"编号：T2 反审核成功！", "编号：T3 反审核失败！"}));
    // Every attempt is logged, the failed ones under the number the list showed.
    QCOMPARE(env.logTriples().mid(logBefore),
             QStringList({logged(QStringLiteral("T1"), QStringLiteral(" 审核失败！")),
                          logged(QStringLiteral("T1"), QStringLiteral(" 删除失败！")),
                          logged(QStringLiteral("T2"), QStringLiteral(" 反审核成功！")),
                          logged(QStringLiteral("T3"), QStringLiteral(" 反审核失败！"))}));
    other.close();

    // A statement the database refuses is a failure, and is logged as one.
    QVERIFY(env.refuse(table(), QStringLiteral("update")));
    MessageSeam::clear();
    selectRows(w, {headRowOf(w, QStringLiteral("T2"))});
    w->auditSelected();
    QCOMPARE(cgtest::messageTexts(), QStringList({"编号：T2 审核失败！"}));
    QCOMPARE(states(env, QStringLiteral("T2")), QStringList({kNotAudited, kNotAudited}));
    QCOMPARE(env.logTriples().last(), logged(QStringLiteral("T2"), QStringLiteral(" 审核失败！")));
}

void TstBatch::linesOfDifferentStates()
{
    // An import may store one contract with lines of both states.
    Env env;
    const qint64 head = insertLine(env.db(), table(), QStringLiteral("M1"), QStringLiteral("产品1"), kNotAudited);
    insertLine(env.db(), table(), QStringLiteral("M1"), QStringLiteral("产品2"), kAudited);
    insertLine(env.db(), table(), QStringLiteral("M1"), QStringLiteral("产品3"), kNotAudited);
    addContract(env, QStringLiteral("M2"), kNotAudited);
    QVERIFY(head > 0);
    ContractQueryWindow *w = openFiltered();
    const QStringList listBefore = listNumbers(w);
    const int rows = w->model()->rowCount();

    // One audited line keeps the whole contract, whichever line is selected.
    for (int line : {0, 1, 2}) {
        MessageSeam::clear();
        MessageSeam::setNextAnswer(QMessageBox::Yes);
        selectRows(w, {headRowOf(w, QStringLiteral("M1")) + line});
        w->deleteSelected();
        QCOMPARE(MessageSeam::shown().size(), 2);
        QCOMPARE(MessageSeam::shown().at(1).text, QStringLiteral("编号：M1 已是审核状态，不能直接删除！"));
        QCOMPARE(MessageSeam::shown().at(1).icon, MsgIcon::Error);
        QCOMPARE(states(env, QStringLiteral("M1")), QStringList({kNotAudited, kAudited, kNotAudited}));
        QCOMPARE(listNumbers(w), listBefore);
        QCOMPARE(w->model()->rowCount(), rows);
    }
    // In a batch the other contract still goes.
    MessageSeam::clear();
    MessageSeam::setNextAnswer(QMessageBox::Yes);
    selectRows(w, {headRowOf(w, QStringLiteral("M1")), headRowOf(w, QStringLiteral("M2"))});
    w->deleteSelected();
    QCOMPARE(promptLines(), QStringList({"编号：M1 已是审核状态，不能直接删除！", "编号：M2 删除成功！"}));
    QCOMPARE(states(env, QStringLiteral("M1")).size(), 3);
    QCOMPARE(actionLog(env), QStringList({logged(QStringLiteral("M2"), QStringLiteral(" 删除成功！"))}));

    // Its head line is not audited, yet unaudit must reach the audited line:
    // otherwise the contract could neither be unaudited nor deleted.
    MessageSeam::clear();
    selectRows(w, {headRowOf(w, QStringLiteral("M1"))});
    w->unauditSelected();
    QCOMPARE(cgtest::messageTexts(), QStringList({"编号：M1 反审核成功！"}));
    QCOMPARE(states(env, QStringLiteral("M1")), QStringList({kNotAudited, kNotAudited, kNotAudited}));
    MessageSeam::clear();
    MessageSeam::setNextAnswer(QMessageBox::Yes);
    w->deleteSelected();
    QCOMPARE(MessageSeam::shown().at(1).text, QStringLiteral("编号：M1 删除成功！"));
    QCOMPARE(states(env, QStringLiteral("M1")), QStringList());

    // An audited head line with an unaudited line: audit completes the contract.
    insertLine(env.db(), table(), QStringLiteral("M3"), QStringLiteral("产品1"), kAudited);
    insertLine(env.db(), table(), QStringLiteral("M3"), QStringLiteral("产品2"), kNotAudited);
    w->filter();
    MessageSeam::clear();
    selectRows(w, {headRowOf(w, QStringLiteral("M3"))});
    w->auditSelected();
    QCOMPARE(cgtest::messageTexts(), QStringList({"编号：M3 审核成功！"}));
    QCOMPARE(states(env, QStringLiteral("M3")), QStringList({kAudited, kAudited}));
}

void TstBatch::refusedLogRowUndoesTheChange()
{
    Env env;
    addContract(env, QStringLiteral("L1"), kNotAudited);
    addContract(env, QStringLiteral("L2"), kAudited);
    ContractQueryWindow *w = openFiltered();
    const QStringList listBefore = listNumbers(w);
    QVERIFY(env.refuse(QStringLiteral("rzb"), QStringLiteral("insert")));

    // The change and its log row are one: without the row nothing changes.
    // The failed attempt cannot be logged either, and the user is told so.
    selectRows(w, {headRowOf(w, QStringLiteral("L1"))});
    w->auditSelected();
    QCOMPARE(cgtest::messageTexts(), QStringList({"没有写入成功", "编号：L1 审核失败！"}));
    QCOMPARE(states(env, QStringLiteral("L1")), QStringList({kNotAudited, kNotAudited}));
    QCOMPARE(w->model()->cell(headRowOf(w, QStringLiteral("L1")), ListColumn::State), kNotAudited);

    MessageSeam::clear();
    selectRows(w, {headRowOf(w, QStringLiteral("L2"))});
    w->unauditSelected();
    QCOMPARE(cgtest::messageTexts(), QStringList({"没有写入成功", "编号：L2 反审核失败！"}));
    QCOMPARE(states(env, QStringLiteral("L2")), QStringList({kAudited, kAudited}));

    MessageSeam::clear();
    MessageSeam::setNextAnswer(QMessageBox::Yes);
    selectRows(w, {headRowOf(w, QStringLiteral("L1"))});
    w->deleteSelected();
    QCOMPARE(MessageSeam::shown().value(2).text, QStringLiteral("编号：L1 删除失败！"));
    QCOMPARE(MessageSeam::shown().value(2).icon, MsgIcon::Error);
    QCOMPARE(states(env, QStringLiteral("L1")), QStringList({kNotAudited, kNotAudited}));
    QCOMPARE(listNumbers(w), listBefore);
    QCOMPARE(actionLog(env), QStringList());
}

// The second workstation: deletes the contracts of the given ids, one at a
// time, and prints one line "id|outcome|number" per contract.
static int runSecondWorkstation(const QStringList &args)
{
    // --workstation <server> <database> <login> <password> <table> <account set> <go file> <ids…>
    if (args.size() < 9)
        return 2;
    DbConnection db(QStringLiteral("second-workstation"));
    if (!db.open(args.at(2), args.at(3), args.at(4), args.at(5), QString()))
        return 3;
    ContractBatch batch(db, args.at(6), args.at(7), QStringLiteral("工作站B"));
    // Ready; both start together.
    const QString go = args.at(8);
    QFile(go + QStringLiteral(".ready")).open(QIODevice::WriteOnly);
    for (int i = 0; i < 20000 && !QFile::exists(go); ++i)
        QThread::usleep(500);
    QTextStream out(stdout);
    for (int i = 9; i < args.size(); ++i) {
        const BatchResult r = batch.apply(BatchOperation::Delete, args.at(i).toLongLong(), QString());
        out << args.at(i) << '|' << int(r.outcome) << '|' << r.number << '\n';
        out.flush();
    }
    return 0;
}

void TstBatch::twoWorkstationsOnOneDatabase()
{
    Env env;
    // Unaudited contracts; this workstation audits them all from its list
    // while the other deletes them, both oldest first, so the two meet on
    // the same contract.
    constexpr int kContracts = 200;
    QStringList ids;
    for (int i = 0; i < kContracts; ++i)
        ids << QString::number(addContract(env, QStringLiteral("W%1").arg(i, 3, 10, QLatin1Char('0')), kNotAudited));
    ContractQueryWindow *w = openFiltered();
    QCOMPARE(w->model()->contractCount(), kContracts);
    w->list()->selectAll();

    const QString go = env.folder() + QStringLiteral("/go");
    QProcess second;
    second.setProgram(QCoreApplication::applicationFilePath());
    second.setArguments(QStringList{QStringLiteral("--workstation")} + env.connectionValues()
                        + QStringList{table(), accountSet(), go} + ids);
    second.start();
    QVERIFY(second.waitForStarted(10000));
    QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(go + QStringLiteral(".ready")), 10000);
    QFile(go).open(QIODevice::WriteOnly);
    w->auditSelected();
    QVERIFY(second.waitForFinished(60000));
    QCOMPARE(second.exitCode(), 0);

    // What the other workstation reported, by contract number.
    QHash<QString, BatchOutcome> deleted;
    for (const QString &line : QString::fromUtf8(second.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
        const QStringList parts = line.split(QLatin1Char('|'));
        QCOMPARE(parts.size(), 3);
        deleted.insert(parts.at(2), BatchOutcome(parts.at(1).toInt()));
    }
    QCOMPARE(deleted.size(), kContracts);
    const QStringList lines = promptLines();
    QCOMPARE(lines.size(), kContracts);

    QStringList expectedLog;
    int audits = 0, deletes = 0;
    for (int i = 0; i < kContracts; ++i) {
        const QString n = QStringLiteral("W%1").arg(i, 3, 10, QLatin1Char('0'));
        const QStringList st = states(env, n);
        const bool auditedHere = lines.contains(QStringLiteral("编号：") + n + QStringLiteral(" 审核成功！"));
        if (st.isEmpty()) {
            // Gone: deleted there, and here a failure that audited nothing.
            QCOMPARE(deleted.value(n), BatchOutcome::Done);
            QVERIFY2(lines.contains(QStringLiteral("编号：") + n + QStringLiteral(" 审核失败！")), qPrintable(n));
            ++deletes;
        } else {
            // Still there: audited here (both lines), refused there.
            QCOMPARE(st, QStringList({kAudited, kAudited}));
            QVERIFY2(auditedHere, qPrintable(n));
            QCOMPARE(deleted.value(n), BatchOutcome::Refused);
            ++audits;
        }
    }
    QCOMPARE(audits + deletes, kContracts);
    qInfo("audited here: %d, deleted there: %d", audits, deletes);
    // One success row per contract, from the workstation that changed it,
    // and a failure row here for each contract deleted there first.
    const QList<QStringList> log = env.rows(QStringLiteral("select 用户,内容描述 from rzb where 内容描述 like ?"),
                                            {QStringLiteral("编号：%")});
    QCOMPARE(log.size(), kContracts + deletes);
    int failures = 0;
    for (const QStringList &row : log) {
        const bool del = row.at(1).contains(QStringLiteral("删除成功"));
        QCOMPARE(row.at(0), del ? QStringLiteral("工作站B") : QStringLiteral("admin"));
        failures += row.at(1).contains(QStringLiteral(" 审核失败！账套："));
        QVERIFY(del || row.at(1).contains(QStringLiteral(" 审核成功！账套："))
                || row.at(1).contains(QStringLiteral(" 审核失败！账套：")));
    }
    QCOMPARE(failures, deletes);
}

int main(int argc, char **argv)
{
    if (argc > 1 && qstrcmp(argv[1], "--workstation") == 0) {
        QCoreApplication app(argc, argv);
        return runSecondWorkstation(app.arguments());
    }
    QApplication app(argc, argv);
    TstBatch test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_batch.moc"
