#pragma once

#include <QString>

// A folder that refuses writes as a real one does: a full disk (a small tmpfs mounted over the
// folder and filled up) or a read-only one (the folder bound over itself read-only, its files still
// there). Mounting needs root; without it a read-only folder falls back to its permissions and a
// full one cannot be made, which `ready()` tells (the test then skips).
class FailingFolder {
public:
    enum class Kind { Full, ReadOnly };

    // Full: the folder is emptied by the mount; lay out its files with `fillUp()` afterwards.
    FailingFolder(const QString& path, Kind kind);
    ~FailingFolder();
    FailingFolder(const FailingFolder&) = delete;
    FailingFolder& operator=(const FailingFolder&) = delete;

    bool ready() const { return m_error.isEmpty(); }
    QString error() const { return m_error; }
    // Takes up the rest of a full folder's space, so that the next write fails.
    void fillUp();
    // The folder writes again (a full one: the filler goes; a read-only one: the mount goes).
    void release();

private:
    QString m_path;
    Kind m_kind;
    bool m_mounted = false;
    QString m_error;
};
