#include "platform/mail/mail_config.h"

#include <QDir>
#include <QMap>
#include <QUrl>

namespace kvx {

namespace {

QString invalid(const QString& detail) {
    return QStringLiteral("邮件设置不正确：") + detail;
}

// "host", "host:port" or "[v6 address]:port".
bool splitHost(const QString& text, QString* host, int* port) {
    QString rest = text;
    if (rest.startsWith(QLatin1Char('['))) {
        const qsizetype end = rest.indexOf(QLatin1Char(']'));
        if (end < 0)
            return false;
        *host = rest.mid(1, end - 1);
        rest = rest.mid(end + 1);
        if (!rest.isEmpty() && !rest.startsWith(QLatin1Char(':')))
            return false;
        rest = rest.mid(1);
    } else {
        const qsizetype colon = rest.lastIndexOf(QLatin1Char(':'));
        *host = colon < 0 ? rest : rest.left(colon);
        rest = colon < 0 ? QString() : rest.mid(colon + 1);
    }
    *port = 0;
    if (!rest.isEmpty()) {
        bool ok = false;
        *port = rest.toInt(&ok);
        if (!ok || *port <= 0 || *port > 65535)
            return false;
    }
    return !host->isEmpty();
}

bool parseDropFolders(QMap<QString, QString>& values, MailConfig* config, QString* error) {
    config->outbox = values.take(QStringLiteral("outbox"));
    config->inbox = values.take(QStringLiteral("inbox"));
    for (const QString* folder : {&config->outbox, &config->inbox}) {
        if (folder->isEmpty() || QDir::isRelativePath(*folder)) {
            *error = invalid(QStringLiteral("outbox 和 inbox 须为完整的目录路径"));
            return false;
        }
    }
    config->kind = MailConfig::Kind::DropFolder;
    return true;
}

bool parseInternetMail(QMap<QString, QString>& values, MailConfig* config, QString* error) {
    const QString tls = values.take(QStringLiteral("tls")).toLower();
    if (tls == QLatin1String("ssl"))
        config->tls = MailConfig::Tls::Implicit;
    else if (tls == QLatin1String("none"))
        config->tls = MailConfig::Tls::None;
    else if (!tls.isEmpty() && tls != QLatin1String("starttls")) {
        *error = invalid(QStringLiteral("tls 只能是 ssl、starttls 或 none"));
        return false;
    }
    const bool implicit = config->tls == MailConfig::Tls::Implicit;
    const bool plain = config->tls == MailConfig::Tls::None;
    if (!splitHost(values.take(QStringLiteral("smtp")), &config->smtpHost, &config->smtpPort) ||
        !splitHost(values.take(QStringLiteral("imap")), &config->imapHost, &config->imapPort)) {
        *error = invalid(QStringLiteral("smtp 和 imap 须为“主机”或“主机:端口”"));
        return false;
    }
    if (config->smtpPort == 0)
        config->smtpPort = implicit ? 465 : plain ? 25 : 587;
    if (config->imapPort == 0)
        config->imapPort = implicit ? 993 : 143;
    config->user = values.take(QStringLiteral("user"));
    config->passwordGiven = values.contains(QStringLiteral("password"));
    config->password = values.take(QStringLiteral("password"));
    config->from = values.take(QStringLiteral("from"));
    config->to = values.take(QStringLiteral("to")).split(QLatin1Char(','), Qt::SkipEmptyParts);
    for (QString& address : config->to)
        address = address.trimmed();
    config->to.removeAll(QString());
    if (config->from.isEmpty() || config->to.isEmpty()) {
        *error = invalid(QStringLiteral("须给出发件地址 from 和收件地址 to"));
        return false;
    }
    const QString mailbox = values.take(QStringLiteral("mailbox"));
    if (!mailbox.isEmpty())
        config->mailbox = mailbox;
    config->caCertificates = values.take(QStringLiteral("cacert"));
    if (values.contains(QStringLiteral("maxsize"))) {
        bool ok = false;
        const int megabytes = values.take(QStringLiteral("maxsize")).toInt(&ok);
        if (!ok || megabytes <= 0) {
            *error = invalid(QStringLiteral("maxsize 须为正整数（兆字节）"));
            return false;
        }
        config->maxMessageBytes = qint64(megabytes) * 1024 * 1024;
    }
    config->kind = MailConfig::Kind::InternetMail;
    return true;
}

} // namespace

MailConfig MailConfig::parse(const QString& text, QString* error) {
    MailConfig config;
    error->clear();
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty())
        return config;
    const qsizetype colon = trimmed.indexOf(QLatin1Char(':'));
    const QString scheme = trimmed.left(colon).trimmed().toLower();

    QMap<QString, QString> values;
    for (const QString& item : trimmed.mid(colon + 1).split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const qsizetype equals = item.indexOf(QLatin1Char('='));
        const QString key = item.left(equals).trimmed().toLower();
        if (equals < 0 || key.isEmpty()) {
            *error = invalid(QStringLiteral("“%1”不是“名称=值”").arg(item.trimmed()));
            return config;
        }
        values.insert(key, QUrl::fromPercentEncoding(item.mid(equals + 1).trimmed().toUtf8()));
    }

    bool ok = false;
    if (colon > 0 && scheme == QLatin1String("dir"))
        ok = parseDropFolders(values, &config, error);
    else if (colon > 0 && scheme == QLatin1String("mail"))
        ok = parseInternetMail(values, &config, error);
    else
        *error = invalid(QStringLiteral("须以 dir: 或 mail: 开头"));
    if (ok && !values.isEmpty()) {
        *error = invalid(QStringLiteral("不认识的设置项 %1").arg(values.firstKey()));
        ok = false;
    }
    if (!ok)
        config = MailConfig();
    return config;
}

} // namespace kvx
