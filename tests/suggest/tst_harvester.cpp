#include "net/HttpClient.h"
#include "net/StyledFetch.h"
#include "suggest/PhraseDigging.h"
#include "suggest/SuggestHarvester.h"
#include "support/FakeFetch.h"
#include "support/FakeSeams.h"
#include "support/ScriptedHttpServer.h"
#include "support/SuggestAnswerBody.h"
#include "support/TaskEnd.h"
#include "support/TestFiles.h"
#include "util/DataFileStore.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace Qt::StringLiterals;

using namespace std::chrono_literals;
using Note = SuggestTableModel::HarvestNote;

namespace {

QString answer(const QList<QPair<QByteArray, QByteArray>>& completions)
{
    return QString::fromUtf8(SuggestAnswerBody(completions));
}

QString queryUrl(const QString& phrase)
{
    return u"http://127.0.0.1:1/complete/search?hl=en&js=true&qu="_s + phrase;
}

// The text each signal caught by `spy` carried.
QStringList textsOf(const QSignalSpy& spy)
{
    QStringList texts;
    for (const QList<QVariant>& signal : spy)
        texts << signal[0].toString();
    return texts;
}

SuggestCells allNotAvailable()
{
    SuggestCells cells;
    cells.fill(u"N/A"_s);
    return cells;
}

// The phrase a Suggest request asks for.
QString askedPhrase(const QByteArray& request)
{
    const QByteArray line = request.left(request.indexOf("\r\n"));
    const qsizetype start = line.indexOf("qu=") + 3;
    QByteArray phrase = line.mid(start, line.indexOf(' ', start) - start);
    phrase.replace('+', ' ');
    return QUrl::fromPercentEncoding(phrase);
}

// A fetcher that asks the scripted server through the real exchange.
PageFetcher serverFetcher(HttpClient& client)
{
    return [&client](QString url, FetchStyle style) -> QCoro::Task<PageFetch> {
        const HttpResult result = co_await client.get(HttpUrlFromText(url));
        co_return PageFetchOf(result, style, false);
    };
}

// Each level of a dig as "phrases/harvested", levels separated by spaces.
QString levelsText(const DigOutcome& outcome)
{
    QStringList levels;
    for (const DigLevel& level : outcome.levels)
        levels << u"%1/%2"_s.arg(level.phrases).arg(level.harvested);
    return levels.join(u' ');
}

} // namespace

// The harvest without a window: a scripted fetch, the random seam, a pause of 1 ms steps.
class TestHarvester : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void init();
    void cleanup();

    void harvestsInTheOrderGiven();
    void pausesBeforeEachPhraseButTheFirst();
    void stopInEachPlace_data();
    void stopInEachPlace();
    void notesSayWhatCameOfEachRow();
    void progressFollowsThePhrases();
    void rowsDeletedMeanwhileArePassedOver();
    void harvestedRowsAreSavedSoon();
    void oneHarvestAtATime();
    void flagsSurviveAnError();
    void refusalIsAskedAgainLater();
    void refusalToTheEndStopsTheHarvest();
    void stopWhileWaitingAfterARefusal();
    void digHarvestsEveryLevel_data();
    void digHarvestsEveryLevel();

private:
    // A table of these phrases and the harvester over it.
    void makeHarvester(const QStringList& phrases);
    QList<SuggestTableModel::RowId> ids(const QList<qsizetype>& rows) const
    {
        return m_table->idsOfRows(rows);
    }
    void harvest(const QList<qsizetype>& rows) { QCoro::waitFor(m_harvester->harvest(ids(rows))); }

    std::unique_ptr<QTemporaryDir> m_home;
    FakeFetch m_fetch;
    FakeRandom m_random;
    std::unique_ptr<SuggestTableModel> m_table;
    std::unique_ptr<DataFileStore> m_file;
    std::unique_ptr<SuggestHarvester> m_harvester;
    int m_writes = 0;
};

void TestHarvester::init()
{
    m_home = std::make_unique<QTemporaryDir>();
    qputenv("QUILLORY_HOME", m_home->path().toUtf8());
    qputenv("QUILLORY_GOOGLE_HOST", "127.0.0.1:1");
    m_fetch = FakeFetch();
    m_random = FakeRandom();
    m_writes = 0;
}

void TestHarvester::cleanup()
{
    m_harvester.reset();
    m_file.reset();
    m_table.reset();
    m_home.reset();
    qunsetenv("QUILLORY_HOME");
    qunsetenv("QUILLORY_GOOGLE_HOST");
}

void TestHarvester::makeHarvester(const QStringList& phrases)
{
    m_table = std::make_unique<SuggestTableModel>();
    m_table->appendPhrases(phrases);
    m_file = std::make_unique<DataFileStore>(u"dbsuggest.dat"_s, [this](const QString& path) {
        ++m_writes;
        writeFile(path, m_table->record(0).cells[0].toUtf8());
        return QString();
    });
    m_harvester = std::make_unique<SuggestHarvester>(*m_table, *m_file, m_fetch.fetcher(), m_random);
    m_harvester->setPauseStep(1ms);
}

void TestHarvester::harvestsInTheOrderGiven()
{
    makeHarvester({u"r0"_s, u"r1"_s, u"r2"_s, u"r3"_s, u"r4"_s});
    for (const char* pair : {"s0", "s1", "s2"})
        m_fetch.answers.enqueue(FakeFetch::page(answer({{pair, "1"}})));
    harvest({1, 3, 4});
    QCOMPARE(m_fetch.urls, (QStringList{queryUrl(u"r1"_s), queryUrl(u"r3"_s), queryUrl(u"r4"_s)}));
    QCOMPARE(m_table->record(1).cells[0], u"s0"_s);
    QCOMPARE(m_table->record(3).cells[0], u"s1"_s);
    QCOMPARE(m_table->record(4).cells[0], u"s2"_s);
    QCOMPARE(m_table->record(0).cells[0], u""_s);
    QCOMPARE(m_table->record(2).cells[0], u""_s);
    QVERIFY(!m_harvester->isRunning());
}

void TestHarvester::pausesBeforeEachPhraseButTheFirst()
{
    makeHarvester({u"red wine"_s, u"blue"_s, u"green"_s});
    QSignalSpy statuses(m_harvester.get(), &SuggestHarvester::statusChanged);
    m_random.draws << 7 << 2;
    QElapsedTimer elapsed;
    elapsed.start();
    harvest({0, 1, 2});
    // A draw of 0 to 7 whole seconds, each second ten steps: 90 steps of 1 ms here.
    QCOMPARE(m_random.bounds, (QList<int>{8, 8}));
    QVERIFY(elapsed.elapsed() >= 90);
    QCOMPARE(textsOf(statuses),
             (QStringList{u"Getting suggestion of: red wine..."_s, u"Preparing suggestions of: blue..."_s,
                          u"Getting suggestion of: blue..."_s, u"Preparing suggestions of: green..."_s,
                          u"Getting suggestion of: green..."_s}));

    // A range of the options: 3 to 5 seconds is a draw of 0 to 2 on top of 3.
    m_random.bounds.clear();
    m_random.draws << 2;
    m_harvester->setPauseRange(3, 5);
    elapsed.restart();
    harvest({0, 1});
    QCOMPARE(m_random.bounds, QList<int>{3});
    QVERIFY(elapsed.elapsed() >= 50);
}

void TestHarvester::stopInEachPlace_data()
{
    QTest::addColumn<QString>("stopAt");
    QTest::addColumn<QStringList>("fetched");
    QTest::addColumn<int>("draws");
    // The fetcher cuts the fetch under way off; the harvest ends at its next check.
    QTest::newRow("during a fetch") << "Getting suggestion of: a..." << QStringList{queryUrl(u"a"_s)} << 0;
    QTest::newRow("before the pause") << "filled" << QStringList{queryUrl(u"a"_s)} << 0;
    QTest::newRow("during the pause")
        << "Preparing suggestions of: b..." << QStringList{queryUrl(u"a"_s)} << 1;
}

void TestHarvester::stopInEachPlace()
{
    QFETCH(QString, stopAt);
    QFETCH(QStringList, fetched);
    QFETCH(int, draws);
    makeHarvester({u"a"_s, u"b"_s});
    const bool duringFetch = stopAt.startsWith(u"Getting"_s);
    m_fetch.answers << (duringFetch ? FakeFetch::failure(PageFetchStopped)
                                    : FakeFetch::page(answer({{"a1", "1"}})))
                    << FakeFetch::page(answer({{"b1", "1"}}));
    connect(m_harvester.get(), &SuggestHarvester::statusChanged, this, [&](const QString& text) {
        if (text == stopAt)
            m_harvester->requestStop();
    });
    connect(m_harvester.get(), &SuggestHarvester::rowFilled, this, [&] {
        if (stopAt == u"filled"_s)
            m_harvester->requestStop();
    });
    harvest({0, 1});
    QCOMPARE(m_fetch.urls, fetched);
    QCOMPARE(m_random.bounds.size(), draws);
    QCOMPARE(m_table->record(0).cells[0], duringFetch ? u"N/A"_s : u"a1"_s);
    QCOMPARE(m_table->record(1).cells[0], u""_s);
    QVERIFY(!m_harvester->isRunning());
    QVERIFY(!m_harvester->stopRequested()); // the stop ended with the harvest it stopped
}

void TestHarvester::notesSayWhatCameOfEachRow()
{
    makeHarvester({u"red"_s, u"blue"_s, u"green"_s, u"grey"_s});
    m_fetch.answers << FakeFetch::page(answer({{"red wine", "45,100,000"}, {"red dress", "8,040,000"}}))
                    << FakeFetch::failure(u"The server answered 404 Not Found"_s)
                    << FakeFetch::page(answer({})) << FakeFetch::failure(PageFetchStopped);
    QList<Note> notesAtWork;
    connect(m_harvester.get(), &SuggestHarvester::rowFetching, this,
            [&](SuggestTableModel::RowId id) { notesAtWork << m_table->harvestNote(id); });
    QSignalSpy filled(m_harvester.get(), &SuggestHarvester::rowFilled);
    harvest({0, 1, 2, 3});

    QCOMPARE(notesAtWork, QList<Note>(4, Note::Fetching));
    QCOMPARE(filled.size(), 4);
    const auto note = [&](int row) { return m_table->harvestNote(m_table->idOfRow(row)); };
    const auto tooltip = [&](int row) { return m_table->index(row, 0).data(Qt::ToolTipRole).toString(); };
    QCOMPARE(note(0), Note::Filled);
    QCOMPARE(note(1), Note::Failed);
    QCOMPARE(tooltip(1), u"Failed: The server answered 404 Not Found"_s);
    QCOMPARE(note(2), Note::NoSuggestions);
    QCOMPARE(note(3), Note::Stopped);
    const SuggestCells& cells = m_table->record(0).cells;
    QCOMPARE(
        QStringList(cells.begin(), cells.begin() + 6),
        (QStringList{u"red wine"_s, u"45,100,000"_s, u"red dress"_s, u"8,040,000"_s, u"N/A"_s, u"N/A"_s}));
    for (const int row : {1, 2, 3})
        QCOMPARE(m_table->record(row).cells, allNotAvailable());
}

void TestHarvester::progressFollowsThePhrases()
{
    makeHarvester({u"a"_s, u"b"_s, u"c"_s});
    QSignalSpy progress(m_harvester.get(), &SuggestHarvester::progressTextChanged);
    QSignalSpy gauge(m_harvester.get(), &SuggestHarvester::gaugeReset);
    QSignalSpy started(m_harvester.get(), &SuggestHarvester::started);
    QSignalSpy done(m_harvester.get(), &SuggestHarvester::phrasesDone);
    QSignalSpy ended(m_harvester.get(), &SuggestHarvester::ended);
    bool runningWhenEnded = true;
    connect(m_harvester.get(), &SuggestHarvester::ended, this,
            [this, &runningWhenEnded] { runningWhenEnded = m_harvester->isRunning(); });
    QSignalSpy countdown(m_harvester.get(), &SuggestHarvester::pauseLeft);
    m_random.draws << 3 << 0; // three seconds before "b", none before "c"
    harvest({0, 1, 2});
    QCOMPARE(textsOf(progress),
             (QStringList{u"Phrase 1 of 3"_s, u"Phrase 2 of 3"_s, u"Phrase 3 of 3"_s, u""_s}));
    QCOMPARE(gauge.size(), 3);
    QCOMPARE(started.size(), 1);
    QCOMPARE(started[0][0].value<qsizetype>(), qsizetype(3));
    QList<qsizetype> doneCounts;
    for (const QList<QVariant>& signal : done) {
        doneCounts << signal[0].value<qsizetype>();
        QCOMPARE(signal[1].value<qsizetype>(), qsizetype(3));
        QVERIFY(signal[2].value<qint64>() >= 0);
    }
    QCOMPARE(doneCounts, (QList<qsizetype>{1, 2, 3}));
    // The pause before "b" counted down a second at a time; none before "c".
    QList<int> secondsLeft;
    for (const QList<QVariant>& signal : countdown)
        secondsLeft << signal[0].toInt();
    QCOMPARE(secondsLeft, (QList<int>{3, 2, 1}));
    QCOMPARE(ended.size(), 1);
    QVERIFY(!runningWhenEnded); // told once the next harvest may start
}

void TestHarvester::rowsDeletedMeanwhileArePassedOver()
{
    makeHarvester({u"a"_s, u"gone"_s, u"b"_s, u"c"_s});
    m_fetch.answers << FakeFetch::page(answer({{"for a", "1"}})) << FakeFetch::page(answer({{"for b", "1"}}))
                    << FakeFetch::page(answer({{"for c", "1"}}));
    QSignalSpy progress(m_harvester.get(), &SuggestHarvester::progressTextChanged);
    QSignalSpy done(m_harvester.get(), &SuggestHarvester::phrasesDone);
    const QList<SuggestTableModel::RowId> rows = ids({0, 1, 2, 3});
    // While "a" is fetched "gone" is deleted and the rows are sorted; "b" goes during its own fetch.
    m_fetch.whileFetching = [&](const QString& url) {
        if (url == queryUrl(u"a"_s)) {
            m_table->removeRowList({m_table->rowOfId(rows[1])});
            m_table->sort(0, Qt::DescendingOrder);
        } else if (url == queryUrl(u"b"_s)) {
            m_table->removeRowList({m_table->rowOfId(rows[2])});
        }
    };
    QCoro::waitFor(m_harvester->harvest(rows));
    QCOMPARE(m_fetch.urls, (QStringList{queryUrl(u"a"_s), queryUrl(u"b"_s), queryUrl(u"c"_s)}));
    QCOMPARE(m_table->rowCount(), 2);
    QCOMPARE(m_table->recordOfId(rows[0])->cells[0], u"for a"_s);
    QCOMPARE(m_table->recordOfId(rows[3])->cells[0], u"for c"_s);
    // "gone" was passed over.
    QCOMPARE(textsOf(progress),
             (QStringList{u"Phrase 1 of 4"_s, u"Phrase 3 of 4"_s, u"Phrase 4 of 4"_s, u""_s}));
    // A row passed over is done all the same: the count reaches the end.
    QList<qsizetype> doneCounts;
    for (const QList<QVariant>& signal : done)
        doneCounts << signal[0].value<qsizetype>();
    QCOMPARE(doneCounts, (QList<qsizetype>{1, 2, 3, 4}));
}

void TestHarvester::harvestedRowsAreSavedSoon()
{
    makeHarvester({u"a"_s, u"b"_s, u"c"_s});
    m_harvester->setSaveDelay(20ms);
    m_fetch.answers << FakeFetch::page(answer({{"a1", "1"}})) << FakeFetch::page(answer({{"b1", "1"}}));
    // The third phrase is held: rows harvested close together are saved once, soon after.
    m_fetch.whileFetching = [&](const QString& url) { m_fetch.held = url == queryUrl(u"c"_s); };
    auto harvesting = m_harvester->harvest(ids({0, 1, 2}));
    QTRY_COMPARE(readFile(m_file->path()), "a1");
    QCOMPARE(m_writes, 1);
    QVERIFY(m_harvester->isRunning());

    // A save by someone else meanwhile saves what was pending: the timer does not write again.
    m_fetch.held = false;
    m_fetch.whileFetching = nullptr;
    QCoro::waitFor(harvesting);
    m_file->save();
    QCOMPARE(m_writes, 3); // the harvest's own save at its end, and this one
    QTest::qWait(60);
    QCOMPARE(m_writes, 3);
}

void TestHarvester::oneHarvestAtATime()
{
    makeHarvester({u"a"_s, u"b"_s});
    m_fetch.held = true;
    auto first = m_harvester->harvest(ids({0}));
    QVERIFY(m_harvester->isRunning());
    QCoro::waitFor(m_harvester->harvest(ids({1})));
    m_fetch.held = false;
    QCoro::waitFor(first);
    QCOMPARE(m_fetch.urls, QStringList{queryUrl(u"a"_s)});
    // A stop asked for with no harvest running stays behind nowhere.
    m_harvester->requestStop();
    QVERIFY(!m_harvester->stopRequested());
}

void TestHarvester::flagsSurviveAnError()
{
    makeHarvester({u"a"_s, u"b"_s});
    // An error at the pause before the second phrase.
    m_random.failNextDraw = true;
    QVERIFY(EndsInAnError(m_harvester->harvest(ids({0, 1}))));
    QVERIFY(!m_harvester->isRunning());
    harvest({0, 1});
    QCOMPARE(m_fetch.urls.size(), 3);
}

namespace {

PageFetch refusal(int status)
{
    PageFetch fetched = FakeFetch::failure(u"refused"_s);
    fetched.statusCode = status;
    fetched.refused = true;
    return fetched;
}

} // namespace

void TestHarvester::refusalIsAskedAgainLater()
{
    makeHarvester({u"r0"_s});
    m_harvester->setPauseStep(0ms);
    m_fetch.answers << refusal(429) << refusal(429) << FakeFetch::page(answer({{"s0", "1"}}));
    QStringList statuses;
    connect(m_harvester.get(), &SuggestHarvester::statusChanged, this,
            [&](const QString& text) { statuses << text; });
    harvest({0});
    QCOMPARE(m_fetch.urls, QStringList(3, queryUrl(u"r0"_s)));
    QCOMPARE(m_table->record(0).cells[0], u"s0"_s);
    QCOMPARE(m_table->harvestNote(m_table->idOfRow(0)), SuggestTableModel::HarvestNote::Filled);
    // A countdown, second by second: 60 s after the first refusal, 120 s after the second.
    QVERIFY(statuses.contains(u"Google Suggest refused to answer (HTTP 429). Trying again in 60 s..."_s));
    QVERIFY(statuses.contains(u"Google Suggest refused to answer (HTTP 429). Trying again in 1 s..."_s));
    QVERIFY(statuses.contains(u"Google Suggest refused to answer (HTTP 429). Trying again in 120 s..."_s));
    QVERIFY(!statuses.contains(u"Google Suggest refused to answer (HTTP 429). Trying again in 240 s..."_s));
    QCOMPARE(SuggestHarvester::RefusalDelay(2), 240s);
    QCOMPARE(SuggestHarvester::RefusalDelay(5), 900s); // at most 15 minutes
}

void TestHarvester::refusalToTheEndStopsTheHarvest()
{
    makeHarvester({u"r0"_s, u"r1"_s});
    m_harvester->setPauseStep(0ms);
    for (int i = 0; i < 4; ++i)
        m_fetch.answers << refusal(503);
    QList<QVariantList> refused;
    connect(m_harvester.get(), &SuggestHarvester::serviceRefused, this,
            [&](const QString& service, int status, const QString& phrase) {
                refused << QVariantList{service, status, phrase};
            });
    harvest({0, 1});
    QCOMPARE(m_fetch.urls, QStringList(4, queryUrl(u"r0"_s))); // the first try and three more
    QCOMPARE(refused, (QList<QVariantList>{{u"Google Suggest"_s, 503, u"r0"_s}}));
    QCOMPARE(m_table->record(0).cells[0], u""_s); // no "N/A": the phrase was never answered
    QCOMPARE(m_table->harvestNote(m_table->idOfRow(0)), SuggestTableModel::HarvestNote::None);
    QVERIFY(!m_harvester->isRunning());
}

void TestHarvester::stopWhileWaitingAfterARefusal()
{
    makeHarvester({u"r0"_s});
    m_fetch.answers << refusal(429) << FakeFetch::page(answer({{"s0", "1"}}));
    connect(m_harvester.get(), &SuggestHarvester::statusChanged, this, [&](const QString& text) {
        if (text.contains(u"Trying again in 58 s"_s))
            m_harvester->requestStop();
    });
    harvest({0});
    QCOMPARE(m_fetch.urls.size(), 1);
    QCOMPARE(m_table->record(0).cells[0], u""_s);
    QVERIFY(!m_harvester->isRunning());
}

QTEST_GUILESS_MAIN(TestHarvester)
#include "tst_harvester.moc"

void TestHarvester::digHarvestsEveryLevel_data()
{
    QTest::addColumn<int>("depth");
    QTest::addColumn<int>("limit");
    QTest::addColumn<QString>("failing"); // answered 404
    QTest::addColumn<QString>("stopAt");  // Stop while this phrase is fetched
    QTest::addColumn<QStringList>("asked");
    QTest::addColumn<QString>("levels");
    QTest::addColumn<int>("added");

    const QStringList first{u"red"_s, u"red a"_s};
    const QStringList second{u"red x"_s, u"red y"_s, u"red a x"_s};
    const QStringList third{u"deep 1"_s, u"deep 2"_s, u"deep 3"_s};
    QTest::newRow("depth 1: the seed and its expansion") << 1 << 100 << ""
                                                         << "" << first << "2/2" << 1;
    QTest::newRow("depth 2: the last level harvested too") << 2 << 100 << ""
                                                           << "" << first + second << "2/2 3/3" << 4;
    QTest::newRow("depth 3") << 3 << 100 << ""
                             << "" << first + second + third << "2/2 3/3 3/3" << 7;
    QTest::newRow("the limit cuts a level and ends the dig")
        << 3 << 3 << ""
        << "" << first + second.mid(0, 2) << "2/2 2/2" << 3;
    QTest::newRow("a failed phrase remains") << 2 << 100 << "red a"
                                             << "" << first + second.mid(0, 2) << "2/1 2/2" << 3;
    QTest::newRow("stop in the middle of a level") << 3 << 100 << ""
                                                   << "red y" << first + second.mid(0, 2) << "2/2 3/2" << 4;
}

// The dig behind "depth" against the real exchange: every level is harvested, the seed's and the
// last one included, and the outcome counts what each level had and what of it was harvested.
void TestHarvester::digHarvestsEveryLevel()
{
    QFETCH(int, depth);
    QFETCH(int, limit);
    QFETCH(QString, failing);
    QFETCH(QString, stopAt);
    QFETCH(QStringList, asked);
    QFETCH(QString, levels);
    QFETCH(int, added);

    ScriptedHttpServer server;
    qputenv("QUILLORY_GOOGLE_HOST", server.hostAndPort());
    const QHash<QString, QList<QPair<QByteArray, QByteArray>>> answers{
        {u"red"_s, {{"red x", "1"}, {"red y", "2"}}},
        {u"red a"_s, {{"red a x", "1"}, {"RED X", "2"}}}, // the same phrase in other letters
        {u"red x"_s, {{"deep 1", "1"}}},
        {u"red y"_s, {{"deep 2", "1"}, {"red", "2"}}}, // a phrase the table holds
        {u"red a x"_s, {{"deep 3", "1"}}},
        {u"deep 1"_s, {{"deeper", "1"}}},
    };
    QStringList requested;
    bool stopped = false;
    connect(&server, &ScriptedHttpServer::requestArrived, this, [&](const QByteArray& request) {
        const QString phrase = askedPhrase(request);
        requested << phrase;
        if (phrase == stopAt) {
            stopped = true;
            m_harvester->requestStop();
        }
        server.enqueue(phrase == failing ? ScriptedHttpServer::status(404)
                                         : ScriptedHttpServer::ok(SuggestAnswerBody(answers.value(phrase))));
    });
    HttpClient client;
    makeHarvester({u"red"_s});
    m_harvester = std::make_unique<SuggestHarvester>(*m_table, *m_file, serverFetcher(client), m_random);
    m_harvester->setPauseStep(1ms);

    const PhrasesAdded expansion = AddNewPhrases(*m_table, {u"red a"_s}, limit);
    std::function<PhrasesAdded(const QStringList&, qsizetype)> add =
        [this](const QStringList& phrases, qsizetype most) { return AddNewPhrases(*m_table, phrases, most); };
    std::function<bool()> isStopped = [&stopped] { return stopped; };
    const DigOutcome outcome =
        QCoro::waitFor(DigDeeper(*m_harvester, *m_table, QList{m_table->idOfRow(0)} + expansion.rows,
                                 expansion.rows.size(), depth, limit, add, isStopped));
    QCOMPARE(requested, asked);
    QCOMPARE(levelsText(outcome), levels);
    QCOMPARE(outcome.added, qsizetype(added));
    QCOMPARE(m_table->rowCount(), 1 + added);
    // No phrase is left added but never asked, unless the dig was stopped.
    if (stopAt.isEmpty()) {
        for (qsizetype row = 0; row < m_table->rowCount(); ++row)
            QVERIFY2(requested.contains(m_table->records().phrase(row).toString()),
                     qPrintable(m_table->records().phrase(row).toString()));
    }
    QVERIFY(!m_harvester->isRunning());
}
