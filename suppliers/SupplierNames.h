#pragma once
// The supplier names (名称 of gysb) that several windows offer in a combo box,
// and the find-by-fragment that selects one name in all of them at once.

#include <QString>
#include <QStringList>

class QComboBox;

namespace cg {
class DbConnection;

namespace SupplierNames {

// "select 名称 from gysb": every name in the order returned. ok is false
// when the query failed.
QStringList query(DbConnection &db, bool *ok = nullptr);

// Re-reads the names from the main connection and refills every bound
// combo box. A failed query leaves them as they are.
void refresh();

// Offers the names in combo now and after every refresh (the user's edit
// text is kept), and makes it a target of selectEverywhere().
void bindCombo(QComboBox *combo);

// 名称 of the first supplier whose name contains fragment (LIKE
// '%fragment%'); the empty text when none does.
QString findFirst(DbConnection &db, const QString &fragment);

// In every bound combo box, selects the item equal to name, else the first
// item that begins with it (letter case ignored); a box without such an
// item, and every box when name is empty (nothing was found), is left with
// nothing selected.
void selectEverywhere(const QString &name);

// Enter in a supplier-name combo box: findFirst() on the main connection,
// then selectEverywhere() with what it found. Returns the name found.
QString findEverywhere(const QString &fragment);

// Default terms a supplier brings along.
struct Terms {
    bool found = false;     // gysb has a row of that name
    QString taxRate;        // 税率 of the first such row
    QString paymentTerms;   // 付款方式 of the first such row
};
Terms termsOf(DbConnection &db, const QString &name);

} // namespace SupplierNames
} // namespace cg
