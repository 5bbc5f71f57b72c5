#include "support/PdfFiles.h"

#include <QBuffer>
#include <QCryptographicHash>
#include <QPainter>
#include <QPdfWriter>
#include <QStringList>

namespace cgtest {

namespace {

// Objects 1.. in order, then the cross-reference table and the trailer.
QByteArray assemble(const QList<QByteArray> &objects, const QByteArray &trailerExtra = {})
{
    QByteArray out("%PDF-1.4\n");
    QList<qsizetype> offsets;
    for (int i = 0; i < objects.size(); ++i) {
        offsets << out.size();
        out += QByteArray::number(i + 1) + " 0 obj\n" + objects.at(i) + "\nendobj\n";
    }
    const qsizetype xref = out.size();
    out += "xref\n0 " + QByteArray::number(objects.size() + 1) + "\n0000000000 65535 f \n";
    for (qsizetype o : offsets)
        out += QByteArray::number(o).rightJustified(10, '0') + " 00000 n \n";
    out += "trailer\n<< /Size " + QByteArray::number(objects.size() + 1) + " /Root 1 0 R" + trailerExtra
        + " >>\nstartxref\n" + QByteArray::number(xref) + "\n%%EOF\n";
    return out;
}

const QList<QByteArray> kOnePage = {
    "<< /Type /Catalog /Pages 2 0 R >>",
    "<< /Type /Pages /Kids [3 0 R] /Count 1 >>",
    "<< /Type /Page /Parent 2 0 R /MediaBox [0 0 595 842] >>",
};

QByteArray rc4(const QByteArray &key, const QByteArray &data)
{
    unsigned char s[256];
    for (int i = 0; i < 256; ++i)
        s[i] = static_cast<unsigned char>(i);
    for (int i = 0, j = 0; i < 256; ++i) {
        j = (j + s[i] + static_cast<unsigned char>(key.at(i % key.size()))) & 0xff;
        std::swap(s[i], s[j]);
    }
    QByteArray out(data.size(), Qt::Uninitialized);
    for (int n = 0, i = 0, j = 0; n < data.size(); ++n) {
        i = (i + 1) & 0xff;
        j = (j + s[i]) & 0xff;
        std::swap(s[i], s[j]);
        out[n] = static_cast<char>(data.at(n) ^ s[(s[i] + s[j]) & 0xff]);
    }
    return out;
}

QByteArray md5(const QByteArray &data) { return QCryptographicHash::hash(data, QCryptographicHash::Md5); }

} // namespace

QByteArray pdfWithPages(int pages)
{
    QByteArray out;
    QBuffer buffer(&out);
    buffer.open(QIODevice::WriteOnly);
    {
        QPdfWriter writer(&buffer);
        writer.setPageSize(QPageSize(QPageSize::A4));
        writer.setResolution(72);
        writer.setTitle(QStringLiteral("采购合同"));
        QPainter p(&writer);
        QFont font(QStringLiteral("WenQuanYi Micro Hei"));
        for (int page = 0; page < pages; ++page) {
            if (page > 0)
                writer.newPage();
            font.setPixelSize(28);
            p.setFont(font);
            p.drawText(QRect(60, 60, 480, 40), Qt::AlignCenter, QStringLiteral("采购合同"));
            font.setPixelSize(14);
            p.setFont(font);
            const QStringList lines = {QStringLiteral("合同编号：KQLM0007"), QStringLiteral("供应商：北方五金"),
                                       QStringLiteral("产品：螺丝  数量：1000  计量单位：个"),
                                       QStringLiteral("合同金额：12,800.00 元"),
                                       QStringLiteral("第 %1 页，共 %2 页").arg(page + 1).arg(pages)};
            for (int i = 0; i < lines.size(); ++i)
                p.drawText(70, 150 + 28 * i, lines.at(i));
            p.drawRect(60, 130, 475, 28 * lines.size() + 20);
        }
    }
    return out;
}

QByteArray pdfOfSize(qint64 size)
{
    QByteArray out = assemble(kOnePage);
    // After %%EOF: "%" + filler + "\n".
    const qint64 filler = size - out.size() - 2;
    if (filler < 0)
        qFatal("a PDF needs at least %lld bytes", static_cast<long long>(out.size() + 2));
    out += '%' + QByteArray(filler, 'p') + '\n';
    return out;
}

QByteArray passwordProtectedPdf()
{
    static const QByteArray pad = QByteArray::fromHex("28BF4E5E4E758A4164004E56FFFA01082E2E00B6D0683E802F0CA9FE6453697A");
    const auto padded = [](const QByteArray &password) { return (password + pad).left(32); };
    const QByteArray id = md5("砚禾澄屿");
    const qint32 permissions = -44;
    // Owner entry: the padded user password under the owner password's key.
    const QByteArray owner = rc4(md5(padded("owner")).left(5), padded(kPdfPassword));
    QByteArray p(4, 0);
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<char>((static_cast<quint32>(permissions) >> (8 * i)) & 0xff);
    const QByteArray key = md5(padded(kPdfPassword) + owner + p + id).left(5);
    const QByteArray user = rc4(key, pad);
    QList<QByteArray> objects = kOnePage;
    objects << "<< /Filter /Standard /V 1 /R 2 /O <" + owner.toHex() + "> /U <" + user.toHex() + "> /P "
                   + QByteArray::number(permissions) + " >>";
    return assemble(objects, " /Encrypt 4 0 R /ID [<" + id.toHex() + "> <" + id.toHex() + ">]");
}

} // namespace cgtest
