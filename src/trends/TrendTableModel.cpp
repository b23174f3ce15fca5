#include "trends/TrendTableModel.h"

#include "util/RowFilter.h"

#include <QLocale>

#include <algorithm>
#include <numeric>

TrendTableModel::TrendTableModel(QObject* parent)
    : RowListModel(ColumnCount, parent)
    , m_knownKeywords([this](qsizetype row) { return m_rows.keyword(row); })
{
}

#include "util/DateTimeText.h"

namespace {

using SortableTrendCells = SortableCellRows<TrendRows>;

} // namespace

// The rows as a sort's worker has them: the table's cells, and the history columns' texts, which
// stay where they are for as long as the worker reads them.
class TrendTableModel::SortableTrendRows final : public SortableRows {
public:
    SortableTrendRows(const TrendRows& rows, std::shared_ptr<const HistoryCellMap> history)
        : m_cells(rows)
        , m_history(std::move(history))
    {
    }

    qsizetype rowCount() const override { return m_cells.rowCount(); }
    QStringView cellText(qsizetype row, int column) const override
    {
        if (column < FirstHistoryColumn)
            return m_cells.cellText(row, column);
        return historyCell(m_history.get(), m_cells.cellText(row, KeywordColumn), column);
    }
    std::shared_ptr<const void> textsOwner() const override
    {
        return std::make_shared<
            std::pair<std::shared_ptr<const void>, std::shared_ptr<const HistoryCellMap>>>(
            m_cells.textsOwner(), m_history);
    }
    void appendSorted(const QList<qsizetype>& order, qsizetype from, qsizetype to) override
    {
        m_cells.appendSorted(order, from, to);
    }
    TrendRows& sorted() { return m_cells.sorted(); }

private:
    SortableTrendCells m_cells;
    std::shared_ptr<const HistoryCellMap> m_history;
};

QStringView TrendTableModel::cellText(qsizetype row, int column) const
{
    if (column >= 0 && column < FirstHistoryColumn)
        return m_rows.cell(row, column);
    return historyCell(m_summaries.get(), m_rows.keyword(row), column);
}

QStringView TrendTableModel::historyCell(const HistoryCellMap* cells, QStringView keyword, int column)
{
    if (!cells || column < FirstHistoryColumn || column >= ColumnCount)
        return {};
    const auto found = cells->constFind(keyword.toString().toCaseFolded());
    if (found == cells->cend())
        return {};
    switch (column) {
    case FirstSeenColumn:
        return found->firstSeen;
    case PeakTrafficColumn:
        return found->peakTraffic;
    case StartedColumn:
        return found->started;
    case StatusColumn:
        return found->status;
    default:
        return found->countries;
    }
}

QString TrendTableModel::feedStatusText(const KeywordSummary& summary, const QDateTime& now)
{
    if (summary.active)
        return tr("active");
    if (!summary.lastSeen.isValid())
        return {};
    const qint64 minutes = std::max<qint64>(0, summary.lastSeen.secsTo(now) / 60);
    if (minutes < 60)
        return tr("ended %1 min ago").arg(minutes);
    if (minutes < 48 * 60)
        return tr("ended %1 h ago").arg(minutes / 60);
    return tr("ended %1 days ago").arg(minutes / (24 * 60));
}

bool TrendTableModel::rowPasses(qsizetype row) const
{
    return !m_gate || m_gate->contains(m_rows.keyword(row).toString().toCaseFolded());
}

void TrendTableModel::setKeywordSummaries(const QHash<QString, KeywordSummary>& summaries)
{
    showKeywordSummaries(std::make_shared<const HistoryCellMap>());
    updateKeywordSummaries(summaries);
}

void TrendTableModel::updateKeywordSummaries(const QHash<QString, KeywordSummary>& summaries)
{
    // A copy: a sort's worker may be reading the map shown now.
    auto cells = std::make_shared<HistoryCellMap>(m_summaries ? *m_summaries : HistoryCellMap());
    const QDateTime now = QDateTime::currentDateTimeUtc();
    for (auto it = summaries.cbegin(); it != summaries.cend(); ++it) {
        cells->insert(it.key(), {DateTimeText(it->firstSeen.toLocalTime()),
                                 it->peakTraffic ? QString::number(*it->peakTraffic) : QString(),
                                 it->countries.join(QStringLiteral(", ")),
                                 it->started.isValid() ? DateTimeText(it->started.toLocalTime()) : QString(),
                                 feedStatusText(*it, now)});
    }
    showKeywordSummaries(std::move(cells));
}

void TrendTableModel::showKeywordSummaries(std::shared_ptr<const HistoryCellMap> cells)
{
    aboutToChangeRows();
    m_summaries = std::move(cells);
    if (!m_rows.isEmpty())
        Q_EMIT dataChanged(index(0, FirstHistoryColumn), index(int(m_rows.size()) - 1, ColumnCount - 1));
}

RowListModel::RowFinder TrendTableModel::rowFinder(const QString& needle) const
{
    RowFinder cells = needle.isEmpty() ? RowFinder() : CellRowsFinder(m_rows, needle);
    if (!m_gate)
        return cells;
    return [cells = std::move(cells), rows = m_rows, gate = m_gate](const QList<qsizetype>* among,
                                                                    std::stop_token stop) {
        QList<qsizetype> found;
        if (cells) {
            found = cells(among, stop);
        } else if (among) {
            found = *among;
        } else {
            found.resize(rows.size());
            std::iota(found.begin(), found.end(), qsizetype(0));
        }
        QList<qsizetype> kept;
        for (qsizetype at = 0; at < found.size(); ++at) {
            if (at % 4096 == 0 && stop.stop_requested())
                return QList<qsizetype>();
            if (gate->contains(rows.keyword(found[at]).toString().toCaseFolded()))
                kept << found[at];
        }
        return kept;
    };
}

QString TrendTableModel::columnCaption(int column) const
{
    switch (column) {
    case KeywordColumn:
        return tr("Keyword");
    case DateColumn:
        return tr("Date Keyword Was Last Scraped");
    case CountColumn:
        return tr("Number of Appearances In The Top 100 List");
    case FirstSeenColumn:
        return tr("First seen");
    case PeakTrafficColumn:
        return tr("Peak traffic");
    case StartedColumn:
        return tr("Started");
    case StatusColumn:
        return tr("In the feed");
    default:
        return tr("Countries");
    }
}

SortKind TrendTableModel::columnSortKind(int column) const
{
    switch (column) {
    case DateColumn:
    case FirstSeenColumn:
    case StartedColumn:
        return SortKind::DateTime;
    case CountColumn:
    case PeakTrafficColumn:
        return SortKind::Number;
    default:
        return SortKind::Text;
    }
}

void TrendTableModel::setRows(TrendRows rows)
{
    ++m_rowsVersion;
    beginResetModel();
    m_rows = std::move(rows);
    m_knownKeywords.rebuild(m_rows.size());
    endResetModel();
}

TrendTableModel::PreparedRows TrendTableModel::prepareRows(TrendRows rows)
{
    // The index reads the keywords of a copy of the rows, which shares them.
    KeywordIndex keywords([shared = rows](qsizetype row) { return shared.keyword(row); });
    keywords.rebuild(rows.size());
    return {std::move(rows), std::move(keywords)};
}

void TrendTableModel::setRows(PreparedRows prepared)
{
    ++m_rowsVersion;
    beginResetModel();
    m_rows = std::move(prepared.rows);
    m_knownKeywords.adopt(std::move(prepared.keywords));
    endResetModel();
}

void TrendTableModel::takeFoldedRows(FoldedRows folded)
{
    ++m_rowsVersion;
    const qsizetype before = m_rows.size();
    const qsizetype after = folded.table.rows.size();
    Q_ASSERT(after >= before);
    if (after > before)
        beginInsertRows({}, int(before), int(after - 1));
    else
        aboutToChangeRows();
    // The rows the table held go as one list of positions; their text stays, shared with the new.
    m_rows = std::move(folded.table.rows);
    m_knownKeywords.adopt(std::move(folded.table.keywords));
    if (after > before)
        endInsertRows();
    if (folded.firstChanged >= 0)
        Q_EMIT dataChanged(index(int(folded.firstChanged), DateColumn),
                           index(int(folded.lastChanged), CountColumn));
}

void TrendTableModel::appendRow(TrendRecord record)
{
    ++m_rowsVersion;
    const int row = int(m_rows.size());
    beginInsertRows({}, row, row);
    m_rows.append(std::move(record));
    m_knownKeywords.add(row);
    endInsertRows();
}

void TrendTableModel::setDateAndCount(qsizetype row, QStringView date, QStringView count)
{
    ++m_rowsVersion;
    aboutToChangeRows();
    m_rows.setDateAndCount(row, date, count);
    Q_EMIT dataChanged(index(int(row), DateColumn), index(int(row), CountColumn));
}

void TrendTableModel::removeRowList(QList<qsizetype> rows)
{
    ++m_rowsVersion;
    removeListedRows(
        std::move(rows), [this](qsizetype first, qsizetype count) { m_rows.remove(first, count); },
        [this](const QList<qsizetype>& sorted) { m_rows.removeSorted(sorted); });
    m_knownKeywords.rebuild(m_rows.size());
}

std::unique_ptr<SortableRows> TrendTableModel::shareRows() const
{
    return std::make_unique<SortableTrendRows>(m_rows, m_summaries);
}

void TrendTableModel::takeSortedRows(SortableRows& sorted, const QList<qsizetype>& newRowOf)
{
    ++m_rowsVersion;
    std::swap(m_rows, static_cast<SortableTrendRows&>(sorted).sorted());
    if (m_knownKeywords.size() == m_rows.size())
        m_knownKeywords.renumber(newRowOf);
    else
        m_knownKeywords.rebuild(m_rows.size()); // the first of repeated keywords may have changed
}

void TrendTableModel::clear()
{
    setRows(TrendRows());
}

void TrendTableModel::setLastScrapeNotes(QHash<QString, QString> notes)
{
    m_lastScrapeNotes = std::move(notes);
    if (!m_rows.isEmpty())
        Q_EMIT dataChanged(index(0, KeywordColumn), index(int(m_rows.size()) - 1, KeywordColumn),
                           {Qt::ToolTipRole});
}

QVariant TrendTableModel::data(const QModelIndex& index, int role) const
{
    // Traffic shows as everywhere else ("20,000+"); the cell keeps the bare figure that sorts,
    // finds and exports.
    if (role == Qt::DisplayRole && index.isValid() && index.column() == PeakTrafficColumn) {
        bool figure = false;
        const qint64 traffic = cellText(index.row(), PeakTrafficColumn).toLongLong(&figure);
        if (figure)
            return QString(QLocale().toString(traffic) + u'+');
    }
    if (role == Qt::ToolTipRole && index.isValid() && index.column() == KeywordColumn &&
        index.row() < m_rows.size() && !m_lastScrapeNotes.isEmpty())
        return m_lastScrapeNotes.value(m_rows.keyword(index.row()).toString().toCaseFolded());
    return RowListModel::data(index, role);
}
