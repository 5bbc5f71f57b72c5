#include "contracts/ContractEntry.h"
#include "data/AccountSetRecord.h"

#include "data/Db.h"
#include "data/OperationLog.h"

namespace cg {

namespace {
QString dateText(const QDate &date) { return date.toString(QStringLiteral("yyyy-MM-dd")); }
}

ContractEntry::ContractEntry(DbConnection &db, const LoginContext &login)
    : m_db(db), m_login(login), m_store(db, login.contractTable, login.accountSetName)
{
}

bool ContractEntry::isAccountSetOfYear(int year) const
{
    const auto row = FindAccountSetRow(m_db, m_login.chosenAccountSet);
    return leadingInteger(row ? row->value(ZtbColumn::Name) : QString()) == year;
}

ContractEntry::Check ContractEntry::firstMissing(const ContractForm &form, const QList<ProductLine> &lines)
{
    const struct {
        const QString &value;
        const char16_t *control;
        const char16_t *message;
    } fields[] = {
        {form.number, u"编辑框_合同编号", u"合同编号不能为空！"},
        {form.supplier, u"组合框_供应商", u"供应商不能为空！"},
        {form.documentDate, u"编辑框_制单日期", u"制单日期不能为空！"},
        {form.requester, u"组合框_申请人", u"申请人不能为空！"},
        {form.department, u"组合框_申请部门", u"申请部门不能为空！"},
        {form.buyer, u"组合框_采购员", u"采购员不能为空！"},
        {form.amount, u"编辑框_合同总金额", u"合同总金额不能为空！"},
        {form.paymentTerms, u"组合框_付款方式", u"付款方式不能为空！"},
        {form.taxRate, u"组合框_税率", u"税率不能为空！"},
    };
    Check check;
    for (const auto &f : fields) {
        if (f.value.isEmpty()) {
            check.outcome = Outcome::MissingValue;
            check.control = QString::fromUtf16(f.control);
            check.message = QString::fromUtf16(f.message);
            return check;
        }
    }
    static const QString cellMessages[] = {QStringLiteral("购买产品不能为空！"), QStringLiteral("产品数量不能为空！"),
                                           QStringLiteral("计量单位不能为空！")};
    for (int i = 0; i < lines.size(); ++i) {
        const QString cells[] = {lines[i].product, lines[i].quantity, lines[i].unit};
        for (int c = 0; c < 3; ++c) {
            if (cells[c].isEmpty()) {
                check.outcome = Outcome::MissingValue;
                check.control = QStringLiteral("高级表格_产品");
                check.line = i + 1;
                check.column = c;
                check.message = cellMessages[c];
                return check;
            }
        }
    }
    return check;
}

QList<ContractRow> ContractEntry::rowsOf(const ContractForm &form, const QList<ProductLine> &lines)
{
    QList<ContractRow> rows;
    for (int i = 0; i < lines.size(); ++i) {
        ContractRow r;
        r.state = AuditState::Audited;
        r.number = form.number;
        r.subNumber = LineSubNumber(form.number, i + 1);
        r.requester = form.requester;
        r.department = form.department;
        r.buyer = form.buyer;
        r.supplier = form.supplier;
        r.product = lines[i].product;
        r.quantity = lines[i].quantity;
        r.unit = lines[i].unit;
        r.documentDate = form.documentDate;
        r.effectiveDate = dateText(form.effective);
        r.expiryDate = dateText(form.expiry);
        r.amount = form.amount;
        r.paymentTerms = form.paymentTerms;
        r.first = form.first;
        r.second = form.second;
        r.third = form.third;
        r.fourth = form.fourth;
        r.remaining = form.remaining;
        r.taxRate = form.taxRate;
        rows << r;
    }
    return rows;
}

ContractEntry::Outcome ContractEntry::save(const ContractForm &form, const QList<ProductLine> &lines,
                                           const QByteArray &attachment, const QString &proposedNumber,
                                           QString *storedNumber)
{
    if (rowsOf(form, lines).isEmpty())
        return Outcome::Failed;
    Outcome outcome = Outcome::Failed;
    ContractForm stored = form;
    const bool committed = inTransaction(m_db, [&] {
        stored.number = form.number;
        bool ok = false;
        bool taken = m_store.numberExistsForInsert(stored.number, &ok);
        if (!ok)
            return false;
        if (taken && !proposedNumber.isEmpty() && form.number == proposedNumber) {
            // The write lock is held: the next free number stays free until
            // this unit ends.
            stored.number = m_store.nextNumber();
            taken = m_store.numberExistsForInsert(stored.number, &ok);
            if (!ok)
                return false;
        }
        if (taken) {
            outcome = Outcome::DuplicateNumber;
            return false;
        }
        const QList<ContractRow> rows = rowsOf(stored, lines);
        for (const ContractRow &row : rows)
            if (!m_store.insertRow(row))
                return false;
        if (!m_store.writeAttachment(stored.number, attachment))
            return false;
        // The log rows are part of the save: a contract is never stored
        // without them, and none is written for a save that did not happen.
        LogWriter log(m_db, m_login.userName);
        for (const ContractRow &row : rows)
            if (!log.write(QStringLiteral("操作"), logDescription(row), logModule(!attachment.isEmpty())))
                return false;
        outcome = Outcome::Saved;
        return true;
    });
    // A commit that did not go through undid the rows as well.
    if (!committed && outcome == Outcome::Saved)
        outcome = Outcome::Failed;
    if (storedNumber)
        *storedNumber = outcome == Outcome::Saved ? stored.number : QString();
    return outcome;
}

QString ContractEntry::logModule(bool withAttachment)
{
    return QStringLiteral("合同录入|") + (withAttachment ? QStringLiteral("有PDF电子档") : QStringLiteral("无PDF电子档"));
}

QString ContractEntry::logDescription(const ContractRow &r)
{
    return QStringLiteral("合同录入成功：")
        + QStringList{r.number,     r.requester, r.department,   r.buyer,         r.supplier,
                      r.product,    r.quantity,  r.unit,         r.documentDate,  r.effectiveDate,
                      r.expiryDate, r.amount,    r.paymentTerms, r.first,         r.second,
                      r.third,      r.fourth,    r.remaining,    r.taxRate}
              .join(QLatin1Char('|'));
}

QString ContractEntry::message(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Saved:
        return QStringLiteral("添加成功！");
    case Outcome::NotThisYear:
        return QStringLiteral("你选择的账套不是今年的，不能新增合同。");
    case Outcome::DuplicateNumber:
        return QStringLiteral("合同编号重复，添加失败");
    case Outcome::MissingValue:
    case Outcome::Failed:
        break;
    }
    return QStringLiteral("添加失败！");
}

QString ContractEntry::savedMessage(const QString &shownNumber, const QString &storedNumber)
{
    const QString saved = message(Outcome::Saved);
    if (storedNumber == shownNumber)
        return saved;
    return saved + QStringLiteral("\n合同编号 ") + shownNumber + QStringLiteral(" 已被其他工作站使用，本合同的编号为 ")
        + storedNumber + QStringLiteral("。");
}

} // namespace cg
