#include "util/RowFile.h"

namespace {

bool isBlank(QChar c)
{
    return c.unicode() >= 1 && c.unicode() <= 32;
}

} // namespace

void AppendRowLine(QString& out, const QList<QStringView>& fields)
{
    for (const QStringView field : fields) {
        const qsizetype from = out.size();
        out += field;
        QChar* data = out.data();
        for (qsizetype i = from; i < out.size(); ++i) {
            if (data[i] == u' ')
                data[i] = StoredSpace;
        }
        out += u'|';
    }
}

QList<QStringView> SplitRowLine(QStringView line)
{
    QList<QStringView> fields;
    const qsizetype n = line.size();
    qsizetype i = 0;
    while (i < n && isBlank(line[i]))
        ++i;
    while (i < n) {
        const qsizetype start = i;
        while (i < n && line[i] != u'|' && !isBlank(line[i]))
            ++i;
        fields.append(line.mid(start, i - start));
        while (i < n && isBlank(line[i]))
            ++i;
        if (i < n && line[i] == u'|') {
            ++i;
            while (i < n && isBlank(line[i]))
                ++i;
            if (i == n)
                fields.append(QStringView());
        }
    }
    return fields;
}

QString RestoreSpaces(QStringView field)
{
    QString text = field.toString();
    if (field.contains(StoredSpace))
        text.replace(StoredSpace, u' ');
    return text;
}
