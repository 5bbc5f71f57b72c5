#include "contracts/ContractLookup.h"

#include "data/Db.h"
#include "data/ListTargets.h"
#include "suppliers/SupplierNames.h"
#include "ui/ComboSelect.h"

#include <QComboBox>
#include <QPointer>

namespace cg::ContractLookup {

namespace {

// The jczlb column of a basic data field; the only column names spliced in.
QString column(LookupField field)
{
    switch (field) {
    case LookupField::Buyer:
        return QStringLiteral("采购员");
    case LookupField::Department:
        return QStringLiteral("申请部门");
    case LookupField::Requester:
        return QStringLiteral("申请人");
    case LookupField::Supplier:
        break;
    }
    return {};
}

QString channel(LookupField field) { return column(field) + QStringLiteral("/选中"); }

} // namespace

QString logText(LookupField field)
{
    switch (field) {
    case LookupField::Buyer:
        return QStringLiteral("查询采购员");
    case LookupField::Department:
        return QStringLiteral("查询申请部门");
    case LookupField::Requester:
        return QStringLiteral("查询申请人");
    case LookupField::Supplier:
        return QStringLiteral("查询供应商名称");
    }
    return {};
}

QString findFirst(DbConnection &db, LookupField field, const QString &fragment)
{
    if (field == LookupField::Supplier)
        return SupplierNames::findFirst(db, fragment);
    const QString c = column(field);
    Recordset rs(db);
    if (!rs.open(QStringLiteral("select ") + c + QStringLiteral(" from jczlb where ") + c + QStringLiteral(" LIKE ?"),
                 {QStringLiteral("%") + fragment + QStringLiteral("%")}))
        return {};
    return rs.text(0);
}

void bindTarget(QComboBox *combo, LookupField field)
{
    if (!combo || field == LookupField::Supplier)
        return;
    QPointer<QComboBox> guard(combo);
    ListTargets::add(channel(field), combo, [guard](const QStringList &found) {
        if (!guard)
            return;
        if (found.value(0).isEmpty() || !SelectByPrefix(guard, found.value(0))) {
            guard->setCurrentIndex(-1);
            if (guard->isEditable())
                guard->setEditText(QString());
        }
    });
}

void selectEverywhere(LookupField field, const QString &value)
{
    if (field == LookupField::Supplier)
        SupplierNames::selectEverywhere(value);
    else
        ListTargets::publish(channel(field), {value});
}

} // namespace cg::ContractLookup
