#pragma once

#include <QLockFile>
#include <QString>

// One program per data folder: a lock file in the folder, held for as long as this object lives,
// so that two programs never overwrite each other's files. The lock of a program that has died
// is taken over.
class FolderLock {
public:
    static inline const QString FileName = QStringLiteral("quillory.lock");

    enum class Outcome {
        Locked,        // this program holds the folder
        HeldByAnother, // a running program holds it
        Unavailable,   // no lock can be made there (a read-only folder): see error()
    };

    explicit FolderLock(const QString& folder);

    Outcome outcome() const { return m_outcome; }
    QString error() const { return m_error; }

private:
    QLockFile m_lock;
    Outcome m_outcome = Outcome::Unavailable;
    QString m_error;
};
