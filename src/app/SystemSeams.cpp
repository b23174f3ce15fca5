#include "app/Seams.h"

#include "util/ui/WindowHelpers.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QProcess>
#include <QSystemTrayIcon>

#include <algorithm>

namespace {

// A message box that centres itself once it has its final size: the box settles its size only as
// it is shown, so a box placed before that opens off centre.
class CentredMessageBox final : public QMessageBox {
public:
    using QMessageBox::QMessageBox;

protected:
    void showEvent(QShowEvent* event) override
    {
        QMessageBox::showEvent(event);
        CentreOnScreen(*this);
    }
};

class SystemMessageBoxes final : public MessageBoxes {
public:
    MsgAnswer show(const QString& text, MsgKind kind, MsgButtons buttons) override
    {
        const bool warning = kind == MsgKind::Warning;
        const QMessageBox::StandardButton yes =
            buttons == MsgButtons::YesNo ? QMessageBox::Yes : QMessageBox::Ok;
        const QMessageBox::StandardButton no =
            buttons == MsgButtons::YesNo ? QMessageBox::No : QMessageBox::Cancel;
        CentredMessageBox box(warning ? QMessageBox::Warning : QMessageBox::Information,
                              warning ? QStringLiteral("Warning") : QStringLiteral("Information"), text,
                              buttons == MsgButtons::Ok ? yes : yes | no, QApplication::activeWindow());
        box.setDefaultButton(yes);
        // What a box says can be copied: an address that could not be opened, a file's path.
        box.setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
        if (buttons != MsgButtons::Ok)
            box.setEscapeButton(no);
        return box.exec() == yes ? MsgAnswer::Ok : MsgAnswer::Cancel;
    }
};

// One filter of the dialog from a description and its masks (separated by ";"). Qt reads the masks
// from the parentheses at the end of the text it shows; a description that already ends with them
// ("Comma delimitted(*.csv)") is shown as it is, so the masks do not appear twice.
QString nameFilter(const QString& description, const QString& masks)
{
    const QString spaced = masks.split(u';', Qt::SkipEmptyParts).join(u' ');
    if (description.endsWith(u'(' + spaced + u')'))
        return description;
    return description + QStringLiteral(" (") + spaced + u')';
}

class SystemSaveDialog final : public SaveDialog {
public:
    SaveAnswer ask(const QString& title, const QStringList& choices, const QString& folder) override
    {
        QStringList filters; // each choice comes as description|masks
        for (const QString& choice : choices) {
            const qsizetype bar = choice.indexOf(u'|');
            filters << nameFilter(choice.left(bar), bar < 0 ? QString() : choice.mid(bar + 1));
        }
        // The export decides about an existing file itself (it replaces it without asking, or says
        // why it cannot), and only once the extension of the chosen format has been added.
        QString selected;
        const QString path = QFileDialog::getSaveFileName(QApplication::activeWindow(), title, folder,
                                                          filters.join(QStringLiteral(";;")), &selected,
                                                          QFileDialog::DontConfirmOverwrite);
        return {path, int(std::max<qsizetype>(0, filters.indexOf(selected)))};
    }
};

class SystemDialogs final : public ModalDialogs {
public:
    int run(QDialog& dialog) override { return dialog.exec(); }
};

class SystemLauncher final : public Launcher {
public:
    bool startProgram(const QString& program, const QStringList& arguments) override
    {
        return QProcess::startDetached(program, arguments);
    }
    bool openUrl(const QUrl& url) override { return QDesktopServices::openUrl(url); }
};

class SystemTray final : public TrayAvailability {
public:
    bool isAvailable() const override { return QSystemTrayIcon::isSystemTrayAvailable(); }
};

} // namespace

Seams Seams::system()
{
    Seams seams;
    seams.messages = std::make_unique<SystemMessageBoxes>();
    seams.saveDialog = std::make_unique<SystemSaveDialog>();
    seams.dialogs = std::make_unique<SystemDialogs>();
    seams.clock = std::make_unique<SystemClock>();
    seams.random = std::make_unique<SystemRandom>();
    seams.launcher = std::make_unique<SystemLauncher>();
    seams.tray = std::make_unique<SystemTray>();
    // A test of the whole program asks the monitor sooner than every five seconds.
    bool valid = false;
    const int tick = qEnvironmentVariableIntValue("QUILLORY_MONITOR_TICK_MS", &valid);
    if (valid && tick > 0)
        seams.intervals.monitorTick = std::chrono::milliseconds(tick);
    return seams;
}
