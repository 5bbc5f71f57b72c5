// Printing: the contract sheet and the query list as they come out on paper
// (rendered to PDF and read back), saving the sheet as PDF, the log rows of
// what was printed, and the 打印 gate.
#include "contracts/ContractChangeWindow.h"
#include "contracts/ContractQueryWindow.h"
#include "data/Permissions.h"
#include "support/TestEnv.h"
#include "ui/Gates.h"
#include "ui/Printing.h"
#include "ui/Shell.h"

#include <QAction>
#include <QBuffer>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QMenu>
#include <QPdfDocument>
#include <QPdfWriter>
#include <QPushButton>
#include <QRegularExpression>
#include <QTableView>
#include <QTemporaryFile>
#include <QtTest>

using namespace cg;

namespace {

QString table() { return Ctx().login.contractTable; }

qint64 addLine(cgtest::TestEnv &env, const QString &number, const QString &product, const QString &requester)
{
    const bool ok = env.db().execute(
        QStringLiteral("insert into ") + table()
            + QStringLiteral("(单据状态,合同编号,合同子编号,申请人,申请部门,采购员,供应商,产品,设备数量,计量单位,"
                             "制单日期,生效日期,失效日期,合同金额,付款方式,第一次付款,第二次付款,第三次付款,"
                             "第四次付款,剩余尾款,税率) values('已审核',?,?,?,'采购部','李四','华东机电',?,'2','台',"
                             "'2024-03-05','2024-03-01','2025-03-01','10000','月结','3000','2000','0','0',"
                             "'5000','13%')"),
        {number, number + QStringLiteral("52"), requester, product});
    if (!ok)
        qWarning("insert failed: %s", qPrintable(env.db().lastError()));
    Recordset rs(env.db());
    if (!rs.open(QStringLiteral("select max(id) from ") + table()))
        return 0;
    return rs.number(0);
}

class Env : public cgtest::TestEnv {
public:
    explicit Env(const QString &user = QStringLiteral("admin"), const QStringList &flags = {})
    {
        if (user != QLatin1String("admin"))
            addUser(user, QStringLiteral("pw"), flags);
        loginAs(user);
        if (user != QLatin1String("admin"))
            ApplyPermissions();
        Clock::setFixed(QDateTime(QDate(2024, 3, 15), QTime(9, 30)));
    }
};

// The page texts of a PDF, each without any white space (text in table
// cells may be broken over lines).
QStringList pdfPages(const QByteArray &pdf)
{
    QTemporaryFile file;
    if (!file.open() || file.write(pdf) != pdf.size())
        return {};
    file.close();
    QPdfDocument doc;
    if (doc.load(file.fileName()) != QPdfDocument::Error::None)
        return {};
    QStringList pages;
    for (int p = 0; p < doc.pageCount(); ++p)
        pages << doc.getAllText(p).text().remove(QRegularExpression(QStringLiteral("\\s")));
    return pages;
}

QStringList pdfFilePages(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? pdfPages(f.readAll()) : QStringList();
}

QString squeezed(QString text) { return text.remove(QRegularExpression(QStringLiteral("\\s"))); }

// Each print job is rendered to a PDF as a printer would get it; answer
// says whether the user printed or closed the preview.
struct Printed {
    QList<QByteArray> pdfs;
    QList<bool> landscape;
    bool answer = true;

    void record()
    {
        PrintPreview::startRecording([this](const PrintPreview::Job &job) {
            QBuffer buffer;
            buffer.open(QIODevice::WriteOnly);
            {
                QPdfWriter writer(&buffer);
                SetA4(writer, job.landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
                job.paint(writer);
            }
            pdfs << buffer.data();
            landscape << job.landscape;
            return answer;
        });
    }
    QStringList pages(int job = -1) const { return pdfPages(job < 0 ? pdfs.last() : pdfs.at(job)); }
};

ContractQueryWindow *openQuery()
{
    Windows::registerFactory(WindowKey::ContractQuery, CreateContractQueryWindow);
    auto *w = qobject_cast<ContractQueryWindow *>(Windows::open(WindowKey::ContractQuery));
    w->filter();
    return w;
}

void selectLine(ContractQueryWindow *w, qint64 lineId)
{
    const QModelIndex index = w->model()->index(w->model()->rowOfLine(lineId), 0);
    w->list()->selectionModel()->setCurrentIndex(index,
                                                 QItemSelectionModel::ClearAndSelect | QItemSelectionModel::Rows);
}

QAction *menuAction(ContractQueryWindow *w, const QString &name)
{
    for (QAction *a : w->popupMenu()->actions())
        if (a->objectName() == name)
            return a;
    qWarning("missing menu entry %s", qPrintable(name));
    return nullptr;
}

template <typename T> T *child(QWidget *w, const QString &name)
{
    T *c = w->findChild<T *>(name);
    if (!c)
        qWarning("missing control %s", qPrintable(name));
    return c;
}

const QString kPrintContract = QStringLiteral("&P.打印合同…");
const QString kSavePdf = QStringLiteral("&E.保存为PDF…");

} // namespace

class TstPrint : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void contractSheetFromTheQueryMenu();
    void sheetFromTheChangeWindowAndSavedAsPdf();
    void listRepeatsColumnTitlesOnEveryPage();
    void printGate_data();
    void printGate();
};

void TstPrint::contractSheetFromTheQueryMenu()
{
    Env env;
    Printed printed;
    printed.record();
    QVERIFY(PrintSettings::setTitle(QStringLiteral("砚禾澄屿采购部")));
    const qint64 first = addLine(env, QStringLiteral("KQ0001"), QStringLiteral("离心泵"), QStringLiteral("张三"));
    addLine(env, QStringLiteral("KQ0001"), QStringLiteral("闸阀"), QStringLiteral("张三"));
    addLine(env, QStringLiteral("KQ0002"), QStringLiteral("电机"), QStringLiteral("王五"));

    ContractQueryWindow *w = openQuery();
    selectLine(w, first);
    const int logged = env.logTriples().size();
    QAction *print = menuAction(w, kPrintContract);
    QVERIFY(print && print->isEnabled());
    print->trigger();

    QCOMPARE(PrintPreview::titles(), QStringList{QStringLiteral("砚禾澄屿合同管理系统--打印合同")});
    QVERIFY(!printed.landscape.last());
    const QStringList pages = printed.pages();
    QCOMPARE(pages.size(), 1);
    for (const QString &text : {QStringLiteral("砚禾澄屿采购部"), QStringLiteral("合同编号KQ0001"),
                                QStringLiteral("供应商华东机电"), QStringLiteral("申请人张三"),
                                QStringLiteral("离心泵2台KQ000152"), QStringLiteral("闸阀"),
                                QStringLiteral("合同总金额(元)10000"), QStringLiteral("剩余尾款(元)"),
                                QStringLiteral("30002000005000"), QStringLiteral("审核状态：已审核"),
                                QStringLiteral("第1页/共1页")})
        QVERIFY2(pages.first().contains(text), qPrintable(text + QStringLiteral(" not in ") + pages.first()));
    // Another contract's lines are not on its sheet.
    QVERIFY(!pages.first().contains(QStringLiteral("电机")));
    QCOMPARE(env.logTriples().mid(logged), QStringList{QStringLiteral("操作|打印合同：KQ0001|合同查询")});

    // The preview closed without printing writes nothing; with no title
    // stored the program's title heads the sheet.
    QVERIFY(PrintSettings::setTitle(QString()));
    printed.answer = false;
    print->trigger();
    QVERIFY(printed.pages().first().startsWith(QStringLiteral("砚禾澄屿合同管理系统采购合同")));
    QCOMPARE(env.logTriples().size(), logged + 1);
}

void TstPrint::sheetFromTheChangeWindowAndSavedAsPdf()
{
    Env env;
    Printed printed;
    printed.record();
    const qint64 id = addLine(env, QStringLiteral("KQ0007"), QStringLiteral("冷却塔"), QStringLiteral("张三"));
    ContractQueryWindow *w = openQuery();
    selectLine(w, id);
    w->openChange();
    ContractChangeWindow *change = w->changeWindow();
    QVERIFY(change);

    // An unsaved edit is not printed: the sheet shows the stored contract.
    child<QLineEdit>(change, QStringLiteral("编辑框_第一次付款"))->setText(QStringLiteral("4000"));
    int logged = env.logTriples().size();
    QTest::mouseClick(child<QPushButton>(change, QStringLiteral("按钮_打印")), Qt::LeftButton);
    QVERIFY(printed.pages().first().contains(QStringLiteral("3000200000")));
    QCOMPARE(env.logTriples().mid(logged), QStringList{QStringLiteral("操作|打印合同：KQ0007|合同变更")});

    // Saved as PDF through the file dialog; a cancelled dialog writes nothing.
    logged = env.logTriples().size();
    QPushButton *save = child<QPushButton>(change, QStringLiteral("按钮_保存PDF"));
    QTest::mouseClick(save, Qt::LeftButton);
    QCOMPARE(FileDialogs::captions(), QStringList{QStringLiteral("保存为PDF")});
    QCOMPARE(env.logTriples().size(), logged);

    const QString path = env.folder() + QStringLiteral("/合同 KQ0007.pdf");
    FileDialogs::setNextPath(path);
    QTest::mouseClick(save, Qt::LeftButton);
    const QStringList pages = pdfFilePages(path);
    QCOMPARE(pages.size(), 1);
    QVERIFY(pages.first().contains(QStringLiteral("冷却塔")));
    QVERIFY(pages.first().contains(QStringLiteral("第1页/共1页")));
    QCOMPARE(env.logTriples().mid(logged),
             QStringList{QStringLiteral("操作|合同保存为PDF：KQ0007 → ") + QDir::toNativeSeparators(path)
                         + QStringLiteral("|合同变更")});
    QCOMPARE(cgtest::messageTexts().last(), QStringLiteral("保存成功！"));

    // A file that cannot be written is told, and not logged.
    logged = env.logTriples().size();
    FileDialogs::setNextPath(env.folder() + QStringLiteral("/没有这个文件夹/KQ0007.pdf"));
    QTest::mouseClick(save, Qt::LeftButton);
    QCOMPARE(MessageSeam::shown().last().text, QStringLiteral("保存失败！"));
    QCOMPARE(MessageSeam::shown().last().icon, MsgIcon::Error);
    QCOMPARE(env.logTriples().size(), logged);
}

void TstPrint::listRepeatsColumnTitlesOnEveryPage()
{
    Env env;
    Printed printed;
    printed.record();
    for (int k = 1; k <= 60; ++k) {
        const QString number = QStringLiteral("KQ%1").arg(k, 4, 10, QLatin1Char('0'));
        addLine(env, number, QStringLiteral("水泵%1").arg(k), QStringLiteral("张三"));
        addLine(env, number, QStringLiteral("阀门%1").arg(k), QStringLiteral("张三"));
    }
    addLine(env, QStringLiteral("KQ0099"), QStringLiteral("电机"), QStringLiteral("王五"));
    Windows::registerFactory(WindowKey::ContractQuery, CreateContractQueryWindow);
    auto *w = qobject_cast<ContractQueryWindow *>(Windows::open(WindowKey::ContractQuery));
    QComboBox *field = child<QComboBox>(w, QStringLiteral("组合框_编号名称"));
    field->setCurrentIndex(field->findText(QStringLiteral("申请人")));
    child<QLineEdit>(w, QStringLiteral("编辑框_条件"))->setText(QStringLiteral("张"));
    QTest::mouseClick(child<QPushButton>(w, QStringLiteral("按钮_过滤")), Qt::LeftButton);
    QCOMPARE(w->model()->rowCount(), 120);
    // What the controls say after the filter is not what the list shows.
    child<QLineEdit>(w, QStringLiteral("编辑框_条件"))->setText(QStringLiteral("王"));

    const int logged = env.logTriples().size();
    QPushButton *button = child<QPushButton>(w, QStringLiteral("按钮_打印列表"));
    QCOMPARE(button->text(), QStringLiteral("&P.打印列表…"));
    QTest::mouseClick(button, Qt::LeftButton);
    QVERIFY(printed.landscape.last());
    const QStringList pages = printed.pages();
    QVERIFY2(pages.size() >= 3, qPrintable(QString::number(pages.size())));
    const QString n = QString::number(pages.size());
    QVERIFY(pages.at(0).contains(squeezed(QStringLiteral("制单日期：2024-03-01 至 2024-03-15，申请人包含“张”"))));
    QVERIFY(pages.at(0).contains(QStringLiteral("共120行，60份合同")));
    QVERIFY(!pages.join(QString()).contains(QStringLiteral("电机")));
    for (int p = 0; p < pages.size(); ++p) {
        const QString &page = pages.at(p);
        for (const QString &title : {QStringLiteral("单据状态"), QStringLiteral("合同编号"), QStringLiteral("供应商"),
                                     QStringLiteral("剩余尾款(元)")})
            QVERIFY2(page.contains(title), qPrintable(QStringLiteral("page %1 lacks %2").arg(p + 1).arg(title)));
        QVERIFY(page.contains(QStringLiteral("第%1页/共%2页").arg(p + 1).arg(n)));
    }
    // The last rows reach the last page; every line is printed once.
    QVERIFY(pages.last().contains(QStringLiteral("水泵1")));
    QCOMPARE(pages.join(QString()).count(QStringLiteral("阀门")), 60);
    QCOMPARE(env.logTriples().mid(logged), QStringList{QStringLiteral("操作|打印合同列表：120 行|合同查询")});
}

void TstPrint::printGate_data()
{
    QTest::addColumn<QStringList>("flags");
    QTest::addColumn<bool>("granted");
    QTest::newRow("打印") << QStringList{QStringLiteral("打印"), QStringLiteral("变更")} << true;
    QTest::newRow("without 打印") << QStringList{QStringLiteral("变更"), QStringLiteral("导出")} << false;
}

void TstPrint::printGate()
{
    QFETCH(QStringList, flags);
    QFETCH(bool, granted);
    Env env(QStringLiteral("王五"), flags);
    Printed printed;
    printed.record();
    const QString path = env.folder() + QStringLiteral("/KQ0003.pdf");
    const qint64 id = addLine(env, QStringLiteral("KQ0003"), QStringLiteral("风机"), QStringLiteral("张三"));
    ContractQueryWindow *w = openQuery();
    selectLine(w, id);
    QCOMPARE(menuAction(w, kPrintContract)->isEnabled(), granted);
    QCOMPARE(menuAction(w, kSavePdf)->isEnabled(), granted);
    QCOMPARE(child<QPushButton>(w, QStringLiteral("按钮_打印列表"))->isEnabled(), granted);
    w->openChange();
    ContractChangeWindow *change = w->changeWindow();
    QVERIFY(change);
    QCOMPARE(child<QPushButton>(change, QStringLiteral("按钮_打印"))->isEnabled(), granted);
    QCOMPARE(child<QPushButton>(change, QStringLiteral("按钮_保存PDF"))->isEnabled(), granted);

    // Every way into printing asks the gate, not only the entry that shows it.
    const int logged = env.logTriples().size();
    FileDialogs::setNextPath(path);
    w->printContract();
    w->printList();
    w->saveContractPdf();
    change->printContract();
    QCOMPARE(PrintPreview::titles().size(), granted ? 3 : 0);
    QCOMPARE(QFile::exists(path), granted);
    QCOMPARE(env.logTriples().size() - logged, granted ? 4 : 0);
}

QTEST_MAIN(TstPrint)
#include "tst_print.moc"
