#pragma once
// Writes a list as an .xlsx workbook: one formatted title row, then one row
// per list row with every cell stored as text. Knows nothing of windows or
// the database; the user dialogue around it lives with the caller.

#include <QString>
#include <QStringList>
#include <functional>

namespace cg::Sheet {

// The rows to write, asked cell by cell in row order (row 0 first, each row
// from column 0 up), so it can read a list view, a model or a vector. Called
// on the thread that runs the export.
struct RowSource {
    qint64 rowCount = 0;
    std::function<QString(qint64 row, int column)> cell;

    static RowSource fromRows(QList<QStringList> rows);
};

// After each written row: rows done so far and the total.
using ExportProgress = std::function<void(qint64 done, qint64 total)>;

enum class ExportStatus {
    Ok,
    Busy,          // another export is running in this process
    FileInUse,     // the target exists and cannot be opened for writing
    EngineFailed,  // the package writer could not start on a file it could create
    WriteFailed,   // the file could not be written or put in place
};

struct ExportResult {
    ExportStatus status = ExportStatus::Ok;
    QString detail;  // technical reason, for logs and developers
    bool ok() const { return status == ExportStatus::Ok; }
};

// Largest number of data rows a worksheet holds below its title row.
constexpr qint64 kMaxDataRows = 1048575;
// Longest text a cell holds; longer texts are cut.
constexpr int kMaxCellText = 32767;

// Writes titles in row 1 (text format, width 20, height 18, bold, thin grey
// borders, light fill) and rows from row 2 (text format only), streaming:
// memory does not grow with the number of rows. The workbook is written
// next to the target under a temporary name and then moved over it, so the
// target is either the complete new workbook or left as it was.
// One export at a time per process: a second call while one runs returns
// Busy at once. Safe to run on a worker thread when the row source is.
ExportResult ExportWorkbook(const QString &path, const QStringList &titles, const RowSource &rows,
                            const ExportProgress &progress = {});

// A workbook for people to fill in: one sheet with the titles in row 1
// (text format, centred both ways, wrapped, thin borders, the row frozen
// above the rest), each column formatted as text or as dates with its own
// width, and some example rows below.
enum class ColumnKind { Text, Date };

struct TemplateColumn {
    QString title;
    double width = 20;                   // in characters of the default font
    ColumnKind kind = ColumnKind::Text;  // the format of the whole column
};

struct TemplateSheet {
    QString name = QStringLiteral("Sheet1");
    QList<TemplateColumn> columns;
    // Example rows from row 2. In a date column a text "yyyy-MM-dd" (from
    // 1900-03-01 on) is stored as that date; every other text as text.
    QList<QStringList> rows;
};

// Writes the template the way ExportWorkbook writes a list: aside first,
// then moved over the target. Statuses as there, never Busy.
ExportResult WriteTemplate(const QString &path, const TemplateSheet &sheet);

// True when the file does not exist or can be opened for writing (without
// changing it). A file another program holds locked fails here.
bool CanReplace(const QString &path);

} // namespace cg::Sheet
