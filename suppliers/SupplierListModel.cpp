#include "suppliers/SupplierListModel.h"

namespace cg {

SupplierListModel::SupplierListModel(QObject *parent) : QAbstractTableModel(parent) {}

const QVector<int> &SupplierListModel::columnWidths()
{
    static const QVector<int> w = {70, 200, 100, 80, 200, 100, 150, 20};
    return w;
}

void SupplierListModel::setRows(QVector<SupplierRow> rows)
{
    beginResetModel();
    m_rows = std::move(rows);
    endResetModel();
}

QString SupplierListModel::cell(int r, int column) const
{
    return isRow(r) ? m_rows.at(r).cells().value(column) : QString();
}

int SupplierListModel::indexOf(const SupplierRow &row) const { return int(m_rows.indexOf(row)); }

void SupplierListModel::setState(int r, const QString &state)
{
    if (!isRow(r))
        return;
    m_rows[r].state = state;
    emit dataChanged(index(r, 0), index(r, 0));
}

void SupplierListModel::setRow(int r, const SupplierRow &row)
{
    if (!isRow(r))
        return;
    m_rows[r] = row;
    emit dataChanged(index(r, 0), index(r, kColumns - 1));
}

void SupplierListModel::removeRowAt(int r)
{
    if (!isRow(r))
        return;
    beginRemoveRows({}, r, r);
    m_rows.remove(r);
    endRemoveRows();
}

int SupplierListModel::rowCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : int(m_rows.size()); }

int SupplierListModel::columnCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : kColumns; }

QVariant SupplierListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || !isRow(index.row()))
        return {};
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole)
        return cell(index.row(), index.column());
    return {};
}

QVariant SupplierListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    static const QStringList titles = {QStringLiteral("单据状态"), QStringLiteral("供应商名称"), QStringLiteral("电话"),
                                       QStringLiteral("联系人"),   QStringLiteral("地址"),       QStringLiteral("税  率"),
                                       QStringLiteral("付款方式"), QString()};
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return titles.value(section);
    if (orientation == Qt::Horizontal && role == Qt::TextAlignmentRole)
        return int(Qt::AlignCenter);
    return QAbstractTableModel::headerData(section, orientation, role);
}

} // namespace cg
