// Measures the import of the "Add New Keyword(s)" dialog at scale: 100,000 lines into a Suggest
// table that already holds 100,000 phrases (a quarter of the lines repeat a phrase of the table in
// another letter case or with blanks around it, a few repeat an earlier line).
//   suggest_import_bench [TABLE_ROWS] [LINES]
#include "suggest/SuggestImport.h"
#include "suggest/SuggestTableModel.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QRandomGenerator>

#include <cstdio>
#include <sys/resource.h>

using namespace Qt::StringLiterals;

namespace {

QString phrase(QRandomGenerator& random, qsizetype serial)
{
    static const QStringList words = {u"red"_s,     u"wine"_s,   u"cheap"_s,   u"flights"_s, u"to"_s,
                                      u"paris"_s,   u"best"_s,   u"running"_s, u"shoes"_s,   u"how"_s,
                                      u"learn"_s,   u"guitar"_s, u"café"_s,    u"near"_s,    u"me"_s,
                                      u"münchen"_s, u"hotel"_s,  u"deals"_s};
    QString text;
    const int count = 2 + random.bounded(3);
    for (int i = 0; i < count; ++i)
        text += words[random.bounded(int(words.size()))] + u' ';
    return text + QString::number(serial);
}

double peakMegabytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024.0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    const qsizetype tableRows = args.size() > 1 ? args[1].toLongLong() : 100000;
    const qsizetype lineCount = args.size() > 2 ? args[2].toLongLong() : 100000;

    QRandomGenerator random(20261210);
    QStringList tablePhrases;
    for (qsizetype i = 0; i < tableRows; ++i)
        tablePhrases << phrase(random, i);
    SuggestTableModel model;
    model.appendPhrases(tablePhrases);

    QStringList lines;
    for (qsizetype i = 0; i < lineCount; ++i) {
        const int kind = random.bounded(100);
        if (kind < 25 && tableRows > 0)
            lines << QStringLiteral("  ") + tablePhrases[random.bounded(int(tableRows))].toUpper() + u'\t';
        else if (kind < 30 && !lines.isEmpty())
            lines << lines[random.bounded(int(lines.size()))];
        else
            lines << phrase(random, tableRows + i);
    }

    QElapsedTimer timer;
    timer.start();
    const QStringList added = NewImportPhrases(model.records(), lines);
    const double findSeconds = timer.nsecsElapsed() / 1e9;
    model.appendPhrases(added);
    const double totalSeconds = timer.nsecsElapsed() / 1e9;

    std::printf("import of %lld lines into a table of %lld rows: %.3f s (duplicate test %.3f s, "
                "appending %.3f s); %lld rows added, table now %d rows; peak memory %.0f MB\n",
                static_cast<long long>(lineCount), static_cast<long long>(tableRows), totalSeconds,
                findSeconds, totalSeconds - findSeconds, static_cast<long long>(added.size()),
                model.rowCount(), peakMegabytes());
    return 0;
}
