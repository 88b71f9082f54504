#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

namespace kvx {

// The MIME form of an exchange mail: a short text and the database file as an attachment.
namespace MimeMessage {

struct Attachment {
    QString name;
    QByteArray content;
};

// The message with CR LF line ends, ready for SMTP.
QByteArray compose(const QString& from, const QStringList& to, const QString& subject,
                   const QString& text, const Attachment& attachment);

// The subject of a message's header lines, decoded ("=?utf-8?…?=" words, folded lines).
QString subject(const QByteArray& header);

enum class Extracted { Written, NoAttachment, Failed };
// Reads the message file as it stands on disk and writes the first part that has a file name
// to `attachmentPath`, decoded, without holding either in memory.
Extracted extractAttachment(const QString& messagePath, const QString& attachmentPath,
                            QString* error);

} // namespace MimeMessage

} // namespace kvx
