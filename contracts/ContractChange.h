#pragma once
// Changing a stored contract: in change mode (变更) its instalments, in
// modify mode (修改) every value, its lines and its attachment. The lines are
// addressed by the ids they were loaded with; a save writes every line, the
// attachment and the save's log rows as one unit, and refuses when any line
// is not exactly where it was loaded.

#include "contracts/Attachment.h"
#include <QByteArray>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QVector>
#include <functional>

class QWidget;

namespace cg {
class DbConnection;

enum class ChangeMode { Change, Modify };

// The header values of a contract as the change window shows them.
struct ContractHeader {
    QString number;          // 合同编号
    QString documentDate;    // 制单日期
    QString requester;       // 申请人
    QString department;      // 申请部门
    QString buyer;           // 采购员
    QString supplier;        // 供应商
    QString effectiveDate;   // 生效日期, yyyy-MM-dd
    QString expiryDate;      // 失效日期
    QString amount;          // 合同金额
    QString paymentTerms;    // 付款方式
    QString first, second, third, fourth;   // 第一次付款 … 第四次付款
    QString remaining;       // 剩余尾款
    QString taxRate;         // 税率

    bool operator==(const ContractHeader &) const = default;
};

struct LineValues {
    QString product, quantity, unit;
    bool operator==(const LineValues &o) const
    {
        return product == o.product && quantity == o.quantity && unit == o.unit;
    }
};

struct LoadedLine {
    qint64 id = 0;
    QString subNumber;
    LineValues values;
};

struct LoadedContract {
    QString state;
    ContractHeader header;
    QVector<LoadedLine> lines;   // in table order

    QVector<qint64> lineIds() const;
};

// Fields whose log entry a save writes when the user touched them.
enum class ChangeField {
    Requester, Supplier, Product, Quantity, Department, Unit, EffectiveDate, ExpiryDate, Buyer,
    Amount, PaymentTerms, TaxRate, First, Second, Third, Fourth, Remaining
};
using TouchedFields = QSet<ChangeField>;

class ContractChange {
public:
    enum class Outcome {
        Done,
        NotFound,     // no line of that id (any more)
        NumberTaken,  // modify: another contract already has the new number
        Stale,        // a line is no longer as it was loaded; nothing changed
        Failed        // the database refused; nothing changed
    };

    // user: who is logged in; the log rows of a save carry that name.
    ContractChange(DbConnection &db, const QString &table, const QString &accountSet, const QString &user);

    // Reads the contract of the line id, its lines in table order.
    Outcome load(qint64 id, LoadedContract &out) const;

    // Writes every line with the current values and the state "已审核", in
    // modify mode the attachment, and the log rows of logDescriptions(), as
    // one unit: all of it is stored or nothing is. Each line is updated by
    // its loaded id and must still carry the loaded number (and in modify
    // mode must not have been audited meanwhile); modify refuses a new
    // number that another contract uses. A new number also replaces the old
    // one at the front of the lines' sub-numbers (KQ000152 becomes KQ090052
    // when KQ0001 becomes KQ0900), so the freed number can be given again;
    // other sub-numbers stay, and a new sub-number another line already
    // carries refuses the save (NumberTaken).
    Outcome save(ChangeMode mode, const LoadedContract &loaded, const ContractHeader &current,
                 const QVector<LineValues> &lines, const PendingAttachment &attachment,
                 const TouchedFields &touched);

    // The sub-number a line gets when its contract is renamed.
    static QString renamedSubNumber(const QString &subNumber, const QString &oldNumber, const QString &newNumber);

    // Deletes one line by its loaded id. When it is the row that carries the
    // attachment and the contract keeps other lines, the attachment moves to
    // the next line first.
    Outcome deleteLine(const LoadedContract &loaded, int index);

    // The first row of the contract carries at least one byte.
    bool hasAttachment(const QString &number) const;

    // The log descriptions of a save, in the order they are written: the
    // attachment entries (modify only), then one per touched field (per
    // line for product, quantity and unit).
    static QStringList logDescriptions(ChangeMode mode, const QString &accountSet, const LoadedContract &loaded,
                                       const ContractHeader &current, const QVector<LineValues> &lines,
                                       const TouchedFields &touched, const PendingAttachment &attachment);

    // Module of the log entries of a mode: "合同变更" or "合同修改".
    static QString module(ChangeMode mode);

private:
    // Stores the attachment on the line with that id, inside the caller's
    // unit; a line that is gone sets outcome to Stale.
    bool putAttachment(qint64 id, const QByteArray &bytes, Outcome &outcome);
    DbConnection &m_db;
    QString m_table, m_set, m_user;
};



// The attachment window of the change window. It works on the pending
// attachment of the contract the window loaded (its number as loaded, not
// as typed since, and whether one is stored) and returns when the user is
// done with it. Without one installed the change
// window lets the user pick a replacement file.
using AttachmentEditor =
    std::function<void(QWidget *owner, const QString &number, bool stored, PendingAttachment &pending)>;
void SetAttachmentEditor(AttachmentEditor editor);
AttachmentEditor attachmentEditor();

// Shows the stored attachment of the contract of a line id. Without one
// installed the bytes go to the preview file in the working folder, which
// the desktop then opens.
using AttachmentPreview = std::function<void(qint64 lineId)>;
void SetAttachmentPreview(AttachmentPreview preview);
AttachmentPreview attachmentPreview();

} // namespace cg
