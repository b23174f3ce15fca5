// Measures the buttons of the Hot Trends page on a big table as the window lives them: the page
// shown, a timer that ticks every few milliseconds, and for each action the time the click holds
// the window's thread and the longest the event loop stood still until the action is done.
//   page_actions_bench FILE    loads the "dabatase.dat" FILE (as written by trend_table_bench
//                              generate), types a few texts into the find box (a key every 150
//                              ms) and pastes them, and presses Select All, Delete Selected and Export
//                              Results on the rows found; then, with the box emptied, presses in turn Select
//                              All, Delete Selected on scattered blocks of rows, Delete Selected
//                              on half the rows, and Export Results; and Send to Suggest of every
//                              row, with a Suggest page beside it as in the window
// Goals: no stand-still over 100 ms at a million rows; the rows found show within 100 ms of the
// last key. The page saves the table in a temporary
// data folder after each deletion, as the window does.
#include "StallMeter.h"
#include "net/PageFetch.h"
#include "suggest/SuggestFiles.h"
#include "suggest/SuggestHarvester.h"
#include "suggest/SuggestTableModel.h"
#include "suggest/ui/SuggestPage.h"
#include "trends/HotTrendsMonitor.h"
#include "trends/TrendFiles.h"
#include "trends/TrendTableModel.h"
#include "trends/ui/HotTrendsPage.h"
#include "util/Clock.h"
#include "util/DataFileStore.h"
#include "util/DetachedTask.h"
#include "util/MessageBoxes.h"
#include "util/RandomSource.h"
#include "util/RowFilterModel.h"
#include "util/ui/DialogSeams.h"
#include "util/ui/PageSeams.h"
#include "util/ui/TableExporter.h"

#include <QApplication>
#include <QFileInfo>
#include <QItemSelectionModel>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QThreadPool>

#include <algorithm>
#include <cstdio>
#include <functional>

namespace {

// Every box answered OK, the export's file named in advance, no other dialog.
class AnswerOk final : public MessageBoxes {
public:
    MsgAnswer show(const QString&, MsgKind, MsgButtons) override { return MsgAnswer::Ok; }
};

class ExportTo final : public SaveDialog {
public:
    explicit ExportTo(QString path)
        : m_path(std::move(path))
    {
    }
    SaveAnswer ask(const QString&, const QStringList&, const QString&) override { return {m_path}; }

private:
    QString m_path;
};

class NoDialogs final : public ModalDialogs {
public:
    int run(QDialog&) override { return 0; }
};

class WallClock final : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

class NoRandom final : public RandomSource {
public:
    int bounded(int) override { return 0; }
};

// Runs `action` with the timer ticking until `done()` holds, and prints what the window's thread
// spent in the click and the longest it stood still.
double measure(const char* name, const std::function<void()>& action, const std::function<bool()>& done)
{
    QThreadPool::globalInstance()->waitForDone();
    const StallMeter stalls;
    action();
    const double click = stalls.elapsedMs();
    // The view repaints, the save and the export go on: until they are done and the loop has come
    // round a few times.
    while (!done() || QThreadPool::globalInstance()->activeThreadCount() > 0)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    for (int turn = 0; turn < 5; ++turn)
        QCoreApplication::processEvents(QEventLoop::AllEvents, StallMeter::TickMs * 2);
    std::printf("%-44s click %7.1f ms, done after %7.1f ms, longest stand-still %6.1f ms\n", name, click,
                stalls.elapsedMs(), stalls.longestMs());
    return stalls.longestMs();
}

} // namespace

int main(int argc, char** argv)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    qputenv("QUILLORY_HOME", home.path().toUtf8());
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 2) {
        std::fprintf(stderr, "usage: page_actions_bench FILE\n");
        return 2;
    }

    AnswerOk messages;
    const QString exported = home.filePath(QStringLiteral("export.csv"));
    ExportTo saveDialog(exported);
    NoDialogs dialogs;
    WallClock clock;
    TrendTableModel table;
    HotTrendsMonitor monitor(
        table, [](QString, FetchStyle) -> QCoro::Task<PageFetch> { co_return PageFetch{}; }, clock);
    HotTrendsPage page(table, monitor, PageSeams{messages, saveDialog, dialogs});
    table.setRows(ReadTrendTable(args[1]).rows);
    page.resize(800, 600);
    page.show();
    // The Suggest page beside it: the window turns to it once the keywords are in.
    SuggestTableModel suggestTable;
    DataFileStore suggestFile(SuggestTableFileName, DataFileStore::Snapshot([&suggestTable] {
                                  return DataFileStore::Job(
                                      [rows = suggestTable.records()](const QString& path) {
                                          return WriteSuggestTable(path, rows);
                                      });
                              }));
    NoRandom random;
    SuggestHarvester harvester(
        suggestTable, suggestFile,
        [](QString, FetchStyle) -> QCoro::Task<PageFetch> { co_return PageFetch{}; }, random);
    SuggestPage suggestPage(suggestTable, suggestFile, harvester, PageSeams{messages, saveDialog, dialogs});
    suggestPage.resize(page.size());
    const auto sendToSuggest = [&](QStringList keywords) -> QCoro::Task<> {
        if (co_await suggestPage.takePhrases(std::move(keywords))) {
            page.hide();
            suggestPage.show();
        }
    };
    QObject::connect(&page, &HotTrendsPage::sendToSuggest, &suggestPage, [&](const QStringList& keywords) {
        RunDetached(QStringLiteral("send"), sendToSuggest(keywords));
    });
    auto* list = page.findChild<QTableView*>();
    const int rows = table.rowCount();
    std::printf("rows %d\n", rows);

    double worst = 0;
    const auto always = [] { return true; };

    // The find box, typed into as a quick typist does; what counts is the answer to the last key.
    auto* box = page.findChild<QLineEdit*>(QStringLiteral("lvwItemsFind"));
    const auto* filter = qobject_cast<const RowFilterModel*>(list->model());
    const auto found = [filter] { return !filter->isSearching(); };
    // A quick typist's pause between two keys (emptying the box counts as a key).
    const auto keyPause = [] {
        QElapsedTimer typing;
        typing.start();
        while (typing.elapsed() < 150)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    };
    // Typed: each key narrows the rows of the key before. Pasted: the whole table is searched.
    for (const QString& needle :
         {QStringLiteral("zoe"), QStringLiteral("e"), QStringLiteral("münchen wetter"),
          QStringLiteral("no such text"), QStringLiteral("tay")}) {
        box->clear();
        keyPause();
        for (const QChar key : needle.chopped(1)) {
            box->insert(key);
            keyPause();
        }
        const QByteArray typed = "Find \"" + needle.toUtf8() + "\" typed, last key";
        worst = std::max(worst, measure(
                                    typed.constData(), [&] { box->insert(needle.back()); }, found));
        std::printf("    %d of %d rows shown\n", filter->rowCount(), table.rowCount());
        box->clear();
        keyPause();
        const QByteArray pasted = "Find \"" + needle.toUtf8() + "\" pasted";
        worst = std::max(worst, measure(
                                    pasted.constData(), [&] { box->setText(needle); }, found));
    }
    auto* exporter = page.findChild<TableExporter*>();
    const auto exportDone = [exporter] { return !exporter->isRunning(); };
    worst = std::max(worst, measure(
                                "Select All of the rows found", [&] { page.btnSelectAllClick(); }, always));
    worst =
        std::max(worst, measure(
                            "Export Results of the rows found",
                            [&] { page.findChild<QPushButton*>(QStringLiteral("bsSkinButton3"))->click(); },
                            exportDone));
    std::printf("    export %.1f MB\n", QFileInfo(exported).size() / 1e6);
    worst = std::max(worst, measure(
                                "Delete Selected of the rows found", [&] { page.btnDeleteClick(); }, always));
    worst = std::max(worst, measure(
                                "Find box emptied", [&] { box->clear(); }, found));
    worst = std::max(worst, measure(
                                "Select All", [&] { page.btnSelectAllClick(); }, always));
    worst = std::max(worst, measure(
                                "Send to Suggest of every row",
                                [&] { RunDetached(QStringLiteral("click"), page.btnSendToSuggestClick()); },
                                [&] { return suggestPage.isVisible(); }));
    std::printf("    %d phrases on the Suggest page\n", suggestTable.rowCount());
    suggestPage.hide();
    page.show();
    page.btnSelectAllClick();
    worst =
        std::max(worst, measure(
                            "Delete Selected, 100 scattered blocks",
                            [&] {
                                QItemSelection blocks;
                                for (int block = 0; block < 100; ++block) {
                                    const int first = block * (table.rowCount() / 100);
                                    blocks.select(list->model()->index(first, 0),
                                                  list->model()->index(first + 999, 2));
                                }
                                list->selectionModel()->select(blocks, QItemSelectionModel::ClearAndSelect);
                                page.btnDeleteClick();
                            },
                            always));
    worst = std::max(worst, measure(
                                "Delete Selected, the first half",
                                [&] {
                                    list->selectionModel()->select(
                                        QItemSelection(list->model()->index(0, 0),
                                                       list->model()->index(table.rowCount() / 2, 2)),
                                        QItemSelectionModel::ClearAndSelect);
                                    page.btnDeleteClick();
                                },
                                always));
    worst =
        std::max(worst, measure(
                            "Export Results",
                            [&] { page.findChild<QPushButton*>(QStringLiteral("bsSkinButton3"))->click(); },
                            exportDone));
    std::printf("table now %d rows, export %.1f MB; longest stand-still %.1f ms (goal < 100 ms)\n",
                table.rowCount(), QFileInfo(exported).size() / 1e6, worst);
    return 0;
}
