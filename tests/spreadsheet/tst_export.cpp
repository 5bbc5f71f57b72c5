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

#include <sys/stat.h>
#include <unistd.h>

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

// Runs as a user without special rights for its lifetime: as root,
// permissions are never refused, so the tests take the user "nobody".
class AsPlainUser {
public:
    AsPlainUser()
    {
        if (::geteuid() == 0)
            m_switched = ::setegid(65534) == 0 && ::seteuid(65534) == 0;
        m_ok = ::geteuid() != 0;
    }
    ~AsPlainUser()
    {
        if (m_switched) {
            (void)::seteuid(0);
            (void)::setegid(0);
        }
    }
    bool ok() const { return m_ok; }

private:
    bool m_switched = false, m_ok = false;
};

struct RowsPerSheet {
    explicit RowsPerSheet(qint64 rows) { Sheet::SetRowsPerSheetForTests(rows); }
    ~RowsPerSheet() { Sheet::SetRowsPerSheetForTests(0); }
};

} // namespace

class TestExport : public QObject {
    Q_OBJECT
private slots:
    void titleRowFormatAndTextCells();
    void emptyListWritesTitlesOnly();
    void textsComeBackUnchanged();
    void longListsContinueOnNextSheet();
    void sheetHoldsAMillionRowsWithTitle();
    void replacesOldFileOnlyWhenComplete();
    void refusesFileInUseAndSecondExport();
    void readOnlyTargetsToldApart();
    void dialogueMessages();
    void progressCaptions();
    void templateDatesAndTexts();
    void templateSheetNames();
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

// A list longer than a worksheet holds goes on over further worksheets of
// the same workbook, each with the title row; the progress counts all rows.
void TestExport::longListsContinueOnNextSheet()
{
    QTemporaryDir dir;
    RowsPerSheet limit(2);
    const QStringList titles = {"日期/时间", "用户"};
    QList<QStringList> rows;
    for (int r = 1; r <= 5; ++r)
        rows << QStringList{QString("2024-03-0%1").arg(r), QString("用户%1").arg(r)};
    const QString path = dir.filePath("日志.xlsx");
    qint64 lastDone = 0;
    const auto result = Sheet::ExportWorkbook(path, titles, Sheet::RowSource::fromRows(rows), [&](qint64 done, qint64 total) {
        QCOMPARE(total, 5);
        QCOMPARE(done, lastDone + 1);
        lastDone = done;
    });
    QVERIFY2(result.ok(), qPrintable(result.detail));
    QCOMPARE(lastDone, 5);

    const QList<QList<QStringList>> expected = {rows.mid(0, 2), rows.mid(2, 2), rows.mid(4)};
    for (int sheet = 0; sheet < 3; ++sheet) {
        const QJsonObject book = probe::dumpWorkbook(path, sheet);
        QCOMPARE(book.value("names").toArray(), QJsonArray({"Sheet1", "Sheet2", "Sheet3"}));
        probe::checkExportTitles(book, titles);
        probe::checkExportRows(book, expected.at(sheet));
    }
    // Exactly full sheets leave no empty one behind; the import reads the first.
    QVERIFY(Sheet::ExportWorkbook(path, titles, Sheet::RowSource::fromRows(rows.mid(0, 4))).ok());
    QCOMPARE(probe::dumpWorkbook(path).value("sheets").toInt(), 2);
    const auto read = Sheet::ReadFirstSheet(path, 2);
    QVERIFY2(read.ok(), qPrintable(read.detail));
    QCOMPARE(read.rows, rows.mid(0, 2));
}

// Without a smaller limit a worksheet takes 1,048,576 rows, the title row
// included, and the next row opens the second sheet.
void TestExport::sheetHoldsAMillionRowsWithTitle()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("big.xlsx");
    const qint64 rows = Sheet::kMaxSheetRows;  // one more than the first sheet takes below its title
    const Sheet::RowSource source{rows, [](qint64 row, int) { return QString::number(row + 1); }};
    const auto result = Sheet::ExportWorkbook(path, {"序号"}, source);
    QVERIFY2(result.ok(), qPrintable(result.detail));
    const QJsonDocument seen = probe::python(QStringLiteral(R"(
import sys, json, openpyxl
wb = openpyxl.load_workbook(sys.argv[1], read_only=True)
out = []
for ws in wb.worksheets:
    count, first, last = 0, None, None
    for row in ws.iter_rows(values_only=True):
        count += 1
        if count == 2:
            first = row[0]
        last = row[0]
    out.append([ws.title, count, first, last])
print(json.dumps(out))
)"), {path});
    QCOMPARE(seen.array(), QJsonArray({QJsonArray({"Sheet1", 1048576, "1", "1048575"}),
                                       QJsonArray({"Sheet2", 2, "1048576", "1048576"})}));
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

// A file or folder the user may not write is not "held open by Excel":
// each gets its own message, and nothing is written.
void TestExport::readOnlyTargetsToldApart()
{
    QTemporaryDir dir;
    QVERIFY(::chmod(QFile::encodeName(dir.path()).constData(), 0755) == 0);
    const QString open = dir.filePath("open"), locked = dir.filePath("locked");
    QVERIFY(QDir().mkpath(open + "/held.xlsx"));
    QVERIFY(QDir().mkdir(locked));
    const auto write = [](const QString &path, mode_t mode) {
        QFile f(path);
        return f.open(QIODevice::WriteOnly) && f.write("old") == 3 && (f.close(), true)
            && ::chmod(QFile::encodeName(path).constData(), mode) == 0;
    };
    QVERIFY(write(open + "/readonly.xlsx", 0444));
    QVERIFY(write(locked + "/writable.xlsx", 0666));
    QVERIFY(::chmod(QFile::encodeName(open).constData(), 0777) == 0);
    QVERIFY(::chmod(QFile::encodeName(locked).constData(), 0555) == 0);

    MessageRecording rec;
    QTreeWidget list;
    new QTreeWidgetItem(&list, QStringList{"新"});
    AsPlainUser plain;
    if (!plain.ok())
        QSKIP("cannot take a user without special rights");

    const QString inUse = "覆盖保存失败！ 文件正被Excel程序占用，请关闭后重试！";
    const QString readOnlyFile = "覆盖保存失败！ 文件为只读或没有写入权限，请修改文件属性后重试！";
    const QString readOnlyFolder = "保存失败！ 所在文件夹为只读或没有写入权限，请另选文件夹后重试！";
    const struct {
        QString path;
        Sheet::ExportStatus status;
        QString message;
    } cases[] = {
        {open + "/held.xlsx", Sheet::ExportStatus::FileInUse, inUse},
        {open + "/readonly.xlsx", Sheet::ExportStatus::ReadOnlyFile, readOnlyFile},
        {locked + "/new.xlsx", Sheet::ExportStatus::ReadOnlyFolder, readOnlyFolder},
        {locked + "/writable.xlsx", Sheet::ExportStatus::ReadOnlyFolder, readOnlyFolder},
    };
    for (const auto &c : cases) {
        QCOMPARE(Sheet::TargetStatus(c.path), c.status);
        QCOMPARE(Sheet::ExportWorkbook(c.path, {"名称"}, Sheet::RowSource::fromRows({{"新"}})).status, c.status);
        MessageSeam::clear();
        FileDialogs::setNextPath(c.path);
        QVERIFY(!ExportList(nullptr, {"名称"}, &list));
        QCOMPARE(MessageSeam::shown().size(), 1);
        QCOMPARE(MessageSeam::shown().at(0).text, QDir::toNativeSeparators(c.path) + c.message);
        QCOMPARE(MessageSeam::shown().at(0).title, "系统提示");
        QCOMPARE(MessageSeam::shown().at(0).icon, MsgIcon::Error);
    }
    QCOMPARE(probe::entries(open), QStringList({"held.xlsx", "readonly.xlsx"}));
    QCOMPARE(probe::entries(locked), QStringList({"writable.xlsx"}));
    QFile old(open + "/readonly.xlsx");
    QVERIFY(old.open(QIODevice::ReadOnly));
    QCOMPARE(old.readAll(), "old");
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

// Sheet names are escaped in the workbook; what a workbook cannot hold is
// refused before anything is written.
void TestExport::templateSheetNames()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("模板.xlsx");
    Sheet::TemplateSheet sheet;
    sheet.columns = {{"编号", 10, Sheet::ColumnKind::Text}};
    for (const QString &name : {QString("合同\"导入\"模板 & <A>'s"), QString(31, u'表')}) {
        sheet.name = name;
        QVERIFY2(Sheet::WriteTemplate(path, sheet).ok(), qPrintable(name));
        QCOMPARE(dump(path).value("name").toString(), name);
    }
    QVERIFY(QFile::remove(path));
    for (const QString &name : {QString(), QString(32, u'表'), QString("a:b"), QString("a\\b"), QString("a/b"),
                                QString("a?b"), QString("a*b"), QString("[a"), QString("a]"), QString("'a"),
                                QString("a'"), QString("a\tb")}) {
        sheet.name = name;
        const auto result = Sheet::WriteTemplate(path, sheet);
        QVERIFY2(result.status == Sheet::ExportStatus::InvalidInput, qPrintable(name));
        QVERIFY(!result.detail.isEmpty());
    }
    QCOMPARE(probe::entries(dir.path()), QStringList());
}

QTEST_MAIN(TestExport)
#include "tst_export.moc"
