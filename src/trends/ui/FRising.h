#pragma once

#include "trends/TrendLedger.h"

#include <QDialog>
#include <QFuture>

class QLabel;
class QStandardItemModel;
class QTableView;

// "Rising": the keywords first seen in the last day, or seen more in the last seven days than in
// the seven before, the biggest traffic first (any column sorts by a click). The list comes from
// the history when it is ready; the dialog is there at once.
class TfrmRising final : public QDialog {
    Q_OBJECT

public:
    enum Column { KeywordColumn, FirstSeenColumn, LastWeekColumn, WeekBeforeColumn, PeakTrafficColumn };

    explicit TfrmRising(QFuture<QList<RisingKeyword>> rising, QWidget* parent = nullptr);

    QLabel* lblRising = nullptr;
    QTableView* lvwRising = nullptr;

private:
    void show(const QList<RisingKeyword>& rising);

    QStandardItemModel* m_rows;
};
