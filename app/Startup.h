#pragma once
// The start routine's work that needs no window: the local connection
// database, the background picture choice and the status-bar texts.

#include <QByteArray>
#include <QDate>
#include <QString>

namespace cg {

// Registers the compiled-in pictures and skin (once).
void EnsureResources();

// Opens 数据库连接_注册 on WorkFolder/cgsys.dll (owner read/write only).
// A missing file is built from the template aside and renamed into place; a
// file without the table or its row 1 gets them from the template; a file
// that is no database is kept as cgsys.dll.bad and replaced by the template.
bool OpenLocalConnectionDatabase();
// "select <column> from 数据库表 where id=1"; empty when nothing could be read.
QString ReadConnectionSetting(const QString &column);
// Rewrites row 1 with the four values.
bool SaveConnectionSettings(const QString &server, const QString &database, const QString &login,
                            const QString &password);

// Template row 1: the embedded database in the working folder.
inline const QString kTemplateServer = QStringLiteral("sqlite");
inline const QString kTemplateDatabase = QStringLiteral("cgsys.db");
inline const QString kTemplateLogin = QStringLiteral("local");
inline const QString kTemplatePassword = QStringLiteral("local");

// Unchanged keeps the label's own placement (the picture fills the label).
enum class PicturePlacement { Unchanged, TopLeft, Tiled, Centred, Stretched };

struct BackgroundChoice {
    QByteArray picture;   // empty: no picture
    PicturePlacement placement = PicturePlacement::Unchanged;
};
// Reads WorkFolder/底图, falls back to the default picture unless the marker
// "背景图片未加载" says the user removed it, and writes the marker back.
BackgroundChoice ChooseBackground();
QByteArray DefaultBackgroundPicture();

// " 2020年7月12日  星期日"
QString StatusDateText(const QDate &date);
inline const QString kReleaseDateText = QStringLiteral(" 发布日期：2020-07-10");

} // namespace cg
