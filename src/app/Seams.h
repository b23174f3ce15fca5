#pragma once

#include "util/Clock.h"
#include "util/Launcher.h"
#include "util/MessageBoxes.h"
#include "util/RandomSource.h"
#include "util/ui/DialogSeams.h"

#include <QString>

#include <chrono>
#include <functional>
#include <memory>

// What the main window must not do for real in a test: modal boxes and dialogs, reading the clock,
// drawing random numbers, starting programs, asking for the tray. The program gets the Qt versions
// (SystemSeams.cpp); tests get recording fakes with scripted answers.

class TrayAvailability {
public:
    virtual ~TrayAvailability() = default;
    virtual bool isAvailable() const = 0;
};

// How long the window's timers wait; a test shortens the one it waits for.
struct TimerIntervals {
    // Timer1: from start-up (or leaving the welcome page) to the news and update check.
    std::chrono::milliseconds newsCheck{2000};
    // tmr: how often the Hot Trends monitor is asked whether its hour has passed.
    std::chrono::milliseconds monitorTick{5000};
    // From a harvested row to the save of the Suggest table.
    std::chrono::milliseconds harvestSave{2000};
};

struct Seams {
    std::unique_ptr<MessageBoxes> messages;
    std::unique_ptr<SaveDialog> saveDialog;
    std::unique_ptr<ModalDialogs> dialogs;
    std::unique_ptr<Clock> clock;
    std::unique_ptr<RandomSource> random;
    std::unique_ptr<Launcher> launcher;
    std::unique_ptr<TrayAvailability> tray;
    TimerIntervals intervals;
    // Runs on the worker thread before a table file is read at the start (none in the program): a
    // test holds a load there to see the window while the table is not there yet.
    std::function<void(const QString& fileName)> tableReadGate;

    // The real ones.
    static Seams system();
};
