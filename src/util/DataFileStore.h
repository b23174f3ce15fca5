#pragma once

#include "util/TextFile.h"

#include <QFileInfo>
#include <QObject>

#include <functional>
#include <optional>

// One data file of the program folder. It is written whole through its writer; a file whose last
// write failed stays marked unsaved until a write succeeds, and a file that was there at the start
// but could not be read is never written over, so that nothing in it is lost. Failures are told in
// words that name the file; whoever shows them to the user listens to the signals.
class DataFileStore final : public QObject {
    Q_OBJECT

public:
    // Writes the file at `path`; an empty text on success, else the reason.
    using Writer = std::function<QString(const QString& path)>;

    DataFileStore(QString fileName, Writer writer, QObject* parent = nullptr);

    const QString& fileName() const { return m_fileName; }
    QString path() const;
    bool isUnsaved() const { return m_unsaved; }
    bool isUnreadable() const { return m_unreadable; }

    // The rows of the file through `read`; nothing when there is no file. A file that is there but
    // cannot be read gives what could be read, is kept as it is from then on, and readFailed says so.
    template <typename Rows> std::optional<Rows> load(TableRead<Rows> (*read)(const QString& path))
    {
        const QString file = path();
        if (!QFileInfo::exists(file))
            return std::nullopt;
        TableRead<Rows> result = read(file);
        if (!result.error.isEmpty())
            markUnreadable(result.error);
        return std::move(result.rows);
    }

    // Writes the file: an empty text, or what failed, naming the file. A failure leaves it unsaved.
    [[nodiscard]] QString write();
    // Writes the file; a failure is told by saveFailed.
    void save();

Q_SIGNALS:
    // The file is about to be written: a write planned for later is no longer needed.
    void writing();
    // `what` names the file and the reason; `again` when its previous write had failed as well.
    void saveFailed(const QString& what, bool again);
    void readFailed(const QString& what);

private:
    void markUnreadable(const QString& reason);

    QString m_fileName;
    Writer m_writer;
    bool m_unsaved = false;
    bool m_unreadable = false;
};
