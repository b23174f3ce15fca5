#include "suggest/SuggestTableModel.h"

#include "suggest/SuggestSource.h"
#include "util/RowFilter.h"

#include <numeric>

SuggestTableModel::SuggestTableModel(QObject* parent)
    : RowListModel(ColumnCount, parent)
{
    const auto moved = [this] { ++m_rowsRevision; };
    connect(this, &QAbstractItemModel::rowsInserted, this, moved);
    connect(this, &QAbstractItemModel::rowsRemoved, this, moved);
    connect(this, &QAbstractItemModel::rowsMoved, this, moved);
    connect(this, &QAbstractItemModel::layoutChanged, this, moved);
    connect(this, &QAbstractItemModel::modelReset, this, moved);
}

QString SuggestTableModel::columnCaption(int column) const
{
    if (column == PhraseColumn)
        return tr("Keyword Phrase");
    const int pair = (column + 1) / 2;
    if (column % 2 == 1)
        return tr("Suggest %1").arg(pair);
    return m_figures == SuggestFigures::Relevance ? tr("Relevance %1").arg(pair) : tr("Results %1").arg(pair);
}

void SuggestTableModel::setFigures(SuggestFigures figures)
{
    if (figures == m_figures)
        return;
    m_figures = figures;
    Q_EMIT headerDataChanged(Qt::Horizontal, 0, ColumnCount - 1);
}

QVariant SuggestTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role == Qt::ToolTipRole && orientation == Qt::Horizontal && section > 0 && section % 2 == 0)
        return FiguresToolTip(m_figures);
    return RowListModel::headerData(section, orientation, role);
}

namespace {

// The rows and their ids go together.
using SortableSuggestRows = SortableCellRows<SuggestRows, QList<SuggestTableModel::RowId>>;

} // namespace

QStringView SuggestTableModel::cellText(qsizetype row, int column) const
{
    return column >= 0 && column < ColumnCount ? m_records.cell(row, column) : QStringView();
}

RowListModel::RowFinder SuggestTableModel::rowFinder(const QString& needle) const
{
    return CellRowsFinder(m_records, needle);
}

QVariant SuggestTableModel::data(const QModelIndex& index, int role) const
{
    if ((role != HarvestNoteRole && role != Qt::ToolTipRole) || !index.isValid() || m_notes.isEmpty())
        return RowListModel::data(index, role);
    const auto found = m_notes.constFind(m_ids.at(index.row()));
    if (found == m_notes.cend())
        return RowListModel::data(index, role);
    const Note& note = found.value();
    if (role == HarvestNoteRole)
        return int(note.kind);
    switch (note.kind) {
    case HarvestNote::Fetching:
        return tr("Getting its suggestions now");
    case HarvestNote::NoSuggestions:
        return tr("No suggestions");
    case HarvestNote::Stopped:
        return tr("Stopped");
    case HarvestNote::Failed:
        return tr("Failed: %1").arg(note.detail);
    case HarvestNote::None:
    case HarvestNote::Filled:
        break;
    }
    return RowListModel::data(index, role);
}

void SuggestTableModel::setHarvestNote(RowId id, HarvestNote note, const QString& detail)
{
    const qsizetype row = rowOfId(id);
    if (row < 0)
        return;
    if (note == HarvestNote::None)
        m_notes.remove(id);
    else
        m_notes.insert(id, {note, detail});
    Q_EMIT dataChanged(index(int(row), 0), index(int(row), ColumnCount - 1),
                       {HarvestNoteRole, Qt::ToolTipRole});
}

SortKind SuggestTableModel::columnSortKind(int column) const
{
    return column >= 2 && column % 2 == 0 ? SortKind::Number : SortKind::Text;
}

QList<SuggestTableModel::RowId> SuggestTableModel::idsOfRows(const QList<qsizetype>& rows) const
{
    QList<RowId> ids;
    ids.reserve(rows.size());
    for (const qsizetype row : rows)
        ids.append(m_ids.at(row));
    return ids;
}

qsizetype SuggestTableModel::rowOfId(RowId id) const
{
    if (!m_rowOfIdCurrent) {
        m_rowOfId.clear();
        m_rowOfId.reserve(m_ids.size());
        for (qsizetype row = 0; row < m_ids.size(); ++row)
            m_rowOfId.insert(m_ids[row], row);
        m_rowOfIdCurrent = true;
    }
    return m_rowOfId.value(id, -1);
}

std::optional<SuggestRecord> SuggestTableModel::recordOfId(RowId id) const
{
    const qsizetype row = rowOfId(id);
    return row >= 0 ? std::optional(m_records.at(row)) : std::nullopt;
}

void SuggestTableModel::setRecords(SuggestRows records)
{
    beginResetModel();
    // The list is taken over whole (a big table loaded on a worker thread); the lookup by id is
    // built when first needed.
    m_records = std::move(records);
    m_ids.resize(m_records.size());
    std::iota(m_ids.begin(), m_ids.end(), m_nextId);
    m_nextId += RowId(m_ids.size());
    m_notes.clear();
    m_rowOfId.clear();
    m_rowOfIdCurrent = m_ids.isEmpty();
    endResetModel();
}

SuggestTableModel::RowId SuggestTableModel::appendRecord(SuggestRecord record)
{
    const int row = int(m_records.size());
    beginInsertRows({}, row, row);
    m_records.append(record);
    appendId();
    endInsertRows();
    return m_ids.constLast();
}

void SuggestTableModel::appendPhrases(const QStringList& phrases)
{
    if (phrases.isEmpty())
        return;
    const int first = int(m_records.size());
    beginInsertRows({}, first, first + int(phrases.size()) - 1);
    m_records.reserve(m_records.size() + phrases.size());
    m_ids.reserve(m_ids.size() + phrases.size());
    for (const QString& phrase : phrases) {
        m_records.appendPhrase(phrase);
        appendId();
    }
    endInsertRows();
}

void SuggestTableModel::appendRows(const SuggestRows& rows)
{
    if (rows.isEmpty())
        return;
    const qsizetype first = m_records.size();
    beginInsertRows({}, int(first), int(first + rows.size() - 1));
    m_records.appendAll(rows);
    m_ids.resize(m_records.size());
    std::iota(m_ids.begin() + first, m_ids.end(), m_nextId);
    m_nextId += RowId(rows.size());
    // A few rows go into the lookup by id; for many it is built again when first needed.
    if (m_rowOfIdCurrent && rows.size() <= 10'000) {
        for (qsizetype row = first; row < m_ids.size(); ++row)
            m_rowOfId.insert(m_ids[row], row);
    } else {
        m_rowOfIdCurrent = false;
    }
    endInsertRows();
}

void SuggestTableModel::appendId()
{
    const RowId id = m_nextId++;
    if (m_rowOfIdCurrent)
        m_rowOfId.insert(id, m_ids.size());
    m_ids.append(id);
}

bool SuggestTableModel::setCells(RowId id, const SuggestCells& cells)
{
    const qsizetype row = rowOfId(id);
    if (row < 0)
        return false;
    aboutToChangeRows();
    m_records.setCells(row, cells);
    Q_EMIT dataChanged(index(int(row), 1), index(int(row), ColumnCount - 1), {Qt::DisplayRole});
    return true;
}

void SuggestTableModel::removeRowList(QList<qsizetype> rows)
{
    removeListedRows(
        std::move(rows),
        [this](qsizetype first, qsizetype count) {
            m_records.remove(first, count);
            m_ids.remove(first, count);
        },
        [this](const QList<qsizetype>& sorted) {
            m_records.removeSorted(sorted);
            RemoveSortedRows(m_ids, sorted);
        });
    m_rowOfIdCurrent = false;
}

void SuggestTableModel::clear()
{
    setRecords({});
}

std::unique_ptr<SortableRows> SuggestTableModel::shareRows() const
{
    return std::make_unique<SortableSuggestRows>(m_records, m_ids);
}

void SuggestTableModel::takeSortedRows(SortableRows& sorted, const QList<qsizetype>&)
{
    auto& rows = static_cast<SortableSuggestRows&>(sorted);
    std::swap(m_records, rows.sorted());
    m_ids.swap(std::get<0>(rows.sortedLists()));
    m_rowOfIdCurrent = false;
}
