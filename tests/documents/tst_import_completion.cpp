#include "documents/import_completion.h"
#include "test_folder.h"
#include "test_main.h"

using namespace kvx;

using Attributes = QList<QPair<QString, QString>>;
Q_DECLARE_METATYPE(QList<kvx::ImportOption>)

namespace {

// The options of an item's entry in the sample operations file, in file order.
QList<ImportOption> sampleOptions(const QString& itemLabel) {
    const XmlDocument operations = XmlDocument::fromFile(
        test::TestFolder::sampleDir() + QStringLiteral("/xml/operation/ImOperation.xml"));
    const XmlElement entry =
        operations.selectFirst(QStringLiteral("//*[name()=$label]"), {{"label", itemLabel}});
    QList<ImportOption> options;
    for (const XmlElement& option : entry.firstChildElement(QStringLiteral("选项")).childElements())
        options.append({option.name(), option.attribute(QStringLiteral("name")),
                        option.attribute(QStringLiteral("mode"))});
    return options;
}

// "name=value,..." in order.
QString text(const Attributes& attributes) {
    QStringList pairs;
    for (const auto& [name, value] : attributes)
        pairs << name + "=" + value;
    return pairs.join(",");
}

const OperatorCredentials kCredentials{QStringLiteral("demo"), QStringLiteral("9f2c"),
                                       QStringLiteral("2026-03-15")};

} // namespace

class ImportCompletionTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void directives_data() {
        QTest::addColumn<QString>("operation");
        QTest::addColumn<bool>("hasEntry");
        QTest::addColumn<QString>("entryProc");
        QTest::addColumn<QList<ImportOption>>("options");
        QTest::addColumn<QString>("procOverride");
        QTest::addColumn<QString>("attributes");

        const QList<ImportOption> none;
        const QList<ImportOption> voucher = sampleOptions(QStringLiteral("凭证"));
        QCOMPARE(voucher.size(), 5);

        auto row = [](const char* tag, const char* operation, bool hasEntry, const char* entryProc,
                      const QList<ImportOption>& options, const char* procOverride,
                      const char* attributes = "") {
            QTest::newRow(tag) << QString(operation) << hasEntry << QString(entryProc) << options
                               << QString(procOverride) << QString(attributes);
        };
        row("empty string", "", true, "Edit", voucher, "add");
        row("blank operation name", " |自动编号", true, "Edit", voucher, "add");
        row("no entry, 默认", "默认", false, "", none, "");
        row("no entry, 普通", "普通|", false, "", none, "");
        row("no entry, 添加", "添加", false, "", none, "Add");
        row("no entry, 删除", "删除", false, "", none, "Delete");
        row("no entry, 修改 with a caption", "修改|自动编号", false, "", none, "Edit");
        row("entry, options checked and unchecked", "添加|按名称匹配科目|自动编号", true, "Add",
            voucher, "Add", "autovoucherno=y,unbalanced=n,accountmatch=name");
        row("entry, nothing checked", "修改", true, "Edit", voucher, "Edit",
            "autovoucherno=n,unbalanced=n");
        row("entry, first without mode unchecked, second with mode checked", "默认|二", true, "add",
            {{"一", "first", ""}, {"二", "second", " kind "}}, "add", "first=n,kind=second");
        row("entry whose proc is empty", "默认", true, "", none, "");
    }
    void directives() {
        QFETCH(QString, operation);
        QFETCH(bool, hasEntry);
        QFETCH(QString, entryProc);
        QFETCH(QList<ImportOption>, options);
        const ImportDirectives directives =
            workOutImportDirectives(operation, OperationsEntry{hasEntry, entryProc, options});
        QTEST(directives.procOverride, "procOverride");
        QTEST(text(directives.optionAttributes), "attributes");
    }

    void completion_data() {
        QTest::addColumn<QByteArray>("document");
        QTest::addColumn<QString>("operation");
        QTest::addColumn<QString>("sender");
        QTest::addColumn<QString>("expected");
        auto row = [](const char* tag, const QByteArray& document, const char* operation,
                      const char* sender, const char* expected) {
            QTest::newRow(tag) << document << QString(operation) << QString(sender)
                               << QString(expected);
        };
        row("QUERY with 默认 becomes Add, blank sender keeps the file's",
            "<ztinterface roottag=\"customer\" proc=\"QUERY\" sender=\"009\"><customer/>"
            "</ztinterface>",
            "默认", " ",
            "roottag=customer,proc=Add,sender=009,codeexchanged=y,display=客户档案,family="
            "基础档案");
        row("empty operation string gives add, sender set",
            "<ztinterface roottag=\"customer\" proc=\"Edit\"><customer/></ztinterface>", "", "001",
            "roottag=customer,proc=add,codeexchanged=y,display=客户档案,family=基础档案,sender="
            "001");
        row("no proc in the file: override after sender, options first",
            "<ztinterface roottag=\"customer\"><customer/></ztinterface>", "删除|已存在时跳过",
            "001",
            "roottag=customer,updateexisting=n,skipexisting=y,codeexchanged=y,display=客户档案,"
            "family=基础档案,sender=001,proc=Delete");
        row("no override keeps the file's proc",
            "<ztinterface proc=\"Edit\" roottag=\"customer\"><customer/></ztinterface>", "普通", "",
            "proc=Edit,roottag=customer,codeexchanged=y,display=客户档案,family=基础档案");
    }
    void completion() {
        QFETCH(QByteArray, document);
        QFETCH(QString, operation);
        QFETCH(QString, sender);
        // The sample's customer entry has options; "默认" and "普通" are looked up as the
        // import run does: items with an entry use its procs.
        const bool hasEntry = operation.startsWith(QStringLiteral("删除"));
        const OperationsEntry entry{hasEntry, hasEntry ? QStringLiteral("Delete") : QString(),
                                    hasEntry ? sampleOptions(QStringLiteral("客户档案"))
                                             : QList<ImportOption>{}};
        XmlDocument doc = XmlDocument::fromBytes(document);
        QString error;
        QVERIFY(completeImportDocument(doc, workOutImportDirectives(operation, entry),
                                       {QStringLiteral("y"), QStringLiteral("客户档案"),
                                        QStringLiteral("基础档案"), sender, kCredentials},
                                       &error));
        QTEST(text(doc.root().attributes()), "expected");
        // The operator's credentials come last.
        const QList<XmlElement> children = doc.root().childElements();
        QCOMPARE(children.size(), 2);
        QCOMPARE(children.last().name(), QStringLiteral("opinfo"));
        QCOMPARE(text(children.last().attributes()),
                 QStringLiteral("operator=demo,pwd=9f2c,date=2026-03-15"));
    }

    void optionNamingNoAttributeFails() {
        XmlDocument doc = XmlDocument::fromBytes("<ztinterface roottag=\"x\"><x/></ztinterface>");
        const OperationsEntry entry{true, QStringLiteral("Add"), {{"坏", "bad name", ""}}};
        QString error;
        QVERIFY(
            !completeImportDocument(doc, workOutImportDirectives(QStringLiteral("添加|坏"), entry),
                                    {QStringLiteral("n"), "x", "g", "001", kCredentials}, &error));
        QVERIFY(error.contains(QStringLiteral("bad name")));
        QVERIFY(doc.root().firstChildElement(QStringLiteral("opinfo")).isNull());
    }
};

KVX_TEST_MAIN_CORE(ImportCompletionTest)
#include "tst_import_completion.moc"
