// The history of trends at scale.
//   ledger_bench [scale]   a ledger filled with SIGHTINGS sightings (10,000,000 unless set in the
//                          environment; 100 an hour, keywords drawn from 200,000), then
//     - one more scrape of 100 sightings with three news items each, written (median of 20);
//     - the history of one keyword, all of it and the last 30 days (median of 20 keywords);
//     - the rising keywords of the last day and week;
//     - the file's size per sighting.
//     Goals: a scrape written in under 20 ms, a history in under 50 ms, under 100 bytes a sighting.
//   ledger_bench import ROWS   the first start's import of a table of ROWS rows (every keyword
//                          distinct, in the table's own order) into a new history, timed (wall
//                          and CPU); goal: at most 5 s per million rows.
//   ledger_bench import-sql ROWS FOLDER   writes FOLDER/empty.sqlite (a new history) and
//                          FOLDER/import.sql, the same statements for the same rows, for the sqlite3
//                          command line (bench/ledger.sh runs both).
//   ledger_bench content FILE   what a history holds, in brief, to compare two imports.
#include "TrendKeywords.h"
#include "trends/TrendLedger.h"
#include "trends/TrendRecord.h"
#include "util/DateTimeText.h"
#include "util/DateTimeTextReader.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <cstdio>
#include <ctime>

namespace {

QString Keyword(int n)
{
    return QStringLiteral("keyword number %1").arg(n);
}

double Median(QList<double> values)
{
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

QList<LedgerSighting> Scrape(QRandomGenerator& random, int keywords, int newsPerItem, qint64 serial,
                             int items = 100)
{
    QList<LedgerSighting> sightings;
    for (int rank = 1; rank <= items; ++rank) {
        LedgerSighting sighting{Keyword(random.bounded(keywords)),
                                QStringLiteral("US"),
                                QString::number(random.bounded(1, 500) * 100) + u'+',
                                rank,
                                {}};
        for (int n = 0; n < newsPerItem; ++n)
            sighting.news.append(
                {QStringLiteral("A headline about the news of the day, number %1").arg(n),
                 QStringLiteral("https://news.example/%1/%2/%3").arg(serial).arg(rank).arg(n),
                 QStringLiteral("The Daily Example")});
        sightings.append(sighting);
    }
    return sightings;
}

// A table grown over years: every row its own last-seen time, about a minute and a half apart,
// the rows in no particular order.
TrendRows TableOf(qsizetype count)
{
    QRandomGenerator random(20261210);
    const QDateTime newest(QDate(2026, 12, 10), QTime(14, 15, 37));
    QStringList times;
    times.reserve(count);
    for (qsizetype i = 0; i < count; ++i)
        times << DateTimeText(newest.addSecs(-(90 * i + random.bounded(60))));
    std::shuffle(times.begin(), times.end(), random);
    TrendRows rows;
    rows.reserve(count);
    for (qsizetype i = 0; i < count; ++i)
        rows.append({TrendKeyword(random, i), times[i], QString::number(1 + random.bounded(500))});
    return rows;
}

double CpuSeconds()
{
    return double(std::clock()) / CLOCKS_PER_SEC;
}

// What a history holds, in brief, so that two imports can be compared.
int PrintContent(TrendLedger& ledger, const QString& path)
{
    if (const QString error = ledger.open(); !error.isEmpty()) {
        std::fprintf(stderr, "%s: %s\n", qPrintable(path), qPrintable(error));
        return 1;
    }
    const QHash<QString, KeywordSummary> keywords = ledger.summaries();
    qint64 firstSeen = 0;
    for (const KeywordSummary& summary : keywords)
        firstSeen += summary.firstSeen.toSecsSinceEpoch() % 1000;
    std::printf("content: %lld sightings, %lld keywords, first-seen check %lld\n",
                static_cast<long long>(ledger.sightingCount()), static_cast<long long>(keywords.size()),
                static_cast<long long>(firstSeen));
    return 0;
}

int Import(qsizetype count)
{
    const TrendRows rows = TableOf(count);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("trends.sqlite"));
    TrendLedger ledger(path);
    if (const QString error = ledger.open(); !error.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    QElapsedTimer wall;
    wall.start();
    const double cpu = CpuSeconds();
    if (const QString error = ledger.importTable(rows); !error.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    const double seconds = wall.nsecsElapsed() / 1e9;
    std::printf("import of %lld rows into a new history: %.2f s wall, %.2f s CPU, %.2f s per million rows "
                "(goal <= 5 s)\n",
                static_cast<long long>(count), seconds, CpuSeconds() - cpu, seconds * 1e6 / double(count));
    ledger.close();
    return PrintContent(ledger, path);
}

QString SqlText(QStringView text)
{
    QString quoted = text.toString();
    quoted.replace(u'\'', QStringLiteral("''"));
    return u'\'' + quoted + u'\'';
}

// The statements of the import into a new history, with the rows' values written out, for the
// sqlite3 command line to run beside us: the rows by case-folded keyword and time, 200 rows a
// statement, a rollback journal and a larger cache for the time of the import, the indexes dropped
// first and built after, all in one transaction.
int WriteImportSql(qsizetype count, const QString& folder)
{
    const TrendRows rows = TableOf(count);
    {
        TrendLedger ledger(folder + QStringLiteral("/empty.sqlite"));
        if (const QString error = ledger.open(); !error.isEmpty()) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
    }
    struct Entry {
        QString folded;
        qint64 at;
        qsizetype row;
    };
    const DateTimeTextReader reader;
    std::vector<Entry> entries;
    for (qsizetype row = 0; row < rows.size(); ++row)
        entries.push_back({rows.keyword(row).toString().toCaseFolded(),
                           reader.read(rows.date(row))->toSecsSinceEpoch(), row});
    std::sort(entries.begin(), entries.end(), [](const Entry& a, const Entry& b) {
        return a.folded != b.folded ? a.folded < b.folded : a.at < b.at;
    });
    QFile file(folder + QStringLiteral("/import.sql"));
    if (!file.open(QIODevice::WriteOnly)) {
        std::fprintf(stderr, "%s\n", qPrintable(file.errorString()));
        return 1;
    }
    QTextStream out(&file);
    out << "PRAGMA journal_mode = DELETE;\nPRAGMA cache_size = -262144;\nBEGIN IMMEDIATE;\n"
           "DROP INDEX IF EXISTS sightings_by_keyword;\nDROP INDEX IF EXISTS sightings_by_time;\n";
    constexpr int PerStatement = 200;
    QStringList keywords;
    QStringList later;
    const auto flush = [&](QStringList& values, const char* head, bool all) {
        if (values.size() >= PerStatement || (all && !values.isEmpty())) {
            out << head << values.join(u',') << ";\n";
            values.clear();
        }
    };
    const char* keywordHead = "INSERT INTO keywords (keyword, folded, first_seen) VALUES ";
    const char* laterHead = "INSERT INTO sightings (keyword_id, at, source) VALUES ";
    qint64 id = 0;
    for (size_t first = 0; first < entries.size();) {
        size_t end = first + 1;
        while (end < entries.size() && entries[end].folded == entries[first].folded)
            ++end;
        ++id;
        keywords << QStringLiteral("(%1,%2,%3)")
                        .arg(SqlText(rows.keyword(entries[end - 1].row)), SqlText(entries[first].folded))
                        .arg(entries[first].at);
        flush(keywords, keywordHead, false);
        for (size_t entry = first + 1; entry < end; ++entry) {
            later << QStringLiteral("(%1,%2,2)").arg(id).arg(entries[entry].at);
            flush(later, laterHead, false);
        }
        first = end;
    }
    flush(keywords, keywordHead, true);
    out << "INSERT INTO sightings (keyword_id, at, source) SELECT id, first_seen, 2 FROM keywords ORDER BY "
           "id;\n";
    flush(later, laterHead, true);
    out << "CREATE INDEX sightings_by_keyword ON sightings (keyword_id, at);\n"
           "CREATE INDEX sightings_by_time ON sightings (at);\n"
           "UPDATE state SET value = 'done' WHERE name = 'import';\nCOMMIT;\nPRAGMA journal_mode = WAL;\n";
    return 0;
}

int Scale()
{
    const qint64 total =
        qEnvironmentVariableIsSet("SIGHTINGS") ? qgetenv("SIGHTINGS").toLongLong() : 10'000'000;
    constexpr int Keywords = 200'000;
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("trends.sqlite"));
    TrendLedger ledger(path);
    if (const QString error = ledger.open(); !error.isEmpty()) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    QRandomGenerator random(42);
    const qint64 scrapes = total / 100;
    QDateTime at = QDateTime::currentDateTimeUtc().addSecs(-scrapes * 3600);
    QElapsedTimer filling;
    filling.start();
    for (qint64 scrape = 0; scrape < scrapes; ++scrape, at = at.addSecs(3600)) {
        if (const QString error =
                ledger.recordScrape(at, LedgerSource::Trending, Scrape(random, Keywords, 0, scrape));
            !error.isEmpty()) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
    }
    std::printf("filled with %lld sightings in %.1f s\n", static_cast<long long>(ledger.sightingCount()),
                filling.nsecsElapsed() / 1e9);
    {
        // A program's first open of its history looks at the whole file once (quick_check).
        ledger.close();
        TrendLedger first(path);
        QElapsedTimer opening;
        opening.start();
        if (const QString error = first.open(); !error.isEmpty()) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
        std::printf("first open of the history, with its check of the whole file: %.2f s\n",
                    opening.nsecsElapsed() / 1e9);
        first.close();
        if (const QString error = ledger.open(); !error.isEmpty())
            return 1;
    }

    QList<double> writes;
    for (int n = 0; n < 20; ++n, at = at.addSecs(3600)) {
        const QList<LedgerSighting> sightings = Scrape(random, Keywords, 3, scrapes + n);
        QElapsedTimer timer;
        timer.start();
        if (!ledger.recordScrape(at, LedgerSource::Trending, sightings).isEmpty())
            return 1;
        writes << timer.nsecsElapsed() / 1e6;
    }
    std::printf(
        "one scrape of 100 sightings with 3 news each: median %.2f ms, worst %.2f ms (goal < 20 ms)\n",
        Median(writes), *std::max_element(writes.cbegin(), writes.cend()));

    QList<double> whole;
    QList<double> month;
    qint64 seen = 0;
    for (int n = 0; n < 20; ++n) {
        const QString keyword = Keyword(random.bounded(Keywords));
        QElapsedTimer timer;
        timer.start();
        seen += ledger.history(keyword)->sightings;
        whole << timer.nsecsElapsed() / 1e6;
        timer.restart();
        ledger.history(keyword, at.addDays(-30));
        month << timer.nsecsElapsed() / 1e6;
    }
    std::printf("history of one keyword (%lld sightings on average): all %.2f ms, last 30 days %.2f ms "
                "(medians; goal < 50 ms)\n",
                static_cast<long long>(seen / 20), Median(whole), Median(month));

    QElapsedTimer timer;
    timer.start();
    const qsizetype rising = ledger.rising(at).size();
    std::printf("rising: %lld keywords in %.1f ms\n", static_cast<long long>(rising),
                timer.nsecsElapsed() / 1e6);

    const qint64 bytes = QFileInfo(path).size() + QFileInfo(path + QStringLiteral("-wal")).size();
    std::printf("file %.1f MB, %.1f bytes a sighting (goal < 100)\n", bytes / 1e6,
                double(bytes) / double(ledger.sightingCount()));
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    if (arguments.size() >= 3 && arguments[1] == QStringLiteral("import"))
        return Import(arguments[2].toLongLong());
    if (arguments.size() >= 4 && arguments[1] == QStringLiteral("import-sql"))
        return WriteImportSql(arguments[2].toLongLong(), arguments[3]);
    if (arguments.size() >= 3 && arguments[1] == QStringLiteral("content")) {
        TrendLedger ledger(arguments[2]);
        return PrintContent(ledger, arguments[2]);
    }
    if (arguments.size() <= 1 || arguments[1] == QStringLiteral("scale"))
        return Scale();
    std::fprintf(stderr,
                 "usage: ledger_bench [scale | import ROWS | import-sql ROWS FOLDER | content FILE]\n");
    return 2;
}
