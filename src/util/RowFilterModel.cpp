#include "util/RowFilterModel.h"

#include "util/RowFilter.h"
#include "util/RowListModel.h"

#include <QFutureWatcher>
#include <QThreadPool>
#include <QtConcurrentRun>

#include <algorithm>
#include <numeric>
#include <optional>
#include <vector>

namespace {

// Changed or appended rows tested here at once, at most; more go to a search on a worker.
constexpr qsizetype RowsTestedHere = 50'000;

// Where searches run: one at a time (a newer needle stops the older search, which ends at its next
// look at the stop), each spreading its parts over the global pool.
QThreadPool& SearchPool()
{
    static QThreadPool* const pool = [] {
        auto* created = new QThreadPool;
        created->setMaxThreadCount(1);
        return created;
    }();
    return *pool;
}

// `shown` (ascending) less the rows of `removed` (ascending), each renumbered as the rows before it
// went.
QList<qsizetype> RowsLeft(const QList<qsizetype>& shown, const QList<qsizetype>& removed)
{
    QList<qsizetype> left;
    left.reserve(shown.size());
    auto next = removed.cbegin();
    qsizetype gone = 0;
    for (const qsizetype row : shown) {
        for (; next != removed.cend() && *next < row; ++next)
            ++gone;
        if (next == removed.cend() || *next != row)
            left.append(row - gone);
    }
    return left;
}

} // namespace

struct RowFilterModel::Search {
    std::stop_source stop;
    quint64 tableVersion = 0;
    QFutureWatcher<QList<qsizetype>>* watcher = nullptr;
};

RowFilterModel::RowFilterModel(RowListModel& source, QObject* parent)
    : QAbstractProxyModel(parent)
    , m_table(source)
{
    QAbstractProxyModel::setSourceModel(&source);
    // Row for row while not filtering: the table's announcements pass on as they are.
    connect(&source, &QAbstractItemModel::rowsAboutToBeInserted, this,
            [this](const QModelIndex&, int first, int last) {
                if (!m_filtering)
                    beginInsertRows({}, first, last);
            });
    connect(&source, &QAbstractItemModel::rowsInserted, this,
            [this](const QModelIndex&, int first, int last) { tableRowsInserted(first, last); });
    connect(&source, &QAbstractItemModel::rowsAboutToBeRemoved, this,
            [this](const QModelIndex&, int first, int last) { tableRowsAboutToBeRemoved(first, last); });
    connect(&source, &QAbstractItemModel::rowsRemoved, this,
            [this](const QModelIndex&, int first, int last) { tableRowsRemoved(first, last); });
    connect(&source, &RowListModel::rowsAboutToBeRemovedTogether, this,
            &RowFilterModel::tableRowsAboutToBeRemovedTogether);
    connect(&source, &QAbstractItemModel::modelAboutToBeReset, this, [this] { beginResetModel(); });
    connect(&source, &QAbstractItemModel::modelReset, this, &RowFilterModel::tableReset);
    connect(&source, &QAbstractItemModel::layoutAboutToBeChanged, this,
            [this](const QList<QPersistentModelIndex>&, LayoutChangeHint hint) {
                m_reordered = false;
                Q_EMIT layoutAboutToBeChanged({}, hint);
            });
    connect(&source, &RowListModel::rowsReordered, this, &RowFilterModel::tableRowsReordered);
    connect(&source, &QAbstractItemModel::layoutChanged, this, &RowFilterModel::tableLayoutChanged);
    connect(&source, &QAbstractItemModel::dataChanged, this, &RowFilterModel::tableDataChanged);
    connect(&source, &QAbstractItemModel::headerDataChanged, this, &QAbstractItemModel::headerDataChanged);
}

RowFilterModel::~RowFilterModel()
{
    dropSearch();
}

QModelIndex RowFilterModel::index(int row, int column, const QModelIndex& parent) const
{
    if (parent.isValid() || row < 0 || column < 0 || row >= rowCount() || column >= columnCount())
        return {};
    return createIndex(row, column);
}

QModelIndex RowFilterModel::parent(const QModelIndex&) const
{
    return {};
}

int RowFilterModel::rowCount(const QModelIndex& parent) const
{
    if (parent.isValid())
        return 0;
    return m_filtering ? int(m_rows.size()) : m_table.rowCount();
}

int RowFilterModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_table.columnCount();
}

bool RowFilterModel::hasChildren(const QModelIndex& parent) const
{
    return !parent.isValid() && rowCount() > 0;
}

QModelIndex RowFilterModel::mapToSource(const QModelIndex& proxyIndex) const
{
    if (!proxyIndex.isValid() || proxyIndex.row() >= rowCount())
        return {};
    return m_table.index(int(tableRow(proxyIndex.row())), proxyIndex.column());
}

QModelIndex RowFilterModel::mapFromSource(const QModelIndex& sourceIndex) const
{
    if (!sourceIndex.isValid())
        return {};
    if (!m_filtering)
        return index(sourceIndex.row(), sourceIndex.column());
    const qsizetype at = firstShownAtOrAfter(sourceIndex.row());
    if (at == m_rows.size() || m_rows[at] != sourceIndex.row())
        return {};
    return index(int(at), sourceIndex.column());
}

QVariant RowFilterModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal)
        return m_table.headerData(section, orientation, role);
    if (section < 0 || section >= rowCount())
        return {};
    return m_table.headerData(int(tableRow(section)), orientation, role);
}

Qt::ItemFlags RowFilterModel::flags(const QModelIndex& index) const
{
    return index.isValid() ? RowListModel::CellFlags : Qt::NoItemFlags;
}

QList<qsizetype> RowFilterModel::shownTableRows() const
{
    if (m_filtering)
        return m_rows;
    QList<qsizetype> all(m_table.rowCount());
    std::iota(all.begin(), all.end(), qsizetype(0));
    return all;
}

void RowFilterModel::setNeedle(const QString& needle)
{
    if (needle == m_needle)
        return;
    m_needle = needle;
    applyNeedle();
}

void RowFilterModel::refilter()
{
    // The rows shown were narrowed otherwise: they no longer bound the search.
    m_shownRowsComplete = false;
    applyNeedle();
}

void RowFilterModel::applyNeedle()
{
    if (!m_needle.isEmpty() || m_table.narrowsRows()) {
        startSearch();
        return;
    }
    const bool wasSearching = isSearching();
    dropSearch();
    if (m_filtering) {
        Q_EMIT filterAboutToChange();
        beginResetModel();
        m_filtering = false;
        m_rows = {};
        m_shownNeedle.clear();
        endResetModel();
        Q_EMIT filterChanged();
    }
    if (wasSearching)
        Q_EMIT searchingChanged(false);
}

qsizetype RowFilterModel::firstShownAtOrAfter(qsizetype tableRow) const
{
    return std::lower_bound(m_rows.cbegin(), m_rows.cend(), tableRow) - m_rows.cbegin();
}

void RowFilterModel::startSearch()
{
    const bool wasSearching = isSearching();
    dropSearch();
    auto search = std::make_shared<Search>();
    search->tableVersion = m_tableVersion;
    search->watcher = new QFutureWatcher<QList<qsizetype>>(this);
    connect(search->watcher, &QFutureWatcherBase::finished, this,
            [this, search] { takeSearchOutcome(search); });
    m_search = search;
    // A needle that holds the one shown (more typed) is looked for only among the rows shown.
    std::optional<QList<qsizetype>> among;
    if (m_filtering && m_shownRowsComplete && FoldForSearch(m_needle).contains(m_shownNeedle))
        among = m_rows;
    search->watcher->setFuture(QtConcurrent::run(
        &SearchPool(), [find = m_table.rowFinder(m_needle), among = std::move(among),
                        stop = search->stop.get_token()] { return find(among ? &*among : nullptr, stop); }));
    if (!wasSearching)
        Q_EMIT searchingChanged(true);
}

void RowFilterModel::dropSearch()
{
    if (!m_search)
        return;
    m_search->stop.request_stop();
    m_search->watcher->disconnect(this);
    m_search->watcher->deleteLater();
    m_search.reset();
}

void RowFilterModel::takeSearchOutcome(const std::shared_ptr<Search>& search)
{
    if (search != m_search)
        return;
    if (search->tableVersion != m_tableVersion) {
        startSearch(); // the table changed meanwhile
        return;
    }
    QList<qsizetype> found = search->watcher->result();
    search->watcher->deleteLater();
    m_search.reset();
    Q_EMIT filterAboutToChange();
    beginResetModel();
    m_filtering = true;
    m_shownRowsComplete = true;
    m_rows = std::move(found);
    m_shownNeedle = FoldForSearch(m_needle);
    endResetModel();
    Q_EMIT filterChanged();
    Q_EMIT searchingChanged(false);
}

void RowFilterModel::searchAgain()
{
    m_shownRowsComplete = false;
    // A search under way starts again by itself: it sees the table changed.
    if (!m_search)
        startSearch();
}

void RowFilterModel::shiftFrom(qsizetype position, qsizetype by)
{
    for (auto row = m_rows.begin() + position; row != m_rows.end(); ++row)
        *row += by;
}

void RowFilterModel::tableRowsInserted(int first, int last)
{
    ++m_tableVersion;
    if (!m_filtering) {
        endInsertRows();
        return;
    }
    const qsizetype count = last - first + 1;
    const qsizetype at = firstShownAtOrAfter(first);
    shiftFrom(at, count);
    if (count > RowsTestedHere) {
        searchAgain();
        return;
    }
    QList<qsizetype> found;
    for (qsizetype row = first; row <= last; ++row) {
        if (m_table.rowMatches(row, m_shownNeedle))
            found.append(row);
    }
    if (found.isEmpty())
        return;
    beginInsertRows({}, int(at), int(at + found.size() - 1));
    m_rows.insert(at, found.size(), 0);
    std::copy(found.cbegin(), found.cend(), m_rows.begin() + at);
    endInsertRows();
}

void RowFilterModel::tableRowsAboutToBeRemoved(int first, int last)
{
    if (!m_filtering) {
        beginRemoveRows({}, first, last);
        return;
    }
    m_removedFirst = firstShownAtOrAfter(first);
    m_removedEnd = firstShownAtOrAfter(qsizetype(last) + 1);
    if (m_removedFirst < m_removedEnd)
        beginRemoveRows({}, int(m_removedFirst), int(m_removedEnd - 1));
}

void RowFilterModel::tableRowsRemoved(int first, int last)
{
    ++m_tableVersion;
    if (!m_filtering) {
        endRemoveRows();
        return;
    }
    const bool shownRowsGo = m_removedFirst < m_removedEnd;
    m_rows.remove(m_removedFirst, m_removedEnd - m_removedFirst);
    shiftFrom(m_removedFirst, -(qsizetype(last) - first + 1));
    m_removedFirst = m_removedEnd = -1;
    if (shownRowsGo)
        endRemoveRows();
}

void RowFilterModel::tableRowsAboutToBeRemovedTogether(const QList<qsizetype>& rows)
{
    if (m_filtering)
        m_removedTogether = rows;
}

void RowFilterModel::tableReset()
{
    ++m_tableVersion;
    if (m_filtering) {
        if (!m_removedTogether.isEmpty()) {
            m_rows = RowsLeft(m_rows, m_removedTogether);
        } else {
            // New rows (a load, or none): those of the needle show once found.
            m_rows = {};
            if (m_table.rowCount() > 0)
                searchAgain();
        }
    }
    m_removedTogether = {};
    endResetModel();
}

void RowFilterModel::tableRowsReordered(const QList<qsizetype>& newRowOf)
{
    m_reordered = true;
    const QModelIndexList before = persistentIndexList();
    QModelIndexList after;
    after.reserve(before.size());
    if (!m_filtering) {
        for (const QModelIndex& index : before)
            after.append(this->index(int(newRowOf[index.row()]), index.column()));
        changePersistentIndexList(before, after);
        return;
    }
    // The rows shown, where the table put them, in their new order.
    std::vector<bool> shown(size_t(newRowOf.size()), false);
    for (const qsizetype row : std::as_const(m_rows))
        shown[size_t(newRowOf[row])] = true;
    QList<qsizetype> rows;
    rows.reserve(m_rows.size());
    for (size_t row = 0; row < shown.size(); ++row) {
        if (shown[row])
            rows.append(qsizetype(row));
    }
    for (const QModelIndex& index : before) {
        const qsizetype moved = newRowOf[m_rows[index.row()]];
        const auto at = std::lower_bound(rows.cbegin(), rows.cend(), moved) - rows.cbegin();
        after.append(createIndex(int(at), index.column()));
    }
    m_rows = std::move(rows);
    changePersistentIndexList(before, after);
}

void RowFilterModel::tableLayoutChanged(const QList<QPersistentModelIndex>&, LayoutChangeHint hint)
{
    ++m_tableVersion;
    if (m_filtering && !m_reordered) {
        // A change of order the table did not tell row by row: the rows are tested anew here.
        const QModelIndexList before = persistentIndexList();
        changePersistentIndexList(before, QModelIndexList(before.size()));
        m_rows.clear();
        for (qsizetype row = 0; row < m_table.rowCount(); ++row) {
            if (m_table.rowMatches(row, m_shownNeedle))
                m_rows.append(row);
        }
    }
    m_reordered = false;
    Q_EMIT layoutChanged({}, hint);
}

void RowFilterModel::tableDataChanged(const QModelIndex& topLeft, const QModelIndex& bottomRight,
                                      const QList<int>& roles)
{
    // Only the text of the columns the finder searches can change which rows match.
    const bool textChanged = (roles.isEmpty() || roles.contains(Qt::DisplayRole)) &&
                             topLeft.column() < m_table.searchedColumnCount();
    if (textChanged)
        ++m_tableVersion;
    const int left = topLeft.column();
    const int right = bottomRight.column();
    if (!m_filtering) {
        Q_EMIT dataChanged(index(topLeft.row(), left), index(bottomRight.row(), right), roles);
        return;
    }
    if (textChanged && bottomRight.row() - topLeft.row() < RowsTestedHere) {
        for (qsizetype row = topLeft.row(); row <= bottomRight.row(); ++row)
            retestRow(row, left, right, roles);
        return;
    }
    const qsizetype first = firstShownAtOrAfter(topLeft.row());
    const qsizetype end = firstShownAtOrAfter(qsizetype(bottomRight.row()) + 1);
    if (first < end)
        Q_EMIT dataChanged(index(int(first), left), index(int(end - 1), right), roles);
    if (textChanged)
        searchAgain();
}

void RowFilterModel::retestRow(qsizetype tableRow, int left, int right, const QList<int>& roles)
{
    const qsizetype at = firstShownAtOrAfter(tableRow);
    const bool shown = at < m_rows.size() && m_rows[at] == tableRow;
    const bool matches = m_table.rowMatches(tableRow, m_shownNeedle);
    if (shown && matches) {
        Q_EMIT dataChanged(index(int(at), left), index(int(at), right), roles);
    } else if (shown) {
        beginRemoveRows({}, int(at), int(at));
        m_rows.remove(at);
        endRemoveRows();
    } else if (matches) {
        beginInsertRows({}, int(at), int(at));
        m_rows.insert(at, tableRow);
        endInsertRows();
    }
}

RowListModel* TableBehind(QAbstractItemModel* model)
{
    if (auto* filter = qobject_cast<RowFilterModel*>(model))
        return &filter->table();
    return qobject_cast<RowListModel*>(model);
}
