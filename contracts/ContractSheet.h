#pragma once
// The printed contract sheet and the printed query list, and printing them
// or saving the sheet as PDF with the operation-log entry of each.

#include "contracts/ContractChange.h"

#include <QString>
#include <QStringList>
#include <QVector>
#include <memory>

class QPagedPaintDevice;
class QTextDocument;
class QWidget;

namespace cg {

class ContractListModel;

namespace ContractSheet {

// One contract on A4 portrait: the title as heading, the header fields and
// the audit state, the product lines as a table, the four instalments and
// the remaining balance.
std::unique_ptr<QTextDocument> build(const QString &title, const LoadedContract &contract);

// What a printed list shows: the heading lines above the table, then the
// column titles (repeated on every page) and the rows.
struct List {
    QString title;
    QString filter;        // the filter the list was made with
    QString count;         // e.g. "共 12 行，5 份合同"
    QStringList headers;
    QVector<QStringList> rows;
};
std::unique_ptr<QTextDocument> buildList(const List &list);

// The list's visible columns and rows as the query window shows them.
List listOf(const ContractListModel &model, const QString &title, const QString &filter);

// Paints the document on the device's pages (A4 in the orientation given);
// the number of pages.
int paint(const QTextDocument &document, QPagedPaintDevice &device, bool landscape);

// Writes the contract sheet as a PDF file; the earlier file stays as it was
// when the new one cannot be written.
bool writePdf(const QTextDocument &document, const QString &path);

} // namespace ContractSheet

// The actions behind the windows' print entries. Each loads the contract
// of the line id as it is stored now, writes one "操作" log entry with the
// window's module when the pages were printed or the file was written, and
// tells the user about failures. False when nothing was printed or saved.
bool PrintContract(QWidget *owner, qint64 lineId, const QString &module);
bool SaveContractPdf(QWidget *owner, qint64 lineId, const QString &module);
bool PrintContractList(QWidget *owner, const ContractListModel &model, const QString &filter,
                       const QString &module);

} // namespace cg
