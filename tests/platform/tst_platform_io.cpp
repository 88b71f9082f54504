#include "platform/app_folder.h"
#include "platform/password_encryptor.h"
#include "platform/user_app_folder.h"
#include "platform/xml/xml_child_writer.h"
#include "platform/xml/xml_document.h"
#include "platform/xml/xml_outline.h"
#include "platform/xml/xml_parser.h"
#include "test_folder.h"
#include "test_main.h"

#include <QDir>
#include <QDirIterator>
#include <QScopeGuard>

using namespace kvx;

namespace {

// An installed program's folder, <root>/usr/bin, with the sample installed beside it.
struct Installation {
    Installation() {
        QDir().mkpath(bin());
        QDirIterator it(test::TestFolder::sampleDir(), QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString source = it.next();
            const QString target =
                sample() + '/' + QDir(test::TestFolder::sampleDir()).relativeFilePath(source);
            QDir().mkpath(QFileInfo(target).absolutePath());
            QFile::copy(source, target);
        }
    }
    QString bin() const { return root.path() + "/usr/bin"; }
    QString sample() const { return root.path() + "/usr/share/kvx/sample"; }
    QString home() const { return root.path() + "/home"; }
    // Every file below the folder with its bytes.
    static QMap<QString, QByteArray> contents(const QString& folder) {
        QMap<QString, QByteArray> files;
        QDirIterator it(folder, QDir::Files | QDir::Hidden | QDir::System,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            QFile file(it.next());
            file.open(QIODevice::ReadOnly);
            files.insert(QDir(folder).relativeFilePath(file.fileName()), file.readAll());
        }
        return files;
    }

    test::TestFolder root{test::TestFolder::Content::Empty};
};

// Sets the variables for the test's time; what was there before comes back.
auto environment(const QMap<QByteArray, QString>& values) {
    QMap<QByteArray, std::optional<QByteArray>> saved;
    for (const QByteArray& name :
         {QByteArray("HOME"), QByteArray("XDG_DATA_HOME"), QByteArray("KVX_APP_DIR")}) {
        saved.insert(name,
                     qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt);
        if (values.contains(name))
            qputenv(name, values.value(name).toUtf8());
        else
            qunsetenv(name);
    }
    return qScopeGuard([saved] {
        for (auto it = saved.begin(); it != saved.end(); ++it) {
            if (it.value())
                qputenv(it.key(), *it.value());
            else
                qunsetenv(it.key());
        }
    });
}

// "堃" is in GBK (code page 936) but not in GB2312.
const QString kGbkOnly = QStringLiteral("堃");
// "𠀀" (U+20000) is in neither: GB18030 holds it in four bytes.
const QString kOutsideGbk = QString::fromUcs4(U"\U00020000");

} // namespace

class PlatformIoTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void resolvesPathsWithoutRegardToCase() {
        test::TestFolder folder(test::TestFolder::Content::Empty);
        folder.write(QStringLiteral("xml/operation/Dir.xml"), "<r/>");
        AppFolder app(folder.path());
        QCOMPARE(app.resolve(QStringLiteral("\\Xml\\Operation\\dir.xml")),
                 folder.path() + QStringLiteral("/xml/operation/Dir.xml"));
        // Missing components keep the spelling asked for.
        QCOMPARE(app.resolve(QStringLiteral("\\XML\\new\\Kvxtemp.xml")),
                 folder.path() + QStringLiteral("/xml/new/Kvxtemp.xml"));
        QCOMPARE(app.displayPath(QStringLiteral("\\xml.ini")),
                 QDir::toNativeSeparators(folder.path() + QStringLiteral("/xml.ini")));
    }

    // Which folder a program works on: an installed one the user's (XDG_DATA_HOME/kvx, else
    // ~/.local/share/kvx), one in its build folder that folder, either KVX_APP_DIR when set.
    void choosesTheApplicationFolder_data() {
        QTest::addColumn<bool>("installed");
        QTest::addColumn<QStringList>("variables");
        QTest::addColumn<QString>("expected");
        QTest::newRow("build folder") << false << QStringList{"HOME", "XDG_DATA_HOME"} << "bin";
        QTest::newRow("installed") << true << QStringList{"HOME", "XDG_DATA_HOME"} << "data/kvx";
        QTest::newRow("installed, no XDG_DATA_HOME")
            << true << QStringList{"HOME"} << "home/.local/share/kvx";
        QTest::newRow("installed, KVX_APP_DIR")
            << true << QStringList{"HOME", "XDG_DATA_HOME", "KVX_APP_DIR"} << "chosen";
        QTest::newRow("build folder, KVX_APP_DIR")
            << false << QStringList{"KVX_APP_DIR"} << "chosen";
    }
    void choosesTheApplicationFolder() {
        QFETCH(bool, installed);
        QFETCH(QStringList, variables);
        QFETCH(QString, expected);
        Installation at;
        if (!installed)
            QDir(at.sample()).removeRecursively();
        const QMap<QByteArray, QString> all = {{"HOME", at.home()},
                                               {"XDG_DATA_HOME", at.root.path() + "/data"},
                                               {"KVX_APP_DIR", at.root.path() + "/chosen"}};
        QMap<QByteArray, QString> set;
        for (const QString& name : variables)
            set.insert(name.toLatin1(), all.value(name.toLatin1()));
        const auto restore = environment(set);
        const QString folder = expected == "bin" ? at.bin() : at.root.path() + '/' + expected;

        QCOMPARE(UserAppFolder::choose(at.bin()).root(), folder);
        const UserAppFolder::Outcome outcome = UserAppFolder::prepare(at.bin());
        QCOMPARE(outcome.folder.root(), folder);
        QCOMPARE(outcome.error, QString());
        // Only the user's folder is made, and only from the installed sample.
        const bool made = installed && expected != "chosen";
        QCOMPARE(outcome.created(), made);
        QCOMPARE(QFileInfo(folder).isDir(), made || expected == "bin");
        if (made) {
            QCOMPARE(Installation::contents(folder), Installation::contents(at.sample()));
            QVERIFY(outcome.createdMessage().contains(QDir::toNativeSeparators(folder)));
        }
    }

    // The first start makes the folder; later starts keep what the operator changed there.
    void userFolderIsMadeOnce() {
        Installation at;
        const auto restore = environment({{"HOME", at.home()}});
        const QString folder = at.home() + "/.local/share/kvx";
        QVERIFY(UserAppFolder::prepare(at.bin()).created());
        QVERIFY(QFile::remove(folder + "/xml/operation/schedule.xml"));
        const UserAppFolder::Outcome again = UserAppFolder::prepare(at.bin());
        QVERIFY(!again.created());
        QCOMPARE(again.error, QString());
        QVERIFY(!QFileInfo::exists(folder + "/xml/operation/schedule.xml"));
    }

    // A folder that cannot be made is reported, and no half copy is left to be taken for it
    // at the next start.
    void userFolderThatCannotBeMade_data() {
        QTest::addColumn<QString>("obstacle");
        QTest::addColumn<QString>("reason");
        QTest::newRow("a file in its place") << "file"
                                             << "同名的文件已存在。";
        QTest::newRow("a sample file that cannot be read") << "dangling link"
                                                           << "无法复制";
    }
    void userFolderThatCannotBeMade() {
        QFETCH(QString, obstacle);
        QFETCH(QString, reason);
        Installation at;
        const auto restore = environment({{"HOME", at.home()}});
        const QString share = at.home() + "/.local/share";
        QDir().mkpath(share);
        if (obstacle == "file")
            QVERIFY(QFile(share + "/kvx").open(QIODevice::WriteOnly));
        else
            QVERIFY(QFile::link(at.root.path() + "/nowhere", at.sample() + "/xml/gone.xml"));

        const UserAppFolder::Outcome outcome = UserAppFolder::prepare(at.bin());
        QVERIFY(!outcome.created());
        QVERIFY2(outcome.error.startsWith("应用目录" + QDir::toNativeSeparators(share + "/kvx") +
                                          "无法建立："),
                 qPrintable(outcome.error));
        QVERIFY2(outcome.error.contains(reason), qPrintable(outcome.error));
        QCOMPARE(QDir(share).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot),
                 obstacle == "file" ? QStringList{"kvx"} : QStringList{});
    }

    // The password component's known answer (the README's recipe gives the same), and its
    // output for other texts.
    void encryptorKnownAnswer() {
        const PasswordEncryptor e;
        QCOMPARE(
            e.ascPwd(QStringLiteral("demo")),
            QStringLiteral("fc471e95690c92152037f5fc41a5531c0dc5f335fb33d42770eb0fe9260b094c"));
        QVERIFY(e.ascPwd(QStringLiteral("demo")) != e.ascPwd(QStringLiteral("demo ")));
        QVERIFY(QRegularExpression(QStringLiteral("^[0-9a-f]{64}$"))
                    .match(e.ascPwd(QStringLiteral("密码")))
                    .hasMatch());
    }

    void gb2312FileRoundTrip() {
        test::TestFolder folder(test::TestFolder::Content::Empty);
        QByteArray bytes = "<?xml version=\"1.0\" encoding=\"gb2312\"?><r n=\"";
        bytes += QByteArray(QStringEncoder("GB18030").encode(kGbkOnly));
        bytes += "\">\xd6\xd0</r>"; // 中
        folder.write(QStringLiteral("a.xml"), bytes);
        QString error;
        XmlDocument doc = XmlDocument::fromFile(folder.filePath(QStringLiteral("a.xml")), &error);
        QVERIFY2(!doc.isNull(), qPrintable(error));
        QCOMPARE(doc.root().attribute(QStringLiteral("n")), kGbkOnly);
        QCOMPARE(doc.root().text(), QStringLiteral("中"));
        QCOMPARE(doc.encoding().toLower(), QStringLiteral("gb2312"));

        // Saved in the declared encoding, with references for what it cannot hold.
        doc.root().setAttribute(QStringLiteral("n"), kGbkOnly + kOutsideGbk);
        doc.root().setText(QStringLiteral("中") + kOutsideGbk);
        const QByteArray saved = doc.toBytes();
        QVERIFY(saved.startsWith("<?xml version=\"1.0\" encoding=\"gb2312\"?>"));
        QVERIFY(saved.contains("&#131072;"));
        QVERIFY(saved.contains(QByteArray(QStringEncoder("GB18030").encode(kGbkOnly))));
        const XmlDocument again = XmlDocument::fromBytes(saved);
        QCOMPARE(again.root().attribute(QStringLiteral("n")), kGbkOnly + kOutsideGbk);
        QCOMPARE(again.root().text(), QStringLiteral("中") + kOutsideGbk);
    }

    // An element name the encoding cannot hold would make a broken file.
    void elementNamesDecideTheWrittenEncoding_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("declaration");
        QTest::newRow("Chinese") << QStringLiteral("采购发票") << QByteArray("gb2312");
        // Hangul is a letter in XML names but is not in GBK.
        QTest::newRow("Hangul") << QStringLiteral("项한") << QByteArray("GB18030");
        // Names the parser reads though libxml2's older name rules refuse them.
        QTest::newRow("fullwidth digit") << QStringLiteral("客户档８") << QByteArray("gb2312");
        QTest::newRow("extension A") << QStringLiteral("㐀") << QByteArray("GB18030");
    }
    void elementNamesDecideTheWrittenEncoding() {
        QFETCH(QString, name);
        QFETCH(QByteArray, declaration);
        XmlDocument doc = XmlDocument::create(QStringLiteral("KVX管理系统"));
        doc.root().appendChild(name).setText(QStringLiteral("x"));
        const QByteArray bytes = doc.toBytes();
        QVERIFY(bytes.startsWith("<?xml version=\"1.0\" encoding=\"" + declaration + "\"?>"));
        QCOMPARE(XmlDocument::fromBytes(bytes).root().firstChildElement().name(), name);
        QCOMPARE(doc.encoding(), QStringLiteral("gb2312")); // the document keeps its own
    }

    // Interface documents need no entities: a declaration of one, or an external subset, makes
    // the whole document refused, read from bytes, from a file or by a parser used before.
    void documentTypeDeclarations_data() {
        QTest::addColumn<QByteArray>("prolog");
        QTest::addColumn<QString>("refusal");
        const QString entity = QStringLiteral("文档类型声明中声明了实体“%1”");
        const QString external = QStringLiteral("文档类型声明引用了外部文件“%1”");
        QTest::newRow("none") << QByteArray() << QString();
        QTest::newRow("bare") << QByteArray("<!DOCTYPE r>") << QString();
        QTest::newRow("element declarations only")
            << QByteArray("<!DOCTYPE r [<!ELEMENT r ANY>]>") << QString();
        QTest::newRow("internal entity")
            << QByteArray("<!DOCTYPE r [<!ENTITY co \"ACME\">]>") << entity.arg("co");
        QTest::newRow("external entity")
            << QByteArray("<!DOCTYPE r [<!ENTITY x SYSTEM \"file:///etc/passwd\">]>")
            << entity.arg("x");
        QTest::newRow("unparsed entity")
            << QByteArray("<!DOCTYPE r [<!NOTATION n SYSTEM \"n\"><!ENTITY u SYSTEM \"u\" "
                          "NDATA n>]>")
            << entity.arg("u");
        QTest::newRow("parameter entity")
            << QByteArray("<!DOCTYPE r [<!ENTITY % p \"<!ENTITY q 'x'>\"> %p;]>")
            << entity.arg("p");
        QTest::newRow("external subset") << QByteArray("<!DOCTYPE r SYSTEM \"file:///etc/passwd\">")
                                         << external.arg("file:///etc/passwd");
        QTest::newRow("public identifier")
            << QByteArray("<!DOCTYPE r PUBLIC \"-//X//Y\" \"y.dtd\">") << external.arg("y.dtd");
        QByteArray laughs = "<!DOCTYPE r [<!ENTITY a \"" + QByteArray(50000, 'a') + "\">";
        laughs += "<!ENTITY b \"" + QByteArray("&a;").repeated(2000) + "\">]>";
        QTest::newRow("amplification") << laughs << entity.arg("a");
    }
    void documentTypeDeclarations() {
        QFETCH(QByteArray, prolog);
        QFETCH(QString, refusal);
        const QByteArray bytes = "<?xml version=\"1.0\"?>" + prolog + "<r a=\"1\"><b/></r>";
        test::TestFolder folder(test::TestFolder::Content::Empty);
        folder.write(QStringLiteral("d.xml"), bytes);
        XmlParser parser;
        QString errors[4];
        bool refused = false;
        const XmlDocument read[] = {
            XmlDocument::fromBytes(bytes, &errors[0], &refused),
            XmlDocument::fromFile(folder.filePath(QStringLiteral("d.xml")), &errors[1]),
            parser.parse(bytes, &errors[2]), parser.parse(bytes, &errors[3])};
        QCOMPARE(refused, !refusal.isEmpty());
        for (int i = 0; i < 4; ++i) {
            QCOMPARE(read[i].isNull(), !refusal.isEmpty());
            QVERIFY2(errors[i].startsWith(refusal), qPrintable(errors[i]));
            if (!refusal.isEmpty())
                continue;
            QCOMPARE(read[i].root().attribute(QStringLiteral("a")), QStringLiteral("1"));
            QVERIFY(XmlDocument::fromBytes(read[i].toBytes()).root().hasChildElements());
        }
        // The parser refuses, and reads a plain document after it.
        QVERIFY(!parser.parse("<r><b/></r>").isNull());
    }

    // A parse error is libxml2's reason on one line: the bytes it echoes from the broken
    // document (unreadable ones too, read apart by each reader) are left out.
    void parseErrorsAreOneLine() {
        const QByteArray bytes =
            "<r----------<!----------6-----" + QByteArray(40, '\xF6') + "------/>";
        QString error;
        QVERIFY(XmlDocument::fromBytes(bytes, &error).isNull());
        QCOMPARE(error, QStringLiteral("第 1 行：Comment not terminated"));
        QCOMPARE(XmlOutline::scan(bytes).error, error);
    }

    // U+FEFF is a character of names and values like any other, also where it comes first,
    // not a byte order mark; the outline reads names as the tree does.
    void leadingFeffIsACharacter_data() {
        QTest::addColumn<QString>("name");
        const QString feff(QChar(0xFEFF));
        QTest::newRow("after a prefix") << "p:" + feff + "a";
        QTest::newRow("alone") << feff;
        QTest::newRow("twice, first") << feff + feff + "b";
    }
    void leadingFeffIsACharacter() {
        QFETCH(QString, name);
        const QString value = name.section(QLatin1Char(':'), -1);
        const QByteArray bytes =
            QStringLiteral("<%1 v=\"%2\"><%1>%2</%1></%1>").arg(name, value).toUtf8();
        const XmlDocument tree = XmlDocument::fromBytes(bytes);
        QCOMPARE(tree.root().name(), name);
        QCOMPARE(tree.root().attribute(QStringLiteral("v")), value);
        QCOMPARE(tree.root().text(), value);
        const XmlOutline outline = XmlOutline::scan(bytes);
        QCOMPARE(outline.rootName, name);
        QCOMPARE(outline.rootChildCounts.keys(), QList{name});
    }

    // An element's text is libxml2's text of it, whichever way it is written.
    void elementsAsText_data() {
        QTest::addColumn<QByteArray>("declaration");
        QTest::addColumn<QByteArray>("content");
        const QByteArray utf8 = "<?xml version=\"1.0\" encoding=\"UTF-8\"?>";
        QTest::newRow("escapes") << utf8
                                 << QByteArray("<a x=\"q&quot;&lt;&gt;&amp;&#10;&#13;&#9;'\">"
                                               "a&lt;b&gt;c&amp;&#13;\"'\n</a>");
        QTest::newRow("empty") << utf8 << QByteArray("<a x=\"\"/><b></b>");
        QTest::newRow("cdata") << utf8 << QByteArray("<a><![CDATA[x<y&]]><![CDATA[]]></a>");
        QTest::newRow("comment") << utf8 << QByteArray("<a><!--c--><?p q?></a>");
        QTest::newRow("namespace") << utf8 << QByteArray("<p:a xmlns:p=\"urn:p\" p:x=\"1\"/>");
        QTest::newRow("Chinese") << utf8 << QByteArray("<a x=\"中\">文</a>");
    }
    void elementsAsText() {
        QFETCH(QByteArray, declaration);
        QFETCH(QByteArray, content);
        // Text beside the children keeps libxml2 from indenting the whole document.
        const XmlDocument doc = XmlDocument::fromBytes(declaration + "<r>t" + content + "</r>");
        const QString whole = doc.toString();
        QCOMPARE(doc.root().toXml(), whole.mid(whole.indexOf(u'\n') + 1).chopped(1));
    }

    // A document written child by child is the document written whole, whether a child is
    // handed over as an element or as its text.
    void childWriterWritesTheWholeDocument_data() {
        QTest::addColumn<QString>("children");
        QTest::addColumn<QByteArray>("declaration");
        QTest::newRow("none") << QString() << QByteArray("gb2312");
        QTest::newRow("text and attributes")
            << QStringLiteral("<a k=\"中&amp;%1\">\n  <b>%1 &lt;x&gt;</b>\n</a><c/>")
                   .arg(kOutsideGbk)
            << QByteArray("gb2312");
        QTest::newRow("name only GB18030 holds")
            << QStringLiteral("<项한>x</项한>") << QByteArray("GB18030");
    }
    void childWriterWritesTheWholeDocument() {
        QFETCH(QString, children);
        QFETCH(QByteArray, declaration);
        const XmlDocument source =
            XmlDocument::fromString(QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>"
                                                   "<r a=\"1\">%1</r>")
                                        .arg(children));
        XmlDocument whole = XmlDocument::create(QStringLiteral("ztinterface"));
        whole.root().setAttribute(QStringLiteral("n"), QStringLiteral("名"));
        XmlChildWriter byElement(whole);
        XmlChildWriter byText(whole);
        for (const XmlElement& child : source.root().childElements()) {
            whole.root().appendCopy(child);
            byElement.append(child);
            QSet<QByteArray> names;
            if (declaration == "GB18030")
                names.insert(child.name().toUtf8());
            byText.appendXml(child.toXmlUtf8(), names);
        }
        const QByteArray expected = whole.toBytes();
        QVERIFY(expected.startsWith("<?xml version=\"1.0\" encoding=\"" + declaration + "\"?>"));
        QCOMPARE(byElement.finish(), expected);
        QCOMPARE(byText.finish(), expected);
    }

    void xpathVariablesTreatQuotesAsText() {
        XmlDocument doc = XmlDocument::fromBytes(
            "<r><item name=\"O'Brien\" code=\"a]b\"/><item name=\"x\" code=\"\"/></r>");
        const XmlElement found = doc.selectFirst(QStringLiteral("//item[@name=$n and @code=$c]"),
                                                 {{QStringLiteral("n"), QStringLiteral("O'Brien")},
                                                  {QStringLiteral("c"), QStringLiteral("a]b")}});
        QVERIFY(!found.isNull());
        QCOMPARE(found.attribute(QStringLiteral("code")), QStringLiteral("a]b"));
        QVERIFY(doc.select(QStringLiteral("//item[@name=")).isEmpty()); // malformed: nothing
    }
};

KVX_TEST_MAIN_CORE(PlatformIoTest)
#include "tst_platform_io.moc"
