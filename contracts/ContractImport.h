#pragma once
// Contracts brought in from a workbook laid out like the contract table:
// the template the user fills in, and storing the loaded rows one by one.
// The entry window loads the workbook into its list and hands the rows here.

#include "contracts/ContractRecord.h"
#include "data/Context.h"
#include "spreadsheet/SheetExport.h"

#include <QList>
#include <QString>
#include <QStringList>

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

    // Stores the rows in list order. Each row's check of its sub-number and
    // its insert are one unit of work, and a stored row is logged at once
    // ("合同导入", "操作", "合同导入成功：" + cells 1 to 20). The first row
    // whose sub-number exists or that cannot be stored ends the import;
    // the rows before it stay stored.
    Result save(const QList<QStringList> &rows);

    // After an import that stored every row.
    void logCompleted(int rows);

    // What the user is told about a result.
    static QString message(const Result &result);
    static QString logDescription(const QStringList &cells);

private:
    DbConnection &m_db;
    LoginContext m_login;
    ContractStore m_store;
};

} // namespace cg
