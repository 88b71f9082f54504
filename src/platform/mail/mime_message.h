#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

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

struct Parsed {
    QString subject;
    std::optional<Attachment> attachment; // the first part with a file name
};

// nullopt when the bytes are not a message.
std::optional<Parsed> parse(const QByteArray& message);

} // namespace MimeMessage

} // namespace kvx
