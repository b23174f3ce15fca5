#pragma once

#include <QApplication>

// The application object. Any exception that an event handler lets through ends here and goes to
// the crash reporter instead of ending the program.
class QuilloryApplication final : public QApplication {
    Q_OBJECT

public:
    using QApplication::QApplication;

    bool notify(QObject* receiver, QEvent* event) override;
};
