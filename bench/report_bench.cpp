// Result report benchmark.
//   report_bench generate <file> <items>  writes a result document of that many records
//   report_bench run <file>               loads it and builds the run report
#include "documents/result_report.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTextStream>
#include <algorithm>

using namespace kvx;

namespace {

int generate(const QString& path, int count) {
    XmlDocument doc = XmlDocument::create(QStringLiteral("ztinterface"));
    XmlElement root = doc.root();
    for (int i = 0; i < count; ++i) {
        XmlElement item = root.appendChild(QStringLiteral("item"));
        item.setAttribute("succeed", i % 10 ? "0" : "1");
        item.setAttribute("key", QStringLiteral("PZ%1").arg(i, 8, 10, QLatin1Char('0')));
        item.setAttribute("voucher_type", QStringLiteral("记"));
        item.setAttribute("voucher_id", QString::number(i));
        item.setAttribute("dsc",
                          i % 10 ? QStringLiteral("导入成功") : QStringLiteral("科目不存在"));
    }
    return doc.save(path) ? 0 : 1;
}

int run(const QString& path) {
    QElapsedTimer timer;
    timer.start();
    const XmlDocument doc = XmlDocument::fromFile(path);
    if (doc.isNull())
        return 1;
    const qint64 loaded = timer.restart();
    const QString report = AppendResultReport(doc, QStringLiteral("凭证"), QString());
    const qint64 built = timer.restart();
    QTextStream(stdout) << "  load " << loaded << " ms, report " << built << " ms, "
                        << std::count(report.cbegin(), report.cend(), QLatin1Char('\n')) << " lines"
                        << Qt::endl;
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    XmlDocument::initializeLibrary();
    const QStringList args = app.arguments();
    if (args.size() == 4 && args[1] == QLatin1String("generate"))
        return generate(args[2], args[3].toInt());
    if (args.size() == 3 && args[1] == QLatin1String("run"))
        return run(args[2]);
    QTextStream(stderr) << "usage: report_bench generate <file> <items> | run <file>" << Qt::endl;
    return 2;
}
