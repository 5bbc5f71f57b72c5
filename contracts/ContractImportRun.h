#pragma once
// Storing the rows of a loaded workbook while the window stays alive: the
// rows go in on a worker thread with a connection of its own, a progress
// window shows how far they are, and the caller's window keeps painting and
// answering events until the worker is done.

#include "contracts/ContractImport.h"

class QWidget;

namespace cg {

// Caption of the progress window after `done` of `total` rows:
// "正在导入，请稍候......(50%）".
QString ImportProgressCaption(qint64 done, qint64 total);

// Runs ContractImport::save on a connection opened like db and returns its
// result once the worker has ended. The progress window ("窗口_导入进度")
// is modal to owner's window while it is shown. A connection that cannot be
// opened stores nothing and ends at row 1.
ContractImport::Result RunContractImport(QWidget *owner, DbConnection &db, const LoginContext &login,
                                         const QList<QStringList> &rows);

} // namespace cg
