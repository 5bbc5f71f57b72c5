#pragma once
// PDF files made in the tests: real ones from QPdfWriter, small hand-made
// ones of an exact size, and one that asks for a password.

#include <QByteArray>

namespace cgtest {

// An A4 document of that many pages, each with its number and a Chinese line.
QByteArray pdfWithPages(int pages);

// A one-page PDF of exactly size bytes (at least about 300), padded with a
// comment after its end.
QByteArray pdfOfSize(qint64 size);

// A one-page PDF encrypted with the standard security handler (revision 2,
// RC4 40-bit) that opens only with the user password kPdfPassword.
inline constexpr char kPdfPassword[] = "secret";
QByteArray passwordProtectedPdf();

} // namespace cgtest
