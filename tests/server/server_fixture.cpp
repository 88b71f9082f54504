#include "server_fixture.h"

#include "platform/password_encryptor.h"
#include "server/demo_seed.h"
#include "server/record_fields.h"

#include <QHostAddress>
#include <QtTest>

namespace kvx::test {

namespace {

QByteArray asGb2312(const QString& text) {
    XmlDocument document = XmlDocument::fromString(text);
    if (document.isNull())
        qFatal("test document does not parse");
    return document.toBytes();
}

} // namespace

QString encryptedPassword(const QString& password) {
    static QHash<QString, QString> known;
    auto found = known.find(password);
    if (found == known.end())
        found = known.insert(password, PasswordEncryptor().ascPwd(password));
    return *found;
}

ServerFixture::ServerFixture(HttpSettings settings, Content content) {
    if (!m_store.open(storePath()))
        qFatal("cannot open the test store");
    m_service = std::make_unique<ExchangeService>(m_store);
    if (content == Content::DemoData) {
        QString error;
        if (!seedDemoData(m_store, QDate::currentDate(), &error))
            qFatal("cannot seed the demo data: %s", qPrintable(error));
    } else {
        addTestAccess();
    }
    m_server = std::make_unique<ExchangeHttpServer>(*m_service, settings);
    m_server->setLogSink([this](const QString& line) { m_log.append(line); });
    m_port = m_server->listen(QHostAddress::LocalHost, 0);
    if (m_port == 0)
        qFatal("cannot listen");
    m_http.setTimeoutSeconds(60);
}

void ServerFixture::addTestAccess() {
    AccessRegistry& access = m_service->access();
    access.addOperator(QStringLiteral("demo"), encryptedPassword(QStringLiteral("demo")),
                       RightKey::All);
    access.addOperator(QStringLiteral("viewer"), encryptedPassword(QStringLiteral("viewer")),
                       {RightKey::Execute});
    access.addOperator(QStringLiteral("clerk"), encryptedPassword(QStringLiteral("clerk")),
                       {RightKey::Configure});
    access.addSender(QStringLiteral("001"), QStringLiteral("北京"));
    access.addSender(QStringLiteral("002"), QStringLiteral("上海"));
    access.addSender(QStringLiteral("009"), QStringLiteral("停用"), true);
}

QString ServerFixture::baseUrl() const {
    return QStringLiteral("http://127.0.0.1:%1/").arg(m_port);
}

HttpResult ServerFixture::post(const QString& page, const QByteArray& body) {
    return m_http.post(baseUrl() + page, body);
}

XmlDocument ServerFixture::exchangeDocument(const QByteArray& body) {
    const HttpResult result = exchange(body);
    if (result.status != 200) {
        qWarning("status %d: %s", result.status, result.body.constData());
        return {};
    }
    return XmlDocument::fromBytes(result.body);
}

QByteArray loginRequest(const QString& user, const QString& password, const QString& sender) {
    XmlDocument request = XmlDocument::create(QStringLiteral("opinfo"));
    request.root().setAttribute(QStringLiteral("uid"), user);
    request.root().setAttribute(QStringLiteral("pwd"), encryptedPassword(password));
    request.root().setAttribute(QStringLiteral("date"), QStringLiteral("2026-03-15"));
    request.root().setAttribute(QStringLiteral("sender"), sender);
    return request.toBytes();
}

QByteArray importDocument(const QString& roottag, const QString& proc, const QString& records,
                          const QString& extraAttributes, const QString& sender,
                          const Credentials& credentials) {
    return asGb2312(
        QStringLiteral("<?xml version='1.0' encoding='gb2312'?>"
                       "<ztinterface sender='%1' receiver='m6' roottag='%2' docid='42' "
                       "proc='%3' %4>%5"
                       "<opinfo operator='%6' pwd='%7' date='2026-03-15'/></ztinterface>")
            .arg(sender, roottag, proc, extraAttributes, records, credentials.user,
                 encryptedPassword(credentials.password)));
}

QByteArray queryEnvelope(const QString& roottag, const QString& fields, const QString& sender,
                         const QString& exportNeedExch, const Credentials& credentials) {
    const QString item =
        fields.isEmpty()
            ? QString()
            : QStringLiteral("<%1 name='label' code='%2' importfile='' exportfile=''>%3</%1>")
                  .arg(roottag, sender, fields);
    return asGb2312(
        QStringLiteral("<?xml version='1.0' encoding='gb2312' ?>\r\n"
                       "<ztinterface sender='%1' receiver='m6' roottag='%2' docid='7' "
                       "proc='Query' codeexchanged='n' exportneedexch='%3' display='标签' "
                       "family='组'>%4<opinfo operator='%5' pwd='%6' date='2026-03-15'/>"
                       "</ztinterface>")
            .arg(sender, roottag, exportNeedExch, item, credentials.user,
                 encryptedPassword(credentials.password)));
}

QList<ResultItem> resultItems(const XmlDocument& result) {
    QList<ResultItem> items;
    for (const XmlElement& item : result.select(QStringLiteral("//item")))
        items.append({item.attribute(QStringLiteral("succeed")),
                      item.attribute(QStringLiteral("key")), item.attribute(QStringLiteral("dsc")),
                      item});
    return items;
}

QStringList recordKeys(const XmlDocument& data, const QString& roottag) {
    QStringList keys;
    for (const XmlElement& record : data.root().childElements()) {
        if (record.name() == roottag)
            keys.append(recordFieldText(record, QStringLiteral("code")));
    }
    return keys;
}

} // namespace kvx::test
