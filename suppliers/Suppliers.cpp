#include "suppliers/Suppliers.h"

#include "data/Db.h"
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

Suppliers::Outcome Suppliers::insert(const SupplierRow &row)
{
    Outcome outcome = Outcome::Failed;
    const bool committed = inTransaction(m_db, [&] {
        bool ok = false;
        if (exists(row.name, &ok)) {
            outcome = Outcome::Exists;
            return false;
        }
        if (!ok)
            return false;
        if (!m_db.execute(QStringLiteral("insert into gysb(") + kColumns + QStringLiteral(") values(?,?,?,?,?,?,?)"),
                          QVariantList{v(row.state)} + sixValues(row)))
            return false;
        outcome = Outcome::Done;
        return true;
    });
    // A commit that failed stored nothing.
    return !committed && outcome == Outcome::Done ? Outcome::Failed : outcome;
}

Suppliers::Outcome Suppliers::add(const SupplierRow &row)
{
    SupplierRow audited = row;
    audited.state = kSupplierAudited;
    return insert(audited);
}

Suppliers::BatchResult Suppliers::addBatch(const QList<SupplierRow> &rows)
{
    BatchResult result;
    for (const SupplierRow &r : rows) {
        SupplierRow row = r;
        if (row.state == kSupplierNotAudited)
            row.state = kSupplierAudited;
        const Outcome o = insert(row);
        if (o != Outcome::Done) {
            result.stop = o;
            result.stopRow = result.stored + 1;
            result.stopName = row.name;
            break;
        }
        ++result.stored;
    }
    return result;
}

Suppliers::Outcome Suppliers::changeOne(const QString &sql, const QVariantList &params)
{
    if (!m_db.execute(sql, params))
        return Outcome::Failed;
    const int rows = m_db.rowsAffected();
    if (rows == 0)
        return Outcome::NotFound;
    // Two stored rows with the same values: the statement cannot tell them
    // apart, so it changes neither.
    return rows == 1 ? Outcome::Done : Outcome::Failed;
}

Suppliers::Outcome Suppliers::setState(const SupplierRow &row, const QString &state)
{
    Outcome outcome = Outcome::Failed;
    const bool committed = inTransaction(m_db, [&] {
        outcome = changeOne(kUpdate, QVariantList{v(state)} + sixValues(row) + sixValues(row));
        return outcome == Outcome::Done;
    });
    return !committed && outcome == Outcome::Done ? Outcome::Failed : outcome;
}

Suppliers::Outcome Suppliers::remove(const SupplierRow &row)
{
    Outcome outcome = Outcome::Failed;
    const bool committed = inTransaction(m_db, [&] {
        outcome = changeOne(QStringLiteral("delete from gysb where 单据状态=? and 名称=? and 电话=? and 联系人=? "
                                           "and 地址=? and 税率=? and 付款方式=?"),
                            QVariantList{v(row.state)} + sixValues(row));
        return outcome == Outcome::Done;
    });
    return !committed && outcome == Outcome::Done ? Outcome::Failed : outcome;
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

Suppliers::Outcome Suppliers::update(const SupplierRow &old, const SupplierRow &now)
{
    Outcome outcome = Outcome::Failed;
    const bool committed = inTransaction(m_db, [&] {
        if (nameTakenByOther(now.name, old.name)) {
            outcome = Outcome::Exists;
            return false;
        }
        outcome = changeOne(kUpdate, QVariantList{kSupplierAudited} + sixValues(now) + sixValues(old));
        return outcome == Outcome::Done;
    });
    return !committed && outcome == Outcome::Done ? Outcome::Failed : outcome;
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

} // namespace cg
