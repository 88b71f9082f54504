#include "find_control.h"
#include "operator_input.h"
#include "replace/field_label.h"
#include "replace/frm_replace.h"
#include "replace/replace_settings.h"
#include "test_folder.h"
#include "test_main.h"
#include "test_services.h"

#include <QComboBox>
#include <QDir>
#include <QPushButton>
#include <QRadioButton>
#include <QTreeWidget>

using namespace kvx;

namespace {

const QString kReplaceFile = QStringLiteral("xml/operation/replace.xml");

// Every path of the label source table, each element with a label but `nodisp`.
const char kStructure[] = R"(<xmlrs>
  <voucher><header><vt display="凭证类别"/></header>
    <body><entry><acc display="科目"/></entry></body></voucher>
  <internalbalance><common><dept display="部门"/></common></internalbalance>
  <common><dept display="分管部门"/><nodisp/></common>
  <header><vendor display="供应商"/></header><body><inv display="存货"/></body>
</xmlrs>)";

// A field entry of the item as the replace file holds it.
QString fieldOf(const test::TestFolder& folder, const QString& item, int row) {
    const XmlDocument doc = XmlDocument::fromFile(folder.filePath(kReplaceFile));
    const XmlElement entry = doc.root().firstChildElement("replace").firstChildElement(item);
    return entry.childElements().value(row).toXml();
}

// The window on a sample folder, standing alone.
struct Window {
    test::TestFolder folder;
    test::TestServices s{folder.path()};
    std::unique_ptr<FrmReplace> frm;

    void open() {
        frm = std::make_unique<FrmReplace>(s.services);
        frm->show();
        frm->activateWindow();
        if (!QTest::qWaitForWindowActive(frm.get()))
            qFatal("the window did not become active");
    }
    template <typename T = QPushButton> T* find(const char* name) const {
        return findControl<T>(frm.get(), QString::fromLatin1(name));
    }
    QTreeWidget* list() const { return find<QTreeWidget>("LvwRep"); }
    bool selectRow(int row) const { return test::clickNode(list(), list()->topLevelItem(row)); }
    void click(const char* name) const { QTest::mouseClick(find<QWidget>(name), Qt::LeftButton); }
    // Per option button, OptYes OptNo OptCode OptName: x checked, o not, - disabled.
    QString options() const {
        QString state;
        for (const char* name : {"OptYes", "OptNo", "OptCode", "OptName"}) {
            const auto* option = find<QRadioButton>(name);
            state += option->isChecked() ? 'x' : option->isEnabled() ? 'o' : '-';
        }
        return state;
    }
};

} // namespace

class ReplaceTest : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void labelSource_data() {
        QTest::addColumn<QString>("item");
        QTest::addColumn<QString>("field");
        QTest::addColumn<QString>("label");
        const auto row = [](const char* tag, const char* item, const char* field,
                            const char* label) {
            QTest::newRow(tag) << QString(item) << QString(field) << QString(label);
        };
        row("voucher header", "voucher", R"(HeadorBody="H" RepAttr="vt")", "凭证类别");
        row("voucher body by Access", "voucher", R"(HeadorBody="B" RepAttr="vt" Access="acc")",
            "科目");
        row("voucher body without Access", "voucher", R"(HeadorBody="B" RepAttr="acc")", "acc");
        row("voucher without part", "voucher", R"(RepAttr="vt")", "vt");
        row("internalbalance", "internalbalance", R"(RepAttr="dept")", "部门");
        row("common", "customer", R"(RepAttr="dept")", "分管部门");
        row("header suffixed", "saleorder", R"(HeadorBody="H" RepAttr="vendor")", "供应商-主表");
        row("body suffixed", "saleorder", R"(HeadorBody="B" RepAttr="inv")", "存货-子表");
        row("no element, no suffix", "saleorder", R"(HeadorBody="H" RepAttr="inv")", "inv");
        row("no display", "customer", R"(RepAttr="nodisp")", "nodisp");
        row("other part", "customer", R"(HeadorBody="h" RepAttr="dept")", "dept");
        row("name that is a path", "customer", R"(RepAttr="dept/..")", "dept/..");
    }
    void labelSource() {
        QFETCH(QString, item);
        QFETCH(QString, field);
        const XmlDocument structure = XmlDocument::fromBytes(kStructure);
        const XmlDocument entry = XmlDocument::fromString("<Item " + field + "/>");
        QTEST(fieldLabel(item, entry.root(), structure.root()), "label");
    }

    // Items offered, rows with targets that are never offered, and the choices as read
    // (letter case ignored).
    void itemsRowsAndChoices() {
        test::TestFolder folder;
        ReplaceSettings settings{AppFolder(folder.path())};
        QString error;
        QVERIFY(settings.open(&error));
        QCOMPARE(settings.items().join(' '),
                 QString("凭证 内部往来 客户档案 存货档案 采购发票 销售发票 销售订单"));
        QVERIFY(settings.chooseItem("凭证(总账)", &error));
        QCOMPARE(settings.rows().size(), 10);
        QCOMPARE(settings.rows()[8], (ReplaceFieldRow{"项目编号", "项目档案"}));
        QCOMPARE(settings.chooseField(8), (ReplaceChoices{true, false}));
        QCOMPARE(settings.chooseField(1), (ReplaceChoices{}));
        QCOMPARE(settings.chooseField(9), (ReplaceChoices{false, std::nullopt}));
        QVERIFY(!settings.chooseField(10));
        QVERIFY(!settings.chooseItem("凭证(", &error));
    }

    void replaceFileFailures_data() {
        QTest::addColumn<QByteArray>("content"); // empty: no file
        QTest::addColumn<QString>("message");
        QTest::newRow("missing") << QByteArray() << " 文件不存在或不合法";
        QTest::newRow("malformed") << QByteArray("<kvxreplace><replace>") << " 文件不存在或不合法";
        QTest::newRow("no replace element")
            << QByteArray("<kvxreplace/>") << " 文件名不存在或不合法";
    }
    // Reported, nothing offered, and nothing written over the file.
    void replaceFileFailures() {
        QFETCH(QByteArray, content);
        QFETCH(QString, message);
        Window w;
        QFile::remove(w.folder.filePath(kReplaceFile));
        if (!content.isEmpty())
            w.folder.write(kReplaceFile, content);
        w.open();
        QCOMPARE(w.s.prompter.texts(),
                 QStringList{QDir::toNativeSeparators(w.folder.filePath(kReplaceFile)) + message});
        QCOMPARE(w.s.prompter.last().icon, Prompter::Icon::None);
        QCOMPARE(w.find<QComboBox>("CmbRep")->count(), 0);
        w.click("cmdOk");
        QVERIFY(!w.frm->isVisible());
        QCOMPARE(w.folder.read(kReplaceFile), content);
    }

    // A row's choices are normalized in memory without offering to apply; a read-only file is
    // written by apply; exit drops what was not applied; OK writes and closes.
    void applyExitAndOk() {
        Window w;
        const QString path = w.folder.filePath(kReplaceFile);
        QVERIFY(QFile::setPermissions(path, QFile::ReadOwner | QFile::ReadUser));
        const QByteArray before = w.folder.read(kReplaceFile);
        w.open();
        QCOMPARE(w.options(), QString("----"));
        QVERIFY(w.selectRow(8));
        QCOMPARE(w.options(), QString("xoox"));
        QVERIFY(!w.find("CmdApply")->isEnabled());
        QCOMPARE(w.folder.read(kReplaceFile), before);

        w.click("OptNo");
        w.click("CmdApply");
        QVERIFY(!w.find("CmdApply")->isEnabled());
        QVERIFY(QFile::permissions(path) & QFile::WriteOwner);
        QVERIFY(fieldOf(w.folder, "voucher", 8).contains(R"(EnReplace="N" CorN="N")"));

        const QByteArray applied = w.folder.read(kReplaceFile);
        w.click("OptCode");
        QVERIFY(w.find("CmdApply")->isEnabled());
        w.click("CmdEsc");
        QVERIFY(!w.frm->isVisible());
        QCOMPARE(w.folder.read(kReplaceFile), applied);

        w.open();
        QVERIFY(w.selectRow(0));
        w.click("OptCode");
        w.click("cmdOk");
        QVERIFY(!w.frm->isVisible());
        QVERIFY(fieldOf(w.folder, "voucher", 0).contains(R"(EnReplace="Y" CorN="C")"));
        QVERIFY(w.s.prompter.records().isEmpty());
    }

    // A missing structure file empties the list, so no choice reaches the previous item's
    // fields; a failed write is reported and keeps the window and its changes.
    void missingStructureAndFailedWrite() {
        Window w;
        QFile::remove(w.folder.filePath("xml/rsxml/internalbalancexmlrs.xml"));
        w.open();
        QVERIFY(w.selectRow(0));
        w.click("OptCode");
        auto* items = w.find<QComboBox>("CmbRep");
        QVERIFY(test::chooseEntry(items, items->itemText(1)));
        const QString structure = w.folder.filePath("xml/rsxml/internalbalancexmlrs.xml");
        QCOMPARE(w.s.prompter.texts(),
                 QStringList{QDir::toNativeSeparators(structure) + " 文件名不存在或不合法"});
        QCOMPARE(w.list()->topLevelItemCount(), 0);
        QCOMPARE(w.options(), QString("----"));

        // A folder where the file was: no user, root included, can replace it by a file.
        const QString path = w.folder.filePath(kReplaceFile);
        QVERIFY(QFile::remove(path) && QDir().mkdir(path));
        w.click("cmdOk");
        QVERIFY(w.frm->isVisible());
        QVERIFY(w.find("CmdApply")->isEnabled());
        QVERIFY(w.s.prompter.last().text.startsWith(QDir::toNativeSeparators(path) + "保存失败！"));
        QVERIFY(QDir().rmdir(path));
        w.click("CmdApply");
        QVERIFY(fieldOf(w.folder, "voucher", 0).contains(R"(EnReplace="Y" CorN="C")"));
    }
};

KVX_TEST_MAIN(ReplaceTest)
#include "tst_replace.moc"
