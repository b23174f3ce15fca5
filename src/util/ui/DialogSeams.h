#pragma once

#include <QString>

class QDialog;

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
