#include "catalogue/catalogue.h"
#include "catalogue/operations_file.h"
#include "conditions/item_structure.h"
#include "documents/import_completion.h"
#include "documents/interface_documents.h"
#include "documents/result_report.h"
#include "platform/xml/xml_document.h"
#include "test_folder.h"
#include "test_main.h"
#include "tests/server/server_fixture.h"

#include <QDir>
#include <QDirIterator>

using namespace kvx;
using namespace kvx::test;
using namespace Qt::StringLiterals;

namespace {

OperatorCredentials demoCredentials() {
    return {u"demo"_s, encryptedPassword(u"demo"_s), u"2026/12/6"_s};
}

XmlDocument sampleFile(const QString& relative) {
    return XmlDocument::fromFile(TestFolder::sampleDir() + u'/' + relative);
}

// The envelope the export run sends for a condition item, TODAY filled in.
QByteArray envelopeFor(const XmlElement& item, const QString& sender,
                       const QString& exportNeedExch = u"n"_s) {
    XmlDocument envelope =
        XmlDocument::fromString(BuildQueryEnvelope(item.name(), sender, exportNeedExch));
    for (XmlElement field : envelope.root().appendCopy(item).childElements()) {
        if (field.attribute(u"value"_s).toUpper() == "TODAY"_L1)
            field.setAttribute(u"value"_s, QDate::currentDate().toString(Qt::ISODate));
    }
    appendOpinfo(envelope, demoCredentials());
    return envelope.toBytes();
}

// Completes a sample data file as the import run does and returns the run report's block.
QString importSample(ServerFixture& server, const QString& file) {
    XmlDocument document = sampleFile("data/" + file);
    const ImportCompletion completion{u"n"_s, file, u"组"_s, u"001"_s, demoCredentials()};
    if (!completeImportDocument(document, workOutImportDirectives({}, {}), completion))
        return u"not completed"_s;
    const HttpResult answer = server.exchange(document.toBytes());
    return answer.ok() ? AppendResultReport(XmlDocument::fromBytes(answer.body), file, {})
                       : QString::fromUtf8(answer.body);
}

} // namespace

// The sample application folder is what a new site and every demo starts from: its files
// must agree with each other as the console reads them, and with the reference server's demo
// data as the console's own documents reach it: every catalogue item and stored condition
// item finds data, every sample data file imports, and codes map back to the sender's.
class SampleFolderTest : public QObject {
    Q_OBJECT
private:
    AppFolder m_folder{test::TestFolder::sampleDir()};
    Catalogue m_catalogue;

    QString path(const QString& relative) const { return m_folder.resolve(relative); }

private Q_SLOTS:
    void initTestCase() { QVERIFY(m_catalogue.load(m_folder)); }

    void everyFileIsWellFormedGb2312() {
        QDirIterator it(m_folder.root(), {QStringLiteral("*.xml")}, QDir::Files,
                        QDirIterator::Subdirectories);
        int files = 0;
        while (it.hasNext()) {
            const QString file = it.next();
            QString error;
            const XmlDocument document = XmlDocument::fromFile(file, &error);
            QVERIFY2(!document.isNull(), qPrintable(file + QLatin1Char(' ') + error));
            QVERIFY2(document.encoding().compare(QLatin1String("gb2312"), Qt::CaseInsensitive) == 0,
                     qPrintable(file));
            ++files;
        }
        QVERIFY(files > 20);
    }

    void everyItemHasAStructureFileWithFields() {
        const QList<CatalogueItem> items = m_catalogue.items();
        QVERIFY(items.size() >= 15);
        for (const CatalogueItem& item : items) {
            const ItemStructure structure = ItemStructure::load(m_folder, item.interfaceName);
            QVERIFY2(structure.isLoaded(), qPrintable(item.label));
            QVERIFY2(!structure.LoadFieldList().isEmpty(), qPrintable(item.label));
        }
    }

    void everyOperationsEntryNamesAnItem() {
        OperationsFile operations;
        QVERIFY(operations.load(m_folder));
        int entries = 0;
        for (const XmlElement& group : operations.root().childElements()) {
            for (const XmlElement& entry : group.childElements()) {
                QVERIFY2(!m_catalogue.item(entry.name()).isNull(), qPrintable(entry.name()));
                QVERIFY2(operations.findEntry(entry.name()).has_value(), qPrintable(entry.name()));
                ++entries;
            }
        }
        QVERIFY(entries >= 3);
    }

    void everyCatalogueItemExportsData() {
        ServerFixture server({}, ServerFixture::Content::DemoData);
        const QList<CatalogueItem> items = m_catalogue.items();
        QCOMPARE(items.size(), 22);
        for (const CatalogueItem& item : items) {
            const QString& roottag = item.interfaceName;
            const XmlDocument data = server.exchangeDocument(queryEnvelope(roottag));
            QVERIFY2(!data.root().firstChildElement(roottag).isNull(), qPrintable(roottag));
        }
    }

    // Every item of the condition files names a catalogue item by its label and interface
    // name, and finds data on the demo server.
    void everyConditionItemNamesAnItemAndFindsData_data() {
        QTest::addColumn<QString>("file");
        QTest::newRow("conditions") << QStringLiteral("\\Xml\\Operation\\Condition.xml");
        QTest::newRow("plan conditions") << QStringLiteral("\\xml\\Operation\\ScheCondition.xml");
    }
    void everyConditionItemNamesAnItemAndFindsData() {
        QFETCH(QString, file);
        ServerFixture server({}, ServerFixture::Content::DemoData);
        const XmlDocument conditions = XmlDocument::fromFile(path(file));
        const QList<XmlElement> items = conditions.root().childElements();
        QVERIFY(!items.isEmpty());
        for (const XmlElement& condition : items) {
            const QString label = condition.attribute(u"name"_s);
            QVERIFY2(!m_catalogue.item(label).isNull(), qPrintable(label));
            QCOMPARE(condition.name(), m_catalogue.item(label).interfaceName);
            const QString code = condition.attribute(u"code"_s).trimmed();
            const XmlDocument data =
                server.exchangeDocument(envelopeFor(condition, code.isEmpty() ? "001" : code));
            QVERIFY2(!data.root().firstChildElement(condition.name()).isNull(),
                     qPrintable(condition.name() + u' ' + code));
        }
    }

    // The keys of the sample data files are new to the demo data. (How the server answers
    // options and vouchers, and how the report reads its answers, their own suites check.)
    void sampleFilesImportThroughTheConsolesDocuments() {
        ServerFixture server({}, ServerFixture::Content::DemoData);
        const QStringList files =
            QDir(TestFolder::sampleDir() + u"/data"_s).entryList({u"*.xml"_s}, QDir::Files);
        QVERIFY(files.size() >= 10);
        for (const QString& file : files) {
            const QString report = importSample(server, file);
            QVERIFY2(report.contains(u"导入、导出成功！"_s) &&
                         !report.contains(u"导入导出失败！"_s),
                     qPrintable(report));
        }
    }

    // The sample's customer condition of sender 002 (from C003 on, not disabled) answered
    // with the sender's own codes.
    void storedConditionGetsTheSendersCodes() {
        ServerFixture server({}, ServerFixture::Content::DemoData);
        const XmlDocument conditions = sampleFile("xml/operation/Condition.xml");
        const XmlElement item =
            conditions.selectFirst(u"//customer[@code=$c]"_s, {{u"c"_s, u"002"_s}});
        const XmlDocument data = server.exchangeDocument(envelopeFor(item, "002", "y"));
        QCOMPARE(recordKeys(data, u"customer"_s), QStringList({u"SH-KH-0006"_s, u"SH-KH-0007"_s}));
    }
};

KVX_TEST_MAIN_CORE(SampleFolderTest)
#include "tst_sample_folder.moc"
