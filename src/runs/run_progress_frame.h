#pragma once

#include "runs/exchange_run.h"

#include <QFrame>

class QLabel;
class QProgressBar;

namespace kvx {

class Prompter;

// The progress display of a run (`frmWaiting`): a busy indicator (`aniPlay`) that moves while
// the run works, the run's text (`lblMessage`), which item of how many it is at (`lblCount`)
// and where the item's request stands (`lblWaiting`): how long it has been waiting for the
// server or, for a large document, the share sent with the time left, then how long the
// server has been working on it; while such a document is sent, the indicator shows the
// share. Hidden while no run is under way. The windows that run imports and exports hand it
// to the runs as their host; it keeps the operator's wish to cancel.
class RunProgressFrame : public QFrame, public RunHost {
    Q_OBJECT
public:
    explicit RunProgressFrame(QWidget* parent = nullptr);
    ~RunProgressFrame() override;

    // True while some frame of the console shows a run: runs wait for their answers in nested
    // event loops, so a second run would hold the first one's answer back until it ended.
    static bool anyRunUnderway();

    // RunHost: shown, moving and not cancelled from the start of a run to its end.
    void runStarted() override;
    void showProgress(const QString& text, int item, int count) override;
    void showWaiting(const RequestProgress& progress) override;
    bool cancelRequested() const override { return m_cancelRequested; }
    void runFinished() override;

    // Asks the operator whether to end the run under way; true, and the run stops before its
    // next item (dropping a request that waits), when the answer is OK.
    bool askToCancel(Prompter& prompter);
    // The window holding this frame is being closed: true when it may go now. The run on the
    // stack needs its window until it returns, so while a run is under way the operator is
    // asked whether to cancel, and on OK the window is to close once the run has ended.
    bool mayCloseWindow(Prompter& prompter);
    bool closeWhenIdle() const { return m_closeWhenIdle; }

    QString message() const;
    QString countText() const;
    QString waitingText() const;
    bool isBusy() const;
    // The share of the document sent, in percent, while the indicator shows it; else -1.
    int shownShare() const;

private:
    QProgressBar* m_animation;
    QLabel* m_message;
    QLabel* m_count;
    QLabel* m_waiting;
    bool m_cancelRequested = false;
    bool m_underway = false;
    bool m_closeWhenIdle = false;
};

} // namespace kvx
