#pragma once

#include <QString>

// The program's marker extraction. Finds startMarker in workingText (letter case of a-z ignored),
// drops everything up to and including it plus `skip` characters, and returns the text up to the
// next endMarker. The working text is left starting at that end marker, so a run of calls walks
// forward through a document. A missing start marker returns an empty value and changes nothing;
// a missing end marker returns an empty value and leaves the text after the start marker.
QString CutBetween(QStringView startMarker, QStringView endMarker, int skip, QString& workingText);

// Position of `needle` in `haystack` at or after `from`, comparing the letters a-z without regard to
// case and every other character exactly; -1 when absent.
qsizetype IndexOfAsciiCaseless(QStringView haystack, QStringView needle, qsizetype from = 0);
