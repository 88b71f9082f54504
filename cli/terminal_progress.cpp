#include "terminal_progress.h"

#include "cli_output.h"
#include "runs/exchange_run.h"
#include "runs/request_progress.h"

namespace kvx {

void TerminalProgress::follow(const ExchangeRun& run) {
    QObject::connect(&run, &ExchangeRun::progressed, &run, [this](const QString& text) {
        m_item = text;
        CliOutput::progress(text);
    });
    QObject::connect(&run, &ExchangeRun::waiting, &run, [this](const RequestProgress& progress) {
        CliOutput::progress(m_item + QStringLiteral("  ") + waitingText(progress, m_records));
    });
    QObject::connect(&run, &ExchangeRun::stopped, &run, [] { CliOutput::progress({}); });
}

QString TerminalProgress::waitingText(const RequestProgress& progress, int records) {
    if (progress.followsSending && progress.serverSeconds < 0) {
        QString text = records > 0 ? QStringLiteral("已发送 %1/%2 条记录（%3%）")
                                         .arg(qint64(records) * progress.percentSent / 100)
                                         .arg(records)
                                         .arg(progress.percentSent)
                                   : QStringLiteral("已发送 %1%").arg(progress.percentSent);
        if (progress.secondsLeft >= 0)
            text += QStringLiteral("，剩余约 %1 秒").arg(progress.secondsLeft);
        return text;
    }
    if (progress.serverSeconds >= 0)
        return QStringLiteral("已发送，服务器处理中 %1 秒").arg(progress.serverSeconds);
    return QStringLiteral("等待服务器应答 %1 秒").arg(progress.waitedSeconds);
}

} // namespace kvx
