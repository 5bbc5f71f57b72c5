#include "contracts/ContractImport.h"
#include "contracts/ContractRecord.h"
#include "data/Db.h"
#include "data/OperationLog.h"

#include <QVariantList>

#include <array>

namespace cg {

namespace {

const QString kImportModule = QStringLiteral("合同导入");
const QString kEntryModule = QStringLiteral("合同录入");

// An empty or missing cell is the empty text, never NULL (as the entry
// window stores an empty field).
QString cell(const QStringList &cells, int i)
{
    const QString text = i < cells.size() ? cells.at(i) : QString();
    return text.isNull() ? QStringLiteral("") : text;
}

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

ContractImport::Result ContractImport::save(const QList<QStringList> &rows, const Progress &progress)
{
    Result result;
    const int total = int(rows.size());
    for (int from = 0; from < total; from += kBatchRows) {
        const int to = qMin(total, from + kBatchRows);
        int stoppedAt = to;
        const Stop stop = storeBatch(rows, from, to, &stoppedAt);
        result.stored = stoppedAt;
        if (progress)
            progress(result.stored, total);
        if (stop != Stop::None) {
            result.outcome = stop == Stop::Duplicate ? Outcome::DuplicateSubNumber : Outcome::Failed;
            result.row = stoppedAt + 1;
            result.number = rowOf(rows.at(stoppedAt)).number;
            return result;
        }
    }
    return result;
}

QSet<QString> ContractImport::storedSubNumbers(const QList<QStringList> &rows, int from, int to, bool *ok,
                                                bool *exact)
{
    *ok = false;
    *exact = true;
    QSet<QString> asked;
    QVariantList values;
    QStringList marks;
    for (int i = from; i < to; ++i) {
        const QString sub = cell(rows.at(i), 2);
        if (sub.isEmpty() || asked.contains(sub))
            continue;
        asked.insert(sub);
        values << sub;
        marks << QStringLiteral("?");
    }
    QSet<QString> found;
    if (values.isEmpty()) {
        *ok = true;
        return found;
    }
    if (m_store.table().isEmpty())
        return found;
    Recordset rs(m_db);
    if (!rs.open(QStringLiteral("select 合同子编号 from ") + m_store.table() + QStringLiteral(" where 合同子编号 in (")
                     + marks.join(QLatin1Char(',')) + QLatin1Char(')'),
                 values))
        return found;
    for (; !rs.eof(); rs.moveNext()) {
        const QString sub = rs.text(0);
        if (!asked.contains(sub))
            *exact = false;
        found.insert(sub);
    }
    *ok = true;
    return found;
}

ContractImport::Stop ContractImport::storeBatch(const QList<QStringList> &rows, int from, int to, int *stoppedAt)
{
    *stoppedAt = from;
    if (from >= to)
        return Stop::None;
    // SQL Server keeps its update lock per row asked, and its comparison
    // ignores case, which a set of texts here would not: row by row there.
    if (m_db.backend() == Backend::SqlServer)
        return storeRowByRow(rows, from, to, stoppedAt);
    {
        WriteUnit unit(m_db);
        if (!unit.isOpen())
            return Stop::Failed;
        bool ok = false, exact = true;
        const QSet<QString> stored = storedSubNumbers(rows, from, to, &ok, &exact);
        if (!ok)
            return Stop::Failed;
        if (exact) {
            // The rows up to the first whose sub-number is stored or came
            // earlier in the batch, written with their log rows at once.
            Stop stop = Stop::None;
            int end = to;
            QSet<QString> seen;
            QList<ContractRow> lines;
            QStringList descriptions;
            for (int i = from; i < to; ++i) {
                const ContractRow row = rowOf(rows.at(i));
                if (!row.subNumber.isEmpty()) {
                    if (stored.contains(row.subNumber) || seen.contains(row.subNumber)) {
                        stop = Stop::Duplicate;
                        end = i;
                        break;
                    }
                    seen.insert(row.subNumber);
                }
                lines << row;
                descriptions << logDescription(rows.at(i));
            }
            if (m_store.insertRows(lines)
                && LogWriter(m_db, m_login.userName).writeAll(QStringLiteral("操作"), descriptions, kImportModule)) {
                if (!unit.commit())
                    return Stop::Failed;   // nothing of the batch is stored
                *stoppedAt = end;
                return stop;
            }
        }
        // A row that cannot be stored, or a server that compares otherwise:
        // the batch again, one row at a time.
        unit.rollback();
    }
    return storeRowByRow(rows, from, to, stoppedAt);
}

ContractImport::Stop ContractImport::storeRowByRow(const QList<QStringList> &rows, int from, int to, int *stoppedAt)
{
    *stoppedAt = from;
    Stop stop = Stop::None;
    int end = to;
    {
        WriteUnit unit(m_db);
        if (!unit.isOpen())
            return Stop::Failed;
        LogWriter log(m_db, m_login.userName);
        for (int i = from; i < to; ++i) {
            const ContractRow row = rowOf(rows.at(i));
            if (!row.subNumber.isEmpty()) {
                // Asked inside the unit: the rows this unit stored count.
                bool asked = false;
                const bool duplicate = m_store.subNumberExistsForInsert(row.subNumber, &asked);
                if (!asked || duplicate) {
                    stop = asked ? Stop::Duplicate : Stop::Failed;
                    end = i;
                    break;
                }
            }
            if (!m_store.insertRow(row)
                || !log.write(QStringLiteral("操作"), logDescription(rows.at(i)), kImportModule)) {
                // The unit may be spoilt (PostgreSQL ends it at a failed
                // statement): the rows before this one go in on their own.
                unit.rollback();
                if (i == from)
                    return Stop::Failed;
                const Stop again = storeBatch(rows, from, i, stoppedAt);
                if (again != Stop::None)
                    return again;
                *stoppedAt = i;
                return Stop::Failed;
            }
        }
        if (!unit.commit())
            return Stop::Failed;
    }
    *stoppedAt = end;
    return stop;
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
