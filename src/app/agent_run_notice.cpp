#include "app/agent_run_notice.h"

#include "app/frm_main.h"
#include "exchange/frm_run_history.h"
#include "history/run_history.h"
#include "history/unseen_agent_runs.h"
#include "platform/services.h"

#include <QPushButton>
#include <QStatusBar>
#include <QTimer>

namespace kvx {

AgentRunNotice::AgentRunNotice(FrmMain& frame, QStatusBar& statusBar)
    : QObject(&frame)
    , m_frame(frame)
    , m_button(new QPushButton(&statusBar))
    , m_timer(new QTimer(this)) {
    m_button->setObjectName(QStringLiteral("stBarAgentRuns"));
    m_button->setFlat(true);
    m_button->setCursor(Qt::PointingHandCursor);
    m_button->setStyleSheet(QStringLiteral("color: #b00000; font-weight: bold;"));
    m_button->hide();
    statusBar.insertPermanentWidget(0, m_button);
    connect(m_button, &QPushButton::clicked, this, &AgentRunNotice::onClicked);
    connect(m_timer, &QTimer::timeout, this, &AgentRunNotice::refresh);
    m_timer->start(kIntervalMs);
}

void AgentRunNotice::setInterval(int milliseconds) {
    m_timer->start(milliseconds);
}

void AgentRunNotice::refresh() {
    const RunHistory history(m_frame.services().folder);
    m_runIds = UnseenAgentRuns::find(history);
    m_button->setText(
        QStringLiteral("计划代理有 %1 次运行失败或结果未知，单击查看").arg(m_runIds.size()));
    m_button->setVisible(!m_runIds.isEmpty());
}

// Those of the notice, not any that came since: the operator sees what was announced.
void AgentRunNotice::onClicked() {
    const QList<qint64> shown = m_runIds;
    if (shown.isEmpty())
        return;
    auto* window = static_cast<FrmRunHistory*>(m_frame.openWorkWindow(WorkWindow::RunHistory));
    window->showRuns(shown);
    UnseenAgentRuns::markSeen(RunHistory(m_frame.services().folder), shown);
    refresh();
}

} // namespace kvx
