#pragma once
// Printed pages: the print title of this workstation, the program's print
// font, and documents laid out on A4 pages with "第 n 页 / 共 N 页" under
// each page. The print preview itself is a seam (ui/Seams.h PrintPreview).

#include <QFont>
#include <QPageLayout>
#include <QString>

class QPagedPaintDevice;
class QTextDocument;

namespace cg {

namespace PrintSettings {
// Settings file section and key of the print title.
inline const QString kSection = QStringLiteral("打印");
inline const QString kTitleKey = QStringLiteral("打印标题");

// The title as stored; empty when none was stored.
QString storedTitle();
// The heading of printed pages: the stored title, or the program's title
// when none is stored.
QString title();
// False when the settings file could not be written.
bool setTitle(const QString &title);
}

// A4 with 15 mm margins in the given orientation, set on the device.
void SetA4(QPagedPaintDevice &device, QPageLayout::Orientation orientation);

// Lays the document out on the device's pages, leaving room under each page
// for its number "第 n 页 / 共 N 页", and paints every page. The document
// itself is left as it was. Returns the number of pages painted (0 when the
// device could not be painted on).
int PrintPaged(const QTextDocument &document, QPagedPaintDevice &device);

} // namespace cg
