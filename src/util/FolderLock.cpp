#include "util/FolderLock.h"

#include <QDir>

FolderLock::FolderLock(const QString& folder)
    : m_lock(QDir(folder).filePath(FileName))
{
    // A lock is stale only when its program is gone, however old it is.
    m_lock.setStaleLockTime(0);
    if (m_lock.tryLock(0)) {
        m_outcome = Outcome::Locked;
        return;
    }
    switch (m_lock.error()) {
    case QLockFile::LockFailedError:
        m_outcome = Outcome::HeldByAnother;
        break;
    case QLockFile::PermissionError:
        m_error = QStringLiteral("the folder cannot be written");
        break;
    case QLockFile::NoError:
    case QLockFile::UnknownError:
        m_error = QStringLiteral("the lock file cannot be made");
        break;
    }
}
