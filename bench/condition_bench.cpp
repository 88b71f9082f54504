// Condition file benchmark.
//   condition_bench generate <file> <items>  writes a GB2312 condition file
//   condition_bench run <app folder> <items>    opens the file, stores every item, writes it
//   condition_bench read <app folder> <items>   opens the file, reads every item
//   condition_bench verify <app folder> <items> checks what run wrote
#include "conditions/condition_document.h"
#include "conditions/item_structure.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QStringBuilder>
#include <QTextStream>
#include <map>

using namespace kvx;

namespace {

struct ExchangeItem {
    QString name;
    QString label;
};

const QList<ExchangeItem> kItems = {{"department", "部门档案"},      {"person", "职员档案"},
                                    {"customer", "客户档案"},        {"vendor", "供应商档案"},
                                    {"inventory", "存货档案"},       {"warehouse", "仓库档案"},
                                    {"accountcode", "会计科目"},     {"voucher", "凭证"},
                                    {"internalbalance", "内部往来"}, {"purchaseorder", "采购订单"},
                                    {"purchaseinvoice", "采购发票"}, {"payable", "应付单"},
                                    {"paymentbill", "付款单"},       {"saleorder", "销售订单"},
                                    {"dispatchlist", "发货单"},      {"saleinvoice", "销售发票"},
                                    {"receivable", "应收单"},        {"receiptbill", "收款单"},
                                    {"purchasein", "采购入库单"},    {"saleout", "销售出库单"},
                                    {"otherin", "其他入库单"},       {"otherout", "其他出库单"}};

// Item i of the file: exchange item i mod 22, the template first, then codes 00001...
struct Key {
    const ExchangeItem& item;
    QString code;
};
Key keyOf(int i) {
    const int round = i / int(kItems.size());
    return {kItems[i % kItems.size()],
            round == 0 ? QString() : QStringLiteral("%1").arg(round, 5, 10, QLatin1Char('0'))};
}

QTextStream& out() {
    static QTextStream stream(stdout);
    return stream;
}

int generate(const QString& path, int count) {
    XmlDocument doc = XmlDocument::create(QStringLiteral("condition"));
    for (int i = 0; i < count; ++i) {
        const Key key = keyOf(i);
        XmlElement item = doc.root().appendChild(key.item.name);
        item.setAttribute("name", key.item.label);
        item.setAttribute("code", key.code);
        item.setAttribute("importfile", QStringLiteral("D:\\导入\\%1.xml").arg(i));
        item.setAttribute("exportfile", QStringLiteral("D:\\导出\\%1.xml").arg(i));
        if (i % 5 == 0) {
            XmlElement kept = item.appendChild("field");
            kept.setAttribute("preserved", "1");
            kept.setAttribute("display", "停用");
            kept.setAttribute("name", "disabled");
            kept.setAttribute("operation", "=");
            kept.setAttribute("value", "0");
            kept.setAttribute("logic", "and");
        }
        for (int f = 0; f < 4; ++f) {
            XmlElement field = item.appendChild("field");
            field.setAttribute("display", QStringLiteral("编码"));
            field.setAttribute("name", "code");
            field.setAttribute("operation", ">=");
            field.setAttribute("value", QStringLiteral("C%1-%2").arg(i).arg(f));
            field.setAttribute("logic", f == 3 ? "" : "and");
        }
    }
    return doc.save(path) ? 0 : 1;
}

// The editor's grid for item i: four rows on the item's own fields, as its cells hold them.
QList<ConditionRow> rowsOf(const QString& number, const QList<ConditionField>& offered) {
    QList<ConditionRow> rows;
    rows.reserve(4);
    for (int f = 0; f < 4; ++f) {
        const ConditionField field =
            offered.isEmpty() ? ConditionField{QStringLiteral("编码"), QStringLiteral("文本")}
                              : offered[f % offered.size()];
        rows.append(
            {field.display, QStringLiteral(">="),
             QLatin1Char('C') % number % QLatin1Char('-') % QChar(u'0' + f) % QLatin1Char('+'),
             QStringLiteral("and"), field.type});
    }
    return rows;
}

bool open(ConditionDocument& doc) {
    QString error;
    if (doc.OpenConditionDocument(false, &error))
        return true;
    out() << error << Qt::endl;
    return false;
}

// What saving every item in the editor does: open, store each item, write.
int run(const AppFolder& folder, int count) {
    QElapsedTimer timer;
    timer.start();
    ConditionDocument doc(folder);
    if (!open(doc))
        return 1;
    std::map<QString, ItemStructure> structures;
    std::map<QString, QList<ConditionField>> offered;
    for (const ExchangeItem& item : kItems) {
        ItemStructure fields = ItemStructure::load(folder, item.name);
        offered.emplace(item.name, fields.LoadFieldList());
        structures.emplace(item.name, std::move(fields));
    }
    const qint64 loaded = timer.restart();

    for (int i = 0; i < count; ++i) {
        const Key key = keyOf(i);
        const QString number = QString::number(i);
        const auto stored = doc.StoreConditionItem(
            key.item.name, key.item.label, key.code,
            QStringLiteral("D:\\导入\\") + number + QStringLiteral(".xml"),
            QStringLiteral("D:\\导出\\") + number + QStringLiteral(".xml"),
            rowsOf(number, offered.at(key.item.name)), structures.at(key.item.name));
        if (!stored) {
            out() << "item " << i << " not stored" << Qt::endl;
            return 1;
        }
    }
    // A first save for a new code copies the template.
    for (const ExchangeItem& item : kItems) {
        doc.StoreConditionItem(item.name, item.label, QStringLiteral("NEW"), "", "", {},
                               structures.at(item.name));
    }
    const qint64 stored = timer.restart();

    QString error;
    if (!doc.WriteConditionFile(&error)) {
        out() << error << Qt::endl;
        return 1;
    }
    out() << "  open " << loaded << " ms, store " << stored << " ms, write " << timer.elapsed()
          << " ms" << Qt::endl;
    return 0;
}

// What showing every item in the editor does: open, read each item.
int read(const AppFolder& folder, int count) {
    QElapsedTimer timer;
    timer.start();
    ConditionDocument doc(folder);
    if (!open(doc))
        return 1;
    const qint64 loaded = timer.restart();
    qsizetype conditions = 0;
    for (int i = 0; i < count; ++i) {
        const Key key = keyOf(i);
        const auto content = doc.ReadConditionItem(key.item.name, key.item.label, key.code);
        if (!content) {
            out() << "item " << i << " not found" << Qt::endl;
            return 1;
        }
        conditions += content->conditions.size();
    }
    out() << "  open " << loaded << " ms, read " << timer.elapsed() << " ms, " << conditions
          << " conditions" << Qt::endl;
    return 0;
}

int verify(const AppFolder& folder, int count) {
    ConditionDocument doc(folder);
    if (!open(doc))
        return 1;
    for (int i = 0; i < count; ++i) {
        const Key key = keyOf(i);
        const auto content = doc.ReadConditionItem(key.item.name, key.item.label, key.code);
        if (!content || content->conditions.size() != 4 ||
            content->conditions.first().value != QStringLiteral("C%1-0+").arg(i) ||
            content->importFile != QStringLiteral("D:\\导入\\%1.xml").arg(i)) {
            out() << "item " << i << " was not written as stored" << Qt::endl;
            return 1;
        }
    }
    for (const ExchangeItem& item : kItems) {
        if (!doc.ReadConditionItem(item.name, item.label, QStringLiteral("NEW"))) {
            out() << "no copy of the template of " << item.name << Qt::endl;
            return 1;
        }
    }
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    XmlDocument::initializeLibrary();
    const QStringList args = app.arguments();
    if (args.size() != 4) {
        out() << "usage: condition_bench generate|run|read|verify <file or folder> <items>"
              << Qt::endl;
        return 2;
    }
    const int count = args[3].toInt();
    if (args[1] == QLatin1String("generate"))
        return generate(args[2], count);
    if (args[1] == QLatin1String("run"))
        return run(AppFolder(args[2]), count);
    if (args[1] == QLatin1String("read"))
        return read(AppFolder(args[2]), count);
    if (args[1] == QLatin1String("verify"))
        return verify(AppFolder(args[2]), count);
    return 2;
}
