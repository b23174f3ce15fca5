#include "StandardOutput.h"

#include "Cli.h"

#include <QSocketNotifier>

#include <algorithm>
#include <cerrno>
#include <cstring>

#ifdef _WIN32
#include <io.h>
#else
#include <poll.h>
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace {

constexpr qsizetype GatheredSize = 64 * 1024;

// Writes all of `bytes` to file descriptor 1; 0, else the system's error number.
int writeAll(QByteArrayView bytes)
{
    while (!bytes.isEmpty()) {
#ifdef _WIN32
        const int written = _write(1, bytes.data(), unsigned(std::min<qsizetype>(bytes.size(), 1 << 30)));
#else
        const ssize_t written = ::write(STDOUT_FILENO, bytes.data(), size_t(bytes.size()));
#endif
        if (written >= 0) {
            bytes = bytes.sliced(written);
            continue;
        }
        if (errno == EINTR)
            continue;
#ifndef _WIN32
        // A descriptor left non-blocking by whoever started us: wait until the reader takes more,
        // as a blocking write would.
        if (errno == EAGAIN || errno == EWOULDBLOCK) {
            pollfd writable{STDOUT_FILENO, POLLOUT, 0};
            ::poll(&writable, 1, -1);
            continue;
        }
#endif
        return errno;
    }
    return 0;
}

} // namespace

StandardOutput& StandardOutput::instance()
{
    static StandardOutput output;
    return output;
}

StandardOutput::StandardOutput()
{
    open(QIODevice::WriteOnly | QIODevice::Unbuffered);
}

qint64 StandardOutput::readData(char*, qint64)
{
    return -1;
}

qint64 StandardOutput::writeData(const char* data, qint64 size)
{
    if (failed())
        return -1;
    m_gathered.append(data, qsizetype(size));
    if (m_gathered.size() >= GatheredSize && !flush())
        return -1;
    return size;
}

bool StandardOutput::flush()
{
    if (!failed() && !m_gathered.isEmpty()) {
        if (const int error = writeAll(m_gathered))
            setFailure(error);
    }
    m_gathered.clear();
    return !failed();
}

bool StandardOutput::readerGone() const
{
    return m_error == EPIPE;
}

void StandardOutput::setFailure(int error)
{
    m_error = error;
    setErrorString(QString::fromLocal8Bit(std::strerror(error)));
}

void StandardOutput::whenReaderGone(QObject* context, std::function<void()> gone)
{
#ifndef _WIN32
    // The write end of a pipe whose reader closed it reports an error condition to poll(), which
    // wakes an exception notifier; other outputs (a file, a terminal) never do.
    struct stat status {};
    if (::fstat(STDOUT_FILENO, &status) != 0 || !(S_ISFIFO(status.st_mode) || S_ISSOCK(status.st_mode)))
        return;
    auto* notifier = new QSocketNotifier(STDOUT_FILENO, QSocketNotifier::Exception, context);
    QObject::connect(notifier, &QSocketNotifier::activated, context,
                     [this, notifier, gone = std::move(gone)] {
                         notifier->setEnabled(false);
                         if (!failed())
                             setFailure(EPIPE);
                         gone();
                     });
#else
    Q_UNUSED(context);
    Q_UNUSED(gone);
#endif
}

int EndOutput(int status)
{
    StandardOutput& output = StandardOutput::instance();
    if (output.flush())
        return status;
    if (!output.readerGone())
        print(stderr, QStringLiteral("quillory-cli: standard output could not be written: %1\n")
                          .arg(output.errorString())
                          .toUtf8());
    return status == Success ? Failure : status;
}
