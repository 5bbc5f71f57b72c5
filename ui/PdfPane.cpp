#include "ui/PdfPane.h"

#include "ui/Shell.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPdfDocument>
#include <QPdfPageNavigator>
#include <QPdfView>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace cg {

namespace {

constexpr qreal kZoomStep = 1.25;
constexpr qreal kMinZoom = 0.25;
constexpr qreal kMaxZoom = 4.0;

PdfContent contentOf(const QPdfDocument &document)
{
    if (document.status() == QPdfDocument::Status::Ready)
        return PdfContent::Readable;
    switch (document.error()) {
    case QPdfDocument::Error::IncorrectPassword:
    case QPdfDocument::Error::UnsupportedSecurityScheme:
        return PdfContent::Protected;
    default:
        return PdfContent::Damaged;
    }
}

} // namespace

PdfContent InspectPdf(const QByteArray &bytes)
{
    QBuffer buffer;
    buffer.setData(bytes);
    if (bytes.isEmpty() || !buffer.open(QIODevice::ReadOnly))
        return PdfContent::Damaged;
    QPdfDocument document;
    // The whole file is in memory: the load is done when it returns.
    document.load(&buffer);
    return contentOf(document);
}

PdfPane::PdfPane(QWidget *parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("PDF窗格"));
    m_document = new QPdfDocument(this);

    m_previous = NamedButton(QStringLiteral("按钮_上一页"), QStringLiteral("上一页"), this);
    m_next = NamedButton(QStringLiteral("按钮_下一页"), QStringLiteral("下一页"), this);
    m_page = new QLabel(this);
    m_page->setObjectName(QStringLiteral("标签_页码"));
    m_page->setAlignment(Qt::AlignCenter);
    m_page->setMinimumWidth(70);
    m_zoomOut = NamedButton(QStringLiteral("按钮_缩小"), QStringLiteral("缩小"), this);
    m_zoomIn = NamedButton(QStringLiteral("按钮_放大"), QStringLiteral("放大"), this);
    m_fit = NamedButton(QStringLiteral("按钮_适合宽度"), QStringLiteral("适合宽度"), this);

    m_view = new QPdfView(this);
    m_view->setObjectName(QStringLiteral("PDF视图"));
    m_view->setAccessibleName(QStringLiteral("PDF电子档"));
    m_view->setPageMode(QPdfView::PageMode::MultiPage);
    m_view->setZoomMode(QPdfView::ZoomMode::FitToWidth);
    m_view->setDocument(m_document);

    m_notice = new QLabel(kNone, this);
    m_notice->setObjectName(QStringLiteral("标签_PDF提示"));
    m_notice->setAlignment(Qt::AlignCenter);
    m_notice->setWordWrap(true);

    auto *stack = new QStackedWidget(this);
    stack->setObjectName(QStringLiteral("PDF显示"));
    stack->addWidget(m_notice);
    stack->addWidget(m_view);

    auto *tools = new QHBoxLayout;
    tools->setSpacing(4);
    tools->addWidget(m_previous);
    tools->addWidget(m_page);
    tools->addWidget(m_next);
    tools->addStretch();
    tools->addWidget(m_zoomOut);
    tools->addWidget(m_zoomIn);
    tools->addWidget(m_fit);
    auto *layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addLayout(tools);
    layout->addWidget(stack, 1);

    connect(m_previous, &QPushButton::clicked, this, [this] { previousPage(); });
    connect(m_next, &QPushButton::clicked, this, [this] { nextPage(); });
    connect(m_zoomIn, &QPushButton::clicked, this, [this] { zoomIn(); });
    connect(m_zoomOut, &QPushButton::clicked, this, [this] { zoomOut(); });
    connect(m_fit, &QPushButton::clicked, this, [this] { fitToWidth(); });
    // Scrolling moves the current page too.
    connect(m_view->pageNavigator(), &QPdfPageNavigator::currentPageChanged, this, [this] { updateControls(); });
    connect(m_view, &QPdfView::zoomModeChanged, this, [this] { updateControls(); });
    updateControls();
}

PdfPane::~PdfPane()
{
    // The document reads the buffer until it is closed.
    m_view->setDocument(nullptr);
    m_document->close();
}

PdfContent PdfPane::setBytes(const QByteArray &bytes)
{
    m_document->close();
    m_buffer.close();
    m_loaded = false;
    if (bytes.isEmpty()) {
        showNotice(kNone);
        return PdfContent::Damaged;
    }
    m_buffer.setData(bytes);
    m_buffer.open(QIODevice::ReadOnly);
    m_document->load(&m_buffer);
    const PdfContent content = contentOf(*m_document);
    if (content != PdfContent::Readable) {
        m_document->close();
        m_buffer.close();
        showNotice(content == PdfContent::Protected ? kProtected : kDamaged);
        return content;
    }
    m_loaded = true;
    m_view->setZoomMode(QPdfView::ZoomMode::FitToWidth);
    m_view->setZoomFactor(1.0);
    static_cast<QStackedWidget *>(m_view->parentWidget())->setCurrentWidget(m_view);
    m_view->pageNavigator()->jump(0, QPointF(), 0);
    updateControls();
    return content;
}

void PdfPane::showNotice(const QString &text)
{
    if (m_loaded) {
        m_document->close();
        m_buffer.close();
        m_loaded = false;
    }
    m_notice->setText(text);
    static_cast<QStackedWidget *>(m_notice->parentWidget())->setCurrentWidget(m_notice);
    updateControls();
}

QString PdfPane::notice() const { return m_loaded ? QString() : m_notice->text(); }

int PdfPane::pageCount() const { return m_loaded ? m_document->pageCount() : 0; }

int PdfPane::currentPage() const { return m_loaded ? m_view->pageNavigator()->currentPage() : -1; }

void PdfPane::goToPage(int page)
{
    if (!m_loaded || page < 0 || page >= pageCount())
        return;
    m_view->pageNavigator()->jump(page, QPointF(), m_view->pageNavigator()->currentZoom());
    updateControls();
}

void PdfPane::nextPage() { goToPage(currentPage() + 1); }
void PdfPane::previousPage() { goToPage(currentPage() - 1); }

qreal PdfPane::effectiveZoom() const
{
    if (m_view->zoomMode() == QPdfView::ZoomMode::Custom || !m_loaded)
        return m_view->zoomFactor();
    // Fitted: the page's width in points over the width it is drawn in.
    const qreal points = m_document->pagePointSize(qMax(0, currentPage())).width();
    const QMargins margins = m_view->documentMargins();
    const qreal width = m_view->viewport()->width() - margins.left() - margins.right();
    if (points <= 0 || width <= 0)
        return 1.0;
    return width / (points * m_view->logicalDpiX() / 72.0);
}

qreal PdfPane::zoomFactor() const { return effectiveZoom(); }

void PdfPane::setZoom(qreal factor)
{
    m_view->setZoomMode(QPdfView::ZoomMode::Custom);
    m_view->setZoomFactor(qBound(kMinZoom, factor, kMaxZoom));
    updateControls();
}

void PdfPane::zoomIn() { setZoom(effectiveZoom() * kZoomStep); }
void PdfPane::zoomOut() { setZoom(effectiveZoom() / kZoomStep); }

void PdfPane::fitToWidth()
{
    m_view->setZoomMode(QPdfView::ZoomMode::FitToWidth);
    updateControls();
}

void PdfPane::updateControls()
{
    const int count = pageCount();
    const int page = currentPage();
    m_page->setText(m_loaded ? QString::number(page + 1) + QStringLiteral(" / ") + QString::number(count)
                             : QString());
    m_previous->setEnabled(m_loaded && page > 0);
    m_next->setEnabled(m_loaded && page + 1 < count);
    const bool custom = m_view->zoomMode() == QPdfView::ZoomMode::Custom;
    m_zoomIn->setEnabled(m_loaded && (!custom || m_view->zoomFactor() < kMaxZoom));
    m_zoomOut->setEnabled(m_loaded && (!custom || m_view->zoomFactor() > kMinZoom));
    m_fit->setEnabled(m_loaded && custom);
}

} // namespace cg
