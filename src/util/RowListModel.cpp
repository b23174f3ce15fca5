#include "util/RowListModel.h"

#include "util/RowFilter.h"

#include <QFutureWatcher>
#include <QMutex>
#include <QThreadPool>
#include <QtConcurrentRun>

#include <stop_token>
#include <utility>

namespace {

// How many rows a worker reads from its copy at a time: what the table waits for at most when it
// takes the copy back.
constexpr qsizetype RowsPerTurn = 4096;

// Drops what a sort leaves behind on the pool: a million strings released one by one take long.
void ReleaseOnPool(std::unique_ptr<SortableRows> rows)
{
    if (!rows)
        return;
    std::shared_ptr<SortableRows> released = std::move(rows);
    QThreadPool::globalInstance()->start([released]() mutable { released.reset(); });
}

} // namespace

// What the table and the worker of a sort share. The worker touches `rows` only under the lock and
// a few thousand rows at a time; the table takes it back before any change of its rows.
struct RowListModel::SortJob {
    QMutex mutex;
    std::unique_ptr<SortableRows> rows; // null once taken back
    QList<qsizetype> newRowOf;          // once the sorted rows are complete
    std::stop_source stop;
    quint64 version = 0; // of the table's rows that were shared

    // f(rows) under the lock; false once the table took the rows back.
    template <typename F> bool withRows(const F& f)
    {
        const QMutexLocker lock(&mutex);
        if (!rows)
            return false;
        f(*rows);
        return true;
    }

    std::unique_ptr<SortableRows> takeBack()
    {
        stop.request_stop();
        const QMutexLocker lock(&mutex);
        return std::move(rows);
    }

    // The worker's part: the column's texts copied, the new order worked out, the rows copied in it.
    void run(int column, SortKind kind, bool ascending, const QLocale& locale)
    {
        const std::stop_token stopped = stop.get_token();
        qsizetype count = 0;
        std::shared_ptr<const void> owner;
        if (!withRows([&](const SortableRows& shared) {
                count = shared.rowCount();
                owner = shared.textsOwner();
            }))
            return;
        // Views of the column's texts: where the rows keep them when they stay there, else of
        // copies (reserved at once, so that they never move).
        QList<QStringView> texts;
        QList<QString> copies;
        texts.reserve(count);
        if (!owner)
            copies.reserve(count);
        for (qsizetype from = 0; from < count; from += RowsPerTurn) {
            const bool read = withRows([&](const SortableRows& shared) {
                for (qsizetype row = from; row < std::min(from + RowsPerTurn, count); ++row) {
                    const QStringView text = shared.cellText(row, column);
                    texts.append(owner ? text : QStringView(copies.emplace_back(text.toString())));
                }
            });
            if (!read)
                return;
        }
        const QList<qsizetype> order = SortedRowOrder(
            count, [&texts](qsizetype row) { return texts[row]; }, kind, ascending, locale, stopped);
        texts = {};
        copies = {};
        owner.reset();
        if (stopped.stop_requested())
            return;
        QList<qsizetype> newRows(count);
        for (qsizetype position = 0; position < count; ++position)
            newRows[order[position]] = position;
        for (qsizetype from = 0; from < count; from += RowsPerTurn) {
            if (!withRows([&](SortableRows& shared) {
                    shared.appendSorted(order, from, std::min(from + RowsPerTurn, count));
                }))
                return;
        }
        const QMutexLocker lock(&mutex);
        newRowOf = std::move(newRows);
    }
};

RowListModel::RowListModel(int columnCount, QObject* parent)
    : QAbstractTableModel(parent)
    , m_columnCount(columnCount)
    , m_sortPool(QThreadPool::globalInstance())
{
    // Every change of the rows is announced and counted here, whichever table makes it: the
    // announcement takes a sort's copy back, the count keeps an order worked out over rows that are
    // no longer so from being taken.
    const auto announced = [this] { aboutToChangeRows(); };
    connect(this, &QAbstractItemModel::rowsAboutToBeInserted, this, announced);
    connect(this, &QAbstractItemModel::rowsAboutToBeRemoved, this, announced);
    connect(this, &QAbstractItemModel::rowsAboutToBeMoved, this, announced);
    connect(this, &QAbstractItemModel::modelAboutToBeReset, this, announced);
    connect(this, &QAbstractItemModel::layoutAboutToBeChanged, this, announced);
    const auto counted = [this] { ++m_version; };
    connect(this, &QAbstractItemModel::rowsInserted, this, counted);
    connect(this, &QAbstractItemModel::rowsRemoved, this, counted);
    connect(this, &QAbstractItemModel::rowsMoved, this, counted);
    connect(this, &QAbstractItemModel::modelReset, this, counted);
    connect(this, &QAbstractItemModel::layoutChanged, this, counted);
    connect(this, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex&, const QModelIndex&, const QList<int>& roles) {
                if (roles.isEmpty() || roles.contains(Qt::DisplayRole))
                    ++m_version;
            });
}

RowListModel::~RowListModel()
{
    dropSortJob();
}

int RowListModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(storedRowCount());
}

int RowListModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : m_columnCount;
}

QVariant RowListModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= storedRowCount() || index.column() >= m_columnCount)
        return {};
    if (role == Qt::TextAlignmentRole)
        return columnAlignment(index.column());
    if (role != Qt::DisplayRole)
        return {};
    return cellText(index.row(), index.column()).toString();
}

QVariant RowListModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || (role != Qt::DisplayRole && role != Qt::TextAlignmentRole))
        return QAbstractTableModel::headerData(section, orientation, role);
    if (section < 0 || section >= m_columnCount)
        return {};
    if (role == Qt::TextAlignmentRole)
        return columnAlignment(section);
    if (m_sorting && section == m_sortColumn)
        return tr("%1 (sorting…)").arg(columnCaption(section));
    return columnCaption(section);
}

QVariant RowListModel::columnAlignment(int column) const
{
    // Counts line up by their last digit, as numbers do.
    if (columnSortKind(column) == SortKind::Number)
        return int(Qt::AlignRight | Qt::AlignVCenter);
    return {};
}

void RowListModel::sort(int column, Qt::SortOrder order)
{
    if (column < 0 || column >= columnCount())
        return;
    const int superseded = m_sorting ? m_sortColumn : -1;
    m_sortColumn = column;
    m_sortOrder = order;
    m_sorting = true;
    if (superseded >= 0 && superseded != column)
        Q_EMIT headerDataChanged(Qt::Horizontal, superseded, superseded);
    Q_EMIT headerDataChanged(Qt::Horizontal, column, column);
    Q_EMIT sortStarted(column, order);
    startSortJob();
}

void RowListModel::startSortJob()
{
    dropSortJob();
    auto job = std::make_shared<SortJob>();
    job->rows = shareRows();
    job->version = m_version;
    m_sortJob = job;
    auto* watcher = new QFutureWatcher<void>(this);
    m_sortWatcher = watcher;
    connect(watcher, &QFutureWatcherBase::finished, this, [this, watcher] {
        if (watcher == m_sortWatcher)
            takeSortOutcome();
    });
    watcher->setFuture(
        QtConcurrent::run(m_sortPool, [job, column = m_sortColumn, kind = columnSortKind(m_sortColumn),
                                       ascending = m_sortOrder == Qt::AscendingOrder,
                                       locale = QLocale()] { job->run(column, kind, ascending, locale); }));
}

void RowListModel::dropSortJob()
{
    if (m_sortWatcher) {
        m_sortWatcher->disconnect(this);
        m_sortWatcher->deleteLater();
        m_sortWatcher = nullptr;
    }
    if (m_sortJob) {
        ReleaseOnPool(m_sortJob->takeBack());
        m_sortJob.reset();
    }
}

void RowListModel::aboutToChangeRows()
{
    // The worker finds its copy gone and stops; the sort starts again once its outcome is in.
    if (m_sortJob)
        ReleaseOnPool(m_sortJob->takeBack());
}

void RowListModel::takeSortOutcome()
{
    QFutureWatcher<void>* watcher = std::exchange(m_sortWatcher, nullptr);
    watcher->deleteLater();
    const std::shared_ptr<SortJob> job = std::exchange(m_sortJob, nullptr);
    std::unique_ptr<SortableRows> sorted = job->takeBack();
    try {
        watcher->future().waitForFinished(); // done: this only passes on what went wrong there
    } catch (...) {
        ReleaseOnPool(std::move(sorted));
        endSort();
        throw;
    }
    const QList<qsizetype> newRowOf = std::move(job->newRowOf);
    if (!sorted || newRowOf.size() != sorted->rowCount() || job->version != m_version) {
        ReleaseOnPool(std::move(sorted));
        startSortJob(); // the rows changed meanwhile
        return;
    }
    moveRows(*sorted, newRowOf);
    ReleaseOnPool(std::move(sorted));
    endSort();
}

void RowListModel::endSort()
{
    m_sorting = false;
    Q_EMIT headerDataChanged(Qt::Horizontal, m_sortColumn, m_sortColumn);
    Q_EMIT sortFinished(m_sortColumn, m_sortOrder);
}

bool RowListModel::reorder(const QList<qsizetype>& order)
{
    const qsizetype count = rowCount();
    if (order.size() != count)
        return false;
    QList<qsizetype> newRowOf(count, -1);
    for (qsizetype position = 0; position < count; ++position) {
        const qsizetype row = order[position];
        if (row < 0 || row >= count || newRowOf[row] >= 0)
            return false;
        newRowOf[row] = position;
    }
    const std::unique_ptr<SortableRows> sorted = shareRows();
    sorted->appendSorted(order, 0, count);
    moveRows(*sorted, newRowOf);
    return true;
}

void RowListModel::moveRows(SortableRows& sorted, const QList<qsizetype>& newRowOf)
{
    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    takeSortedRows(sorted, newRowOf);
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& index : before)
        after.append(this->index(int(newRowOf[index.row()]), index.column()));
    changePersistentIndexList(before, after);
    Q_EMIT rowsReordered(newRowOf);
    Q_EMIT layoutChanged({}, QAbstractItemModel::VerticalSortHint);
}

void RowListModel::removeListedRows(QList<qsizetype> rows,
                                    const std::function<void(qsizetype, qsizetype)>& removeRun,
                                    const std::function<void(const QList<qsizetype>&)>& removeSorted)
{
    const qsizetype count = rowCount();
    rows.erase(
        std::remove_if(rows.begin(), rows.end(), [count](qsizetype row) { return row < 0 || row >= count; }),
        rows.end());
    if (rows.isEmpty())
        return;
    std::sort(rows.begin(), rows.end());
    rows.erase(std::unique(rows.begin(), rows.end()), rows.end());

    // A few runs are removed one by one so that the view keeps its place; many at once in one pass
    // with a reset, which a selection of scattered rows in a big table needs.
    QList<std::pair<qsizetype, qsizetype>> runs; // first, last
    for (const qsizetype row : rows) {
        if (!runs.isEmpty() && runs.last().second + 1 == row)
            runs.last().second = row;
        else
            runs.append({row, row});
    }
    constexpr qsizetype MaxRunsOneByOne = 32;
    if (runs.size() <= MaxRunsOneByOne) {
        for (auto run = runs.crbegin(); run != runs.crend(); ++run) {
            beginRemoveRows({}, int(run->first), int(run->second));
            removeRun(run->first, run->second - run->first + 1);
            endRemoveRows();
        }
    } else {
        Q_EMIT rowsAboutToBeRemovedTogether(rows);
        beginResetModel();
        removeSorted(rows);
        endResetModel();
    }
}

RowListModel::RowFinder RowListModel::rowFinder(const QString& needle) const
{
    // A small table's cells are copied; big tables keep theirs where a copy can share them.
    CellRows cells(m_columnCount);
    QList<QStringView> row(m_columnCount);
    for (qsizetype r = 0; r < storedRowCount(); ++r) {
        for (int column = 0; column < m_columnCount; ++column)
            row[column] = cellText(r, column);
        cells.append(row);
    }
    return CellRowsFinder(std::move(cells), needle);
}

bool RowListModel::rowMatches(qsizetype row, const QString& foldedNeedle) const
{
    if (!rowPasses(row))
        return false;
    if (foldedNeedle.isEmpty())
        return true;
    for (int column = 0; column < searchedColumnCount(); ++column) {
        if (CellMatches(cellText(row, column), foldedNeedle))
            return true;
    }
    return false;
}
