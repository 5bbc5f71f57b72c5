#pragma once
// Suppliers (rows of gysb) apart from the windows: the name test, adding one
// supplier or a batch, audit and unaudit, delete, and the update behind
// change and modify.
//
// gysb has no key column: a row is found by its name, or by all its values
// together. Every statement that should touch one row checks that it did;
// a row that is no longer there as the caller saw it (another workstation
// changed or deleted it) comes back as NotFound and nothing is written.
// Old data may hold several rows with the very same values: a statement
// that would touch more than one of them comes back as Several and writes
// nothing unless the caller allowed it to act on them all.
//
// Every change writes its log row in the same unit of work, so the two are
// stored together or not at all; a log row that cannot be written makes
// the change fail.

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>
#include <QVector>
#include <functional>

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
        Several,    // more than one row holds them and the caller did not allow that: nothing was written
        Failed      // the database refused (the log row included); nothing was written
    };

    // Modules of the log rows.
    static inline const QString kAddModule = QStringLiteral("供应商添加");
    static inline const QString kQueryModule = QStringLiteral("供应商查询");
    static inline const QString kChangeModule = QStringLiteral("供应商变更");
    static inline const QString kModifyModule = QStringLiteral("供应商修改");
    static QString moduleOf(SupplierEditMode mode)
    {
        return mode == SupplierEditMode::Change ? kChangeModule : kModifyModule;
    }

    // The inputs single entry and the change window require, in the order
    // they are checked.
    enum class Field { None, Name, Telephone, Contact, Address, TaxRate, PaymentTerms };
    // The first of the six inputs that is empty (length 0); None when all
    // have content. Blanks count as content.
    static Field firstEmpty(const SupplierRow &row);

    // user: who the log rows name (the logged-in user).
    explicit Suppliers(DbConnection &db, const QString &user = QString()) : m_db(db), m_user(user) {}

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

    // Stores a supplier entered by hand, as audited, and logs it. The name
    // test, the insert and the log row are one unit of work: of two
    // workstations adding one name at the same moment, one gets Exists.
    Outcome add(const SupplierRow &row);

    struct BatchResult {
        int stored = 0;            // rows stored, from the first on
        int stopRow = 0;           // 1-based row the batch stopped at; 0 when all were stored
        Outcome stop = Outcome::Done;
        QString stopName;          // name of that row
    };
    // Stores imported rows in order, each after its own name test, and
    // stops at the first row whose name exists (an earlier row of the
    // batch included) or whose insert fails; the rows before it are stored,
    // together with the one log row that counts them, in one unit. When
    // not even that log row can be written nothing is stored (stopRow 1,
    // Failed). A state "未审核" is stored as "已审核", any other state text
    // as it is.
    BatchResult addBatch(const QList<SupplierRow> &rows);

    // Sets the state of the supplier the caller sees as row (its six values
    // other than the state must still be stored so) and logs the audit or
    // unaudit. all: act on every row holding these values. matching, when
    // given, receives how many rows the statement met (for Several: how many
    // identical rows there are); the same for remove and update.
    Outcome setState(const SupplierRow &row, const QString &state, bool all = false, int *matching = nullptr);

    // Deletes the row holding exactly these seven values and logs it.
    Outcome remove(const SupplierRow &row, bool all = false, int *matching = nullptr);

    // A name other than own already in gysb ("select 名称 from gysb where
    // 名称=?" returned a row whose 名称 is not own).
    bool nameTakenByOther(const QString &name, const QString &own) const;

    // Change and modify: the row that holds the six old values gets the new
    // ones and the state "已审核", logged under the mode's module. Refused
    // with Exists when the new name belongs to another supplier; the test,
    // the update and the log row are one unit.
    Outcome update(SupplierEditMode mode, const SupplierRow &old, const SupplierRow &now, bool all = false,
                   int *matching = nullptr);

    // The question asked before acting on several identical rows; action
    // is "审核", "反审核", "删除", "变更" or "修改".
    static QString severalQuestion(const QString &action, const QString &name, int count);

    // Log descriptions of a successful change and modify.
    static QString changeLogText(const SupplierRow &old, const SupplierRow &now);
    static QString modifyLogText(const SupplierRow &old, const SupplierRow &now);
    // "成功添加数据：" and the six values joined by "--".
    static QString addLogText(const SupplierRow &row);
    // "成功审核供应商： " or "成功反审核供应商： " and the name.
    static QString stateLogText(const SupplierRow &row, const QString &state);
    // "成功删除供应商：" and the name.
    static QString removeLogText(const SupplierRow &row);
    // "成功导入供应商数据，共导入：" + stored + "行".
    static QString batchLogText(int stored);

private:
    // The name test and the insert, inside the current unit.
    Outcome insert(const SupplierRow &row);
    // Runs a statement meant to change exactly one row (or, with all, at
    // least one), inside the current unit.
    Outcome changeOne(const QString &sql, const QVariantList &params, bool all, int *matching);
    // One log row inside the current unit; false when it was not stored.
    bool log(const QString &module, const QString &description);
    // Runs fn as one unit; an outcome of Done whose unit did not commit is Failed.
    Outcome inUnit(const std::function<Outcome()> &fn);

    DbConnection &m_db;
    QString m_user;
};

} // namespace cg
