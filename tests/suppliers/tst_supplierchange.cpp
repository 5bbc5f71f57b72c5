// The supplier change and modify window, opened from the query window.
#include "contracts/ContractChangeWindow.h"
#include "contracts/ContractQueryWindow.h"
#include "suppliers/SupplierChangeWindow.h"
#include "suppliers/SupplierKit.h"
#include "suppliers/SupplierQueryWindow.h"
#include "ui/Shell.h"

#include <QAction>
#include <QComboBox>
#include <QDateEdit>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QTableView>

using namespace cg;
using kit::child;

namespace {

const QString kHongda = QStringLiteral("已审核|宏达五金|0571-1|王五|杭州|1|月结");
const QString kDongfang = QStringLiteral("未审核|东方五金|0571-2|李四|宁波|9%|货到付款");

struct Opened {
    QPointer<SupplierQueryWindow> query;
    QPointer<SupplierChangeWindow> change;
};

// Queries every supplier and opens the window on the row of name.
Opened open(const QString &name, SupplierEditMode mode)
{
    Opened o;
    o.query = qobject_cast<SupplierQueryWindow *>(Windows::open(WindowKey::SupplierQuery));
    o.query->query();
    for (int r = 0; r < o.query->model()->rowCount(); ++r)
        if (o.query->model()->row(r).name == name)
            o.query->selectRow(r);
    const QString caption = mode == SupplierEditMode::Change ? QStringLiteral("&B.变 更") : QStringLiteral("&X.修 改");
    for (QAction *a : o.query->popupMenu()->actions())
        if (a->objectName() == caption)
            a->trigger();
    o.change = o.query->changeWindow();
    return o;
}

QLineEdit *edit(QWidget *w, const char *name) { return child<QLineEdit>(w, QString::fromUtf8(name)); }
QComboBox *combo(QWidget *w, const char *name) { return child<QComboBox>(w, QString::fromUtf8(name)); }

void choose(QComboBox *box, const QString &text)
{
    box->setCurrentIndex(box->findText(text, Qt::MatchExactly | Qt::MatchCaseSensitive));
}

void confirm(QWidget *w) { child<QPushButton>(w, QStringLiteral("按钮_确定"))->click(); }

QString hint(QWidget *w) { return child<QLabel>(w, QStringLiteral("标签_提示"))->text(); }

QString listRow(SupplierQueryWindow *w, int row) { return w->model()->row(row).cells().join(QLatin1Char('|')); }

class Env : public kit::Env {
public:
    Env()
    {
        // "13%" above "1": a stored "1" must show 1, not the first item that
        // begins with it; likewise 月结 below 月结30天.
        for (const char *t : {"13%", "1", "9%"})
            addBasic(QStringLiteral("税率"), QString::fromUtf8(t));
        for (const char *p : {"月结30天", "月结", "货到付款"})
            addBasic(QStringLiteral("付款方式"), QString::fromUtf8(p));
        addSupplier(kHongda);
        addSupplier(kDongfang);
    }
};

} // namespace

class TstSupplierChange : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void changeEditsTermsOfAnySupplier();
    void modifyEditsEverythingAndChecksTheName();
    void staleChangeFailsAndLogsNothing();
    void identicalRowsAreSavedTogetherAfterAsking();
    void listRowCheckedBeforeItIsRewritten();
    void eachWindowKeepsItsMode();
    void unsavedEditsAreDroppedOnlyAfterAYes();
};

void TstSupplierChange::changeEditsTermsOfAnySupplier()
{
    Env env;
    Opened o = open(QStringLiteral("宏达五金"), SupplierEditMode::Change);
    QVERIFY(o.change);
    QCOMPARE(o.change->windowTitle(), QStringLiteral("砚禾澄屿合同管理系统--供应商变更"));
    for (const char *e : {"编辑框_名称", "编辑框_电话", "编辑框_联系人", "编辑框_地址"})
        QVERIFY2(!edit(o.change, e)->isEnabled(), e);
    QCOMPARE(edit(o.change, "编辑框_地址")->text(), QStringLiteral("杭州"));
    QCOMPARE(combo(o.change, "组合框_税率")->currentText(), QStringLiteral("1"));
    QCOMPARE(combo(o.change, "组合框_付款方式")->currentText(), QStringLiteral("月结"));
    QCOMPARE(hint(o.change), QStringLiteral(" 供应商名称不能重复，否则不予保存"));
    QCOMPARE(child<QLabel>(o.change, QStringLiteral("标签21"))->text(), QStringLiteral("所有字段必须录入，否则不予保存"));
    QCOMPARE(env.logTriples().last(), QStringLiteral("开始|打开供应商变更窗口|供应商变更"));

    choose(combo(o.change, "组合框_税率"), QStringLiteral("13%"));
    choose(combo(o.change, "组合框_付款方式"), QStringLiteral("月结30天"));
    const int logged = env.logTriples().size();
    confirm(o.change);
    QVERIFY(kit::lastBox(QStringLiteral("保存成功！"), MsgIcon::Information));
    QCOMPARE(env.suppliers().first(), QStringLiteral("已审核|宏达五金|0571-1|王五|杭州|13%|月结30天"));
    QCOMPARE(listRow(o.query, 0), QStringLiteral("已审核|宏达五金|0571-1|王五|杭州|13%|月结30天"));
    // The window is gone after the save, without a closing entry.
    QTRY_VERIFY(!o.change);
    QCOMPARE(env.logSince(logged),
             QStringList{QStringLiteral("操作|成功变更：（原税率：1|变更为：13%）|（原付款方式：月结|变更为：月结30天）|供应商变更")});

    // Change works on an unaudited supplier too and audits it; values left
    // as they are are logged as old equal to new.
    o = open(QStringLiteral("东方五金"), SupplierEditMode::Change);
    confirm(o.change);
    QCOMPARE(env.suppliers().last(), QStringLiteral("已审核|东方五金|0571-2|李四|宁波|9%|货到付款"));
    QCOMPARE(o.query->model()->row(1).state, QStringLiteral("已审核"));
    QCOMPARE(env.logTriples().last(),
             QStringLiteral("操作|成功变更：（原税率：9%|变更为：9%）|（原付款方式：货到付款|变更为：货到付款）|供应商变更"));
}

void TstSupplierChange::modifyEditsEverythingAndChecksTheName()
{
    Env env;
    Opened o = open(QStringLiteral("东方五金"), SupplierEditMode::Modify);
    QVERIFY(o.change);
    QCOMPARE(o.change->windowTitle(), QStringLiteral("砚禾澄屿合同管理系统--供应商修改"));
    QVERIFY(edit(o.change, "编辑框_名称")->isEnabled());

    // Another supplier's name is refused before any empty field.
    edit(o.change, "编辑框_名称")->setText(QStringLiteral("宏达五金"));
    edit(o.change, "编辑框_电话")->clear();
    confirm(o.change);
    QVERIFY(kit::lastBox(QStringLiteral("此供应名称已经录入"), MsgIcon::Information));
    edit(o.change, "编辑框_名称")->setText(QStringLiteral("东方五金"));
    confirm(o.change);
    QVERIFY(kit::lastBox(QStringLiteral("供应商电话不能为空！"), MsgIcon::Information));
    combo(o.change, "组合框_付款方式")->setCurrentIndex(-1);
    edit(o.change, "编辑框_电话")->setText(QStringLiteral("0574-9"));
    confirm(o.change);
    QVERIFY(kit::lastBox(QStringLiteral("供应商付款方式不能为空！"), MsgIcon::Information));
    QCOMPARE(env.suppliers().last(), kDongfang);

    const int logged = env.logTriples().size();
    edit(o.change, "编辑框_名称")->setText(QStringLiteral("东方机电"));
    edit(o.change, "编辑框_联系人")->setText(QStringLiteral("钱七"));
    edit(o.change, "编辑框_地址")->setText(QStringLiteral("宁波北仑"));
    choose(combo(o.change, "组合框_税率"), QStringLiteral("13%"));
    choose(combo(o.change, "组合框_付款方式"), QStringLiteral("月结"));
    confirm(o.change);
    QVERIFY(kit::lastBox(QStringLiteral("保存成功！"), MsgIcon::Information));
    const QString saved = QStringLiteral("已审核|东方机电|0574-9|钱七|宁波北仑|13%|月结");
    QCOMPARE(env.suppliers().last(), saved);
    QCOMPARE(listRow(o.query, 1), saved);
    QCOMPARE(env.logSince(logged),
             QStringList{QStringLiteral("操作|成功修改：（原税率：9%|修改为：13%）|（原付款方式：货到付款|修改为：月结）"
                                        "（原名称：东方五金|修改为：东方机电）（原电话：0571-2|修改为：0574-9）"
                                        "（原联系人：李四|修改为：钱七）（原地址：宁波|修改为：宁波北仑）|供应商修改")});
    // The new name reaches the supplier names.
    QVERIFY(combo(o.query, "组合框_名称")->findText(QStringLiteral("东方机电")) >= 0);

    // Its own name is no conflict; a stored tax rate the basic data no
    // longer offers leaves the list empty, and the save is refused.
    QVERIFY(env.db().execute(QStringLiteral("update gysb set 单据状态='未审核',税率='6%' where 名称='东方机电'")));
    o = open(QStringLiteral("东方机电"), SupplierEditMode::Modify);
    QCOMPARE(combo(o.change, "组合框_税率")->currentIndex(), -1);
    confirm(o.change);
    QVERIFY(kit::lastBox(QStringLiteral("供应商税率不能为空！"), MsgIcon::Information));
    choose(combo(o.change, "组合框_税率"), QStringLiteral("9%"));
    confirm(o.change);
    QVERIFY(kit::lastBox(QStringLiteral("保存成功！"), MsgIcon::Information));
    QCOMPARE(env.suppliers().last(), QStringLiteral("已审核|东方机电|0574-9|钱七|宁波北仑|9%|月结"));
}

void TstSupplierChange::staleChangeFailsAndLogsNothing()
{
    Env env;
    Opened o = open(QStringLiteral("宏达五金"), SupplierEditMode::Change);
    // Another workstation changes the supplier while the window is open.
    QVERIFY(env.db().execute(QStringLiteral("update gysb set 电话='别处改过' where 名称='宏达五金'")));
    choose(combo(o.change, "组合框_税率"), QStringLiteral("13%"));
    const int logged = env.logTriples().size();
    confirm(o.change);
    QVERIFY(kit::lastBox(QStringLiteral("保存失败！"), MsgIcon::Error));
    QCOMPARE(hint(o.change), QStringLiteral("保存失败！"));
    QCOMPARE(child<QLabel>(o.change, QStringLiteral("标签_提示"))->palette().color(QPalette::WindowText),
             QColor(255, 0, 0));
    QVERIFY(o.change && o.change->isVisible());
    QCOMPARE(env.logSince(logged), QStringList());
    QCOMPARE(env.suppliers().first(), QStringLiteral("已审核|宏达五金|别处改过|王五|杭州|1|月结"));
    QCOMPARE(listRow(o.query, 0), kHongda);

    // A name another workstation took meanwhile is refused as well. (The
    // failed window still holds its edit: dropped after a Yes.)
    cg::MessageSeam::setNextAnswer(QMessageBox::Yes);
    Opened m = open(QStringLiteral("东方五金"), SupplierEditMode::Modify);
    QVERIFY(!o.change || !o.change->isVisible());
    edit(m.change, "编辑框_名称")->setText(QStringLiteral("后来者"));
    QVERIFY(env.db().execute(QStringLiteral("insert into gysb(单据状态,名称) values('未审核','后来者')")));
    confirm(m.change);
    QVERIFY(kit::lastBox(QStringLiteral("此供应名称已经录入"), MsgIcon::Information));
    QCOMPARE(env.suppliers().at(1), kDongfang);
}

void TstSupplierChange::identicalRowsAreSavedTogetherAfterAsking()
{
    // Old data: the same supplier stored twice, value for value.
    Env env;
    env.addSupplier(kDongfang);
    Opened o = open(QStringLiteral("东方五金"), SupplierEditMode::Modify);
    QVERIFY(o.change);
    edit(o.change, "编辑框_电话")->setText(QStringLiteral("0574-9"));
    const int logged = env.logTriples().size();

    // No: nothing is saved and the window stays with what was typed.
    MessageSeam::clear();
    confirm(o.change);
    QCOMPARE(cgtest::messageTexts(), QStringList{QStringLiteral("发现2条完全相同的东方五金供应商记录，是否要全部修改？")});
    QVERIFY(kit::lastBox(cgtest::messageTexts().last(), MsgIcon::Question));
    QCOMPARE(env.suppliers(), (QStringList{kHongda, kDongfang, kDongfang}));
    QCOMPARE(env.logSince(logged), QStringList());
    QVERIFY(o.change && o.change->isVisible());
    QCOMPARE(edit(o.change, "编辑框_电话")->text(), QStringLiteral("0574-9"));

    // Yes: both rows, both list rows, one log row as for one supplier.
    MessageSeam::clear();
    MessageSeam::setNextAnswer(QMessageBox::Yes);
    confirm(o.change);
    QVERIFY(kit::lastBox(QStringLiteral("保存成功！"), MsgIcon::Information));
    const QString saved = QStringLiteral("已审核|东方五金|0574-9|李四|宁波|9%|货到付款");
    QCOMPARE(env.suppliers(), (QStringList{kHongda, saved, saved}));
    QCOMPARE(listRow(o.query, 1), saved);
    QCOMPARE(listRow(o.query, 2), saved);
    QCOMPARE(env.logSince(logged),
             QStringList{QStringLiteral("操作|成功修改：（原税率：9%|修改为：9%）|（原付款方式：货到付款|修改为：货到付款）"
                                        "（原名称：东方五金|修改为：东方五金）（原电话：0571-2|修改为：0574-9）"
                                        "（原联系人：李四|修改为：李四）（原地址：宁波|修改为：宁波）|供应商修改")});

    // Change asks the same way; a log row that cannot be written keeps both.
    o = open(QStringLiteral("东方五金"), SupplierEditMode::Change);
    choose(combo(o.change, "组合框_税率"), QStringLiteral("13%"));
    QVERIFY(env.refuse(QStringLiteral("rzb"), QStringLiteral("insert")));
    MessageSeam::clear();
    MessageSeam::setNextAnswer(QMessageBox::Yes);
    confirm(o.change);
    QCOMPARE(cgtest::messageTexts(), (QStringList{QStringLiteral("发现2条完全相同的东方五金供应商记录，是否要全部变更？"),
                                                 QStringLiteral("保存失败！")}));
    QCOMPARE(env.suppliers(), (QStringList{kHongda, saved, saved}));
    QCOMPARE(hint(o.change), QStringLiteral("保存失败！"));
}

void TstSupplierChange::listRowCheckedBeforeItIsRewritten()
{
    Env env;
    Opened o = open(QStringLiteral("宏达五金"), SupplierEditMode::Change);
    QCOMPARE(o.change->listRow(), 0);
    // A new query puts another supplier into row 0.
    child<QComboBox>(o.query, QStringLiteral("组合框_名称"))->setEditText(QStringLiteral("东方"));
    o.query->query();
    QCOMPARE(o.query->model()->rowCount(), 1);
    choose(combo(o.change, "组合框_付款方式"), QStringLiteral("货到付款"));
    confirm(o.change);
    QVERIFY(kit::lastBox(QStringLiteral("保存成功！"), MsgIcon::Information));
    QCOMPARE(env.suppliers().first(), QStringLiteral("已审核|宏达五金|0571-1|王五|杭州|1|货到付款"));
    QCOMPARE(listRow(o.query, 0), kDongfang);
}

void TstSupplierChange::eachWindowKeepsItsMode()
{
    Env env;
    // A contract change window is open before the supplier windows.
    Clock::setFixed(QDateTime(QDate(2024, 3, 15), QTime(9, 30)));
    QVERIFY(env.db().execute(
        QStringLiteral("insert into ") + Ctx().login.contractTable
        + QStringLiteral("(单据状态,合同编号,合同子编号,申请人,申请部门,采购员,供应商,产品,设备数量,计量单位,制单日期,"
                         "生效日期,失效日期,合同金额,付款方式,第一次付款,第二次付款,第三次付款,第四次付款,剩余尾款,税率) "
                         "values('已审核','C1','C101','张三','采购部','李四','宏达五金','泵','1','台','2024-03-05',"
                         "'2024-03-01','2025-03-01','100','月结','0','0','0','0','100','13%')")));
    auto *contracts = qobject_cast<ContractQueryWindow *>(Windows::open(WindowKey::ContractQuery));
    contracts->filter();
    contracts->list()->selectionModel()->setCurrentIndex(contracts->model()->index(0, 0),
                                                        QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    contracts->openChange();
    QPointer<ContractChangeWindow> contractChange = contracts->changeWindow();
    QVERIFY(contractChange);

    Opened o = open(QStringLiteral("宏达五金"), SupplierEditMode::Change);
    QCOMPARE(o.change->mode(), SupplierEditMode::Change);
    // Opening modify closes the change window; each logs with its own mode.
    const int logged = env.logTriples().size();
    Opened m = open(QStringLiteral("东方五金"), SupplierEditMode::Modify);
    QTRY_VERIFY(!o.change);
    QCOMPARE(m.change->mode(), SupplierEditMode::Modify);
    m.change->close();
    QCOMPARE(env.logSince(logged), (QStringList{QStringLiteral("操作|点击查询按钮|供应商查询"),
                                                QStringLiteral("结束|关闭供应商变更窗口|供应商变更"),
                                                QStringLiteral("开始|打开供应商修改窗口|供应商修改"),
                                                QStringLiteral("结束|关闭供应商修改窗口|供应商修改")}));
    QVERIFY(contractChange);
    QCOMPARE(contractChange->mode(), ChangeMode::Change);
    contractChange->close();
    QCOMPARE(env.logTriples().last(), QStringLiteral("结束|关闭合同变更窗口|合同变更"));
}

void TstSupplierChange::unsavedEditsAreDroppedOnlyAfterAYes()
{
    Env env;
    Opened o = open(QStringLiteral("宏达五金"), SupplierEditMode::Change);
    QVERIFY(o.change);
    choose(combo(o.change, "组合框_税率"), QStringLiteral("13%"));
    const int logged = env.logTriples().size();
    const QString question = QStringLiteral("供应商变更窗口中的修改还没有保存，是否放弃这些修改？");

    // 修改 on another supplier asks; No keeps the window and its edit.
    cg::MessageSeam::clear();
    Opened m = open(QStringLiteral("东方五金"), SupplierEditMode::Modify);
    QCOMPARE(cg::MessageSeam::shown().size(), 1);
    QCOMPARE(cg::MessageSeam::shown().first().text, question);
    QCOMPARE(cg::MessageSeam::shown().first().icon, MsgIcon::Question);
    QVERIFY(cg::MessageSeam::shown().first().yesNo);
    QCOMPARE(m.change.data(), o.change.data());
    QVERIFY(o.change && o.change->isVisible());
    QCOMPARE(combo(o.change, "组合框_税率")->currentText(), QStringLiteral("13%"));
    // Only the query itself is logged.
    QCOMPARE(env.logSince(logged), QStringList{QStringLiteral("操作|点击查询按钮|供应商查询")});

    // Yes drops them: the modify window replaces it.
    cg::MessageSeam::clear();
    cg::MessageSeam::setNextAnswer(QMessageBox::Yes);
    m = open(QStringLiteral("东方五金"), SupplierEditMode::Modify);
    QCOMPARE(cg::MessageSeam::shown().size(), 1);
    QTRY_VERIFY(!o.change);
    QVERIFY(m.change);
    QCOMPARE(m.change->mode(), SupplierEditMode::Modify);
    QCOMPARE(env.suppliers().first(), QStringLiteral("已审核|宏达五金|0571-1|王五|杭州|1|月结"));

    // Untouched, it is replaced without a question.
    cg::MessageSeam::clear();
    Opened c = open(QStringLiteral("宏达五金"), SupplierEditMode::Change);
    QTRY_VERIFY(!m.change);
    QVERIFY(c.change);
    QCOMPARE(cg::MessageSeam::shown().size(), 0);
}

QTEST_MAIN(TstSupplierChange)
#include "tst_supplierchange.moc"
