#pragma once
// The six supplier inputs the entry window and the change window share:
// 名称, 电话, 联系人, 地址 (edit boxes) and 税率, 付款方式 (lists of the basic
// data), each with its label.

#include "suppliers/Suppliers.h"

class QComboBox;
class QGridLayout;
class QLineEdit;
class QWidget;

namespace cg {

struct SupplierInputs {
    QLineEdit *name = nullptr;
    QLineEdit *telephone = nullptr;
    QLineEdit *contact = nullptr;
    QLineEdit *address = nullptr;
    QComboBox *taxRate = nullptr;
    QComboBox *paymentTerms = nullptr;

    // Creates the controls in parent and offers the payment terms and the
    // tax rates of the basic data in the two lists (refreshed in that order).
    explicit SupplierInputs(QWidget *parent);

    // Labels and fields two pairs to a row: 名称 电话 / 联系人 地址 / 税率 付款方式.
    QGridLayout *layout() const;

    // The six texts as typed; the state is left empty.
    SupplierRow values() const;
    // Empties the four edit boxes and leaves both lists with nothing chosen.
    void clear();

private:
    QWidget *m_parent;
};

// The message that refuses an empty input ("供应商名称不能为空！" …).
QString EmptyFieldMessage(Suppliers::Field field);

// Shows a stored value in a list of the basic data: the item equal to it,
// else the first item that begins with it (letter case ignored), else
// nothing chosen.
void SelectStoredValue(QComboBox *combo, const QString &value);

} // namespace cg
