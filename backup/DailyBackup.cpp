#include "backup/DailyBackup.h"
#include "data/Context.h"

namespace cg {

namespace BackupSettings {
int keep()
{
    bool ok = false;
    const int n = Settings::read(kSection, kKeepKey).toInt(&ok);
    return ok && n >= 0 ? n : kDefaultKeep;
}

bool setKeep(int keep) { return Settings::write(kSection, kKeepKey, QString::number(keep)); }
} // namespace BackupSettings

namespace DailyBackup {
QString dayText(const QDate &day) { return day.toString(QStringLiteral("yyyy-MM-dd")); }

bool due(const QString &lastDay, const QDate &today, int keep)
{
    return keep > 0 && today.isValid() && lastDay != dayText(today);
}
} // namespace DailyBackup

} // namespace cg
