#include "contracts/ContractSheet.h"
#include "contracts/ContractQuery.h"
#include "contracts/ContractQueryModel.h"
#include "data/Context.h"
#include "data/OperationLog.h"
#include "ui/Printing.h"
#include "ui/Seams.h"
#include "ui/Shell.h"

#include <QDir>
#include <QPdfWriter>
#include <QSaveFile>
#include <QTextCursor>
#include <QTextDocument>
#include <QTextTable>

namespace cg {

namespace {

QTextCharFormat charFormat(qreal pointSize, bool bold = false)
{
    QTextCharFormat f;
    QFont font = ProgramFont(pointSize);
    font.setBold(bold);
    f.setFont(font);
    return f;
}

void heading(QTextCursor &c, const QString &text, qreal pointSize, bool first = false)
{
    QTextBlockFormat b;
    b.setAlignment(Qt::AlignHCenter);
    b.setBottomMargin(6);
    if (first)
        c.setBlockFormat(b);
    else
        c.insertBlock(b);
    c.insertText(text, charFormat(pointSize, true));
}

void paragraph(QTextCursor &c, const QString &text, qreal pointSize = 10, bool bold = false)
{
    QTextBlockFormat b;
    b.setTopMargin(4);
    b.setBottomMargin(4);
    c.insertBlock(b);
    c.insertText(text, charFormat(pointSize, bold));
}

// A ruled table; with titles, they are its first row, repeated on every page
// the table runs over. labelColumns are set in bold on a grey ground.
void table(QTextCursor &c, const QStringList &titles, const QVector<QStringList> &rows,
           const QVector<qreal> &widths, qreal pointSize = 10, const QList<int> &labelColumns = {})
{
    const int columns = int(widths.size());
    const int headerRows = titles.isEmpty() ? 0 : 1;
    QTextTableFormat f;
    f.setBorder(0.5);
    f.setBorderBrush(Qt::black);
    f.setBorderStyle(QTextFrameFormat::BorderStyle_Solid);
    f.setCellPadding(3);
    f.setCellSpacing(0);
    f.setHeaderRowCount(headerRows);
    f.setWidth(QTextLength(QTextLength::PercentageLength, 100));
    QList<QTextLength> constraints;
    for (qreal w : widths)
        constraints << QTextLength(QTextLength::PercentageLength, w);
    f.setColumnWidthConstraints(constraints);
    QTextTable *t = c.insertTable(int(rows.size()) + headerRows, columns, f);

    const QTextCharFormat plain = charFormat(pointSize);
    const QTextCharFormat bold = charFormat(pointSize, true);
    QTextCharFormat grey;
    grey.setBackground(QColor(235, 235, 235));
    for (int col = 0; col < titles.size() && col < columns; ++col) {
        QTextTableCell cell = t->cellAt(0, col);
        cell.setFormat(grey);
        cell.firstCursorPosition().insertText(titles.at(col), bold);
    }
    for (int r = 0; r < rows.size(); ++r) {
        const QStringList &row = rows.at(r);
        for (int col = 0; col < columns && col < row.size(); ++col) {
            QTextTableCell cell = t->cellAt(r + headerRows, col);
            const bool label = labelColumns.contains(col);
            if (label)
                cell.setFormat(grey);
            cell.firstCursorPosition().insertText(row.at(col), label ? bold : plain);
        }
    }
    c.movePosition(QTextCursor::End);
}

std::unique_ptr<QTextDocument> newDocument()
{
    auto doc = std::make_unique<QTextDocument>();
    doc->setDefaultFont(ProgramFont(10));
    doc->setDocumentMargin(0);
    return doc;
}

} // namespace

namespace ContractSheet {

std::unique_ptr<QTextDocument> build(const QString &title, const LoadedContract &contract)
{
    const ContractHeader &h = contract.header;
    auto doc = newDocument();
    QTextCursor c(doc.get());
    heading(c, title, 18, true);
    heading(c, QStringLiteral("采购合同"), 13);

    paragraph(c, QString());
    table(c, {},
          {{QStringLiteral("合同编号"), h.number, QStringLiteral("审核状态"), contract.state},
           {QStringLiteral("供应商"), h.supplier, QStringLiteral("税率"), h.taxRate},
           {QStringLiteral("申请人"), h.requester, QStringLiteral("申请部门"), h.department},
           {QStringLiteral("采购员"), h.buyer, QStringLiteral("付款方式"), h.paymentTerms},
           {QStringLiteral("制单日期"), h.documentDate, QStringLiteral("生效日期"), h.effectiveDate},
           {QStringLiteral("失效日期"), h.expiryDate, QStringLiteral("合同总金额(元)"), h.amount}},
          {18, 32, 18, 32}, 10, {0, 2});

    paragraph(c, QStringLiteral("产品明细"), 11, true);
    QVector<QStringList> lines;
    for (int k = 0; k < contract.lines.size(); ++k) {
        const LoadedLine &l = contract.lines.at(k);
        lines << QStringList{QString::number(k + 1), l.values.product, l.values.quantity, l.values.unit, l.subNumber};
    }
    table(c,
          {QStringLiteral("序号"), QStringLiteral("购买产品/设备名称"), QStringLiteral("设备数量"),
           QStringLiteral("计量单位"), QStringLiteral("检查号")},
          lines, {8, 44, 14, 12, 22});

    paragraph(c, QStringLiteral("付款"), 11, true);
    table(c,
          {QStringLiteral("第一次付款(元)"), QStringLiteral("第二次付款(元)"), QStringLiteral("第三次付款(元)"),
           QStringLiteral("第四次付款(元)"), QStringLiteral("剩余尾款(元)")},
          {{h.first, h.second, h.third, h.fourth, h.remaining}}, {20, 20, 20, 20, 20});

    paragraph(c, QString());
    paragraph(c, QStringLiteral("审核状态：") + contract.state);
    return doc;
}

std::unique_ptr<QTextDocument> buildList(const List &list)
{
    auto doc = newDocument();
    doc->setDefaultFont(ProgramFont(8));
    QTextCursor c(doc.get());
    heading(c, list.title, 16, true);
    heading(c, QStringLiteral("合同查询列表"), 12);
    paragraph(c, list.filter, 9);
    paragraph(c, list.count, 9);
    // Widths after the list's own, so the wide columns stay wide on paper.
    QVector<qreal> widths;
    const QVector<int> &listWidths = ContractQuery::listWidths();
    qreal total = 0;
    for (int col = 0; col < list.headers.size(); ++col)
        total += listWidths.value(col, 80);
    for (int col = 0; col < list.headers.size(); ++col)
        widths << (total > 0 ? 100.0 * listWidths.value(col, 80) / total : 1);
    table(c, list.headers, list.rows, widths, 7);
    return doc;
}

List listOf(const ContractListModel &model, const QString &title, const QString &filter)
{
    List list;
    list.title = title;
    list.filter = filter;
    // Every column the list shows; the id column is hidden.
    const int columns = ListColumn::Attachment + 1;
    for (int col = 0; col < columns; ++col)
        list.headers << model.headerData(col, Qt::Horizontal).toString();
    const int rows = model.rowCount();
    list.rows.reserve(rows);
    for (int r = 0; r < rows; ++r) {
        QStringList row;
        for (int col = 0; col < columns; ++col)
            row << model.data(model.index(r, col)).toString();
        list.rows << row;
    }
    list.count = QStringLiteral("共 %1 行，%2 份合同").arg(rows).arg(model.contractCount());
    return list;
}

int paint(const QTextDocument &document, QPagedPaintDevice &device, bool landscape)
{
    SetA4(device, landscape ? QPageLayout::Landscape : QPageLayout::Portrait);
    return PrintPaged(document, device);
}

bool writePdf(const QTextDocument &document, const QString &path)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    int pages = 0;
    {
        QPdfWriter writer(&file);
        writer.setCreator(kSystemTitle);
        writer.setTitle(document.metaInformation(QTextDocument::DocumentTitle));
        pages = paint(document, writer, false);
    }
    if (pages == 0 || file.error() != QFileDevice::NoError) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

} // namespace ContractSheet

namespace {

const QString kNotFound = QStringLiteral("没有找到该合同，请重新过滤！");

bool loadContract(qint64 lineId, LoadedContract &out)
{
    const LoginContext &lc = Ctx().login;
    return ContractChange(Ctx().db(), lc.contractTable, lc.accountSetName, lc.userName).load(lineId, out)
        == ContractChange::Outcome::Done;
}

} // namespace

bool PrintContract(QWidget *owner, qint64 lineId, const QString &module)
{
    LoadedContract contract;
    if (!loadContract(lineId, contract)) {
        ShowError(kNotFound, owner);
        return false;
    }
    const std::unique_ptr<QTextDocument> doc = ContractSheet::build(PrintSettings::title(), contract);
    const QTextDocument *sheet = doc.get();
    PrintPreview::Job job;
    job.title = WindowTitle(QStringLiteral("打印合同"));
    job.paint = [sheet](QPagedPaintDevice &device) { PrintPaged(*sheet, device); };
    if (!PrintPreview::show(owner, job))
        return false;
    WriteLogEntry(QStringLiteral("操作"), QStringLiteral("打印合同：") + contract.header.number, module);
    return true;
}

bool SaveContractPdf(QWidget *owner, qint64 lineId, const QString &module)
{
    LoadedContract contract;
    if (!loadContract(lineId, contract)) {
        ShowError(kNotFound, owner);
        return false;
    }
    const QString path = FileDialogs::saveFile(owner, QStringLiteral("保存为PDF"), QStringLiteral("PDF文件 (*.pdf)"),
                                               contract.header.number + QStringLiteral(".pdf"));
    if (path.isEmpty())
        return false;
    const std::unique_ptr<QTextDocument> doc = ContractSheet::build(PrintSettings::title(), contract);
    doc->setMetaInformation(QTextDocument::DocumentTitle, contract.header.number);
    if (!ContractSheet::writePdf(*doc, path)) {
        ShowError(QStringLiteral("保存失败！"), owner);
        return false;
    }
    WriteLogEntry(QStringLiteral("操作"),
                  QStringLiteral("合同保存为PDF：") + contract.header.number + QStringLiteral(" → ")
                      + QDir::toNativeSeparators(path),
                  module);
    ShowInfo(QStringLiteral("保存成功！"), owner);
    return true;
}

bool PrintContractList(QWidget *owner, const ContractListModel &model, const QString &filter, const QString &module)
{
    const ContractSheet::List list = ContractSheet::listOf(model, PrintSettings::title(), filter);
    const std::unique_ptr<QTextDocument> doc = ContractSheet::buildList(list);
    const QTextDocument *sheet = doc.get();
    PrintPreview::Job job;
    job.title = WindowTitle(QStringLiteral("打印列表"));
    job.landscape = true;
    job.paint = [sheet](QPagedPaintDevice &device) { PrintPaged(*sheet, device); };
    if (!PrintPreview::show(owner, job))
        return false;
    WriteLogEntry(QStringLiteral("操作"),
                  QStringLiteral("打印合同列表：") + QString::number(list.rows.size()) + QStringLiteral(" 行"), module);
    return true;
}

} // namespace cg
