// The change/modify window: lines saved by the ids they were loaded with,
// renames, touched fields in the log, the attachment, deleting a line.
#include "contracts/ContractRecord.h"
#include "contracts/ContractChange.h"
#include "contracts/ContractChangeWindow.h"
#include "contracts/ContractEntry.h"
#include "contracts/ContractLookup.h"
#include "app/Catalog.h"
#include "suppliers/SupplierNames.h"
#include "ui/ComboSelect.h"
#include "contracts/ContractQueryWindow.h"
#include "support/TestEnv.h"
#include "ui/Shell.h"

#include <QAction>
#include <QTimer>
#include <QApplication>
#include <QKeyEvent>
#include <QComboBox>
#include <QDateEdit>
#include <QFile>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QTableView>
#include <QTableWidget>
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

struct Line {
    QString product = QStringLiteral("泵");
    QString quantity = QStringLiteral("1");
    QString unit = QStringLiteral("台");
    QString sub;   // 合同子编号; empty unless given
};

qint64 addLine(DbConnection &db, const QString &number, const QString &state, const Line &l)
{
    const bool ok = db.execute(
        QStringLiteral("insert into ") + table()
            + QStringLiteral("(单据状态,合同编号,合同子编号,申请人,申请部门,采购员,供应商,产品,设备数量,计量单位,"
                             "制单日期,生效日期,失效日期,合同金额,付款方式,第一次付款,第二次付款,第三次付款,"
                             "第四次付款,剩余尾款,税率) values(?,?,?,'张三','采购部','李四','华东机电',?,?,?,"
                             "'2024-03-05','2024-03-01','2025-03-01','10000','月结','3000','2000','0','0','5000',"
                             "'13%')"),
        {state, number, l.sub.isNull() ? QString(QLatin1String("")) : l.sub, l.product, l.quantity, l.unit});
    if (!ok)
        qWarning("insert failed: %s", qPrintable(db.lastError()));
    Recordset rs(db);
    if (!rs.open(QStringLiteral("select max(id) from ") + table()))
        return 0;
    return rs.number(0);
}

QList<qint64> addContract(cgtest::TestEnv &env, const QString &number, const QString &state, const QList<Line> &lines)
{
    QList<qint64> ids;
    for (const Line &l : lines)
        ids << addLine(env.db(), number, state, l);
    return ids;
}

// The stored lines as "number|sub|state|product|quantity|unit|requester|first|remaining".
QStringList stored(cgtest::TestEnv &env, const QString &where = QString(), const QVariantList &params = {})
{
    QStringList out;
    for (const QStringList &r :
         env.rows(QStringLiteral("select 合同编号,合同子编号,单据状态,产品,设备数量,计量单位,申请人,第一次付款,剩余尾款 from ")
                      + table() + (where.isEmpty() ? QString() : QStringLiteral(" where ") + where)
                      + QStringLiteral(" order by id"),
                  params))
        out << r.join(QLatin1Char('|'));
    return out;
}

void addBasicData(cgtest::TestEnv &env, const QString &column, const QString &value)
{
    QVariantList values;
    for (const QString &c : {QStringLiteral("申请部门"), QStringLiteral("采购员"), QStringLiteral("计量单位"),
                             QStringLiteral("付款方式"), QStringLiteral("申请人"), QStringLiteral("税率")})
        values << (c == column ? value : QString(QLatin1String("")));
    QVERIFY(env.db().execute(
        QStringLiteral("insert into jczlb(申请部门,采购员,计量单位,付款方式,申请人,税率) values(?,?,?,?,?,?)"), values));
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

int rowOfLine(ContractQueryWindow *w, qint64 id) { return w->model()->rowOfLine(id); }

// Opens the change window for the list row showing line id.
ContractChangeWindow *open(ContractQueryWindow *w, qint64 lineId, ChangeMode mode)
{
    QItemSelectionModel *sel = w->list()->selectionModel();
    const QModelIndex index = w->model()->index(rowOfLine(w, lineId), 0);
    sel->setCurrentIndex(index, QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
    if (mode == ChangeMode::Change)
        w->openChange();
    else
        w->openModify();
    return w->changeWindow();
}

// Types text as the keyboard would (also characters QTest::keyClicks cannot).
void type(QWidget *w, const QString &text)
{
    QKeyEvent press(QEvent::KeyPress, 0, Qt::NoModifier, text);
    QApplication::sendEvent(w, &press);
}

void retype(QLineEdit *edit, const QString &text)
{
    QTest::mouseClick(edit, Qt::LeftButton);
    edit->selectAll();
    type(edit, text);
}

QStringList logSince(cgtest::TestEnv &env, int from) { return env.logTriples().mid(from); }

// Gives the control the focus in its active window, as a click would.
void focus(QWidget *control)
{
    QWidget *window = control->window();
    window->show();
    window->activateWindow();
    QApplication::setActiveWindow(window);
    control->setFocus(Qt::OtherFocusReason);
    QTRY_VERIFY(control->hasFocus() || control->isAncestorOf(QApplication::focusWidget()));
}

// Enter as the keyboard sends it: to the widget that has the focus; the
// keypad's Enter when keypad is set.
void pressEnter(bool keypad = false)
{
    QWidget *target = QApplication::focusWidget();
    QVERIFY(target);
    if (keypad)
        QTest::keyClick(target, Qt::Key_Enter, Qt::KeypadModifier);
    else
        QTest::keyClick(target, Qt::Key_Return);
}

QString entry(const QString &module, const QString &number, const QString &text)
{
    return QStringLiteral("操作|[账套：") + accountSet() + QStringLiteral("|合同编号：") + number + text
        + QStringLiteral("]|") + module;
}

} // namespace

class TstChange : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void balanceArithmetic();
    void paidInFullShowsAndStoresZero();
    void changeModeSavesInstalmentsOnly();
    void modifySavesEveryLineByItsId();
    void renameAndStaleLinesChangeNothing();
    void touchedFieldsSupplierAndAttachment();
    void deleteLineMovesTheAttachment();
    void requiredFieldsAndClosing();
    void prefixSelection_data();
    void prefixSelection();
    void supplierBoxSelectsNothingItCannotMatch();
    void renameMovesTheSubNumbersOfItsLines();
    void invalidStoredDateIsKeptUntilPicked();
    void failedLogRowUndoesTheWholeSave();
    void attachmentWindowWorksOnTheLoadedContract();
};

void TstChange::balanceArithmetic()
{
    QCOMPARE(RemainingBalance(QStringLiteral("10000"), QStringLiteral("3000"), QString(), QStringLiteral("2000.5"),
                       QStringLiteral("abc")),
             QStringLiteral("4999.5"));
    QCOMPARE(RemainingBalance(QString(), QStringLiteral("100"), QString(), QString(), QString()), QStringLiteral("-100"));
    QCOMPARE(RemainingBalance(QStringLiteral("1,000"), QStringLiteral(" 1e2x"), QStringLiteral("-.5"), QString(), QString()),
             QStringLiteral("-98.5"));
    QCOMPARE(RemainingBalance(QStringLiteral("0.1"), QStringLiteral("0.2"), QString(), QString(), QString()),
             QStringLiteral("-0.1"));
}

void TstChange::changeModeSavesInstalmentsOnly()
{
    Env env;
    const QList<qint64> ids = addContract(env, QStringLiteral("C1"), kAudited,
                                          {Line{QStringLiteral("泵"), QStringLiteral("1"), QStringLiteral("台"), QStringLiteral("C152")},
                                           Line{QStringLiteral("阀"), QStringLiteral("2"), QStringLiteral("个"), QStringLiteral("C154")}});
    ContractQueryWindow *w = openFiltered();
    const int logBefore = env.logTriples().size();
    QPointer<ContractChangeWindow> c = open(w, ids.at(0), ChangeMode::Change);
    QVERIFY(c);
    QCOMPARE(c->windowTitle(), QStringLiteral("砚禾澄屿合同管理系统--合同变更"));
    QCOMPARE(child<QLineEdit>(c, QStringLiteral("编辑框_合同编号"))->text(), QStringLiteral("C1"));
    // Values no list offers are still shown as stored.
    QCOMPARE(child<QComboBox>(c, QStringLiteral("组合框_税率"))->currentText(), QStringLiteral("13%"));
    QCOMPARE(child<QComboBox>(c, QStringLiteral("组合框_申请人"))->currentText(), QStringLiteral("张三"));
    QCOMPARE(child<QDateEdit>(c, QStringLiteral("日期框_失效日期"))->date(), QDate(2025, 3, 1));
    QCOMPARE(c->grid()->rowCount(), 2);
    QCOMPARE(c->grid()->item(1, 0)->text(), QStringLiteral("阀"));
    QCOMPARE(child<QLabel>(c, QStringLiteral("标签_第一次付款"))->buddy(), child<QLineEdit>(c, QStringLiteral("编辑框_第一次付款")));
    for (const QString &name : {QStringLiteral("编辑框_合同编号"), QStringLiteral("组合框_申请人"), QStringLiteral("日期框_生效日期"),
                                QStringLiteral("组合框_供应商"), QStringLiteral("编辑框_合同总金额"), QStringLiteral("组合框_税率"),
                                QStringLiteral("按钮_修改"), QStringLiteral("高级表格_设备")})
        QVERIFY2(!child<QWidget>(c, name)->isEnabled(), qPrintable(name));
    for (const QString &name : {QStringLiteral("编辑框_第一次付款"), QStringLiteral("编辑框_第四次付款"),
                                QStringLiteral("编辑框_剩余尾款"), QStringLiteral("按钮_确定")})
        QVERIFY2(child<QWidget>(c, name)->isEnabled(), qPrintable(name));

    // Meanwhile another workstation renames the requester.
    QVERIFY(env.db().execute(QStringLiteral("update ") + table() + QStringLiteral(" set 申请人=? where 合同编号=?"),
                             {"赵六", "C1"}));
    retype(child<QLineEdit>(c, QStringLiteral("编辑框_第一次付款")), QStringLiteral("4000"));
    QCOMPARE(child<QLineEdit>(c, QStringLiteral("编辑框_剩余尾款"))->text(), QStringLiteral("4000"));
    child<QPushButton>(c, QStringLiteral("按钮_确定"))->click();

    QCOMPARE(cgtest::messageTexts(), QStringList({"保存成功"}));
    QCOMPARE(stored(env), QStringList({"C1|C152|已审核|泵|1|台|赵六|4000|4000", "C1|C154|已审核|阀|2|个|赵六|4000|4000"}));
    const QString m = QStringLiteral("合同变更");
    // The balance followed the instalment, but nobody touched it: only the
    // instalment is logged.
    QCOMPARE(logSince(env, logBefore),
             QStringList({"开始|打开合同变更窗口|合同变更", entry(m, "C1", "|原第一次付款：3000|变更为：4000")}));
    QTRY_VERIFY(!c);
    const int head = rowOfLine(w, ids.at(1));
    QCOMPARE(w->model()->cell(head, ListColumn::First), QStringLiteral("4000"));
    QCOMPARE(w->model()->cell(head, ListColumn::Remaining), QStringLiteral("4000"));
    QCOMPARE(w->model()->cell(head, ListColumn::Requester), QStringLiteral("张三"));
}

void TstChange::modifySavesEveryLineByItsId()
{
    Env env;
    // Two identical lines, and another contract whose lines look the same;
    // none of them has a sub-number.
    const QList<qint64> m1 = addContract(env, QStringLiteral("M1"), kNotAudited, {Line{}, Line{}});
    const QList<qint64> m2 = addContract(env, QStringLiteral("M2"), kNotAudited, {Line{}, Line{}});
    ContractQueryWindow *w = openFiltered();
    const int logBefore = env.logTriples().size();
    QPointer<ContractChangeWindow> c = open(w, m1.at(1), ChangeMode::Modify);
    QVERIFY(c);
    QCOMPARE(c->windowTitle(), QStringLiteral("砚禾澄屿合同管理系统--合同修改"));
    QVERIFY(c->grid()->isEnabled());

    c->grid()->item(0, 0)->setText(QStringLiteral("水泵"));
    auto *requester = child<QComboBox>(c, QStringLiteral("组合框_申请人"));
    requester->lineEdit()->selectAll();
    type(requester->lineEdit(), QStringLiteral("王五"));
    child<QPushButton>(c, QStringLiteral("按钮_确定"))->click();

    QCOMPARE(cgtest::messageTexts(), QStringList({"保存成功"}));
    QCOMPARE(stored(env, QStringLiteral("合同编号=?"), {"M1"}),
             QStringList({"M1||已审核|水泵|1|台|王五|3000|5000", "M1||已审核|泵|1|台|王五|3000|5000"}));
    QCOMPARE(stored(env, QStringLiteral("合同编号=?"), {"M2"}),
             QStringList({"M2||未审核|泵|1|台|张三|3000|5000", "M2||未审核|泵|1|台|张三|3000|5000"}));
    const QString m = QStringLiteral("合同修改");
    QCOMPARE(logSince(env, logBefore),
             QStringList({"开始|打开合同修改窗口|合同修改", entry(m, "M1", "|原申请人：张三|修改为：王五"),
                          entry(m, "M1", "|原购买产品：泵|修改为：水泵"), entry(m, "M1", "|原购买产品：泵|修改为：泵"),
                          entry(m, "M1", "|原设备数量：1|修改为：1"), entry(m, "M1", "|原设备数量：1|修改为：1"),
                          entry(m, "M1", "|原计量单位：台|修改为：台"), entry(m, "M1", "|原计量单位：台|修改为：台")}));
    QTRY_VERIFY(!c);
    // The list shows each line's new values on its own row.
    QCOMPARE(w->model()->cell(rowOfLine(w, m1.at(0)), ListColumn::Product), QStringLiteral("水泵"));
    QCOMPARE(w->model()->cell(rowOfLine(w, m1.at(1)), ListColumn::Product), QStringLiteral("泵"));
    QCOMPARE(w->model()->cell(rowOfLine(w, m1.at(1)), ListColumn::State), kAudited);
    QCOMPARE(w->model()->cell(rowOfLine(w, m1.at(1)), ListColumn::Requester), QStringLiteral("王五"));
    QCOMPARE(w->model()->cell(rowOfLine(w, m2.at(1)), ListColumn::State), kNotAudited);
}

void TstChange::renameAndStaleLinesChangeNothing()
{
    Env env;
    const QList<qint64> r1 = addContract(env, QStringLiteral("R1"), kNotAudited,
                                         {Line{QStringLiteral("甲"), QStringLiteral("1"), QStringLiteral("台"), QStringLiteral("R152")},
                                          Line{QStringLiteral("乙"), QStringLiteral("2"), QStringLiteral("台"), QStringLiteral("R154")}});
    addContract(env, QStringLiteral("R3"), kNotAudited, {Line{QStringLiteral("丙")}});
    ContractQueryWindow *w = openFiltered();
    const QStringList before = stored(env);
    const int logBefore = env.logTriples().size();

    // A number another contract has: refused, nothing changed, still open.
    QPointer<ContractChangeWindow> c = open(w, r1.at(1), ChangeMode::Modify);
    auto *number = child<QLineEdit>(c, QStringLiteral("编辑框_合同编号"));
    number->setText(QStringLiteral("R3"));
    child<QPushButton>(c, QStringLiteral("按钮_确定"))->click();
    QCOMPARE(MessageSeam::shown().size(), 1);
    QCOMPARE(MessageSeam::shown().at(0).text, QStringLiteral("保存失败"));
    QCOMPARE(MessageSeam::shown().at(0).icon, MsgIcon::Error);
    QCOMPARE(stored(env), before);
    QVERIFY(c && c->isVisible());

    // A free number moves every line; sub-numbers that began with the old
    // number begin with the new one.
    MessageSeam::clear();
    number->setText(QStringLiteral("R9"));
    child<QPushButton>(c, QStringLiteral("按钮_确定"))->click();
    QCOMPARE(cgtest::messageTexts(), QStringList({"保存成功"}));
    QCOMPARE(stored(env, QStringLiteral("合同编号=?"), {"R9"}),
             QStringList({"R9|R952|已审核|甲|1|台|张三|3000|5000", "R9|R954|已审核|乙|2|台|张三|3000|5000"}));
    QCOMPARE(w->model()->cell(rowOfLine(w, r1.at(1)), ListColumn::Number), QStringLiteral("R9"));
    QTRY_VERIFY(!c);
    QCOMPARE(logSince(env, logBefore), QStringList({"开始|打开合同修改窗口|合同修改"}));

    // A line deleted elsewhere after opening: nothing of the save stays.
    QVERIFY(env.db().execute(QStringLiteral("update ") + table() + QStringLiteral(" set 单据状态=?"), {kNotAudited}));
    MessageSeam::clear();
    c = open(w, r1.at(1), ChangeMode::Modify);
    QVERIFY(c);
    QVERIFY(env.db().execute(QStringLiteral("delete from ") + table() + QStringLiteral(" where id=?"), {r1.at(1)}));
    child<QComboBox>(c, QStringLiteral("组合框_申请人"))->setEditText(QStringLiteral("王五"));
    child<QPushButton>(c, QStringLiteral("按钮_确定"))->click();
    QCOMPARE(cgtest::messageTexts(), QStringList({"保存失败"}));
    QCOMPARE(stored(env, QStringLiteral("合同编号=?"), {"R9"}), QStringList({"R9|R952|未审核|甲|1|台|张三|3000|5000"}));

    // Audited elsewhere after opening: a modification is refused.
    c->close();
    QTRY_VERIFY(!c);
    c = open(w, r1.at(0), ChangeMode::Modify);
    QVERIFY(c);
    QVERIFY(env.db().execute(QStringLiteral("update ") + table() + QStringLiteral(" set 单据状态=?"), {kAudited}));
    MessageSeam::clear();
    child<QComboBox>(c, QStringLiteral("组合框_申请人"))->setEditText(QStringLiteral("王五"));
    child<QPushButton>(c, QStringLiteral("按钮_确定"))->click();
    QCOMPARE(cgtest::messageTexts(), QStringList({"保存失败"}));
    QCOMPARE(stored(env, QStringLiteral("合同编号=?"), {"R9"}), QStringList({"R9|R952|已审核|甲|1|台|张三|3000|5000"}));
}

void TstChange::touchedFieldsSupplierAndAttachment()
{
    Env env;
    QVERIFY(env.db().execute(QStringLiteral("insert into gysb(单据状态,名称,税率,付款方式) values(?,?,?,?)"),
                             {kAudited, "华南电气有限公司", "9", "预付"}));
    addBasicData(env, QStringLiteral("税率"), QStringLiteral("13%"));
    addBasicData(env, QStringLiteral("税率"), QStringLiteral("9%"));
    addBasicData(env, QStringLiteral("付款方式"), QStringLiteral("月结"));
    addBasicData(env, QStringLiteral("付款方式"), QStringLiteral("预付30%"));
    const QList<qint64> ids = addContract(env, QStringLiteral("P1"), kNotAudited, {Line{}, Line{QStringLiteral("阀")}});
    QVERIFY(env.db().execute(QStringLiteral("update ") + table() + QStringLiteral(" set 附件=? where id=?"),
                             {QByteArray("%PDF-old"), ids.at(0)}));
    ContractQueryWindow *w = openFiltered();
    QPointer<ContractChangeWindow> c = open(w, ids.at(1), ChangeMode::Modify);
    const int logBefore = env.logTriples().size();

    // A click into a field counts as touching it, even without a change.
    QTest::mouseClick(child<QLineEdit>(c, QStringLiteral("编辑框_第二次付款")), Qt::LeftButton);
    // Enter looks a typed part of a name up, and leaves the terms alone;
    // choosing a supplier brings its tax rate and payment terms (by prefix).
    auto *supplier = child<QComboBox>(c, QStringLiteral("组合框_供应商"));
    supplier->setEditText(QStringLiteral("南电"));
    focus(supplier);
    pressEnter();
    QCOMPARE(supplier->currentText(), QStringLiteral("华南电气有限公司"));
    QCOMPARE(child<QComboBox>(c, QStringLiteral("组合框_税率"))->currentText(), QStringLiteral("13%"));
    supplier->setCurrentIndex(supplier->findText(QStringLiteral("华南电气有限公司")));
    emit supplier->activated(supplier->currentIndex());
    QCOMPARE(child<QComboBox>(c, QStringLiteral("组合框_税率"))->currentText(), QStringLiteral("9%"));
    QCOMPARE(child<QComboBox>(c, QStringLiteral("组合框_付款方式"))->currentText(), QStringLiteral("预付30%"));

    // The attachment window: delete, then choose a new file.
    QString askedFor;
    bool askedStored = false;
    SetAttachmentEditor([&](QWidget *, const QString &number, bool stored, PendingAttachment &pending) {
        askedFor = number;
        askedStored = stored;
        pending.markDeleted();
        pending.set(QByteArray("%PDF-new"));
    });
    child<QPushButton>(c, QStringLiteral("按钮_修改"))->click();
    SetAttachmentEditor({});
    QCOMPARE(askedFor, QStringLiteral("P1"));
    QVERIFY(askedStored);
    child<QPushButton>(c, QStringLiteral("按钮_确定"))->click();
    QCOMPARE(cgtest::messageTexts(), QStringList({"保存成功"}));

    const auto attachments = env.rows(QStringLiteral("select case when 附件 is null then 1 else 0 end, 附件 from ") + table() + QStringLiteral(" order by id"));
    QCOMPARE(attachments, QList<QStringList>({{"0", "%PDF-new"}, {"0", ""}}));
    QCOMPARE(env.rows(QStringLiteral("select 供应商,税率,付款方式 from ") + table()).value(1),
             QStringList({"华南电气有限公司", "9%", "预付30%"}));
    const QString m = QStringLiteral("合同修改");
    QCOMPARE(logSince(env, logBefore),
             QStringList({entry(m, "P1", "|原合同附件被删除"), entry(m, "P1", "|原合同附件被修改"),
                          entry(m, "P1", "|原供应商：华东机电|修改为：华南电气有限公司"),
                          entry(m, "P1", "|原付款方式：月结|修改为：预付30%"), entry(m, "P1", "|原税率：13%|修改为：9%"),
                          entry(m, "P1", "|原第二次付款：2000|修改为：2000")}));
    QCOMPARE(w->model()->cell(rowOfLine(w, ids.at(1)), ListColumn::Attachment), kAttachmentMark);

    // Without an attachment window the button picks a file; 5 MB at most.
    QVERIFY(env.db().execute(QStringLiteral("update ") + table() + QStringLiteral(" set 单据状态=?"), {kNotAudited}));
    c = open(w, ids.at(1), ChangeMode::Modify);
    QVERIFY(c);
    MessageSeam::clear();
    const QString big = env.folder() + QStringLiteral("/big.pdf");
    const QString small = env.folder() + QStringLiteral("/small.pdf");
    {
        QFile f(big);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(QByteArray(5242881, 'x'));
        QFile g(small);
        QVERIFY(g.open(QIODevice::WriteOnly));
        g.write(QByteArray(5242880, 'y'));
    }
    FileDialogs::setNextPath(big);
    child<QPushButton>(c, QStringLiteral("按钮_修改"))->click();
    QCOMPARE(cgtest::messageTexts(), QStringList({"添加的PDF文件不能超过5MB，请将文件转换后再试！"}));
    QVERIFY(!c->pendingAttachment().changed());
    FileDialogs::setNextPath(small);
    child<QPushButton>(c, QStringLiteral("按钮_修改"))->click();
    QVERIFY(c->pendingAttachment().changed());
    QCOMPARE(c->pendingAttachment().bytes().size(), 5242880);
    // Closing without saving keeps what is stored.
    c->close();
    QTRY_VERIFY(!c);
    QCOMPARE(env.rows(QStringLiteral("select 附件 from ") + table() + QStringLiteral(" order by id")).value(0),
             QStringList({"%PDF-new"}));
    QCOMPARE(env.logTriples().last(), QStringLiteral("结束|关闭合同修改窗口|合同修改"));
}

void TstChange::deleteLineMovesTheAttachment()
{
    Env env;
    const QList<qint64> ids = addContract(env, QStringLiteral("L1"), kNotAudited,
                                          {Line{QStringLiteral("甲")}, Line{QStringLiteral("乙")}, Line{QStringLiteral("丙")}});
    QVERIFY(env.db().execute(QStringLiteral("update ") + table() + QStringLiteral(" set 附件=? where id=?"),
                             {QByteArray("%PDF-L1"), ids.at(0)}));
    ContractQueryWindow *w = openFiltered();
    QPointer<ContractChangeWindow> c = open(w, ids.at(0), ChangeMode::Modify);
    const int logBefore = env.logTriples().size();

    // Enter (or the keypad's Enter) that ends a cell edit only ends it.
    QTableWidget *grid = c->grid();
    focus(grid);
    grid->setCurrentCell(0, 1);
    grid->editItem(grid->item(0, 1));
    QTRY_VERIFY(QApplication::focusWidget() != grid);
    QTest::keyClicks(QApplication::focusWidget(), QStringLiteral("7"));
    pressEnter();
    QTRY_COMPARE(QApplication::focusWidget(), grid);
    QCOMPARE(grid->item(0, 1)->text(), QStringLiteral("7"));
    grid->setCurrentCell(1, 2);
    grid->editItem(grid->item(1, 2));
    QTRY_VERIFY(QApplication::focusWidget() != grid);
    type(QApplication::focusWidget(), QStringLiteral("箱"));
    pressEnter(true);
    QTRY_COMPARE(QApplication::focusWidget(), grid);
    QCOMPARE(grid->item(1, 2)->text(), QStringLiteral("台箱"));
    QCOMPARE(cgtest::messageTexts(), QStringList());

    // Enter on the grid asks, No being the default; No keeps everything.
    grid->setCurrentCell(0, 0);
    for (const bool keypad : {false, true}) {
        MessageSeam::clear();
        pressEnter(keypad);
        QCOMPARE(cgtest::messageTexts(), QStringList({"是否要直接删除：甲，删除后无法恢复！"}));
        QCOMPARE(MessageSeam::shown().at(0).icon, MsgIcon::Question);
        QVERIFY(MessageSeam::shown().at(0).yesNo);
    }
    // The box itself: Enter there answers No, so a second Enter deletes
    // nothing.
    MessageSeam::stopRecording();
    QStringList boxes;   // each box shown, with whether No is its default
    QTimer poll;
    poll.setInterval(10);
    connect(&poll, &QTimer::timeout, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        const bool defaultNo = box->defaultButton() && box->defaultButton() == box->button(QMessageBox::No);
        boxes << box->text() + (defaultNo ? QStringLiteral("|否") : QString());
        QTest::keyClick(box, Qt::Key_Return);
    });
    poll.start();
    pressEnter();
    poll.stop();
    MessageSeam::startRecording();
    QCOMPARE(boxes, QStringList({"是否要直接删除：甲，删除后无法恢复！|否"}));
    QCOMPARE(env.rows(QStringLiteral("select count(*) from ") + table()).value(0).value(0), QStringLiteral("3"));
    QVERIFY(c && c->isVisible());

    // The first line holds the PDF: it moves to the next line first.
    MessageSeam::clear();
    MessageSeam::setNextAnswer(QMessageBox::Yes);
    QMenu *menu = c->popupMenu();
    QCOMPARE(menu->actions().size(), 1);
    menu->actions().at(0)->trigger();
    QCOMPARE(cgtest::messageTexts(), QStringList({"是否要直接删除：甲，删除后无法恢复！", "成功删除：甲"}));
    QCOMPARE(env.rows(QStringLiteral("select 产品,附件 from ") + table() + QStringLiteral(" order by id")),
             QList<QStringList>({{"乙", "%PDF-L1"}, {"丙", ""}}));
    QTRY_VERIFY(!c);
    QCOMPARE(logSince(env, logBefore), QStringList());
    QCOMPARE(w->model()->rowCount(), 2);
    QCOMPARE(w->model()->cell(0, ListColumn::Attachment), kAttachmentMark);

    // The head row's line: the next line takes its place with all columns.
    MessageSeam::clear();
    c = open(w, ids.at(2), ChangeMode::Modify);
    QCOMPARE(c->grid()->rowCount(), 2);
    c->grid()->setCurrentCell(1, 0);
    MessageSeam::setNextAnswer(QMessageBox::Yes);
    c->deleteCurrentLine();
    QCOMPARE(cgtest::messageTexts().last(), QStringLiteral("成功删除：丙"));
    QCOMPARE(w->model()->rowCount(), 1);
    QCOMPARE(w->model()->cell(0, ListColumn::Number), QStringLiteral("L1"));
    QCOMPARE(w->model()->cell(0, ListColumn::Product), QStringLiteral("乙"));
    QCOMPARE(w->model()->contractId(0), ids.at(1));

    // A line gone elsewhere: a failure, nothing else changes.
    c = open(w, ids.at(1), ChangeMode::Modify);
    QVERIFY(env.db().execute(QStringLiteral("delete from ") + table() + QStringLiteral(" where id=?"), {ids.at(1)}));
    MessageSeam::clear();
    MessageSeam::setNextAnswer(QMessageBox::Yes);
    c->grid()->setCurrentCell(0, 0);
    c->deleteCurrentLine();
    QCOMPARE(cgtest::messageTexts().last(), QStringLiteral("删除：乙 失败！"));
    QCOMPARE(MessageSeam::shown().last().icon, MsgIcon::Error);
    QVERIFY(c && c->isVisible());
    QCOMPARE(c->grid()->rowCount(), 1);
    QCOMPARE(w->model()->rowCount(), 1);
}

void TstChange::requiredFieldsAndClosing()
{
    Env env;
    const QList<qint64> ids = addContract(env, QStringLiteral("Q1"), kNotAudited, {Line{}});
    ContractQueryWindow *w = openFiltered();
    QPointer<ContractChangeWindow> c = open(w, ids.at(0), ChangeMode::Modify);
    const QStringList before = stored(env);

    c->grid()->item(0, 0)->setText(QString());
    child<QLineEdit>(c, QStringLiteral("编辑框_合同总金额"))->clear();
    child<QPushButton>(c, QStringLiteral("按钮_确定"))->click();
    QCOMPARE(cgtest::messageTexts(), QStringList({"购买产品不能为空！"}));
    c->grid()->item(0, 0)->setText(QStringLiteral("泵"));
    child<QPushButton>(c, QStringLiteral("按钮_确定"))->click();
    QCOMPARE(cgtest::messageTexts().last(), QStringLiteral("合同总金额不能为空！"));
    child<QLineEdit>(c, QStringLiteral("编辑框_合同编号"))->clear();
    child<QPushButton>(c, QStringLiteral("按钮_确定"))->click();
    QCOMPARE(cgtest::messageTexts().last(), QStringLiteral("合同编号不能为空！"));
    QCOMPARE(MessageSeam::shown().last().owner, c.data());
    QCOMPARE(stored(env), before);

    // Unsaved edits: choosing 变更 asks first; No keeps the open window
    // with its edits.
    const int logBefore = env.logTriples().size();
    MessageSeam::clear();
    QCOMPARE(open(w, ids.at(0), ChangeMode::Change), c.data());
    QCOMPARE(cgtest::messageTexts(), QStringList({"合同修改窗口中的修改还没有保存，是否放弃这些修改？"}));
    QCOMPARE(MessageSeam::shown().at(0).icon, MsgIcon::Question);
    QVERIFY(MessageSeam::shown().at(0).yesNo);
    QCOMPARE(MessageSeam::shown().at(0).owner, c.data());
    QVERIFY(c && c->isVisible());
    QCOMPARE(child<QLineEdit>(c, QStringLiteral("编辑框_合同编号"))->text(), QString());
    QCOMPARE(logSince(env, logBefore), QStringList());
    // Closing the query window asks the same; No keeps both windows.
    MessageSeam::clear();
    QVERIFY(!w->close());
    QCOMPARE(cgtest::messageTexts(), QStringList({"合同修改窗口中的修改还没有保存，是否放弃这些修改？"}));
    QVERIFY(w->isVisible() && c && c->isVisible());
    QCOMPARE(logSince(env, logBefore), QStringList());

    // Yes: the new window replaces the open one, which logs its closing.
    MessageSeam::setNextAnswer(QMessageBox::Yes);
    QPointer<ContractChangeWindow> second = open(w, ids.at(0), ChangeMode::Change);
    QTRY_VERIFY(!c);
    QVERIFY(second);
    // Nothing changed in it: 修改 replaces it without a question.
    MessageSeam::clear();
    QPointer<ContractChangeWindow> third = open(w, ids.at(0), ChangeMode::Modify);
    QTRY_VERIFY(!second);
    QVERIFY(third);
    QCOMPARE(cgtest::messageTexts(), QStringList());
    child<QPushButton>(third, QStringLiteral("按钮_关闭"))->click();
    QTRY_VERIFY(!third);
    QCOMPARE(logSince(env, logBefore),
             QStringList({"结束|关闭合同修改窗口|合同修改", "开始|打开合同变更窗口|合同变更", "结束|关闭合同变更窗口|合同变更",
                          "开始|打开合同修改窗口|合同修改", "结束|关闭合同修改窗口|合同修改"}));
    QCOMPARE(stored(env), before);
}

void TstChange::prefixSelection_data()
{
    QTest::addColumn<bool>("editable");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("found");
    QTest::addColumn<QString>("shown");
    // Items: 宏达五金, 宏达, Abc; 宏达 chosen before.
    QTest::newRow("equal item before the longer one") << false << "宏达" << true << "宏达";
    QTest::newRow("prefix") << false << "宏达五" << true << "宏达五金";
    QTest::newRow("letter case ignored") << true << "aB" << true << "Abc";
    QTest::newRow("empty selects nothing") << false << "" << false << "宏达";
    QTest::newRow("empty in an editable box") << true << "" << false << "宏达";
    QTest::newRow("no match") << true << "华南" << false << "宏达";
}

void TstChange::prefixSelection()
{
    QFETCH(bool, editable);
    QFETCH(QString, text);
    QFETCH(bool, found);
    QFETCH(QString, shown);
    QComboBox box;
    box.setEditable(editable);
    box.addItems({QStringLiteral("宏达五金"), QStringLiteral("宏达"), QStringLiteral("Abc")});
    box.setCurrentIndex(1);
    QCOMPARE(SelectByPrefix(&box, text), found);
    QCOMPARE(box.currentText(), shown);
}

void TstChange::supplierBoxSelectsNothingItCannotMatch()
{
    Env env;
    // The first items of both lists are not the contract's.
    addBasicData(env, QStringLiteral("税率"), QStringLiteral("3%"));
    addBasicData(env, QStringLiteral("税率"), QStringLiteral("13%"));
    addBasicData(env, QStringLiteral("付款方式"), QStringLiteral("现金"));
    addBasicData(env, QStringLiteral("付款方式"), QStringLiteral("月结"));
    addBasicData(env, QStringLiteral("申请人"), QStringLiteral("张三"));
    addBasicData(env, QStringLiteral("申请人"), QStringLiteral("王五"));
    for (const QStringList &sup : {QStringList{"北方五金", "3%", "现金"}, QStringList{"空条款公司", "", ""}})
        QVERIFY(env.db().execute(QStringLiteral("insert into gysb(单据状态,名称,税率,付款方式) values(?,?,?,?)"),
                                 {kAudited, sup.at(0), sup.at(1), sup.at(2)}));
    const QList<qint64> ids = addContract(env, QStringLiteral("S1"), kNotAudited, {Line{}});
    ContractQueryWindow *w = openFiltered();
    QPointer<ContractChangeWindow> c = open(w, ids.at(0), ChangeMode::Modify);
    QVERIFY(c);
    auto *supplier = child<QComboBox>(c, QStringLiteral("组合框_供应商"));
    auto *tax = child<QComboBox>(c, QStringLiteral("组合框_税率"));
    auto *terms = child<QComboBox>(c, QStringLiteral("组合框_付款方式"));
    QCOMPARE(tax->currentText(), QStringLiteral("13%"));
    QCOMPARE(terms->currentText(), QStringLiteral("月结"));

    // A supplier whose terms are empty leaves both lists as they were.
    supplier->setCurrentIndex(supplier->findText(QStringLiteral("空条款公司")));
    emit supplier->activated(supplier->currentIndex());
    QCOMPARE(tax->currentText(), QStringLiteral("13%"));
    QCOMPARE(terms->currentText(), QStringLiteral("月结"));

    // Enter with a fragment no supplier contains selects none, neither with
    // Return nor with the keypad's Enter.
    for (const bool keypad : {false, true}) {
        supplier->setCurrentIndex(supplier->findText(QStringLiteral("空条款公司")));
        supplier->setEditText(QStringLiteral("没有这家"));
        focus(supplier);
        pressEnter(keypad);
        QCOMPARE(supplier->currentIndex(), -1);
        QCOMPARE(supplier->currentText(), QString());
    }
    // A fragment that matches selects that supplier.
    supplier->setEditText(QStringLiteral("北方"));
    pressEnter();
    QCOMPARE(supplier->currentText(), QStringLiteral("北方五金"));

    // Lookups of the entry window do not reach this window's boxes.
    auto *requester = child<QComboBox>(c, QStringLiteral("组合框_申请人"));
    ContractLookup::selectEverywhere(LookupField::Requester, QStringLiteral("王五"));
    ContractLookup::selectEverywhere(LookupField::Supplier, QString());
    SupplierNames::selectEverywhere(QStringLiteral("空条款公司"));
    QCOMPARE(requester->currentText(), QStringLiteral("张三"));
    QCOMPARE(supplier->currentText(), QStringLiteral("北方五金"));
    QCOMPARE(cgtest::messageTexts(), QStringList());
}

void TstChange::renameMovesTheSubNumbersOfItsLines()
{
    Env env;
    addContract(env, QStringLiteral("KQ0001"), kNotAudited,
                {Line{QStringLiteral("甲"), QStringLiteral("1"), QStringLiteral("台"), LineSubNumber(QStringLiteral("KQ0001"), 1)},
                 Line{QStringLiteral("乙"), QStringLiteral("1"), QStringLiteral("台"), LineSubNumber(QStringLiteral("KQ0001"), 2)},
                 Line{QStringLiteral("丙"), QStringLiteral("1"), QStringLiteral("台"), QStringLiteral("IMP-7")}});
    // Another contract's line already carries a sub-number the rename would give.
    const QList<qint64> other = addContract(env, QStringLiteral("Z1"), kNotAudited,
                                            {Line{QStringLiteral("丁"), QStringLiteral("1"), QStringLiteral("台"), QStringLiteral("KQ090052")}});
    ContractQueryWindow *w = openFiltered();
    QPointer<ContractChangeWindow> c = open(w, env.rows(QStringLiteral("select min(id) from ") + table()).value(0).value(0).toLongLong(),
                                            ChangeMode::Modify);
    QVERIFY(c);
    const QStringList before = stored(env);
    child<QLineEdit>(c, QStringLiteral("编辑框_合同编号"))->setText(QStringLiteral("KQ0900"));
    child<QPushButton>(c, QStringLiteral("按钮_确定"))->click();
    QCOMPARE(cgtest::messageTexts(), QStringList({"保存失败"}));
    QCOMPARE(stored(env), before);

    QVERIFY(env.db().execute(QStringLiteral("delete from ") + table() + QStringLiteral(" where id=?"), {other.at(0)}));
    MessageSeam::clear();
    child<QPushButton>(c, QStringLiteral("按钮_确定"))->click();
    QCOMPARE(cgtest::messageTexts(), QStringList({"保存成功"}));
    QCOMPARE(env.rows(QStringLiteral("select 合同编号,合同子编号 from ") + table() + QStringLiteral(" order by id")),
             QList<QStringList>({{"KQ0900", "KQ090052"}, {"KQ0900", "KQ090054"}, {"KQ0900", "IMP-7"}}));

    // The freed number is entered again: no two lines share a sub-number.
    ContractForm form;
    form.number = QStringLiteral("KQ0001");
    form.documentDate = QStringLiteral("2024-03-15");
    form.requester = QStringLiteral("张三");
    form.department = QStringLiteral("采购部");
    form.buyer = QStringLiteral("李四");
    form.supplier = QStringLiteral("华东机电");
    form.effective = QDate(2024, 3, 15);
    form.expiry = QDate(2024, 12, 31);
    form.paymentTerms = QStringLiteral("月结");
    form.taxRate = QStringLiteral("13%");
    form.amount = QStringLiteral("100");
    form.remaining = QStringLiteral("100");
    ContractEntry entry(env.db(), Ctx().login);
    QCOMPARE(entry.save(form, {ProductLine{"泵", "1", "台"}, ProductLine{"阀", "2", "个"}}, QByteArray()),
             ContractEntry::Outcome::Saved);
    const QList<QStringList> subs = env.rows(QStringLiteral("select 合同子编号,count(*) from ") + table()
                                             + QStringLiteral(" group by 合同子编号 having count(*)>1"));
    QCOMPARE(subs, QList<QStringList>());
    QCOMPARE(env.rows(QStringLiteral("select count(*) from ") + table()).value(0).value(0), QStringLiteral("5"));
}

void TstChange::invalidStoredDateIsKeptUntilPicked()
{
    Env env;
    if (cgtest::TestEnv::onPostgreSql())
        QSKIP("a date column of the server holds valid dates only");
    const QList<qint64> ids = addContract(env, QStringLiteral("D1"), kNotAudited, {Line{}});
    QVERIFY(env.db().execute(QStringLiteral("update ") + table() + QStringLiteral(" set 生效日期=?"), {"2024/13/45"}));
    ContractQueryWindow *w = openFiltered();
    const int logBefore = env.logTriples().size();
    QPointer<ContractChangeWindow> c = open(w, ids.at(0), ChangeMode::Modify);
    QVERIFY(c);
    auto *effective = child<QDateEdit>(c, QStringLiteral("日期框_生效日期"));
    auto *expiry = child<QDateEdit>(c, QStringLiteral("日期框_失效日期"));
    QCOMPARE(effective->text(), QStringLiteral("无效日期：2024/13/45"));
    QVERIFY(effective->toolTip().contains(QStringLiteral("2024/13/45")));
    QCOMPARE(expiry->text(), QStringLiteral("2025-03-01"));

    // A save without picking keeps the stored text.
    auto *requester = child<QComboBox>(c, QStringLiteral("组合框_申请人"));
    requester->setEditText(QStringLiteral("王五"));
    QVERIFY(c->hasUnsavedChanges());
    child<QPushButton>(c, QStringLiteral("按钮_确定"))->click();
    QCOMPARE(cgtest::messageTexts(), QStringList({"保存成功"}));
    QCOMPARE(env.rows(QStringLiteral("select 生效日期,失效日期,申请人 from ") + table()),
             QList<QStringList>({{"2024/13/45", "2025-03-01", "王五"}}));
    QCOMPARE(w->model()->cell(rowOfLine(w, ids.at(0)), ListColumn::EffectiveDate), QStringLiteral("2024/13/45"));

    // A picked date is written, and logged against the stored text.
    QVERIFY(env.db().execute(QStringLiteral("update ") + table() + QStringLiteral(" set 单据状态=?"), {kNotAudited}));
    MessageSeam::clear();
    c = open(w, ids.at(0), ChangeMode::Modify);
    QVERIFY(c);
    effective = child<QDateEdit>(c, QStringLiteral("日期框_生效日期"));
    QVERIFY(!c->hasUnsavedChanges());
    effective->setDate(QDate(2024, 4, 1));
    QCOMPARE(effective->text(), QStringLiteral("2024-04-01"));
    child<QPushButton>(c, QStringLiteral("按钮_确定"))->click();
    QCOMPARE(cgtest::messageTexts(), QStringList({"保存成功"}));
    QCOMPARE(env.rows(QStringLiteral("select 生效日期 from ") + table()).value(0).value(0), QStringLiteral("2024-04-01"));
    QCOMPARE(logSince(env, logBefore).last(), entry(QStringLiteral("合同修改"), "D1", "|原生效日期：2024/13/45|修改为：2024-04-01"));
}

void TstChange::failedLogRowUndoesTheWholeSave()
{
    Env env;
    const QList<qint64> ids = addContract(env, QStringLiteral("F1"), kNotAudited,
                                          {Line{QStringLiteral("甲"), QStringLiteral("1"), QStringLiteral("台"), QStringLiteral("F152")},
                                           Line{QStringLiteral("乙"), QStringLiteral("1"), QStringLiteral("台"), QStringLiteral("F154")}});
    QVERIFY(env.db().execute(QStringLiteral("update ") + table() + QStringLiteral(" set 附件=? where id=?"),
                             {QByteArray("%PDF-F1"), ids.at(0)}));
    ContractQueryWindow *w = openFiltered();

    // Choosing a file and then deleting the copy, before saving, is logged
    // as the deletion alone.
    QPointer<ContractChangeWindow> c = open(w, ids.at(1), ChangeMode::Modify);
    int logBefore = env.logTriples().size();
    SetAttachmentEditor([](QWidget *, const QString &, bool, PendingAttachment &pending) {
        if (pending.changed())
            pending.markDeleted();
        else
            pending.set(QByteArray("%PDF-chosen"));
    });
    child<QPushButton>(c, QStringLiteral("按钮_修改"))->click();
    child<QPushButton>(c, QStringLiteral("按钮_修改"))->click();
    SetAttachmentEditor({});
    QVERIFY(c->hasUnsavedChanges());
    child<QPushButton>(c, QStringLiteral("按钮_确定"))->click();
    QCOMPARE(cgtest::messageTexts(), QStringList({"保存成功"}));
    QCOMPARE(logSince(env, logBefore), QStringList({entry(QStringLiteral("合同修改"), "F1", "|原合同附件被删除")}));
    QCOMPARE(env.rows(QStringLiteral("select 附件 from ") + table() + QStringLiteral(" order by id")),
             QList<QStringList>({{""}, {""}}));
    QVERIFY(env.db().execute(QStringLiteral("update ") + table() + QStringLiteral(" set 附件=?,单据状态=? where id=?"),
                             {QByteArray("%PDF-F1"), kNotAudited, ids.at(0)}));
    QVERIFY(env.db().execute(QStringLiteral("update ") + table() + QStringLiteral(" set 单据状态=?"), {kNotAudited}));

    // The log refuses its rows: modify and change store nothing at all,
    // and say so with the usual message; the window stays with its edits.
    for (const ChangeMode mode : {ChangeMode::Modify, ChangeMode::Change}) {
        MessageSeam::clear();
        MessageSeam::setNextAnswer(QMessageBox::Yes);   // drops the edits of a window still open
        c = open(w, ids.at(1), mode);
        QVERIFY(c);
        MessageSeam::clear();
        if (mode == ChangeMode::Modify)
            QVERIFY(env.refuse(QStringLiteral("rzb"), QStringLiteral("insert")));
        const QStringList before = stored(env);
        const QList<QStringList> attachments =
            env.rows(QStringLiteral("select 附件 from ") + table() + QStringLiteral(" order by id"));
        logBefore = env.logTriples().size();
        if (mode == ChangeMode::Modify) {
            child<QLineEdit>(c, QStringLiteral("编辑框_合同编号"))->setText(QStringLiteral("F9"));
            c->grid()->item(0, 0)->setText(QStringLiteral("水泵"));
            c->pendingAttachment().set(QByteArray("%PDF-new"));
        }
        retype(child<QLineEdit>(c, QStringLiteral("编辑框_第一次付款")), QStringLiteral("4000"));
        child<QPushButton>(c, QStringLiteral("按钮_确定"))->click();
        QCOMPARE(cgtest::messageTexts(), QStringList({"保存失败"}));
        QCOMPARE(MessageSeam::shown().at(0).icon, MsgIcon::Error);
        QCOMPARE(stored(env), before);
        QCOMPARE(env.rows(QStringLiteral("select 附件 from ") + table() + QStringLiteral(" order by id")), attachments);
        QCOMPARE(env.logTriples().size(), logBefore);
        QVERIFY(c && c->isVisible());
        QCOMPARE(child<QLineEdit>(c, QStringLiteral("编辑框_第一次付款"))->text(), QStringLiteral("4000"));
        QCOMPARE(w->model()->cell(rowOfLine(w, ids.at(1)), ListColumn::First), QStringLiteral("3000"));
    }
}

void TstChange::attachmentWindowWorksOnTheLoadedContract()
{
    Env env;
    RegisterWindows();
    const QList<qint64> a = addContract(env, QStringLiteral("A1"), kNotAudited, {Line{}});
    const QList<qint64> b = addContract(env, QStringLiteral("A2"), kNotAudited, {Line{}});
    QVERIFY(env.db().execute(QStringLiteral("update ") + table() + QStringLiteral(" set 附件=? where id=?"),
                             {QByteArray("%PDF-A1"), a.at(0)}));
    QVERIFY(env.db().execute(QStringLiteral("update ") + table() + QStringLiteral(" set 附件=? where id=?"),
                             {QByteArray("%PDF-A2"), b.at(0)}));
    ContractQueryWindow *w = openFiltered();
    QPointer<ContractChangeWindow> c = open(w, a.at(0), ChangeMode::Modify);
    QVERIFY(c);
    // The number is being changed, not saved yet.
    child<QLineEdit>(c, QStringLiteral("编辑框_合同编号"))->setText(QStringLiteral("A2"));

    bool previewEnabled = false, deleteEnabled = false;
    QString title;
    QTimer poll;
    poll.setInterval(10);
    connect(&poll, &QTimer::timeout, [&] {
        auto *window = QApplication::activeModalWidget();
        if (!window || !window->findChild<QPushButton *>(QStringLiteral("按钮_预览")))
            return;
        poll.stop();
        title = window->windowTitle();
        auto *preview = window->findChild<QPushButton *>(QStringLiteral("按钮_预览"));
        previewEnabled = preview->isEnabled();
        deleteEnabled = window->findChild<QPushButton *>(QStringLiteral("按钮_删除"))->isEnabled();
        preview->click();
        window->close();
    });
    poll.start();
    child<QPushButton>(c, QStringLiteral("按钮_修改"))->click();
    Attachments::waitForPreviews();
    QCOMPARE(title, QStringLiteral("砚禾澄屿合同管理系统--附件修改"));
    QVERIFY(previewEnabled);
    QVERIFY(deleteEnabled);
    QFile file(Attachments::previewPath());
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("%PDF-A1"));
    SetAttachmentEditor({});
    SetAttachmentPreview({});
}

// A contract paid in full by the change: the balance is computed in decimal.
void TstChange::paidInFullShowsAndStoresZero()
{
    Env env;
    const QList<qint64> ids = addContract(env, QStringLiteral("D1"), kAudited, {Line{}});
    QVERIFY(env.db().execute(QStringLiteral("update ") + table()
                                 + QStringLiteral(" set 合同金额='29709.06',第一次付款='11937.08',第二次付款='0',"
                                                  "剩余尾款='17771.98' where 合同编号='D1'")));
    ContractQueryWindow *w = openFiltered();
    QPointer<ContractChangeWindow> c = open(w, ids.at(0), ChangeMode::Change);
    QVERIFY(c);
    QLineEdit *second = child<QLineEdit>(c, QStringLiteral("编辑框_第二次付款"));
    QLineEdit *remaining = child<QLineEdit>(c, QStringLiteral("编辑框_剩余尾款"));
    retype(second, QStringLiteral("17771.98"));
    QCOMPARE(remaining->text(), QStringLiteral("0"));
    retype(second, QStringLiteral("17771.99"));
    QCOMPARE(remaining->text(), QStringLiteral("-0.01"));
    retype(second, QStringLiteral("17771.98"));
    child<QPushButton>(c, QStringLiteral("按钮_确定"))->click();
    QCOMPARE(cgtest::messageTexts(), QStringList({"保存成功"}));
    QCOMPARE(env.rows(QStringLiteral("select 第二次付款,剩余尾款 from ") + table()),
             (QList<QStringList>{{"17771.98", "0"}}));
    // Only the touched instalment is logged; the balance follows from it.
    QVERIFY(env.logTriples().contains(entry(QStringLiteral("合同变更"), QStringLiteral("D1"),
                                            QStringLiteral("|原第二次付款：0|变更为：17771.98"))));
    for (const QString &t : env.logTriples())
        QVERIFY2(!t.contains(QStringLiteral("原剩余尾款")), qPrintable(t));
    QTRY_VERIFY(!c);
}

QTEST_MAIN(TstChange)
#include "tst_change.moc"
