#pragma once

#include "util/CellRows.h"

#include <QString>

#include <initializer_list>

// One row of the Hot Trends table; every cell is the text shown.
struct TrendRecord {
    QString keyword;
    QString date;  // date-time text of the last scrape that listed the keyword
    QString count; // appearances, decimal digits

    friend bool operator==(const TrendRecord&, const TrendRecord&) = default;
};

// The rows of a Hot Trends table, stored compactly (see CellRows): cells are read as views, or a
// row as a TrendRecord.
class TrendRows : public CellRows {
public:
    enum Cell { KeywordCell, DateCell, CountCell, CellCount };

    TrendRows()
        : CellRows(CellCount)
    {
    }
    TrendRows(std::initializer_list<TrendRecord> records);

    QStringView keyword(qsizetype row) const { return cell(row, KeywordCell); }
    QStringView date(qsizetype row) const { return cell(row, DateCell); }
    QStringView count(qsizetype row) const { return cell(row, CountCell); }
    TrendRecord at(qsizetype row) const;

    using CellRows::append;
    void append(const TrendRecord& record) { append({record.keyword, record.date, record.count}); }
    // Sets the date and count cells of a row; its keyword stays.
    void setDateAndCount(qsizetype row, QStringView date, QStringView count)
    {
        replace(row, {keyword(row), date, count});
    }

    // Range-for gives each row as a TrendRecord.
    using const_iterator = RowRecordIterator<TrendRows>;
    const_iterator begin() const { return {this, 0}; }
    const_iterator end() const { return {this, size()}; }
};
