#pragma once

#include "trends/TrendLedger.h"

#include <QDialog>
#include <QFuture>

class QLabel;
class QPushButton;
class QStandardItemModel;
class QTableView;
struct ExportResult;
enum class ExportFormat;

// "Rising": the keywords first seen in the last day, or seen more in the last seven days than in
// the seven before, the biggest traffic first (any column sorts by a click). The list comes from
// the history when it is ready; the dialog is there at once. From it the user goes on: a double
// click goes to the keyword in the Hot Trends list, the selected keywords go to Suggest, and the
// list is exported (the page does both, so that an export outlives the dialog).
class TfrmRising final : public QDialog {
    Q_OBJECT

public:
    enum Column { KeywordColumn, FirstSeenColumn, LastWeekColumn, WeekBeforeColumn, PeakTrafficColumn };

    explicit TfrmRising(QFuture<QList<RisingKeyword>> rising, QWidget* parent = nullptr);

    // The keywords of the selected rows, in the order shown.
    QStringList selectedKeywords() const;
    // The rows in the order shown.
    QList<RisingKeyword> shownRows() const;

    QLabel* lblRising = nullptr;
    QTableView* lvwRising = nullptr;
    QPushButton* btnRisingToSuggest = nullptr;
    QPushButton* btnRisingExport = nullptr;

Q_SIGNALS:
    // The user asked for this keyword in the Hot Trends list (the dialog closes).
    void goToKeyword(const QString& keyword);
    // Keywords to become Suggest phrases (the dialog closes).
    void sendToSuggest(const QStringList& keywords);
    void exportRows(const QList<RisingKeyword>& rows);

private:
    void show(const QList<RisingKeyword>& rising);
    void enableButtons();

    QStandardItemModel* m_rows;
    QList<RisingKeyword> m_rising; // by the row's place in the model (kept in each row's first cell)
};

// Writes `rows` as an export file: the page's own lines ("keyword|first seen|last 7 days|7 days
// before|peak traffic|"), CSV with a header, or JSON; times in ISO 8601 (UTC).
ExportResult ExportRisingKeywords(const QString& fileName, const QList<RisingKeyword>& rows,
                                  ExportFormat format);
