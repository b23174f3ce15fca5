#include "trends/TrendRecord.h"

TrendRows::TrendRows(std::initializer_list<TrendRecord> records)
    : TrendRows()
{
    reserve(qsizetype(records.size()));
    for (const TrendRecord& record : records)
        append(record);
}

TrendRecord TrendRows::at(qsizetype row) const
{
    return {keyword(row).toString(), date(row).toString(), count(row).toString()};
}
