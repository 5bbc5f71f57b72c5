// The supplier entry window: single entry with its checks, the import
// workbook, loading a workbook into the pending list and storing it.
#include "suppliers/SupplierEntryWindow.h"
#include "data/Db.h"
#include "suppliers/SupplierKit.h"
#include "ui/Gates.h"
#include "ui/Shell.h"

#include <QComboBox>
#include <QFile>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QPointer>
#include <QPushButton>
#include <QTreeWidget>

using namespace cg;
using kit::child;

namespace {

const QString kDup = QStringLiteral("发现宏达五金 供应商已存在，第 3 行后没有导入成功，或者点击[清空]按钮取消导入操作！");

SupplierEntryWindow *openEntry()
{
    return qobject_cast<SupplierEntryWindow *>(Windows::open(WindowKey::SupplierEntry));
}

void fill(QWidget *w, const QStringList &values)
{
    const char *edits[] = {"编辑框_名称", "编辑框_电话", "编辑框_联系人", "编辑框_地址"};
    for (int i = 0; i < 4; ++i)
        child<QLineEdit>(w, QString::fromUtf8(edits[i]))->setText(values.value(i));
    for (int i = 0; i < 2; ++i) {
        auto *box = child<QComboBox>(w, i == 0 ? QStringLiteral("组合框_税率") : QStringLiteral("组合框_付款方式"));
        box->setCurrentIndex(box->findText(values.value(4 + i), Qt::MatchExactly | Qt::MatchCaseSensitive));
    }
}

QStringList listRows(QTreeWidget *list, int columns = 7)
{
    QStringList out;
    for (int i = 0; i < list->topLevelItemCount(); ++i) {
        QStringList cells;
        for (int c = 0; c < columns; ++c)
            cells << list->topLevelItem(i)->text(c);
        out << cells.join(QLatin1Char('|'));
    }
    return out;
}

QString text(QWidget *w, const char *label) { return child<QLabel>(w, QString::fromUtf8(label))->text(); }

void clickSave(QWidget *w) { child<QPushButton>(w, QStringLiteral("按钮_保存"))->click(); }

class Env : public kit::Env {
public:
    Env()
    {
        for (const char *t : {"13%", "9%"})
            addBasic(QStringLiteral("税率"), QString::fromUtf8(t));
        for (const char *p : {"月结", "货到付款"})
            addBasic(QStringLiteral("付款方式"), QString::fromUtf8(p));
    }
};

} // namespace

class TstSupplierEntry : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void windowShowsItsControls();
    void singleEntryChecksInOrderAndRefusesDuplicates();
    void templateDownload();
    void batchStoresEveryRow();
    void batchStopsAtExistingSupplierInRowThree();
    void failuresStoreNothingWithoutItsLogRow();
    void clearKeepsImportModeAndEmptyNamesAreFound();
    void failedLoadAndImportGate();
};

void TstSupplierEntry::windowShowsItsControls()
{
    Env env;
    QPointer<SupplierEntryWindow> w = openEntry();
    QVERIFY(w);
    QCOMPARE(w->windowTitle(), QStringLiteral("砚禾澄屿合同管理系统--供应商资料"));
    QCOMPARE(text(w, "标签_提示"), QStringLiteral(" 每个输入框必须输入，否则不予保存"));
    QCOMPARE(child<QLabel>(w, QStringLiteral("标签_提示"))->palette().color(QPalette::WindowText), QColor(0, 128, 0));
    QCOMPARE(text(w, "标签_统计"), QStringLiteral(" 共计：0条"));
    QCOMPARE(text(w, "标签21"), QStringLiteral("点击导入按钮后添加数据到表格内，确认无误后点击保存按钮。"));
    const QStringList captions = {QStringLiteral("&M.模板下载"), QStringLiteral("&D.导入"), QStringLiteral("&Q.清空"),
                                  QStringLiteral("&S.保存"), QStringLiteral("&C.关闭")};
    const QStringList names = {QStringLiteral("按钮_模板下载"), QStringLiteral("按钮_导入"), QStringLiteral("按钮_清空"),
                               QStringLiteral("按钮_保存"), QStringLiteral("按钮_关闭")};
    for (int i = 0; i < names.size(); ++i)
        QCOMPARE(child<QPushButton>(w, names[i])->text(), captions[i]);
    QCOMPARE(w->list()->headerItem()->text(5), QStringLiteral("税  率"));
    // Every field has its label as buddy; the lists offer the basic data.
    for (const char *label : {"名称：", "电话：", "联系人：", "地址：", "税率：", "付款方式："}) {
        QLabel *found = nullptr;
        for (QLabel *l : w->findChildren<QLabel *>())
            if (l->text() == QString::fromUtf8(label))
                found = l;
        QVERIFY2(found && found->buddy(), label);
    }
    QVERIFY(child<QComboBox>(w, QStringLiteral("组合框_付款方式"))->findText(QStringLiteral("货到付款")) >= 0);
    w->close();
    QTRY_VERIFY(!w);
    QCOMPARE(env.logTriples(), (QStringList{QStringLiteral("开始|打开供应商添加窗口|供应商添加"),
                                            QStringLiteral("结束|关闭供应商添加窗口|供应商添加")}));
}

void TstSupplierEntry::singleEntryChecksInOrderAndRefusesDuplicates()
{
    Env env;
    SupplierEntryWindow *w = openEntry();
    const QStringList full = {QStringLiteral("宏达五金"), QStringLiteral("0571-1"), QStringLiteral("王五"),
                              QStringLiteral("杭州"), QStringLiteral("13%"), QStringLiteral("月结")};
    const QStringList messages = {QStringLiteral("供应商名称不能为空！"), QStringLiteral("供应商电话不能为空！"),
                                  QStringLiteral("供应商联系人不能为空！"), QStringLiteral("供应商地址不能为空！"),
                                  QStringLiteral("供应商税率不能为空！"), QStringLiteral("供应商付款方式不能为空！")};
    // Each input left empty in turn, the later ones filled: its own message.
    for (int empty = 0; empty < 6; ++empty) {
        QStringList values = full;
        values[empty] = QString();
        fill(w, values);
        clickSave(w);
        QVERIFY2(kit::lastBox(messages[empty], MsgIcon::Error), qPrintable(messages[empty]));
    }
    QVERIFY(env.suppliers().isEmpty());

    // Blanks are content.
    QStringList blanks = full;
    blanks[0] = QStringLiteral(" ");
    fill(w, blanks);
    clickSave(w);
    fill(w, full);
    clickSave(w);
    QCOMPARE(env.suppliers(), (QStringList{QStringLiteral("已审核| |0571-1|王五|杭州|13%|月结"),
                                           QStringLiteral("已审核|宏达五金|0571-1|王五|杭州|13%|月结")}));
    QCOMPARE(text(w, "标签_提示"), QStringLiteral(" 保存成功！"));
    // The list keeps the saved suppliers as a record; the inputs are emptied.
    QCOMPARE(listRows(w->list()), env.suppliers());
    QCOMPARE(text(w, "标签_统计"), QStringLiteral("共：2 条记录"));
    QCOMPARE(child<QLineEdit>(w, QStringLiteral("编辑框_名称"))->text(), QString());
    QCOMPARE(child<QComboBox>(w, QStringLiteral("组合框_税率"))->currentText(), QString());
    QCOMPARE(env.logTriples().last(),
             QStringLiteral("操作|成功添加数据：宏达五金--0571-1--王五--杭州--13%--月结|供应商添加"));

    const int logged = env.logTriples().size();
    fill(w, full);
    clickSave(w);
    QVERIFY(kit::lastBox(QStringLiteral("供应商名称重复，不能保存！"), MsgIcon::Error));
    QCOMPARE(env.suppliers().size(), 2);
    QCOMPARE(env.logSince(logged), QStringList());
    // The inputs keep what was typed.
    QCOMPARE(child<QLineEdit>(w, QStringLiteral("编辑框_名称"))->text(), QStringLiteral("宏达五金"));
}

void TstSupplierEntry::templateDownload()
{
    Env env;
    SupplierEntryWindow *w = openEntry();
    const QString path = env.folder() + QStringLiteral("/供应商模板");
    FileDialogs::setNextPath(path);
    child<QPushButton>(w, QStringLiteral("按钮_模板下载"))->click();
    QVERIFY(kit::lastBox(QStringLiteral("下载成功！"), MsgIcon::Information));
    const QJsonDocument sheet = kit::readWorkbook(path + QStringLiteral(".xlsx"));
    QCOMPARE(sheet[QStringLiteral("name")].toString(), QStringLiteral("Sheet1"));
    const QList<QStringList> rows = kit::sheetRows(sheet);
    QCOMPARE(rows.value(0), (QStringList{QStringLiteral("单据状态"), QStringLiteral("名称"), QStringLiteral("电话"),
                                         QStringLiteral("联系人"), QStringLiteral("地址"), QStringLiteral("税率"),
                                         QStringLiteral("付款方式")}));
    QCOMPARE(rows.size(), 2);
    QCOMPARE(sheet[QStringLiteral("widths")].toArray().at(3).toDouble(), 19.375);
    QCOMPARE(sheet[QStringLiteral("widths")].toArray().at(0).toDouble(), 15.625);

    // The workbook it saves is one the import takes.
    FileDialogs::setNextPath(path + QStringLiteral(".xlsx"));
    w->importWorkbook();
    QCOMPARE(w->list()->topLevelItemCount(), 1);

    FileDialogs::setNextPath(env.folder() + QStringLiteral("/没有/这个/目录.xlsx"));
    w->downloadTemplate();
    QVERIFY(kit::lastBox(QStringLiteral("下载失败，请检查是否有文件写入权限！"), MsgIcon::Error));
    // Cancelled: nothing shown.
    const int shown = MessageSeam::shown().size();
    w->downloadTemplate();
    QCOMPARE(MessageSeam::shown().size(), shown);
}

void TstSupplierEntry::batchStoresEveryRow()
{
    Env env;
    SupplierEntryWindow *w = openEntry();
    const QString book = env.folder() + QStringLiteral("/三行.xlsx");
    QVERIFY(kit::writeWorkbook(book, {{QStringLiteral("未审核"), QStringLiteral("甲"), QStringLiteral("1"),
                                       QStringLiteral("张"), QStringLiteral("杭州"), QStringLiteral("13%"),
                                       QStringLiteral("月结"), QStringLiteral("x")},
                                      {QString(), QStringLiteral("乙"), QString(), QString(), QString(), QString(),
                                       QString()},
                                      {QStringLiteral("停用"), QStringLiteral("丙"), QStringLiteral("3")}}));
    const int before = env.logTriples().size();
    FileDialogs::setNextPath(book);
    child<QPushButton>(w, QStringLiteral("按钮_导入"))->click();
    QVERIFY(w->importMode());
    QVERIFY(kit::lastBox(QStringLiteral("加载成功，请检查已加载的数据无误后点击[保存]按钮导入到系统"),
                         MsgIcon::Information));
    QCOMPARE(listRows(w->list(), 8), (QStringList{QStringLiteral("未审核|甲|1|张|杭州|13%|月结|x"),
                                                  QStringLiteral("|乙||||||"), QStringLiteral("停用|丙|3|||||")}));
    clickSave(w);
    // "未审核" is stored audited, any other state as it is; empty cells as empty texts.
    QCOMPARE(env.suppliers(), (QStringList{QStringLiteral("已审核|甲|1|张|杭州|13%|月结"), QStringLiteral("|乙|||||"),
                                           QStringLiteral("停用|丙|3||||")}));
    QVERIFY(kit::lastBox(QStringLiteral("所有数据导入成功，共导入 3 行！"), MsgIcon::Information));
    QCOMPARE(text(w, "标签_统计"), QStringLiteral(" 共计：3行"));
    QCOMPARE(w->list()->topLevelItemCount(), 0);
    QVERIFY(!w->importMode());
    QCOMPARE(env.logSince(before),
             (QStringList{QStringLiteral("操作|批量添加供应商数据到待导入表格|供应商添加"),
                          QStringLiteral("操作|成功导入供应商数据，共导入：3行|供应商添加")}));
}

void TstSupplierEntry::batchStopsAtExistingSupplierInRowThree()
{
    Env env;
    env.addSupplier(QStringLiteral("已审核|宏达五金|1|2|3|13%|月结"));
    SupplierEntryWindow *w = openEntry();
    const QString book = env.folder() + QStringLiteral("/四行.xlsx");
    QList<QStringList> rows;
    for (const char *name : {"一号", "二号", "宏达五金", "四号"})
        rows << QStringList{QStringLiteral("未审核"), QString::fromUtf8(name), QStringLiteral("5")};
    QVERIFY(kit::writeWorkbook(book, rows));
    FileDialogs::setNextPath(book);
    w->importWorkbook();
    const int before = env.logTriples().size();
    clickSave(w);
    QCOMPARE(env.suppliers(), (QStringList{QStringLiteral("已审核|宏达五金|1|2|3|13%|月结"),
                                           QStringLiteral("已审核|一号|5||||"), QStringLiteral("已审核|二号|5||||")}));
    QVERIFY(kit::lastBox(kDup, MsgIcon::Information));
    QCOMPARE(w->list()->topLevelItemCount(), 4);
    QVERIFY(w->importMode());
    QCOMPARE(env.logSince(before), QStringList{QStringLiteral("操作|成功导入供应商数据，共导入：2行|供应商添加")});

    // A second save meets the first row it stored.
    clickSave(w);
    QVERIFY(kit::lastBox(QStringLiteral("发现一号 供应商已存在，第 1 行后没有导入成功，或者点击[清空]按钮取消导入操作！"),
                         MsgIcon::Information));
    QCOMPARE(env.logTriples().last(), QStringLiteral("操作|成功导入供应商数据，共导入：0行|供应商添加"));
    QCOMPARE(env.suppliers().size(), 3);
}

void TstSupplierEntry::failuresStoreNothingWithoutItsLogRow()
{
    Env env;
    SupplierEntryWindow *w = openEntry();
    DbConnection &db = env.db();
    const auto dropRefusal = [&db] { QVERIFY(db.execute(QStringLiteral("drop trigger refuse_rzb_insert"))); };

    // A supplier whose log row cannot be written is not stored either.
    QVERIFY(env.refuse(QStringLiteral("rzb"), QStringLiteral("insert")));
    fill(w, {QStringLiteral("宏达五金"), QStringLiteral("0571-1"), QStringLiteral("王五"), QStringLiteral("杭州"),
             QStringLiteral("13%"), QStringLiteral("月结")});
    clickSave(w);
    QVERIFY(kit::lastBox(QStringLiteral("保存失败！"), MsgIcon::Error));
    QCOMPARE(text(w, "标签_提示"), QStringLiteral(" 保存失败！"));
    QCOMPARE(env.suppliers(), QStringList());
    QCOMPARE(child<QLineEdit>(w, QStringLiteral("编辑框_名称"))->text(), QStringLiteral("宏达五金"));
    dropRefusal();

    const QString book = env.folder() + QStringLiteral("/四行.xlsx");
    QList<QStringList> rows;
    for (const char *name : {"一号", "二号", "坏行", "四号"})
        rows << QStringList{QStringLiteral("未审核"), QString::fromUtf8(name), QStringLiteral("5")};
    QVERIFY(kit::writeWorkbook(book, rows));
    FileDialogs::setNextPath(book);
    w->importWorkbook();
    QVERIFY(w->importMode());

    // The batch and its log row are one: without the row no supplier is stored.
    QVERIFY(env.refuse(QStringLiteral("rzb"), QStringLiteral("insert")));
    clickSave(w);
    QVERIFY(kit::lastBox(QStringLiteral("第 1 行后没有导入成功，请检查导入的数据后重试！"), MsgIcon::Information));
    QCOMPARE(env.suppliers(), QStringList());
    QCOMPARE(w->list()->topLevelItemCount(), 4);
    QVERIFY(w->importMode());
    dropRefusal();

    // A row the database refuses stops the batch; the rows before it are
    // stored and counted by the log row.
    QVERIFY(db.execute(QStringLiteral("create trigger bad_row before insert on gysb when new.名称='坏行' "
                                      "begin select raise(abort,'no'); end")));
    const int before = env.logTriples().size();
    clickSave(w);
    QVERIFY(kit::lastBox(QStringLiteral("第 3 行后没有导入成功，请检查导入的数据后重试！"), MsgIcon::Information));
    QCOMPARE(env.suppliers(), (QStringList{QStringLiteral("已审核|一号|5||||"), QStringLiteral("已审核|二号|5||||")}));
    QCOMPARE(env.logSince(before), QStringList{QStringLiteral("操作|成功导入供应商数据，共导入：2行|供应商添加")});
    QVERIFY(w->importMode());
}

void TstSupplierEntry::clearKeepsImportModeAndEmptyNamesAreFound()
{
    Env env;
    SupplierEntryWindow *w = openEntry();
    const QString book = env.folder() + QStringLiteral("/无名.xlsx");
    QVERIFY(kit::writeWorkbook(book, {{QStringLiteral("已审核"), QString(), QStringLiteral("电话")}}));
    FileDialogs::setNextPath(book);
    w->importWorkbook();
    clickSave(w);
    QCOMPARE(env.suppliers(), QStringList{QStringLiteral("已审核||电话||||")});

    // The stored empty name is found like any other.
    FileDialogs::setNextPath(book);
    w->importWorkbook();
    clickSave(w);
    QVERIFY(kit::lastBox(QStringLiteral("发现 供应商已存在，第 1 行后没有导入成功，或者点击[清空]按钮取消导入操作！"),
                         MsgIcon::Information));
    QCOMPARE(env.suppliers().size(), 1);

    // Clear empties the list only: the next save stores nothing and ends
    // import mode; the one after it takes the inputs.
    child<QPushButton>(w, QStringLiteral("按钮_清空"))->click();
    QCOMPARE(w->list()->topLevelItemCount(), 0);
    QVERIFY(w->importMode());
    clickSave(w);
    QVERIFY(kit::lastBox(QStringLiteral("所有数据导入成功，共导入 0 行！"), MsgIcon::Information));
    QVERIFY(!w->importMode());
    clickSave(w);
    QVERIFY(kit::lastBox(QStringLiteral("供应商名称不能为空！"), MsgIcon::Error));
}

void TstSupplierEntry::failedLoadAndImportGate()
{
    Env env;
    SupplierEntryWindow *w = openEntry();
    const QString book = env.folder() + QStringLiteral("/a.xlsx");
    QVERIFY(kit::writeWorkbook(book, {{QStringLiteral("未审核"), QStringLiteral("甲")}}));
    FileDialogs::setNextPath(book);
    w->importWorkbook();
    // Cancelling the dialog ends import mode and keeps the list.
    const int shown = MessageSeam::shown().size();
    w->importWorkbook();
    QVERIFY(!w->importMode());
    QCOMPARE(w->list()->topLevelItemCount(), 1);
    QCOMPARE(MessageSeam::shown().size(), shown);
    QCOMPARE(env.logTriples().last(), QStringLiteral("操作|批量添加供应商数据到待导入表格失败|供应商添加"));
    // A file that is no workbook: the reader's message, the same failure.
    QFile bad(env.folder() + QStringLiteral("/bad.xlsx"));
    QVERIFY(bad.open(QIODevice::WriteOnly));
    bad.write("not a workbook");
    bad.close();
    FileDialogs::setNextPath(bad.fileName());
    w->importWorkbook();
    QCOMPARE(MessageSeam::shown().last().icon, MsgIcon::Error);
    QVERIFY(!w->importMode());
    w->close();

    // A user without the import flag finds the button disabled.
    env.addUser(QStringLiteral("录入员"), QStringLiteral("pw"), {QStringLiteral("供应商录入")});
    env.loginAs(QStringLiteral("录入员"));
    ApplyPermissions();
    QWidget *gated = Windows::open(WindowKey::SupplierEntry);
    QVERIFY(!child<QPushButton>(gated, QStringLiteral("按钮_导入"))->isEnabled());
    QVERIFY(child<QPushButton>(gated, QStringLiteral("按钮_保存"))->isEnabled());
}

QTEST_MAIN(TstSupplierEntry)
#include "tst_supplierentry.moc"
