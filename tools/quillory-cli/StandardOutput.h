#pragma once

#include <QByteArray>
#include <QIODevice>

#include <functional>

class QObject;

// The command line's standard output. Written with the system's own write, so that a failed write
// is seen with its reason (a full disk, a pipe whose reader went away) where the C library's
// buffer would hide it; after the first failure nothing more is written. Writes are gathered into
// pieces of some kilobytes until flush().
class StandardOutput final : public QIODevice {
public:
    static StandardOutput& instance();

    bool isSequential() const override { return true; }
    // Writes what is gathered; false once a write has failed.
    bool flush();
    bool failed() const { return m_error != 0; }
    // The failure is a pipe or socket whose reader went away (`head` has read its lines): the
    // command ends quietly then, as the tools of a pipeline do.
    bool readerGone() const;
    // Calls `gone` once, in `context`, when standard output is a pipe or socket whose reader goes
    // away, even while nothing is written (a watch between scrapes).
    void whenReaderGone(QObject* context, std::function<void()> gone);

protected:
    qint64 readData(char* data, qint64 size) override;
    qint64 writeData(const char* data, qint64 size) override;

private:
    StandardOutput();
    void setFailure(int error);

    QByteArray m_gathered;
    int m_error = 0;
};

// The status a command ends with once its output is written out: `status`, or Failure when
// standard output did not take all of it, told in one line on stderr unless its reader went away.
int EndOutput(int status);
