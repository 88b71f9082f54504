#pragma once

#include <QList>
#include <QPair>
#include <QString>

namespace kvx {

// The files waiting to go out with the next exchange mail, in the order the export runs
// saved them. Each is known by a key "1", "2", … that the mail uses as its document id.
class AttachmentQueue {
public:
    // Appends the path; returns its key, the decimal text of the number of queued paths.
    QString QueueMailAttachment(const QString& path);

    bool isEmpty() const { return m_paths.isEmpty(); }
    int size() const { return int(m_paths.size()); }
    QStringList paths() const { return m_paths; }
    // (key, path) in queue order.
    QList<QPair<QString, QString>> entries() const;
    // A mail has gone out with the first `count` queued files.
    void removeFirst(int count) { m_paths.remove(0, qBound(0, count, int(m_paths.size()))); }

private:
    QStringList m_paths;
};

} // namespace kvx
