#include "data/RowTableModel.h"

namespace cg {

RowTableModel::RowTableModel(QObject *parent) : QAbstractTableModel(parent) {}

RowTableModel::~RowTableModel() = default;

void RowTableModel::setStore(const RowStore &store)
{
    beginResetModel();
    m_source.reset();
    m_store = store;
    m_error.clear();
    endResetModel();
}

bool RowTableModel::appendRows(const RowStore &rows)
{
    if (rows.isEmpty())
        return rows.columnCount() == m_store.columnCount() || m_store.columns().isEmpty();
    if (m_store.columns().isEmpty()) {
        setStore(rows);
        return true;
    }
    if (rows.columnCount() != m_store.columnCount())
        return false;
    const int first = m_store.rowCount();
    beginInsertRows({}, first, first + rows.rowCount() - 1);
    const bool ok = m_store.append(rows);
    endInsertRows();
    return ok;
}

void RowTableModel::clear()
{
    setStore(RowStore());
}

bool RowTableModel::setSource(std::unique_ptr<RowSource> source, int pageSize)
{
    beginResetModel();
    m_store = RowStore();
    m_source = std::move(source);
    m_pageSize = qMax(pageSize, 1);
    m_error.clear();
    bool ok = true;
    if (m_source && m_source->fetch(m_store, m_pageSize) < 0) {
        m_error = m_source->lastError();
        ok = false;
    }
    endResetModel();
    return ok;
}

bool RowTableModel::fetchPage()
{
    if (!m_source || m_source->atEnd())
        return true;
    RowStore page(m_store.columns());
    if (m_source->fetch(page, m_pageSize) < 0) {
        m_error = m_source->lastError();
        // A failing source is not asked again.
        m_source.reset();
        appendRows(page);
        Q_EMIT fetchFailed(m_error);
        return false;
    }
    return appendRows(page);
}

void RowTableModel::setHeaderLabels(const QStringList &labels)
{
    m_labels = labels;
    if (columnCount() > 0)
        Q_EMIT headerDataChanged(Qt::Horizontal, 0, columnCount() - 1);
}

int RowTableModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_store.rowCount();
}

int RowTableModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : m_store.columnCount();
}

QVariant RowTableModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || (role != Qt::DisplayRole && role != Qt::EditRole && role != Qt::ToolTipRole))
        return {};
    return m_store.text(index.row(), index.column());
}

QVariant RowTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Vertical)
        return section + 1;
    if (section >= 0 && section < m_labels.size() && !m_labels.at(section).isEmpty())
        return m_labels.at(section);
    return m_store.columns().value(section);
}

bool RowTableModel::canFetchMore(const QModelIndex &parent) const
{
    return !parent.isValid() && m_source && !m_source->atEnd();
}

void RowTableModel::fetchMore(const QModelIndex &parent)
{
    if (!parent.isValid())
        fetchPage();
}

} // namespace cg
