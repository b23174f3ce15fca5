#pragma once

#include <QList>

#include <algorithm>
#include <cstdio>

// The figures of several runs of one measurement, printed as their minimum and median.
struct Figures {
    QList<double> values;

    void add(double value) { values.append(value); }
    double min() const { return *std::min_element(values.begin(), values.end()); }
    double median() const
    {
        QList<double> sorted = values;
        std::sort(sorted.begin(), sorted.end());
        const qsizetype n = sorted.size();
        return n % 2 ? sorted[n / 2] : (sorted[n / 2 - 1] + sorted[n / 2]) / 2;
    }
    void print(const char* what, const char* unit = "ms", const char* goal = "") const
    {
        if (values.isEmpty()) {
            std::printf("  %-58s not measured\n", what);
            return;
        }
        std::printf("  %-58s min %9.1f %s, median %9.1f %s %s\n", what, min(), unit, median(), unit, goal);
    }
};
