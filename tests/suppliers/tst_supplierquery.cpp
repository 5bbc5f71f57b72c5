// The supplier query window: the query, the supplier names in every open
// combo box, audit, unaudit, delete, modify refusal, export and closing.
#include "contracts/ContractEntryWindow.h"
#include "suppliers/SupplierChangeWindow.h"
#include "suppliers/SupplierEntryWindow.h"
#include "suppliers/SupplierKit.h"
#include "suppliers/SupplierNames.h"
#include "suppliers/SupplierQueryWindow.h"
#include "ui/Gates.h"
#include "ui/Shell.h"
#include "support/UserInput.h"

#include <QAction>
#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QTableView>

using namespace cg;
using kit::child;

namespace {

const QString kHongda = QStringLiteral("已审核|宏达五金|0571-1|王五|杭州|13%|月结");
const QString kDongfang = QStringLiteral("未审核|东方五金|0571-2|李四|宁波|9%|货到付款");
const QString kHuaxia = QStringLiteral("未审核|华夏电气|0571-3|赵六|温州|13%|月结");

SupplierQueryWindow *openQuery()
{
    return qobject_cast<SupplierQueryWindow *>(Windows::open(WindowKey::SupplierQuery));
}

void search(SupplierQueryWindow *w, const QString &fragment)
{
    child<QComboBox>(w, QStringLiteral("组合框_名称"))->setEditText(fragment);
    child<QPushButton>(w, QStringLiteral("按钮_查找"))->click();
}

QStringList listed(SupplierQueryWindow *w)
{
    QStringList out;
    for (int r = 0; r < w->model()->rowCount(); ++r)
        out << w->model()->row(r).cells().join(QLatin1Char('|'));
    return out;
}

int rowOf(SupplierQueryWindow *w, const QString &name)
{
    for (int r = 0; r < w->model()->rowCount(); ++r)
        if (w->model()->row(r).name == name)
            return r;
    return -1;
}

QAction *action(SupplierQueryWindow *w, const QString &caption)
{
    for (QAction *a : w->popupMenu()->actions())
        if (a->objectName() == caption)
            return a;
    qWarning("no action %s", qPrintable(caption));
    return nullptr;
}

// Selects the row of name and triggers the menu item.
void act(SupplierQueryWindow *w, const QString &name, const QString &caption)
{
    w->selectRow(rowOf(w, name));
    action(w, caption)->trigger();
}

QString countText(QWidget *w) { return child<QLabel>(w, QStringLiteral("标签_统计"))->text(); }

// Types the fragment into the box and presses Enter, as a user does.
void typeAndEnter(QComboBox *box, const QString &fragment, bool keypad = false)
{
    QVERIFY(cgtest::typeText(box, fragment));
    QVERIFY(keypad ? cgtest::pressKeypadEnter(box) : cgtest::pressReturn(box));
}

class Env : public kit::Env {
public:
    explicit Env(const QString &user = QStringLiteral("admin")) : kit::Env(user)
    {
        for (const QString &s : {kHongda, kDongfang, kHuaxia})
            addSupplier(s);
    }
};

} // namespace

class TstSupplierQuery : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void queryByFragment();
    void namesReachEveryOpenSupplierComboBox();
    void auditAndUnaudit();
    void deleteAsksAndRefreshesNames();
    void staleRowsFailAndLogNothing();
    void identicalRowsAreActedOnTogetherAfterAsking();
    void refusedLogRowUndoesTheChange();
    void modifyRefusalAndDoubleClick();
    void exportReadBack();
    void fillCannotBeReentered();
    void gatesAndClosing();
    void everyWayIntoAGatedActionAsksItsGate();
};

void TstSupplierQuery::queryByFragment()
{
    Env env;
    QVERIFY(env.db().execute(QStringLiteral("insert into gysb(单据状态,名称) values('未审核',NULL)")));
    SupplierQueryWindow *w = openQuery();
    QCOMPARE(w->windowTitle(), QStringLiteral("砚禾澄屿合同管理系统--供应商查询"));
    QCOMPARE(countText(w), QStringLiteral(" 共：0个供应商"));
    QCOMPARE(w->model()->rowCount(), 0);
    QCOMPARE(child<QLabel>(w, QStringLiteral("标签4"))->buddy(), child<QComboBox>(w, QStringLiteral("组合框_名称")));
    QCOMPARE(w->model()->headerData(1, Qt::Horizontal).toString(), QStringLiteral("供应商名称"));

    // An empty text lists every supplier that has a name.
    search(w, QString());
    QCOMPARE(listed(w), (QStringList{kHongda, kDongfang, kHuaxia}));
    QCOMPARE(countText(w), QStringLiteral("共：3个供应商"));
    // A fragment matches anywhere in the name.
    search(w, QStringLiteral("五金"));
    QCOMPARE(listed(w), (QStringList{kHongda, kDongfang}));
    search(w, QStringLiteral("没有"));
    QCOMPARE(listed(w), QStringList());
    QCOMPARE(countText(w), QStringLiteral("共：0个供应商"));
    QCOMPARE(env.logTriples(), (QStringList{QStringLiteral("开始|打开供应商查询窗口|供应商查询"),
                                            QStringLiteral("操作|点击查询按钮|供应商查询"),
                                            QStringLiteral("操作|点击查询按钮|供应商查询"),
                                            QStringLiteral("操作|点击查询按钮|供应商查询")}));
}

void TstSupplierQuery::namesReachEveryOpenSupplierComboBox()
{
    Env env;
    env.addSupplier(QStringLiteral("已审核|宏达|1|1|1|13%|月结"));
    SupplierQueryWindow *w = openQuery();
    auto *contract = qobject_cast<ContractEntryWindow *>(Windows::open(WindowKey::ContractEntry));
    QVERIFY(contract);
    auto *names = child<QComboBox>(w, QStringLiteral("组合框_名称"));
    auto *supplier = child<QComboBox>(contract, QStringLiteral("组合框_供应商"));
    QCOMPARE(supplier->count(), 4);
    QCOMPARE(names->count(), 4);

    // A supplier stored in the entry window reaches both boxes.
    auto *entry = qobject_cast<SupplierEntryWindow *>(Windows::open(WindowKey::SupplierEntry));
    child<QLineEdit>(entry, QStringLiteral("编辑框_名称"))->setText(QStringLiteral("新到供应商"));
    for (const char *e : {"编辑框_电话", "编辑框_联系人", "编辑框_地址"})
        child<QLineEdit>(entry, QString::fromUtf8(e))->setText(QStringLiteral("x"));
    for (const char *c : {"组合框_税率", "组合框_付款方式"}) {
        auto *box = child<QComboBox>(entry, QString::fromUtf8(c));
        box->addItem(QStringLiteral("y"));   // no basic data here: any item will do
        box->setCurrentIndex(box->count() - 1);
    }
    entry->save();
    QVERIFY(supplier->findText(QStringLiteral("新到供应商")) >= 0);
    QVERIFY(names->findText(QStringLiteral("新到供应商")) >= 0);

    // Enter in the query window's box finds by fragment in every box; the
    // name found wins over a longer one that begins with it.
    const int logged = env.logTriples().size();
    typeAndEnter(names, QStringLiteral("达"));
    QCOMPARE(names->currentText(), QStringLiteral("宏达五金"));
    QCOMPARE(supplier->currentText(), QStringLiteral("宏达五金"));
    QCOMPARE(w->model()->rowCount(), 0);
    QCOMPARE(env.logSince(logged), QStringList());
    // With 宏达五金 gone (the boxes not refreshed yet), "达" finds 宏达: the
    // item equal to it is chosen, not 宏达五金 above it.
    QVERIFY(env.db().execute(QStringLiteral("delete from gysb where 名称='宏达五金'")));
    typeAndEnter(names, QStringLiteral("达"));
    QCOMPARE(supplier->currentText(), QStringLiteral("宏达"));
    QCOMPARE(names->currentText(), QStringLiteral("宏达"));
    // No match: nothing selected anywhere, never the first supplier.
    typeAndEnter(names, QStringLiteral("不存在的"), true);
    QCOMPARE(supplier->currentIndex(), -1);
    QCOMPARE(supplier->currentText(), QString());
    QCOMPARE(names->currentIndex(), -1);

    // Enter in the contract window's box finds there and here as well.
    typeAndEnter(supplier, QStringLiteral("华夏"));
    QCOMPARE(supplier->currentText(), QStringLiteral("华夏电气"));
    QCOMPARE(names->currentText(), QStringLiteral("华夏电气"));
}

void TstSupplierQuery::auditAndUnaudit()
{
    Env env;
    SupplierQueryWindow *w = openQuery();
    search(w, QString());
    const int logged = env.logTriples().size();

    act(w, QStringLiteral("宏达五金"), QStringLiteral("&H.审 核"));
    QVERIFY(kit::lastBox(QStringLiteral("宏达五金 已是审核状态，不需要重复审核！"), MsgIcon::Information));
    act(w, QStringLiteral("东方五金"), QStringLiteral("&F.反 审"));
    QVERIFY(kit::lastBox(QStringLiteral("东方五金 供应商已是未审核状态，不需要重复反审核！"), MsgIcon::Information));
    QCOMPARE(env.logSince(logged), QStringList());

    act(w, QStringLiteral("宏达五金"), QStringLiteral("&F.反 审"));
    QVERIFY(kit::lastBox(QStringLiteral("宏达五金 供应商反审核成功！"), MsgIcon::Information));
    act(w, QStringLiteral("东方五金"), QStringLiteral("&H.审 核"));
    QVERIFY(kit::lastBox(QStringLiteral("东方五金 审核成功！"), MsgIcon::Information));
    QCOMPARE(w->model()->cell(rowOf(w, QStringLiteral("宏达五金")), 0), QStringLiteral("未审核"));
    QCOMPARE(w->model()->cell(rowOf(w, QStringLiteral("东方五金")), 0), QStringLiteral("已审核"));
    QCOMPARE(env.suppliers().mid(0, 2), (QStringList{QStringLiteral("未审核|宏达五金|0571-1|王五|杭州|13%|月结"),
                                                     QStringLiteral("已审核|东方五金|0571-2|李四|宁波|9%|货到付款")}));
    QCOMPARE(env.logSince(logged), (QStringList{QStringLiteral("操作|成功反审核供应商： 宏达五金|供应商查询"),
                                                QStringLiteral("操作|成功审核供应商： 东方五金|供应商查询")}));
}

void TstSupplierQuery::deleteAsksAndRefreshesNames()
{
    Env env;
    SupplierQueryWindow *w = openQuery();
    search(w, QString());
    const int logged = env.logTriples().size();

    act(w, QStringLiteral("宏达五金"), QStringLiteral("&D.删 除"));
    QVERIFY(kit::lastBox(QStringLiteral("不能直接删除已审核的数据，请反审核后再删除！"), MsgIcon::Information));
    // No: nothing happens.
    act(w, QStringLiteral("东方五金"), QStringLiteral("&D.删 除"));
    QVERIFY(kit::lastBox(QStringLiteral("是否要删除东方五金供应商，删除后无法恢复！"), MsgIcon::Question));
    QCOMPARE(env.suppliers().size(), 3);

    MessageSeam::setNextAnswer(QMessageBox::Yes);
    act(w, QStringLiteral("东方五金"), QStringLiteral("&D.删 除"));
    QVERIFY(kit::lastBox(QStringLiteral("删除成功！"), MsgIcon::Information));
    QCOMPARE(env.suppliers(), (QStringList{kHongda, kHuaxia}));
    QCOMPARE(listed(w), (QStringList{kHongda, kHuaxia}));
    QCOMPARE(countText(w), QStringLiteral(" 共：2行"));
    QCOMPARE(child<QComboBox>(w, QStringLiteral("组合框_名称"))->findText(QStringLiteral("东方五金")), -1);
    QCOMPARE(env.logSince(logged), QStringList{QStringLiteral("操作|成功删除供应商：东方五金|供应商查询")});
}

void TstSupplierQuery::staleRowsFailAndLogNothing()
{
    Env env;
    SupplierQueryWindow *w = openQuery();
    search(w, QString());
    // Another workstation changes one supplier's telephone and deletes another.
    QVERIFY(env.db().execute(QStringLiteral("update gysb set 电话='新电话' where 名称 in ('宏达五金','东方五金')")));
    QVERIFY(env.db().execute(QStringLiteral("delete from gysb where 名称='华夏电气'")));
    const int logged = env.logTriples().size();
    const QStringList before = listed(w);

    act(w, QStringLiteral("东方五金"), QStringLiteral("&H.审 核"));
    QVERIFY(kit::lastBox(QStringLiteral("东方五金 审核失败！"), MsgIcon::Error));
    act(w, QStringLiteral("宏达五金"), QStringLiteral("&F.反 审"));
    QVERIFY(kit::lastBox(QStringLiteral("宏达五金 供应商反审核失败！"), MsgIcon::Error));
    MessageSeam::setNextAnswer(QMessageBox::Yes);
    act(w, QStringLiteral("东方五金"), QStringLiteral("&D.删 除"));
    QVERIFY(kit::lastBox(QStringLiteral("删除失败！"), MsgIcon::Error));
    // A supplier gone meanwhile is no audited one; its audit fails the same way.
    act(w, QStringLiteral("华夏电气"), QStringLiteral("&H.审 核"));
    QVERIFY(kit::lastBox(QStringLiteral("华夏电气 审核失败！"), MsgIcon::Error));

    QCOMPARE(listed(w), before);
    QCOMPARE(env.logSince(logged), QStringList());
    QCOMPARE(env.suppliers(), (QStringList{QStringLiteral("已审核|宏达五金|新电话|王五|杭州|13%|月结"),
                                           QStringLiteral("未审核|东方五金|新电话|李四|宁波|9%|货到付款")}));
}

void TstSupplierQuery::identicalRowsAreActedOnTogetherAfterAsking()
{
    // Old data: the same supplier stored twice, value for value.
    Env env;
    env.addSupplier(kDongfang);
    SupplierQueryWindow *w = openQuery();
    search(w, QString());
    QCOMPARE(listed(w), (QStringList{kHongda, kDongfang, kHuaxia, kDongfang}));
    const auto bothAre = [&](const QString &state) {
        const QString row = state + kDongfang.mid(kDongfang.indexOf(u'|'));
        return env.suppliers() == QStringList{kHongda, row, kHuaxia, row} && listed(w) == env.suppliers();
    };
    const int logged = env.logTriples().size();

    // No: nothing changes.
    MessageSeam::clear();
    act(w, QStringLiteral("东方五金"), QStringLiteral("&H.审 核"));
    QCOMPARE(cgtest::messageTexts(), QStringList{QStringLiteral("发现2条完全相同的东方五金供应商记录，是否要全部审核？")});
    QVERIFY(kit::lastBox(cgtest::messageTexts().last(), MsgIcon::Question));
    QVERIFY(bothAre(QStringLiteral("未审核")));
    QCOMPARE(env.logSince(logged), QStringList());

    // Yes: both rows, one log row as for one supplier.
    MessageSeam::clear();
    MessageSeam::setNextAnswer(QMessageBox::Yes);
    act(w, QStringLiteral("东方五金"), QStringLiteral("&H.审 核"));
    QVERIFY(kit::lastBox(QStringLiteral("东方五金 审核成功！"), MsgIcon::Information));
    QVERIFY(bothAre(QStringLiteral("已审核")));
    QCOMPARE(env.logSince(logged), QStringList{QStringLiteral("操作|成功审核供应商： 东方五金|供应商查询")});

    MessageSeam::clear();
    MessageSeam::setNextAnswer(QMessageBox::Yes);
    act(w, QStringLiteral("东方五金"), QStringLiteral("&F.反 审"));
    QCOMPARE(cgtest::messageTexts(),
             (QStringList{QStringLiteral("发现2条完全相同的东方五金供应商记录，是否要全部反审核？"),
                          QStringLiteral("东方五金 供应商反审核成功！")}));
    QVERIFY(bothAre(QStringLiteral("未审核")));
    QCOMPARE(env.logSince(logged).last(), QStringLiteral("操作|成功反审核供应商： 东方五金|供应商查询"));

    // Delete asks as for one supplier, then about the identical rows.
    MessageSeam::clear();
    MessageSeam::setNextAnswer(QMessageBox::Yes);
    act(w, QStringLiteral("东方五金"), QStringLiteral("&D.删 除"));
    QCOMPARE(cgtest::messageTexts(),
             (QStringList{QStringLiteral("是否要删除东方五金供应商，删除后无法恢复！"),
                          QStringLiteral("发现2条完全相同的东方五金供应商记录，是否要全部删除，删除后无法恢复！")}));
    QVERIFY(bothAre(QStringLiteral("未审核")));
    MessageSeam::clear();
    MessageSeam::setNextAnswer(QMessageBox::Yes);
    MessageSeam::setNextAnswer(QMessageBox::Yes);
    act(w, QStringLiteral("东方五金"), QStringLiteral("&D.删 除"));
    QVERIFY(kit::lastBox(QStringLiteral("删除成功！"), MsgIcon::Information));
    QCOMPARE(env.suppliers(), (QStringList{kHongda, kHuaxia}));
    QCOMPARE(listed(w), env.suppliers());
    QCOMPARE(countText(w), QStringLiteral(" 共：2行"));
    QCOMPARE(env.logSince(logged).mid(2), QStringList{QStringLiteral("操作|成功删除供应商：东方五金|供应商查询")});
}

void TstSupplierQuery::refusedLogRowUndoesTheChange()
{
    Env env;
    SupplierQueryWindow *w = openQuery();
    search(w, QString());
    QVERIFY(env.refuse(QStringLiteral("rzb"), QStringLiteral("insert")));
    const QStringList stored = env.suppliers();

    // Each change and its log row are one: without the row nothing changes.
    act(w, QStringLiteral("东方五金"), QStringLiteral("&H.审 核"));
    QVERIFY(kit::lastBox(QStringLiteral("东方五金 审核失败！"), MsgIcon::Error));
    act(w, QStringLiteral("宏达五金"), QStringLiteral("&F.反 审"));
    QVERIFY(kit::lastBox(QStringLiteral("宏达五金 供应商反审核失败！"), MsgIcon::Error));
    MessageSeam::setNextAnswer(QMessageBox::Yes);
    act(w, QStringLiteral("华夏电气"), QStringLiteral("&D.删 除"));
    QVERIFY(kit::lastBox(QStringLiteral("删除失败！"), MsgIcon::Error));
    QCOMPARE(env.suppliers(), stored);
    QCOMPARE(listed(w), stored);
}

void TstSupplierQuery::modifyRefusalAndDoubleClick()
{
    Env env;
    SupplierQueryWindow *w = openQuery();
    search(w, QString());
    act(w, QStringLiteral("宏达五金"), QStringLiteral("&X.修 改"));
    QVERIFY(kit::lastBox(QStringLiteral("不能直接修改已审核的数据，请反审核后再修改！"), MsgIcon::Information));
    QVERIFY(!w->changeWindow());

    // A double-click on any row: the same refusal, or the modify window.
    const auto doubleClick = [w](int row) {
        QWidget *viewport = w->list()->viewport();
        const QPoint at = w->list()->visualRect(w->model()->index(row, 1)).center();
        QTest::mouseClick(viewport, Qt::LeftButton, {}, at);
        QTest::mouseDClick(viewport, Qt::LeftButton, {}, at);
    };
    w->show();
    const int shown = MessageSeam::shown().size();
    doubleClick(rowOf(w, QStringLiteral("宏达五金")));
    QCOMPARE(MessageSeam::shown().size(), shown + 1);
    QCOMPARE(kit::lastText(), QStringLiteral("不能直接修改已审核的数据，请反审核后再修改！"));
    doubleClick(rowOf(w, QStringLiteral("华夏电气")));
    QVERIFY(w->changeWindow());
    QCOMPARE(w->changeWindow()->mode(), SupplierEditMode::Modify);
    QCOMPARE(w->changeWindow()->windowTitle(), QStringLiteral("砚禾澄屿合同管理系统--供应商修改"));
    QCOMPARE(w->changeWindow()->remembered().name, QStringLiteral("华夏电气"));
}

void TstSupplierQuery::exportReadBack()
{
    Env env;
    SupplierQueryWindow *w = openQuery();
    search(w, QString());
    const QString path = env.folder() + QStringLiteral("/供应商.xlsx");
    FileDialogs::setNextPath(path);
    child<QPushButton>(w, QStringLiteral("按钮_导出"))->click();
    QCOMPARE(kit::lastText().left(5), QStringLiteral("成功导出："));
    const QList<QStringList> rows = kit::sheetRows(kit::readWorkbook(path));
    QCOMPARE(rows.size(), 4);
    QCOMPARE(rows.at(0), (QStringList{QStringLiteral("单据状态"), QStringLiteral("名称"), QStringLiteral("电话"),
                                      QStringLiteral("联系人"), QStringLiteral("地址"), QStringLiteral("税率"),
                                      QStringLiteral("付款方式")}));
    QCOMPARE(rows.at(2).join(QLatin1Char('|')), kDongfang);
    QCOMPARE(env.logTriples().last(), QStringLiteral("操作|导出供应商数据成功！共导出 3 行|供应商查询"));

    // Cancelled: the engine's message and a failure entry.
    w->exportList();
    QCOMPARE(kit::lastText(), QStringLiteral("用户取消导出！"));
    QCOMPARE(env.logTriples().last(), QStringLiteral("操作|导出供应商数据失败！共导出 3 行|供应商查询"));
}

void TstSupplierQuery::fillCannotBeReentered()
{
    Env env;
    QPointer<SupplierQueryWindow> w = openQuery();
    int probes = 0;
    w->setFillProbe([&] {
        ++probes;
        // A second click and a close while the rows are on their way.
        w->query();
        child<QPushButton>(w, QStringLiteral("按钮_查找"))->click();
        w->close();
        QVERIFY(w->isVisible());
    });
    w->query();
    QCOMPARE(probes, 1);
    QTRY_VERIFY(!w);
    QCOMPARE(env.logTriples(), (QStringList{QStringLiteral("开始|打开供应商查询窗口|供应商查询"),
                                            QStringLiteral("操作|点击查询按钮|供应商查询")}));
}

void TstSupplierQuery::gatesAndClosing()
{
    Env env(QStringLiteral("查询员"));
    env.addUser(QStringLiteral("查询员"), QStringLiteral("pw"), {QStringLiteral("变更"), QStringLiteral("反审")});
    ApplyPermissions();
    QPointer<SupplierQueryWindow> w = openQuery();
    QVERIFY(!action(w, QStringLiteral("&H.审 核"))->isEnabled());
    QVERIFY(!action(w, QStringLiteral("&X.修 改"))->isEnabled());
    QVERIFY(!action(w, QStringLiteral("&D.删 除"))->isEnabled());
    QVERIFY(action(w, QStringLiteral("&F.反 审"))->isEnabled());
    QVERIFY(action(w, QStringLiteral("&B.变 更"))->isEnabled());
    QVERIFY(!child<QPushButton>(w, QStringLiteral("按钮_导出"))->isEnabled());

    // Closing alone writes nothing; with the change window open it closes
    // that one too, each with its entry.
    w->close();
    QTRY_VERIFY(!w);
    QCOMPARE(env.logTriples().last(), QStringLiteral("开始|打开供应商查询窗口|供应商查询"));
    w = openQuery();
    search(w, QString());
    act(w, QStringLiteral("宏达五金"), QStringLiteral("&B.变 更"));
    QPointer<SupplierChangeWindow> change = w->changeWindow();
    QVERIFY(change);
    const int logged = env.logTriples().size();
    w->close();
    QTRY_VERIFY(!change);
    QCOMPARE(env.logSince(logged), (QStringList{QStringLiteral("结束|关闭供应商查询窗口|供应商查询"),
                                                QStringLiteral("结束|关闭供应商变更窗口|供应商变更")}));
}

void TstSupplierQuery::everyWayIntoAGatedActionAsksItsGate()
{
    // A clerk with none of the list's rights.
    Env env(QStringLiteral("查询员"));
    env.addUser(QStringLiteral("查询员"), QStringLiteral("pw"), {});
    ApplyPermissions();
    SupplierQueryWindow *w = openQuery();
    search(w, QString());
    const QStringList before = listed(w);
    const int logged = env.logTriples().size();

    // A double-click on an unaudited row opens nothing and says nothing:
    // the gate is the disabled menu entry, as for the menu.
    const int row = rowOf(w, QStringLiteral("华夏电气"));
    const QPoint at = w->list()->visualRect(w->model()->index(row, 1)).center();
    QTest::mouseClick(w->list()->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(w->list()->viewport(), Qt::LeftButton, {}, at);
    QCOMPARE(w->currentRow(), row);
    QVERIFY(!w->changeWindow());

    // Nor does any other way into the closed actions.
    const std::pair<const char *, std::function<void()>> ways[] = {
        {"修改", [w] { w->openModify(); }},   {"双击", [w, row] { w->modifyRow(row); }},
        {"变更", [w] { w->openChange(); }},   {"删除", [w] { w->deleteSelected(); }},
        {"审核", [w] { w->auditSelected(); }}, {"反审", [w] { w->unauditSelected(); }},
        {"导出", [w] { w->exportList(); }}};
    for (const auto &[what, way] : ways) {
        MessageSeam::setNextAnswer(QMessageBox::Yes);
        way();
        QVERIFY2(!w->changeWindow(), what);
        QVERIFY2(MessageSeam::shown().isEmpty(), what);
    }
    QCOMPARE(FileDialogs::captions(), QStringList());
    QCOMPARE(listed(w), before);
    QCOMPARE(env.logSince(logged), QStringList());
    QCOMPARE(env.rows(QStringLiteral("select 单据状态 from gysb where 名称='华夏电气'")), QList<QStringList>{{QStringLiteral("未审核")}});

    // The same double-click with the right opens the modify window.
    env.addUser(QStringLiteral("修改员"), QStringLiteral("pw"), {QStringLiteral("修改")});
    env.loginAs(QStringLiteral("修改员"));
    Gates::clear();
    ApplyPermissions();
    QTest::mouseDClick(w->list()->viewport(), Qt::LeftButton, {}, at);
    QVERIFY(w->changeWindow());
    QCOMPARE(w->changeWindow()->mode(), SupplierEditMode::Modify);
    QCOMPARE(w->changeWindow()->remembered().name, QStringLiteral("华夏电气"));
    QVERIFY(MessageSeam::shown().isEmpty());
}

QTEST_MAIN(TstSupplierQuery)
#include "tst_supplierquery.moc"
