#include "plan_agent.h"

#include "agent_prompter.h"
#include "due_time.h"
#include "platform/clock.h"
#include "platform/services.h"
#include "platform/shared_texts.h"
#include "schedule/schedule_file.h"
#include "schedule_run.h"

#include <QFileInfo>

namespace kvx {

namespace {

const QString kTimeFormat = QStringLiteral("yyyy-MM-dd HH:mm");

} // namespace

PlanAgent::PlanAgent(Services& services, AgentPrompter& prompter, Log log)
    : m_services(services)
    , m_prompter(prompter)
    , m_log(std::move(log))
    , m_lastLook(services.clock.now()) {
    m_timer.setSingleShot(true);
    connect(&m_timer, &QTimer::timeout, this, [this] {
        checkDue();
        scheduleNextLook();
    });
}

bool PlanAgent::refreshSchedules() {
    const QString path = m_services.folder.resolve(ScheduleFile::relativePath());
    const QFileInfo info(path);
    if (!info.exists()) {
        if (!m_fileMissingLogged)
            m_log(SharedText::fileMissing(path));
        m_fileMissingLogged = true;
        m_schedules.clear();
        m_fileSize = -1;
        return false;
    }
    m_fileMissingLogged = false;
    if (info.lastModified() == m_fileTime && info.size() == m_fileSize)
        return true;
    QString error;
    const XmlDocument document = XmlDocument::fromFile(path, &error);
    if (document.isNull()) {
        m_log(AppFolder::toNative(path) + QStringLiteral("无法读取：") + error);
        return false;
    }
    m_fileTime = info.lastModified();
    m_fileSize = info.size();
    m_schedules.clear();
    for (const XmlElement& element : document.root().select(QStringLiteral("schedule[@code]")))
        m_schedules.append(PlanSchedule::read(element));
    logSchedules();
    return true;
}

// The next run after the last look: one falling due at this look is named too.
void PlanAgent::logSchedules() {
    for (const PlanSchedule& schedule : m_schedules) {
        QString line = QStringLiteral("计划 %1：").arg(schedule.code);
        if (!schedule.problem.isEmpty()) {
            line += QStringLiteral("不执行，") + schedule.problem;
        } else if (const auto next = DueTime::nextRunAfter(schedule, m_lastLook)) {
            line += QStringLiteral("下次执行 ") + next->toString(kTimeFormat);
        } else {
            line += QStringLiteral("执行期间已过");
        }
        m_log(line);
    }
}

void PlanAgent::checkDue() {
    if (isRunning())
        return; // the next look after the run takes in the time it took
    refreshSchedules();
    const QDateTime now = m_services.clock.now();
    const QDateTime since = m_lastLook;
    m_lastLook = now;
    for (const PlanSchedule& schedule : QList<PlanSchedule>(m_schedules)) {
        if (schedule.problem.isEmpty() && DueTime::isDue(schedule, since, now))
            runSchedule(schedule);
    }
}

void PlanAgent::start() {
    refreshSchedules();
    scheduleNextLook();
}

void PlanAgent::scheduleNextLook() {
    const QDateTime now = m_services.clock.now();
    const QDateTime nextMinute =
        QDateTime(now.date(), QTime(now.time().hour(), now.time().minute())).addSecs(61);
    m_timer.start(int(std::clamp<qint64>(now.msecsTo(nextMinute), 1000, 61000)));
}

std::optional<PlanSchedule> PlanAgent::findSchedule(const QString& code) {
    m_fileSize = -1; // read afresh
    if (!refreshSchedules())
        return std::nullopt;
    for (const PlanSchedule& schedule : m_schedules) {
        if (schedule.code == code)
            return schedule;
    }
    return std::nullopt;
}

bool PlanAgent::isRunning() const {
    return m_current || !m_waiting.isEmpty();
}

void PlanAgent::runSchedule(const PlanSchedule& schedule) {
    m_waiting.append(schedule);
    if (!m_current)
        runNextSchedule();
}

void PlanAgent::runNextSchedule() {
    if (m_waiting.isEmpty())
        return;
    m_current = new ScheduleRun(m_services, m_prompter, m_waiting.takeFirst(), this);
    connect(m_current, &ScheduleRun::finished, this, [this](const QString& report) {
        m_log(report);
        m_current->deleteLater();
        m_current = nullptr;
        Q_EMIT scheduleFinished(report);
        runNextSchedule();
    });
    m_current->start();
}

} // namespace kvx
