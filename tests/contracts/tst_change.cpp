// The change/modify window: lines saved by the ids they were loaded with,
// renames, touched fields in the log, the attachment, deleting a line.
#include "contracts/ContractRecord.h"
#include "contracts/ContractChange.h"
#include "contracts/ContractChangeWindow.h"
#include "contracts/ContractQueryWindow.h"
#include "support/TestEnv.h"
#include "ui/Shell.h"

#include <QAction>
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
    QCOMPARE(logSince(env, logBefore),
             QStringList({"开始|打开合同变更窗口|合同变更", entry(m, "C1", "|原第一次付款：3000|变更为：4000"),
                          entry(m, "C1", "|原剩余尾款：5000|变更为：4000")}));
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

    // A free number moves every line, sub-numbers kept.
    MessageSeam::clear();
    number->setText(QStringLiteral("R9"));
    child<QPushButton>(c, QStringLiteral("按钮_确定"))->click();
    QCOMPARE(cgtest::messageTexts(), QStringList({"保存成功"}));
    QCOMPARE(stored(env, QStringLiteral("合同编号=?"), {"R9"}),
             QStringList({"R9|R152|已审核|甲|1|台|张三|3000|5000", "R9|R154|已审核|乙|2|台|张三|3000|5000"}));
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
    QCOMPARE(stored(env, QStringLiteral("合同编号=?"), {"R9"}), QStringList({"R9|R152|未审核|甲|1|台|张三|3000|5000"}));

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
    QCOMPARE(stored(env, QStringLiteral("合同编号=?"), {"R9"}), QStringList({"R9|R152|已审核|甲|1|台|张三|3000|5000"}));
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
    QTest::keyClick(supplier, Qt::Key_Return);
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

    const auto attachments = env.rows(QStringLiteral("select 附件 is null, 附件 from ") + table() + QStringLiteral(" order by id"));
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

    // Enter asks; No keeps everything.
    c->grid()->setCurrentCell(0, 0);
    QTest::keyClick(c->grid(), Qt::Key_Return);
    QCOMPARE(cgtest::messageTexts(), QStringList({"是否要直接删除：甲，删除后无法恢复！"}));
    QCOMPARE(MessageSeam::shown().at(0).icon, MsgIcon::Question);
    QCOMPARE(env.rows(QStringLiteral("select count(*) from ") + table()).value(0).value(0), QStringLiteral("3"));

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

    // A new change window replaces the open one, which logs its closing.
    const int logBefore = env.logTriples().size();
    QPointer<ContractChangeWindow> second = open(w, ids.at(0), ChangeMode::Change);
    QTRY_VERIFY(!c);
    QVERIFY(second);
    child<QPushButton>(second, QStringLiteral("按钮_关闭"))->click();
    QTRY_VERIFY(!second);
    QCOMPARE(logSince(env, logBefore), QStringList({"结束|关闭合同修改窗口|合同修改", "开始|打开合同变更窗口|合同变更",
                                                    "结束|关闭合同变更窗口|合同变更"}));
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
    QVERIFY(env.logTriples().contains(entry(QStringLiteral("合同变更"), QStringLiteral("D1"),
                                            QStringLiteral("|原剩余尾款：17771.98|变更为：0"))));
    QTRY_VERIFY(!c);
}

QTEST_MAIN(TstChange)
#include "tst_change.moc"
