#pragma once
// A PDF shown inside a window, read from bytes in memory: pages one below
// the other, page back and forward, "n / N", zoom in and out, fit to width.
// Nothing is written to disk for it.

#include <QBuffer>
#include <QByteArray>
#include <QWidget>

class QLabel;
class QPdfDocument;
class QPdfView;
class QPushButton;

namespace cg {

// How a PDF in memory loads.
enum class PdfContent {
    Readable,   // its pages can be shown
    Protected,  // it opens only with a password (or a scheme we cannot open)
    Damaged,    // it does not load
};
PdfContent InspectPdf(const QByteArray &bytes);

class PdfPane : public QWidget {
    Q_OBJECT
public:
    inline static const QString kNone = QStringLiteral("没有PDF电子档。");
    inline static const QString kProtected = QStringLiteral("此PDF文件有密码保护，无法显示内容。");
    inline static const QString kDamaged = QStringLiteral("PDF文件已损坏，无法显示内容。");

    explicit PdfPane(QWidget *parent = nullptr);
    ~PdfPane() override;

    // Shows the PDF of these bytes from its first page, fitted to the width.
    // Empty bytes, a protected or a damaged file show a notice instead.
    PdfContent setBytes(const QByteArray &bytes);
    // Shows no document, only the notice.
    void showNotice(const QString &text);

    int pageCount() const;
    // 0-based; -1 without a document.
    int currentPage() const;
    void goToPage(int page);
    void nextPage();
    void previousPage();
    void zoomIn();
    void zoomOut();
    void fitToWidth();
    qreal zoomFactor() const;

    QPdfView *view() const { return m_view; }
    QString notice() const;

private:
    void updateControls();
    // The factor the view draws with now, also while it fits the width.
    qreal effectiveZoom() const;
    void setZoom(qreal factor);

    QBuffer m_buffer;          // lives as long as the document reads it
    QPdfDocument *m_document = nullptr;
    QPdfView *m_view = nullptr;
    QLabel *m_notice = nullptr, *m_page = nullptr;
    QPushButton *m_previous = nullptr, *m_next = nullptr, *m_zoomIn = nullptr, *m_zoomOut = nullptr,
                *m_fit = nullptr;
    bool m_loaded = false;
};

} // namespace cg
