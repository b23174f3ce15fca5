#pragma once

#include "util/Clock.h"
#include "util/Launcher.h"
#include "util/MessageBoxes.h"
#include "util/RandomSource.h"

#include <QString>

#include <memory>

class QDialog;

// What the main window must not do for real in a test: modal boxes and dialogs, reading the clock,
// drawing random numbers, starting programs, asking for the tray. The program gets the Qt versions
// (SystemSeams.cpp); tests get recording fakes with scripted answers.

// The save-file dialog: the chosen path, or an empty text when the user cancels.
class SaveDialog {
public:
    virtual ~SaveDialog() = default;
    virtual QString ask(const QString& title, const QString& filter, const QString& folder) = 0;
};

// Runs a modal window (the add-keywords dialog, the about box, the news window) and gives its
// result. Tests answer from a script instead, working the dialog's own controls.
class ModalDialogs {
public:
    virtual ~ModalDialogs() = default;
    virtual int run(QDialog& dialog) = 0;
};

class TrayAvailability {
public:
    virtual ~TrayAvailability() = default;
    virtual bool isAvailable() const = 0;
};

struct Seams {
    std::unique_ptr<MessageBoxes> messages;
    std::unique_ptr<SaveDialog> saveDialog;
    std::unique_ptr<ModalDialogs> dialogs;
    std::unique_ptr<Clock> clock;
    std::unique_ptr<RandomSource> random;
    std::unique_ptr<Launcher> launcher;
    std::unique_ptr<TrayAvailability> tray;

    // The real ones.
    static Seams system();
};
