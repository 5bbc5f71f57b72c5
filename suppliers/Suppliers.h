#pragma once
// Suppliers (rows of gysb) apart from the windows: the name test, adding one
// supplier or a batch, audit and unaudit, delete, and the update behind
// change and modify.
//
// gysb has no key column: a row is found by its name, or by all its values
// together. Every statement that should touch one row checks that it did;
// a row that is no longer there as the caller saw it (another workstation
// changed or deleted it) comes back as NotFound and nothing is written.

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>

namespace cg {
class DbConnection;

inline const QString kSupplierAudited = QStringLiteral("已审核");
inline const QString kSupplierNotAudited = QStringLiteral("未审核");

// The two ways the change window edits a supplier: change (变更) edits the
// tax rate and the payment terms of any supplier, modify (修改) all six
// values of an unaudited one.
enum class SupplierEditMode { Change, Modify };

// One row of gysb, in the table's column order.
struct SupplierRow {
    QString state;          // 单据状态
    QString name;           // 名称
    QString telephone;      // 电话
    QString contact;        // 联系人
    QString address;        // 地址
    QString taxRate;        // 税率
    QString paymentTerms;   // 付款方式

    // The seven values in column order, and back (missing cells are empty).
    QStringList cells() const;
    static SupplierRow fromCells(const QStringList &cells);
    bool operator==(const SupplierRow &) const = default;
};

class Suppliers {
public:
    enum class Outcome {
        Done,
        Exists,     // the name belongs to a supplier already (another one, for an update)
        NotFound,   // no row holds the values the caller gave: nothing was written
        Failed      // the database refused; nothing was written
    };

    // The inputs single entry and the change window require, in the order
    // they are checked.
    enum class Field { None, Name, Telephone, Contact, Address, TaxRate, PaymentTerms };
    // The first of the six inputs that is empty (length 0); None when all
    // have content. Blanks count as content.
    static Field firstEmpty(const SupplierRow &row);

    explicit Suppliers(DbConnection &db) : m_db(db) {}

    // "select 名称 from gysb where 名称=?" returned a row. ok is false when
    // the query failed (the name then counts as not found).
    bool exists(const QString &name, bool *ok = nullptr) const;

    // Every supplier whose name contains fragment (LIKE '%fragment%'; the
    // empty fragment lists every supplier with a name), in the order the
    // database returns them. False when the query failed.
    bool find(const QString &fragment, QVector<SupplierRow> &out) const;

    // 单据状态 of the first row of that name; empty when there is none.
    QString stateOf(const QString &name) const;
    bool isAudited(const QString &name) const { return stateOf(name) == kSupplierAudited; }

    // The first row of that name; false when there is none or the query failed.
    bool load(const QString &name, SupplierRow &row) const;

    // Stores a supplier entered by hand, as audited. The name test and the
    // insert are one unit of work: of two workstations adding one name at
    // the same moment, one gets Exists.
    Outcome add(const SupplierRow &row);

    struct BatchResult {
        int stored = 0;            // rows stored, from the first on
        int stopRow = 0;           // 1-based row the batch stopped at; 0 when all were stored
        Outcome stop = Outcome::Done;
        QString stopName;          // name of that row
    };
    // Stores imported rows in order, each with its own name test and insert
    // as one unit, and stops at the first row whose name exists or whose
    // insert fails; the rows before it stay stored. A state "未审核" is
    // stored as "已审核", any other state text as it is.
    BatchResult addBatch(const QList<SupplierRow> &rows);

    // Sets the state of the supplier the caller sees as row (its six values
    // other than the state must still be stored so).
    Outcome setState(const SupplierRow &row, const QString &state);

    // Deletes the row holding exactly these seven values.
    Outcome remove(const SupplierRow &row);

    // A name other than own already in gysb ("select 名称 from gysb where
    // 名称=?" returned a row whose 名称 is not own).
    bool nameTakenByOther(const QString &name, const QString &own) const;

    // Change and modify: the row that holds the six old values gets the new
    // ones and the state "已审核". Refused with Exists when the new name
    // belongs to another supplier; the test and the update are one unit.
    Outcome update(const SupplierRow &old, const SupplierRow &now);

    // Log descriptions of a successful change and modify.
    static QString changeLogText(const SupplierRow &old, const SupplierRow &now);
    static QString modifyLogText(const SupplierRow &old, const SupplierRow &now);
    // "成功添加数据：" and the six values joined by "--".
    static QString addLogText(const SupplierRow &row);

private:
    Outcome insert(const SupplierRow &row);
    // Runs a statement meant to change exactly one row, inside the current unit.
    Outcome changeOne(const QString &sql, const QVariantList &params);

    DbConnection &m_db;
};

} // namespace cg
