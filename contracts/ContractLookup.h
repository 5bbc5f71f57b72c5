#pragma once
// Enter in one of the contract entry window's combo boxes 采购员, 申请部门,
// 申请人 or 供应商 looks the typed fragment up and selects the first match in
// the combo boxes that are targets of that field: the entry window's own,
// and for 供应商 every supplier-name box bound with SupplierNames::bindCombo
// (the supplier query window's as well). The change/modify window's boxes
// are no targets, so a lookup typed in one window never changes a contract
// being changed or modified in another.

#include <QString>

class QComboBox;

namespace cg {
class DbConnection;

enum class LookupField { Buyer, Department, Requester, Supplier };

namespace ContractLookup {

// The log text of a lookup in the entry window ("查询采购员" …).
QString logText(LookupField field);

// The value of the first row whose field contains fragment (LIKE
// '%fragment%'): jczlb for the three basic data fields, gysb.名称 for the
// supplier. The empty text when no row matches.
QString findFirst(DbConnection &db, LookupField field, const QString &fragment);

// Makes combo a target of lookups of that field for as long as it lives.
// Supplier combo boxes bound with SupplierNames::bindCombo are targets
// already.
void bindTarget(QComboBox *combo, LookupField field);

// Selects, in every target of the field, the first item that begins with
// value (letter case ignored); a target without such an item, and every
// target when value is empty (nothing was found), is left with nothing
// selected.
void selectEverywhere(LookupField field, const QString &value);

} // namespace ContractLookup
} // namespace cg
