#include "contracts/ContractQueryModel.h"

#include <QColor>
#include <QHash>
#include <QSet>
#include <algorithm>

namespace cg {

namespace {

// Rows read around a row asked for; a reader going straight down doubles
// it up to one statement's worth of ids. A screen shows some forty rows.
constexpr int kBlock = 128;
constexpr int kMaxBlock = ContractQuery::kIdsPerStatement;
// Lines whose texts are kept: a few megabytes.
constexpr int kCachedLines = 4096;
static_assert(kMaxBlock < kCachedLines);

bool continuationColumn(int column)
{
    return column == ListColumn::Product || column == ListColumn::Quantity || column == ListColumn::Unit;
}

} // namespace

ContractListModel::ContractListModel(QObject *parent) : QAbstractTableModel(parent) {}

void ContractListModel::reset(QVector<qint64> ids, PackedTexts numbers, QVector<bool> marks)
{
    m_ids = std::move(ids);
    m_numbers = std::move(numbers);
    m_marks = std::move(marks);
    GroupedLines g = GroupContractLines(m_numbers, m_ids);
    m_rows = std::move(g.rows);
    m_contracts = g.contracts;
    m_highlight = QVector<bool>(m_rows.size(), false);
    m_edits.clear();
    m_newestFirst = std::is_sorted(m_ids.cbegin(), m_ids.cend(), std::greater<qint64>());
    m_slots.clear();
    m_slotLine.clear();
    m_slotOf = QVector<int>(m_ids.size(), -1);
    m_nextSlot = 0;
    m_nextRow = -1;
    m_block = kBlock;
}

void ContractListModel::setLines(QVector<ContractLine> lines)
{
    beginResetModel();
    QVector<qint64> ids;
    PackedTexts numbers;
    QVector<bool> marks;
    m_given.clear();
    m_given.reserve(lines.size());
    for (ContractLine &l : lines) {
        ids.append(l.id);
        numbers.append(l.number());
        marks.append(l.contractHasAttachment);
        m_given.append(std::move(l.cells));
    }
    m_db = nullptr;
    m_table.clear();
    m_filter = Filter();
    reset(std::move(ids), std::move(numbers), std::move(marks));
    endResetModel();
}

void ContractListModel::markContracts(const PackedTexts &attached)
{
    m_marks = QVector<bool>(m_ids.size(), false);
    if (attached.isEmpty())
        return;
    QSet<QStringView> numbers;
    numbers.reserve(attached.size());
    for (int i = 0; i < attached.size(); ++i)
        numbers.insert(attached.at(i));
    // One lookup per contract, at its head row; its further rows follow.
    bool marked = false;
    for (const ListRow &r : std::as_const(m_rows)) {
        if (r.head)
            marked = numbers.contains(m_numbers.at(r.line));
        m_marks[r.line] = marked;
    }
}

void ContractListModel::setLines(ListLines lines)
{
    beginResetModel();
    m_given.clear();
    m_db = lines.db;
    m_table = std::move(lines.table);
    m_filter = std::move(lines.filter);
    const bool markedApart = lines.markedApart;
    reset(std::move(lines.ids), std::move(lines.numbers), std::move(lines.marks));
    if (markedApart)
        markContracts(lines.attached);
    // The view shows the top rows at once; they come with the filter.
    if (!m_rows.isEmpty())
        readAround(0);
    endResetModel();
}

void ContractListModel::clear() { setLines(QVector<ContractLine>()); }

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
    if (column == ListColumn::Id)
        return QString::number(r.headId);
    if (!r.head && !continuationColumn(column))
        return {};
    if (column == ListColumn::Attachment)
        return m_marks.at(r.line) ? kAttachmentMark : QString();
    // The number the list grouped by, or the one an edit gave.
    if (column == ListColumn::Number && !edited(r.line, column))
        return m_numbers.at(r.line).toString();
    return text(row, r.line, column);
}

bool ContractListModel::edited(int line, int column) const
{
    const auto edit = m_edits.constFind(line);
    return edit != m_edits.constEnd() && (edit->columns & (1u << column));
}

QString ContractListModel::text(int row, int line, int column) const
{
    if (const auto edit = m_edits.constFind(line); edit != m_edits.constEnd() && (edit->columns & (1u << column)))
        return edit->cells[column];
    if (!m_given.isEmpty())
        return m_given.at(line)[column];
    const LineCells *cells = cached(line);
    if (!cells) {
        readAround(row);
        cells = cached(line);
    }
    return cells ? (*cells)[column] : QString();
}

const LineCells *ContractListModel::cached(int line) const
{
    const int slot = m_slotOf.value(line, -1);
    return slot >= 0 ? &m_slots.at(slot) : nullptr;
}

bool ContractListModel::hasTexts(int line) const
{
    if (!m_given.isEmpty() || cached(line))
        return true;
    const auto edit = m_edits.constFind(line);
    return edit != m_edits.constEnd() && edit->columns == kAllColumns;
}

void ContractListModel::readAround(int row) const
{
    if (!m_db)
        return;
    // Straight on from the last rows read: a longer block from here.
    // Anywhere else: a block around the row, a little of it above.
    int first = 0;
    if (m_nextRow >= 0 && row >= m_nextRow && row < m_nextRow + kBlock) {
        m_block = qMin(m_block * 2, kMaxBlock);
        first = row;
    } else {
        m_block = kBlock;
        first = qMax(0, row - kBlock / 4);
    }
    const int last = qMin(int(m_rows.size()), first + m_block);
    QVector<int> lines;
    lines.reserve(last - first);
    for (int r = first; r < last; ++r)
        if (!hasTexts(m_rows.at(r).line))
            lines.append(m_rows.at(r).line);
    m_nextRow = last;
    readLines(lines);
}

void ContractListModel::readLines(const QVector<int> &lines) const
{
    if (lines.isEmpty() || !m_db)
        return;
    if (m_slots.isEmpty()) {
        m_slots.resize(kCachedLines);
        m_slotLine = QVector<int>(kCachedLines, -1);
    }
    QVector<qint64> ids;
    ids.reserve(lines.size());
    QHash<qint64, int> lineOf;
    lineOf.reserve(lines.size());
    for (int line : lines) {
        ids.append(m_ids.at(line));
        lineOf.insert(m_ids.at(line), line);
        // Each line takes the next slot, whose line loses it. A block is
        // smaller than the ring, so the lines just read stay.
        const int slot = m_nextSlot;
        m_nextSlot = (m_nextSlot + 1) % kCachedLines;
        if (m_slotLine.at(slot) >= 0)
            m_slotOf[m_slotLine.at(slot)] = -1;
        m_slotLine[slot] = line;
        m_slotOf[line] = slot;
        // A line gone meanwhile, or a statement that failed, shows empty
        // texts rather than costing a statement for every cell asked for.
        m_slots[slot] = LineCells();
    }
    QVector<ContractLine> read;
    ContractQuery(*m_db, m_table).readTexts(ids, read);
    for (ContractLine &l : read)
        m_slots[m_slotOf.at(lineOf.value(l.id))] = std::move(l.cells);
}

int ContractListModel::lineOfId(qint64 id) const
{
    if (m_newestFirst) {
        const auto it = std::lower_bound(m_ids.cbegin(), m_ids.cend(), id, std::greater<qint64>());
        return it != m_ids.cend() && *it == id ? int(it - m_ids.cbegin()) : -1;
    }
    return int(m_ids.indexOf(id));
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
    return row >= 0 && row < m_rows.size() ? m_ids.at(m_rows.at(row).line) : 0;
}

int ContractListModel::rowOfLine(qint64 lineId) const
{
    const int line = lineOfId(lineId);
    if (line < 0)
        return -1;
    for (int i = 0; i < m_rows.size(); ++i)
        if (m_rows.at(i).line == line)
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
    EditedCells &e = m_edits[m_rows.at(headRow).line];
    e.columns |= 1u << ListColumn::State;
    e.cells[ListColumn::State] = state;
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
        const qint64 newHead = m_ids.at(m_rows.at(r + 1).line);
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
    // The shown lines among the ids.
    QSet<int> wanted;
    for (qint64 id : lineIds)
        if (const int line = lineOfId(id); line >= 0)
            wanted.insert(line);
    QVector<int> lines;
    for (const ListRow &r : std::as_const(m_rows))
        if (wanted.contains(r.line))
            lines.append(r.line);
    if (lines.isEmpty())
        return;
    // The edit sees every text of its lines as they are shown: those not
    // read yet are read together first.
    QVector<int> unread;
    for (int line : std::as_const(lines))
        if (!hasTexts(line))
            unread.append(line);
    QHash<qint64, LineCells> read;
    if (!unread.isEmpty() && m_db) {
        QVector<qint64> ids;
        for (int line : std::as_const(unread))
            ids.append(m_ids.at(line));
        QVector<ContractLine> got;
        ContractQuery(*m_db, m_table).readTexts(ids, got);
        for (ContractLine &l : got)
            read.insert(l.id, std::move(l.cells));
    }
    for (int line : std::as_const(lines)) {
        ContractLine l;
        l.id = m_ids.at(line);
        l.contractHasAttachment = m_marks.at(line);
        if (!m_given.isEmpty())
            l.cells = m_given.at(line);
        else if (const LineCells *cells = cached(line))
            l.cells = *cells;
        else
            l.cells = read.value(l.id);
        const auto e = m_edits.constFind(line);
        for (int c = 0; e != m_edits.constEnd() && c < ListColumn::Attachment; ++c)
            if (e->columns & (1u << c))
                l.cells[c] = e->cells[c];
        if (!edited(line, ListColumn::Number))
            l.cells[ListColumn::Number] = m_numbers.at(line).toString();
        edit(l);
        m_edits[line] = {kAllColumns, l.cells};
        m_marks[line] = l.contractHasAttachment;
    }
    if (!m_rows.isEmpty())
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
    // A find through a long list whose texts are mostly unread reads the
    // one column for all lines with the filter once more, rather than all
    // texts block by block. Lines that no longer match the filter are read
    // by id as the rows come.
    QVector<QString> columnText;
    QVector<bool> columnRead;
    const bool valueColumn = column >= 0 && column < ListColumn::Attachment && column != ListColumn::Number;
    if (valueColumn && m_db && m_newestFirst && m_given.isEmpty()) {
        int unread = 0;
        for (const ListRow &r : std::as_const(m_rows))
            if ((r.head || continuationColumn(column)) && !hasTexts(r.line))
                ++unread;
        QVector<qint64> ids;
        QVector<QString> texts;
        if (unread > kBlock && ContractQuery(*m_db, m_table).readColumn(m_filter, column, ids, texts)) {
            columnText.resize(m_ids.size());
            columnRead.resize(m_ids.size());
            // Both newest first: one walk down the two.
            for (int i = 0, line = 0; i < ids.size() && line < m_ids.size(); ++i) {
                while (line < m_ids.size() && m_ids.at(line) > ids.at(i))
                    ++line;
                if (line < m_ids.size() && m_ids.at(line) == ids.at(i)) {
                    columnText[line] = texts.at(i);
                    columnRead[line] = true;
                }
            }
        }
    }
    QVector<int> found;
    for (int r = 0; r < m_rows.size(); ++r) {
        const ListRow &row = m_rows.at(r);
        QString value;
        if (!columnRead.isEmpty() && columnRead.at(row.line) && !hasTexts(row.line) && !edited(row.line, column))
            value = row.head || continuationColumn(column) ? columnText.at(row.line) : QString();
        else
            value = cell(r, column);
        if (value.contains(text, Qt::CaseSensitive)) {
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
