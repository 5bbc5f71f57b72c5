#pragma once
// Exporting a list to a workbook with the user: the save dialog, the
// progress window and the closing message. The writing itself is
// spreadsheet/SheetExport.h.

#include "spreadsheet/SheetExport.h"

#include <QString>
#include <QStringList>

class QTreeWidget;
class QWidget;

namespace cg {

// Caption of the progress window after `done` of `total` rows:
// "正在导出，请稍候......(50%）".
QString ExportProgressCaption(qint64 done, qint64 total);

// The top-level rows of a list view, list column k filling sheet column k.
Sheet::RowSource ListViewRows(const QTreeWidget *list);

// Asks for the file, writes the titles and rows with a progress window and
// tells the user how it went ("用户取消导出！", the refusals of a file in use,
// a read-only file and a read-only folder,
// "成功导出：…", "导出：… 文件失败！"). True only when this run wrote the
// file; callers add their log entry.
bool ExportList(QWidget *owner, const QStringList &titles, const Sheet::RowSource &rows);
bool ExportList(QWidget *owner, const QStringList &titles, const QTreeWidget *list);

} // namespace cg
