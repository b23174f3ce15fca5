#pragma once

#include <QString>
#include <QStringList>

class QDialog;

// What the user chose in the save-file dialog: the path (empty when they cancelled) and which of
// the offered choices was selected (0, the first, unless they picked another).
struct SaveAnswer {
    QString path;
    int choice = 0;
};

// The save-file dialog. Each choice is a "description|masks" text ("Comma delimitted(*.csv)|*.csv");
// the first is selected when the dialog opens.
class SaveDialog {
public:
    virtual ~SaveDialog() = default;
    virtual SaveAnswer ask(const QString& title, const QStringList& choices, const QString& folder) = 0;
};

// Runs a modal window (the add-keywords dialog, the about box, the news window) and gives its
// result. Tests answer from a script instead, working the dialog's own controls.
class ModalDialogs {
public:
    virtual ~ModalDialogs() = default;
    virtual int run(QDialog& dialog) = 0;
};
