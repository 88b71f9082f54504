#include "catalogue/catalogue_tree.h"
#include "exchange/frm_import.h"
#include "find_control.h"
#include "login/login_context.h"
#include "mail/attachment_mail.h"
#include "mail/frm_mail.h"
#include "mail/mail_contents.h"
#include "mail/received_data_store.h"
#include "mail_servers.h"
#include "operator_input.h"
#include "platform/database.h"
#include "platform/mail/mime_message.h"
#include "runs/attachment_queue.h"
#include "settings/frm_path.h"
#include "settings/mail_settings.h"
#include "settings/path_settings.h"
#include "settings/settings_file.h"
#include "test_main.h"
#include "tests/runs/run_fixture.h"
#include "tests/server/server_fixture.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QLineEdit>
#include <QPushButton>
#include <QTcpServer>
#include <QToolBar>

using namespace kvx;
using namespace kvx::test;

namespace {

const QByteArray kDocument = "<?xml version=\"1.0\" encoding=\"gb2312\"?>\n"
                             "<ztinterface roottag=\"rec\"><rec>一</rec></ztinterface>\n";

QString dropFolders(const QString& outbox, const QString& inbox) {
    QDir().mkpath(inbox);
    return QStringLiteral("dir:outbox=%1;inbox=%2").arg(outbox, inbox);
}

// "\mail.ini" and "\xml.ini" of an application folder; the export folder without its final
// separator, as an operator may type it.
void writeSettings(const TestFolder& folder, const QString& configText, bool wholeFolder) {
    QDir(folder.path()).mkpath("in");
    QDir(folder.path()).mkpath("out");
    if (!configText.isEmpty())
        folder.write("mail.ini", SettingsFile::format({configText}));
    folder.write("xml.ini",
                 SettingsFile::format({folder.filePath("in") + '/', folder.filePath("out"),
                                       wholeFolder ? "true" : "false"}));
}

// "id|name" of every row of the mail files in the folder, "" for a mail without rows.
QStringList mails(const QString& folder) {
    QStringList result;
    for (const QString& file : QDir(folder).entryList(QDir::Files)) {
        Database db;
        bool ok = false;
        db.open(QDir(folder).filePath(file));
        QStringList rows;
        for (RecordSet set = db.query("select id, name from KVXXml", {}, &ok); !set.atEnd();
             set.moveNext())
            rows.append(set.field("id") + '|' + set.field("name").trimmed());
        result.append(ok ? rows.join(',') : "no table");
    }
    return result;
}

QStringList messages(const RecordingPrompter& prompter) {
    QStringList texts;
    for (const RecordingPrompter::Record& record : prompter.records())
        if (record.kind == RecordingPrompter::Kind::Message)
            texts.append(record.text);
    return texts;
}

// A message as another site's console sends it: one document in the database attachment.
QByteArray exchangeMail(const QString& subject, const TestFolder& folder) {
    folder.write("mail-document.xml", kDocument);
    QFile::remove(folder.filePath("mail.db"));
    fillMail(folder.filePath("mail.db"), {{"0", folder.filePath("mail-document.xml")}});
    return MimeMessage::compose("siteb@kvx.test", {"sitea@kvx.test"}, subject, "text",
                                {"KV.db", folder.read("mail.db")});
}

// An application folder with its mail transfer window, driven as the operator does.
struct MailSite {
    MailSite(const QString& configText, bool wholeFolder) {
        writeSettings(folder, configText, wholeFolder);
        window = std::make_unique<FrmMail>(services.services, paths, settings, transport);
        window->show();
    }
    QWidget* button(const QString& key) const {
        return findControl<QToolBar>(window.get(), "Toolbar1")
            ->widgetForAction(findControl<QAction>(window.get(), key));
    }
    void click(const QString& key) const { QTest::mouseClick(button(key), Qt::LeftButton); }
    // Presses 发送/接收 and waits until the transfer has ended.
    void transfer() const {
        click("Receive");
        QTRY_VERIFY_WITH_TIMEOUT(button("Receive")->isEnabled(), 60000);
    }

    TestFolder folder{TestFolder::Content::Empty};
    TestServices services{folder.path()};
    PathSettings paths;
    MailSettings settings;
    MailTransport transport;
    std::unique_ptr<FrmMail> window;
};

} // namespace

class MailWindowsTest : public QObject {
    Q_OBJECT

    MailServers m_servers;
    QString m_serversError;

private Q_SLOTS:
    void initTestCase() { m_serversError = m_servers.start(); }

    // The mail transfer window with drop folders: what goes out, what comes in, what is said.
    // An arrived mail leaves the inbox only once every one of its documents is written.
    void mailWindow_data() {
        QTest::addColumn<QString>("mode"); // single, whole, gone (no export folder), unset
        QTest::addColumn<QStringList>("exportFiles");
        QTest::addColumn<QString>("chosen"); // single: the file the operator picks, "" cancels
        QTest::addColumn<QStringList>("arriving"); // documents of a mail in the inbox
        QTest::addColumn<QStringList>("sent");     // mails in the outbox
        QTest::addColumn<QStringList>("imported");
        QTest::addColumn<QStringList>("messages"); // %1: the export folder
        using L = QStringList;
        const auto row = [](const char* tag, const char* mode, const L& exportFiles,
                            const char* chosen, const L& arriving, const L& sent, const L& imported,
                            const L& messages) {
            QTest::newRow(tag) << QString(mode) << exportFiles << QString(chosen) << arriving
                               << sent << imported << messages;
        };
        row("single, dialog cancelled", "single", {"a.xml"}, "", {}, {}, {},
            {"已取消选择文件，本封邮件不发送。"});
        row("single", "single", {"a.xml"}, "a.xml", {}, {"0|a.xml"}, {}, {});
        row("whole, empty folder", "whole", {}, "", {}, {""}, {}, {});
        row("whole, three files", "whole", {"b.xml", "a.xml", "C.xml", "notes.txt"}, "", {},
            {"0|a.xml,1|b.xml,2|C.xml"}, {}, {});
        row("whole, export folder missing", "gone", {}, "", {}, {}, {},
            {"%1目录不存在，未发送邮件！"});
        row("arrived, one document broken", "whole", {}, "", {"good.xml", "broken.xml"}, {""},
            {"good.xml"}, {"接收数据不正确！"});
        row("no configuration", "unset", {"a.xml"}, "", {"good.xml"}, {}, {}, {});
    }
    void mailWindow() {
        QFETCH(QString, mode);
        QFETCH(QStringList, exportFiles);
        QFETCH(QString, chosen);
        QFETCH(QStringList, arriving);
        QFETCH(QStringList, messages);
        TestFolder drop(TestFolder::Content::Empty);
        const QString config =
            mode == "unset" ? QString() : dropFolders(drop.filePath("out"), drop.filePath("in"));
        QDir().mkpath(drop.filePath("out"));
        QDir().mkpath(drop.filePath("in"));
        MailSite site(config, mode != "single");
        for (const QString& name : exportFiles)
            site.folder.write("out/" + name, kDocument);
        if (mode == "gone")
            QDir(site.folder.filePath("out")).removeRecursively();
        if (!arriving.isEmpty()) {
            Database db;
            QVERIFY(openStore(db, drop.filePath("in/KV-arrived.db"), nullptr));
            for (int id = 0; id < arriving.size(); ++id)
                db.execute("insert into KVXXml values (?,?,'all',?)",
                           {QString::number(id), arriving.at(id),
                            arriving.at(id) == "broken.xml" ? "<ztinterface>" : "<ztinterface/>"});
        }
        drop.write("in/notes.db", "not an exchange mail");
        if (!chosen.isEmpty())
            site.services.prompter.queuePath(site.folder.filePath("out/" + chosen));

        site.transfer();
        QTEST(mails(drop.filePath("out")), "sent");
        QTEST(QDir(site.folder.filePath("in")).entryList(QDir::Files), "imported");
        QStringList expected;
        for (const QString& text : messages)
            expected.append(text.contains("%1") ? text.arg(site.folder.filePath("out")) : text);
        QCOMPARE(::messages(site.services.prompter), expected);
        const bool kept = mode == "unset" || arriving.contains("broken.xml");
        QCOMPARE(QDir(drop.filePath("in")).entryList(QDir::Files),
                 (kept ? QStringList{"KV-arrived.db", "notes.db"} : QStringList{"notes.db"}));
    }

    // Site A exports for mail in its exchange window; site B receives the documents in its
    // mail transfer window. A mail that B sent meanwhile is refused by A's exchange window and
    // left for A's mail transfer window.
    void exchangeBetweenTwoSites_data() {
        QTest::addColumn<QString>("transport");
        QTest::newRow("SMTP and IMAP servers") << "mail";
        QTest::newRow("outbox missing") << "no outbox";
    }
    void exchangeBetweenTwoSites() {
        QFETCH(QString, transport);
        TestFolder shared(TestFolder::Content::Empty);
        QDir().mkpath(shared.filePath("to-b"));
        QString configA = dropFolders(shared.filePath("to-b"), shared.filePath("to-a"));
        QString configB = dropFolders(shared.filePath("to-a"), shared.filePath("to-b"));
        int waitingForA = 0;
        std::function<int()> mailsForA = [&] {
            return int(QDir(shared.filePath("to-a")).entryList(QDir::Files).size());
        };
        if (transport == "mail") {
            QVERIFY2(m_serversError.isEmpty(), qPrintable(m_serversError));
            configA = m_servers.configText("sitea", "siteb", "starttls");
            configB = m_servers.configText("siteb", "sitea", "ssl");
            // Other mail in A's mailbox is never taken.
            QVERIFY(m_servers.send("siteb", "sitea", "Subject: KV notes\r\n\r\nhello\r\n"));
            waitingForA = m_servers.inboxSize("sitea");
            mailsForA = [&] { return m_servers.inboxSize("sitea"); };
        } else if (transport == "no outbox") {
            configA = dropFolders(shared.filePath("gone"), shared.filePath("to-a"));
        }

        MailSite siteB(configB, true);
        siteB.transfer(); // an empty mail to A
        QCOMPARE(mailsForA(), waitingForA + 1);

        ServerFixture server({}, ServerFixture::Content::DemoData);
        RunFixture siteA(server.baseUrl());
        writeSettings(siteA.folder, configA, false);
        const QStringList labels = {"部门档案", "仓库档案"};
        const QStringList names = {"department", "warehouse"};
        for (int i = 0; i < 2; ++i)
            siteA.setConditionAttribute(names[i], labels[i], "001", "exportfile",
                                        siteA.folder.filePath("out/" + names[i] + ".xml"));
        LoginContext login;
        login.senderCode = "001";
        login.persistent = siteA.login;
        AttachmentQueue queue;
        AttachmentMail exchangeMail(queue);
        QSignalSpy told(&exchangeMail, &AttachmentMail::transferred);
        MailSettings settingsA;
        settingsA.load(siteA.app());
        exchangeMail.initMail(settingsA.configText());
        FrmImport window(siteA.services.services, login, queue);
        window.setMailTransport(&exchangeMail);
        window.show();
        auto* tree = findControl<CatalogueTree>(&window, "Dir");
        for (const QString& label : labels) {
            QVERIFY(clickNode(tree, tree->findNode(label)));
            QTest::mouseClick(findControl<QPushButton>(&window, "cmdMoveIn"), Qt::LeftButton);
        }
        auto* mail = findControl<QCheckBox>(&window, "chkMail");
        // On its box, at the left: the layout stretches the control beyond its caption.
        QTest::mouseClick(mail, Qt::LeftButton, {}, QPoint(mail->height() / 2, mail->height() / 2));
        QTest::mouseClick(findControl<QPushButton>(&window, "cmdExcute"), Qt::LeftButton);
        QTRY_COMPARE_WITH_TIMEOUT(told.size(), 1, 60000);

        QStringList notices;
        for (const MailNotice& notice : told.at(0).at(0).value<QList<MailNotice>>())
            notices.append(notice.title + ": " + notice.text);
        const QString refused = "KVX系统工具: 请从“系统菜单-〉数据交换-〉邮件传输”中接收数据！";
        QCOMPARE(mailsForA(), waitingForA + 1);
        if (transport == "no outbox") {
            QCOMPARE(notices,
                     (QStringList{refused, "提示: 发件目录不存在：" + shared.filePath("gone") +
                                               "\n导出的文件尚未发送，已留在发送队列中，"
                                               "将随下一封邮件发出。"}));
            QCOMPARE(queue.size(), 2);
            return;
        }
        QCOMPARE(notices, QStringList{refused});
        QVERIFY(queue.isEmpty());

        siteB.transfer();
        QCOMPARE(messages(siteB.services.prompter), QStringList{});
        for (const QString& name : names)
            QCOMPARE(siteB.folder.read("in/" + name + ".xml"),
                     siteA.folder.read("out/" + name + ".xml"));
        QCOMPARE(QDir(siteB.folder.filePath("in")).entryList(QDir::Files).size(), 2);
    }

    // A mailbox that other mail programs share: only exchange mails are taken (subject starting
    // with "KV", exactly), nothing else is marked read, a mail over the size limit is refused
    // and left, and what was taken is removed without touching another program's deletions:
    // by UID EXPUNGE, else by moving it to the trash, else it stays flagged deleted.
    void imapMailbox_data() {
        QTest::addColumn<QString>("site");
        QTest::addColumn<QStringList>("inbox"); // "subject:flags" ("T" deleted, "S" seen)
        QTest::addColumn<QStringList>("trash");
        const QStringList others = {"KV big:", "Re: KV notes:", "kv lower:", "old:T"};
        QTest::newRow("UIDPLUS") << "sitee" << others << QStringList{};
        QTest::newRow("MOVE") << "sitec" << others << QStringList{"KV exchange:T"};
        QTest::newRow("neither") << "sited"
                                 << QStringList{"KV big:", "KV exchange:T",
                                                "Re: KV notes:", "kv lower:", "old:T"}
                                 << QStringList{};
    }
    void imapMailbox() {
        QFETCH(QString, site);
        QVERIFY2(m_serversError.isEmpty(), qPrintable(m_serversError));
        MailSite receiver(m_servers.configText(site, "siteb", "ssl") + ";maxsize=1", true);
        m_servers.plant(site, exchangeMail("KV exchange", receiver.folder), "");
        m_servers.plant(site, exchangeMail("Re: KV notes", receiver.folder), "");
        m_servers.plant(site,
                        MimeMessage::compose("b@x", {"a@x"}, "KV big", "big",
                                             {"KV.db", QByteArray(1600 * 1024, 'x')}),
                        "");
        m_servers.plant(site, "Subject: kv lower\r\n\r\nhello\r\n", "");
        m_servers.plant(site, "Subject: old\r\n\r\nthrown away by another program\r\n", "T");

        receiver.transfer();
        const QStringList told = messages(receiver.services.prompter);
        QCOMPARE(told.size(), 1);
        QVERIFY2(told.at(0).startsWith("接收邮件失败：邮件“KV big”"), qPrintable(told.at(0)));
        QVERIFY(QFile::exists(receiver.folder.filePath("in/mail-document.xml")));
        QTEST(m_servers.mailbox(site), "inbox");
        QTEST(m_servers.mailbox(site, "Trash"), "trash");
    }

    // What the servers answer reaches the operator, and nothing is lost: a wrong password, a
    // certificate that the trusted ones do not vouch for; a password sent without TLS is
    // warned of, once.
    void mailServersRefuse_data() {
        QTest::addColumn<QString>("from"); // in the configuration text
        QTest::addColumn<QString>("to");
        QTest::addColumn<QString>("reason"); // in both refusals
        QTest::addColumn<bool>("warned");
        const auto row = [](const char* tag, const char* from, const char* to, const char* reason,
                            bool warned) {
            QTest::newRow(tag) << QString(from) << QString(to) << QString(reason) << warned;
        };
        row("wrong password", "pw-sitea", "x", "", false);
        row("certificate not trusted", "{certificate}", "{untrusted}", "certificate", false);
        row("tls none, wrong password", "tls=starttls;user=sitea;password=pw-sitea",
            "tls=none;user=sitea;password=x", "", true);
    }
    void mailServersRefuse() {
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(QString, reason);
        QFETCH(bool, warned);
        QVERIFY2(m_serversError.isEmpty(), qPrintable(m_serversError));
        from.replace("{certificate}", m_servers.certificate());
        to.replace("{untrusted}", m_servers.untrustedCertificate());
        MailSite site(m_servers.configText("sitea", "siteb", "starttls").replace(from, to), true);
        const int sent = m_servers.inboxSize("siteb");
        for (int round = 0; round < 2; ++round) {
            site.services.prompter.clear();
            site.transfer();
            QStringList lines = messages(site.services.prompter).join('\n').split('\n');
            if (warned && round == 0)
                QCOMPARE(lines.takeFirst(), MailTransport::clearPasswordWarning());
            QCOMPARE(lines.size(), 2);
            QVERIFY2(lines.at(0).startsWith("发送邮件失败：") && lines.at(0).contains(reason) &&
                         lines.at(1).startsWith("接收邮件失败：") && lines.at(1).contains(reason),
                     qPrintable(lines.join('\n')));
            QCOMPARE(site.services.prompter.last().icon, Prompter::Icon::Information);
        }
        QCOMPARE(m_servers.inboxSize("siteb"), sent);
    }

    // The window stays responsive while a server keeps it waiting; closing it asks, and then
    // waits for the transfer to stop where nothing is lost, or closes at once when the
    // transfer ended while the question was open.
    void closingDuringTransferAsksAndWaits_data() {
        QTest::addColumn<bool>("endsMeanwhile");
        QTest::newRow("transfer under way") << false;
        QTest::newRow("transfer ended during the question") << true;
    }
    void closingDuringTransferAsksAndWaits() {
        QFETCH(bool, endsMeanwhile);
        QTcpServer silent; // takes the connection and never answers
        QVERIFY(silent.listen(QHostAddress::LocalHost, 0));
        MailSite site(QStringLiteral("mail:smtp=127.0.0.1:%1;imap=127.0.0.1:%1;tls=none;"
                                     "from=a@x;to=b@x")
                          .arg(silent.serverPort()),
                      true);
        site.click("Receive");
        QVERIFY(site.transport.isTransferring());
        QVERIFY(!site.button("Receive")->isEnabled());
        site.services.prompter.setOnPrompt([&](const RecordingPrompter::Record&) {
            if (!endsMeanwhile)
                return;
            silent.close(); // the server goes away: the transfer fails and ends
            QTRY_VERIFY(!site.transport.isTransferring());
        });
        site.services.prompter.queueAnswer(Prompter::Answer::Ok);
        site.click("Quit");
        QVERIFY(site.services.prompter.texts().contains("邮件传输正在进行，确实想要结束？"));
        QCOMPARE(site.window->isVisible(), !endsMeanwhile);
        QTRY_VERIFY_WITH_TIMEOUT(!site.window->isVisible(), 20000);
        QVERIFY(!site.transport.isTransferring());
    }

    // Without a password in "\mail.ini" the password is asked once, in the path dialog, and
    // kept in the system's keyring: a transfer of a window opened afresh finds it there. (The
    // mailbox read has a Chinese name, which IMAP spells in its own form.)
    void passwordKeptInTheKeyring() {
        QVERIFY2(m_serversError.isEmpty(), qPrintable(m_serversError));
        const QString config = m_servers.configText("siteb", "sitea", "ssl")
                                   .remove(";password=pw-siteb")
                                   .append(";mailbox=交换");
        const int waiting = m_servers.inboxSize("sitea");
        for (int round = 0; round < 2; ++round) {
            MailSite site(config, true);
            site.click("Receive");
            if (round == 0) {
                FrmPath* dialog = nullptr;
                QTRY_VERIFY((dialog = site.window->findChild<FrmPath*>()) && dialog->isVisible());
                auto* box = findControl<QLineEdit>(dialog, "TxtMailPwd");
                QTRY_VERIFY(box->hasFocus());
                QTest::keyClicks(box, "pw-siteb");
                QTest::mouseClick(findControl<QPushButton>(dialog, "cmdOk"), Qt::LeftButton);
            }
            QTRY_VERIFY_WITH_TIMEOUT(site.button("Receive")->isEnabled(), 60000);
            QCOMPARE(messages(site.services.prompter), QStringList{});
            QCOMPARE(m_servers.inboxSize("sitea"), waiting + round + 1);
            QVERIFY(!site.folder.read("mail.ini").contains("pw-"));
        }
    }
};

KVX_TEST_MAIN(MailWindowsTest)
#include "tst_mail_windows.moc"
