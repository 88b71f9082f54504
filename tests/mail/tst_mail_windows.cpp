#include "catalogue/catalogue_tree.h"
#include "exchange/frm_import.h"
#include "login/login_context.h"
#include "mail/attachment_mail.h"
#include "mail/frm_mail.h"
#include "mail/received_data_store.h"
#include "mail_servers.h"
#include "platform/database.h"
#include "runs/attachment_queue.h"
#include "settings/mail_settings.h"
#include "settings/path_settings.h"
#include "settings/settings_file.h"
#include "test_main.h"
#include "tests/runs/run_fixture.h"
#include "tests/server/server_fixture.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QPushButton>

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

QByteArray bytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// An application folder with its mail transfer window.
struct MailSite {
    MailSite(const QString& configText, bool wholeFolder) {
        writeSettings(folder, configText, wholeFolder);
        window = std::make_unique<FrmMail>(services.services, paths, settings, transport);
    }
    void transfer() const { window->findChild<QAction*>("Receive")->trigger(); }

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
    void mailWindow_data() {
        QTest::addColumn<QString>("mode"); // single, whole, or unset (no configuration)
        QTest::addColumn<QStringList>("exportFiles");
        QTest::addColumn<QString>("chosen"); // single: the file the operator picks, "" cancels
        QTest::addColumn<QStringList>("arriving"); // documents of a mail in the inbox
        QTest::addColumn<QStringList>("sent");     // mails in the outbox
        QTest::addColumn<QStringList>("imported");
        QTest::addColumn<QStringList>("messages"); // %1: the export folder
        QTest::newRow("single, dialog cancelled")
            << "single" << QStringList{"a.xml"} << "" << QStringList{} << QStringList{}
            << QStringList{} << QStringList{"已取消选择文件，本封邮件不发送。"};
        QTest::newRow("single") << "single" << QStringList{"a.xml"} << "a.xml" << QStringList{}
                                << QStringList{"0|a.xml"} << QStringList{} << QStringList{};
        QTest::newRow("single, not XML")
            << "single" << QStringList{"bad.xml"} << "bad.xml" << QStringList{} << QStringList{}
            << QStringList{} << QStringList{"文件不存在或文件不合法！%1/bad.xml"};
        QTest::newRow("whole, empty folder") << "whole" << QStringList{} << "" << QStringList{}
                                             << QStringList{""} << QStringList{} << QStringList{};
        QTest::newRow("whole, three files")
            << "whole" << QStringList{"b.xml", "a.xml", "C.xml", "notes.txt"} << "" << QStringList{}
            << QStringList{"0|a.xml,1|b.xml,2|C.xml"} << QStringList{} << QStringList{};
        QTest::newRow("arrived, one document broken")
            << "whole" << QStringList{} << "" << QStringList{"good.xml", "broken.xml"}
            << QStringList{""} << QStringList{"good.xml"} << QStringList{"接收数据不正确！"};
        QTest::newRow("no configuration")
            << "unset" << QStringList{"a.xml"} << "" << QStringList{"good.xml"} << QStringList{}
            << QStringList{} << QStringList{};
    }
    void mailWindow() {
        QFETCH(QString, mode);
        QFETCH(QStringList, exportFiles);
        QFETCH(QString, chosen);
        QFETCH(QStringList, arriving);
        QFETCH(QStringList, sent);
        QFETCH(QStringList, imported);
        QFETCH(QStringList, messages);
        TestFolder drop(TestFolder::Content::Empty);
        const QString config =
            mode == "unset" ? QString() : dropFolders(drop.filePath("out"), drop.filePath("in"));
        QDir().mkpath(drop.filePath("out"));
        QDir().mkpath(drop.filePath("in"));
        MailSite site(config, mode == "whole");
        for (const QString& name : exportFiles)
            site.folder.write("out/" + name, name == "bad.xml" ? "<ztinterface>" : kDocument);
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
        QCOMPARE(mails(drop.filePath("out")), sent);
        QCOMPARE(QDir(site.folder.filePath("in")).entryList(QDir::Files), imported);
        QStringList expected;
        for (const QString& text : messages)
            expected.append(text.contains("%1") ? text.arg(site.folder.filePath("out")) : text);
        QCOMPARE(::messages(site.services.prompter), expected);
        // An arrived mail leaves the inbox once its documents are written; other files stay.
        QCOMPARE(QDir(drop.filePath("in")).entryList(QDir::Files).size(), mode == "unset" ? 2 : 1);
    }

    // Site A exports for mail in its exchange window; site B receives the documents in its
    // mail transfer window. A mail that B sent meanwhile is refused by A's exchange window and
    // left for A's mail transfer window.
    void exchangeBetweenTwoSites_data() {
        QTest::addColumn<QString>("transport");
        QTest::newRow("shared drop folders") << "dir";
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
        AttachmentMail exchangeMail(queue, siteA.services.prompter);
        MailSettings settingsA;
        settingsA.load(siteA.app());
        exchangeMail.initMail(settingsA.configText());
        FrmImport window(siteA.services.services, login, queue);
        window.setMailTransport(&exchangeMail);
        for (const QString& label : labels) {
            window.findChild<CatalogueTree*>("Dir")->setCurrentItem(
                window.findChild<CatalogueTree*>("Dir")->findNode(label));
            window.findChild<QPushButton*>("cmdMoveIn")->click();
        }
        window.findChild<QCheckBox*>("chkMail")->setChecked(true);
        window.findChild<QPushButton*>("cmdExcute")->click();
        QTRY_VERIFY_WITH_TIMEOUT(!window.run(), 30000);

        const QString refused = "请从“系统菜单-〉数据交换-〉邮件传输”中接收数据！";
        QCOMPARE(mailsForA(), waitingForA + 1);
        if (transport == "no outbox") {
            QCOMPARE(messages(siteA.prompter()),
                     (QStringList{refused, "发件目录不存在：" + shared.filePath("gone") +
                                               "\n导出的文件尚未发送，已留在发送队列中，将随下一封"
                                               "邮件发出。"}));
            QCOMPARE(queue.size(), 2);
            return;
        }
        QCOMPARE(messages(siteA.prompter()), QStringList{refused});
        QCOMPARE(siteA.prompter().last().title, QStringLiteral("KVX系统工具"));
        QVERIFY(queue.isEmpty());

        siteB.transfer();
        QCOMPARE(messages(siteB.services.prompter), QStringList{});
        for (const QString& name : names)
            QCOMPARE(bytes(siteB.folder.filePath("in/" + name + ".xml")),
                     bytes(siteA.folder.filePath("out/" + name + ".xml")));
        QCOMPARE(QDir(siteB.folder.filePath("in")).entryList(QDir::Files).size(), 2);
    }

    // What the servers answer reaches the operator, and nothing is lost.
    void mailServersRefuseTheLogin() {
        QVERIFY2(m_serversError.isEmpty(), qPrintable(m_serversError));
        MailSite site(m_servers.configText("sitea", "siteb", "ssl").replace("pw-sitea", "x"), true);
        site.transfer();
        const QStringList lines = messages(site.services.prompter).join('\n').split('\n');
        QCOMPARE(lines.size(), 2);
        QVERIFY2(lines.at(0).startsWith("发送邮件失败：") &&
                     lines.at(1).startsWith("接收邮件失败："),
                 qPrintable(lines.join('\n')));
        QCOMPARE(site.services.prompter.last().icon, Prompter::Icon::Information);
    }
};

KVX_TEST_MAIN(MailWindowsTest)
#include "tst_mail_windows.moc"
