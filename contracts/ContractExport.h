#pragma once
// 按钮_导出 of the contract query window: the list as it is shown (head rows
// with all their values, continuation rows with product, quantity and unit)
// written to a workbook, and the outcome in the operation log.

#include "spreadsheet/SheetExport.h"

#include <QStringList>

namespace cg {

class ContractListModel;
class ContractQueryWindow;

// The 21 titles of the exported columns (单据状态 … 附件).
const QStringList &ContractExportTitles();

// Columns 0 to 20 of the list rows; the id column is left out.
Sheet::RowSource ContractListRows(const ContractListModel *model);

// Asks for the file, writes the list, tells the user how it went and logs
// ("合同查询", "操作", "成功导出合同，共导出：R行" or "导出合同失败，共失败：R行")
// with R the rows of the list. True when the file was written.
bool ExportContractList(ContractQueryWindow *window);

} // namespace cg
