#include "support/FailingFolder.h"

#include <QDir>
#include <QFile>
#include <QProcess>

#include <unistd.h>

namespace {

const QString FillerName = QStringLiteral(".filler");

// Runs a mount command; an empty string on success, else what it said.
QString run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForFinished(10000))
        return program + QStringLiteral(" did not finish");
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return QString::fromLocal8Bit(process.readAllStandardError()).trimmed();
    return {};
}

} // namespace

FailingFolder::FailingFolder(const QString& path, Kind kind)
    : m_path(QDir(path).absolutePath())
    , m_kind(kind)
{
    if (::geteuid() != 0) {
        if (kind == Kind::Full)
            m_error = QStringLiteral("a full disk is made with a mount, which needs root");
        else if (!QFile::setPermissions(m_path, QFile::ReadOwner | QFile::ExeOwner))
            m_error = QStringLiteral("cannot make the folder read-only");
        return;
    }
    if (kind == Kind::Full) {
        m_error =
            run(QStringLiteral("mount"), {QStringLiteral("-t"), QStringLiteral("tmpfs"), QStringLiteral("-o"),
                                          QStringLiteral("size=512k"), QStringLiteral("tmpfs"), m_path});
    } else {
        m_error = run(QStringLiteral("mount"), {QStringLiteral("--bind"), m_path, m_path});
        if (m_error.isEmpty()) {
            m_mounted = true;
            m_error = run(QStringLiteral("mount"),
                          {QStringLiteral("-o"), QStringLiteral("remount,ro,bind"), m_path});
        }
    }
    m_mounted = m_mounted || m_error.isEmpty();
}

FailingFolder::~FailingFolder()
{
    if (m_mounted)
        run(QStringLiteral("umount"), {QStringLiteral("--lazy"), m_path});
    else if (::geteuid() != 0)
        QFile::setPermissions(m_path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
}

void FailingFolder::fillUp()
{
    QFile filler(QDir(m_path).filePath(FillerName));
    if (!filler.open(QIODevice::WriteOnly | QIODevice::Unbuffered))
        return;
    const QByteArray block(4096, 'x');
    while (filler.write(block) > 0) {
    }
}

void FailingFolder::release()
{
    if (!m_mounted) {
        if (::geteuid() != 0)
            QFile::setPermissions(m_path, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        return;
    }
    if (m_kind == Kind::Full) {
        // The data stays readable for the test; only the space comes back.
        QFile::remove(QDir(m_path).filePath(FillerName));
        return;
    }
    run(QStringLiteral("umount"), {QStringLiteral("--lazy"), m_path});
    m_mounted = false;
}
