#include "spend/SpendOverview.h"

#include "data/Db.h"
#include "data/RowStore.h"
#include "data/SqlDialect.h"

#include <QHash>

#include <algorithm>
#include <optional>

namespace cg {

namespace {

enum Column { Number, Date, Supplier, Department, State, Amount, Remaining };

using Value = std::optional<DecimalSum>;

void count(SpendGroup &g, const Value &amount, const Value &remaining)
{
    ++g.contracts;
    if (amount)
        g.amount.add(*amount);
    else
        ++g.amountNotNumber;
    if (remaining)
        g.remaining.add(*remaining);
    else
        ++g.remainingNotNumber;
}

void merge(SpendGroup &into, const SpendGroup &g)
{
    into.contracts += g.contracts;
    into.amount.add(g.amount);
    into.remaining.add(g.remaining);
    into.amountNotNumber += g.amountNotNumber;
    into.remainingNotNumber += g.remainingNotNumber;
}

// Groups by a label, in the order labels first come.
class Groups {
public:
    SpendGroup &operator[](const QString &label)
    {
        const auto it = m_index.constFind(label);
        if (it != m_index.constEnd())
            return m_groups[*it];
        m_index.insert(label, int(m_groups.size()));
        m_groups.append(SpendGroup{});
        m_groups.last().label = label;
        return m_groups.last();
    }
    QList<SpendGroup> take() { return std::move(m_groups); }

private:
    QHash<QString, int> m_index;
    QList<SpendGroup> m_groups;
};

// Largest sum first; equal sums by name, so the order never depends on
// the order of the rows.
void byAmount(QList<SpendGroup> &groups)
{
    std::sort(groups.begin(), groups.end(), [](const SpendGroup &a, const SpendGroup &b) {
        const int c = DecimalSum::compare(a.amount, b.amount);
        return c != 0 ? c > 0 : a.label < b.label;
    });
}

QString monthOf(const QDate &d) { return d.toString(QStringLiteral("yyyy-MM")); }

} // namespace

SpendOverview::SpendOverview(DbConnection &db, const QString &table)
    : m_db(db), m_table(SqlDialect::isPlainIdentifier(table) ? table : QString())
{
}

void SpendOverview::defaultRange(const QString &accountSetYear, const QDate &today, QDate *from, QDate *to)
{
    const qint64 year = leadingInteger(accountSetYear);
    const int y = year >= 1000 && year <= 9999 ? int(year) : today.year();
    *from = QDate(y, 1, 1);
    *to = QDate(y, 12, 31);
}

SpendOverview::Outcome SpendOverview::compute(const QDate &from, const QDate &to, SpendFigures *figures) const
{
    *figures = SpendFigures{};
    m_error.clear();
    if (from > to)
        return Outcome::DatesOutOfOrder;
    if (m_table.isEmpty()) {
        m_error = QStringLiteral("no contract table");
        return Outcome::Failed;
    }
    // SQLite compares a "date" column as a number unless it is an
    // expression; the stored texts are what the range means.
    const QString date = m_db.backend() == Backend::Sqlite ? QStringLiteral("+制单日期") : QStringLiteral("制单日期");
    const QString sql = QStringLiteral("select 合同编号,制单日期,供应商,申请部门,单据状态,合同金额,剩余尾款 from ") + m_table
        + QStringLiteral(" where ") + date + QStringLiteral(">=? and ") + date + QStringLiteral("<=? order by 合同编号,id");
    RowCursor rows(m_db);
    if (!rows.open(sql, {from.toString(Qt::ISODate), to.toString(Qt::ISODate)})) {
        m_error = rows.lastError();
        return Outcome::Failed;
    }

    SpendFigures f;
    Groups months, suppliers, departments, states;
    states[AuditState::Audited];
    states[AuditState::NotAudited];
    QString number, previous, text;
    bool first = true;
    while (rows.next()) {
        number.clear();
        rows.appendText(Number, number);
        if (!first && number == previous)
            continue;   // a further line of the contract just counted
        first = false;
        std::swap(number, previous);

        text.clear();
        rows.appendText(Amount, text);
        const Value amount = DecimalSum::read(text);
        text.clear();
        rows.appendText(Remaining, text);
        const Value remaining = DecimalSum::read(text);

        count(f.total, amount, remaining);
        // Each label is read into the one buffer, which is copied only for
        // a label not seen before.
        text.clear();
        rows.appendText(Date, text);
        text.truncate(7);
        count(months[text], amount, remaining);
        for (const auto &[column, groups] : {std::pair{Supplier, &suppliers}, std::pair{Department, &departments},
                                             std::pair{State, &states}}) {
            text.clear();
            rows.appendText(column, text);
            count((*groups)[text], amount, remaining);
        }
    }
    if (rows.failed()) {
        m_error = rows.lastError();
        return Outcome::Failed;
    }

    // Months in order, the empty ones between included.
    QList<SpendGroup> byMonth = months.take();
    std::sort(byMonth.begin(), byMonth.end(),
              [](const SpendGroup &a, const SpendGroup &b) { return a.label < b.label; });
    if (!byMonth.isEmpty()) {
        const QDate first = QDate::fromString(byMonth.first().label + QStringLiteral("-01"), Qt::ISODate);
        const QDate last = QDate::fromString(byMonth.last().label + QStringLiteral("-01"), Qt::ISODate);
        int k = 0;
        if (first.isValid() && last.isValid()) {
            for (QDate m = first; m <= last; m = m.addMonths(1)) {
                if (k < byMonth.size() && byMonth[k].label == monthOf(m)) {
                    f.months.append(byMonth[k++]);
                } else {
                    SpendGroup empty;
                    empty.label = monthOf(m);
                    f.months.append(empty);
                }
            }
        }
        if (k != byMonth.size()) {
            // A stored date that is no date: the months as they came.
            f.months = byMonth;
        }
    }

    QList<SpendGroup> all = suppliers.take();
    byAmount(all);
    if (all.size() > kTopSuppliers) {
        SpendGroup others;
        others.label = kOthers;
        for (qsizetype k = kTopSuppliers; k < all.size(); ++k)
            merge(others, all[k]);
        all.resize(kTopSuppliers);
        all.append(others);
    }
    f.suppliers = std::move(all);

    f.departments = departments.take();
    byAmount(f.departments);

    // The two states first, then whatever else an import stored, by name.
    f.auditStates = states.take();
    std::sort(f.auditStates.begin() + 2, f.auditStates.end(),
              [](const SpendGroup &a, const SpendGroup &b) { return a.label < b.label; });

    *figures = std::move(f);
    return Outcome::Done;
}

} // namespace cg
