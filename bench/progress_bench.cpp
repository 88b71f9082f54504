// How responsive the exchange window stays while it imports a large document.
//   progress_bench <app>   imports 客户档案 in the exchange window (import mode, operation 添加)
//                          against the server that the folder's login names, while a 10 ms timer
//                          measures how long the event loop is held up at a time. Prints
//                          "stall <ms> at <progress text>", "ticks <n>", "share <largest share
//                          shown>", "estimate <times a time left was shown>", "server <times
//                          the server's working time was shown>" and "failed <path or ->".
#include "bench_services.h"
#include "catalogue/catalogue_tree.h"
#include "exchange/frm_import.h"
#include "login/login_context.h"
#include "runs/attachment_queue.h"
#include "runs/exchange_run.h"
#include "runs/run_progress_frame.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QPushButton>
#include <QRadioButton>
#include <QTextStream>
#include <QTimer>

using namespace kvx;

namespace {

// The longest time between two ticks of a timer that should tick every 10 ms, and what the
// progress display showed meanwhile.
class StallMeter : public QObject {
public:
    explicit StallMeter(const RunProgressFrame& frame)
        : m_frame(frame) {
        connect(&m_timer, &QTimer::timeout, this, [this] { tick(); });
        m_timer.setTimerType(Qt::PreciseTimer);
    }
    void start() {
        m_clock.start();
        m_last = 0;
        m_timer.start(10);
    }
    void stop() { m_timer.stop(); }

    qint64 longestMs = 0;
    QString longestAt;
    int ticks = 0;
    int largestShare = -1;
    int estimates = 0;
    int serverTimes = 0;

private:
    void tick() {
        const qint64 now = m_clock.elapsed();
        if (now - m_last > longestMs) {
            longestMs = now - m_last;
            longestAt = m_frame.message() + QLatin1Char(' ') + m_frame.waitingText();
        }
        m_last = now;
        ++ticks;
        largestShare = std::max(largestShare, m_frame.shownShare());
        estimates += m_frame.waitingText().contains(QStringLiteral("约剩")) ? 1 : 0;
        serverTimes += m_frame.waitingText().contains(QStringLiteral("服务器已处理")) ? 1 : 0;
    }

    const RunProgressFrame& m_frame;
    QTimer m_timer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
};

int run(const QString& app) {
    BenchServices bench(app);
    Services& services = bench.services;
    const QString& report = bench.prompter.report;
    const std::optional<LoginSettings> settings = LoginSettings::load(services.folder);
    if (!settings)
        return 1;
    LoginContext login;
    login.persistent = *settings;
    login.senderCode = QStringLiteral("001");
    AttachmentQueue attachments;
    FrmImport window(services, login, attachments);
    window.show();
    auto* tree = window.findChild<CatalogueTree*>(QStringLiteral("Dir"));
    tree->setCurrentItem(tree->findNode(QStringLiteral("客户档案")));
    window.findChild<QPushButton*>(QStringLiteral("cmdMoveIn"))->click();
    window.findChild<QRadioButton*>(QStringLiteral("OptIn"))->setChecked(true);

    StallMeter meter(*window.findChild<RunProgressFrame*>(QStringLiteral("frmWaiting")));
    // The operator clicks 执行 in a window that has been painted, its fonts loaded.
    QTimer::singleShot(500, &window, [&] {
        meter.start();
        window.findChild<QPushButton*>(QStringLiteral("cmdExcute"))->click();
        if (ExchangeRun* run = window.run())
            QObject::connect(run, &ExchangeRun::finished, qApp, &QCoreApplication::quit,
                             Qt::QueuedConnection);
        else
            QCoreApplication::quit();
    });
    QApplication::exec();
    meter.stop();

    QTextStream out(stdout);
    const QString failed = QStringLiteral("失败的 ");
    const qsizetype at = report.indexOf(failed);
    out << "stall " << meter.longestMs << " at " << meter.longestAt << Qt::endl;
    out << "ticks " << meter.ticks << Qt::endl;
    out << "share " << meter.largestShare << Qt::endl;
    out << "estimate " << meter.estimates << Qt::endl;
    out << "server " << meter.serverTimes << Qt::endl;
    out << "failed " << (at < 0 ? QStringLiteral("-") : report.mid(at).section('\r', 0, 0))
        << Qt::endl;
    return report.isEmpty() ? 1 : 0;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    XmlDocument::initializeLibrary();
    if (app.arguments().size() != 2) {
        QTextStream(stderr) << "usage: progress_bench <application folder>" << Qt::endl;
        return 2;
    }
    return run(app.arguments().at(1));
}
