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
    FileInUse,     // the target exists and cannot be opened for writing (another program holds it)
    ReadOnlyFile,  // the target exists and this user may not write it (read-only, permissions)
    ReadOnlyFolder,  // this user may not create files in the target's folder
    InvalidInput,  // more than a workbook can hold: columns, rows, a sheet name
    EngineFailed,  // the package writer could not start on a file it could create
    WriteFailed,   // the file could not be written or put in place
};

struct ExportResult {
    ExportStatus status = ExportStatus::Ok;
    QString detail;  // technical reason, for logs and developers
    bool ok() const { return status == ExportStatus::Ok; }
};

// Rows of a worksheet, the title row included, and the data rows below it.
constexpr qint64 kMaxSheetRows = 1048576;
constexpr qint64 kMaxDataRows = kMaxSheetRows - 1;
// Longest sheet name a workbook holds.
constexpr int kMaxSheetName = 31;
// Longest text a cell holds; longer texts are cut.
constexpr int kMaxCellText = 32767;

// Writes titles in row 1 (text format, width 20, height 18, bold, thin grey
// borders, light fill) and rows from row 2 (text format only), streaming:
// memory does not grow with the number of rows. Rows beyond what one
// worksheet holds continue on the next worksheet (Sheet2, Sheet3, …), each
// again with the title row. The workbook is written
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
// then moved over the target. Statuses as there, never Busy; a sheet name
// a workbook cannot hold is InvalidInput.
ExportResult WriteTemplate(const QString &path, const TemplateSheet &sheet);

// Why a workbook cannot hold this sheet name (empty, longer than 31
// characters, one of : \ / ? * [ ], a character XML cannot hold, or ' at
// either end); empty when it can.
QString SheetNameProblem(const QString &name);

// Whether the target can be written, without changing it: Ok, FileInUse
// (it cannot be opened for writing, another program holds it or it is a
// folder), ReadOnlyFile or ReadOnlyFolder.
ExportStatus TargetStatus(const QString &path);
// TargetStatus(path) == Ok.
bool CanReplace(const QString &path);

// Tests: fewer data rows per worksheet than it holds, so that continuing on
// the next worksheet can be seen with a short list. 0 restores the limit.
void SetRowsPerSheetForTests(qint64 rows);

} // namespace cg::Sheet
