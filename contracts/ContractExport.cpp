#include "contracts/ContractExport.h"
#include "contracts/ContractQueryModel.h"
#include "contracts/ContractQueryWindow.h"
#include "data/OperationLog.h"
#include "ui/SpreadsheetExport.h"

#include <QPointer>

namespace cg {

const QStringList &ContractExportTitles()
{
    static const QStringList titles = {
        QStringLiteral("单据状态"),   QStringLiteral("合同编号"),   QStringLiteral("申请人"),
        QStringLiteral("申请部门"),   QStringLiteral("采购员"),     QStringLiteral("供应商"),
        QStringLiteral("产品"),       QStringLiteral("设备数量"),   QStringLiteral("计量单位"),
        QStringLiteral("制单日期"),   QStringLiteral("生效日期"),   QStringLiteral("失效日期"),
        QStringLiteral("合同总金额"), QStringLiteral("付款方式"),   QStringLiteral("第一次付款"),
        QStringLiteral("第二次付款"), QStringLiteral("第三次付款"), QStringLiteral("第四次付款"),
        QStringLiteral("剩余尾款"),   QStringLiteral("税率"),       QStringLiteral("附件")};
    return titles;
}

Sheet::RowSource ContractListRows(const ContractListModel *model)
{
    Sheet::RowSource rows;
    rows.rowCount = model ? model->rowCount() : 0;
    rows.cell = [model = QPointer<const ContractListModel>(model)](qint64 row, int column) {
        return model && column < ListColumn::Id ? model->cell(int(row), column) : QString();
    };
    return rows;
}

bool ExportContractList(ContractQueryWindow *window)
{
    const ContractListModel *model = window->model();
    const int rows = model->rowCount();
    const bool ok = ExportList(window, ContractExportTitles(), ContractListRows(model));
    WriteLogEntry(QStringLiteral("操作"),
                  (ok ? QStringLiteral("成功导出合同，共导出：") : QStringLiteral("导出合同失败，共失败："))
                      + QString::number(rows) + QStringLiteral("行"),
                  QStringLiteral("合同查询"));
    return ok;
}

} // namespace cg
