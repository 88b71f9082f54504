// Load on the reference exchange server.
//   server_load <server url> <clients> <seconds>
// Each client holds one HTTP connection of its own and, until the time is up, goes round
// login, import, export, import, login, import, export: every import adds five customers of
// keys that no other client uses, every export asks for the client's own customers and must
// return exactly those whose import the server acknowledged, each once. At the end one export
// of every client's customers must hold each acknowledged record exactly once and no other.
// Prints the counts, latencies (median, 99th percentile, slowest) and every fault found;
// exits 1 when a request failed or a record was lost or doubled.
#include "platform/password_encryptor.h"
#include "platform/xml/xml_document.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QTextStream>
#include <QTimer>
#include <algorithm>
#include <cmath>
#include <map>
#include <memory>
#include <set>

using namespace kvx;

namespace {

constexpr int kRecordsPerImport = 5;
// A request that takes longer counts as failed: the server would look hung to an operator.
constexpr int kRequestTimeoutMs = 60000;

QTextStream& out() {
    static QTextStream stream(stdout);
    return stream;
}

enum class Kind { Login, Import, Export };
const Kind kRound[] = {Kind::Login, Kind::Import, Kind::Export, Kind::Import,
                       Kind::Login, Kind::Import, Kind::Export};

QString kindName(Kind kind) {
    switch (kind) {
    case Kind::Login:
        return QStringLiteral("login");
    case Kind::Import:
        return QStringLiteral("import");
    case Kind::Export:
        return QStringLiteral("export");
    }
    return {};
}

// What every client shares: the server, the password, the results.
struct Load {
    QString loginUrl;
    QString exchangeUrl;
    QString pwd;
    std::map<Kind, std::vector<double>> latencies; // ms, by kind
    QStringList faults;                            // the first few, to show
    int faultCount = 0;
    std::set<QString> acknowledged; // every key the server said it stored
    int running = 0;

    void fault(const QString& text) {
        if (++faultCount <= 20)
            faults.append(text);
    }
};

QByteArray opinfo(const Load& load) {
    return "<opinfo operator='demo' pwd='" + load.pwd.toLatin1() + "' date='2026-01-01'/>";
}

// The keys of one client's customers lie between its prefix and the next: "LD07" <= key < "LD08".
QString prefixOf(int client) {
    return QStringLiteral("LD%1").arg(client, 2, 10, QLatin1Char('0'));
}

QByteArray queryFor(const Load& load, const QString& from, const QString& to) {
    return "<?xml version='1.0' encoding='gb2312' ?>\r\n<ztinterface sender='001' receiver='m6' "
           "roottag='customer' docid='1' proc='Query' codeexchanged='n' exportneedexch='n' "
           "display='x' family='x'><customer name='x' code='001'>"
           "<field display='x' name='code' operation='&gt;=' value='" +
           from.toLatin1() +
           "' logic='and'/><field display='x' name='code' operation='&lt;' value='" +
           to.toLatin1() + "' logic=''/></customer>" + opinfo(load) + "</ztinterface>";
}

// The keys of the customers in a data document, as many times as each occurs.
std::multiset<QString> exportedKeys(const QByteArray& body, QString* problem) {
    std::multiset<QString> keys;
    QString error;
    const XmlDocument data = XmlDocument::fromBytes(body, &error);
    if (data.isNull()) {
        *problem = QStringLiteral("not XML: ") + error;
        return keys;
    }
    for (const XmlElement& record : data.root().childElements()) {
        if (record.name() == QLatin1String("customer"))
            keys.insert(record.firstChildElement(QStringLiteral("code")).text());
    }
    return keys;
}

// Lost: acknowledged but not exported; doubled: exported more than once; stray: exported but
// never acknowledged.
struct Comparison {
    int lost = 0;
    int doubled = 0;
    int stray = 0;
    bool exact() const { return lost == 0 && doubled == 0 && stray == 0; }
};

Comparison compare(const std::set<QString>& expected, const std::multiset<QString>& exported) {
    Comparison result;
    for (const QString& key : expected) {
        const auto times = exported.count(key);
        result.lost += times == 0 ? 1 : 0;
        result.doubled += times > 1 ? 1 : 0;
    }
    for (auto it = exported.begin(); it != exported.end(); it = exported.upper_bound(*it))
        result.stray += expected.count(*it) ? 0 : 1;
    return result;
}

QString describe(const Comparison& c) {
    return QStringLiteral("%1 lost, %2 doubled, %3 never acknowledged")
        .arg(c.lost)
        .arg(c.doubled)
        .arg(c.stray);
}

class Client {
public:
    Client(Load& load, int number, qint64 endMs, const QElapsedTimer& clock)
        : m_load(load)
        , m_number(number)
        , m_endMs(endMs)
        , m_clock(clock) {
        m_network.setTransferTimeout(kRequestTimeoutMs);
        // Clients start spread over the first tenth of a second, not all at once.
        ++m_load.running;
        QTimer::singleShot(number * 2, &m_network, [this] { next(); });
    }

private:
    void next() {
        if (m_clock.elapsed() >= m_endMs) {
            --m_load.running;
            if (m_load.running == 0)
                QCoreApplication::quit();
            return;
        }
        const Kind kind = kRound[m_step++ % std::size(kRound)];
        switch (kind) {
        case Kind::Login:
            post(kind, m_load.loginUrl,
                 "<?xml version='1.0' encoding='gb2312'?><opinfo uid='demo' pwd='" +
                     m_load.pwd.toLatin1() + "' date='2026-01-01' sender='001'/>");
            break;
        case Kind::Import:
            post(kind, m_load.exchangeUrl, importDocument());
            break;
        case Kind::Export:
            post(kind, m_load.exchangeUrl,
                 queryFor(m_load, prefixOf(m_number), prefixOf(m_number + 1)));
            break;
        }
    }

    QByteArray importDocument() {
        QByteArray records;
        m_sent.clear();
        for (int i = 0; i < kRecordsPerImport; ++i) {
            const QString key = prefixOf(m_number) +
                                QStringLiteral("%1").arg(++m_sequence, 6, 10, QLatin1Char('0'));
            m_sent.append(key);
            records += "<customer><code>" + key.toLatin1() + "</code><name>Load customer " +
                       key.toLatin1() +
                       "</name><class>01</class><creditline>1000.00</creditline>"
                       "<devdate>2026-01-01</devdate><disabled>0</disabled></customer>";
        }
        return "<?xml version='1.0' encoding='gb2312'?><ztinterface sender='001' receiver='m6' "
               "roottag='customer' docid='1' proc='Add'>" +
               records + opinfo(m_load) + "</ztinterface>";
    }

    void post(Kind kind, const QString& url, const QByteArray& body) {
        QNetworkRequest request{QUrl(url)};
        request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("text/xml"));
        const qint64 started = m_clock.elapsed();
        QNetworkReply* reply = m_network.post(request, body);
        QObject::connect(reply, &QNetworkReply::finished, &m_network, [this, reply, kind, started] {
            reply->deleteLater();
            const qint64 took = m_clock.elapsed() - started;
            m_load.latencies[kind].push_back(double(took));
            const int status = reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
            if (reply->error() != QNetworkReply::NoError || status != 200) {
                m_load.fault(QStringLiteral("client %1 %2: HTTP %3 %4")
                                 .arg(m_number)
                                 .arg(kindName(kind))
                                 .arg(status)
                                 .arg(reply->errorString()));
            } else {
                check(kind, reply->readAll());
            }
            next();
        });
    }

    void check(Kind kind, const QByteArray& body) {
        const QString who = QStringLiteral("client %1 %2: ").arg(m_number).arg(kindName(kind));
        if (kind == Kind::Login) {
            if (!body.contains("succeed=\"0\""))
                m_load.fault(who + QStringLiteral("login refused"));
            return;
        }
        if (kind == Kind::Import) {
            const XmlDocument result = XmlDocument::fromBytes(body);
            int at = 0;
            for (const XmlElement& item : result.select(QStringLiteral("//item"))) {
                const QString key = item.attribute(QStringLiteral("key"));
                if (at >= m_sent.size() || key != m_sent[at++])
                    m_load.fault(who + QStringLiteral("result item %1 out of place").arg(key));
                else if (item.attribute(QStringLiteral("succeed")) != QLatin1String("0"))
                    m_load.fault(who + key + QStringLiteral(" not stored: ") +
                                 item.attribute(QStringLiteral("dsc")));
                else if (m_mine.insert(key).second)
                    m_load.acknowledged.insert(key);
            }
            if (at != m_sent.size())
                m_load.fault(
                    who +
                    QStringLiteral("%1 result items for %2 records").arg(at).arg(m_sent.size()));
            return;
        }
        QString problem;
        const std::multiset<QString> keys = exportedKeys(body, &problem);
        const Comparison c = compare(m_mine, keys);
        if (!problem.isEmpty())
            m_load.fault(who + problem);
        else if (!c.exact())
            m_load.fault(who + describe(c));
    }

    Load& m_load;
    const int m_number;
    const qint64 m_endMs;
    const QElapsedTimer& m_clock;
    // A manager of its own keeps the client on one connection of its own.
    QNetworkAccessManager m_network;
    size_t m_step = 0;
    int m_sequence = 0;
    QStringList m_sent;
    std::set<QString> m_mine;
};

double percentile(std::vector<double> values, double share) {
    if (values.empty())
        return 0;
    std::sort(values.begin(), values.end());
    const size_t at = size_t(std::ceil(share * double(values.size()))) - 1;
    return values[std::min(at, values.size() - 1)];
}

// After the load: every client's customers in one export.
bool finalExport(Load& load, int clients) {
    QNetworkAccessManager network;
    QNetworkRequest request{QUrl(load.exchangeUrl)};
    request.setHeader(QNetworkRequest::ContentTypeHeader, QByteArrayLiteral("text/xml"));
    QNetworkReply* reply = network.post(request, queryFor(load, prefixOf(0), prefixOf(clients)));
    QObject::connect(reply, &QNetworkReply::finished, &QCoreApplication::quit);
    QCoreApplication::exec();
    reply->deleteLater();
    QString problem;
    const std::multiset<QString> keys = exportedKeys(reply->readAll(), &problem);
    const Comparison c = compare(load.acknowledged, keys);
    out() << "final export: " << keys.size() << " records for " << load.acknowledged.size()
          << " acknowledged; " << describe(c) << " (target: 0 lost, 0 doubled)" << Qt::endl;
    if (reply->error() != QNetworkReply::NoError || !problem.isEmpty()) {
        out() << "final export failed: " << reply->errorString() << ' ' << problem << Qt::endl;
        return false;
    }
    return c.exact();
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    XmlDocument::initializeLibrary();
    const QStringList args = app.arguments();
    if (args.size() != 4) {
        QTextStream(stderr) << "usage: server_load <server url> <clients> <seconds>" << Qt::endl;
        return 2;
    }
    QString base = args[1];
    if (!base.endsWith(QLatin1Char('/')))
        base += QLatin1Char('/');
    const int clients = std::clamp(args[2].toInt(), 1, 99);
    const qint64 seconds = std::max<qint64>(1, args[3].toLongLong());

    Load load;
    load.loginUrl = base + QStringLiteral("M6KVX/login.asp");
    load.exchangeUrl = base + QStringLiteral("M6Kvx/import.asp");
    load.pwd = PasswordEncryptor().ascPwd(QStringLiteral("demo"));

    QElapsedTimer clock;
    clock.start();
    std::vector<std::unique_ptr<Client>> all;
    for (int i = 0; i < clients; ++i)
        all.push_back(std::make_unique<Client>(load, i, seconds * 1000, clock));
    QCoreApplication::exec();
    const double elapsed = double(clock.elapsed()) / 1000.0;
    all.clear();

    std::vector<double> every;
    out() << clients << " clients for " << QString::number(elapsed, 'f', 1) << " s:" << Qt::endl;
    for (const auto& [kind, values] : load.latencies) {
        every.insert(every.end(), values.begin(), values.end());
        out() << "  " << kindName(kind).leftJustified(7) << values.size() << " requests, median "
              << percentile(values, 0.5) << " ms, p99 " << percentile(values, 0.99)
              << " ms, slowest " << percentile(values, 1.0) << " ms" << Qt::endl;
    }
    out() << "all requests: " << every.size() << " ("
          << QString::number(double(every.size()) / elapsed, 'f', 0) << " per second), p99 "
          << percentile(every, 0.99) << " ms" << Qt::endl;
    const bool exact = finalExport(load, clients);
    out() << "faults: " << load.faultCount << " (target: 0)" << Qt::endl;
    for (const QString& fault : std::as_const(load.faults))
        out() << "  " << fault << Qt::endl;
    return exact && load.faultCount == 0 && !every.empty() ? 0 : 1;
}
