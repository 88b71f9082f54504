#include "mail_servers.h"
#include "platform/mail/mail_config.h"
#include "platform/mail/mail_transport.h"
#include "test_folder.h"
#include "test_main.h"

#include <QDir>

using namespace kvx;
using test::MailServers;
using test::TestFolder;

namespace {

enum class Answer { Accept, Abandon, Silence };

QByteArray fileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// Answers the transport's events from a script and keeps what the mails held.
class Receiver : public QObject {
public:
    explicit Receiver(MailTransport& transport)
        : m_transport(transport) {
        transport.connectEvents(this, &Receiver::afterNewMail, &Receiver::onGetFrom);
    }
    Answer outgoing = Answer::Accept;
    Answer arriving = Answer::Accept;
    QByteArray content = "database bytes";
    QList<QByteArray> arrived;

    void afterNewMail(const QString& path) {
        QFile file(path);
        file.open(QIODevice::WriteOnly);
        file.write(content);
        file.close();
        if (outgoing != Answer::Silence)
            m_transport.AcknowledgeNewMail(outgoing == Answer::Abandon);
    }
    void onGetFrom(const QString& path) {
        arrived.append(fileBytes(path));
        if (arriving != Answer::Silence)
            m_transport.AcknowledgeGetFrom(arriving == Answer::Abandon);
    }

private:
    MailTransport& m_transport;
};

QStringList files(const QString& folder) {
    return QDir(folder).entryList(QDir::Files | QDir::Hidden);
}

} // namespace

class MailTransportTest : public QObject {
    Q_OBJECT

    MailServers m_servers;
    QString m_serversError;

private Q_SLOTS:
    void initTestCase() { m_serversError = m_servers.start(); }

    void configurationTexts_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("reading"); // what was understood, or the error
        QTest::newRow("empty") << " "
                               << "none";
        QTest::newRow("drop folders") << "dir:outbox=/x/out; inbox = /x/in"
                                      << "/x/out /x/in";
        QTest::newRow("relative folder") << "dir:outbox=out;inbox=/x/in"
                                         << "邮件设置不正确：outbox 和 inbox 须为完整的目录路径";
        QTest::newRow("ssl defaults")
            << "mail:smtp=m.example;imap=[::1];tls=ssl;from=a@x;to=b@x, c@x"
            << "m.example:465 ::1:993 INBOX b@x,c@x";
        QTest::newRow("starttls, encoded password")
            << "MAIL:smtp=m:2525;imap=m;user=u;password=p%3Bw%25;from=a@x;to=b@x;mailbox=KVX"
            << "m:2525 m:143 u p;w% KVX";
        QTest::newRow("no recipient") << "mail:smtp=m;imap=m;from=a@x"
                                      << "邮件设置不正确：须给出发件地址 from 和收件地址 to";
        QTest::newRow("bad port") << "mail:smtp=m:99999;imap=m;from=a@x;to=b@x"
                                  << "邮件设置不正确：smtp 和 imap 须为“主机”或“主机:端口”";
        QTest::newRow("unknown key") << "dir:outbox=/a;inbox=/b;outbx=/c"
                                     << "邮件设置不正确：不认识的设置项 outbx";
        QTest::newRow("unknown form") << "ftp:host=x"
                                      << "邮件设置不正确：须以 dir: 或 mail: 开头";
    }
    void configurationTexts() {
        QFETCH(QString, text);
        QFETCH(QString, reading);
        QString error;
        const MailConfig config = MailConfig::parse(text, &error);
        QString read = error;
        if (config.kind == MailConfig::Kind::DropFolder)
            read = config.outbox + ' ' + config.inbox;
        else if (config.kind == MailConfig::Kind::InternetMail && config.user.isEmpty())
            read = QStringLiteral("%1:%2 %3:%4 %5 %6")
                       .arg(config.smtpHost)
                       .arg(config.smtpPort)
                       .arg(config.imapHost)
                       .arg(config.imapPort)
                       .arg(config.mailbox, config.to.join(','));
        else if (config.kind == MailConfig::Kind::InternetMail)
            read = QStringLiteral("%1:%2 %3:%4 %5 %6 %7")
                       .arg(config.smtpHost)
                       .arg(config.smtpPort)
                       .arg(config.imapHost)
                       .arg(config.imapPort)
                       .arg(config.user, config.password, config.mailbox);
        else if (error.isEmpty())
            read = "none";
        QCOMPARE(read, reading);
    }

    // A mail goes out only when its event is acknowledged without abandoning; an arrived
    // mail is removed only then, and stays for the next transfer otherwise.
    void dropFolderAcknowledgements_data() {
        QTest::addColumn<int>("answer"); // Answer, for both events; -1: nobody connected
        QTest::addColumn<int>("sent");
        QTest::addColumn<int>("waiting");
        QTest::newRow("accepted") << int(Answer::Accept) << 1 << 0;
        QTest::newRow("abandoned") << int(Answer::Abandon) << 0 << 1;
        QTest::newRow("not acknowledged") << int(Answer::Silence) << 0 << 1;
        QTest::newRow("nobody connected") << -1 << 0 << 1;
    }
    void dropFolderAcknowledgements() {
        QFETCH(int, answer);
        QFETCH(int, sent);
        QFETCH(int, waiting);
        TestFolder folder(TestFolder::Content::Empty);
        QDir().mkpath(folder.filePath("out"));
        folder.write("in/KV20240101000000000-abc.db", "arrived database");
        folder.write("in/notes.db", "not an exchange mail");
        MailTransport transport;
        transport.setConfigText(QStringLiteral("dir:outbox=%1;inbox=%2")
                                    .arg(folder.filePath("out"), folder.filePath("in")));
        transport.setExchangeTag("KV");
        QVERIFY(transport.start());
        std::unique_ptr<Receiver> receiver;
        if (answer >= 0) {
            receiver = std::make_unique<Receiver>(transport);
            receiver->outgoing = receiver->arriving = Answer(answer);
        }

        const MailTransferResult result = transport.transfer();
        QVERIFY2(result.ok(), qPrintable(result.errors.join('\n')));
        const QStringList outbox = files(folder.filePath("out"));
        QCOMPARE(outbox.size(), sent);
        if (sent)
            QCOMPARE(fileBytes(folder.filePath("out/" + outbox.first())), receiver->content);
        QCOMPARE(files(folder.filePath("in")).size(), 1 + waiting);
        if (receiver)
            QCOMPARE(receiver->arrived, QList<QByteArray>{"arrived database"});
    }

    void mailServers_data() {
        QTest::addColumn<QString>("tls");
        QTest::newRow("starttls") << "starttls";
        QTest::newRow("ssl") << "ssl";
    }
    // Site A sends through SMTP; site B reads its inbox by IMAP, where another mail waits too.
    void mailServers() {
        QFETCH(QString, tls);
        QVERIFY2(m_serversError.isEmpty(), qPrintable(m_serversError));
        const int before = m_servers.inboxSize("siteb");
        MailTransport siteA;
        siteA.setConfigText(m_servers.configText("sitea", "siteb", tls));
        siteA.setExchangeTag("KV");
        QVERIFY(siteA.start());
        Receiver senderA(siteA);
        senderA.content = QByteArray("SQLite format 3\0\r\n.\r\nbytes", 26);
        const MailTransferResult sent = siteA.transfer();
        QVERIFY2(sent.newMailSent && sent.ok(), qPrintable(sent.errors.join('\n')));
        QVERIFY(m_servers.send("sitea", "siteb", "Subject: KV but no attachment\r\n\r\nhi\r\n"));

        MailTransport siteB;
        siteB.setConfigText(m_servers.configText("siteb", "sitea", tls));
        siteB.setExchangeTag("KV");
        QVERIFY(siteB.start());
        Receiver receiverB(siteB);
        receiverB.outgoing = receiverB.arriving = Answer::Abandon;
        MailTransferResult result = siteB.transfer();
        QVERIFY2(result.ok(), qPrintable(result.errors.join('\n')));
        QCOMPARE(result.left, 1);
        QCOMPARE(m_servers.inboxSize("siteb"), before + 2);

        receiverB.arriving = Answer::Accept;
        result = siteB.transfer();
        QVERIFY2(result.ok(), qPrintable(result.errors.join('\n')));
        QCOMPARE(result.taken, 1);
        QCOMPARE(receiverB.arrived, (QList<QByteArray>{senderA.content, senderA.content}));
        QCOMPARE(m_servers.inboxSize("siteb"), before + 1);
    }

    void serverRefusals() {
        QVERIFY2(m_serversError.isEmpty(), qPrintable(m_serversError));
        MailTransport transport;
        transport.setConfigText(
            m_servers.configText("sitea", "siteb", "starttls").replace("pw-sitea", "wrong"));
        transport.setExchangeTag("KV");
        QVERIFY(transport.start());
        Receiver receiver(transport);
        const MailTransferResult result = transport.transfer();
        QCOMPARE(result.newMailSent, false);
        QCOMPARE(result.errors.size(), 2);
        QVERIFY(result.errors.at(0).startsWith("发送邮件失败："));
        QVERIFY(result.errors.at(1).startsWith("接收邮件失败："));
    }
};

KVX_TEST_MAIN_CORE(MailTransportTest)
#include "tst_mail_transport.moc"
