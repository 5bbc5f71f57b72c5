#pragma once
// The six basic data lists (table jczlb) and the way their values reach the
// windows that offer them.
//
// Each row of jczlb holds one value in the column of its kind and '' in the
// five other columns. A list query therefore returns the empty text as well
// whenever another kind has values: combo boxes keep that one empty item (it
// lets the user leave a choice open), the basic data window drops it.
//
// A window that offers a list registers a target for it (bindCombo, or bind
// for anything that is not a plain combo box); refresh() re-reads one kind
// and hands it to every target that is still alive.

#include "data/ListTargets.h"

#include <QString>
#include <QStringList>
#include <QVector>

class QComboBox;
class QObject;

namespace cg {
class DbConnection;

namespace BasicData {

enum class Kind { Department, Buyer, Unit, PaymentTerms, Requester, TaxRate };

struct KindInfo {
    Kind kind;
    QString item;     // as the basic data window names it
    QString column;   // jczlb column that stores it
    QString list;     // ListTargets list name
};

// The six kinds in the order of the window's drop-down. The only source of
// column names for the statements below.
const QVector<KindInfo> &kinds();
const KindInfo &info(Kind kind);
// The kind whose item text equals text exactly; nullptr for any other text.
const KindInfo *kindByItem(const QString &text);
QStringList itemTexts();

// Module of the log entries of the basic data window.
inline const QString kModule = QStringLiteral("基础资料");

// "select distinct <column> from jczlb where <column> is not null": the values
// in the order returned, the empty text included. ok is false when the query
// failed.
QStringList query(DbConnection &db, Kind kind, bool *ok = nullptr);

enum class AddResult { Added, Empty, Exists, Failed };
// Adds value under kind unless it is empty or already stored there. The test
// and the insert run as one unit of work. Writes no log entry.
AddResult add(DbConnection &db, Kind kind, const QString &value);
// Deletes every row of that kind holding value. True when at least one row went.
bool remove(DbConnection &db, Kind kind, const QString &value);

// Re-reads one kind from the main connection and hands the values to every
// open target of it. A failed query leaves the targets as they are.
void refresh(Kind kind);
void refreshAll();

// Registers target as a receiver of kind's values for as long as context
// lives, and fills it now from the main connection.
void bind(QObject *context, Kind kind, ListTargets::Fill fill);

// Offers kind's values in combo (the empty item included) now and after
// every refresh. A refill keeps the user's choice: an editable combo keeps
// its edit text, a list combo keeps the chosen item while it is still
// offered and otherwise has nothing chosen.
void bindCombo(QComboBox *combo, Kind kind);
// The refill bindCombo uses, for callers that manage the target themselves.
void fillCombo(QComboBox *combo, const QStringList &values);

} // namespace BasicData
} // namespace cg
