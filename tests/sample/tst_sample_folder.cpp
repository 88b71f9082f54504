#include "conditions/item_structure.h"
#include "exchange/catalogue.h"
#include "exchange/operations_file.h"
#include "platform/xml_document.h"
#include "test_folder.h"
#include "test_main.h"

#include <QDirIterator>

using namespace kvx;

// The sample application folder is what a new site and every demo starts from: its files
// must agree with each other as the console reads them.
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

    void everyConditionItemNamesAnItem_data() {
        QTest::addColumn<QString>("file");
        QTest::newRow("conditions") << QStringLiteral("\\Xml\\Operation\\Condition.xml");
        QTest::newRow("plan conditions") << QStringLiteral("\\xml\\Operation\\ScheCondition.xml");
    }
    void everyConditionItemNamesAnItem() {
        QFETCH(QString, file);
        const XmlDocument conditions = XmlDocument::fromFile(path(file));
        QVERIFY(!conditions.isNull());
        for (const XmlElement& condition : conditions.root().childElements()) {
            const CatalogueItem item =
                m_catalogue.item(condition.attribute(QStringLiteral("name")));
            QVERIFY2(!item.isNull(), qPrintable(condition.attribute(QStringLiteral("name"))));
            QCOMPARE(condition.name(), item.interfaceName);
        }
    }

    void everyDataFileBelongsToAnItemAndHoldsRecords() {
        QDirIterator it(path(QStringLiteral("\\data")), {QStringLiteral("*.xml")}, QDir::Files);
        QStringList interfaceNames;
        for (const CatalogueItem& item : m_catalogue.items())
            interfaceNames.append(item.interfaceName);
        int files = 0;
        while (it.hasNext()) {
            const QString file = it.next();
            const XmlDocument document = XmlDocument::fromFile(file);
            const QString roottag = document.root().attribute(QStringLiteral("roottag"));
            QCOMPARE(document.root().name(), QStringLiteral("ztinterface"));
            QVERIFY2(interfaceNames.contains(roottag), qPrintable(file));
            QVERIFY2(!document.root().firstChildElement(roottag).isNull(), qPrintable(file));
            ++files;
        }
        QVERIFY(files >= 5);
    }
};

KVX_TEST_MAIN_CORE(SampleFolderTest)
#include "tst_sample_folder.moc"
