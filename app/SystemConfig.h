#pragma once
// The system configuration's work without a window: the settings-file keys of
// the background picture, the picture file in the working folder, and the
// prefix and log limit of the current account set.

#include <QByteArray>
#include <QString>

namespace cg {

namespace SystemConfig {

// Settings file keys of the appearance.
inline const QString kLayoutSection = QStringLiteral("界面布局");
inline const QString kPictureKey = QStringLiteral("背景图片");
inline const QString kPlacementKey = QStringLiteral("图片位置");

// Values of 界面布局/背景图片.
inline const QString kPictureLoaded = QStringLiteral("背景图片加载成功");
inline const QString kPictureDefault = QStringLiteral("已加载默认背景图片");
inline const QString kPictureRemoved = QStringLiteral("背景图片未加载");
// Shown in the path box after the picture file was replaced.
inline const QString kTakesEffect = QStringLiteral("保存并立即生效");

// Placement items, in combo order.
inline const QString kTopLeft = QStringLiteral("图片左上");
inline const QString kTiled = QStringLiteral("图片平铺");
inline const QString kCentred = QStringLiteral("图片居中");

// Log limits, in combo order.
inline constexpr qint64 kLimit50k = 50000;
inline constexpr qint64 kLimit80k = 80000;

// What the window shows when it opens.
struct Snapshot {
    QString prefix;             // login context prefix
    QString pictureStatus;      // 界面布局/背景图片
    QString placement;          // 界面布局/图片位置, "图片平铺" when missing
    int logLimitIndex = -1;     // 0 = 50000, 1 = 80000, -1 any other value
    bool adminFieldsEditable = false;   // prefix and log limit: "admin" only
    QString printTitle;         // 打印/打印标题, the program's title when none is stored
};
Snapshot load();

// 50000 -> 0, 80000 -> 1, anything else -> -1 (and back; -1 gives 0).
int logLimitIndex(qint64 limit);
qint64 logLimitOfIndex(int index);

// Replaces WorkFolder/底图 with the bytes; the earlier file stays intact
// when the new one cannot be written.
bool storePicture(const QByteArray &bytes);

// Browse: copies the chosen file to 底图 and marks the picture as loaded.
// False (nothing changed) when the file cannot be read or 底图 not written.
bool takePicture(const QString &path);

// Clear: marks the picture as removed, deletes 底图; returns the stored marker.
QString clearPicture();

// Writes the placement; false when the settings file could not be written.
bool savePlacement(const QString &placement);

// Restore defaults: the default picture as 底图 and the tiled placement.
void restoreDefaultPicture();

// Save: the prefix becomes the login context's at once; then the account
// set's prefix is updated. Only when that row was updated, a path box text
// naming an existing file is copied over 底图 and the log limit chosen by
// index (0/1; other values leave it) is written. False when the prefix could
// not be stored.
bool saveAccountSetSettings(const QString &prefix, const QString &pathBoxText, int logLimitIndex);

} // namespace SystemConfig
} // namespace cg
