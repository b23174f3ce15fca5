#pragma once

#include <QCoro/QCoroTask>
#include <QDialog>
#include <QStringList>

#include <functional>
#include <optional>

class NewsListModel;
class OfflineHtmlView;
class QFrame;
class QPushButton;
class QSplitter;
class QTableView;

// Fetches the HTML body of one news item; nothing when the request failed (its warning has then
// been shown by the fetcher).
using NewsBodyFetcher = std::function<QCoro::Task<std::optional<QString>>(const QString& newsId)>;

// The news window: the list of the reseller's news and the body of the item chosen. Bodies are
// fetched one at a time; while one is on its way the list keeps its selection.
class TfrmNews final : public QDialog {
    Q_OBJECT

public:
    TfrmNews(const QStringList& newsRecords, NewsBodyFetcher fetchBody, QWidget* parent = nullptr);
    ~TfrmNews() override;

    QFrame* panItems = nullptr;
    QTableView* lvwItems = nullptr;
    QSplitter* splNews = nullptr;
    // Links in a body are only reported (anchorClicked); whoever shows the window decides what to open.
    OfflineHtmlView* prfEditorNews = nullptr;
    QFrame* panBottom = nullptr;
    QPushButton* btnExit = nullptr;

    bool NewsBusy = false;

    void FormShow();
    // Fetches and shows the body of the selected item.
    QCoro::Task<> lvwItemsChange();
    // Whether the list may change its selection now.
    bool lvwItemsChanging() const { return !NewsBusy; }
    void btnExitClick();

Q_SIGNALS:
    // A body has been shown: the item `newsId` counts as read.
    void newsShown(const QString& newsId);

protected:
    void showEvent(QShowEvent* event) override;

private:
    void setBusy(bool busy);

    QStringList m_records;
    NewsBodyFetcher m_fetchBody;
    NewsListModel* m_model = nullptr;
};
