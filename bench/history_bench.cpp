// The run history window on a large history.
//   history_bench fill <app> <runs>   fills the application folder's run history with that
//                                     many runs (one or two items each, of every origin, code,
//                                     item and outcome, over a year)
//   history_bench steps <app>         opens the run history window and filters, scrolls and
//                                     clears it as an operator would. Prints one line per step,
//                                     "<milliseconds> <lines shown> <step>", each step timed
//                                     until the window has been painted.
#include "bench_services.h"
#include "exchange/frm_run_history.h"
#include "history/run_history.h"
#include "history/run_history_model.h"
#include "login/login_context.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QStandardItemModel>
#include <QTableView>
#include <QTextStream>
#include <QVBoxLayout>
#include <functional>

using namespace kvx;

namespace {

const QStringList kItems = {"客户档案", "部门档案", "职员档案", "供应商档案", "存货档案",
                            "凭证",     "销售发票", "采购发票", "销售订单",   "收款单"};
const QStringList kCodes = {"001", "002", "003"};
const QStringList kOutcomes = {"exchanged", "exchanged", "exchanged", "failed", "skipped"};

bool fill(const AppFolder& app, int runs) {
    RunHistory history(app);
    if (!history.isOpen() || !history.database().transaction())
        return false;
    const QDateTime first(QDate(2025, 1, 1), QTime(0, 0));
    for (int i = 0; i < runs; ++i) {
        const QDateTime started = first.addSecs(qint64(i) * 315); // a year, evenly
        const auto direction =
            i % 2 ? RunHistory::Direction::Export : RunHistory::Direction::Import;
        const auto origin = i % 3 ? RunHistory::Origin::Console : RunHistory::Origin::Agent;
        history.beginRun({0, started, {}, origin, direction, "demo", kCodes[i % 3], {}, {}});
        for (int position = 1; position <= 1 + i % 2; ++position) {
            RunHistory::Item item;
            item.position = position;
            item.item = kItems[(i + position) % kItems.size()];
            item.outcome = kOutcomes[i % kOutcomes.size()];
            item.succeeded = item.outcome == QLatin1String("exchanged") ? 100 : 0;
            item.failed = i % 7 == 0 ? 2 : 0;
            item.report =
                item.item + QStringLiteral("\r\n导入、导出成功！【关键字=C%1】已添加\r\n").arg(i);
            item.finished = started.addSecs(20);
            history.addItem(item);
        }
        history.finishRun(QStringLiteral("completed"), {}, started.addSecs(30));
    }
    return history.database().commit();
}

// The console is up when the window is opened: its fonts (those of Chinese text too) and
// styles are loaded. A window shown first does that here, so that opening is timed as the
// operator meets it.
void warmUp() {
    QWidget other;
    auto* layout = new QVBoxLayout(&other);
    auto* combo = new QComboBox;
    combo->addItem(QStringLiteral("客户档案"));
    layout->addWidget(combo);
    layout->addWidget(new QDateEdit);
    layout->addWidget(new QCheckBox(QStringLiteral("仅计划代理的运行")));
    QStandardItemModel rows(1, 2);
    rows.setHorizontalHeaderLabels({QStringLiteral("开始时间"), QStringLiteral("结果")});
    rows.setItem(0, 0, new QStandardItem(QStringLiteral("凭证")));
    auto* table = new QTableView;
    table->setModel(&rows);
    layout->addWidget(table);
    other.show();
    other.grab();
}

int steps(const QString& folder) {
    warmUp();
    BenchServices bench(folder);
    LoginContext login;

    QTextStream out(stdout);
    QElapsedTimer timer;
    std::unique_ptr<FrmRunHistory> window;
    const auto step = [&](const QString& name, const std::function<void()>& action) {
        timer.start();
        action();
        QCoreApplication::processEvents();
        window->grab(); // painted as the screen would paint it
        out << timer.elapsed() << ' ' << window->model().rowCount() << ' ' << name << Qt::endl;
    };
    const auto choose = [&](const char* box, const QString& text) {
        auto* combo = window->findChild<QComboBox*>(QString::fromLatin1(box));
        combo->setCurrentIndex(combo->findText(text));
    };
    auto* grid = static_cast<QTableView*>(nullptr);
    step("open", [&] {
        window = std::make_unique<FrmRunHistory>(bench.services, login);
        window->show();
        grid = window->findChild<QTableView*>("grdRuns");
    });
    for (int page = 1; page <= 5; ++page)
        step(QStringLiteral("scroll to the end, %1").arg(page),
             [&] { grid->verticalScrollBar()->setValue(grid->verticalScrollBar()->maximum()); });
    step("item 凭证", [&] { choose("cmbItem", "凭证"); });
    step("code 002", [&] { choose("cmbCode", "002"); });
    step("outcome 失败", [&] { choose("cmbState", "失败"); });
    step("all outcomes", [&] { choose("cmbState", "全部"); });
    step("days 2025-06-01 to 2025-06-30", [&] {
        window->findChild<QDateEdit*>("dtpFrom")->setDate(QDate(2025, 6, 1));
        window->findChild<QDateEdit*>("dtpTo")->setDate(QDate(2025, 6, 30));
        window->findChild<QCheckBox*>("chkDate")->setChecked(true);
    });
    step("outcome 部分记录失败", [&] { choose("cmbState", "部分记录失败"); });
    step("every day", [&] { window->findChild<QCheckBox*>("chkDate")->setChecked(false); });
    step("all items", [&] { choose("cmbItem", "全部"); });
    step("all codes", [&] { choose("cmbCode", "全部"); });
    step("all outcomes again", [&] { choose("cmbState", "全部"); });
    return 0;
}

} // namespace

int main(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 4 && args[1] == QLatin1String("fill"))
        return fill(AppFolder(args[2]), args[3].toInt()) ? 0 : 1;
    if (args.size() == 3 && args[1] == QLatin1String("steps"))
        return steps(args[2]);
    QTextStream(stderr) << "usage: history_bench fill <application folder> <runs> | "
                           "steps <application folder>"
                        << Qt::endl;
    return 2;
}
