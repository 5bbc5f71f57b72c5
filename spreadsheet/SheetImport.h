#pragma once
// Reads the first worksheet of an .xlsx workbook as rows of texts, from row 2
// down to the first blank row. Every part is read with expat. Knows nothing
// of windows or the database, and keeps no state between calls, so it may
// run on any thread.

#include <QList>
#include <QString>
#include <QStringList>
#include <functional>

namespace cg::Sheet {

enum class ReadStatus {
    Ok,
    CannotOpen,   // missing, locked or unreadable
    NotWorkbook,  // not an .xlsx package (another format, or no workbook in it)
    Damaged,      // parts broken or missing, or holding what no workbook holds (a cell
                  // beyond column XFD or row 1048576, bytes invalid in the part's
                  // encoding, nesting deeper than any writer makes)
    TooLarge,     // more XML than the limit allows (a zip bomb), or more shared
                  // strings than the import takes into memory
};

struct ReadOptions {
    // Upper bound on the uncompressed XML read from the package.
    qint64 maxXmlBytes = 200LL * 1024 * 1024;
    // Called after each data row that was taken, with the count so far.
    std::function<void(qint64 rows)> progress;
};

struct ReadResult {
    ReadStatus status = ReadStatus::Ok;
    QString detail;           // technical reason, for logs and developers
    QList<QStringList> rows;  // each with exactly `columns` texts
    bool ok() const { return status == ReadStatus::Ok; }
};

// Sheet rows 2, 3, … of columns 1 … columns, until a row whose texts are all
// blank (nothing but ASCII and full-width spaces). Within a row, the cells
// before its first non-blank cell come back empty, the later ones as they
// are. Numbers, dates, booleans and formula results come back as the texts
// described at NumberText and DateText; rows beyond the first blank one are
// not looked at. On failure the rows are empty.
ReadResult ReadFirstSheet(const QString &path, int columns, const ReadOptions &options = {});

// A blank text holds nothing but ' ' and U+3000.
bool IsBlank(const QString &text);

// A number as a cell shows it under the General format, to Excel's 15
// significant digits: whole numbers below 10^15 without exponent
// (13800138000), fractions in plain notation (0.3, 1234.56), very large or
// very small numbers with one ("1.23456789012346E+17").
QString NumberText(double value);

enum class DateKind { Date, Time, DateTime };
// A date serial as text: "yyyy-MM-dd", "HH:mm:ss", or "yyyy-MM-dd HH:mm:ss"
// (a date-time at midnight shows the date only). Empty when the serial is no
// date the workbook can show.
QString DateText(double serial, DateKind kind, bool date1904);

} // namespace cg::Sheet
