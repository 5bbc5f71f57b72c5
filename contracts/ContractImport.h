#pragma once
// Contracts brought in from a workbook laid out like the contract table:
// the template the user fills in, and storing the loaded rows in list order.
// The entry window loads the workbook into its list and hands the rows here
// (ContractImportRun runs the storing on a worker thread).

#include "contracts/ContractRecord.h"
#include "data/Context.h"
#include "spreadsheet/SheetExport.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QStringList>
#include <functional>

namespace cg {
class DbConnection;

class ContractImport {
public:
    // Columns A to U: 单据状态 … 税率 in the order of the contract table.
    static constexpr int kColumns = 21;

    // The names handed to the workbook reader (it reads as many columns).
    static const QStringList &readerTitles();
    // The workbook the template button saves: sheet "111", the titles of
    // the layout, text columns and date columns (制单日期, 生效日期,
    // 失效日期), and five example lines of two contracts.
    static Sheet::TemplateSheet templateSheet();

    enum class Outcome {
        Imported,            // every row is stored
        DuplicateSubNumber,  // a row's 合同子编号 is stored already
        Failed               // a row could not be stored
    };

    struct Result {
        Outcome outcome = Outcome::Imported;
        int stored = 0;    // rows stored (and logged) before the import ended
        int row = 0;       // the list row, counted from 1, that stopped it
        QString number;    // that row's 合同编号
    };

    ContractImport(DbConnection &db, const LoginContext &login);

    // The row a list row stores: cells 0 to 20 in the order of the layout,
    // missing cells empty. A state "未审核" or empty is stored as "已审核".
    static ContractRow rowOf(const QStringList &cells);

    // Rows checked and stored per unit of work: the write lock is held for
    // one such batch at a time, so other workstations wait briefly.
    static constexpr int kBatchRows = 500;

    // Called after each batch with the rows stored so far and the total.
    using Progress = std::function<void(int done, int total)>;

    // Stores the rows in list order. A row whose 合同子编号 is stored already
    // (or came earlier in the list), or that cannot be stored, ends the
    // import; the rows before it stay stored. An empty sub-number is no
    // sub-number and never counts as stored. Each stored row is logged
    // ("合同导入", "操作", "合同导入成功：" + cells 1 to 20) in the unit of
    // work that stores it, so a row is never stored without its log row.
    // The sub-numbers of a batch are checked with one query, inside the
    // unit, so no other workstation can store one of them in between.
    Result save(const QList<QStringList> &rows, const Progress &progress = {});

    // After an import that stored every row.
    void logCompleted(int rows);

    // What the user is told about a result.
    static QString message(const Result &result);
    static QString logDescription(const QStringList &cells);

private:
    enum class Stop { None, Duplicate, Failed };
    // Rows [from, to) in one unit of work; *stoppedAt is the row that ended
    // it (to when none did). The rows before it are committed.
    // The stored sub-numbers are asked with one query and the rows and
    // their log rows written with a few statements; where that cannot be
    // done, storeRowByRow.
    Stop storeBatch(const QList<QStringList> &rows, int from, int to, int *stoppedAt);
    Stop storeRowByRow(const QList<QStringList> &rows, int from, int to, int *stoppedAt);
    // Which of the batch's sub-numbers are stored: the texts the server
    // returned. *exact is false when it returned a text not asked for as
    // such (a comparison that ignores case or blanks): then each row is
    // asked on its own.
    QSet<QString> storedSubNumbers(const QList<QStringList> &rows, int from, int to, bool *ok, bool *exact);

    DbConnection &m_db;
    LoginContext m_login;
    ContractStore m_store;
};

} // namespace cg
