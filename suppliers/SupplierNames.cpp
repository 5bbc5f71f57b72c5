#include "suppliers/SupplierNames.h"

#include "data/Context.h"
#include "data/Db.h"
#include "data/ListTargets.h"
#include "masterdata/BasicData.h"
#include "ui/ComboSelect.h"

#include <QComboBox>
#include <QPointer>

namespace cg::SupplierNames {

namespace {
// The channel that carries a found name to the bound combo boxes.
const QString kSelection = ListTargets::SupplierName + QStringLiteral("/选中");
}

QStringList query(DbConnection &db, bool *ok)
{
    Recordset rs(db);
    QStringList names;
    const bool opened = rs.open(QStringLiteral("select 名称 from gysb"));
    for (; opened && !rs.eof(); rs.moveNext())
        names << rs.text(0);
    if (ok)
        *ok = opened;
    return names;
}

void refresh()
{
    if (!HasContext())
        return;
    bool ok = false;
    const QStringList names = query(Ctx().db(), &ok);
    if (ok)
        ListTargets::publish(ListTargets::SupplierName, names);
}

void bindCombo(QComboBox *combo)
{
    if (!combo)
        return;
    QPointer<QComboBox> guard(combo);
    ListTargets::add(ListTargets::SupplierName, combo, [guard](const QStringList &names) {
        if (guard)
            BasicData::fillCombo(guard, names);
    });
    ListTargets::add(kSelection, combo, [guard](const QStringList &found) {
        if (!guard)
            return;
        if (found.value(0).isEmpty() || !SelectByPrefix(guard, found.value(0))) {
            guard->setCurrentIndex(-1);
            if (guard->isEditable())
                guard->setEditText(QString());
        }
    });
    // A window that opens refreshes the names in every open window.
    refresh();
}

QString findFirst(DbConnection &db, const QString &fragment)
{
    Recordset rs(db);
    if (!rs.open(QStringLiteral("select 名称 from gysb where 名称 LIKE ?"),
                 {QStringLiteral("%") + fragment + QStringLiteral("%")}))
        return {};
    return rs.text(0);
}

void selectEverywhere(const QString &name)
{
    ListTargets::publish(kSelection, {name});
}

QString findEverywhere(const QString &fragment)
{
    const QString found = HasContext() ? findFirst(Ctx().db(), fragment) : QString();
    selectEverywhere(found);
    return found;
}

Terms termsOf(DbConnection &db, const QString &name)
{
    Terms t;
    Recordset rs(db);
    if (!rs.open(QStringLiteral("select 税率,付款方式 from gysb where 名称=?"), {name}) || rs.eof())
        return t;
    t.found = true;
    t.taxRate = rs.text(0);
    t.paymentTerms = rs.text(1);
    return t;
}

} // namespace cg::SupplierNames
