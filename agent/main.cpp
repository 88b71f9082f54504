#include "agent_prompter.h"
#include "plan_agent.h"
#include "platform/owned_services.h"
#include "platform/process_lock.h"
#include "platform/xml/xml_document.h"
#include "schedule/plan_agent_files.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <cstdio>

// KVXTimer, the plan agent: runs the exchanges of the schedule file of an application folder
// when they fall due, or one schedule at once.
int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("KVXTimer"));
    kvx::XmlDocument::initializeLibrary();

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "M6KVX计划监控程序：按执行计划文件（xml\\operation\\schedule.xml）在计划时间执行导入和"
        "导出。运行记录写入应用目录的 KVXRunHistory.db。"));
    parser.addHelpOption();
    const QCommandLineOption runNow(
        QStringLiteral("run-now"),
        QStringLiteral("立即执行注册编码为 CODE 的计划，输出报告后退出。"), QStringLiteral("CODE"));
    const QCommandLineOption appDir(
        QStringLiteral("app-dir"),
        QStringLiteral("应用目录（默认：环境变量 KVX_APP_DIR，否则程序所在目录）。"),
        QStringLiteral("DIR"));
    parser.addOption(runNow);
    parser.addOption(appDir);
    if (!parser.parse(app.arguments())) {
        std::fprintf(stderr, "%s\n", qPrintable(parser.errorText()));
        return 2;
    }
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(0);
    if (!parser.positionalArguments().isEmpty()) {
        std::fprintf(
            stderr, "%s\n",
            qPrintable(QStringLiteral("多余的参数：") + parser.positionalArguments().join(' ')));
        return 2;
    }

    const kvx::AppFolder folder = parser.isSet(appDir)
                                      ? kvx::AppFolder(QDir(parser.value(appDir)).absolutePath())
                                      : kvx::AppFolder::fromEnvironment();
    kvx::OwnedServices<kvx::AgentPrompter> owned(folder);
    const auto print = [](const QString& line) {
        std::fprintf(stdout, "%s\n", line.toLocal8Bit().constData());
        std::fflush(stdout);
    };
    kvx::PlanAgent agent(owned.services, owned.prompter, print);

    QString error;
    if (parser.isSet(runNow)) {
        // The run may end before runNow returns (nothing to send): the exit waits in the queue.
        QObject::connect(
            &agent, &kvx::PlanAgent::scheduleFinished, &app, [] { QCoreApplication::exit(0); },
            Qt::QueuedConnection);
        if (!agent.runNow(parser.value(runNow).trimmed(), &error)) {
            std::fprintf(stderr, "%s\n", qPrintable(error));
            return 1;
        }
        return app.exec();
    }

    kvx::ProcessLock lock(folder.resolve(kvx::PlanAgentFiles::lockRelativePath()));
    switch (lock.tryLock(&error)) {
    case kvx::ProcessLock::State::Free:
        break;
    case kvx::ProcessLock::State::Held:
        error = kvx::PlanAgentFiles::alreadyRunningMessage() + QStringLiteral("（") +
                folder.nativeRoot() + QStringLiteral("）");
        [[fallthrough]];
    case kvx::ProcessLock::State::Unusable:
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    print(QStringLiteral("M6KVX计划监控程序已启动，应用目录 ") + folder.nativeRoot());
    agent.start();
    return app.exec();
}
