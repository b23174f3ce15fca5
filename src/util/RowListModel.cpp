#include "util/RowListModel.h"

#include <QFutureWatcher>
#include <QThreadPool>
#include <QtConcurrentRun>

#include <utility>

// What a worker gives back: the new order and its inverse (empty once the sort was dropped), for
// the rows as they were at `version`.
struct RowListModel::SortOutcome {
    quint64 version = 0;
    QList<qsizetype> order;
    QList<qsizetype> newRowOf;
};

RowListModel::RowListModel(int columnCount, QObject* parent)
    : QAbstractTableModel(parent)
    , m_columnCount(columnCount)
    , m_sortPool(QThreadPool::globalInstance())
{
    // Every change of the rows is counted here, whichever table made it, so that a sort worked out
    // over the rows as they were is never applied to rows that are no longer so.
    const auto counted = [this] { ++m_version; };
    connect(this, &QAbstractItemModel::rowsInserted, this, counted);
    connect(this, &QAbstractItemModel::rowsRemoved, this, counted);
    connect(this, &QAbstractItemModel::rowsMoved, this, counted);
    connect(this, &QAbstractItemModel::modelReset, this, counted);
    connect(this, &QAbstractItemModel::layoutChanged, this, counted);
    connect(this, &QAbstractItemModel::dataChanged, this,
            [this](const QModelIndex& topLeft, const QModelIndex& bottomRight, const QList<int>& roles) {
                if (m_sorting && topLeft.column() <= m_sortColumn && m_sortColumn <= bottomRight.column() &&
                    (roles.isEmpty() || roles.contains(Qt::DisplayRole)))
                    ++m_version;
            });
}

RowListModel::~RowListModel()
{
    // A worker still sorting stops soon; its copy of the texts is its own.
    m_sortStop.request_stop();
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
    return cellText(index.row(), index.column());
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
    m_sortStop.request_stop();
    m_sortStop = std::stop_source();
    if (m_sortJob) {
        m_sortJob->disconnect(this);
        m_sortJob->deleteLater();
    }

    const qsizetype count = storedRowCount();
    QList<QString> texts;
    texts.reserve(count);
    for (qsizetype row = 0; row < count; ++row)
        texts.append(cellText(row, m_sortColumn));
    auto work = [texts = std::move(texts), kind = columnSortKind(m_sortColumn),
                 ascending = m_sortOrder == Qt::AscendingOrder, locale = QLocale(),
                 stop = m_sortStop.get_token(), version = m_version]() mutable {
        // The copy goes with the worker: its strings are released there, not on the window's thread.
        const QList<QString> column = std::move(texts);
        SortOutcome outcome{version, {}, {}};
        outcome.order = SortedRowOrder(
            column.size(), [&column](qsizetype row) { return &column[row]; }, kind, ascending, locale, stop);
        if (stop.stop_requested())
            return outcome;
        outcome.newRowOf.resize(outcome.order.size());
        for (qsizetype position = 0; position < outcome.order.size(); ++position)
            outcome.newRowOf[outcome.order[position]] = position;
        return outcome;
    };
    auto* job = new QFutureWatcher<SortOutcome>(this);
    m_sortJob = job;
    connect(job, &QFutureWatcherBase::finished, this, [this, job] {
        if (job == m_sortJob)
            takeSortOutcome();
    });
    job->setFuture(QtConcurrent::run(m_sortPool, std::move(work)));
}

void RowListModel::takeSortOutcome()
{
    QFutureWatcher<SortOutcome>* job = std::exchange(m_sortJob, nullptr);
    job->deleteLater();
    const SortOutcome outcome = job->future().takeResult();
    if (outcome.version != m_version) {
        startSortJob(); // the rows changed meanwhile
        return;
    }
    applyOrder(outcome.order, outcome.newRowOf);
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
    applyOrder(order, newRowOf);
    return true;
}

void RowListModel::applyOrder(const QList<qsizetype>& order, const QList<qsizetype>& newRowOf)
{
    Q_EMIT layoutAboutToBeChanged({}, QAbstractItemModel::VerticalSortHint);
    const QModelIndexList before = persistentIndexList();
    permuteRows(order, newRowOf);
    QModelIndexList after;
    after.reserve(before.size());
    for (const QModelIndex& index : before)
        after.append(this->index(int(newRowOf[index.row()]), index.column()));
    changePersistentIndexList(before, after);
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
        beginResetModel();
        removeSorted(rows);
        endResetModel();
    }
}
