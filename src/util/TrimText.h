#pragma once

#include <QStringView>

// The text without its leading and trailing characters of code 0 to 32 (control characters and
// the space), as phrases and parsed values are trimmed throughout the program.
inline QStringView TrimLowChars(QStringView text)
{
    qsizetype first = 0;
    qsizetype last = text.size();
    while (first < last && text[first].unicode() <= 32)
        ++first;
    while (last > first && text[last - 1].unicode() <= 32)
        --last;
    return text.sliced(first, last - first);
}
