#pragma once
// The automatic backup: once a day, at the first successful login of the
// day on this workstation, and never more than once a day.

#include <QDate>
#include <QString>

namespace cg {

// Settings file keys (per workstation, like the embedded database itself).
namespace BackupSettings {
inline const QString kSection = QStringLiteral("数据备份");
inline const QString kKeepKey = QStringLiteral("保留份数");        // newest kept; 0: no automatic backup
inline const QString kLastDayKey = QStringLiteral("上次自动备份");   // yyyy-MM-dd of the last one written
inline constexpr int kDefaultKeep = 30;
// The stored number; kDefaultKeep when missing or not a number >= 0.
int keep();
bool setKeep(int keep);
}

namespace DailyBackup {
// Due when automatic backups are on (keep > 0) and none was written on
// today's date yet (lastDay as stored, "yyyy-MM-dd").
bool due(const QString &lastDay, const QDate &today, int keep);
QString dayText(const QDate &day);
}

} // namespace cg
