#include "suppliers/Suppliers.h"

#include "data/Db.h"
#include "data/OperationLog.h"
#include "data/RowStore.h"

namespace cg {

namespace {

const QString kColumns = QStringLiteral("单据状态,名称,电话,联系人,地址,税率,付款方式");
const QString kUpdate = QStringLiteral("update gysb set 单据状态=?,名称=?,电话=?,联系人=?,地址=?,税率=?,付款方式=? "
                                       "where 名称=? and 电话=? and 联系人=? and 地址=? and 税率=? and 付款方式=?");

// An empty text is bound as '', never as NULL: a NULL would be stored for an
// empty cell and never be found again by "名称=?".
QString v(const QString &text) { return text.isNull() ? QString(QLatin1String("")) : text; }

QVariantList sixValues(const SupplierRow &r)
{
    return {v(r.name), v(r.telephone), v(r.contact), v(r.address), v(r.taxRate), v(r.paymentTerms)};
}

} // namespace

QStringList SupplierRow::cells() const { return {state, name, telephone, contact, address, taxRate, paymentTerms}; }

SupplierRow SupplierRow::fromCells(const QStringList &c)
{
    return {c.value(0), c.value(1), c.value(2), c.value(3), c.value(4), c.value(5), c.value(6)};
}

Suppliers::Field Suppliers::firstEmpty(const SupplierRow &r)
{
    const std::pair<const QString *, Field> order[] = {
        {&r.name, Field::Name},       {&r.telephone, Field::Telephone}, {&r.contact, Field::Contact},
        {&r.address, Field::Address}, {&r.taxRate, Field::TaxRate},     {&r.paymentTerms, Field::PaymentTerms}};
    for (const auto &[value, field] : order)
        if (value->isEmpty())
            return field;
    return Field::None;
}

bool Suppliers::exists(const QString &name, bool *ok) const
{
    Recordset rs(m_db);
    const bool opened = rs.open(QStringLiteral("select 名称 from gysb where 名称=?"), {v(name)});
    if (ok)
        *ok = opened;
    return opened && !rs.eof();
}

bool Suppliers::find(const QString &fragment, QVector<SupplierRow> &out) const
{
    out.clear();
    RowStore store;
    if (!QueryReader::readAll(m_db, QStringLiteral("select ") + kColumns + QStringLiteral(" from gysb where 名称 LIKE ?"),
                              {QStringLiteral("%") + fragment + QStringLiteral("%")}, &store))
        return false;
    out.reserve(store.rowCount());
    for (int r = 0; r < store.rowCount(); ++r)
        out.append({store.text(r, 0), store.text(r, 1), store.text(r, 2), store.text(r, 3), store.text(r, 4),
                    store.text(r, 5), store.text(r, 6)});
    return true;
}

QString Suppliers::stateOf(const QString &name) const
{
    Recordset rs(m_db);
    if (!rs.open(QStringLiteral("select 单据状态 from gysb where 名称=?"), {v(name)}) || rs.eof())
        return {};
    return rs.text(0);
}

bool Suppliers::load(const QString &name, SupplierRow &row) const
{
    Recordset rs(m_db);
    if (!rs.open(QStringLiteral("select ") + kColumns + QStringLiteral(" from gysb where 名称=?"), {v(name)}) || rs.eof())
        return false;
    row = {rs.text(0), rs.text(1), rs.text(2), rs.text(3), rs.text(4), rs.text(5), rs.text(6)};
    return true;
}

Suppliers::Outcome Suppliers::inUnit(const std::function<Outcome()> &fn)
{
    Outcome outcome = Outcome::Failed;
    const bool committed = inTransaction(m_db, [&] {
        outcome = fn();
        return outcome == Outcome::Done;
    });
    // A commit that failed stored nothing.
    return !committed && outcome == Outcome::Done ? Outcome::Failed : outcome;
}

bool Suppliers::log(const QString &module, const QString &description)
{
    return LogWriter(m_db, m_user).write(QStringLiteral("操作"), description, module);
}

Suppliers::Outcome Suppliers::insert(const SupplierRow &row)
{
    bool ok = false;
    if (exists(row.name, &ok))
        return Outcome::Exists;
    if (!ok)
        return Outcome::Failed;
    if (!m_db.execute(QStringLiteral("insert into gysb(") + kColumns + QStringLiteral(") values(?,?,?,?,?,?,?)"),
                      QVariantList{v(row.state)} + sixValues(row)))
        return Outcome::Failed;
    return Outcome::Done;
}

Suppliers::Outcome Suppliers::add(const SupplierRow &row)
{
    SupplierRow audited = row;
    audited.state = kSupplierAudited;
    return inUnit([&] {
        const Outcome o = insert(audited);
        if (o != Outcome::Done)
            return o;
        return log(kAddModule, addLogText(row)) ? Outcome::Done : Outcome::Failed;
    });
}

Suppliers::BatchResult Suppliers::addBatch(const QList<SupplierRow> &rows)
{
    // One unit holds the stored rows and the log row that counts them. A
    // failed insert ends the unit on some servers, so the unit is then run
    // again with the rows before the failing one only.
    BatchResult failure;   // the failed insert that shortened the batch
    int limit = int(rows.size());
    for (;;) {
        BatchResult result;
        bool insertFailed = false;
        const bool committed = inTransaction(m_db, [&] {
            for (int i = 0; i < limit; ++i) {
                SupplierRow row = rows[i];
                if (row.state == kSupplierNotAudited)
                    row.state = kSupplierAudited;
                const Outcome o = insert(row);
                if (o != Outcome::Done) {
                    result.stop = o;
                    result.stopRow = i + 1;
                    result.stopName = row.name;
                    if (o != Outcome::Exists) {
                        insertFailed = true;
                        return false;
                    }
                    break;
                }
                ++result.stored;
            }
            return log(kAddModule, batchLogText(result.stored));
        });
        if (committed) {
            if (result.stop == Outcome::Done && limit < rows.size()) {
                result.stop = failure.stop;
                result.stopRow = failure.stopRow;
                result.stopName = failure.stopName;
            }
            return result;
        }
        if (insertFailed && result.stopRow - 1 < limit) {
            failure = result;
            limit = result.stopRow - 1;
            continue;
        }
        // Not even the log row could be stored: nothing is.
        BatchResult none;
        none.stop = Outcome::Failed;
        none.stopRow = 1;
        none.stopName = rows.isEmpty() ? QString() : rows.first().name;
        return none;
    }
}

Suppliers::Outcome Suppliers::changeOne(const QString &sql, const QVariantList &params, bool all, int *matching)
{
    if (!m_db.execute(sql, params))
        return Outcome::Failed;
    const int rows = m_db.rowsAffected();
    if (matching)
        *matching = rows;
    if (rows == 0)
        return Outcome::NotFound;
    // Several stored rows with the same values: the statement cannot tell
    // them apart, so it acts on them all only when the caller allowed it.
    return rows == 1 || all ? Outcome::Done : Outcome::Several;
}

Suppliers::Outcome Suppliers::setState(const SupplierRow &row, const QString &state, bool all, int *matching)
{
    return inUnit([&] {
        const Outcome o = changeOne(kUpdate, QVariantList{v(state)} + sixValues(row) + sixValues(row), all, matching);
        if (o != Outcome::Done)
            return o;
        return log(kQueryModule, stateLogText(row, state)) ? Outcome::Done : Outcome::Failed;
    });
}

Suppliers::Outcome Suppliers::remove(const SupplierRow &row, bool all, int *matching)
{
    return inUnit([&] {
        const Outcome o = changeOne(QStringLiteral("delete from gysb where 单据状态=? and 名称=? and 电话=? and 联系人=? "
                                                   "and 地址=? and 税率=? and 付款方式=?"),
                                    QVariantList{v(row.state)} + sixValues(row), all, matching);
        if (o != Outcome::Done)
            return o;
        return log(kQueryModule, removeLogText(row)) ? Outcome::Done : Outcome::Failed;
    });
}

bool Suppliers::nameTakenByOther(const QString &name, const QString &own) const
{
    Recordset rs(m_db);
    if (!rs.open(QStringLiteral("select 名称 from gysb where 名称=?"), {v(name)}))
        return false;
    for (; !rs.eof(); rs.moveNext())
        if (rs.text(0) != own)
            return true;
    return false;
}

Suppliers::Outcome Suppliers::update(SupplierEditMode mode, const SupplierRow &old, const SupplierRow &now, bool all,
                                     int *matching)
{
    return inUnit([&] {
        if (nameTakenByOther(now.name, old.name))
            return Outcome::Exists;
        const Outcome o = changeOne(kUpdate, QVariantList{kSupplierAudited} + sixValues(now) + sixValues(old), all, matching);
        if (o != Outcome::Done)
            return o;
        const QString text = mode == SupplierEditMode::Change ? changeLogText(old, now) : modifyLogText(old, now);
        return log(moduleOf(mode), text) ? Outcome::Done : Outcome::Failed;
    });
}

QString Suppliers::severalQuestion(const QString &action, const QString &name, int count)
{
    QString text = QStringLiteral("发现") + QString::number(count) + QStringLiteral("条完全相同的") + name
        + QStringLiteral("供应商记录，是否要全部") + action;
    return action == QStringLiteral("删除") ? text + QStringLiteral("，删除后无法恢复！") : text + QStringLiteral("？");
}

QString Suppliers::changeLogText(const SupplierRow &old, const SupplierRow &now)
{
    return QStringLiteral("成功变更：（原税率：") + old.taxRate + QStringLiteral("|变更为：") + now.taxRate
        + QStringLiteral("）|（原付款方式：") + old.paymentTerms + QStringLiteral("|变更为：") + now.paymentTerms
        + QStringLiteral("）");
}

QString Suppliers::modifyLogText(const SupplierRow &old, const SupplierRow &now)
{
    const auto part = [](const QString &field, const QString &from, const QString &to) {
        return QStringLiteral("（原") + field + QStringLiteral("：") + from + QStringLiteral("|修改为：") + to
            + QStringLiteral("）");
    };
    return QStringLiteral("成功修改：") + part(QStringLiteral("税率"), old.taxRate, now.taxRate) + QStringLiteral("|")
        + part(QStringLiteral("付款方式"), old.paymentTerms, now.paymentTerms)
        + part(QStringLiteral("名称"), old.name, now.name) + part(QStringLiteral("电话"), old.telephone, now.telephone)
        + part(QStringLiteral("联系人"), old.contact, now.contact)
        + part(QStringLiteral("地址"), old.address, now.address);
}

QString Suppliers::addLogText(const SupplierRow &r)
{
    return QStringLiteral("成功添加数据：")
        + QStringList{r.name, r.telephone, r.contact, r.address, r.taxRate, r.paymentTerms}.join(QStringLiteral("--"));
}

QString Suppliers::stateLogText(const SupplierRow &row, const QString &state)
{
    return (state == kSupplierAudited ? QStringLiteral("成功审核供应商： ") : QStringLiteral("成功反审核供应商： ")) + row.name;
}

QString Suppliers::removeLogText(const SupplierRow &row) { return QStringLiteral("成功删除供应商：") + row.name; }

QString Suppliers::batchLogText(int stored)
{
    return QStringLiteral("成功导入供应商数据，共导入：") + QString::number(stored) + QStringLiteral("行");
}

} // namespace cg
