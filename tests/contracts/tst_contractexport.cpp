// 按钮_导出 of the contract query window, wired as the program wires it:
// the list as shown in a workbook read back by openpyxl, and the log entry.
#include "app/Catalog.h"
#include "contracts/ContractExport.h"
#include "contracts/ContractQueryWindow.h"
#include "spreadsheet/WorkbookProbe.h"
#include "support/TestEnv.h"

#include <QDateEdit>
#include <QDir>
#include <QPushButton>
#include <QtTest>

using namespace cg;

namespace {

void addLine(cgtest::TestEnv &env, const QString &number, int line, const QString &product, const QString &date)
{
    QVERIFY(env.db().execute(
        QStringLiteral("insert into htb1(单据状态,合同编号,合同子编号,申请人,申请部门,采购员,供应商,产品,设备数量,"
                       "计量单位,制单日期,生效日期,失效日期,合同金额,付款方式,第一次付款,第二次付款,第三次付款,"
                       "第四次付款,剩余尾款,税率) values(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)"),
        {QStringLiteral("已审核"), number, LineSubNumber(number, line), QStringLiteral("张三"),
         QStringLiteral("采购部"), QStringLiteral("李四"), QStringLiteral("华东机电"), product,
         QStringLiteral("0012"), QStringLiteral("台"), date, QStringLiteral("2024-03-01"),
         QStringLiteral("2025-03-01"), QStringLiteral("10000.50"), QStringLiteral("月结"), QStringLiteral("3000"),
         QStringLiteral("2000"), QStringLiteral("0"), QStringLiteral("0"), QStringLiteral("5000.50"),
         QStringLiteral("13%")}));
}

QStringList head(const QString &number, const QString &product, const QString &date, const QString &mark)
{
    return {"已审核", number, "张三", "采购部", "李四", "华东机电", product, "0012", "台", date, "2024-03-01",
            "2025-03-01", "10000.50", "月结", "3000", "2000", "0", "0", "5000.50", "13%", mark};
}

QStringList continuation(const QString &product)
{
    QStringList cells(21);
    cells[6] = product;
    cells[7] = QStringLiteral("0012");
    cells[8] = QStringLiteral("台");
    return cells;
}

} // namespace

class TstContractExport : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void exportsTheListAsShown();
};

void TstContractExport::exportsTheListAsShown()
{
    cgtest::TestEnv env;
    env.loginAs(QStringLiteral("admin"));
    Clock::setFixed(QDateTime(QDate(2024, 3, 15), QTime(9, 30)));
    RegisterWindows();
    addLine(env, "KQLM0001", 1, "泵", "2024-03-02");
    addLine(env, "KQLM0001", 2, "阀", "2024-03-02");
    addLine(env, "KQLM0002", 1, "电机", "2024-03-03");
    QVERIFY(env.db().execute(QStringLiteral("update htb1 set 附件=? where 产品='电机'"), {QByteArray("%PDF-1.4")}));

    auto *w = qobject_cast<ContractQueryWindow *>(Windows::open(WindowKey::ContractQuery));
    QVERIFY(w);
    auto *exportButton = w->findChild<QPushButton *>(QStringLiteral("按钮_导出"));
    const auto lastLog = [&] { return env.logTriples().value(env.logTriples().size() - 1); };

    // Before any filter the list is empty: a title row only.
    const QString empty = env.folder() + QStringLiteral("/空.xlsx");
    FileDialogs::setNextPath(empty);
    exportButton->click();
    QCOMPARE(cgtest::messageTexts(), QStringList({"成功导出：" + QDir::toNativeSeparators(empty)}));
    QCOMPARE(lastLog(), QStringLiteral("操作|成功导出合同，共导出：0行|合同查询"));
    QJsonObject book = probe::dumpWorkbook(empty);
    probe::checkExportTitles(book, ContractExportTitles());
    QCOMPARE(book.value("rows").toArray().size(), 1);

    w->findChild<QDateEdit *>(QStringLiteral("日期框_起始"))->setDate(QDate(2024, 3, 1));
    w->filter();
    QCOMPARE(w->model()->rowCount(), 3);

    // Cancelled: the failure counts the rows of the list.
    MessageSeam::clear();
    exportButton->click();
    QCOMPARE(cgtest::messageTexts(), QStringList({"用户取消导出！"}));
    QCOMPARE(lastLog(), QStringLiteral("操作|导出合同失败，共失败：3行|合同查询"));

    // Head rows with every value, the continuation row with product,
    // quantity and unit only; leading zeros kept, the id column left out.
    MessageSeam::clear();
    const QString path = env.folder() + QStringLiteral("/合同.xlsx");
    FileDialogs::setNextPath(path);
    exportButton->click();
    QCOMPARE(cgtest::messageTexts(), QStringList({"成功导出：" + QDir::toNativeSeparators(path)}));
    QCOMPARE(MessageSeam::shown().at(0).owner, w);
    QCOMPARE(lastLog(), QStringLiteral("操作|成功导出合同，共导出：3行|合同查询"));
    book = probe::dumpWorkbook(path);
    probe::checkExportTitles(book, ContractExportTitles());
    probe::checkExportRows(book, {head("KQLM0002", "电机", "2024-03-03", "有附件"), head("KQLM0001", "阀", "2024-03-02", ""),
                                  continuation("泵")});
    for (const auto &row : book.value("rows").toArray())
        QCOMPARE(row.toArray().size(), 21);
}

QTEST_MAIN(TstContractExport)
#include "tst_contractexport.moc"
