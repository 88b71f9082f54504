// Import run benchmark.
//   import_bench generate <dir> <records> [<every>]
//                                            writes <dir>/document.xml (an interface document of
//                                            customers; every <every>th record with a date that
//                                            does not exist) and <dir>/answer.xml (its result)
//   import_bench serve <answer file>         answers every POST with the file; prints the port
//   import_bench prepare <app> <doc> <url>   points the application folder's login at the
//                                            server and the customers' import file at <doc>
//   import_bench run <app>                   imports 客户档案 as the exchange window does
//   import_bench display <lines>             shows a report of that many lines in the display
//                                            window; prints the milliseconds until it was
//                                            painted, until the whole report was in it, the
//                                            longest stall meanwhile, the milliseconds until it
//                                            was painted scrolled to the end, and whether the
//                                            whole report was there
#include "bench_services.h"
#include "catalogue/catalogue.h"
#include "catalogue/operations_file.h"
#include "fixture_http_server.h"
#include "platform/frm_display.h"
#include "runs/import_run.h"
#include "settings/login_settings.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QPlainTextEdit>
#include <QScrollBar>
#include <QStringEncoder>
#include <QTextBlock>
#include <QTextStream>
#include <QTimer>

using namespace kvx;

namespace {

QTextStream& err() {
    static QTextStream stream(stderr);
    return stream;
}

QByteArray gb(const QString& text) {
    // Only characters that GB2312 holds are written here: GB18030 gives the same bytes.
    return QStringEncoder("GB18030").encode(text);
}

bool writeFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

int generate(const QString& dir, int count, int brokenEvery) {
    const QByteArray name = gb(QStringLiteral("华联商贸有限公司第"));
    const QByteArray address = gb(QStringLiteral("北京市海淀区中关村大街二十七号中关村大厦十二层"));
    const QByteArray contact = gb(QStringLiteral("张伟"));
    const QByteArray memo =
        gb(QStringLiteral("年度重点客户，按月结算，账期三十天，需提前预约送货时间"));
    QByteArray document;
    document.reserve(qsizetype(count) * 560 + 256);
    document += "<?xml version=\"1.0\" encoding=\"gb2312\"?>\n<ztinterface sender=\"001\" "
                "receiver=\"m6\" roottag=\"customer\" docid=\"903182647\" proc=\"Add\">\n";
    QByteArray answer;
    answer.reserve(qsizetype(count) * 60 + 256);
    answer += "<?xml version=\"1.0\" encoding=\"gb2312\"?>\n<result roottag=\"customer\" "
              "docid=\"903182647\" proc=\"Add\">\n";
    const QByteArray added = gb(QStringLiteral("已添加"));
    for (int i = 1; i <= count; ++i) {
        const QByteArray code = "C" + QByteArray::number(i).rightJustified(7, '0');
        const QByteArray n = QByteArray::number(i);
        document += "  <customer>\n    <code>" + code + "</code>\n    <name>" + name + n +
                    "</name>\n    <abbrname>" + contact + n + "</abbrname>\n    <class>0" +
                    QByteArray::number(i % 3 + 1) + "</class>\n    <address>" + address +
                    "</address>\n    <phone>010-6275" + n.right(4).rightJustified(4, '0') +
                    "</phone>\n    <contact>" + contact + "</contact>\n    <creditline>" +
                    QByteArray::number(10000 + i % 90000) +
                    ".00</creditline>\n    "
                    "<creditdays>30</creditdays>\n    <devdate>" +
                    (brokenEvery > 0 && i % brokenEvery == 0 ? "2024-13-01" : "2024-01-01") +
                    "</devdate>\n    "
                    "<dept>D01</dept>\n    <person>P001</person>\n    <disabled>0</disabled>\n    "
                    "<memo>" +
                    memo + "</memo>\n  </customer>\n";
        answer += "  <item succeed=\"0\" key=\"" + code + "\" dsc=\"" + added + "\"/>\n";
    }
    document += "</ztinterface>\n";
    answer += "</result>\n";
    return writeFile(dir + QStringLiteral("/document.xml"), document) &&
                   writeFile(dir + QStringLiteral("/answer.xml"), answer)
               ? 0
               : 1;
}

int serve(const QString& answerPath) {
    QFile file(answerPath);
    if (!file.open(QIODevice::ReadOnly))
        return 1;
    const test::FixtureHttpServer::Response answer{200, file.readAll()};
    test::FixtureHttpServer server(
        [&answer](const test::FixtureHttpServer::Request&) { return answer; });
    server.setRecording(false);
    if (server.port() == 0)
        return 1;
    QTextStream(stdout) << "port " << server.port() << Qt::endl;
    return QCoreApplication::exec();
}

int prepare(const QString& app, const QString& document, const QString& url) {
    const AppFolder folder(app);
    const LoginSettings login{url, QStringLiteral("demo"), PasswordEncryptor().ascPwd("demo"),
                              QStringLiteral("2026-03-15")};
    const QString conditionsPath =
        folder.resolve(QStringLiteral("\\Xml\\Operation\\Condition.xml"));
    XmlDocument conditions = XmlDocument::fromFile(conditionsPath);
    XmlElement item = conditions.selectFirst(QStringLiteral("//customer[@code='001']"));
    return login.save(folder) && item.setAttribute(QStringLiteral("importfile"), document) &&
                   conditions.save(conditionsPath)
               ? 0
               : 1;
}

// The run without a window: progress is not shown, the report is counted, not logged.
int run(const QString& app) {
    BenchServices bench(app);
    Services& services = bench.services;
    Catalogue catalogue;
    OperationsFile operations;
    const std::optional<LoginSettings> login = LoginSettings::load(services.folder);
    if (!login || !catalogue.load(services.folder) || !operations.load(services.folder))
        return 1;
    ExchangeRunInput input;
    input.login = *login;
    input.items = {{QStringLiteral("客户档案"), QStringLiteral("添加|已存在时跳过")}};
    input.senderCode = QStringLiteral("001");
    input.catalogue = &catalogue;
    input.operations = &operations;
    ImportRun importRun(services, std::move(input));
    RunSummary summary;
    QObject::connect(&importRun, &ExchangeRun::finished, [&summary](const RunSummary& ended) {
        summary = ended;
        QCoreApplication::quit();
    });
    importRun.start();
    if (importRun.isWorking())
        QCoreApplication::exec();
    QTextStream(stdout) << "report lines " << summary.report.count(QLatin1Char('\n')) << Qt::endl;
    return summary.exchanged == 1 ? 0 : 1;
}

// The console is up when a run ends: its fonts and styles are loaded. A window shown first
// does that here, so that the display window is timed as the operator meets it.
void warmUp() {
    FrmDisplay other;
    other.setDisplayText(QStringLiteral("报告"));
    other.show();
    other.grab();
}

int display(int count) {
    QString report = QStringLiteral("\r\n客户档案\r\n");
    for (int i = 1; i <= count; ++i)
        report += QStringLiteral("导入、导出成功！【关键字=C%1】已添加\r\n")
                      .arg(i, 7, 10, QLatin1Char('0'));
    warmUp();
    QElapsedTimer timer;
    timer.start();
    FrmDisplay window;
    window.setDisplayText(report);
    window.show();
    window.grab(); // paints the window as the screen would
    const qint64 shown = timer.restart();
    // Until the whole report is in the view, a timer that should tick every 10 ms measures the
    // longest time the window's event loop is held up.
    auto* text = window.findChild<QPlainTextEdit*>(QStringLiteral("txtDisplay"));
    const QString lastKey = QStringLiteral("C%1").arg(count, 7, 10, QLatin1Char('0'));
    const auto complete = [&] {
        return text->document()->blockCount() == count + 3 &&
               text->document()->lastBlock().previous().text().contains(lastKey);
    };
    QElapsedTimer sinceTick;
    sinceTick.start();
    qint64 stall = 0;
    QTimer ticker;
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        stall = std::max(stall, sinceTick.restart());
        if (complete())
            QCoreApplication::quit();
    });
    ticker.start(10);
    QTimer::singleShot(60000, &QCoreApplication::quit);
    QCoreApplication::exec();
    const qint64 filled = timer.restart();
    text->verticalScrollBar()->setValue(text->verticalScrollBar()->maximum());
    window.grab();
    const qint64 scrolled = timer.elapsed();
    const bool whole = complete();
    QTextStream(stdout) << shown << " " << filled << " " << stall << " " << scrolled << " "
                        << (whole ? "whole" : "cut") << Qt::endl;
    return whole ? 0 : 1;
}

} // namespace

int main(int argc, char** argv) {
    const bool gui = argc > 1 && qstrcmp(argv[1], "display") == 0;
    if (gui)
        qputenv("QT_QPA_PLATFORM", "offscreen");
    std::unique_ptr<QCoreApplication> app(gui ? new QApplication(argc, argv)
                                              : new QCoreApplication(argc, argv));
    XmlDocument::initializeLibrary();
    const QStringList args = app->arguments();
    const QString mode = args.value(1);
    if (mode == QLatin1String("generate") && (args.size() == 4 || args.size() == 5))
        return generate(args[2], args[3].toInt(), args.value(4).toInt());
    if (mode == QLatin1String("serve") && args.size() == 3)
        return serve(args[2]);
    if (mode == QLatin1String("prepare") && args.size() == 5)
        return prepare(args[2], args[3], args[4]);
    if (mode == QLatin1String("run") && args.size() == 3)
        return run(args[2]);
    if (gui && args.size() == 3)
        return display(args[2].toInt());
    err() << "usage: import_bench generate <dir> <records> [<every>] | serve <answer> | "
             "prepare <app> <document> <url> | run <app> | display <lines>"
          << Qt::endl;
    return 2;
}
