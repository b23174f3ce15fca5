#include "app/FMain.h"
#include "app/QuilloryApplication.h"
#include "app/Skin.h"
#include "app/TerminationSignals.h"
#include "util/ProgramFolder.h"

#include <cstdio>

namespace {

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

} // namespace

int main(int argc, char** argv)
{
    TerminationSignals::install();
    useOffscreenWithoutDisplay();

    QuilloryApplication app(argc, argv);
    QuilloryApplication::setQuitOnLastWindowClosed(false);
    ApplySkin(BuiltInSkin());

    TfrmMain frmMain(Seams::system());
    TerminationSignals signals;
    QObject::connect(&signals, &TerminationSignals::terminationRequested, &frmMain,
                     [&frmMain](int) { frmMain.closeWithoutAsking(); });

    std::fprintf(stderr, "Quillory %s: data folder %s\n", qPrintable(AppVersion),
                 qPrintable(ProgramFolder()));
    frmMain.show();
    return QuilloryApplication::exec();
}
