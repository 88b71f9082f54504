// Fuzz target: the settings files LoginWan.ini, xml.ini and mail.ini with the mail transport's
// configuration text, in GB18030 and UTF-8. Whatever a reader takes from a file reads back the
// same after it is written again.
#include "fuzz_support.h"
#include "platform/app_folder.h"
#include "platform/mail/mail_config.h"
#include "settings/login_settings.h"
#include "settings/mail_settings.h"
#include "settings/path_settings.h"
#include "settings/settings_file.h"

using namespace kvx;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QByteArray bytes = fuzz::input(data, size);
    const AppFolder folder(fuzz::scratch());
    for (const QString& file : {LoginSettings::relativePath(), PathSettings::relativePath(),
                                MailSettings::relativePath()})
        fuzz::put(file.mid(1), bytes);
    const std::optional<LoginSettings> login = LoginSettings::load(folder);
    fuzz::check(login.has_value(), "an existing LoginWan.ini is read");
    LoginSettings::parseDate(login->businessDate);
    PathSettings paths;
    paths.load(folder);
    fuzz::check(!paths.importPath.isEmpty() && !paths.exportPath.isEmpty(),
                "xml.ini never gives an empty folder");
    MailSettings mail;
    mail.load(folder);
    QString error;
    MailConfig::parse(mail.configText(), &error);

    const QString path = folder.resolve(LoginSettings::relativePath());
    const QStringList items = *SettingsFile::read(path);
    if (SettingsFile::write(path, items, &error))
        fuzz::check(SettingsFile::read(path) == items, "written items read back the same",
                    items.join(QLatin1Char('|')));
    return 0;
}

QList<QByteArray> fuzz::seeds(const QList<QByteArray>&) {
    // As the console writes them, and as earlier versions wrote them in UTF-8.
    const AppFolder folder(fuzz::scratch());
    LoginSettings{QStringLiteral("http://127.0.0.1:8765/"), QStringLiteral("张三"),
                  QStringLiteral("a1b2"), QStringLiteral("2026-12-06")}
        .save(folder);
    PathSettings{QStringLiteral("D:\\接收\\"), QStringLiteral("D:\\发送\\"), QStringLiteral("true")}
        .save(folder);
    return {corpusFiles({folder.resolve(LoginSettings::relativePath())}).first(),
            corpusFiles({folder.resolve(PathSettings::relativePath())}).first(),
            QByteArray("\"http://server/\"\r\n\"李四\"\r\n\"\"\r\n\"2024年3月5日\"\r\n"),
            QByteArray("\"dir:outbox=/srv/exchange/out;inbox=/srv/exchange/in\"\r\n"),
            QByteArray("\"mail:smtp=mail.example.com:587;imap=[::1]:993;tls=ssl;user=kvx;"
                       "password=se%3Bcret;from=a@b.cn;to=c@d.cn,e@f.cn;mailbox=INBOX\"\r\n")};
}
