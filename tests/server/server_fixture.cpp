#include "server_fixture.h"

#include "http_wait.h"
#include "platform/password_encryptor.h"
#include "server/demo_seed.h"
#include "server/record_fields.h"

#include <QHostAddress>
#include <QRegularExpression>
#include <QtTest>

namespace kvx::test {

using namespace Qt::StringLiterals;

namespace {

QByteArray asGb2312(const QString& text) {
    XmlDocument document = XmlDocument::fromString(text);
    if (document.isNull())
        qFatal("test document does not parse");
    return document.toBytes();
}

} // namespace

ServerFixture::ServerFixture(HttpSettings settings, Content content) {
    if (!m_store.open(m_dir.filePath(u"store.sqlite"_s)))
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
    access.addOperator(u"demo"_s, encryptedPassword(u"demo"_s), RightKey::All);
    access.addOperator(u"viewer"_s, encryptedPassword(u"viewer"_s), {RightKey::Execute});
    access.addOperator(u"clerk"_s, encryptedPassword(u"clerk"_s), {RightKey::Configure});
    access.addSender(u"001"_s, u"北京"_s);
    access.addSender(u"002"_s, u"上海"_s);
    access.addSender(u"009"_s, u"停用"_s, true);
}

QString ServerFixture::baseUrl() const {
    return u"http://127.0.0.1:%1/"_s.arg(m_port);
}

HttpResult ServerFixture::post(const QString& page, const QByteArray& body) {
    return postAndWait(m_http, baseUrl() + page, body);
}

XmlDocument ServerFixture::exchangeDocument(const QByteArray& body) {
    const HttpResult result = exchange(body);
    if (result.status != 200) {
        qWarning("status %d: %s", result.status, result.body.constData());
        return {};
    }
    return XmlDocument::fromBytes(result.body);
}

RawConnection::RawConnection(quint16 port, const QByteArray& request)
    : m_head(request.startsWith("HEAD ")) {
    QObject::connect(&m_socket, &QTcpSocket::disconnected, [this] { m_closed = true; });
    m_socket.connectToHost(QHostAddress::LocalHost, port);
    m_socket.write(request);
}

bool RawConnection::wait(int timeoutMs) {
    return QTest::qWaitFor(
        [this] {
            m_received += m_socket.readAll();
            return complete() || m_closed;
        },
        timeoutMs);
}

int RawConnection::status() const {
    return m_received.startsWith("HTTP/1.1 ") ? m_received.mid(9, 3).toInt() : 0;
}

QByteArray RawConnection::body() const {
    const qsizetype end = m_received.indexOf("\r\n\r\n");
    return end < 0 ? QByteArray() : m_received.mid(end + 4);
}

bool RawConnection::complete() const {
    const qsizetype end = m_received.indexOf("\r\n\r\n");
    if (end < 0)
        return false;
    static const QRegularExpression length(QStringLiteral("\r\nContent-Length: (\\d+)"),
                                           QRegularExpression::CaseInsensitiveOption);
    const auto match = length.match(QString::fromLatin1(m_received.left(end)));
    return m_head || (match.hasMatch() && body().size() >= match.captured(1).toLongLong());
}

QByteArray loginRequest(const QString& user, const QString& password, const QString& sender) {
    XmlDocument request = XmlDocument::create(u"opinfo"_s);
    request.root().setAttribute(u"uid"_s, user);
    request.root().setAttribute(u"pwd"_s, encryptedPassword(password));
    request.root().setAttribute(u"date"_s, u"2026-03-15"_s);
    request.root().setAttribute(u"sender"_s, sender);
    return request.toBytes();
}

QByteArray importDocument(const QString& roottag, const QString& proc, const QString& records,
                          const QString& extraAttributes, const QString& sender,
                          const Credentials& credentials) {
    return asGb2312(u"<?xml version='1.0' encoding='gb2312'?>"
                    "<ztinterface sender='%1' receiver='m6' roottag='%2' docid='42' proc='%3' %4>"
                    "%5<opinfo operator='%6' pwd='%7' date='2026-03-15'/></ztinterface>"_s.arg(
                        sender, roottag, proc, extraAttributes, records, credentials.user,
                        encryptedPassword(credentials.password)));
}

QByteArray queryEnvelope(const QString& roottag, const QString& fields, const QString& sender,
                         const QString& exportNeedExch, const Credentials& credentials) {
    const QString item =
        fields.isEmpty() ? QString()
                         : u"<%1 name='label' code='%2' importfile='' exportfile=''>%3</%1>"_s.arg(
                               roottag, sender, fields);
    return asGb2312(u"<?xml version='1.0' encoding='gb2312' ?>\r\n"
                    "<ztinterface sender='%1' receiver='m6' roottag='%2' docid='7' proc='Query' "
                    "codeexchanged='n' exportneedexch='%3' display='标签' family='组'>%4"
                    "<opinfo operator='%5' pwd='%6' date='2026-03-15'/></ztinterface>"_s.arg(
                        sender, roottag, exportNeedExch, item, credentials.user,
                        encryptedPassword(credentials.password)));
}

QStringList outcomes(const XmlDocument& result) {
    QStringList lines;
    for (const XmlElement& item : result.select(u"//item"_s))
        lines.append(item.attribute(u"succeed"_s) + u' ' + item.attribute(u"key"_s) + u' ' +
                     item.attribute(u"dsc"_s));
    return lines;
}

QStringList recordKeys(const XmlDocument& data, const QString& roottag) {
    QStringList keys;
    for (const XmlElement& record : data.root().childElements()) {
        if (record.name() == roottag)
            keys.append(recordFieldText(record, u"code"_s));
    }
    return keys;
}

} // namespace kvx::test
