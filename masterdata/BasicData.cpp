#include "masterdata/BasicData.h"

#include "data/Context.h"
#include "data/Db.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPointer>
#include <QSet>

namespace cg::BasicData {

const QVector<KindInfo> &kinds()
{
    // Note: the item "采购人员" is stored in the column 采购员.
    static const QVector<KindInfo> k = {
        {Kind::Department, QStringLiteral("申请部门"), QStringLiteral("申请部门"), ListTargets::Department},
        {Kind::Buyer, QStringLiteral("采购人员"), QStringLiteral("采购员"), ListTargets::Buyer},
        {Kind::Unit, QStringLiteral("计量单位"), QStringLiteral("计量单位"), ListTargets::Unit},
        {Kind::PaymentTerms, QStringLiteral("付款方式"), QStringLiteral("付款方式"), ListTargets::PaymentTerms},
        {Kind::Requester, QStringLiteral("申请人"), QStringLiteral("申请人"), ListTargets::Requester},
        {Kind::TaxRate, QStringLiteral("税率"), QStringLiteral("税率"), ListTargets::TaxRate},
    };
    return k;
}

const KindInfo &info(Kind kind)
{
    for (const KindInfo &k : kinds())
        if (k.kind == kind)
            return k;
    return kinds().front();
}

const KindInfo *kindByItem(const QString &text)
{
    for (const KindInfo &k : kinds())
        if (k.item == text)
            return &k;
    return nullptr;
}

QStringList itemTexts()
{
    QStringList items;
    for (const KindInfo &k : kinds())
        items << k.item;
    return items;
}

QStringList query(DbConnection &db, Kind kind, bool *ok)
{
    const QString &c = info(kind).column;
    Recordset rs(db);
    QStringList values;
    // Each value once, in the order the rows come from the table (as a rule
    // the order they were added in). A DISTINCT on the server would give
    // whatever order its plan happens to produce: sorted, hashed or scanned.
    const bool opened = rs.open(QStringLiteral("select ") + c + QStringLiteral(" from jczlb where ") + c
                                + QStringLiteral(" is not null"));
    if (opened) {
        QSet<QString> seen;
        for (; !rs.eof(); rs.moveNext()) {
            const QString value = rs.text(0);
            if (!seen.contains(value)) {
                seen.insert(value);
                values << value;
            }
        }
    }
    rs.close();
    if (ok)
        *ok = opened;
    return values;
}

AddResult add(DbConnection &db, Kind kind, const QString &value)
{
    if (value.isEmpty())
        return AddResult::Empty;
    const QString &c = info(kind).column;
    AddResult result = AddResult::Failed;
    const bool committed = inTransaction(db, [&] {
        Recordset rs(db);
        if (!rs.open(QStringLiteral("select ") + c + QStringLiteral(" from jczlb where ") + c + QStringLiteral("=?"),
                     {value}))
            return false;
        const bool exists = !rs.eof() && !rs.text(0).isEmpty();
        rs.close();
        if (exists) {
            result = AddResult::Exists;
            return false;
        }
        QVariantList values;
        for (const KindInfo &k : kinds())
            values << (k.kind == kind ? value : QString(QLatin1String("")));
        if (!db.execute(QStringLiteral("insert into jczlb(申请部门,采购员,计量单位,付款方式,申请人,税率) "
                                       "values(?,?,?,?,?,?)"),
                        values))
            return false;
        result = AddResult::Added;
        return true;
    });
    // A commit that failed undoes the insert.
    if (result == AddResult::Added && !committed)
        result = AddResult::Failed;
    return result;
}

bool remove(DbConnection &db, Kind kind, const QString &value)
{
    const QString &c = info(kind).column;
    // A delete that found nothing (another workstation was first) is no success.
    return db.execute(QStringLiteral("delete from jczlb where ") + c + QStringLiteral("=?"), {value})
        && db.rowsAffected() > 0;
}

void refresh(Kind kind)
{
    if (!HasContext())
        return;
    bool ok = false;
    const QStringList values = query(Ctx().db(), kind, &ok);
    if (ok)
        ListTargets::publish(info(kind).list, values);
}

void refreshAll()
{
    for (const KindInfo &k : kinds())
        refresh(k.kind);
}

void bind(QObject *context, Kind kind, ListTargets::Fill fill)
{
    if (!context || !fill)
        return;
    ListTargets::add(info(kind).list, context, fill);
    // A window that opens refreshes its kinds in every open window.
    if (HasContext())
        refresh(kind);
}

void fillCombo(QComboBox *combo, const QStringList &values)
{
    if (!combo)
        return;
    const QString previous = combo->currentText();
    const bool blocked = combo->blockSignals(true);
    combo->clear();
    combo->addItems(values);
    if (combo->isEditable()) {
        combo->setCurrentIndex(-1);
        combo->setEditText(previous);
    } else {
        // Only a choice that is still offered survives; an empty previous
        // text matches the empty item, which is what "nothing chosen" means.
        combo->setCurrentIndex(previous.isEmpty() ? -1 : values.indexOf(previous));
    }
    combo->blockSignals(blocked);
}

void bindCombo(QComboBox *combo, Kind kind)
{
    if (!combo)
        return;
    QPointer<QComboBox> guard(combo);
    bind(combo, kind, [guard](const QStringList &values) {
        if (guard)
            fillCombo(guard, values);
    });
}

} // namespace BasicData
