#pragma once

#include "util/CellRows.h"

#include <QList>
#include <QString>
#include <QStringView>

#include <functional>
#include <stop_token>

// Finding rows by what their cells contain, letter case and accents aside ("cafe" finds "Café",
// "STRASSE" finds "straße"): the search of the lists' find boxes.

// `text` as the search compares it: case-folded, accents (combining marks) dropped.
QString FoldForSearch(QStringView text);

// Whether `cell` contains `foldedNeedle` (made by FoldForSearch) as the search compares them. A
// cell of printable ASCII is compared without a copy.
bool CellMatches(QStringView cell, const QString& foldedNeedle);

// The rows of `rows` (in order) with a cell that contains `needle` as the search compares them;
// every row when the needle is empty. Only the rows listed in `among` (ascending) when given. A
// big table is searched in parts on several threads at once; nothing (an empty list) once `stop`
// is requested.
QList<qsizetype> MatchingRows(const CellRows& rows, const QString& needle, std::stop_token stop = {},
                              const QList<qsizetype>* among = nullptr);

// A function that runs MatchingRows over `rows` (a copy that shares them) for `needle`.
inline std::function<QList<qsizetype>(const QList<qsizetype>*, std::stop_token)>
CellRowsFinder(CellRows rows, QString needle)
{
    return [rows = std::move(rows), needle = std::move(needle)](const QList<qsizetype>* among,
                                                                std::stop_token stop) {
        return MatchingRows(rows, needle, stop, among);
    };
}
