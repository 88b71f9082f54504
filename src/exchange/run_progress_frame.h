#pragma once

#include <QFrame>

class QLabel;
class QProgressBar;

namespace kvx {

// The progress display of a run (`frmWaiting`): a busy indicator (`aniPlay`) that moves while
// the run works, the run's text (`lblMessage`), which item of how many it is at (`lblCount`)
// and how long the item's request has been waiting for the server (`lblWaiting`). Hidden
// while no run is under way.
class RunProgressFrame : public QFrame {
    Q_OBJECT
public:
    explicit RunProgressFrame(QWidget* parent = nullptr);

    void start();
    void showProgress(const QString& text, int item, int count);
    void showWaiting(int seconds);
    void stop();

    QString message() const;
    QString countText() const;
    QString waitingText() const;
    bool isBusy() const;

private:
    QProgressBar* m_animation;
    QLabel* m_message;
    QLabel* m_count;
    QLabel* m_waiting;
};

} // namespace kvx
