#pragma once
// Entering a new contract, apart from the window: the checks in their fixed
// order, the rows one save writes, and the save itself with its log entries
// as one unit of work.

#include "contracts/ContractRecord.h"
#include "data/Context.h"

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>

namespace cg {
class DbConnection;

// The header values of the entry form, each exactly as its control shows it.
struct ContractForm {
    QString number;          // 编辑框_合同编号
    QString documentDate;    // 编辑框_制单日期, as typed
    QString requester;       // 组合框_申请人
    QString department;      // 组合框_申请部门
    QString buyer;           // 组合框_采购员
    QString supplier;        // 组合框_供应商
    QDate effective;         // 日期框_生效日期
    QDate expiry;            // 日期框_失效日期
    QString paymentTerms;    // 组合框_付款方式
    QString taxRate;         // 组合框_税率
    QString amount;          // 编辑框_合同总金额
    QString first, second, third, fourth;   // 编辑框_第一次付款 …
    QString remaining;       // 编辑框_剩余尾款
};

// One line of the product grid.
struct ProductLine {
    QString product;
    QString quantity;
    QString unit;
};

class ContractEntry {
public:
    enum class Outcome {
        Saved,
        NotThisYear,       // the chosen account set is not this year's
        MissingValue,      // a field or a grid cell is empty
        DuplicateNumber,   // the number is stored already
        Failed             // nothing was stored
    };

    struct Check {
        Outcome outcome = Outcome::Saved;   // Saved: nothing is missing
        QString message;                    // what the user is told
        QString control;                    // objectName of the empty field
        int line = 0;                       // 1-based grid line of an empty cell
        int column = -1;                    // its column (0 product, 1 quantity, 2 unit)
    };

    static inline const QString kModule = QStringLiteral("合同录入");

    ContractEntry(DbConnection &db, const LoginContext &login);

    ContractStore &store() { return m_store; }

    // The effective date may equal the expiry date, not follow it.
    static bool datesInOrder(const QDate &effective, const QDate &expiry) { return effective <= expiry; }

    // The leading number of the account set chosen at login is year.
    bool isAccountSetOfYear(int year) const;

    // The first empty value in the fixed order: the nine header fields, then
    // per line its product, quantity and unit.
    static Check firstMissing(const ContractForm &form, const QList<ProductLine> &lines);

    // The rows a save writes, line by line, audited, with their sub-numbers.
    static QList<ContractRow> rowsOf(const ContractForm &form, const QList<ProductLine> &lines);

    // Refuses a stored number, then writes every line, the attachment on
    // the first row and one log entry per line, all in one unit that no
    // other workstation can interleave with: DuplicateNumber or Failed
    // store nothing at all, a log entry that cannot be written included. A
    // save without lines fails.
    //
    // proposedNumber is the number the window proposed; while the form still
    // carries it, the program chose the number, not the clerk: when another
    // workstation stored it in the meantime, the save takes the next free
    // number inside the same unit instead of refusing. A number typed by
    // hand is refused as before. storedNumber receives the number the
    // contract was stored under.
    Outcome save(const ContractForm &form, const QList<ProductLine> &lines, const QByteArray &attachment,
                 const QString &proposedNumber = QString(), QString *storedNumber = nullptr);

    // The log entry of one saved row.
    static QString logModule(bool withAttachment);
    static QString logDescription(const ContractRow &row);

    static QString message(Outcome outcome);
    // "添加成功！" for a contract stored under the number the form showed;
    // otherwise it also names the number it was stored under.
    static QString savedMessage(const QString &shownNumber, const QString &storedNumber);

private:
    DbConnection &m_db;
    LoginContext m_login;
    ContractStore m_store;
};

} // namespace cg
