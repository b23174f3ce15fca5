#pragma once

#include <QObject>

class QSocketNotifier;

// Turns SIGTERM, SIGINT and SIGHUP into a Qt signal delivered on the user-interface thread, so that
// a logout or a kill ends the program in order instead of cutting it off. The handlers are
// installed by install(), which main() calls before anything else; a signal that arrives before
// the object exists is delivered as soon as it does.
class TerminationSignals final : public QObject {
    Q_OBJECT

public:
    static bool install();

    explicit TerminationSignals(QObject* parent = nullptr);

Q_SIGNALS:
    void terminationRequested(int signalNumber);

private:
    void readSignal();

    QSocketNotifier* m_notifier = nullptr;
};
