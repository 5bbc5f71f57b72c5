#include "contracts/ContractChange.h"
#include "contracts/ContractQuery.h"
#include "contracts/ContractRecord.h"
#include "data/Db.h"
#include "data/OperationLog.h"

namespace cg {

QVector<qint64> LoadedContract::lineIds() const
{
    QVector<qint64> ids;
    for (const LoadedLine &l : lines)
        ids << l.id;
    return ids;
}

namespace {

QString prefixOf(const QString &set, const QString &number)
{
    return QStringLiteral("[账套：") + set + QStringLiteral("|合同编号：") + number;
}

} // namespace

ContractChange::ContractChange(DbConnection &db, const QString &table, const QString &accountSet,
                               const QString &user)
    : m_db(db), m_table(table), m_set(accountSet), m_user(user)
{
}

QString ContractChange::renamedSubNumber(const QString &subNumber, const QString &oldNumber,
                                         const QString &newNumber)
{
    if (oldNumber.isEmpty() || oldNumber == newNumber || !subNumber.startsWith(oldNumber))
        return subNumber;
    return newNumber + subNumber.mid(oldNumber.size());
}

QString ContractChange::module(ChangeMode mode)
{
    return mode == ChangeMode::Change ? QStringLiteral("合同变更") : QStringLiteral("合同修改");
}

ContractChange::Outcome ContractChange::load(qint64 id, LoadedContract &out) const
{
    out = LoadedContract();
    bool found = false;
    const QString number = ContractQuery(m_db, m_table).numberOf(id, &found);
    if (!found)
        return Outcome::NotFound;
    Recordset rs(m_db);
    if (!rs.open(QStringLiteral("select * from ") + m_table + QStringLiteral(" where 合同编号=? order by id"), {number}))
        return Outcome::Failed;
    if (rs.eof())
        return Outcome::NotFound;
    out.state = rs.text(QStringLiteral("单据状态"));
    ContractHeader &h = out.header;
    h.number = rs.text(QStringLiteral("合同编号"));
    h.documentDate = rs.text(QStringLiteral("制单日期"));
    h.requester = rs.text(QStringLiteral("申请人"));
    h.department = rs.text(QStringLiteral("申请部门"));
    h.buyer = rs.text(QStringLiteral("采购员"));
    h.supplier = rs.text(QStringLiteral("供应商"));
    h.effectiveDate = rs.text(QStringLiteral("生效日期"));
    h.expiryDate = rs.text(QStringLiteral("失效日期"));
    h.amount = rs.text(QStringLiteral("合同金额"));
    h.paymentTerms = rs.text(QStringLiteral("付款方式"));
    h.first = rs.text(QStringLiteral("第一次付款"));
    h.second = rs.text(QStringLiteral("第二次付款"));
    h.third = rs.text(QStringLiteral("第三次付款"));
    h.fourth = rs.text(QStringLiteral("第四次付款"));
    h.remaining = rs.text(QStringLiteral("剩余尾款"));
    h.taxRate = rs.text(QStringLiteral("税率"));
    for (; !rs.eof(); rs.moveNext()) {
        LoadedLine line;
        line.id = rs.number(QStringLiteral("id"));
        line.subNumber = rs.text(QStringLiteral("合同子编号"));
        line.values = {rs.text(QStringLiteral("产品")), rs.text(QStringLiteral("设备数量")),
                       rs.text(QStringLiteral("计量单位"))};
        out.lines << line;
    }
    return Outcome::Done;
}

ContractChange::Outcome ContractChange::save(ChangeMode mode, const LoadedContract &loaded,
                                             const ContractHeader &current, const QVector<LineValues> &lines,
                                             const PendingAttachment &attachment, const TouchedFields &touched)
{
    if (lines.size() != loaded.lines.size() || loaded.lines.isEmpty())
        return Outcome::Failed;
    const bool modify = mode == ChangeMode::Modify;
    const QString &audited = AuditState::Audited;
    const QString &oldNumber = loaded.header.number;
    const QString newNumber = modify ? current.number : oldNumber;
    QStringList subNumbers;
    for (const LoadedLine &was : loaded.lines)
        subNumbers << (modify ? renamedSubNumber(was.subNumber, oldNumber, newNumber) : was.subNumber);
    const QStringList entries = logDescriptions(mode, m_set, loaded, current, lines, touched, attachment);
    const QString module = ContractChange::module(mode);
    Outcome outcome = Outcome::Failed;
    const bool committed = inTransaction(m_db, [&] {
        const QVector<qint64> ids = loaded.lineIds();
        if (newNumber != oldNumber) {
            // Lines of two contracts never end up under one number, nor two
            // lines under one sub-number.
            Recordset rs(m_db);
            if (!rs.open(QStringLiteral("select id from ") + m_table + QStringLiteral(" where 合同编号=?"), {newNumber}))
                return false;
            for (; !rs.eof(); rs.moveNext()) {
                if (!ids.contains(rs.number(0))) {
                    outcome = Outcome::NumberTaken;
                    return false;
                }
            }
            for (int k = 0; k < subNumbers.size(); ++k) {
                const QString &sub = subNumbers.at(k);
                if (sub == loaded.lines.at(k).subNumber)
                    continue;
                if (!rs.open(QStringLiteral("select id from ") + m_table + QStringLiteral(" where 合同子编号=?"), {sub}))
                    return false;
                for (; !rs.eof(); rs.moveNext()) {
                    if (!ids.contains(rs.number(0))) {
                        outcome = Outcome::NumberTaken;
                        return false;
                    }
                }
            }
        }
        // Change mode alters the instalments only; the other values stay
        // exactly as stored.
        const QString sql = modify
            ? QStringLiteral("update ") + m_table
                + QStringLiteral(" set 单据状态=?,合同编号=?,合同子编号=?,申请人=?,申请部门=?,采购员=?,供应商=?,"
                                 "产品=?,设备数量=?,计量单位=?,制单日期=?,生效日期=?,失效日期=?,合同金额=?,"
                                 "付款方式=?,第一次付款=?,第二次付款=?,第三次付款=?,第四次付款=?,剩余尾款=?,税率=? "
                                 "where id=? and 合同编号=? and 单据状态<>?")
            : QStringLiteral("update ") + m_table
                + QStringLiteral(" set 单据状态=?,第一次付款=?,第二次付款=?,第三次付款=?,第四次付款=?,剩余尾款=? "
                                 "where id=? and 合同编号=?");
        for (int k = 0; k < lines.size(); ++k) {
            const LoadedLine &was = loaded.lines.at(k);
            QVariantList params;
            if (modify) {
                const LineValues &v = lines.at(k);
                params = {audited, current.number, subNumbers.at(k), current.requester, current.department,
                          current.buyer, current.supplier, v.product, v.quantity, v.unit, current.documentDate,
                          current.effectiveDate, current.expiryDate, current.amount, current.paymentTerms,
                          current.first, current.second, current.third, current.fourth, current.remaining,
                          current.taxRate, was.id, oldNumber, audited};
            } else {
                params = {audited, current.first, current.second, current.third, current.fourth,
                          current.remaining, was.id, oldNumber};
            }
            if (!m_db.execute(sql, params))
                return false;
            if (m_db.rowsAffected() != 1) {
                outcome = Outcome::Stale;
                return false;
            }
        }
        if (modify && attachment.deleted()) {
            // Cleared means an empty value on every row, not NULL.
            if (!m_db.execute(QStringLiteral("update ") + m_table + QStringLiteral(" set 附件=? where 合同编号=?"),
                              {QByteArray(""), newNumber}))
                return false;
        }
        if (modify && attachment.changed() && !attachment.bytes().isEmpty()) {
            Recordset rs(m_db);
            if (!rs.open(QStringLiteral("select min(id) from ") + m_table + QStringLiteral(" where 合同编号=?"),
                         {newNumber})
                || rs.eof())
                return false;
            if (!putAttachment(rs.number(0), attachment.bytes(), outcome))
                return false;
        }
        // The log rows belong to the change: both are stored or neither.
        LogWriter log(m_db, m_user);
        for (const QString &entry : entries)
            if (!log.write(QStringLiteral("操作"), entry, module))
                return false;
        outcome = Outcome::Done;
        return true;
    });
    if (!committed && outcome == Outcome::Done)
        outcome = Outcome::Failed;
    return outcome;
}

bool ContractChange::putAttachment(qint64 id, const QByteArray &bytes, Outcome &outcome)
{
    if (!m_db.execute(QStringLiteral("update ") + m_table + QStringLiteral(" set 附件=? where id=?"), {bytes, id}))
        return false;
    if (m_db.rowsAffected() != 1) {
        outcome = Outcome::Stale;   // the row went meanwhile
        return false;
    }
    return true;
}

ContractChange::Outcome ContractChange::deleteLine(const LoadedContract &loaded, int index)
{
    if (index < 0 || index >= loaded.lines.size())
        return Outcome::NotFound;
    const LoadedLine &line = loaded.lines.at(index);
    const QString &number = loaded.header.number;
    Outcome outcome = Outcome::Failed;
    const bool committed = inTransaction(m_db, [&] {
        Recordset rs(m_db);
        if (!rs.open(QStringLiteral("select id from ") + m_table + QStringLiteral(" where 合同编号=? order by id"), {number}))
            return false;
        QVector<qint64> ids;
        for (; !rs.eof(); rs.moveNext())
            ids << rs.number(0);
        rs.close();
        if (!ids.contains(line.id)) {
            outcome = Outcome::Stale;
            return false;
        }
        if (ids.first() == line.id && ids.size() > 1) {
            // The attachment lives on the contract's first row: hand it on.
            if (!rs.open(QStringLiteral("select 附件 from ") + m_table + QStringLiteral(" where id=?"), {line.id}))
                return false;
            const QByteArray bytes = rs.bytes(QStringLiteral("附件"));
            rs.close();
            if (!bytes.isEmpty() && !putAttachment(ids.at(1), bytes, outcome))
                return false;
        }
        if (!m_db.execute(QStringLiteral("delete from ") + m_table
                              + QStringLiteral(" where id=? and 合同编号=? and 单据状态<>?"),
                          {line.id, number, AuditState::Audited}))
            return false;
        if (m_db.rowsAffected() != 1) {
            outcome = Outcome::Stale;
            return false;
        }
        outcome = Outcome::Done;
        return true;
    });
    if (!committed && outcome == Outcome::Done)
        outcome = Outcome::Failed;
    return outcome;
}

bool ContractChange::hasAttachment(const QString &number) const
{
    return ContractStore(m_db, m_table, m_set).hasAttachment(number);
}

QStringList ContractChange::logDescriptions(ChangeMode mode, const QString &accountSet, const LoadedContract &loaded,
                                            const ContractHeader &current, const QVector<LineValues> &lines,
                                            const TouchedFields &touched, const PendingAttachment &attachment)
{
    const bool modify = mode == ChangeMode::Modify;
    const QString prefix = prefixOf(accountSet, modify ? current.number : loaded.header.number);
    const QString to = modify ? QStringLiteral("|修改为：") : QStringLiteral("|变更为：");
    const ContractHeader &was = loaded.header;
    QStringList out;
    if (modify && attachment.deleted())
        out << prefix + QStringLiteral("|原合同附件被删除]");
    if (modify && attachment.changed())
        out << prefix + QStringLiteral("|原合同附件被修改]");

    auto entry = [&](ChangeField f, const QString &label, const QString &before, const QString &after) {
        if (touched.contains(f))
            out << prefix + label + before + to + after + QLatin1Char(']');
    };
    auto perLine = [&](ChangeField f, const QString &label, QString LineValues::*member) {
        if (!touched.contains(f))
            return;
        for (int k = 0; k < lines.size() && k < loaded.lines.size(); ++k)
            out << prefix + label + loaded.lines.at(k).values.*member + to + lines.at(k).*member + QLatin1Char(']');
    };
    if (modify) {
        entry(ChangeField::Requester, QStringLiteral("|原申请人："), was.requester, current.requester);
        entry(ChangeField::Supplier, QStringLiteral("|原供应商："), was.supplier, current.supplier);
        perLine(ChangeField::Product, QStringLiteral("|原购买产品："), &LineValues::product);
        perLine(ChangeField::Quantity, QStringLiteral("|原设备数量："), &LineValues::quantity);
        entry(ChangeField::Department, QStringLiteral("|原申请部门："), was.department, current.department);
        perLine(ChangeField::Unit, QStringLiteral("|原计量单位："), &LineValues::unit);
        entry(ChangeField::EffectiveDate, QStringLiteral("|原生效日期："), was.effectiveDate, current.effectiveDate);
        entry(ChangeField::ExpiryDate, QStringLiteral("|原失效日期："), was.expiryDate, current.expiryDate);
        entry(ChangeField::Buyer, QStringLiteral("|原采购员："), was.buyer, current.buyer);
        entry(ChangeField::Amount, QStringLiteral("|原合同总金额："), was.amount, current.amount);
        entry(ChangeField::PaymentTerms, QStringLiteral("|原付款方式："), was.paymentTerms, current.paymentTerms);
        entry(ChangeField::TaxRate, QStringLiteral("|原税率："), was.taxRate, current.taxRate);
    }
    entry(ChangeField::First, QStringLiteral("|原第一次付款："), was.first, current.first);
    entry(ChangeField::Second, QStringLiteral("|原第二次付款："), was.second, current.second);
    entry(ChangeField::Third, QStringLiteral("|原第三次付款："), was.third, current.third);
    entry(ChangeField::Fourth, QStringLiteral("|原第四次付款："), was.fourth, current.fourth);
    entry(ChangeField::Remaining, QStringLiteral("|原剩余尾款："), was.remaining, current.remaining);
    return out;
}

namespace {
AttachmentEditor &editorHook()
{
    static AttachmentEditor e;
    return e;
}
AttachmentPreview &previewHook()
{
    static AttachmentPreview p;
    return p;
}
} // namespace

void SetAttachmentEditor(AttachmentEditor editor) { editorHook() = std::move(editor); }
AttachmentEditor attachmentEditor() { return editorHook(); }
void SetAttachmentPreview(AttachmentPreview preview) { previewHook() = std::move(preview); }
AttachmentPreview attachmentPreview() { return previewHook(); }

} // namespace cg
