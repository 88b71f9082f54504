#include "platform/mail/mail_config.h"
#include "test_main.h"

using namespace kvx;

class MailConfigTest : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void configurationTexts_data() {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("reading"); // what was understood, or the error
        const QString invalid = "邮件设置不正确：";
        QTest::newRow("empty") << " "
                               << "";
        QTest::newRow("drop folders") << "dir:outbox=/x/out; inbox = /x/in"
                                      << "/x/out /x/in";
        QTest::newRow("relative folder")
            << "dir:outbox=out;inbox=/x/in" << invalid + "outbox 和 inbox 须为完整的目录路径";
        QTest::newRow("ssl defaults")
            << "mail:smtp=m.example;imap=[::1];tls=ssl;from=a@x;to=b@x, c@x"
            << "m.example:465 ::1:993  INBOX b@x,c@x";
        QTest::newRow("starttls, encoded password")
            << "MAIL:smtp=m:2525;imap=m;user=u;password=p%3Bw%25;from=a@x;to=b@x;mailbox=KVX"
            << "m:2525 m:143 p;w% KVX b@x";
        QTest::newRow("password in the keyring, size limit")
            << "mail:smtp=m;imap=m;user=u;from=a@x;to=b@x;maxsize=5"
            << "m:587 m:143  INBOX b@x keyring u@m, 5242880 bytes";
        QTest::newRow("bad size limit") << "mail:smtp=m;imap=m;from=a@x;to=b@x;maxsize=0"
                                        << invalid + "maxsize 须为正整数（兆字节）";
        QTest::newRow("no recipient")
            << "mail:smtp=m;imap=m;from=a@x" << invalid + "须给出发件地址 from 和收件地址 to";
        QTest::newRow("bad port") << "mail:smtp=m:99999;imap=m;from=a@x;to=b@x"
                                  << invalid + "smtp 和 imap 须为“主机”或“主机:端口”";
        QTest::newRow("unknown key")
            << "dir:outbox=/a;inbox=/b;outbx=/c" << invalid + "不认识的设置项 outbx";
        QTest::newRow("unknown form") << "ftp:host=x" << invalid + "须以 dir: 或 mail: 开头";
    }
    void configurationTexts() {
        QFETCH(QString, text);
        QString error;
        const MailConfig c = MailConfig::parse(text, &error);
        QString read = error;
        if (c.kind == MailConfig::Kind::DropFolder)
            read = c.outbox + ' ' + c.inbox;
        else if (c.kind == MailConfig::Kind::InternetMail)
            read = QStringLiteral("%1:%2 %3:%4 %5 %6 %7")
                       .arg(c.smtpHost)
                       .arg(c.smtpPort)
                       .arg(c.imapHost)
                       .arg(c.imapPort)
                       .arg(c.password, c.mailbox, c.to.join(','));
        if (c.usesKeyring())
            read +=
                QStringLiteral(" keyring %1, %2 bytes").arg(c.keyringKey()).arg(c.maxMessageBytes);
        QTEST(read, "reading");
    }
};

KVX_TEST_MAIN_CORE(MailConfigTest)
#include "tst_mail_config.moc"
