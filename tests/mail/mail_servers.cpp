#include "mail_servers.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <grp.h>
#include <pwd.h>
#include <unistd.h>

namespace kvx::test {

namespace {

const QString kMailUser = QStringLiteral("nobody");
// The IMAP capabilities each site is told of in place of the server's own ("": those).
const QList<QPair<QString, QString>> kSites = {
    {QStringLiteral("sitea"), QString()},
    {QStringLiteral("siteb"), QString()},
    {QStringLiteral("sitec"), QStringLiteral("MOVE")},
    {QStringLiteral("sited"), QStringLiteral("IMAP4rev1")},
    {QStringLiteral("sitee"), QString()}};

QString password(const QString& site) {
    return QStringLiteral("pw-") + site;
}

int freePort() {
    QTcpServer server;
    return server.listen(QHostAddress::LocalHost, 0) ? server.serverPort() : 0;
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

bool waitForPort(int port, QProcess& process) {
    const QDeadlineTimer deadline(15000);
    while (!deadline.hasExpired() && process.state() == QProcess::Running) {
        QTcpSocket socket;
        socket.connectToHost(QHostAddress::LocalHost, quint16(port));
        if (socket.waitForConnected(200))
            return true;
        QThread::msleep(100);
    }
    return false;
}

void stop(QProcess& process) {
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(10000)) {
        process.kill();
        process.waitForFinished(5000);
    }
}

} // namespace

MailServers::MailServers() = default;

MailServers::~MailServers() {
    stop(m_smtp);
    stop(m_imap);
}

QString MailServers::writeDovecotConfig() {
    const bool root = ::geteuid() == 0;
    // Dovecot runs its login processes as an unprivileged user and never reads mail as root;
    // run by anyone else, every process is that user.
    const passwd* account = ::getpwuid(::geteuid());
    const group* primary = account ? ::getgrgid(account->pw_gid) : nullptr;
    const QString self = QString::fromLocal8Bit(account ? account->pw_name : "root");
    const QString selfGroup = QString::fromLocal8Bit(primary ? primary->gr_name : "root");
    const QString loginUser = root ? QStringLiteral("dovenull") : self;
    const QString mailUser = root ? kMailUser : self;
    const QString mailGroup = root ? QStringLiteral("nogroup") : selfGroup;
    const QString chroot = root ? QString() : QStringLiteral("  chroot =\n");
    const QString config =
        QStringLiteral(
            "base_dir = %1/run\nstate_dir = %1/state\nlog_path = %1/dovecot.log\n"
            "instance_name = kvx-test-%2\nprotocols = imap\nlisten = 127.0.0.1\n"
            "ssl = yes\nssl_cert = <%1/cert.pem\nssl_key = <%1/key.pem\n"
            "disable_plaintext_auth = yes\nauth_mechanisms = plain login\n"
            "default_internal_user = %3\ndefault_internal_group = %8\n"
            "default_login_user = %4\nmail_location = maildir:%1/mail/%n/Maildir\n"
            "passdb {\n  driver = passwd-file\n  args = scheme=PLAIN username_format=%n "
            "%1/users\n}\n"
            "userdb {\n  driver = passwd-file\n  args = username_format=%n %1/users\n}\n"
            "namespace inbox {\n  inbox = yes\n  mailbox 交换 {\n    auto = create\n  }\n  mailbox "
            "Trash {\n    special_use = \\Trash\n"
            "    auto = create\n  }\n}\n"
            "service imap-login {\n%5"
            "  inet_listener imap {\n    address = 127.0.0.1\n    port = %6\n  }\n"
            "  inet_listener imaps {\n    address = 127.0.0.1\n    port = %7\n    ssl = yes\n  "
            "}\n}\n")
            .arg(m_root.path(), QString::number(QCoreApplication::applicationPid()), self,
                 loginUser, chroot, QString::number(m_imapPort), QString::number(m_imapsPort),
                 selfGroup);
    // Users and their mail owner, home and capabilities, in dovecot's passwd-file form.
    const passwd* owner = ::getpwnam(mailUser.toLocal8Bit().constData());
    const group* ownerGroup = ::getgrnam(mailGroup.toLocal8Bit().constData());
    QByteArray users;
    for (const auto& [site, capabilities] : kSites)
        users +=
            QStringLiteral("%1:{PLAIN}%2:%3:%4::%5/mail/%1::%6\n")
                .arg(site, password(site))
                .arg(owner ? owner->pw_uid : ::geteuid())
                .arg(ownerGroup ? ownerGroup->gr_gid : ::getegid())
                .arg(m_root.path(), capabilities.isEmpty()
                                        ? QString()
                                        : QStringLiteral("userdb_imap_capability=") + capabilities)
                .toUtf8();
    writeFile(path("users"), users);
    const QString file = path(QStringLiteral("dovecot.conf"));
    return writeFile(file, config.toUtf8()) ? file : QString();
}

QString MailServers::start() {
    if (!m_root.isValid())
        return QStringLiteral("no temporary folder");
    // The unprivileged server processes must reach the folder.
    QFile::setPermissions(m_root.path(), QFile::permissions(m_root.path()) | QFile::ExeGroup |
                                             QFile::ExeOther | QFile::ReadOther | QFile::ReadGroup);
    QDir(m_root.path()).mkpath(QStringLiteral("run"));
    QDir(m_root.path()).mkpath(QStringLiteral("state"));
    QDir(m_root.path()).mkpath(QStringLiteral("mail"));
    QFile::setPermissions(path(QStringLiteral("mail")), QFileDevice::Permissions(0x7777));

    // The servers' certificate, and one that nothing here trusts.
    for (const QString& name : {QStringLiteral(""), QStringLiteral("untrusted-")}) {
        QProcess openssl;
        openssl.start(QStringLiteral("openssl"),
                      {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "2", "-subj",
                       "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1", "-keyout",
                       path(name + "key.pem"), "-out", path(name + "cert.pem")});
        if (!openssl.waitForFinished(60000) || openssl.exitCode() != 0)
            return QStringLiteral("openssl: ") +
                   QString::fromLocal8Bit(openssl.readAllStandardError());
    }

    m_imapPort = freePort();
    m_imapsPort = freePort();
    const QString config = writeDovecotConfig();
    m_imap.setProcessChannelMode(QProcess::MergedChannels);
    m_imap.start(QStringLiteral("/usr/sbin/dovecot"), {"-F", "-c", config});
    if (!m_imap.waitForStarted() || !waitForPort(m_imapPort, m_imap) ||
        !waitForPort(m_imapsPort, m_imap)) {
        QFile log(path("dovecot.log"));
        log.open(QIODevice::ReadOnly);
        return QStringLiteral("dovecot (%1): ").arg(m_imap.errorString()) +
               QString::fromLocal8Bit(m_imap.readAll() + log.readAll());
    }

    const QString script =
        qEnvironmentVariable("KVX_SOURCE_DIR") + QStringLiteral("/tests/mail/smtp_server.py");
    m_smtp.start(
        QStringLiteral("/usr/bin/python3"),
        {script, path("mail"), path("users"), path("cert.pem"), path("key.pem"), kMailUser});
    const QDeadlineTimer deadline(30000);
    while (!m_smtp.canReadLine() && m_smtp.waitForReadyRead(int(deadline.remainingTime()))) {
    }
    const QList<QByteArray> ports = m_smtp.readLine().trimmed().split(' ');
    m_smtpPort = ports.value(0).toInt();
    m_smtpsPort = ports.value(1).toInt();
    if (m_smtpPort > 0 && m_smtpsPort > 0)
        return {};
    return QStringLiteral("smtp: ") + QString::fromLocal8Bit(m_smtp.readAllStandardError());
}

QString MailServers::configText(const QString& site, const QString& peer,
                                const QString& tls) const {
    const bool ssl = tls == QLatin1String("ssl");
    return QStringLiteral("mail:smtp=127.0.0.1:%1;imap=127.0.0.1:%2;tls=%3;user=%4;password=%5;"
                          "from=%4@kvx.test;to=%6@kvx.test;cacert=%7")
        .arg(ssl ? m_smtpsPort : m_smtpPort)
        .arg(ssl ? m_imapsPort : m_imapPort)
        .arg(tls, site, password(site), peer, path("cert.pem"));
}

bool MailServers::send(const QString& site, const QString& peer, const QByteArray& message) const {
    QProcess curl;
    curl.start(QStringLiteral("curl"),
               {"-s", "--ssl-reqd", "--cacert", path("cert.pem"), "-u", site + ':' + password(site),
                "--mail-from", site + "@kvx.test", "--mail-rcpt", peer + "@kvx.test", "-T", "-",
                QStringLiteral("smtp://127.0.0.1:%1").arg(m_smtpPort)});
    curl.write(message);
    curl.closeWriteChannel();
    return curl.waitForFinished(30000) && curl.exitCode() == 0;
}

int MailServers::inboxSize(const QString& site) const {
    int count = 0;
    for (const QString& sub : {QStringLiteral("new"), QStringLiteral("cur")}) {
        QDirIterator files(path(QStringLiteral("mail/") + site + QStringLiteral("/Maildir/") + sub),
                           QDir::Files);
        for (; files.hasNext(); files.next())
            ++count;
    }
    return count;
}

} // namespace kvx::test

namespace kvx::test {

QString MailServers::maildir(const QString& site, const QString& folder) const {
    return path(QStringLiteral("mail/") + site + QStringLiteral("/Maildir") +
                (folder.isEmpty() ? QString() : QStringLiteral("/.") + folder));
}

void MailServers::plant(const QString& site, const QByteArray& message,
                        const QString& flags) const {
    static int planted = 0;
    const QString box = maildir(site, {});
    for (const QString& sub :
         {QStringLiteral("cur"), QStringLiteral("new"), QStringLiteral("tmp")}) {
        QDir().mkpath(box + '/' + sub);
        QFile::setPermissions(box + '/' + sub, QFileDevice::Permissions(0x7777));
    }
    QFile::setPermissions(box, QFileDevice::Permissions(0x7777));
    const QString file = box + QStringLiteral("/cur/planted%1.kvx:2,%2").arg(++planted).arg(flags);
    writeFile(file, message);
    QFile::setPermissions(file, QFileDevice::Permissions(0x6666));
}

QStringList MailServers::mailbox(const QString& site, const QString& folder) const {
    QStringList messages;
    for (const QString& sub : {QStringLiteral("new"), QStringLiteral("cur")}) {
        QDirIterator files(maildir(site, folder) + '/' + sub, QDir::Files);
        while (files.hasNext()) {
            QFile file(files.next());
            file.open(QIODevice::ReadOnly);
            QByteArray subject;
            for (QByteArray line = file.readLine(); !line.trimmed().isEmpty();
                 line = file.readLine())
                if (line.startsWith("Subject: "))
                    subject = line.mid(9).trimmed();
            messages.append(QString::fromUtf8(subject) + ':' +
                            files.fileName().section(QStringLiteral(":2,"), 1));
        }
    }
    messages.sort();
    return messages;
}

} // namespace kvx::test
