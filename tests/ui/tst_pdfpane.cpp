// The PDF pane: documents made here, read from memory, paged and zoomed
// through its buttons; files that do not load show why.
#include "support/Controls.h"
#include "support/PdfFiles.h"
#include "ui/PdfPane.h"

#include <QBuffer>
#include <QLabel>
#include <QPdfDocument>
#include <QPdfView>
#include <QPushButton>
#include <QScrollBar>
#include <QtTest>

using namespace cg;

namespace {

using cgtest::button;

QString pageText(QWidget *w) { return w->findChild<QLabel *>(QStringLiteral("标签_页码"))->text(); }

} // namespace

class TstPdfPane : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void inspectTellsHowAFileLoads_data();
    void inspectTellsHowAFileLoads();
    void protectedFileOpensWithItsPassword();
    void pagesAndZoom();
    void noticesInsteadOfADocument();
};

void TstPdfPane::inspectTellsHowAFileLoads_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("content");
    const QByteArray three = cgtest::pdfWithPages(3);
    QTest::newRow("three pages") << three << int(PdfContent::Readable);
    QTest::newRow("padded to size") << cgtest::pdfOfSize(1000) << int(PdfContent::Readable);
    QTest::newRow("password") << cgtest::passwordProtectedPdf() << int(PdfContent::Protected);
    QTest::newRow("header then garbage") << QByteArray("%PDF-1.4\n") + QByteArray(2000, 'p')
                                         << int(PdfContent::Damaged);
    QTest::newRow("cut in half") << three.left(three.size() / 2) << int(PdfContent::Damaged);
    QTest::newRow("cut before its end") << three.left(three.size() - 40) << int(PdfContent::Damaged);
    QTest::newRow("empty") << QByteArray() << int(PdfContent::Damaged);
}

void TstPdfPane::inspectTellsHowAFileLoads()
{
    QFETCH(QByteArray, bytes);
    QFETCH(int, content);
    QCOMPARE(int(InspectPdf(bytes)), content);
}

// The hand-made encryption is real: the right password opens it.
void TstPdfPane::protectedFileOpensWithItsPassword()
{
    QCOMPARE(cgtest::pdfOfSize(777).size(), 777);
    QBuffer buffer;
    buffer.setData(cgtest::passwordProtectedPdf());
    QVERIFY(buffer.open(QIODevice::ReadOnly));
    QPdfDocument document;
    document.setPassword(QString::fromLatin1(cgtest::kPdfPassword));
    document.load(&buffer);
    QCOMPARE(document.status(), QPdfDocument::Status::Ready);
    QCOMPARE(document.pageCount(), 1);
}

void TstPdfPane::pagesAndZoom()
{
    PdfPane pane;
    pane.resize(600, 700);
    pane.show();
    QVERIFY(QTest::qWaitForWindowExposed(&pane));
    QCOMPARE(pane.setBytes(cgtest::pdfWithPages(3)), PdfContent::Readable);
    QCOMPARE(pane.pageCount(), 3);
    QCOMPARE(pageText(&pane), QStringLiteral("1 / 3"));
    QVERIFY(pane.notice().isEmpty());
    QVERIFY(pane.view()->isVisible());
    QVERIFY(!button(&pane, "按钮_上一页")->isEnabled());
    QVERIFY(!button(&pane, "按钮_适合宽度")->isEnabled());

    // Forward to the end and one back; the view scrolls with the page.
    QScrollBar *bar = pane.view()->verticalScrollBar();
    button(&pane, "按钮_下一页")->click();
    QCOMPARE(pageText(&pane), QStringLiteral("2 / 3"));
    const int second = bar->value();
    QVERIFY(second > 0);
    button(&pane, "按钮_下一页")->click();
    QCOMPARE(pageText(&pane), QStringLiteral("3 / 3"));
    QVERIFY(!button(&pane, "按钮_下一页")->isEnabled());
    button(&pane, "按钮_上一页")->click();
    QCOMPARE(pageText(&pane), QStringLiteral("2 / 3"));
    QCOMPARE(bar->value(), second);
    // Scrolling by hand moves the page shown in the label.
    bar->setValue(bar->maximum());
    QCOMPARE(pageText(&pane), QStringLiteral("3 / 3"));
    bar->setValue(0);
    QCOMPARE(pageText(&pane), QStringLiteral("1 / 3"));
    button(&pane, "按钮_下一页")->click();

    // Zoom starts from the fitted width, not from 100 %.
    const qreal fitted = pane.zoomFactor();
    button(&pane, "按钮_放大")->click();
    QCOMPARE(pane.view()->zoomMode(), QPdfView::ZoomMode::Custom);
    QVERIFY(qAbs(pane.zoomFactor() - fitted * 1.25) < 0.01);
    QVERIFY(button(&pane, "按钮_适合宽度")->isEnabled());
    for (int i = 0; i < 20; ++i)
        button(&pane, "按钮_缩小")->click();
    QCOMPARE(pane.zoomFactor(), 0.25);
    QVERIFY(!button(&pane, "按钮_缩小")->isEnabled());
    button(&pane, "按钮_适合宽度")->click();
    QCOMPARE(pane.view()->zoomMode(), QPdfView::ZoomMode::FitToWidth);
    QVERIFY(qAbs(pane.zoomFactor() - fitted) < 0.01);

    // Another document starts on its first page.
    QCOMPARE(pane.setBytes(cgtest::pdfWithPages(2)), PdfContent::Readable);
    QCOMPARE(pageText(&pane), QStringLiteral("1 / 2"));
    QCOMPARE(pane.currentPage(), 0);
}

void TstPdfPane::noticesInsteadOfADocument()
{
    PdfPane pane;
    pane.show();
    QCOMPARE(pane.notice(), PdfPane::kNone);
    pane.setBytes(cgtest::pdfWithPages(2));
    const struct {
        QByteArray bytes;
        PdfContent content;
        QString notice;
    } cases[] = {
        {cgtest::passwordProtectedPdf(), PdfContent::Protected, QStringLiteral("此PDF文件有密码保护，无法显示内容。")},
        {QByteArray("%PDF-1.7 damaged"), PdfContent::Damaged, QStringLiteral("PDF文件已损坏，无法显示内容。")},
        {QByteArray(), PdfContent::Damaged, QStringLiteral("没有PDF电子档。")},
    };
    for (const auto &c : cases) {
        QCOMPARE(pane.setBytes(c.bytes), c.content);
        QCOMPARE(pane.notice(), c.notice);
        QCOMPARE(pane.findChild<QLabel *>(QStringLiteral("标签_PDF提示"))->text(), c.notice);
        QVERIFY(!pane.view()->isVisible());
        QCOMPARE(pane.pageCount(), 0);
        QCOMPARE(pageText(&pane), QString());
        for (const char *name : {"按钮_上一页", "按钮_下一页", "按钮_放大", "按钮_缩小", "按钮_适合宽度"})
            QVERIFY2(!button(&pane, name)->isEnabled(), name);
    }
}

QTEST_MAIN(TstPdfPane)
#include "tst_pdfpane.moc"
