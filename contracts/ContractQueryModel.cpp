#include "contracts/ContractQueryModel.h"

#include <QColor>
#include <QHash>
#include <algorithm>

namespace cg {

ContractListModel::ContractListModel(QObject *parent) : QAbstractTableModel(parent) {}

void ContractListModel::setLines(QVector<ContractLine> lines)
{
    beginResetModel();
    m_lines = std::move(lines);
    GroupedLines g = GroupContractLines(m_lines);
    m_rows = std::move(g.rows);
    m_contracts = g.contracts;
    m_highlight = QVector<bool>(m_rows.size(), false);
    endResetModel();
}

void ContractListModel::clear() { setLines({}); }

int ContractListModel::rowCount(const QModelIndex &parent) const { return parent.isValid() ? 0 : m_rows.size(); }

int ContractListModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ListColumn::Count;
}

QString ContractListModel::cell(int row, int column) const
{
    if (row < 0 || row >= m_rows.size() || column < 0 || column >= ListColumn::Count)
        return {};
    const ListRow &r = m_rows.at(row);
    const ContractLine &line = m_lines.at(r.line);
    if (column == ListColumn::Id)
        return QString::number(r.headId);
    if (!r.head) {
        if (column == ListColumn::Product || column == ListColumn::Quantity || column == ListColumn::Unit)
            return line.cells[column];
        return {};
    }
    if (column == ListColumn::Attachment)
        return line.contractHasAttachment ? kAttachmentMark : QString();
    return line.cells[column];
}

QVariant ContractListModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    const int row = index.row();
    switch (role) {
    case Qt::DisplayRole:
        return cell(row, index.column());
    case Qt::BackgroundRole:
        if (m_highlight.value(row))
            return QColor(96, 96, 96);
        if (row % 2 == 1)
            return QColor(Qt::white);
        return {};
    case Qt::ForegroundRole:
        if (m_highlight.value(row))
            return QColor(Qt::white);
        return {};
    default:
        return {};
    }
}

QVariant ContractListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole)
        return ContractQuery::listHeaders().value(section);
    return QAbstractTableModel::headerData(section, orientation, role);
}

bool ContractListModel::isHead(int row) const { return row >= 0 && row < m_rows.size() && m_rows.at(row).head; }

qint64 ContractListModel::contractId(int row) const
{
    return row >= 0 && row < m_rows.size() ? m_rows.at(row).headId : 0;
}

qint64 ContractListModel::lineId(int row) const
{
    return row >= 0 && row < m_rows.size() ? m_lines.at(m_rows.at(row).line).id : 0;
}

int ContractListModel::rowOfLine(qint64 lineId) const
{
    for (int i = 0; i < m_rows.size(); ++i)
        if (m_lines.at(m_rows.at(i).line).id == lineId)
            return i;
    return -1;
}

QVector<SelectedContract> ContractListModel::selection(QList<int> rows) const
{
    std::sort(rows.begin(), rows.end(), std::greater<int>());
    QVector<SelectedContract> out;
    for (int r : std::as_const(rows)) {
        if (r < 0 || r >= m_rows.size())
            continue;
        const qint64 id = m_rows.at(r).headId;
        if (!out.isEmpty() && out.last().id == id)
            continue;
        int head = r;
        while (head > 0 && !m_rows.at(head).head)
            --head;
        out.append({head, id});
    }
    return out;
}

void ContractListModel::setState(int headRow, const QString &state)
{
    if (!isHead(headRow))
        return;
    m_lines[m_rows.at(headRow).line].cells[ListColumn::State] = state;
    emit dataChanged(index(headRow, ListColumn::State), index(headRow, ListColumn::State));
}

int ContractListModel::removeContract(int headRow, qint64 id)
{
    if (headRow < 0 || headRow >= m_rows.size())
        return 0;
    int last = headRow;
    while (last < m_rows.size() && m_rows.at(last).headId == id)
        ++last;
    const int count = last - headRow;
    if (count == 0)
        return 0;
    beginRemoveRows({}, headRow, last - 1);
    m_rows.remove(headRow, count);
    m_highlight.remove(headRow, count);
    endRemoveRows();
    recount();
    return count;
}

void ContractListModel::removeLine(qint64 lineId)
{
    const int r = rowOfLine(lineId);
    if (r < 0)
        return;
    const ListRow gone = m_rows.at(r);
    if (gone.head && r + 1 < m_rows.size() && !m_rows.at(r + 1).head && m_rows.at(r + 1).headId == gone.headId) {
        // The next line of the contract becomes its head row.
        const qint64 newHead = m_lines.at(m_rows.at(r + 1).line).id;
        m_rows[r + 1].head = true;
        for (int i = r + 1; i < m_rows.size() && m_rows.at(i).headId == gone.headId; ++i)
            m_rows[i].headId = newHead;
    }
    beginRemoveRows({}, r, r);
    m_rows.remove(r);
    m_highlight.remove(r);
    endRemoveRows();
    if (!m_rows.isEmpty())
        emit dataChanged(index(qMax(0, r - 1), 0), index(m_rows.size() - 1, ListColumn::Count - 1));
    recount();
}

void ContractListModel::editLines(const QVector<qint64> &lineIds, const std::function<void(ContractLine &)> &edit)
{
    QHash<qint64, int> lineIndex;
    for (int i = 0; i < m_rows.size(); ++i)
        lineIndex.insert(m_lines.at(m_rows.at(i).line).id, m_rows.at(i).line);
    bool any = false;
    for (qint64 id : lineIds) {
        const auto it = lineIndex.constFind(id);
        if (it == lineIndex.constEnd())
            continue;
        edit(m_lines[*it]);
        any = true;
    }
    if (any && !m_rows.isEmpty())
        emit dataChanged(index(0, 0), index(m_rows.size() - 1, ListColumn::Count - 1));
}

void ContractListModel::clearHighlights()
{
    if (m_highlight.isEmpty())
        return;
    m_highlight.fill(false);
    emit dataChanged(index(0, 0), index(m_rows.size() - 1, ListColumn::Count - 1));
}

QVector<int> ContractListModel::highlightMatching(int column, const QString &text)
{
    QVector<int> found;
    for (int r = 0; r < m_rows.size(); ++r) {
        if (cell(r, column).contains(text, Qt::CaseSensitive)) {
            m_highlight[r] = true;
            found.append(r);
        }
    }
    if (!found.isEmpty())
        emit dataChanged(index(found.first(), 0), index(found.last(), ListColumn::Count - 1));
    return found;
}

bool ContractListModel::isHighlighted(int row) const { return m_highlight.value(row); }

void ContractListModel::recount()
{
    int n = 0;
    for (const ListRow &r : std::as_const(m_rows))
        if (r.head)
            ++n;
    m_contracts = n;
}

} // namespace cg
