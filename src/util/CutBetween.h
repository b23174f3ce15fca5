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

// Where a marker next stands in a text, for a reader that only moves forward. Each answer is kept
// until the reader passes it, so a walk through the whole text looks at each stretch of it once per
// marker, however often it asks (a missing marker is searched for once, not at every step).
class ForwardMarker {
public:
    enum class LetterCase { AsciiIgnored, Exact }; // AsciiIgnored compares as CutBetween does

    ForwardMarker(QStringView text, QStringView marker, LetterCase letterCase = LetterCase::AsciiIgnored);

    // The first position at or after `from` where the marker stands, or -1. `from` never goes back
    // from one call to the next.
    qsizetype nextFrom(qsizetype from);
    qsizetype size() const { return m_marker.size(); }

private:
    static constexpr qsizetype NotSearched = -2;

    QStringView m_text;
    QStringView m_marker;
    LetterCase m_letterCase;
    qsizetype m_found = NotSearched;
    qsizetype m_lastFrom = 0;
};

// A run of CutBetween calls over one text, without changing the text: the working text of the run
// is the text from position() on. Every cut moves the position forward only, so the markers (made
// over the same text) answer each search in passing and a whole walk takes one pass.
class CutCursor {
public:
    explicit CutCursor(QStringView text)
        : m_text(text)
    {
    }

    // What CutBetween(start, end, skip, working text) returns; the working text changes the same way.
    QStringView cut(ForwardMarker& start, ForwardMarker& end, int skip = 0);
    qsizetype position() const { return m_position; }

private:
    QStringView m_text;
    qsizetype m_position = 0;
};
