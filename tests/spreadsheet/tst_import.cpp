// The first-sheet reader on workbooks made by openpyxl and by hand, on
// files that are no workbooks, and the import dialogue.
#include "WorkbookProbe.h"
#include "spreadsheet/SheetImport.h"
#include "ui/Seams.h"
#include "ui/SpreadsheetImport.h"

#include <QStringEncoder>
#include <QTemporaryDir>
#include <QTreeWidget>
#include <QtTest>

using namespace cg;
using Sheet::ReadStatus;

namespace {

// Row 1 titles; row 2 one value of each kind; row 3 only its third cell;
// row 4 blank but for spaces, so row 5 is never read.
const QString kTypes = QStringLiteral(R"(
import sys, datetime, openpyxl
wb = openpyxl.Workbook()
ws = wb.active
ws.title = "数据"
ws.append(["状态"] * 16)
ws.append(["未审核", "HT0012", 13800138000, 1234.56, 0.1 + 0.2, datetime.date(2024, 3, 1),
           datetime.time(13, 5), datetime.datetime(2024, 3, 1, 13, 5), True, 0.13, "0012", "=1+1",
           45352, "\u3000a", 45352, "第16列"])
ws["J2"].number_format = "0%"
ws["M2"].number_format = 'yyyy"年"m"月"d"日"'
ws["O2"].number_format = "mm-dd-yy"
ws.append([None, None, "第三列"])
ws.append([" ", "\u3000", None, "  \u3000 "])
ws.append(["空行之后"])
wb.create_sheet("第二页").append(["x"])
wb.save(sys.argv[1])
)");

QString makeWithOpenpyxl(const QTemporaryDir &dir, const QString &script)
{
    const QString path = dir.filePath("openpyxl.xlsx");
    probe::python(script + "\nprint('{}')", {path});
    return path;
}

QStringList padded(QStringList cells, int n)
{
    while (cells.size() < n)
        cells << QString();
    return cells;
}

struct Recording {
    Recording()
    {
        MessageSeam::startRecording();
        FileDialogs::startRecording();
    }
    ~Recording()
    {
        MessageSeam::stopRecording();
        FileDialogs::stopRecording();
    }
};

} // namespace

class TestImport : public QObject {
    Q_OBJECT
private slots:
    void valuesWrittenByOpenpyxl();
    void handMadePackage();
    void blankRowsEndTheData();
    void xmlAsWriterMayPutIt();
    void unreadableFiles();
    void numberAndDateTexts();
    void importDialogue();
};

void TestImport::valuesWrittenByOpenpyxl()
{
    QTemporaryDir dir;
    const auto result = Sheet::ReadFirstSheet(makeWithOpenpyxl(dir, kTypes), 15);
    QVERIFY2(result.ok(), qPrintable(result.detail));
    QCOMPARE(result.rows.size(), 2);
    QCOMPARE(result.rows.at(0),
             QStringList({"未审核", "HT0012", "13800138000", "1234.56", "0.3", "2024-03-01", "13:05:00",
                          "2024-03-01 13:05:00", "TRUE", "13%", "0012", "", "2024-03-01", "\u3000a", "2024-03-01"}));
    QCOMPARE(result.rows.at(1), padded({"", "", "第三列"}, 15));
}

// What openpyxl does not write: a first sheet whose part is not sheet1.xml,
// the 1904 date system, shared strings with runs and a phonetic guide,
// inline rich text, formulas with cached values, rows and cells without
// references, and a missing row that ends the data.
void TestImport::handMadePackage()
{
    QTemporaryDir dir;
    const QByteArray strings =
        "<sst " + probe::kMain + "><si><t>共享</t></si>"
        "<si><r><t>带</t></r><r><rPr><b/></rPr><t>_x000D_回车</t></r><rPh sb=\"0\" eb=\"1\"><t>ピン</t></rPh></si></sst>";
    const QByteArray styles =
        "<styleSheet " + probe::kMain + "><numFmts count=\"1\">"
        "<numFmt numFmtId=\"164\" formatCode=\"[$-804]yyyy&quot;年&quot;m&quot;月&quot;d&quot;日&quot;;@\"/></numFmts>"
        "<cellStyleXfs count=\"1\"><xf numFmtId=\"22\"/></cellStyleXfs>"
        "<cellXfs count=\"4\"><xf numFmtId=\"0\"/><xf numFmtId=\"164\"/><xf numFmtId=\"14\"/><xf numFmtId=\"49\"/></cellXfs>"
        "</styleSheet>";
    const QByteArray data = probe::sheetXml(
        "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>标题</t></is></c></row>"
        "<row><c t=\"s\"><v>0</v></c><c t=\"inlineStr\"><is><r><t>富</t></r><r><rPr><b/></rPr><t>文本</t></r></is></c>"
        "<c s=\"1\"><v>0</v></c><c s=\"2\"><v>1.75</v></c><c t=\"b\"><v>0</v></c><c><f>1+2</f><v>3</v></c>"
        "<c t=\"str\"><f>\"a\"&amp;\"b\"</f><v>ab</v></c><c t=\"e\"><v>#N/A</v></c><c t=\"s\"><v>1</v></c>"
        "<c s=\"3\"><v>13800138000</v></c><c><v>99</v></c></row>"
        "<row><c r=\"C3\"><v>1.5</v></c><c><v>-2</v></c></row>"
        "<row r=\"5\"><c r=\"A5\" t=\"inlineStr\"><is><t>不读</t></is></c></row>");
    const QString path = dir.filePath("hand.xlsx");
    QVERIFY(probe::writeZip(
        path, probe::package("<workbookPr date1904=\"1\"/>",
                             "<sheet name=\"甲\" sheetId=\"3\" r:id=\"rId7\"/><sheet name=\"乙\" sheetId=\"1\" r:id=\"rId1\"/>",
                             probe::rel("rId1", "worksheet", "worksheets/sheet1.xml")
                                 + probe::rel("rId7", "worksheet", "/xl/worksheets/data.xml")
                                 + probe::rel("rId8", "sharedStrings", "sharedStrings.xml")
                                 + probe::rel("rId9", "styles", "styles.xml"),
                             {{"xl/worksheets/data.xml", data},
                              {"xl/worksheets/sheet1.xml", probe::sheetXml("<row r=\"2\"><c t=\"inlineStr\"><is><t>错</t></is></c></row>")},
                              {"xl/sharedStrings.xml", strings},
                              {"xl/styles.xml", styles}})));
    const auto result = Sheet::ReadFirstSheet(path, 10);
    QVERIFY2(result.ok(), qPrintable(result.detail));
    QCOMPARE(result.rows.size(), 2);
    QCOMPARE(result.rows.at(0), QStringList({"共享", "富文本", "1904-01-01", "1904-01-02", "FALSE", "3", "ab", "#N/A",
                                             "带\r回车", "13800138000"}));
    QCOMPARE(result.rows.at(1), padded({"", "", "1.5", "-2"}, 10));
}

void TestImport::blankRowsEndTheData()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("blank.xlsx");
    const auto read = [&](const QByteArray &rows) {
        const bool written = probe::writeZip(path, probe::simplePackage(rows));
        return written ? Sheet::ReadFirstSheet(path, 3) : Sheet::ReadResult{ReadStatus::CannotOpen, "", {}};
    };
    const QByteArray title = "<row r=\"1\"><c r=\"A1\" t=\"inlineStr\"><is><t>标题</t></is></c></row>";
    const QByteArray later = "<row r=\"3\"><c r=\"A3\" t=\"inlineStr\"><is><t>x</t></is></c></row>";

    auto result = read(title + later);  // row 2 absent
    QVERIFY(result.ok());
    QCOMPARE(result.rows.size(), 0);
    result = read(title + "<row r=\"2\"><c r=\"B2\" t=\"inlineStr\"><is><t>\u3000 \u3000</t></is></c></row>" + later);
    QVERIFY(result.ok());
    QCOMPARE(result.rows.size(), 0);
    // A blank cell before the first filled one comes back empty, a blank one
    // after it as it is; columns beyond the count are ignored.
    result = read(title + "<row r=\"2\"><c r=\"A2\" t=\"inlineStr\"><is><t> </t></is></c>"
                          "<c r=\"B2\"><v>7</v></c><c r=\"C2\" t=\"inlineStr\"><is><t>\u3000</t></is></c>"
                          "<c r=\"D2\"><v>8</v></c></row>" + later);
    QVERIFY(result.ok());
    QCOMPARE(result.rows, QList<QStringList>({{"", "7", "\u3000"}, {"x", "", ""}}));
    QVERIFY(Sheet::IsBlank(" \u3000"));
    QVERIFY(!Sheet::IsBlank("\t"));
}

// The worksheet XML as other writers put it: prefixes, single quotes, '>'
// inside a value, comments, processing instructions, CDATA, entities and
// character references, "\r\n" line ends. The same sheet in UTF-16 gives
// the same rows; broken XML is refused.
void TestImport::xmlAsWriterMayPutIt()
{
    QTemporaryDir dir;
    const QString path = dir.filePath("xml.xlsx");
    const QByteArray rows =
        "<x:row r='1'><x:c r='A1' t='inlineStr'><x:is><x:t>标题</x:t></x:is></x:c></x:row>\r\n"
        "<!-- a comment with <tags> --><?pi data?>"
        "<x:row r=\"2\" x14ac:dyDescent=\"a>b\"><x:c r=\"A2\" t=\"inlineStr\"><x:is><x:t>a&amp;b &lt;c&gt; &quot;&apos;</x:t></x:is></x:c>"
        "<x:c r=\"B2\" t=\"inlineStr\"><x:is><x:t><![CDATA[<&>]]>&#x4E2D;&#25991;</x:t></x:is></x:c>"
        "<x:c r=\"C2\" t=\"inlineStr\"><x:is><x:t xml:space=\"preserve\">一\r\n二\r三&#13;</x:t></x:is></x:c>"
        "<x:c r=\"D2\" s=\"0\"/><x:c r=\"E2\"><x:f>1+1</x:f><x:v>2</x:v></x:c></x:row>\r\n"
        "<x:row r=\"3\"><x:c r=\"A3\" t=\"inlineStr\"><x:is><x:t>  </x:t></x:is></x:c></x:row>";
    const auto sheet = [&](const QByteArray &declaration, const QByteArray &data) {
        return declaration + "<x:worksheet xmlns:x=\"http://schemas.openxmlformats.org/spreadsheetml/2006/main\" "
            "xmlns:x14ac=\"http://schemas.microsoft.com/office/spreadsheetml/2009/9/ac\">"
            "<x:sheetData>" + data + "</x:sheetData></x:worksheet>";
    };
    const auto read = [&](const QByteArray &sheetBytes) {
        const auto parts = probe::package("", "<sheet name=\"S\" sheetId=\"1\" r:id=\"rId1\"/>",
                                          probe::rel("rId1", "worksheet", "worksheets/sheet1.xml"),
                                          {{"xl/worksheets/sheet1.xml", sheetBytes}});
        return probe::writeZip(path, parts) ? Sheet::ReadFirstSheet(path, 5)
                                            : Sheet::ReadResult{ReadStatus::CannotOpen, "", {}};
    };
    const QList<QStringList> expected = {{"a&b <c> \"'", "<&>中文", "一\n二\n三\r", "", "2"}};

    auto result = read(sheet("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n", rows));
    QVERIFY2(result.ok(), qPrintable(result.detail));
    QCOMPARE(result.rows, expected);
    const QString utf16 = QString::fromUtf8(sheet("<?xml version=\"1.0\" encoding=\"UTF-16\"?>\r\n", rows));
    QByteArray bytes("\xFF\xFE");
    bytes.append(reinterpret_cast<const char *>(utf16.utf16()), utf16.size() * 2);
    result = read(bytes);
    QVERIFY2(result.ok(), qPrintable(result.detail));
    QCOMPARE(result.rows, expected);
    // Also in GBK, as some Chinese programs write it; a byte pair that is no
    // GBK character is damage.
    QStringEncoder gbk("GBK");
    const QByteArray gbkSheet = gbk.encode(QString::fromUtf8(sheet("<?xml version=\"1.0\" encoding=\"GBK\"?>\r\n", rows)));
    QVERIFY(!gbk.hasError());
    result = read(gbkSheet);
    QVERIFY2(result.ok(), qPrintable(result.detail));
    QCOMPARE(result.rows, expected);
    QByteArray badGbk = gbkSheet;
    badGbk.replace(QByteArray(gbk.encode(QStringLiteral("标题"))), QByteArray("\x81\x20\x81\x20"));
    QCOMPARE(read(badGbk).status, ReadStatus::Damaged);

    for (const QByteArray &broken :
         {QByteArray("<x:row r=\"2\"><x:c t=\"inlineStr\"><x:is><x:t>&nbsp;</x:t></x:is></x:c></x:row>"),
          QByteArray("<x:row r=\"2\"><x:c><x:v>1</x:v></x:row>"),
          QByteArray("<x:row r=\"2\"><x:c t=\"inlineStr\"><x:is><x:t>&#0;</x:t></x:is></x:c></x:row>"),
          QByteArray("<x:row r=\"2\"><x:c r=A2><x:v>1</x:v></x:c></x:row>"),
          QByteArray("<!DOCTYPE x><x:row r=\"2\"/>"),
          QByteArray("<x:row r=\"2\" r=\"2\"><x:c><x:v>1</x:v></x:c></x:row>"),
          QByteArray("<x:row r=\"2\"><y:c><y:v>1</y:v></y:c></x:row>"),
          QByteArray("<x:row r=\"2\"><x:c t=\"inlineStr\"><x:is><x:t>a&amp b</x:t></x:is></x:c></x:row>"),
          QByteArray("<x:row r=\"2\"><x:c t=\"inlineStr\"><x:is><x:t>a]]>b</x:t></x:is></x:c></x:row>")}) {
        result = read(sheet("", broken));
        QVERIFY2(result.status == ReadStatus::Damaged, broken.constData());
        QVERIFY(result.rows.isEmpty());
    }
}

void TestImport::unreadableFiles()
{
    QTemporaryDir dir;
    const auto write = [&](const QString &name, const QByteArray &bytes) {
        QFile f(dir.filePath(name));
        f.open(QIODevice::WriteOnly);
        f.write(bytes);
        return f.fileName();
    };
    const auto zipped = [&](const QString &name, const probe::Parts &parts) {
        const QString path = dir.filePath(name);
        return probe::writeZip(path, parts) ? path : QString();
    };
    const QByteArray title = "<row r=\"1\"><c t=\"inlineStr\"><is><t>t</t></is></c></row>";
    const QString good = zipped("good.xlsx", probe::simplePackage(title));
    QFile goodFile(good);
    QVERIFY(goodFile.open(QIODevice::ReadOnly));
    const QByteArray goodBytes = goodFile.readAll();

    QByteArray bigRows = title;
    for (int r = 2; r < 20000; ++r)
        bigRows += "<row r=\"" + QByteArray::number(r) + "\"><c t=\"inlineStr\"><is><t>填充数据填充数据</t></is></c></row>";
    const QString big = zipped("big.xlsx", probe::simplePackage(bigRows));
    QByteArray corrupt;
    {
        QFile f(big);
        QVERIFY(f.open(QIODevice::ReadOnly));
        corrupt = f.readAll();
        for (qsizetype i = corrupt.size() / 3; i < corrupt.size() / 3 + 64; ++i)
            corrupt[i] = char(~corrupt.at(i));
    }
    QDir(dir.path()).mkdir("folder.xlsx");

    // Small files that unpack into what no workbook holds.
    const auto inRow2 = [&](const QByteArray &cells) {
        return probe::simplePackage(title + "<row r=\"2\">" + cells + "</row>");
    };
    const auto sheetPart = [&](const QByteArray &bytes) {
        return probe::package("", "<sheet name=\"S\" sheetId=\"1\" r:id=\"rId1\"/>",
                              probe::rel("rId1", "worksheet", "worksheets/sheet1.xml"),
                              {{"xl/worksheets/sheet1.xml", bytes}});
    };
    const auto withStrings = [&](const QByteArray &items) {
        return probe::package("", "<sheet name=\"S\" sheetId=\"1\" r:id=\"rId1\"/>",
                              probe::rel("rId1", "worksheet", "worksheets/sheet1.xml")
                                  + probe::rel("rId2", "sharedStrings", "sharedStrings.xml"),
                              {{"xl/worksheets/sheet1.xml", probe::sheetXml(title)},
                               {"xl/sharedStrings.xml", "<sst " + probe::kMain + ">" + items + "</sst>"}});
    };
    QByteArray deepWorkbook = "<workbook " + probe::kMain + ">";
    for (int i = 0; i < 5000; ++i)
        deepWorkbook += "<a>";
    for (int i = 0; i < 5000; ++i)
        deepWorkbook += "</a>";
    deepWorkbook += "<sheets><sheet name=\"S\" sheetId=\"1\" r:id=\"rId1\"/></sheets></workbook>";
    probe::Parts deep = probe::simplePackage(title);
    deep[2].second = deepWorkbook;
    QByteArray manyAttributes = "<c r=\"A2\"";
    for (int i = 0; i < 5000; ++i)
        manyAttributes += " a" + QByteArray::number(i) + "=\"1\"";
    manyAttributes += "><v>1</v></c>";
    QByteArray tooManyRows = title;
    tooManyRows += QByteArray("<row><c><v>1</v></c></row>").repeated(1048576);

    const QList<QPair<QString, ReadStatus>> cases = {
        {dir.filePath("missing.xlsx"), ReadStatus::CannotOpen},
        {dir.filePath("folder.xlsx"), ReadStatus::CannotOpen},
        {write("text.xlsx", "单据状态,名称\n"), ReadStatus::NotWorkbook},
        {write("old.xlsx", QByteArray::fromHex("D0CF11E0A1B11AE1") + QByteArray(512, '\0')), ReadStatus::NotWorkbook},
        {zipped("other.xlsx", {{"word/document.xml", "<w/>"}}), ReadStatus::NotWorkbook},
        {write("cut.xlsx", goodBytes.left(goodBytes.size() / 2)), ReadStatus::Damaged},
        {write("flipped.xlsx", corrupt), ReadStatus::Damaged},
        {zipped("unclosed.xlsx", probe::simplePackage(title + "<row r=\"2\"><c><v>1</v>")), ReadStatus::Damaged},
        {zipped("nosheet.xlsx", probe::package("", "<sheet name=\"S\" sheetId=\"1\" r:id=\"rId1\"/>",
                                               probe::rel("rId1", "worksheet", "worksheets/gone.xml"), {})),
         ReadStatus::Damaged},
        {zipped("badindex.xlsx", probe::simplePackage(title + "<row r=\"2\"><c t=\"s\"><v>5</v></c></row>")),
         ReadStatus::Damaged},
        {zipped("dtd.xlsx", {{"xl/workbook.xml", "<!DOCTYPE x [<!ENTITY a \"aaaa\">]><workbook/>"}}), ReadStatus::Damaged},
        {zipped("xfe.xlsx", inRow2("<c r=\"XFE2\"><v>1</v></c>")), ReadStatus::Damaged},
        {zipped("afterxfd.xlsx", inRow2("<c r=\"XFD2\"><v>1</v></c><c><v>2</v></c>")), ReadStatus::Damaged},
        {zipped("row1048577.xlsx", inRow2("<c r=\"A1048577\"><v>1</v></c>")), ReadStatus::Damaged},
        {zipped("rows.xlsx", probe::simplePackage(tooManyRows)), ReadStatus::Damaged},
        {zipped("utf8.xlsx", inRow2("<c t=\"inlineStr\"><is><t>\xC3\x28</t></is></c>")), ReadStatus::Damaged},
        {zipped("nul.xlsx", inRow2("<c t=\"inlineStr\"><is><t>a" + QByteArray(1, '\0') + "b</t></is></c>")), ReadStatus::Damaged},
        {zipped("u0001.xlsx", inRow2("<c t=\"inlineStr\"><is><t>a\x01</t></is></c>")), ReadStatus::Damaged},
        {zipped("ufffe.xlsx", inRow2("<c t=\"inlineStr\"><is><t>a\xEF\xBF\xBE</t></is></c>")), ReadStatus::Damaged},
        {zipped("ascii.xlsx", sheetPart("<?xml version=\"1.0\" encoding=\"US-ASCII\"?><worksheet " + probe::kMain
                                        + "><sheetData><row r=\"2\"><c t=\"inlineStr\"><is><t>\xE9</t></is></c></row>"
                                          "</sheetData></worksheet>")),
         ReadStatus::Damaged},
        {zipped("noroot.xlsx", sheetPart("<?xml version=\"1.0\"?><chartsheet " + probe::kMain + "/>")), ReadStatus::Damaged},
        {zipped("deep.xlsx", deep), ReadStatus::Damaged},
        {zipped("attributes.xlsx", inRow2(manyAttributes)), ReadStatus::Damaged},
        {zipped("strings.xlsx", withStrings(QByteArray("<si/>").repeated(4 * 1024 * 1024 + 1))), ReadStatus::TooLarge},
        {zipped("stringsize.xlsx", withStrings("<si><t>" + QByteArray(64 * 1024 * 1024 + 1, 'x') + "</t></si>")),
         ReadStatus::TooLarge},
    };
    const QStringList before = probe::entries(dir.path());
    for (const auto &[path, status] : cases) {
        const auto result = Sheet::ReadFirstSheet(path, 2);
        QVERIFY2(result.status == status, qPrintable(path + ": " + result.detail));
        QVERIFY(result.rows.isEmpty());
        QVERIFY(!result.detail.isEmpty());
    }
    QVERIFY(Sheet::ReadFirstSheet(big, 1).ok());
    Sheet::ReadOptions small;
    small.maxXmlBytes = 256 * 1024;
    QCOMPARE(Sheet::ReadFirstSheet(big, 1, small).status, ReadStatus::TooLarge);
    QCOMPARE(probe::entries(dir.path()), before);
}

void TestImport::numberAndDateTexts()
{
    using Sheet::DateKind;
    QCOMPARE(Sheet::NumberText(13800138000.0), "13800138000");
    QCOMPARE(Sheet::NumberText(0.1 + 0.2), "0.3");
    QCOMPARE(Sheet::NumberText(1234.5600000000001), "1234.56");
    QCOMPARE(Sheet::NumberText(-0.0), "0");
    QCOMPARE(Sheet::NumberText(0.000123), "0.000123");
    QCOMPARE(Sheet::NumberText(110105199001011234.0), "1.10105199001011E+17");
    QCOMPARE(Sheet::NumberText(1.5e-12), "1.5E-12");

    QCOMPARE(Sheet::DateText(45352, DateKind::Date, false), "2024-03-01");
    QCOMPARE(Sheet::DateText(59, DateKind::Date, false), "1900-02-28");
    QCOMPARE(Sheet::DateText(60, DateKind::Date, false), "1900-02-29");
    QCOMPARE(Sheet::DateText(61, DateKind::Date, false), "1900-03-01");
    QCOMPARE(Sheet::DateText(0, DateKind::Date, true), "1904-01-01");
    QCOMPARE(Sheet::DateText(43890, DateKind::Date, true), "2024-03-01");
    QCOMPARE(Sheet::DateText(45352.5, DateKind::DateTime, false), "2024-03-01 12:00:00");
    QCOMPARE(Sheet::DateText(45352, DateKind::DateTime, false), "2024-03-01");
    QCOMPARE(Sheet::DateText(45352.999999999, DateKind::Date, false), "2024-03-02");
    QCOMPARE(Sheet::DateText(0.75, DateKind::Time, false), "18:00:00");
    QVERIFY(Sheet::DateText(-1, DateKind::Date, false).isEmpty());
    QVERIFY(Sheet::DateText(0, DateKind::Date, false).isEmpty());
}

void TestImport::importDialogue()
{
    QTemporaryDir dir;
    Recording rec;
    QTreeWidget list;
    new QTreeWidgetItem(&list, QStringList{"旧行"});
    const QStringList titles = {"单据状态", "名称", "电话"};

    // Cancelled: no message, list unchanged.
    QVERIFY(!ImportIntoList(nullptr, &list, titles));
    QCOMPARE(FileDialogs::captions().size(), 1);
    QVERIFY(MessageSeam::shown().isEmpty());
    QCOMPARE(list.topLevelItemCount(), 1);

    // Not a workbook: an error message naming the file, list unchanged.
    const QString bad = dir.filePath("bad.xlsx");
    {
        QFile f(bad);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("not a workbook");
    }
    FileDialogs::setNextPath(bad);
    QVERIFY(!ImportIntoList(nullptr, &list, titles));
    QCOMPARE(MessageSeam::shown().size(), 1);
    QVERIFY(MessageSeam::shown().at(0).text.contains(QDir::toNativeSeparators(bad)));
    QCOMPARE(MessageSeam::shown().at(0).icon, MsgIcon::Error);
    QCOMPARE(list.topLevelItemCount(), 1);

    // A workbook replaces the rows, sheet column k in list column k - 1.
    MessageSeam::clear();
    const QString good = makeWithOpenpyxl(dir, kTypes);
    FileDialogs::setNextPath(good);
    QVERIFY(ImportIntoList(nullptr, &list, titles));
    QVERIFY(MessageSeam::shown().isEmpty());
    QCOMPARE(list.topLevelItemCount(), 2);
    QCOMPARE(list.topLevelItem(0)->text(2), "13800138000");
    QCOMPARE(list.topLevelItem(1)->text(2), "第三列");
    QCOMPARE(ImportRows(nullptr, 2, good)->value(0), QStringList({"未审核", "HT0012"}));
}

QTEST_MAIN(TestImport)
#include "tst_import.moc"
