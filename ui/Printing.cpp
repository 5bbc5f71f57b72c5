#include "ui/Printing.h"
#include "data/Context.h"
#include "ui/Shell.h"

#include <QAbstractTextDocumentLayout>
#include <QFontMetricsF>
#include <QPageSize>
#include <QPagedPaintDevice>
#include <QPainter>
#include <QTextDocument>
#include <memory>

namespace cg {

namespace PrintSettings {
QString storedTitle() { return Settings::read(kSection, kTitleKey); }

QString title()
{
    const QString stored = storedTitle();
    return stored.isEmpty() ? kSystemTitle : stored;
}

bool setTitle(const QString &title) { return Settings::write(kSection, kTitleKey, title); }
} // namespace PrintSettings

void SetA4(QPagedPaintDevice &device, QPageLayout::Orientation orientation)
{
    device.setPageLayout(QPageLayout(QPageSize(QPageSize::A4), orientation, QMarginsF(15, 15, 15, 15),
                                     QPageLayout::Millimeter));
}

int PrintPaged(const QTextDocument &document, QPagedPaintDevice &device)
{
    // The copy is laid out in the device's own pixels, so point sizes come
    // out as points on paper whatever the device's resolution.
    std::unique_ptr<QTextDocument> doc(document.clone());
    doc->documentLayout()->setPaintDevice(&device);
    doc->setDefaultFont(document.defaultFont());

    const QFont footerFont = ProgramFont(9);
    const qreal footer = QFontMetricsF(footerFont, &device).height() * 2;
    const qreal width = device.width();
    const qreal pageHeight = device.height() - footer;
    if (width <= 0 || pageHeight <= 0)
        return 0;
    doc->setPageSize(QSizeF(width, pageHeight));
    const int pages = doc->pageCount();

    QPainter painter;
    if (!painter.begin(&device))
        return 0;
    for (int page = 0; page < pages; ++page) {
        if (page > 0)
            device.newPage();
        painter.save();
        const QRectF area(0, page * pageHeight, width, pageHeight);
        painter.translate(0, -area.top());
        painter.setClipRect(area);
        QAbstractTextDocumentLayout::PaintContext context;
        context.clip = area;
        context.palette.setColor(QPalette::Text, Qt::black);
        doc->documentLayout()->draw(&painter, context);
        painter.restore();

        painter.setFont(footerFont);
        painter.setPen(Qt::black);
        painter.drawText(QRectF(0, pageHeight, width, footer), Qt::AlignCenter,
                         QStringLiteral("第 %1 页 / 共 %2 页").arg(page + 1).arg(pages));
    }
    painter.end();
    return pages;
}

} // namespace cg
