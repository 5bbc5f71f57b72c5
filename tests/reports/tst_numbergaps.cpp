// The number-gap report: the sequence of the set's prefix, the numbers
// missing from it with who deleted them and when (from the log's delete
// entries of this set only), the numbers outside it, and the window with
// its export read back and its gate.
#include "contracts/ContractBatch.h"
#include "contracts/ContractRecord.h"
#include "reports/NumberGapWindow.h"
#include "reports/NumberGaps.h"
#include "data/RowTableModel.h"
#include "spreadsheet/WorkbookProbe.h"
#include "support/Controls.h"
#include "support/TestEnv.h"
#include "ui/Gates.h"

#include <QDir>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QtTest>

using namespace cg;

namespace {

using cgtest::child;

const QString kPrefix = QStringLiteral("KQLM2035");

struct Env : cgtest::TestEnv {
    explicit Env(const QString &user = QStringLiteral("admin"), const QStringList &flags = {})
    {
        if (user != QLatin1String("admin"))
            addUser(user, QStringLiteral("pw"), flags);
        loginAs(user);
        Clock::setFixed(cgtest::kFixedNow);
        QVERIFY(db().execute(QStringLiteral("update ztb set 合同编号=? where 账套名=?"), {kPrefix, set()}));
        Windows::registerFactory(WindowKey::NumberGaps, CreateNumberGapWindow);
    }
    ~Env()
    {
        delete Windows::find(WindowKey::NumberGaps);
        Windows::clearFactories();
        Gates::clear();
    }
    QString set() { return ctx().login.accountSetName; }
    QString table() { return ctx().login.contractTable; }
    // Contracts of two lines each, in this order; the id of the last first line.
    qint64 add(const QStringList &numbers, const QString &state = AuditState::Audited)
    {
        QList<ContractRow> rows;
        for (const QString &n : numbers)
            for (int k = 1; k <= 2; ++k) {
                ContractRow r;
                r.state = state;
                r.number = n;
                r.subNumber = LineSubNumber(n, k);
                r.requester = r.department = r.buyer = r.supplier = r.product = r.quantity = r.unit =
                    QStringLiteral("x");
                r.documentDate = r.effectiveDate = r.expiryDate = QStringLiteral("2035-05-01");
                r.amount = r.paymentTerms = r.first = r.second = r.third = r.fourth = r.remaining = r.taxRate =
                    QStringLiteral("0");
                rows << r;
            }
        if (!ContractStore(db(), table(), set()).insertRows(rows))
            qWarning("insert failed: %s", qPrintable(db().lastError()));
        return rows.isEmpty() ? 0 : this->rows(QStringLiteral("select min(id) from ") + table()
                                                   + QStringLiteral(" where 合同编号=?"),
                                               {numbers.last()})
                                         .value(0)
                                         .value(0)
                                         .toLongLong();
    }
    void log(const QString &user, const QString &when, const QString &module, const QString &status,
             const QString &description)
    {
        QVERIFY(db().execute(QStringLiteral("insert into rzb(过滤日期,日期,用户,操作模块,状态,内容描述,机器名,IP地址) "
                                            "values (?,?,?,?,?,?,?,?)"),
                             {when.left(10), when, user, module, status, description, QStringLiteral("PC"),
                              QStringLiteral("10.0.0.5")}));
    }
    GapReport report()
    {
        GapReport r;
        if (!NumberGaps(db(), table(), set()).build(r))
            qWarning("report failed: %s", qPrintable(db().lastError()));
        return r;
    }
};

QStringList missingTexts(const GapReport &r)
{
    QStringList out;
    for (const MissingNumber &m : r.missing)
        out << m.number + u'|' + (m.deleted ? QStringLiteral("已删除") : QStringLiteral("无记录")) + u'|' + m.user
                + u'|' + m.when;
    return out;
}

} // namespace

class TstNumberGaps : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        MessageSeam::startRecording();
        FileDialogs::startRecording();
    }
    void placeInTheSequence_data();
    void placeInTheSequence();
    void gapsWithWhatTheLogKnows();
    void aDeleteFromTheQueryWindowIsFound();
    void emptyAndUnbrokenSequences();
    void windowAndExport();
    void exportNeedsTheRight();
};

void TstNumberGaps::placeInTheSequence_data()
{
    QTest::addColumn<QString>("prefix");
    QTest::addColumn<QString>("number");
    QTest::addColumn<qint64>("value");
    QTest::newRow("first") << kPrefix << "KQLM20350001" << qint64(1);
    QTest::newRow("last of four digits") << kPrefix << "KQLM20359999" << qint64(9999);
    QTest::newRow("past 9999, as the numbering writes it") << kPrefix << "KQLM203510000" << qint64(10000);
    QTest::newRow("zero is no number of the sequence") << kPrefix << "KQLM20350000" << qint64(-1);
    QTest::newRow("three digits") << kPrefix << "KQLM2035001" << qint64(-1);
    QTest::newRow("five digits with a leading zero") << kPrefix << "KQLM203500001" << qint64(-1);
    QTest::newRow("six digits") << kPrefix << "KQLM2035100000" << qint64(-1);
    QTest::newRow("a letter") << kPrefix << "KQLM2035000A" << qint64(-1);
    QTest::newRow("full-width digits") << kPrefix << "KQLM2035００１２" << qint64(-1);
    QTest::newRow("other letter case") << kPrefix << "kqlm20350001" << qint64(-1);
    QTest::newRow("another prefix") << kPrefix << "KQLM20340001" << qint64(-1);
    QTest::newRow("empty prefix") << QString() << "0007" << qint64(7);
}

void TstNumberGaps::placeInTheSequence()
{
    QFETCH(QString, prefix);
    QFETCH(QString, number);
    QFETCH(qint64, value);
    QCOMPARE(NumberGaps::sequenceValue(prefix, number), value);
}

void TstNumberGaps::gapsWithWhatTheLogKnows()
{
    Env env;
    env.add({"KQLM20350002", "KQLM20350003", "KQLM20350007", "手工01", "KQLM20350000", "KQLM20340005",
             "KQLM20350009"});
    const QString mine = QStringLiteral(" 删除成功！账套：") + env.set();
    const QString module = QStringLiteral("合同查询");
    // 0004: deleted here.
    env.log("张三", "2035-03-01 10:00:00", module, "操作", "编号：KQLM20350004" + mine);
    // 0005: deleted twice (used again in between): the later deletion counts.
    env.log("李四", "2035-03-02 11:00:00", module, "操作", "编号：KQLM20350005" + mine);
    env.log("王五", "2035-04-02 12:00:00", module, "操作", "编号：KQLM20350005" + mine);
    // 0006: only a failed delete, another set's delete, an audit entry and
    // the same text under another module: nothing known.
    env.log("赵六", "2035-03-03 09:00:00", module, "操作", "编号：KQLM20350006 删除失败！账套：" + env.set());
    env.log("赵六", "2035-03-03 09:00:01", module, "操作", "编号：KQLM20350006 删除成功！账套：2034");
    env.log("赵六", "2035-03-03 09:00:02", module, "操作", "编号：KQLM20350006 审核成功！账套：" + env.set());
    env.log("赵六", "2035-03-03 09:00:03", "合同录入", "操作", "编号：KQLM20350006" + mine);
    // 0008: no entry at all.
    const GapReport r = env.report();
    QCOMPARE(r.prefix, kPrefix);
    QCOMPARE(r.lowest, QStringLiteral("KQLM20350002"));
    QCOMPARE(r.highest, QStringLiteral("KQLM20350009"));
    QCOMPARE(r.stored, 4);
    QCOMPARE(missingTexts(r), QStringList({"KQLM20350004|已删除|张三|2035-03-01 10:00:00",
                                           "KQLM20350005|已删除|王五|2035-04-02 12:00:00",
                                           "KQLM20350006|无记录||", "KQLM20350008|无记录||"}));
    QStringList outside = r.outside;
    outside.sort();
    QCOMPARE(outside, QStringList({"KQLM20340005", "KQLM20350000", "手工01"}));
}

void TstNumberGaps::aDeleteFromTheQueryWindowIsFound()
{
    // The text the batch delete writes is the one the report looks for.
    Env env;
    env.add({"KQLM20350001"});
    const qint64 id = env.add({"KQLM20350002"}, AuditState::NotAudited);
    env.add({"KQLM20350003"});
    const BatchResult done = ContractBatch(env.db(), env.table(), env.set(), QStringLiteral("admin"))
                                 .apply(BatchOperation::Delete, id, QStringLiteral("KQLM20350002"));
    QCOMPARE(int(done.outcome), int(BatchOutcome::Done));
    QCOMPARE(missingTexts(env.report()), QStringList({"KQLM20350002|已删除|admin|2035-05-20 09:30:15"}));
}

void TstNumberGaps::emptyAndUnbrokenSequences()
{
    Env env;
    GapReport r = env.report();
    QCOMPARE(r.stored, 0);
    QVERIFY(r.lowest.isEmpty() && r.missing.isEmpty() && r.outside.isEmpty());
    env.add({"KQLM20350001", "KQLM20350002", "KQLM20350003"});
    r = env.report();
    QCOMPARE(r.stored, 3);
    QVERIFY(r.missing.isEmpty());
    // A prefix changed in the configuration: the old numbers are outside
    // the new sequence.
    QVERIFY(env.db().execute(QStringLiteral("update ztb set 合同编号=? where 账套名=?"), {QStringLiteral("CG"), env.set()}));
    r = env.report();
    QCOMPARE(r.stored, 0);
    QCOMPARE(r.outside.size(), 3);
}

void TstNumberGaps::windowAndExport()
{
    Env env;
    env.add({"KQLM20350001", "KQLM20350004", "补录-1"});
    env.log("张三", "2035-03-01 10:00:00", "合同查询", "操作", "编号：KQLM20350002 删除成功！账套：" + env.set());
    auto *w = qobject_cast<NumberGapWindow *>(Windows::open(WindowKey::NumberGaps));
    QVERIFY(w);
    QCOMPARE(w->windowTitle(), QStringLiteral("砚禾澄屿合同管理系统--合同编号缺号报告"));
    QCOMPARE(env.logTriples().last(), QStringLiteral("开始|打开合同编号缺号报告窗口|合同编号缺号报告"));
    QCOMPARE(child<QLabel>(w, "标签_统计")->text(),
             QStringLiteral("编号序列：KQLM20350001 至 KQLM20350004，已用 2 个，缺号 2 个，序列外编号 1 个"));
    const QList<QStringList> expected = {{"KQLM20350002", "缺号", "已删除", "张三", "2035-03-01 10:00:00"},
                                         {"KQLM20350003", "缺号", "无记录", "", ""},
                                         {"补录-1", "序列外编号", "", "", ""}};
    QCOMPARE(cgtest::shownRows(w->model()), expected);
    QStringList headers;
    for (int c = 0; c < w->model()->columnCount(); ++c)
        headers << w->model()->headerData(c, Qt::Horizontal).toString();
    QCOMPARE(headers, QStringList({"合同编号", "类别", "日志记录", "删除人", "删除时间"}));

    // A number deleted meanwhile shows after 刷新.
    QVERIFY(env.db().execute(QStringLiteral("delete from ") + env.table() + QStringLiteral(" where 合同编号=?"),
                             {QStringLiteral("补录-1")}));
    child<QPushButton>(w, "按钮_刷新")->click();
    QCOMPARE(w->model()->rowCount(), 2);

    auto *exportButton = child<QPushButton>(w, "按钮_导出");
    QVERIFY(exportButton->isEnabled());
    MessageSeam::clear();
    exportButton->click();
    QCOMPARE(cgtest::messageTexts(), QStringList({"用户取消导出！"}));
    QCOMPARE(env.logTriples().last(), QStringLiteral("操作|导出合同编号缺号报告失败，共失败：2行|合同编号缺号报告"));
    const QString path = env.folder() + QStringLiteral("/缺号.xlsx");
    FileDialogs::setNextPath(path);
    MessageSeam::clear();
    exportButton->click();
    QCOMPARE(cgtest::messageTexts(), QStringList({"成功导出：" + QDir::toNativeSeparators(path)}));
    QCOMPARE(env.logTriples().last(), QStringLiteral("操作|成功导出合同编号缺号报告，共导出：2行|合同编号缺号报告"));
    const QJsonObject book = probe::dumpWorkbook(path);
    probe::checkExportTitles(book, {"合同编号", "类别", "日志记录", "删除人", "删除时间"});
    probe::checkExportRows(book, expected.mid(0, 2));

    child<QPushButton>(w, "按钮_关闭")->click();
    QCOMPARE(env.logTriples().last(), QStringLiteral("结束|关闭合同编号缺号报告窗口|合同编号缺号报告"));
}

void TstNumberGaps::exportNeedsTheRight()
{
    for (const bool granted : {false, true}) {
        Env env(QStringLiteral("clerk"), granted ? QStringList{QStringLiteral("导出")} : QStringList{});
        ApplyPermissions();
        auto *w = qobject_cast<NumberGapWindow *>(Windows::open(WindowKey::NumberGaps));
        QVERIFY(w);
        auto *exportButton = child<QPushButton>(w, "按钮_导出");
        QCOMPARE(exportButton->isEnabled(), granted);
        // A click that reaches it anyway exports nothing.
        MessageSeam::clear();
        QMetaObject::invokeMethod(exportButton, "clicked", Q_ARG(bool, false));
        QCOMPARE(cgtest::messageTexts().size(), granted ? 1 : 0);
    }
}

QTEST_MAIN(TstNumberGaps)
#include "tst_numbergaps.moc"
