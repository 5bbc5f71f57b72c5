#include "contracts/ContractRecord.h"
#include "data/SqlDialect.h"
#include "data/AccountSetRecord.h"

#include "data/Db.h"

#include <QRegularExpression>
#include <QTextCodec>

#include <vector>

namespace cg {

const QStringList &ContractColumns()
{
    static const QStringList columns = {
        QStringLiteral("单据状态"),   QStringLiteral("合同编号"),   QStringLiteral("合同子编号"),
        QStringLiteral("申请人"),     QStringLiteral("申请部门"),   QStringLiteral("采购员"),
        QStringLiteral("供应商"),     QStringLiteral("产品"),       QStringLiteral("设备数量"),
        QStringLiteral("计量单位"),   QStringLiteral("制单日期"),   QStringLiteral("生效日期"),
        QStringLiteral("失效日期"),   QStringLiteral("合同金额"),   QStringLiteral("付款方式"),
        QStringLiteral("第一次付款"), QStringLiteral("第二次付款"), QStringLiteral("第三次付款"),
        QStringLiteral("第四次付款"), QStringLiteral("剩余尾款"),   QStringLiteral("税率"),
        QStringLiteral("附件"),
    };
    return columns;
}

QString LineSubNumber(const QString &number, int line)
{
    return number + QString::number(50 + 2 * line);
}

namespace {

// The leading digits of the last four bytes of the number as the program
// has always stored it (GBK); a sign, a blank or any other byte ends them,
// and no leading digit at all gives 0.
qint64 sequenceOf(const QString &number)
{
    static QTextCodec *gbk = QTextCodec::codecForName("GBK");
    const QByteArray bytes = (gbk ? gbk->fromUnicode(number) : number.toUtf8()).right(4);
    qint64 value = 0;
    for (const char c : bytes) {
        if (c < '0' || c > '9')
            break;
        value = value * 10 + (c - '0');
    }
    return value;
}

bool plainIdentifier(const QString &name)
{
    static const QRegularExpression re(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
    return re.match(name).hasMatch();
}

// An amount as C's atof reads it, kept exactly: sign, decimal digits (least
// significant first, no leading zeros) and how many of them are decimals.
// Read by hand because strtod follows the process locale's decimal mark and
// would round to binary.
struct Amount {
    bool negative = false;
    bool overflow = false;      // beyond what atof reads as a finite number
    std::vector<quint8> digits; // least significant first
    int decimals = 0;
    int end = 0;                // where atof stops reading; 0 when it read no number
};

// Amounts beyond a double's range count as infinite, as atof reads them;
// digits further right than this many decimals are rounded away (atof
// keeps none of them either).
constexpr int kMaxIntegerDigits = 309;
constexpr int kMaxDecimals = 400;

bool blank(QChar c)
{
    return c == u' ' || c == u'\t' || c == u'\n' || c == u'\r' || c == u'\v' || c == u'\f';
}

void trimLeadingZeros(std::vector<quint8> &digits)
{
    while (!digits.empty() && digits.back() == 0)
        digits.pop_back();
}

Amount readAmount(const QString &text)
{
    Amount a;
    int i = 0;
    const int n = text.size();
    auto digit = [&](int at) { return at < n && text[at] >= u'0' && text[at] <= u'9'; };
    while (i < n && blank(text[i]))
        ++i;
    if (i < n && (text[i] == u'+' || text[i] == u'-'))
        a.negative = text[i++] == u'-';
    std::vector<quint8> mostFirst;
    int fraction = 0;
    bool any = false;
    for (; digit(i); ++i, any = true)
        mostFirst.push_back(quint8(text[i].unicode() - u'0'));
    if (i < n && text[i] == u'.') {
        for (++i; digit(i); ++i, any = true, ++fraction)
            mostFirst.push_back(quint8(text[i].unicode() - u'0'));
    }
    if (!any)
        return {};
    qint64 exponent = 0;
    a.end = i;
    if (i < n && (text[i] == u'e' || text[i] == u'E')) {
        int j = i + 1;
        bool minus = false;
        if (j < n && (text[j] == u'+' || text[j] == u'-'))
            minus = text[j++] == u'-';
        const int first = j;
        for (; digit(j); ++j)
            exponent = qMin<qint64>(exponent * 10 + (text[j].unicode() - u'0'), 1000000);
        if (minus)
            exponent = -exponent;
        if (j > first)
            a.end = j;   // an "e" without digits is not part of the number
    }
    // value = mostFirst × 10^(exponent − fraction)
    std::vector<quint8> digits(mostFirst.rbegin(), mostFirst.rend());
    trimLeadingZeros(digits);
    qint64 decimals = fraction - exponent;
    if (!digits.empty() && qint64(digits.size()) - decimals > kMaxIntegerDigits) {
        a.overflow = true;
        return a;
    }
    if (decimals < 0) {
        if (!digits.empty())
            digits.insert(digits.begin(), size_t(-decimals), 0);
        decimals = 0;
    }
    if (decimals > kMaxDecimals) {
        // Round half away from zero at the last decimal kept.
        const qint64 drop = decimals - kMaxDecimals;
        bool up = false;
        if (drop <= qint64(digits.size())) {
            up = digits[size_t(drop - 1)] >= 5;
            digits.erase(digits.begin(), digits.begin() + drop);
        } else {
            digits.clear();
        }
        for (size_t k = 0; up; ++k) {
            if (k == digits.size())
                digits.push_back(0);
            up = ++digits[k] == 10;
            if (up)
                digits[k] = 0;
        }
        decimals = kMaxDecimals;
    }
    a.decimals = int(decimals);
    a.overflow = qint64(digits.size()) - decimals > kMaxIntegerDigits;
    if (a.overflow)
        digits.clear();
    a.digits = std::move(digits);
    return a;
}

// Magnitudes are digit vectors, least significant first, without leading
// zeros; b·10^shift is b moved shift places to the left.

int compareMagnitude(const std::vector<quint8> &a, const std::vector<quint8> &b, size_t shift = 0)
{
    const size_t bSize = b.empty() ? 0 : b.size() + shift;
    if (a.size() != bSize)
        return a.size() < bSize ? -1 : 1;
    for (size_t k = a.size(); k-- > 0;) {
        const quint8 bk = k >= shift ? b[k - shift] : 0;
        if (a[k] != bk)
            return a[k] < bk ? -1 : 1;
    }
    return 0;
}

// a += b·10^shift.
void addMagnitude(std::vector<quint8> &a, const std::vector<quint8> &b, size_t shift = 0)
{
    if (b.empty())
        return;
    if (a.size() < b.size() + shift)
        a.resize(b.size() + shift, 0);
    int carry = 0;
    for (size_t k = shift; k < a.size() && (carry || k < b.size() + shift); ++k) {
        const int sum = a[k] + (k - shift < b.size() ? b[k - shift] : 0) + carry;
        a[k] = quint8(sum % 10);
        carry = sum / 10;
    }
    if (carry)
        a.push_back(quint8(carry));
}

// a −= b·10^shift, with a ≥ b·10^shift.
void subtractMagnitude(std::vector<quint8> &a, const std::vector<quint8> &b, size_t shift = 0)
{
    int borrow = 0;
    for (size_t k = shift; k < a.size() && (borrow || k < b.size() + shift); ++k) {
        int d = a[k] - (k - shift < b.size() ? b[k - shift] : 0) - borrow;
        borrow = d < 0;
        a[k] = quint8(d < 0 ? d + 10 : d);
    }
    trimLeadingZeros(a);
}

// sum += (negative ? −1 : 1) × digits / 10^decimals, exactly; the sum keeps
// as many decimals as the most precise value added.
void addSigned(bool &sumNegative, std::vector<quint8> &sum, int &sumDecimals, bool negative,
               const std::vector<quint8> &digits, int decimals)
{
    if (digits.empty())
        return;
    if (decimals > sumDecimals) {
        if (!sum.empty())
            sum.insert(sum.begin(), size_t(decimals - sumDecimals), 0);
        sumDecimals = decimals;
    }
    const size_t shift = size_t(sumDecimals - decimals);
    if (sum.empty() || negative == sumNegative) {
        if (sum.empty())
            sumNegative = negative;
        addMagnitude(sum, digits, shift);
    } else if (compareMagnitude(sum, digits, shift) >= 0) {
        subtractMagnitude(sum, digits, shift);
    } else {
        std::vector<quint8> larger(shift, 0);
        larger.insert(larger.end(), digits.begin(), digits.end());
        subtractMagnitude(larger, sum);
        sum = std::move(larger);
        sumNegative = negative;
    }
}

// Written out in full: integer part, then the decimals without their
// trailing zeros; zero has no sign.
QString decimalText(bool negative, const std::vector<quint8> &sum, int sumDecimals)
{
    const size_t decimals = size_t(sumDecimals);
    if (sum.empty())
        return QStringLiteral("0");
    size_t low = 0;
    while (low < decimals && low < sum.size() && sum[low] == 0)
        ++low;
    QString out;
    if (negative)
        out += u'-';
    if (sum.size() <= decimals)
        out += u'0';
    for (size_t k = sum.size(); k-- > decimals;)
        out += QChar(u'0' + sum[k]);
    if (low < decimals) {
        out += u'.';
        for (size_t k = decimals; k-- > low;)
            out += QChar(u'0' + (k < sum.size() ? sum[k] : 0));
    }
    return out;
}

} // namespace

QString RemainingBalance(const QString &total, const QString &first, const QString &second,
                         const QString &third, const QString &fourth)
{
    Amount parts[] = {readAmount(total), readAmount(first), readAmount(second), readAmount(third),
                      readAmount(fourth)};
    for (int k = 1; k < 5; ++k)
        parts[k].negative = !parts[k].negative;   // total − each instalment

    // Infinite amounts: what printf shows for atof's result.
    bool plusInfinity = false, minusInfinity = false;
    for (const Amount &a : parts) {
        if (a.overflow)
            (a.negative ? minusInfinity : plusInfinity) = true;
    }
    if (plusInfinity && minusInfinity)
        return QStringLiteral("nan");
    if (plusInfinity || minusInfinity)
        return plusInfinity ? QStringLiteral("inf") : QStringLiteral("-inf");

    bool negative = false;
    std::vector<quint8> sum;
    int decimals = 0;
    for (const Amount &a : parts)
        addSigned(negative, sum, decimals, a.negative, a.digits, a.decimals);
    return decimalText(negative, sum, decimals);
}

std::optional<DecimalSum> DecimalSum::read(const QString &text)
{
    Amount a = readAmount(text);
    if (a.end == 0 || a.overflow)
        return std::nullopt;
    for (int i = a.end; i < text.size(); ++i)
        if (!blank(text[i]))
            return std::nullopt;
    DecimalSum value;
    value.m_negative = a.negative && !a.digits.empty();
    value.m_digits = std::move(a.digits);
    value.m_decimals = a.decimals;
    return value;
}

void DecimalSum::add(const DecimalSum &other)
{
    addSigned(m_negative, m_digits, m_decimals, other.m_negative, other.m_digits, other.m_decimals);
}

int DecimalSum::compare(const DecimalSum &a, const DecimalSum &b)
{
    const int sa = a.isZero() ? 0 : (a.m_negative ? -1 : 1);
    const int sb = b.isZero() ? 0 : (b.m_negative ? -1 : 1);
    if (sa != sb || sa == 0)
        return sa < sb ? -1 : (sa > sb ? 1 : 0);
    // Same sign: the magnitudes at the same number of decimals.
    const int c = a.m_decimals >= b.m_decimals
        ? compareMagnitude(a.m_digits, b.m_digits, size_t(a.m_decimals - b.m_decimals))
        : -compareMagnitude(b.m_digits, a.m_digits, size_t(b.m_decimals - a.m_decimals));
    return sa > 0 ? c : -c;
}

QString DecimalSum::text() const { return decimalText(m_negative, m_digits, m_decimals); }

double DecimalSum::toDouble() const { return text().toDouble(); }

ContractStore::ContractStore(DbConnection &db, const QString &table, const QString &accountSet)
    : m_db(db), m_table(plainIdentifier(table) ? table : QString()), m_set(accountSet)
{
}

QString ContractStore::prefix() const
{
    // Read at every call: a prefix changed in the configuration applies to
    // the next number at once.
    return FindAccountSetRow(m_db, m_set).value_or(QStringList()).value(ZtbColumn::Prefix);
}

QString ContractStore::nextNumber() const
{
    const QString head = prefix();
    qint64 base = 0;
    if (!m_table.isEmpty()) {
        // The newest line (highest id, the last in insertion order) gives
        // the sequence; the primary key finds it without reading the table.
        Recordset rs(m_db);
        if (rs.open(QStringLiteral("select top 1 合同编号 from ") + m_table + QStringLiteral(" order by id desc"))
            && !rs.eof())
            base = sequenceOf(rs.text(0));
    }
    for (qint64 k = 1;; ++k) {
        const QString candidate = head + QString::asprintf("%04lld", base + k);
        // Each candidate is one lookup on the number's index; the server's
        // comparison decides (letter case, trailing blanks). A failed
        // lookup proposes the candidate: the save checks it again.
        bool ok = false;
        if (numberExists(candidate, &ok) && ok)
            continue;
        return candidate;
    }
}

bool ContractStore::numberExists(const QString &number, bool *ok) const
{
    return exists(QStringLiteral("合同编号"), number, false, ok);
}

bool ContractStore::numberExistsForInsert(const QString &number, bool *ok) const
{
    return exists(QStringLiteral("合同编号"), number, true, ok);
}

bool ContractStore::subNumberExistsForInsert(const QString &subNumber, bool *ok) const
{
    return exists(QStringLiteral("合同子编号"), subNumber, true, ok);
}

bool ContractStore::exists(const QString &column, const QString &value, bool forInsert, bool *ok) const
{
    if (ok)
        *ok = false;
    if (m_table.isEmpty())
        return false;
    // SQL Server: an update lock held to the end of the unit, over the range
    // the condition covers, so a second workstation's check waits for it.
    const QString hint = forInsert && m_db.backend() == Backend::SqlServer
        ? QStringLiteral(" with (updlock, holdlock)")
        : QString();
    Recordset rs(m_db);
    if (!rs.open(QStringLiteral("select top 1 ") + column + QStringLiteral(" from ") + m_table + hint
                     + QStringLiteral(" where ") + column + QStringLiteral("=?"),
                 {value}))
        return false;
    if (ok)
        *ok = true;
    return !rs.eof();
}

bool ContractStore::hasAttachment(const QString &number) const
{
    // Measured by the server: the list asks for every contract it shows.
    if (m_table.isEmpty())
        return false;
    Recordset rs(m_db);
    if (!rs.open(QStringLiteral("select ") + SqlDialect::byteLength(m_db.backend(), QStringLiteral("附件"))
                     + QStringLiteral(" from ") + m_table + QStringLiteral(" where id=(select min(id) from ")
                     + m_table + QStringLiteral(" where 合同编号=?)"),
                 {number}))
        return false;
    return !rs.eof() && rs.number(0) > 0;
}

QByteArray ContractStore::attachment(const QString &number, bool *ok) const
{
    if (ok)
        *ok = false;
    if (m_table.isEmpty())
        return {};
    Recordset rs(m_db);
    if (!rs.open(QStringLiteral("select top 1 合同编号,附件 from ") + m_table
                     + QStringLiteral(" where 合同编号=? order by id"),
                 {number}))
        return {};
    if (ok)
        *ok = true;
    return rs.bytes(QStringLiteral("附件"));
}

QString ContractStore::numberOfRow(qint64 id) const
{
    if (m_table.isEmpty())
        return {};
    Recordset rs(m_db);
    if (!rs.open(QStringLiteral("select 合同编号 from ") + m_table + QStringLiteral(" where id=?"), {id}))
        return {};
    return rs.text(0);
}

namespace {

void appendValues(QVariantList &values, const ContractRow &row)
{
    values << row.state << row.number << row.subNumber << row.requester << row.department << row.buyer
           << row.supplier << row.product << row.quantity << row.unit << row.documentDate << row.effectiveDate
           << row.expiryDate << row.amount << row.paymentTerms << row.first << row.second << row.third
           << row.fourth << row.remaining << row.taxRate;
}

const QString kRowMarks = QStringLiteral("(?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?,?)");

} // namespace

bool ContractStore::insertRow(const ContractRow &row)
{
    return insertRows({row});
}

bool ContractStore::insertRows(const QList<ContractRow> &rows)
{
    if (m_table.isEmpty())
        return false;
    // 21 values a row, 40 rows a statement: under every server's limit on
    // bound values (999 on old SQLite, 2100 on SQL Server).
    constexpr int kRowsPerStatement = 40;
    const QString head = QStringLiteral("insert into ") + m_table + QLatin1Char('(')
        + ContractColumns().mid(0, 21).join(QLatin1Char(',')) + QStringLiteral(") values ");
    for (qsizetype from = 0; from < rows.size(); from += kRowsPerStatement) {
        const qsizetype to = qMin(rows.size(), from + kRowsPerStatement);
        QString sql = head;
        QVariantList values;
        values.reserve((to - from) * 21);
        for (qsizetype i = from; i < to; ++i) {
            if (i > from)
                sql += QLatin1Char(',');
            sql += kRowMarks;
            appendValues(values, rows.at(i));
        }
        if (!m_db.execute(sql, values) || m_db.rowsAffected() != to - from)
            return false;
    }
    return true;
}

bool ContractStore::writeAttachment(const QString &number, const QByteArray &bytes)
{
    if (bytes.isEmpty())
        return true;
    if (m_table.isEmpty())
        return false;
    Recordset rs(m_db);
    if (!rs.open(QStringLiteral("select top 1 id from ") + m_table + QStringLiteral(" where 合同编号=? order by id"),
                 {number})
        || rs.eof())
        return false;
    const QVariant id = rs.value(0);
    rs.close();
    if (!m_db.execute(QStringLiteral("update ") + m_table + QStringLiteral(" set 附件=? where id=?"), {bytes, id}))
        return false;
    return m_db.rowsAffected() == 1;
}

bool ContractStore::clearAttachment(const QString &number)
{
    if (m_table.isEmpty())
        return false;
    // An empty value, not NULL: the byte array must not be a null one.
    const QByteArray empty("");
    return m_db.execute(QStringLiteral("update ") + m_table + QStringLiteral(" set 附件=? where 合同编号=?"),
                        {empty, number});
}

} // namespace cg
