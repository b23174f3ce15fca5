#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <optional>

// The lines of an INI file as its user wrote them, read and edited value by value: the lines it
// does not change (comments, blank lines, keys of others, their order) stay byte for byte, and a
// comment after a changed value stays after it. What it writes, QSettings reads back the same.
//
//     [Suggest]
//     Engine=google            ; google | youtube | bing
//
// A value ends where a ";" outside double quotes begins its comment; a quoted part keeps ";", ","
// and spaces, with \" and \\ inside; a value of several parts separated by commas is read as its
// parts joined by ",".
class IniLines {
public:
    explicit IniLines(const QByteArray& bytes = {});

    // The value of `key` in the section `group` (its last line when it has several), or nothing
    // when no line holds it.
    std::optional<QString> value(const QString& group, const QString& key) const;
    // Gives the key this value, as written by IniValueText or IniListText: every line of the key
    // changes in place; a key that has no line gets one after the last key of its section, and a
    // section that is not there is added at the end.
    void setValue(const QString& group, const QString& key, const QByteArray& valueText);

    QByteArray bytes() const;

private:
    struct Line {
        QByteArray text;   // without its line ending
        QByteArray ending; // "\r\n", "\n", "\r", or empty for a last line without one
    };
    // The section a line opens ("[Name]"), or nothing.
    static std::optional<QString> sectionOf(const QByteArray& text);
    // The key of a "key=value" line, or nothing.
    static std::optional<QString> keyOf(const QByteArray& text);

    QByteArray m_bom;
    QList<Line> m_lines;
    QByteArray m_ending = "\r\n";
};

// A value as a line of an INI file holds it: as it is, or between double quotes when QSettings would
// read it otherwise (a ";", a ",", a quote, a backslash, spaces at its ends, a leading "@").
QByteArray IniValueText(const QString& value);
// A list of values, each as IniValueText writes it, separated by ", "; "@Invalid()" for an empty one,
// as QSettings has it.
QByteArray IniListText(const QStringList& values);
