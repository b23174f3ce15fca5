#include "publisher/ui/FNews.h"

#include "publisher/NewsListModel.h"
#include "publisher/ui/OfflineHtmlView.h"
#include "util/DetachedTask.h"
#include "util/ui/WindowHelpers.h"

#include <QFrame>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QPointer>
#include <QPushButton>
#include <QShowEvent>
#include <QSplitter>
#include <QTableView>
#include <QVBoxLayout>

namespace {

// A selection that asks the window before it changes.
class GuardedSelectionModel final : public QItemSelectionModel {
public:
    GuardedSelectionModel(QAbstractItemModel* model, TfrmNews* window)
        : QItemSelectionModel(model, window)
        , m_window(*window)
    {
    }

    void select(const QModelIndex& index, QItemSelectionModel::SelectionFlags command) override
    {
        if (m_window.lvwItemsChanging())
            QItemSelectionModel::select(index, command);
    }
    void select(const QItemSelection& selection, QItemSelectionModel::SelectionFlags command) override
    {
        if (m_window.lvwItemsChanging())
            QItemSelectionModel::select(selection, command);
    }
    void setCurrentIndex(const QModelIndex& index, QItemSelectionModel::SelectionFlags command) override
    {
        if (m_window.lvwItemsChanging())
            QItemSelectionModel::setCurrentIndex(index, command);
    }

private:
    const TfrmNews& m_window;
};

} // namespace

TfrmNews::TfrmNews(const QStringList& newsRecords, NewsBodyFetcher fetchBody, QWidget* parent)
    : QDialog(parent,
              Qt::Dialog | Qt::WindowSystemMenuHint | Qt::WindowMinMaxButtonsHint | Qt::WindowCloseButtonHint)
    , m_records(newsRecords)
    , m_fetchBody(std::move(fetchBody))
{
    setObjectName(QStringLiteral("frmNews"));
    setWindowTitle(QStringLiteral("News"));
    resize(682, 411);

    QFont listFont(QStringLiteral("Arial"));
    listFont.setPixelSize(14);

    panItems = Named(new QFrame(this), "panItems");
    auto* itemsLayout = new QVBoxLayout(panItems);
    itemsLayout->setContentsMargins(0, 0, 0, 0);
    m_model = new NewsListModel(this);
    lvwItems = Named(new QTableView(panItems), "lvwItems");
    lvwItems->setModel(m_model);
    lvwItems->setSelectionModel(new GuardedSelectionModel(m_model, this));
    lvwItems->setSelectionBehavior(QAbstractItemView::SelectRows);
    lvwItems->setSelectionMode(QAbstractItemView::SingleSelection);
    lvwItems->setEditTriggers(QAbstractItemView::NoEditTriggers);
    lvwItems->setFont(listFont);
    lvwItems->setWordWrap(false);
    lvwItems->verticalHeader()->hide();
    lvwItems->verticalHeader()->setDefaultSectionSize(22);
    lvwItems->horizontalHeader()->setSectionResizeMode(NewsListModel::TitleColumn, QHeaderView::Stretch);
    lvwItems->horizontalHeader()->setSectionResizeMode(NewsListModel::PublishedColumn, QHeaderView::Fixed);
    lvwItems->horizontalHeader()->resizeSection(NewsListModel::PublishedColumn, 160);
    itemsLayout->addWidget(lvwItems);

    prfEditorNews = Named(new OfflineHtmlView(this), "prfEditorNews");

    splNews = Named(new QSplitter(Qt::Vertical, this), "splNews");
    splNews->setHandleWidth(10);
    splNews->setChildrenCollapsible(false);
    splNews->addWidget(panItems);
    splNews->addWidget(prfEditorNews);
    splNews->setSizes({105, 411 - 105 - 10 - 41});

    panBottom = Named(new QFrame(this), "panBottom");
    panBottom->setFixedHeight(41);
    btnExit = Named(new QPushButton(QStringLiteral("Close"), panBottom), "btnExit");
    btnExit->setGeometry(304, 7, 97, 20);
    btnExit->setAutoDefault(false);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    layout->addWidget(splNews, 1);
    layout->addWidget(panBottom);

    connect(btnExit, &QPushButton::clicked, this, &TfrmNews::btnExitClick);
    connect(lvwItems->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            [this] { RunDetached(QStringLiteral("lvwItemsChange"), lvwItemsChange()); });
}

TfrmNews::~TfrmNews() = default;

void TfrmNews::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    if (!event->spontaneous()) {
        CentreOnScreen(*this);
        FormShow();
    }
}

void TfrmNews::FormShow()
{
    m_model->setRecords(m_records);
    prfEditorNews->clear();
}

QCoro::Task<> TfrmNews::lvwItemsChange()
{
    const QModelIndexList selected = lvwItems->selectionModel()->selectedRows();
    if (selected.isEmpty())
        co_return;
    const QString newsId = m_model->newsId(selected.first().row());
    // A record without an id names nothing the server could send.
    if (newsId.isEmpty())
        co_return;

    setBusy(true);
    // The fetcher is kept in this frame: the window may be closed and destroyed while it works.
    const NewsBodyFetcher fetchBody = m_fetchBody;
    const QPointer<TfrmNews> self(this);
    const std::optional<QString> html = co_await fetchBody(newsId);
    if (!self)
        co_return;
    if (html) {
        prfEditorNews->setHtml(*html);
        Q_EMIT newsShown(newsId);
    }
    setBusy(false);
}

void TfrmNews::setBusy(bool busy)
{
    NewsBusy = busy;
    for (QWidget* widget : {static_cast<QWidget*>(lvwItems), static_cast<QWidget*>(prfEditorNews),
                            static_cast<QWidget*>(this)}) {
        if (busy)
            widget->setCursor(Qt::WaitCursor);
        else
            widget->unsetCursor();
    }
    // The views' own drawing areas carry cursors of their own.
    for (QAbstractScrollArea* view :
         {static_cast<QAbstractScrollArea*>(lvwItems), static_cast<QAbstractScrollArea*>(prfEditorNews)}) {
        if (busy)
            view->viewport()->setCursor(Qt::WaitCursor);
        else
            view->viewport()->unsetCursor();
    }
}

void TfrmNews::btnExitClick()
{
    done(QDialog::Accepted);
}
