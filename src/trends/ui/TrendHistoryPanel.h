#pragma once

#include "trends/TrendLedger.h"

#include <QDateTimeAxis>
#include <QFrame>
#include <QPointer>
#include <QValueAxis>

class QChart;
class QChartView;
class QComboBox;
class QLabel;
class QTextBrowser;

// A keyword's traffic as every view shows it: the lower bound the feed told, in digit groups, with
// "+" ("1,000,000+").
QString TrafficText(qint64 lowerBound);
// The same of a feed's own text ("1M+", "20K+"); the text as it is when it cannot be read.
QString TrafficText(const QString& feedText);

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
    // As many day ticks as the chart's width shows whole.
    // As the chart narrows or shortens, fewer ticks rather than labels cut to "…".
    void fitTicks();

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
    QPointer<QDateTimeAxis> m_days; // of the chart shown
    int m_mostDayTicks = 5;
    // The value axes of the chart shown, each with the biggest value it has to reach.
    QList<std::pair<QPointer<QValueAxis>, qreal>> m_values;
};
