#pragma once

#include "trends/TrendLedger.h"

#include <QFrame>

class QChart;
class QChartView;
class QComboBox;
class QLabel;
class QTextBrowser;

// The history of one keyword beside the Hot Trends list: when it was first and last seen, how often,
// in which countries and how big, a chart of its sightings and peak traffic per day over a chosen
// span, and its latest news as links (web addresses only).
class TrendHistoryPanel final : public QFrame {
    Q_OBJECT

public:
    enum class Span { Week, Month, Year, All };

    explicit TrendHistoryPanel(QWidget* parent = nullptr);
    // Room for the chart and the news beside a list.
    QSize sizeHint() const override;

    // The first moment of the chosen span before `now`; invalid for all of it.
    QDateTime since(const QDateTime& now) const;
    // A text in place of a history ("Select a keyword…", "Not seen by a scrape yet.").
    void showText(const QString& text);
    void showHistory(const KeywordHistory& history);

Q_SIGNALS:
    void spanChanged();
    // A news link was clicked: an http or https address.
    void newsLinkActivated(const QUrl& url);

private:
    void showChart(const KeywordHistory& history);

    QLabel* lblHistoryKeyword;
    QLabel* lblFirstSeen;
    QLabel* lblLastSeen;
    QLabel* lblSightings;
    QLabel* lblCountries;
    QLabel* lblPeakTraffic;
    QComboBox* cmbHistorySpan;
    QChartView* chvHistory;
    QTextBrowser* txtHistoryNews;
    QWidget* m_details;
};
