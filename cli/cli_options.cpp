#include "cli_options.h"

#include <QHash>
#include <QSet>

namespace kvx {

namespace {

struct CommandRule {
    CliOptions::Command command;
    QStringList arguments; // their names, for messages
    QSet<QString> options;
};

const QHash<QString, CommandRule>& commandRules() {
    static const QHash<QString, CommandRule> rules = {
        {QStringLiteral("import"),
         {CliOptions::Command::Import,
          {QStringLiteral("项目"), QStringLiteral("文件")},
          {QStringLiteral("operation"), QStringLiteral("conversion"), QStringLiteral("code")}}},
        {QStringLiteral("export"),
         {CliOptions::Command::Export,
          {QStringLiteral("项目"), QStringLiteral("文件")},
          {QStringLiteral("conversion"), QStringLiteral("code")}}},
        {QStringLiteral("check"),
         {CliOptions::Command::Check,
          {QStringLiteral("项目"), QStringLiteral("文件")},
          {QStringLiteral("operation")}}},
        {QStringLiteral("history"),
         {CliOptions::Command::History, {}, {QStringLiteral("failed"), QStringLiteral("since")}}},
        {QStringLiteral("run-now"),
         {CliOptions::Command::RunNow, {QStringLiteral("计划的注册编码")}, {}}},
    };
    return rules;
}

const QSet<QString> kValued = {QStringLiteral("app-dir"), QStringLiteral("operation"),
                               QStringLiteral("conversion"), QStringLiteral("code"),
                               QStringLiteral("since")};
const QSet<QString> kFlags = {QStringLiteral("json"), QStringLiteral("failed"),
                              QStringLiteral("help")};

} // namespace

std::optional<CliOptions> CliOptions::parse(const QStringList& arguments, QString* error) {
    CliOptions options;
    QStringList positional;
    QHash<QString, QString> given;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString& argument = arguments.at(i);
        if (argument == QLatin1String("-h")) {
            given.insert(QStringLiteral("help"), {});
            continue;
        }
        if (!argument.startsWith(QLatin1String("--")) || argument.size() == 2) {
            positional.append(argument);
            continue;
        }
        QString name = argument.mid(2);
        QString value;
        const qsizetype equals = name.indexOf(QLatin1Char('='));
        if (equals >= 0) {
            value = name.mid(equals + 1);
            name.truncate(equals);
        }
        if (kValued.contains(name)) {
            if (equals < 0) {
                if (i + 1 >= arguments.size()) {
                    *error = QStringLiteral("选项 --%1 缺少值").arg(name);
                    return std::nullopt;
                }
                value = arguments.at(++i);
            }
        } else if (!kFlags.contains(name) || equals >= 0) {
            *error = QStringLiteral("未知的选项：") + argument;
            return std::nullopt;
        }
        given.insert(name, value);
    }
    options.appDir = given.contains(QStringLiteral("app-dir"))
                         ? given.value(QStringLiteral("app-dir"))
                         : qEnvironmentVariable("KVX_APP_DIR");
    options.json = given.contains(QStringLiteral("json"));
    if (given.contains(QStringLiteral("help")) || positional.isEmpty())
        return options;

    const auto rule = commandRules().constFind(positional.first());
    if (rule == commandRules().cend()) {
        *error = QStringLiteral("未知的命令：") + positional.first();
        return std::nullopt;
    }
    options.command = rule->command;
    const QString command = positional.takeFirst();
    if (positional.size() != rule->arguments.size()) {
        *error = rule->arguments.isEmpty()
                     ? QStringLiteral("多余的参数：") + positional.join(QLatin1Char(' '))
                     : QStringLiteral("命令需要参数：") + rule->arguments.join(QLatin1Char(' '));
        return std::nullopt;
    }
    for (auto option = given.cbegin(); option != given.cend(); ++option) {
        const QString& name = option.key();
        if (name != QLatin1String("app-dir") && name != QLatin1String("json") &&
            !rule->options.contains(name)) {
            *error = QStringLiteral("命令 %1 没有选项 --%2").arg(command, name);
            return std::nullopt;
        }
    }
    if (options.command == Command::RunNow) {
        options.schedule = positional.first().trimmed();
    } else {
        options.item = positional.value(0);
        options.file = positional.value(1);
    }
    options.operation = given.value(QStringLiteral("operation"));
    if (given.contains(QStringLiteral("code")))
        options.senderCode = given.value(QStringLiteral("code")).trimmed();
    if (given.contains(QStringLiteral("conversion"))) {
        const QString flag = given.value(QStringLiteral("conversion")).toLower();
        if (flag != QLatin1String("y") && flag != QLatin1String("n")) {
            *error = QStringLiteral("--conversion 的值应为 y 或 n");
            return std::nullopt;
        }
        options.conversion = flag == QLatin1String("y");
    }
    options.failedOnly = given.contains(QStringLiteral("failed"));
    if (given.contains(QStringLiteral("since"))) {
        options.since = QDate::fromString(given.value(QStringLiteral("since")), Qt::ISODate);
        if (!options.since.isValid()) {
            *error = QStringLiteral("--since 的值应为日期 yyyy-mm-dd");
            return std::nullopt;
        }
    }
    return options;
}

QString CliOptions::usage() {
    return QStringLiteral(
        "用法：kvx [--app-dir 目录] [--json] 命令 [参数]\n"
        "\n"
        "命令：\n"
        "  import 项目 文件 [--operation 操作] [--conversion y|n] [--code 注册编码]\n"
        "      导入文件，如同控制台的导入：同样的文档、报告、失败记录文件和运行记录\n"
        "  export 项目 文件 --code 注册编码 [--conversion y|n]\n"
        "      导出到文件，如同控制台的导出\n"
        "  check 项目 文件 [--operation 操作]\n"
        "      按项目结构文件和操作检查导入文件，不发送\n"
        "  history [--failed] [--since 日期]\n"
        "      列出运行记录，最新的在前；--failed 只列出未成功的，--since 只列出该日起的\n"
        "  run-now 注册编码\n"
        "      立即执行该注册编码的计划，如同 KVXTimer --run-now；该计划正由另一进程执行时拒绝\n"
        "\n"
        "项目：目录树中的项目名称（如“客户档案”）或接口名称（如 customer）。\n"
        "操作：操作名称及所选选项，以“|”分隔，如“添加|已存在时跳过”；不给出时按“add”导入。\n"
        "\n"
        "选项：\n"
        "  --app-dir 目录  应用目录（默认：环境变量 KVX_APP_DIR）\n"
        "  --json          以 JSON 输出结果，供脚本使用\n"
        "  --help          显示本帮助\n"
        "\n"
        "服务器、操作员和密码取自应用目录的 LoginWan.ini。在终端上显示进度。\n"
        "\n"
        "退出状态：0 全部完成；1 有记录被服务器拒绝（check：发现问题）；"
        "2 结果未知或连接失败；3 参数或文件有误，或计划正由另一进程执行。\n");
}

} // namespace kvx
