#pragma once

// What the fuzz targets share: the input as bytes, a scratch file of their own, and a failure that
// libFuzzer reports with the input that caused it.
#include "util/CellRows.h"

#include <QByteArrayView>
#include <QCoreApplication>
#include <QDir>
#include <QString>

#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <unistd.h>

inline QByteArrayView InputBytes(const uint8_t* data, size_t size)
{
    return {reinterpret_cast<const char*>(data), qsizetype(size)};
}

// A file path of this process alone, under the temporary folder.
inline QString ScratchPath(const char* name)
{
    return QDir::temp().filePath(
        QStringLiteral("quillory-fuzz-%1-%2").arg(getpid()).arg(QLatin1String(name)));
}

// Ends the run as a crash, which libFuzzer reports with the input.
[[noreturn]] inline void Broken(const char* what)
{
    std::fprintf(stderr, "broken: %s\n", what);
    std::abort();
}

inline void Check(bool holds, const char* what)
{
    if (!holds)
        Broken(what);
}

// The same rows, cell for cell.
inline bool SameCells(const CellRows& a, const CellRows& b)
{
    if (a.size() != b.size() || a.cellCount() != b.cellCount())
        return false;
    for (qsizetype row = 0; row < a.size(); ++row) {
        for (int cell = 0; cell < a.cellCount(); ++cell) {
            if (a.cell(row, cell) != b.cell(row, cell))
                return false;
        }
    }
    return true;
}
