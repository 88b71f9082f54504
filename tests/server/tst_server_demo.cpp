// The demo data against the sample application folder: the demo logins work, every
// catalogue item and every stored condition item exports data, and every sample data file
// imports without a failed record.
#include "server_fixture.h"
#include "test_folder.h"
#include "test_main.h"

#include <QDir>

using namespace kvx;
using namespace kvx::test;

namespace {

XmlDocument sampleFile(const QString& relative) {
    const QString path = TestFolder::sampleDir() + QLatin1Char('/') + relative;
    XmlDocument document = XmlDocument::fromFile(path);
    if (document.isNull())
        qWarning("cannot read %s", qPrintable(path));
    return document;
}

void appendOpinfo(XmlElement root) {
    XmlElement opinfo = root.appendChild(QStringLiteral("opinfo"));
    opinfo.setAttribute(QStringLiteral("operator"), QStringLiteral("demo"));
    opinfo.setAttribute(QStringLiteral("pwd"), encryptedPassword(QStringLiteral("demo")));
    opinfo.setAttribute(QStringLiteral("date"), QDate::currentDate().toString(Qt::ISODate));
}

// The envelope the export run sends for a condition item, TODAY filled in.
QByteArray envelopeFor(const XmlElement& item, const QString& sender) {
    XmlDocument envelope = XmlDocument::create(QStringLiteral("ztinterface"));
    XmlElement root = envelope.root();
    root.setAttribute(QStringLiteral("sender"), sender);
    root.setAttribute(QStringLiteral("receiver"), QStringLiteral("m6"));
    root.setAttribute(QStringLiteral("roottag"), item.name());
    root.setAttribute(QStringLiteral("proc"), QStringLiteral("Query"));
    root.setAttribute(QStringLiteral("exportneedexch"), QStringLiteral("n"));
    if (!item.isNull()) {
        for (XmlElement child : root.appendCopy(item).childElements()) {
            if (child.attribute(QStringLiteral("value")).toUpper() == QLatin1String("TODAY"))
                child.setAttribute(QStringLiteral("value"),
                                   QDate::currentDate().toString(Qt::ISODate));
        }
    }
    appendOpinfo(root);
    return envelope.toBytes();
}

} // namespace

class ServerDemoTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() {
        QVERIFY2(!TestFolder::sampleDir().isEmpty(), "KVX_SAMPLE_DIR is not set");
    }

    void demoOperatorsLogIn_data() {
        QTest::addColumn<QString>("user");
        QTest::addColumn<QString>("sender");
        QTest::addColumn<QStringList>("rights");
        QTest::newRow("demo") << "demo"
                              << "001" << QStringList{"1", "1", "1"};
        QTest::newRow("demo, second system") << "demo"
                                             << "002" << QStringList{"1", "1", "1"};
        QTest::newRow("viewer") << "viewer"
                                << "001" << QStringList{"0", "1", "0"};
    }
    void demoOperatorsLogIn() {
        QFETCH(QString, user);
        QFETCH(QString, sender);
        ServerFixture server({}, ServerFixture::Content::DemoData);
        const XmlDocument answer =
            XmlDocument::fromBytes(server.login(loginRequest(user, user, sender)).body);
        QCOMPARE(answer.root().firstChildElement().attribute(QStringLiteral("succeed")),
                 QStringLiteral("0"));
        QStringList rights;
        for (const QString& key :
             {QStringLiteral("KV020202"), QStringLiteral("KV0203"), QStringLiteral("KV0301")})
            rights.append(
                answer.root()
                    .selectFirst(QStringLiteral("item[@key=$k]"), {{QStringLiteral("k"), key}})
                    .attribute(QStringLiteral("succeed")));
        QTEST(rights, "rights");
    }

    void everyCatalogueItemExportsData() {
        ServerFixture server({}, ServerFixture::Content::DemoData);
        const XmlDocument catalogue = sampleFile(QStringLiteral("xml/operation/Dir.xml"));
        const QList<XmlElement> items = catalogue.select(QStringLiteral("/*//*[not(*)]"));
        QCOMPARE(items.size(), 22);
        for (const XmlElement& item : items) {
            const QString roottag = item.attribute(QStringLiteral("name"));
            QByteArray envelope = queryEnvelope(roottag);
            const XmlDocument data = server.exchangeDocument(envelope);
            QVERIFY2(!data.root().firstChildElement(roottag).isNull(), qPrintable(roottag));
        }
    }

    void everyStoredConditionFindsData_data() {
        QTest::addColumn<QString>("file");
        QTest::newRow("conditions") << "xml/operation/Condition.xml";
        QTest::newRow("plan conditions") << "xml/operation/ScheCondition.xml";
    }
    void everyStoredConditionFindsData() {
        QFETCH(QString, file);
        ServerFixture server({}, ServerFixture::Content::DemoData);
        const XmlDocument conditions = sampleFile(file);
        const QList<XmlElement> items = conditions.root().childElements();
        QVERIFY(!items.isEmpty());
        for (const XmlElement& item : items) {
            const QString code = item.attribute(QStringLiteral("code")).trimmed();
            const QString sender = code.isEmpty() ? QStringLiteral("001") : code;
            const XmlDocument data = server.exchangeDocument(envelopeFor(item, sender));
            QVERIFY2(!data.root().firstChildElement(item.name()).isNull(),
                     qPrintable(item.name() + QLatin1Char(' ') + code));
        }
    }

    void sampleDataFilesImportCleanly() {
        ServerFixture server({}, ServerFixture::Content::DemoData);
        const QStringList files =
            QDir(TestFolder::sampleDir() + QStringLiteral("/data"))
                .entryList({QStringLiteral("*.xml")}, QDir::Files, QDir::Name);
        QVERIFY(files.size() >= 10);
        for (const QString& name : files) {
            XmlDocument document = sampleFile(QStringLiteral("data/") + name);
            appendOpinfo(document.root());
            const QList<ResultItem> added =
                resultItems(server.exchangeDocument(document.toBytes()));
            QVERIFY2(!added.isEmpty(), qPrintable(name));
            for (const ResultItem& item : added)
                QVERIFY2(
                    item.succeed == QLatin1String("0"),
                    qPrintable(name + QLatin1Char(' ') + item.key + QLatin1Char(' ') + item.dsc));
            // The keys are new to the store and now in it.
            for (const ResultItem& item : resultItems(server.exchangeDocument(document.toBytes())))
                QCOMPARE(item.dsc, QStringLiteral("关键字“%1”已存在！").arg(item.key));
        }
    }
};

KVX_TEST_MAIN_CORE(ServerDemoTest)
#include "tst_server_demo.moc"
