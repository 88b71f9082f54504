#include "runs/run_progress_frame.h"

#include "runs/exchange_run.h"
#include "runs/request_progress.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QVBoxLayout>

namespace kvx {

RunProgressFrame::RunProgressFrame(QWidget* parent)
    : QFrame(parent)
    , m_animation(new QProgressBar(this))
    , m_message(new QLabel(this))
    , m_count(new QLabel(this))
    , m_waiting(new QLabel(this)) {
    setObjectName(QStringLiteral("frmWaiting"));
    setFrameShape(QFrame::StyledPanel);
    m_animation->setObjectName(QStringLiteral("aniPlay"));
    m_animation->setTextVisible(false);
    m_message->setObjectName(QStringLiteral("lblMessage"));
    m_message->setWordWrap(true);
    m_count->setObjectName(QStringLiteral("lblCount"));
    m_waiting->setObjectName(QStringLiteral("lblWaiting"));

    auto* texts = new QHBoxLayout;
    texts->addWidget(m_message, 1);
    texts->addWidget(m_count);
    texts->addWidget(m_waiting);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_animation);
    layout->addLayout(texts);
    runStopped();
}

void RunProgressFrame::follow(const ExchangeRun& run) {
    connect(&run, &ExchangeRun::started, this, &RunProgressFrame::runStarted);
    connect(&run, &ExchangeRun::progressed, this, &RunProgressFrame::showProgress);
    connect(&run, &ExchangeRun::waiting, this, &RunProgressFrame::showWaiting);
    connect(&run, &ExchangeRun::stopped, this, &RunProgressFrame::runStopped);
}

void RunProgressFrame::runStarted() {
    m_message->clear();
    m_count->clear();
    m_waiting->clear();
    m_animation->setRange(0, 0); // a busy bar moves by itself
    show();
}

void RunProgressFrame::showProgress(const QString& text, int item, int count) {
    m_message->setText(text);
    m_count->setText(QStringLiteral("第 %1 项，共 %2 项").arg(item).arg(count));
    m_waiting->clear();
}

namespace {

QString duration(int seconds) {
    return seconds < 60 ? QStringLiteral("%1 秒").arg(seconds)
                        : QStringLiteral("%1 分 %2 秒")
                              .arg(seconds / 60)
                              .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

} // namespace

void RunProgressFrame::showWaiting(const RequestProgress& progress) {
    const bool sending = progress.followsSending && progress.serverSeconds < 0;
    if (sending) {
        m_animation->setRange(0, 100);
        m_animation->setValue(progress.percentSent);
    } else {
        m_animation->setRange(0, 0);
    }
    if (!progress.followsSending)
        m_waiting->setText(QStringLiteral("已等待 ") + duration(progress.waitedSeconds));
    else if (sending)
        m_waiting->setText(QStringLiteral("已发送 %1%").arg(progress.percentSent) +
                           (progress.secondsLeft < 0
                                ? QString()
                                : QStringLiteral("，约剩 ") + duration(progress.secondsLeft)));
    else
        m_waiting->setText(QStringLiteral("已发送，服务器已处理 ") +
                           duration(progress.serverSeconds));
}

void RunProgressFrame::runStopped() {
    m_animation->setRange(0, 1); // neither busy nor a share
    m_animation->reset();
    hide();
}

QString RunProgressFrame::message() const {
    return m_message->text();
}

QString RunProgressFrame::countText() const {
    return m_count->text();
}

QString RunProgressFrame::waitingText() const {
    return m_waiting->text();
}

bool RunProgressFrame::isBusy() const {
    return m_animation->maximum() != 1; // moving, or showing the share sent
}

int RunProgressFrame::shownShare() const {
    return m_animation->maximum() == 100 ? m_animation->value() : -1;
}

} // namespace kvx
