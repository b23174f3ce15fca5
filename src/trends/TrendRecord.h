#pragma once

#include <QList>
#include <QString>

// One row of the Hot Trends table; every cell is the text shown.
struct TrendRecord {
    QString keyword;
    QString date;  // date-time text of the last scrape that listed the keyword
    QString count; // appearances, decimal digits

    friend bool operator==(const TrendRecord&, const TrendRecord&) = default;
};

using TrendRows = QList<TrendRecord>;
