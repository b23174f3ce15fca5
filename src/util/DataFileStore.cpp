#include "util/DataFileStore.h"

#include "util/ProgramFolder.h"

DataFileStore::DataFileStore(QString fileName, Writer writer, QObject* parent)
    : QObject(parent)
    , m_fileName(std::move(fileName))
    , m_writer(std::move(writer))
{
}

QString DataFileStore::path() const
{
    return ProgramFile(m_fileName);
}

void DataFileStore::markUnreadable(const QString& reason)
{
    m_unreadable = true;
    Q_EMIT readFailed(QStringLiteral("Could not read \"%1\": %2. Quillory leaves the file as it is.")
                          .arg(m_fileName, reason));
}

QString DataFileStore::write()
{
    QString error;
    if (m_unreadable) {
        error = QStringLiteral("it could not be read at the start, so it is kept as it was");
    } else {
        Q_EMIT writing();
        error = m_writer(path());
    }
    m_unsaved = !error.isEmpty();
    return m_unsaved ? WriteErrorText(path(), error) : QString();
}

void DataFileStore::save()
{
    const bool failedBefore = m_unsaved;
    const QString what = write();
    if (!what.isEmpty())
        Q_EMIT saveFailed(what, failedBefore);
}
