#include "suppliers/SupplierInputs.h"

#include "masterdata/BasicData.h"
#include "ui/ComboSelect.h"
#include "suppliers/SupplierNames.h"
#include "ui/Shell.h"

#include <QComboBox>
#include <QGridLayout>
#include <QLabel>
#include <QLineEdit>

namespace cg {

SupplierInputs::SupplierInputs(QWidget *parent) : m_parent(parent)
{
    const auto edit = [parent](const QString &objectName) {
        auto *e = new QLineEdit(parent);
        e->setObjectName(objectName);
        return e;
    };
    const auto list = [parent](const QString &objectName) {
        auto *c = new QComboBox(parent);
        c->setObjectName(objectName);
        c->setMinimumContentsLength(10);
        c->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
        return c;
    };
    name = edit(QStringLiteral("编辑框_名称"));
    telephone = edit(QStringLiteral("编辑框_电话"));
    contact = edit(QStringLiteral("编辑框_联系人"));
    address = edit(QStringLiteral("编辑框_地址"));
    taxRate = list(QStringLiteral("组合框_税率"));
    paymentTerms = list(QStringLiteral("组合框_付款方式"));
    BasicData::bindCombo(paymentTerms, BasicData::Kind::PaymentTerms);
    BasicData::bindCombo(taxRate, BasicData::Kind::TaxRate);
    taxRate->setCurrentIndex(-1);
    paymentTerms->setCurrentIndex(-1);
}

QGridLayout *SupplierInputs::layout() const
{
    auto *grid = new QGridLayout;
    grid->setHorizontalSpacing(8);
    grid->setVerticalSpacing(6);
    const struct {
        const char *labelName;
        const char16_t *text;
        QWidget *field;
        int row, pair;
    } fields[] = {
        {"标签_名称", u"名称：", name, 0, 0},          {"标签_电话", u"电话：", telephone, 0, 1},
        {"标签_联系人", u"联系人：", contact, 1, 0},   {"标签_地址", u"地址：", address, 1, 1},
        {"标签_税率", u"税率：", taxRate, 2, 0},       {"标签_付款方式", u"付款方式：", paymentTerms, 2, 1},
    };
    for (const auto &f : fields) {
        QLabel *label = FieldLabel(QString::fromUtf8(f.labelName), QString::fromUtf16(f.text), f.field, m_parent);
        label->setAlignment(Qt::AlignRight | Qt::AlignVCenter);
        grid->addWidget(label, f.row, f.pair * 2);
        grid->addWidget(f.field, f.row, f.pair * 2 + 1);
    }
    grid->setColumnStretch(1, 1);
    grid->setColumnStretch(3, 1);
    return grid;
}

SupplierRow SupplierInputs::values() const
{
    return {QString(),         name->text(),           telephone->text(),    contact->text(),
            address->text(),   taxRate->currentText(), paymentTerms->currentText()};
}

void SupplierInputs::clear()
{
    for (QLineEdit *e : {name, telephone, contact, address})
        e->clear();
    taxRate->setCurrentIndex(-1);
    paymentTerms->setCurrentIndex(-1);
}

QString EmptyFieldMessage(Suppliers::Field field)
{
    switch (field) {
    case Suppliers::Field::Name:
        return QStringLiteral("供应商名称不能为空！");
    case Suppliers::Field::Telephone:
        return QStringLiteral("供应商电话不能为空！");
    case Suppliers::Field::Contact:
        return QStringLiteral("供应商联系人不能为空！");
    case Suppliers::Field::Address:
        return QStringLiteral("供应商地址不能为空！");
    case Suppliers::Field::TaxRate:
        return QStringLiteral("供应商税率不能为空！");
    case Suppliers::Field::PaymentTerms:
        return QStringLiteral("供应商付款方式不能为空！");
    case Suppliers::Field::None:
        break;
    }
    return {};
}

void SelectStoredValue(QComboBox *combo, const QString &value)
{
    if (!SelectByPrefix(combo, value))
        combo->setCurrentIndex(-1);
}

} // namespace cg
