#pragma once

#include <QFrame>

class QLabel;
class QProgressBar;

namespace kvx {

class ExchangeRun;
struct RequestProgress;

// The progress display of a run (`frmWaiting`): a busy indicator (`aniPlay`) that moves while
// the run works, the run's text (`lblMessage`), which item of how many it is at (`lblCount`)
// and where the item's request stands (`lblWaiting`): how long it has been waiting for the
// server or, for a large document, the share sent with the time left, then how long the
// server has been working on it; while such a document is sent, the indicator shows the
// share. Hidden while no run is under way. The windows that run imports and exports have it
// follow each run they start.
class RunProgressFrame : public QFrame {
    Q_OBJECT
public:
    explicit RunProgressFrame(QWidget* parent = nullptr);

    // Shows the run from its start until it stops.
    void follow(const ExchangeRun& run);

    // Shown and moving from the start of a run until it stops.
    void runStarted();
    void showProgress(const QString& text, int item, int count);
    void showWaiting(const RequestProgress& progress);
    void runStopped();

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
};

} // namespace kvx
