#include "contracts/ContractImport.h"
#include "contracts/ContractRecord.h"
#include "data/Db.h"
#include "data/OperationLog.h"

#include <array>

namespace cg {

namespace {

const QString kImportModule = QStringLiteral("合同导入");
const QString kEntryModule = QStringLiteral("合同录入");

QString cell(const QStringList &cells, int i) { return i < cells.size() ? cells.at(i) : QString(); }

} // namespace

const QStringList &ContractImport::readerTitles()
{
    // The stored columns in table order, without the attachment.
    static const QStringList titles = ContractColumns().mid(0, ContractColumns().size() - 1);
    return titles;
}

Sheet::TemplateSheet ContractImport::templateSheet()
{
    using Sheet::ColumnKind;
    Sheet::TemplateSheet sheet;
    sheet.name = QStringLiteral("111");
    const struct {
        const char16_t *title;
        double width;
        ColumnKind kind;
    } columns[] = {
        {u"单据状态", 9, ColumnKind::Text},         {u"合同编号", 12, ColumnKind::Text},
        {u"检查号", 14, ColumnKind::Text},          {u"申请人", 7.375, ColumnKind::Text},
        {u"申请部门", 10, ColumnKind::Text},        {u"采购员", 7.375, ColumnKind::Text},
        {u"供应商", 20, ColumnKind::Text},          {u"购买产品/设备名称", 20, ColumnKind::Text},
        {u"设备数量", 9, ColumnKind::Text},         {u"计量单位", 9, ColumnKind::Text},
        {u"制单日期", 11, ColumnKind::Date},        {u"生效日期", 11, ColumnKind::Date},
        {u"失效日期", 11, ColumnKind::Date},        {u"合同总金额(元)", 13, ColumnKind::Text},
        {u"付款方式", 10, ColumnKind::Text},        {u"第一次付款(元)", 12, ColumnKind::Text},
        {u"第二次付款(元)", 12, ColumnKind::Text},  {u"第三次付款(元)", 12, ColumnKind::Text},
        {u"第四次付款(元)", 12, ColumnKind::Text},  {u"剩余尾款(元)", 11, ColumnKind::Text},
        {u"税 率", 7.375, ColumnKind::Text},
    };
    for (const auto &c : columns)
        sheet.columns << Sheet::TemplateColumn{QString::fromUtf16(c.title), c.width, c.kind};

    // Two contracts, every line repeating the header values, each line with
    // the sub-number an entry save would give it.
    const struct {
        const char16_t *number, *requester, *department, *buyer, *supplier, *date, *effective, *expiry, *amount,
            *terms, *first, *second, *third, *fourth, *tax;
        QList<std::array<const char16_t *, 3>> lines;
    } contracts[] = {
        {u"KQLM9001", u"张三", u"生产部", u"李四", u"华东机电有限公司", u"2024-03-01", u"2024-03-05", u"2025-03-04",
         u"12000", u"月结30天", u"6000", u"3000", u"0", u"0", u"13%",
         {{u"数控车床刀具", u"20", u"套"}, {u"液压油 46号", u"8", u"桶"}, {u"安全防护手套", u"200", u"双"}}},
        {u"KQLM9002", u"王五", u"行政部", u"赵六", u"北方办公用品商行", u"2024-03-12", u"2024-03-12", u"2024-12-31",
         u"3560.50", u"现金", u"3560.50", u"0", u"0", u"0", u"6%",
         {{u"激光打印机", u"2", u"台"}, {u"A4 复印纸", u"40", u"箱"}}},
    };
    for (const auto &c : contracts) {
        const auto text = [](const char16_t *s) { return QString::fromUtf16(s); };
        const QString remaining = RemainingBalance(text(c.amount), text(c.first), text(c.second), text(c.third),
                                                   text(c.fourth));
        for (int i = 0; i < c.lines.size(); ++i) {
            sheet.rows << QStringList{AuditState::NotAudited, text(c.number), LineSubNumber(text(c.number), i + 1),
                                      text(c.requester), text(c.department), text(c.buyer), text(c.supplier),
                                      text(c.lines[i][0]), text(c.lines[i][1]), text(c.lines[i][2]), text(c.date),
                                      text(c.effective), text(c.expiry), text(c.amount), text(c.terms),
                                      text(c.first), text(c.second), text(c.third), text(c.fourth), remaining,
                                      text(c.tax)};
        }
    }
    return sheet;
}

ContractImport::ContractImport(DbConnection &db, const LoginContext &login)
    : m_db(db), m_login(login), m_store(db, login.contractTable, login.accountSetName)
{
}

ContractRow ContractImport::rowOf(const QStringList &cells)
{
    ContractRow r;
    const QString state = cell(cells, 0);
    r.state = state.isEmpty() || state == AuditState::NotAudited ? AuditState::Audited : state;
    QString *fields[] = {&r.number,       &r.subNumber,    &r.requester,    &r.department, &r.buyer,
                         &r.supplier,     &r.product,      &r.quantity,     &r.unit,       &r.documentDate,
                         &r.effectiveDate, &r.expiryDate,  &r.amount,       &r.paymentTerms, &r.first,
                         &r.second,       &r.third,        &r.fourth,       &r.remaining,  &r.taxRate};
    for (int i = 0; i < 20; ++i)
        *fields[i] = cell(cells, i + 1);
    return r;
}

QString ContractImport::logDescription(const QStringList &cells)
{
    QStringList values;
    for (int i = 1; i < kColumns; ++i)
        values << cell(cells, i);
    return QStringLiteral("合同导入成功：") + values.join(QLatin1Char('|'));
}

ContractImport::Result ContractImport::save(const QList<QStringList> &rows)
{
    Result result;
    for (int i = 0; i < rows.size(); ++i) {
        const ContractRow row = rowOf(rows.at(i));
        bool duplicate = false;
        // The check and the insert in one unit: no other workstation can
        // store the same sub-number in between.
        const bool stored = inTransaction(m_db, [&] {
            bool ok = false;
            duplicate = m_store.subNumberExistsForInsert(row.subNumber, &ok);
            if (!ok || duplicate)
                return false;
            return m_store.insertRow(row);
        });
        if (!stored) {
            result.outcome = duplicate ? Outcome::DuplicateSubNumber : Outcome::Failed;
            result.row = i + 1;
            result.number = row.number;
            return result;
        }
        ++result.stored;
        WriteLogEntry(m_db, m_login.userName, QStringLiteral("操作"), logDescription(rows.at(i)), kImportModule);
    }
    return result;
}

void ContractImport::logCompleted(int rows)
{
    WriteLogEntry(m_db, m_login.userName, QStringLiteral("操作"),
                  QStringLiteral("合同导入成功，共导入：") + QString::number(rows) + QStringLiteral("行"), kEntryModule);
}

QString ContractImport::message(const Result &result)
{
    const QString row = QString::number(result.row);
    switch (result.outcome) {
    case Outcome::Imported:
        return QStringLiteral("所有数据导入成功，共导入 ") + QString::number(result.stored) + QStringLiteral(" 行！");
    case Outcome::DuplicateSubNumber:
        return QStringLiteral("发现") + result.number + QStringLiteral(" 编号已存在，包括第 ") + row
            + QStringLiteral(" 行后没有导入成功，或者点击[清空]按钮取消本次导入操作！");
    case Outcome::Failed:
        break;
    }
    return QStringLiteral("第 ") + row + QStringLiteral(" 行后没有导入成功，请检查导入的数据后重试！");
}

} // namespace cg
