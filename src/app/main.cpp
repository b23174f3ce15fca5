#include "app/FMain.h"
#include "app/QuilloryApplication.h"
#include "app/Skin.h"
#include "util/CrashReporter.h"
#include "util/FolderLock.h"
#include "util/ProgramFolder.h"
#include "util/ProgramOptions.h"
#include "util/TerminationSignals.h"

#include <QElapsedTimer>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

Q_LOGGING_CATEGORY(lcStartup, "quillory.startup", QtWarningMsg)

// Without a display the program still runs, on Qt's offscreen platform, so that the hourly
// monitoring goes on.
void useOffscreenWithoutDisplay()
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_MACOS)
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") && qEnvironmentVariableIsEmpty("DISPLAY") &&
        qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY")) {
        std::fprintf(stderr, "Quillory: no display found; running on Qt's offscreen platform, without a "
                             "window. The hourly monitoring goes on.\n");
        qputenv("QT_QPA_PLATFORM", "offscreen");
    }
#endif
}

// Told on stderr, and in a box where somebody can see one.
void tellAlreadyRunning(const QString& folder)
{
    const QString text = QStringLiteral("Quillory is already running with the data folder %1 "
                                        "(the program, or quillory-cli watch).")
                             .arg(folder);
    std::fprintf(stderr, "Quillory: %s\n", qPrintable(text));
    if (QGuiApplication::platformName() != QLatin1String("offscreen"))
        QMessageBox::warning(nullptr, QStringLiteral("Quillory"), text);
}

// Asked for with QT_LOGGING_RULES="quillory.startup.info=true" (bench/startup.sh): when the
// window first answers, when the tables are in, and the longest the event loop stood still meanwhile;
// and at the end, when the event loop ended (the close's saves done).
void traceStartUp(TfrmMain& window, const QElapsedTimer& sinceStart)
{
    if (!lcStartup().isInfoEnabled())
        return;
    QTimer::singleShot(0, &window, [&sinceStart] {
        qCInfo(lcStartup, "window shown after %lld ms", static_cast<long long>(sinceStart.elapsed()));
    });
    auto* beat = new QTimer(&window);
    beat->setTimerType(Qt::PreciseTimer);
    beat->setInterval(2);
    auto sinceBeat = std::make_shared<QElapsedTimer>();
    auto longest = std::make_shared<qint64>(0);
    QObject::connect(beat, &QTimer::timeout, &window,
                     [sinceBeat, longest] { *longest = std::max(*longest, sinceBeat->restart()); });
    const auto loaded = [beat, sinceBeat, longest, &sinceStart] {
        beat->deleteLater();
        qCInfo(lcStartup, "tables loaded after %lld ms; longest pause of the event loop meanwhile %lld ms",
               static_cast<long long>(sinceStart.elapsed()),
               static_cast<long long>(std::max(*longest, sinceBeat->elapsed())));
    };
    sinceBeat->start();
    if (!window.isLoading()) {
        QTimer::singleShot(0, &window, loaded);
        return;
    }
    beat->start();
    QObject::connect(&window, &TfrmMain::loadingFinished, &window, loaded);
}

} // namespace

int main(int argc, char** argv)
{
    QElapsedTimer sinceStart;
    sinceStart.start();
    TerminationSignals::install();
    useOffscreenWithoutDisplay();

    QuilloryApplication app(argc, argv);
    QuilloryApplication::setQuitOnLastWindowClosed(false);
    // The desktop entry this window belongs to (its icon and name in a Wayland session's switcher).
    QuilloryApplication::setDesktopFileName(QStringLiteral("app.quillory.Quillory"));

    // Signals are heard from the start: a box that the start opens (the folder in use, the loading
    // of the tables) does not keep a logout waiting.
    TerminationSignals signals;
    TfrmMain* window = nullptr;
    bool endedWhileStarting = false;
    QObject::connect(&signals, &TerminationSignals::terminationRequested, &app, [&](int) {
        if (window) {
            window->closeWithoutAsking();
            return;
        }
        // Nothing has changed yet, so nothing needs saving: any open box closes, and no other opens.
        endedWhileStarting = true;
        CrashReporter::setMessageBoxes(nullptr);
        QCoreApplication::exit(0);
    });

    const QString folder = ProgramFolder();
    const FolderLock lock(folder);
    if (lock.outcome() == FolderLock::Outcome::HeldByAnother) {
        tellAlreadyRunning(folder);
        return 1;
    }
    if (lock.outcome() == FolderLock::Outcome::Unavailable)
        std::fprintf(stderr,
                     "Quillory: the data folder %s cannot be locked (%s); going on without the lock.\n",
                     qPrintable(folder), qPrintable(lock.error()));
    // One look on every platform, in the tone of the user's choice from the first box on.
    QuilloryApplication::setStyle(QStringLiteral("Fusion"));
    ApplyBuiltInSkin(ToneOf(ReadProgramOptions(ProgramFile(OptionsFileName)).theme));

    TfrmMain frmMain(Seams::system());
    if (endedWhileStarting)
        return 0;
    window = &frmMain;
    std::fprintf(stderr, "Quillory %s: data folder %s\n", qPrintable(AppVersion), qPrintable(folder));
    frmMain.show();
    traceStartUp(frmMain, sinceStart);
    const int status = QuilloryApplication::exec();
    // The close has written what it had to; from here on the program only lets go of its memory.
    qCInfo(lcStartup, "event loop ended");
    return status;
}
