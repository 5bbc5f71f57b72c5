// The workbook writer and the export dialogue, checked with openpyxl.
#include "WorkbookProbe.h"
#include "spreadsheet/SheetExport.h"
#include "spreadsheet/SheetImport.h"
#include "ui/Seams.h"
#include "ui/SpreadsheetExport.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

using namespace cg;

namespace {

const QStringList kContractTitles = {
    "单据状态", "合同编号", "申请人", "申请部门", "采购员", "供应商", "产品", "设备数量", "计量单位", "制单日期",
    "生效日期", "失效日期", "合同总金额", "付款方式", "第一次付款", "第二次付款", "第三次付款", "第四次付款",
    "剩余尾款", "税率", "附件"};

QJsonObject dump(const QString &path) { return probe::dumpWorkbook(path); }
using probe::values;

struct MessageRecording {
    MessageRecording()
    {
        MessageSeam::startRecording();
        FileDialogs::startRecording();
    }
    ~MessageRecording()
    {
        MessageSeam::stopRecording();
        FileDialogs::stopRecording();
    }
};

// Collects the captions of the progress window as they change.
class CaptionRecorder : public QObject {
public:
    QStringList captions;
    bool eventFilter(QObject *o, QEvent *e) override
    {
        if (e->type() == QEvent::WindowTitleChange && o->objectName() == QStringLiteral("窗口_导出进度"))
            captions << static_cast<QWidget *>(o)->windowTitle();
        return false;
    }
};

} // namespace

class TestExport : public QObject {
    Q_OBJECT
private slots:
    void titleRowFormatAndTextCells();
    void emptyListWritesTitlesOnly();
    void textsComeBackUnchanged();
    void replacesOldFileOnlyWhenComplete();
    void refusesFileInUseAndSecondExport();
    void dialogueMessages();
    void progressCaptions();
    void templateDatesAndTexts();
};

void TestExport::titleRowFormatAndTextCells()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("合同.xlsx");
    const QStringList row1 = {"已审核", "0012", "张三", "", "李四", "供应商", "=SUM(A1)", "13800138000", "台",
                              "2024-03-01", "2024-03-01", "2025-03-01", "1234.50", "月结", "1E5", "TRUE", "-0",
                              "0.1", " 前后空格 ", "13%", "有附件"};
    QList<QStringList> rows{row1, QStringList{"", "", "", "", "", "", "第二行产品", "2", "个"}};
    qint64 lastDone = 0;
    const auto result = Sheet::ExportWorkbook(path, kContractTitles, Sheet::RowSource::fromRows(rows),
                                              [&](qint64 done, qint64 total) {
                                                  QCOMPARE(total, 2);
                                                  QCOMPARE(done, lastDone + 1);
                                                  lastDone = done;
                                              });
    QVERIFY2(result.ok(), qPrintable(result.detail));
    QCOMPARE(lastDone, 2);

    const QJsonObject book = dump(path);
    QCOMPARE(book.value("sheets").toInt(), 1);
    const QJsonArray sheet = book.value("rows").toArray();
    QCOMPARE(sheet.size(), 3);
    QCOMPARE(values(sheet.at(0).toArray()), kContractTitles);
    QCOMPARE(values(sheet.at(1).toArray()), QStringList(row1).replaceInStrings(QRegularExpression("^$"), "<none>"));
    QStringList second = values(sheet.at(2).toArray());
    QCOMPARE(second.mid(6, 3), QStringList({"第二行产品", "2", "个"}));
    QCOMPARE(second.count("<none>"), 18);

    // Width 20 as Excel stores it (plus its cell padding) for columns A to U.
    probe::checkExportTitles(book, kContractTitles);
    for (int r = 1; r <= 2; ++r) {
        for (const auto &c : sheet.at(r).toArray()) {
            const QJsonObject cell = c.toObject();
            QCOMPARE(cell.value("fmt").toString(), "@");
            QVERIFY(!cell.value("bold").toBool());
            QVERIFY(cell.value("fill").isNull());
            QVERIFY(cell.value("border").toArray().at(0).isNull());
            if (!cell.value("v").isNull())
                QCOMPARE(cell.value("t").toString(), "s");
        }
    }
    QCOMPARE(book.value("heights").toObject(), QJsonObject({{"1", 18}}));
}

void TestExport::emptyListWritesTitlesOnly()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("供应商.xlsx");
    bool progressed = false;
    QVERIFY(Sheet::ExportWorkbook(path, {"单据状态", "名称"}, {}, [&](qint64, qint64) { progressed = true; }).ok());
    QVERIFY(!progressed);
    const QJsonArray sheet = dump(path).value("rows").toArray();
    QCOMPARE(sheet.size(), 1);
    QCOMPARE(values(sheet.at(0).toArray()), QStringList({"单据状态", "名称"}));
}

// Texts that the file format would otherwise change: escapes of its own,
// characters XML cannot hold, surrogate pairs, and texts over Excel's limit.
void TestExport::textsComeBackUnchanged()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("texts.xlsx");
    const QString longText = QString(40000, u'长');
    const QStringList texts = {"_x0041_", "a_x005F_b", QString("ctl\x01\x1f") + QChar(0xFFFE), "两行\r\n第二行\t制表",
                               "  ", QString::fromUtf8("表情😀"), longText, "=1+1"};
    QStringList titles;
    for (int c = 0; c < 30; ++c)  // beyond column Z
        titles << QString("列%1").arg(c + 1);
    QVERIFY(Sheet::ExportWorkbook(path, titles, Sheet::RowSource::fromRows({texts})).ok());

    QStringList expected = texts;
    expected[6].truncate(Sheet::kMaxCellText);
    const auto read = Sheet::ReadFirstSheet(path, 30);
    QVERIFY2(read.ok(), qPrintable(read.detail));
    QCOMPARE(read.rows.size(), 1);
    for (int i = 0; i < texts.size(); ++i)
        QCOMPARE(read.rows.at(0).at(i), expected.at(i));
    // openpyxl accepts the file and sees the title of column AD.
    const QJsonArray sheet = dump(path).value("rows").toArray();
    QCOMPARE(values(sheet.at(0).toArray()).value(29), "列30");
}

void TestExport::replacesOldFileOnlyWhenComplete()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("out.xlsx");
    {
        QFile old(path);
        QVERIFY(old.open(QIODevice::WriteOnly));
        old.write("old contents");
    }
    QVERIFY(Sheet::ExportWorkbook(path, {"名称"}, Sheet::RowSource::fromRows({{"新"}})).ok());
    QCOMPARE(values(dump(path).value("rows").toArray().at(1).toArray()), QStringList({"新"}));
    QCOMPARE(probe::entries(dir.path()), QStringList({"out.xlsx"}));

    // The target turns into something that cannot be replaced while rows are
    // written: the export fails and leaves it as it is, with no stray file.
    QVERIFY(QFile::remove(path));
    Sheet::RowSource rows{3, [&](qint64 row, int) {
                              if (row == 1) {
                                  QDir(dir.path()).mkpath("out.xlsx/inside");
                              }
                              return QStringLiteral("x");
                          }};
    const auto result = Sheet::ExportWorkbook(path, {"名称"}, rows);
    QCOMPARE(result.status, Sheet::ExportStatus::WriteFailed);
    QVERIFY(QFileInfo(path + "/inside").isDir());
    QCOMPARE(probe::entries(dir.path()), QStringList({"out.xlsx"}));

    // A folder that does not exist: nothing is written anywhere.
    QCOMPARE(Sheet::ExportWorkbook(dir.filePath("missing/out.xlsx"), {"名称"}, {}).status,
             Sheet::ExportStatus::WriteFailed);
    QCOMPARE(probe::entries(dir.path()), QStringList({"out.xlsx"}));
}

void TestExport::refusesFileInUseAndSecondExport()
{
    QTemporaryDir dir;
    // A name that cannot be opened for writing (even by root): a folder.
    QVERIFY(QDir(dir.path()).mkdir("busy.xlsx"));
    QCOMPARE(Sheet::ExportWorkbook(dir.filePath("busy.xlsx"), {"名称"}, {}).status, Sheet::ExportStatus::FileInUse);

    // An export asked for while one runs is refused; the running one finishes.
    Sheet::ExportStatus inner = Sheet::ExportStatus::Ok;
    Sheet::RowSource rows{1, [&](qint64, int) {
                              inner = Sheet::ExportWorkbook(dir.filePath("inner.xlsx"), {"名称"}, {}).status;
                              return QStringLiteral("x");
                          }};
    QVERIFY(Sheet::ExportWorkbook(dir.filePath("outer.xlsx"), {"名称"}, rows).ok());
    QCOMPARE(inner, Sheet::ExportStatus::Busy);
    QVERIFY(!QFileInfo::exists(dir.filePath("inner.xlsx")));
    QVERIFY(Sheet::ExportWorkbook(dir.filePath("again.xlsx"), {"名称"}, {}).ok());
}

void TestExport::dialogueMessages()
{
    QTemporaryDir dir;
    MessageRecording rec;
    QTreeWidget list;
    list.setColumnCount(2);
    new QTreeWidgetItem(&list, QStringList{"已审核", "0012"});

    QVERIFY(!ExportList(nullptr, {"单据状态", "名称"}, &list));
    QCOMPARE(MessageSeam::shown().size(), 1);
    QCOMPARE(MessageSeam::shown().at(0).text, "用户取消导出！");
    QCOMPARE(MessageSeam::shown().at(0).title, "系统提示");
    QCOMPARE(MessageSeam::shown().at(0).icon, MsgIcon::Information);

    // The default extension is added to a name without one.
    MessageSeam::clear();
    FileDialogs::setNextPath(dir.filePath("供应商"));
    QVERIFY(ExportList(nullptr, {"单据状态", "名称"}, &list));
    const QString written = dir.filePath("供应商.xlsx");
    QCOMPARE(MessageSeam::shown().at(0).text, "成功导出：" + QDir::toNativeSeparators(written));
    QCOMPARE(values(dump(written).value("rows").toArray().at(1).toArray()), QStringList({"已审核", "0012"}));

    MessageSeam::clear();
    QVERIFY(QDir(dir.path()).mkdir("open.xlsx"));
    FileDialogs::setNextPath(dir.filePath("open.xlsx"));
    QVERIFY(!ExportList(nullptr, {"名称"}, &list));
    QCOMPARE(MessageSeam::shown().at(0).text,
             QDir::toNativeSeparators(dir.filePath("open.xlsx")) + "覆盖保存失败！ 文件正被Excel程序占用，请关闭后重试！");
    QCOMPARE(MessageSeam::shown().at(0).icon, MsgIcon::Error);

    MessageSeam::clear();
    const QString unwritable = dir.filePath("missing/x.xlsx");
    FileDialogs::setNextPath(unwritable);
    QVERIFY(!ExportList(nullptr, {"名称"}, &list));
    QCOMPARE(MessageSeam::shown().at(0).text, "导出：" + QDir::toNativeSeparators(unwritable) + " 文件失败！");
    QCOMPARE(MessageSeam::shown().size(), 1);
}

void TestExport::progressCaptions()
{
    QTemporaryDir dir;
    MessageRecording rec;
    CaptionRecorder recorder;
    qApp->installEventFilter(&recorder);
    FileDialogs::setNextPath(dir.filePath("three.xlsx"));
    QVERIFY(ExportList(nullptr, {"名称"}, Sheet::RowSource::fromRows({{"a"}, {"b"}, {"c"}})));
    qApp->removeEventFilter(&recorder);
    QCOMPARE(recorder.captions, QStringList({"正在导出，请稍候......", "正在导出，请稍候......(33%）",
                                            "正在导出，请稍候......(66%）", "正在导出，请稍候......(100%）"}));
    QCOMPARE(ExportProgressCaption(5, 10), "正在导出，请稍候......(50%）");
}

// A date column stores what reads as a date as a date; anything else, and
// every text column, as text. Our reader gives the same texts back.
void TestExport::templateDatesAndTexts()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("模板.xlsx");
    Sheet::TemplateSheet sheet;
    sheet.name = "A&B<表>";
    sheet.columns = {{"编号", 7.375, Sheet::ColumnKind::Text}, {"日期", 11, Sheet::ColumnKind::Date}};
    sheet.rows = {{"2024-03-01", "2024-03-01"}, {"0012", "2024-02-30"}, {"", "1900-01-01"}, {"x", ""}};
    QVERIFY(Sheet::WriteTemplate(path, sheet).ok());

    const QJsonObject book = dump(path);
    QCOMPARE(book.value("name").toString(), "A&B<表>");
    const QJsonArray rows = book.value("rows").toArray();
    QCOMPARE(rows.size(), 5);
    const auto cell = [&](int r, int c) { return rows.at(r).toArray().at(c).toObject(); };
    QCOMPARE(cell(1, 0).value("v").toString(), "2024-03-01");
    QCOMPARE(cell(1, 0).value("fmt").toString(), "@");
    QCOMPARE(cell(1, 1).value("v").toString(), "2024-03-01T00:00:00");
    QVERIFY(cell(1, 1).value("date").toBool());
    for (int r = 2; r <= 3; ++r)
        QCOMPARE(cell(r, 1).value("t").toString(), "s");
    // Width 7.375 as stored with the cell padding.
    QCOMPARE(book.value("cols").toArray().at(0).toArray().at(2).toDouble(), 8.0859375);

    const auto read = Sheet::ReadFirstSheet(path, 2);
    QVERIFY2(read.ok(), qPrintable(read.detail));
    QCOMPARE(read.rows, (QList<QStringList>{{"2024-03-01", "2024-03-01"}, {"0012", "2024-02-30"},
                                           {"", "1900-01-01"}, {"x", ""}}));
}

QTEST_MAIN(TestExport)
#include "tst_export.moc"
