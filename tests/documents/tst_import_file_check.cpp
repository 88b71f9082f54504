#include "catalogue/catalogue.h"
#include "catalogue/operations_file.h"
#include "documents/import_document.h"
#include "documents/import_file_check.h"
#include "documents/operation_check.h"
#include "platform/xml/xml_outline.h"
#include "test_folder.h"
#include "test_main.h"

#include <QDir>
#include <QFile>

using namespace kvx;
using namespace kvx::test;

namespace {

// "position key text" of each finding, as a test reads them.
QStringList lines(const ImportFileCheck& check) {
    QStringList result;
    for (const ImportCheckFinding& finding : check.findings())
        result << QString("%1 %2 %3").arg(finding.position).arg(finding.key, finding.text);
    return result;
}

const QString kVoucher = QStringLiteral("凭证");
const QString kCustomer = QStringLiteral("客户档案");

ImportFileCheck::Item itemOf(const QString& label, const QString& interfaceName) {
    return {label, interfaceName};
}

// Planted faults, each once, among clean records; the key of a record may come after its
// faults.
const char* kFaultyVouchers = R"(<?xml version="1.0" encoding="UTF-8"?>
<ztinterface roottag="voucher" sender="001">
 <voucher><code>V1</code><header><fiscal_year>2026</fiscal_year><date>2026-11-03</date></header>
  <body><entry><debit>5.00</debit><credit>.5</credit></entry><entry><debit>5.</debit></entry></body></voucher>
 <voucher><code>V2</code><header><fiscal_year>二〇二六</fiscal_year></header></voucher>
 <voucher><code>V3</code><body><entry><debit>1,200.00</debit></entry><entry><credit>-</credit></entry></body></voucher>
 <voucher><header><date>2026-02-30</date></header><code> V4 </code></voucher>
 <voucher><code>V5</code><header><approver>王</approver></header><remark/></voucher>
 <voucher><code>V1</code></voucher>
 <voucher><header><voucher_id>7</voucher_id></header></voucher>
 <voucher><code>  </code><body/></voucher>
 <opinfo operator="demo"/>
 <voucher><code>V9</code><header><fiscal_year> 2026 </fiscal_year><accounting_period>+11</accounting_period><date>2026-02-28</date></header></voucher>
 <voucher><header><code>V10</code></header><body><entry><debit>1e3</debit></entry></body></voucher>
</ztinterface>
)";

} // namespace

class ImportFileCheckTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Every document of the sample belongs to a catalogue item and is clean, whatever its
    // item's record shape.
    void sampleDocumentsPass_data() {
        QTest::addColumn<QString>("file");
        const QDir data(TestFolder::sampleDir() + "/data");
        for (const QString& name : data.entryList({"*.xml"}, QDir::Files))
            QTest::newRow(qPrintable(name)) << data.filePath(name);
    }
    void sampleDocumentsPass() {
        QFETCH(QString, file);
        TestFolder folder;
        const AppFolder app(folder.path());
        Catalogue catalogue;
        QVERIFY(catalogue.load(app));
        QFile bytes(file);
        QVERIFY(bytes.open(QIODevice::ReadOnly));
        const QString roottag = XmlOutline::scan(bytes.readAll()).head.root().attribute("roottag");
        QString label;
        for (const CatalogueItem& item : catalogue.items()) {
            if (item.interfaceName == roottag)
                label = item.label;
        }
        QVERIFY2(!label.isEmpty(), qPrintable(roottag));
        const ImportFileCheck check = ImportFileCheck::checkFile(app, file, {label, roottag});
        QVERIFY2(check.findingCount() == 0, qPrintable(lines(check).join('\n')));
        QVERIFY(check.isReadable());
        QVERIFY(check.recordCount() > 0);
        QVERIFY(
            check.report(label, file)
                .endsWith(
                    QString("检查了 %1 条记录，未发现问题。\r\n\r\n").arg(check.recordCount())));
    }

    void findsEveryPlantedFault() {
        TestFolder folder;
        QVERIFY(folder.write("in/vouchers.xml", kFaultyVouchers));
        const ImportFileCheck check =
            ImportFileCheck::checkFile(AppFolder(folder.path()), folder.filePath("in/vouchers.xml"),
                                       itemOf(kVoucher, "voucher"));
        QCOMPARE(lines(check), (QStringList{
                                   "2 V2 字段header/fiscal_year的值“二〇二六”不是整数",
                                   "3 V3 字段body/entry/debit的值“1,200.00”不是小数",
                                   "3 V3 字段body/entry/credit的值“-”不是小数",
                                   "4 V4 字段header/date的值“2026-02-30”不是日期（yyyy-mm-dd）",
                                   "5 V5 字段header/approver不是项目结构文件中的字段",
                                   "5 V5 字段remark不是项目结构文件中的字段",
                                   "6 V1 关键字与第 1 条记录重复",
                                   "7  没有关键字段code",
                                   "8  关键字段code为空",
                                   "10 V10 字段header/code不是项目结构文件中的字段",
                                   "10 V10 字段body/entry/debit的值“1e3”不是小数",
                                   "0  根元素下有 1 个元素“opinfo”，不是voucher记录",
                               }));
        QCOMPARE(check.recordCount(), 10);
        QVERIFY(check.isReadable());
        const QString report = check.report(kVoucher, folder.filePath("in/vouchers.xml"));
        QVERIFY(report.startsWith(kVoucher + "：" +
                                  QDir::toNativeSeparators(folder.filePath("in/vouchers.xml")) +
                                  "\r\n第 2 条记录【关键字=V2】字段header/fiscal_year"));
        QVERIFY(report.contains("\r\n第 7 条记录：没有关键字段code\r\n"));
        QVERIFY(report.endsWith("检查了 10 条记录，发现 12 处问题。\r\n\r\n"));
    }

    // The sample's practice file of persons: the one record the server refuses is found.
    void practiceFileRecordFound() {
        TestFolder folder;
        const ImportFileCheck check = ImportFileCheck::checkFile(
            AppFolder(folder.path()), folder.filePath("data/mend/person.xml"),
            itemOf("职员档案", "person"));
        QCOMPARE(lines(check),
                 QStringList{"3 P103 字段entrydate的值“2019-02-29”不是日期（yyyy-mm-dd）"});
    }

    // Many faults are all counted; the report lists the first thousand.
    void longListsAreCut() {
        TestFolder folder;
        QByteArray document = "<ztinterface roottag='customer'>";
        for (int i = 0; i < 1500; ++i)
            document += "<customer><code>C</code></customer>";
        QVERIFY(folder.write("many.xml", document + "</ztinterface>"));
        const ImportFileCheck check = ImportFileCheck::checkFile(
            AppFolder(folder.path()), folder.filePath("many.xml"), itemOf(kCustomer, "customer"));
        QCOMPARE(check.findingCount(), 1499);
        QCOMPARE(check.findings().size(), ImportFileCheck::kListedFindings);
        QVERIFY(check.report(kCustomer, "many.xml").contains("另有 499 处问题未列出。\r\n"));
    }

    void documentFaults_data() {
        QTest::addColumn<QByteArray>("document");
        QTest::addColumn<bool>("readable");
        QTest::addColumn<QStringList>("findings"); // "%1" is the file's path
        const QString other = ImportDocument::otherItemMessage(kCustomer, "customer");
        const QString none = ImportDocument::noRecordsMessage();
        QTest::newRow("the document of another item")
            << QByteArray("<ztinterface roottag='vendor'><vendor><code>V1</code></vendor>"
                          "</ztinterface>")
            << true << QStringList{other, "根元素下有 1 个元素“vendor”，不是customer记录", none};
        QTest::newRow("no roottag")
            << QByteArray("<ztinterface><customer><code>C1</code></customer></ztinterface>") << true
            << QStringList{ImportDocument::missingRoottagMessage("%1")};
        QTest::newRow("another root")
            << QByteArray("<interface roottag='customer'><customer><code>C1</code></customer>"
                          "</interface>")
            << true << QStringList{"根元素是“interface”，接口文档的根元素应为ztinterface"};
        QTest::newRow("no records")
            << QByteArray("<ztinterface roottag='customer'/>") << true << QStringList{none};
        QTest::newRow("an entity declared")
            << QByteArray("<!DOCTYPE ztinterface [<!ENTITY x 'y'>]><ztinterface "
                          "roottag='customer'><customer><code>&x;</code></customer></ztinterface>")
            << false
            << QStringList{ImportDocument::refusedMessage(
                   "%1", "文档类型声明中声明了实体“x”，接口文档不允许声明实体")};
        QTest::newRow("not XML")
            << QByteArray("<ztinterface roottag='customer'><customer><code>C1</code></customer>")
            << false << QStringList{ImportDocument::notXmlMessage("%1") + "（第 1 行："};
    }
    void documentFaults() {
        QFETCH(QByteArray, document);
        QFETCH(bool, readable);
        QFETCH(QStringList, findings);
        TestFolder folder;
        QVERIFY(folder.write("in/file.xml", document));
        const QString path = folder.filePath("in/file.xml");
        const ImportFileCheck check = ImportFileCheck::checkFile(AppFolder(folder.path()), path,
                                                                 itemOf(kCustomer, "customer"));
        QCOMPARE(check.isReadable(), readable);
        QStringList texts;
        for (const ImportCheckFinding& finding : check.findings())
            texts << finding.text;
        for (QString& expected : findings)
            expected.replace("%1", path);
        // A parser's message follows the line number.
        if (!readable && texts.size() == 1 && texts[0].startsWith(findings.value(0)))
            texts = findings;
        QCOMPARE(texts, findings);
        if (!readable)
            QVERIFY(check.report(kCustomer, path).contains("文件无法读取，检查未完成。"));
    }

    // Without the item's structure file the records are still checked for their keys.
    void withoutStructureFile() {
        TestFolder folder;
        QVERIFY(QFile::remove(folder.filePath("xml/rsxml/customerxmlrs.xml")));
        QVERIFY(folder.write("c.xml", "<ztinterface roottag='customer'><customer><code>C1</code>"
                                      "<x>1</x></customer><customer/></ztinterface>"));
        const AppFolder app(folder.path());
        const ImportFileCheck check = ImportFileCheck::checkFile(app, folder.filePath("c.xml"),
                                                                 itemOf(kCustomer, "customer"));
        QCOMPARE(lines(check), (QStringList{"0  项目结构文件" +
                                                app.displayPath("\\xml\\rsxml\\customerxmlrs.xml") +
                                                "不存在或其中没有字段，未检查记录的字段",
                                            "2  没有关键字段code"}));
    }

    void operationFaults_data() {
        QTest::addColumn<QString>("label");
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QStringList>("findings");
        QTest::newRow("blank: the default add") << kCustomer << "" << QStringList();
        QTest::newRow("as the rules leave it") << kCustomer << "添加|已存在时跳过" << QStringList();
        QTest::newRow("options that exclude each other")
            << kCustomer << "添加|已存在时更新|已存在时跳过"
            << QStringList{"选项“已存在时更新”与“已存在时跳过”不能同时选择"};
        QTest::newRow("an option the operation excludes")
            << kCustomer << "修改|已存在时跳过"
            << QStringList{"操作“修改”不能与选项“已存在时跳过”同时使用"};
        QTest::newRow("an option the operation requires")
            << kVoucher << "修改" << QStringList{"操作“修改”要求选项“按编码匹配科目”"};
        QTest::newRow("an operation the item does not offer")
            << kCustomer << "替换"
            << QStringList{"操作“替换”不是客户档案的操作（可选：默认、添加、修改、删除）"};
        QTest::newRow("an option of another item") << kCustomer << "添加|已存在时跳过|自动编号"
                                                   << QStringList{"客户档案没有选项“自动编号”"};
        QTest::newRow("an item without an entry")
            << "部门档案"
            << "普通|全部" << QStringList{"部门档案没有选项“全部”"};
    }
    void operationFaults() {
        QFETCH(QString, label);
        QFETCH(QString, operation);
        TestFolder folder;
        const AppFolder app(folder.path());
        OperationsFile operations;
        QVERIFY(operations.load(app));
        QTEST(checkOperationString(operation, label, operations, app), "findings");
    }

    // What would stop the import run stops the dry run too: no operations file, or an
    // operation without proc.
    void operationsFileFaults() {
        TestFolder folder;
        const AppFolder app(folder.path());
        OperationsFile operations;
        QCOMPARE(checkOperationString("添加", kCustomer, operations, app),
                 QStringList{OperationsFile::missingFileMessage(app)});
        QVERIFY(folder.write("xml/operation/ImOperation.xml",
                             "<ImOperation><g><客户档案><ops><添加/></ops></客户档案></g>"
                             "</ImOperation>"));
        QVERIFY(operations.load(app));
        QCOMPARE(checkOperationString("添加", kCustomer, operations, app),
                 QStringList{OperationsFile::missingProcMessage("添加")});
    }
};

KVX_TEST_MAIN_CORE(ImportFileCheckTest)
#include "tst_import_file_check.moc"
