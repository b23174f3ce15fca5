#include "util/TerminationSignals.h"

#include <QSocketNotifier>

#ifdef Q_OS_UNIX
#include <csignal>
#include <sys/socket.h>
#include <unistd.h>
#endif

namespace {

int signalPipe[2] = {-1, -1};

#ifdef Q_OS_UNIX
void onSignal(int number)
{
    const char byte = char(number);
    [[maybe_unused]] const auto written = ::write(signalPipe[1], &byte, 1);
}
#endif

} // namespace

bool TerminationSignals::install()
{
#ifdef Q_OS_UNIX
    if (::socketpair(AF_UNIX, SOCK_STREAM, 0, signalPipe) != 0)
        return false;
    struct sigaction action = {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int number : {SIGTERM, SIGINT, SIGHUP}) {
        if (::sigaction(number, &action, nullptr) != 0)
            return false;
    }
    return true;
#else
    return false;
#endif
}

TerminationSignals::TerminationSignals(QObject* parent)
    : QObject(parent)
{
    if (signalPipe[0] < 0)
        return;
    m_notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, this);
    connect(m_notifier, &QSocketNotifier::activated, this, &TerminationSignals::readSignal);
}

void TerminationSignals::readSignal()
{
#ifdef Q_OS_UNIX
    char byte = 0;
    if (::read(signalPipe[0], &byte, 1) == 1)
        Q_EMIT terminationRequested(int(byte));
#endif
}
