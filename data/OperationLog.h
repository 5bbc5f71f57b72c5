#pragma once
#include <QDateTime>
#include <QString>

namespace cg {

// 过滤日期: "2021-03-07"
QString LogFilterDate(const QDateTime &when);
// 日期: "2021-03-07 09:05:03"
QString LogDateTime(const QDateTime &when);

// One row of rzb: status, description, module. On failure the user sees
// "没有写入成功"; the caller is not told.
void WriteLogEntry(const QString &status, const QString &description, const QString &module);

// Rows in rzb (-1 when the count failed) and the limit of an account set
// (0 when it has none).
int LogRowCount();
qint64 LogLimit(const QString &accountSet);

} // namespace cg
