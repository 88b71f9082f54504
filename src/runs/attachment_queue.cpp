#include "runs/attachment_queue.h"

namespace kvx {

QString AttachmentQueue::QueueMailAttachment(const QString& path) {
    m_paths.append(path);
    return QString::number(m_paths.size());
}

QList<QPair<QString, QString>> AttachmentQueue::entries() const {
    QList<QPair<QString, QString>> result;
    result.reserve(m_paths.size());
    for (qsizetype i = 0; i < m_paths.size(); ++i)
        result.append({QString::number(i + 1), m_paths.at(i)});
    return result;
}

} // namespace kvx
