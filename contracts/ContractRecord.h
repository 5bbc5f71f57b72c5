#pragma once
// One contract is the set of rows of the account set's contract table that
// share a 合同编号, one row per product line. This header holds that row, the
// audit state, the numbering and the balance arithmetic every contract window
// follows, and the store that reads and writes the rows of one contract table.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>
#include <optional>
#include <vector>

namespace cg {
class DbConnection;

namespace AuditState {
inline const QString Audited = QStringLiteral("已审核");
inline const QString NotAudited = QStringLiteral("未审核");
}

// Largest attachment accepted: 5 MB.
inline constexpr qint64 kMaxAttachmentBytes = 5242880;

// One row of a contract table, in column order (附件 apart: it is read only
// where it is needed).
struct ContractRow {
    qint64 id = 0;            // assigned by the database; 0 for a row not stored yet
    QString state;            // 单据状态
    QString number;           // 合同编号
    QString subNumber;        // 合同子编号 ("检查号" in lists)
    QString requester;        // 申请人
    QString department;       // 申请部门
    QString buyer;            // 采购员
    QString supplier;         // 供应商
    QString product;          // 产品
    QString quantity;         // 设备数量
    QString unit;             // 计量单位
    QString documentDate;     // 制单日期, yyyy-MM-dd
    QString effectiveDate;    // 生效日期
    QString expiryDate;       // 失效日期
    QString amount;           // 合同金额
    QString paymentTerms;     // 付款方式
    QString first, second, third, fourth;   // 第一次付款 … 第四次付款
    QString remaining;        // 剩余尾款
    QString taxRate;          // 税率
};

// The column names of a contract table after id, in column order, 附件 last.
const QStringList &ContractColumns();

// 合同子编号 of a line: the number followed by 50 + 2 × line (line from 1).
QString LineSubNumber(const QString &number, int line);

// total − (first + … + fourth), each amount read as C's atof reads it
// (leading number only: "1,000" is 1, "abc" is 0) but kept in decimal, so the
// result is exact to the most decimals of the amounts. Written in full,
// without exponent or trailing zeros, and zero never as "-0". An amount
// beyond a double's range gives "inf", "-inf" or "nan" as atof would.
QString RemainingBalance(const QString &total, const QString &first, const QString &second,
                         const QString &third, const QString &fourth);

// An exact decimal sum of amounts read as RemainingBalance reads them, for
// totals over many contracts: no rounding however many are added.
class DecimalSum {
public:
    DecimalSum() = default;
    // The amount when the whole text is one (blanks around it aside) and
    // finite: "1500", "-2.5", " 1e3 ". Nothing for a text that is no number
    // or only begins with one ("", "abc", "1,000", "12元"): atof would read
    // those as 0 or as their first digits, and a total would silently
    // leave out what the user meant.
    static std::optional<DecimalSum> read(const QString &text);

    void add(const DecimalSum &other);
    bool isZero() const { return m_digits.empty(); }
    // −1, 0 or 1 as a is less than, equal to or greater than b.
    static int compare(const DecimalSum &a, const DecimalSum &b);
    // Written as RemainingBalance writes its result ("1234.5", "-200", "0").
    QString text() const;
    // For drawing only; the text is the figure.
    double toDouble() const;

private:
    bool m_negative = false;
    std::vector<quint8> m_digits;   // magnitude, least significant digit first
    int m_decimals = 0;             // how many of the digits are decimals
};

// Numbering and the contract table of one account set.
class ContractStore {
public:
    // table: the set's 引用合同表 (a plain identifier taken from ztb);
    // accountSet: its 账套名.
    ContractStore(DbConnection &db, const QString &table, const QString &accountSet);

    DbConnection &db() const { return m_db; }
    QString table() const { return m_table; }

    // The next free contract number: the set's prefix read from ztb now,
    // then the leading digits of the last four characters of the newest
    // row's number plus 1 (0 when they begin with anything else), padded to
    // four digits, skipping numbers in use. Reads one row and looks each
    // candidate up on the number's index.
    QString nextNumber() const;
    // A number exists when the query returns a row for it (the server's
    // comparison decides, not a comparison of the returned text).
    // ok is false when the query failed.
    bool numberExists(const QString &number, bool *ok = nullptr) const;
    // The same inside a unit of work, and no other workstation can store
    // the number until the unit ends (on SQLite the unit itself holds the
    // write lock; on SQL Server the read takes an update lock it keeps).
    bool numberExistsForInsert(const QString &number, bool *ok = nullptr) const;
    // A line with this 合同子编号 is stored, checked the same way inside a
    // unit of work (the sub-number stays free for the unit's own insert).
    bool subNumberExistsForInsert(const QString &subNumber, bool *ok = nullptr) const;
    // The first row of the contract (lowest id) carries a non-empty 附件.
    bool hasAttachment(const QString &number) const;

    // The prefix of the account set as ztb holds it now (may be empty).
    QString prefix() const;

    // Inserts one line of a contract (every column but id and 附件). True
    // when exactly one row was written. Runs in the caller's unit of work.
    bool insertRow(const ContractRow &row);
    // The same for several lines, in order, in as few statements as the
    // servers' limits on bound values allow. True when every row was
    // written; on false some may be, and the caller's unit rolls back.
    bool insertRows(const QList<ContractRow> &rows);

    // Stores bytes in 附件 of the contract's first row (lowest id); the other
    // rows are left alone. Empty bytes write nothing and count as done.
    // False when the contract has no row or the update did not hit exactly
    // that row. Runs in the caller's unit of work, if any.
    bool writeAttachment(const QString &number, const QByteArray &bytes);
    // Empties 附件 on every row of the contract (an empty value, not NULL).
    bool clearAttachment(const QString &number);
    // 附件 of the contract's first row; empty when there is none. ok is false
    // when the query failed.
    QByteArray attachment(const QString &number, bool *ok = nullptr) const;
    // 合同编号 of the row with that id; empty when there is no such row.
    QString numberOfRow(qint64 id) const;

private:
    bool exists(const QString &column, const QString &value, bool forInsert, bool *ok) const;
    DbConnection &m_db;
    QString m_table;
    QString m_set;
};

} // namespace cg
