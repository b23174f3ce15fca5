#include "app/Seams.h"

#include "publisher/WindowHelpers.h"

#include <QApplication>
#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>
#include <QProcess>
#include <QRandomGenerator>
#include <QSystemTrayIcon>

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
        CentredMessageBox box(warning ? QMessageBox::Warning : QMessageBox::Information,
                              warning ? QStringLiteral("Warning") : QStringLiteral("Information"), text,
                              buttons == MsgButtons::OkCancel ? QMessageBox::Ok | QMessageBox::Cancel
                                                              : QMessageBox::Ok,
                              QApplication::activeWindow());
        box.setDefaultButton(QMessageBox::Ok);
        if (buttons == MsgButtons::OkCancel)
            box.setEscapeButton(QMessageBox::Cancel);
        return box.exec() == QMessageBox::Ok ? MsgAnswer::Ok : MsgAnswer::Cancel;
    }
};

class SystemSaveDialog final : public SaveDialog {
public:
    QString ask(const QString& title, const QString& filter, const QString& folder) override
    {
        // The filter comes as description|mask pairs; Qt wants "description (mask)" lines.
        const QStringList parts = filter.split(u'|');
        QStringList filters;
        for (qsizetype i = 0; i + 1 < parts.size(); i += 2)
            filters << parts[i] + QStringLiteral(" (") + parts[i + 1] + u')';
        return QFileDialog::getSaveFileName(QApplication::activeWindow(), title, folder,
                                            filters.join(QStringLiteral(";;")));
    }
};

class SystemDialogs final : public ModalDialogs {
public:
    int run(QDialog& dialog) override { return dialog.exec(); }
};

class SystemClock final : public Clock {
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

class SystemRandom final : public RandomSource {
public:
    int bounded(int bound) override { return int(QRandomGenerator::global()->bounded(bound)); }
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
    return seams;
}
