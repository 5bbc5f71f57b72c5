#pragma once
// Reading a workbook into a list with the user: the open dialog and the
// message when the file cannot be read. The reading itself is
// spreadsheet/SheetImport.h.

#include "spreadsheet/SheetImport.h"

#include <QList>
#include <QStringList>
#include <optional>

class QTreeWidget;
class QWidget;

namespace cg {

// The rows of the first worksheet (row 2 down to the first blank row, sheet
// columns 1 … columns). Shows the open dialog when no path is given. Nothing
// when the user cancelled (no message) or the file could not be read (an
// error message owned by `owner` says why).
std::optional<QList<QStringList>> ImportRows(QWidget *owner, int columns, const QString &path = QString());

// The same into a list view: the list is cleared and filled, sheet column k
// into list column k - 1, when a file was read (true, even with no rows);
// otherwise the list keeps its rows (false). Only the number of titles
// matters.
bool ImportIntoList(QWidget *owner, QTreeWidget *list, const QStringList &titles);

} // namespace cg
