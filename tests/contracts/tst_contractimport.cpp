// Contract import in the entry window against a real database: the template
// read back by openpyxl, loading a workbook into the list, and storing the
// loaded rows until the first one that cannot be stored.
#include "contracts/ContractEntryWindow.h"
#include "contracts/ContractImport.h"
#include "contracts/ContractImportRun.h"
#include "spreadsheet/SheetExport.h"
#include "spreadsheet/SheetImport.h"
#include "spreadsheet/WorkbookProbe.h"
#include "support/TestEnv.h"

#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTimer>
#include <QTreeWidget>
#include <QtTest>
#include <algorithm>
#include <memory>

using namespace cg;

namespace {

template <typename T> T *child(QWidget *w, const char *name)
{
    T *c = w->findChild<T *>(QString::fromUtf8(name));
    if (!c)
        qFatal("missing control %s", name);
    return c;
}

// Makes the database refuse to store a line with this product.
bool refuseProduct(cgtest::TestEnv &env, const QString &product)
{
    if (env.db().backend() == Backend::PostgreSql)
        return env.db().execute(QStringLiteral("create function refuse_product() returns trigger language plpgsql as $$ "
                                               "begin if new.产品 = '%1' then raise exception 'refused'; end if; "
                                               "return new; end $$").arg(product))
            && env.db().execute(QStringLiteral("create trigger refuse before insert on htb1 for each row "
                                               "execute function refuse_product()"));
    return env.db().execute(QStringLiteral("create trigger refuse before insert on htb1 when new.产品='%1' "
                                           "begin select raise(abort,'no'); end").arg(product));
}

bool allowProducts(cgtest::TestEnv &env)
{
    return env.db().execute(env.db().backend() == Backend::PostgreSql ? QStringLiteral("drop trigger refuse on htb1")
                                                                      : QStringLiteral("drop trigger refuse"));
}

const QString kLoaded = QStringLiteral("加载成功，请检查已加载的数据无误后点击[保存]按钮导入到系统");

// One sheet row of the import layout: contract number, line, product.
QStringList line(const QString &number, int i, const QString &product, const QString &state = QStringLiteral("未审核"))
{
    return {state,  number, LineSubNumber(number, i), "张三", "采购部", "李四", "华东机电有限公司",
            product, QString::number(i), "台", "2035-03-01", "2035-03-05", "2036-03-04", "10000", "月结30天",
            "3000", "2000", "0", "0", "5000", "13%"};
}

struct Import {
    cgtest::TestEnv env;
    QPointer<ContractEntryWindow> w;

    Import()
    {
        Clock::setFixed(QDateTime(cgtest::kFixedNow.date(), QTime(9, 5, 3)));
        env.loginAs(QStringLiteral("admin"));
        Windows::registerFactory(WindowKey::ContractEntry, CreateContractEntryWindow);
        w = qobject_cast<ContractEntryWindow *>(Windows::open(WindowKey::ContractEntry));
        MessageSeam::clear();
    }
    ~Import() { delete w.data(); }

    // A workbook with the title row and these rows, written by the engine.
    QString workbook(const QString &name, const QList<QStringList> &rows)
    {
        const QString path = env.folder() + QLatin1Char('/') + name;
        const auto written = Sheet::ExportWorkbook(path, ContractImport::readerTitles(), Sheet::RowSource::fromRows(rows));
        if (!written.ok())
            qWarning("workbook: %s", qPrintable(written.detail));
        return path;
    }
    void load(const QString &path)
    {
        FileDialogs::setNextPath(path);
        child<QPushButton>(w, "按钮_导入")->click();
    }
    void save() { child<QPushButton>(w, "按钮_保存")->click(); }
    QTreeWidget *list() { return child<QTreeWidget>(w, "超级列表框_合同录入"); }
    QStringList listRow(int row)
    {
        QStringList out;
        for (int c = 0; c < ContractImport::kColumns; ++c)
            out << list()->topLevelItem(row)->text(c);
        return out;
    }
    QStringList stored()
    {
        QStringList out;
        for (const QStringList &r :
             env.rows(QStringLiteral("select 单据状态,合同子编号,产品 from htb1 order by id")))
            out << r.join(QLatin1Char('|'));
        return out;
    }
    QStringList importLog()
    {
        QStringList out;
        for (const QString &t : env.logTriples())
            if (t.contains(QStringLiteral("合同导入成功")))
                out << t;
        return out;
    }
    ShownMessage onlyMessage()
    {
        const QList<ShownMessage> shown = MessageSeam::shown();
        MessageSeam::clear();
        if (shown.size() != 1)
            qWarning() << "messages:" << cgtest::messageTexts();
        return shown.value(0, ShownMessage{QString(), QString(), MsgIcon::Question, nullptr});
    }
};

} // namespace

class TstContractImport : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void templateReadBackCellByCell();
    void loadReplacesListOrLeavesIt();
    void importStoresLogsAndEndsImportMode();
    void sameWorkbookTwiceStopsAtRowOne();
    void duplicateSubNumberStopsAtItsRow();
    void failedInsertKeepsEarlierRows();
    void emptyCellsAreEmptyTexts();
    void emptySubNumbersAreNoSubNumbers();
    void rowAndLogRowCommitTogether();
    void batchesKeepTheStopRow_data();
    void batchesKeepTheStopRow();
    void progressShownWhileAnotherStationWrites();
};

void TstContractImport::templateReadBackCellByCell()
{
    Import t;
    // Cancelled: nothing written, nothing said.
    child<QPushButton>(t.w, "按钮_模板")->click();
    QVERIFY(MessageSeam::shown().isEmpty());

    // The extension is added; an old file of that name is replaced.
    const QString path = t.env.folder() + QStringLiteral("/合同模板.xlsx");
    QFile old(path);
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write("old");
    old.close();
    FileDialogs::setNextPath(t.env.folder() + QStringLiteral("/合同模板"));
    child<QPushButton>(t.w, "按钮_模板")->click();
    ShownMessage m = t.onlyMessage();
    QCOMPARE(m.text, QStringLiteral("下载成功！"));
    QCOMPARE(m.title, QStringLiteral("系统提示"));
    QCOMPARE(m.icon, MsgIcon::Information);

    const QJsonObject book = probe::dumpWorkbook(path);
    QCOMPARE(book.value("sheets").toInt(), 1);
    QCOMPARE(book.value("name").toString(), QStringLiteral("111"));
    QCOMPARE(book.value("frozen").toString(), QStringLiteral("A2"));
    const QJsonArray rows = book.value("rows").toArray();
    QCOMPARE(rows.size(), 6);
    QCOMPARE(probe::values(rows.at(0).toArray()),
             QStringList({"单据状态", "合同编号", "检查号", "申请人", "申请部门", "采购员", "供应商",
                          "购买产品/设备名称", "设备数量", "计量单位", "制单日期", "生效日期", "失效日期",
                          "合同总金额(元)", "付款方式", "第一次付款(元)", "第二次付款(元)", "第三次付款(元)",
                          "第四次付款(元)", "剩余尾款(元)", "税 率"}));
    for (const auto &c : rows.at(0).toArray()) {
        const QJsonObject cell = c.toObject();
        QCOMPARE(cell.value("align").toArray(), QJsonArray({"center", "center", true}));
        QCOMPARE(cell.value("border").toArray(), QJsonArray({"thin", "thin", "thin", "thin"}));
        QCOMPARE(cell.value("fmt").toString(), QStringLiteral("@"));
    }
    // Columns K to M hold dates, the others text, in the example rows and
    // as the format of the whole column.
    const QJsonArray cols = book.value("cols").toArray();
    QCOMPARE(cols.size(), 21);
    for (int c = 0; c < 21; ++c) {
        const QJsonArray col = cols.at(c).toArray();
        const bool date = c >= 10 && c <= 12;
        QCOMPARE(col.at(0).toInt(), c + 1);
        QCOMPARE(col.at(3).toString(), date ? QStringLiteral("yyyy\\-mm\\-dd") : QStringLiteral("@"));
        QVERIFY2(col.at(2).toDouble() >= 7.375 && col.at(2).toDouble() <= 21, qPrintable(QString::number(c)));
        for (int r = 1; r < rows.size(); ++r) {
            const QJsonObject cell = rows.at(r).toArray().at(c).toObject();
            QCOMPARE(cell.value("date").toBool(), date);
            QCOMPARE(cell.value("t").toString(), date ? QStringLiteral("d") : QStringLiteral("s"));
        }
    }
    QCOMPARE(probe::values(rows.at(1).toArray()).mid(0, 13),
             QStringList({"未审核", "KQLM9001", "KQLM900152", "张三", "生产部", "李四", "华东机电有限公司",
                          "数控车床刀具", "20", "套", "2024-03-01T00:00:00", "2024-03-05T00:00:00",
                          "2025-03-04T00:00:00"}));

    // The examples load and import as they are, dates as year-month-day.
    t.load(path);
    QCOMPARE(t.onlyMessage().text, kLoaded);
    QCOMPARE(t.list()->topLevelItemCount(), 5);
    QCOMPARE(t.listRow(0), ContractImport::templateSheet().rows.at(0));
    t.save();
    QCOMPARE(t.onlyMessage().text, QStringLiteral("所有数据导入成功，共导入 5 行！"));
    QCOMPARE(t.env.rows("select 制单日期,生效日期,失效日期,剩余尾款 from htb1 where 合同子编号='KQLM900254'"),
             (QList<QStringList>{{"2024-03-12", "2024-03-12", "2024-12-31", "0"}}));

    // A folder that does not exist.
    FileDialogs::setNextPath(t.env.folder() + QStringLiteral("/无此目录/模板.xlsx"));
    child<QPushButton>(t.w, "按钮_模板")->click();
    m = t.onlyMessage();
    QCOMPARE(m.text, QStringLiteral("下载失败！请检查是否有文件写入权限！"));
    QCOMPARE(m.icon, MsgIcon::Error);
}

void TstContractImport::loadReplacesListOrLeavesIt()
{
    Import t;
    t.load(t.workbook("a.xlsx", {line("KQLM7001", 1, "螺丝"), line("KQLM7001", 2, "螺母")}));
    ShownMessage m = t.onlyMessage();
    QCOMPARE(m.text, kLoaded);
    QCOMPARE(m.icon, MsgIcon::Information);
    QVERIFY(t.w->importMode());
    QCOMPARE(child<QLabel>(t.w, "标签_统计")->text(), QString());
    QCOMPARE(t.list()->topLevelItemCount(), 2);
    QCOMPARE(t.listRow(1), line("KQLM7001", 2, "螺母"));
    QCOMPARE(t.list()->topLevelItem(1)->text(21), QString());

    // A file that is no workbook: the list stays, import mode is not on,
    // and the load is not reported as a success.
    const QString bad = t.env.folder() + QStringLiteral("/bad.xlsx");
    QFile f(bad);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("not a workbook");
    f.close();
    t.load(bad);
    m = t.onlyMessage();
    QVERIFY2(m.text.contains(QStringLiteral("不是Excel工作簿")), qPrintable(m.text));
    QCOMPARE(m.icon, MsgIcon::Error);
    QVERIFY(!t.w->importMode());
    QCOMPARE(t.list()->topLevelItemCount(), 2);

    // Cancelled: the same, without a message.
    t.load(t.workbook("b.xlsx", {line("KQLM7002", 1, "垫片")}));
    QCOMPARE(t.onlyMessage().text, kLoaded);
    QCOMPARE(t.list()->topLevelItemCount(), 1);
    child<QPushButton>(t.w, "按钮_导入")->click();
    QVERIFY(MessageSeam::shown().isEmpty());
    QVERIFY(!t.w->importMode());
    QCOMPARE(t.list()->topLevelItemCount(), 1);

    // Clear drops the rows and leaves import mode; saving then saves the
    // (empty) form and stores nothing.
    t.load(t.workbook("b.xlsx", {line("KQLM7002", 1, "垫片")}));
    MessageSeam::clear();
    child<QPushButton>(t.w, "按钮_清空")->click();
    QCOMPARE(t.list()->topLevelItemCount(), 0);
    QVERIFY(!t.w->importMode());
    t.save();
    QCOMPARE(t.onlyMessage().text, QStringLiteral("供应商不能为空！"));
    QCOMPARE(t.stored(), QStringList());

    // A sheet whose row 2 is blank loads nothing and imports 0 rows.
    t.load(t.workbook("empty.xlsx", {}));
    QCOMPARE(t.onlyMessage().text, kLoaded);
    QVERIFY(t.w->importMode());
    t.save();
    QCOMPARE(t.onlyMessage().text, QStringLiteral("所有数据导入成功，共导入 0 行！"));
    QVERIFY(!t.w->importMode());
}

void TstContractImport::importStoresLogsAndEndsImportMode()
{
    Import t;
    const QList<QStringList> rows = {line("KQLM7001", 1, "螺丝"), line("KQLM7001", 2, "螺母", QString()),
                                     line("KQLM7002", 1, "垫片", "已审核"), line("KQLM7003", 1, "弹簧", "作废")};
    t.load(t.workbook("a.xlsx", rows));
    MessageSeam::clear();
    const int logBefore = int(t.env.logTriples().size());
    // Import mode ignores the form, even a filled one.
    child<QLineEdit>(t.w, "编辑框_合同编号")->setText(QStringLiteral("KQLM0099"));

    t.save();
    const ShownMessage m = t.onlyMessage();
    QCOMPARE(m.text, QStringLiteral("所有数据导入成功，共导入 4 行！"));
    QCOMPARE(m.title, QStringLiteral("系统提示"));
    QCOMPARE(m.icon, MsgIcon::Information);
    QCOMPARE(m.owner, t.w.data());
    QCOMPARE(t.stored(), QStringList({"已审核|KQLM700152|螺丝", "已审核|KQLM700154|螺母", "已审核|KQLM700252|垫片",
                                      "作废|KQLM700352|弹簧"}));
    // Every column as the sheet had it.
    QCOMPARE(t.env.rows("select * from htb1 where 产品='螺母'").value(0).mid(2, 20), rows.at(1).mid(1));

    QStringList expected;
    for (const QStringList &r : rows)
        expected << QStringLiteral("操作|合同导入成功：") + r.mid(1).join(QLatin1Char('|')) + QStringLiteral("|合同导入");
    expected << QStringLiteral("操作|合同导入成功，共导入：4行|合同录入");
    QCOMPARE(t.env.logTriples().mid(logBefore), expected);

    QCOMPARE(t.list()->topLevelItemCount(), 0);
    QVERIFY(!t.w->importMode());
    QCOMPARE(child<QLabel>(t.w, "标签_统计")->text(), QString());
    QCOMPARE(child<QLineEdit>(t.w, "编辑框_合同编号")->text(), QStringLiteral("KQLM7004"));
}

void TstContractImport::sameWorkbookTwiceStopsAtRowOne()
{
    Import t;
    const QString path = t.workbook("a.xlsx", {line("KQLM7001", 1, "螺丝"), line("KQLM7001", 2, "螺母")});
    t.load(path);
    t.save();
    MessageSeam::clear();
    const QStringList log = t.env.logTriples();

    t.load(path);
    QCOMPARE(t.onlyMessage().text, kLoaded);
    t.save();
    const ShownMessage m = t.onlyMessage();
    QCOMPARE(m.text, QStringLiteral("发现KQLM7001 编号已存在，包括第 1 行后没有导入成功，或者点击[清空]按钮取消本次导入操作！"));
    QCOMPARE(m.icon, MsgIcon::Information);
    QCOMPARE(t.stored().size(), 2);
    // Nothing new logged; the list and import mode stay for another try.
    QCOMPARE(t.env.logTriples(), log);
    QVERIFY(t.w->importMode());
    QCOMPARE(t.list()->topLevelItemCount(), 2);
}

void TstContractImport::duplicateSubNumberStopsAtItsRow()
{
    Import t;
    QList<QStringList> rows = {line("KQLM7001", 1, "螺丝"), line("KQLM7001", 2, "螺母"), line("KQLM7002", 1, "垫片"),
                               line("KQLM7003", 1, "弹簧"), line("KQLM7004", 1, "轴承")};
    rows[3][2] = rows[1][2];   // row 4 repeats the sub-number of row 2
    t.load(t.workbook("a.xlsx", rows));
    MessageSeam::clear();
    t.save();
    QCOMPARE(t.onlyMessage().text,
             QStringLiteral("发现KQLM7003 编号已存在，包括第 4 行后没有导入成功，或者点击[清空]按钮取消本次导入操作！"));
    QCOMPARE(t.stored(), QStringList({"已审核|KQLM700152|螺丝", "已审核|KQLM700154|螺母", "已审核|KQLM700252|垫片"}));
    QCOMPARE(t.importLog().size(), 3);
    QVERIFY(t.w->importMode());
    QCOMPARE(t.list()->topLevelItemCount(), 5);
}

void TstContractImport::failedInsertKeepsEarlierRows()
{
    Import t;
    t.load(t.workbook("a.xlsx", {line("KQLM7001", 1, "螺丝"), line("KQLM7001", 2, "螺母"),
                                 line("KQLM7001", 3, "坏零件"), line("KQLM7002", 1, "垫片")}));
    MessageSeam::clear();
    QVERIFY(refuseProduct(t.env, QStringLiteral("坏零件")));
    t.save();
    const ShownMessage m = t.onlyMessage();
    QCOMPARE(m.text, QStringLiteral("第 3 行后没有导入成功，请检查导入的数据后重试！"));
    QCOMPARE(m.icon, MsgIcon::Information);
    QCOMPARE(t.stored(), QStringList({"已审核|KQLM700152|螺丝", "已审核|KQLM700154|螺母"}));
    QCOMPARE(t.importLog().size(), 2);
    QVERIFY(t.w->importMode());

    // Without the obstacle and with the stored rows gone from the sheet,
    // the rest goes in.
    QVERIFY(allowProducts(t.env));
    t.load(t.workbook("b.xlsx", {line("KQLM7001", 3, "坏零件"), line("KQLM7002", 1, "垫片")}));
    QCOMPARE(t.onlyMessage().text, kLoaded);
    t.save();
    QCOMPARE(t.onlyMessage().text, QStringLiteral("所有数据导入成功，共导入 2 行！"));
    QCOMPARE(t.stored().size(), 4);
}

void TstContractImport::emptyCellsAreEmptyTexts()
{
    Import t;
    QList<QStringList> rows = {line("KQLM7001", 1, "螺丝"), line("KQLM7001", 2, "螺母")};
    // 采购员, 付款方式 and every instalment left empty; the balance too.
    for (int c : {5, 14, 15, 16, 17, 18, 19})
        rows[0][c] = QString();
    rows[1][3] = QString();   // 申请人
    t.load(t.workbook("a.xlsx", rows));
    MessageSeam::clear();
    t.save();
    QCOMPARE(t.onlyMessage().text, QStringLiteral("所有数据导入成功，共导入 2 行！"));
    QCOMPARE(t.env.rows(QStringLiteral("select 采购员,付款方式,第一次付款,第二次付款,第三次付款,第四次付款,剩余尾款,申请人 "
                                       "from htb1 order by id")),
             (QList<QStringList>{{"", "", "", "", "", "", "", "张三"}, {"李四", "月结30天", "3000", "2000", "0", "0", "5000", ""}}));
    QCOMPARE(t.env.rows(QStringLiteral("select count(*) from htb1 where 采购员 is null or 付款方式 is null or 第一次付款 is null "
                                       "or 第二次付款 is null or 第三次付款 is null or 第四次付款 is null or 剩余尾款 is null "
                                       "or 申请人 is null")),
             (QList<QStringList>{{"0"}}));

    // Rows handed over with missing cells store empty texts as well.
    ContractImport import(t.env.db(), t.env.ctx().login);
    const ContractImport::Result r = import.save({{QString(), QStringLiteral("KQLM7002"), QStringLiteral("KQLM700252"),
                                                    QString(), QString(), QString(), QString(), QStringLiteral("垫片"),
                                                    QStringLiteral("1"), QStringLiteral("个"), QStringLiteral("2035-03-01"),
                                                    QStringLiteral("2035-03-01"), QStringLiteral("2035-03-01"),
                                                    QStringLiteral("100")}});
    QCOMPARE(r.outcome, ContractImport::Outcome::Imported);
    QCOMPARE(t.env.rows(QStringLiteral("select 单据状态,申请人,付款方式,第四次付款,税率 from htb1 where 合同编号='KQLM7002'")),
             (QList<QStringList>{{"已审核", "", "", "", ""}}));
    QCOMPARE(t.env.rows(QStringLiteral("select count(*) from htb1 where 税率 is null or 第四次付款 is null")),
             (QList<QStringList>{{"0"}}));
}

void TstContractImport::emptySubNumbersAreNoSubNumbers()
{
    Import t;
    QList<QStringList> rows = {line("KQLM7001", 1, "螺丝"), line("KQLM7001", 2, "螺母"), line("KQLM7002", 1, "垫片")};
    rows[0][2] = QString();
    rows[1][2] = QString();
    t.load(t.workbook("a.xlsx", rows));
    MessageSeam::clear();
    t.save();
    QCOMPARE(t.onlyMessage().text, QStringLiteral("所有数据导入成功，共导入 3 行！"));
    QCOMPARE(t.stored(), QStringList({"已审核||螺丝", "已审核||螺母", "已审核|KQLM700252|垫片"}));

    // Stored empty sub-numbers do not stop a later import either.
    rows = {line("KQLM7003", 1, "弹簧"), line("KQLM7003", 2, "轴承")};
    rows[0][2] = QString();
    t.load(t.workbook("b.xlsx", rows));
    MessageSeam::clear();
    t.save();
    QCOMPARE(t.onlyMessage().text, QStringLiteral("所有数据导入成功，共导入 2 行！"));
    QCOMPARE(t.stored().mid(3), QStringList({"已审核||弹簧", "已审核|KQLM700354|轴承"}));
    QCOMPARE(t.importLog().size(), 7);   // five rows and two completions
}

void TstContractImport::rowAndLogRowCommitTogether()
{
    Import t;
    t.load(t.workbook("a.xlsx", {line("KQLM7001", 1, "螺丝"), line("KQLM7001", 2, "螺母")}));
    MessageSeam::clear();
    // The log cannot take the row of the first line: that line is not stored.
    QVERIFY(t.env.refuse(QStringLiteral("rzb"), QStringLiteral("insert")));
    t.save();
    QCOMPARE(t.onlyMessage().text, QStringLiteral("第 1 行后没有导入成功，请检查导入的数据后重试！"));
    QCOMPARE(t.stored(), QStringList());
    QVERIFY(t.w->importMode());
    QCOMPARE(t.list()->topLevelItemCount(), 2);
}

void TstContractImport::batchesKeepTheStopRow_data()
{
    // Rows of a list over several batches, and what stops it.
    QTest::addColumn<int>("rows");
    QTest::addColumn<int>("duplicateOf");   // the row (from 1) whose sub-number the stop row repeats; 0: none
    QTest::addColumn<bool>("refused");      // the stop row cannot be stored
    QTest::addColumn<int>("stopRow");       // 0: everything goes in
    const int b = ContractImport::kBatchRows;
    QTest::newRow("all in") << b * 2 + 7 << 0 << false << 0;
    QTest::newRow("repeat from an earlier batch") << b * 2 + 7 << 3 << false << b + 20;
    QTest::newRow("repeat in its batch") << b * 2 + 7 << b + 2 << false << b + 9;
    QTest::newRow("first of a batch repeats") << b * 2 << 1 << false << b + 1;
    QTest::newRow("refused mid batch") << b * 2 + 7 << 0 << true << b + 30;
    QTest::newRow("refused first of a batch") << b * 2 + 7 << 0 << true << b + 1;
    QTest::newRow("refused at the very start") << 10 << 0 << true << 1;
}

void TstContractImport::batchesKeepTheStopRow()
{
    QFETCH(int, rows);
    QFETCH(int, duplicateOf);
    QFETCH(bool, refused);
    QFETCH(int, stopRow);
    cgtest::TestEnv env;
    env.loginAs(QStringLiteral("admin"));
    QList<QStringList> list;
    for (int i = 0; i < rows; ++i)
        list << line(QStringLiteral("KQ%1").arg(i, 5, 10, QLatin1Char('0')), 1, QStringLiteral("件%1").arg(i));
    if (duplicateOf)
        list[stopRow - 1][2] = list[duplicateOf - 1][2];
    if (refused) {
        list[stopRow - 1][7] = QStringLiteral("坏零件");
        QVERIFY(refuseProduct(env, QStringLiteral("坏零件")));
    }
    QList<int> progress;
    ContractImport import(env.db(), env.ctx().login);
    const ContractImport::Result r = import.save(list, [&](int done, int total) {
        QCOMPARE(total, rows);
        progress << done;
    });
    const int stored = stopRow ? stopRow - 1 : rows;
    QCOMPARE(r.stored, stored);
    QCOMPARE(r.row, stopRow);
    QCOMPARE(r.outcome, !stopRow ? ContractImport::Outcome::Imported
                        : refused ? ContractImport::Outcome::Failed
                                  : ContractImport::Outcome::DuplicateSubNumber);
    if (stopRow)
        QCOMPARE(r.number, list.at(stopRow - 1).at(1));
    QCOMPARE(env.rows(QStringLiteral("select count(*),max(合同编号) from htb1")).value(0),
             (QStringList{QString::number(stored), stored ? list.at(stored - 1).at(1) : QString()}));
    // Each stored row has its log row, and no other row has one.
    QCOMPARE(env.rows(QStringLiteral("select count(*) from rzb where 操作模块='合同导入'")).value(0).value(0),
             QString::number(stored));
    QVERIFY(!progress.isEmpty());
    QCOMPARE(progress.last(), stored);
    QVERIFY(std::is_sorted(progress.begin(), progress.end()));
}

void TstContractImport::progressShownWhileAnotherStationWrites()
{
    Import t;
    QList<QStringList> rows;
    for (int i = 0; i < 1200; ++i)
        rows << line(QStringLiteral("KQ%1").arg(i, 5, 10, QLatin1Char('0')), 1, QStringLiteral("件%1").arg(i));
    t.load(t.workbook("a.xlsx", rows));
    MessageSeam::clear();

    // Another workstation is writing: the import waits for it, and the
    // window goes on answering meanwhile.
    DbConnection other(QStringLiteral("other-station"));
    QVERIFY(t.env.open(other));
    auto unit = std::make_unique<WriteUnit>(other);
    QVERIFY(unit->isOpen());

    int ticks = 0;
    QString caption;
    bool modal = false;
    int storedMeanwhile = -1;
    QTimer timer;
    timer.setInterval(20);
    QObject::connect(&timer, &QTimer::timeout, [&] {
        ++ticks;
        auto *progress = t.w->window()->findChild<QWidget *>(QStringLiteral("窗口_导入进度"));
        if (!progress || !progress->isVisible())
            return;
        if (caption.isEmpty()) {
            caption = progress->windowTitle();
            modal = progress->isModal() && QApplication::activeModalWidget() == progress;
        }
        if (ticks >= 5 && unit) {
            Recordset rs(other);
            storedMeanwhile = rs.open(QStringLiteral("select count(*) from htb1")) ? int(rs.number(0)) : -2;
            QVERIFY(unit->commit());
            unit.reset();
        }
    });
    timer.start();
    t.save();
    timer.stop();

    QVERIFY2(ticks >= 5, qPrintable(QString::number(ticks)));
    QCOMPARE(caption, QStringLiteral("正在导入，请稍候......(0%）"));
    QVERIFY(modal);
    QCOMPARE(storedMeanwhile, 0);
    QVERIFY(!unit);
    QCOMPARE(t.onlyMessage().text, QStringLiteral("所有数据导入成功，共导入 1200 行！"));
    QCOMPARE(t.env.rows(QStringLiteral("select count(*) from htb1")).value(0).value(0), QStringLiteral("1200"));
    QVERIFY(!t.w->findChild<QWidget *>(QStringLiteral("窗口_导入进度")));
    QCOMPARE(ImportProgressCaption(600, 1200), QStringLiteral("正在导入，请稍候......(50%）"));
}

QTEST_MAIN(TstContractImport)
#include "tst_contractimport.moc"
