#pragma once

#include <QList>
#include <QObject>

class QPushButton;
class QStatusBar;
class QTimer;

namespace kvx {

class FrmMain;

// The status bar's notice of the plan agent's runs that did not end well and that the operator
// has not seen: asked of the run history when the frame is made after the login, after each
// re-login and every half minute while the console runs, and shown with their count. A click
// opens the run history window on those runs, which marks them seen; the notice then goes.
class AgentRunNotice : public QObject {
    Q_OBJECT
public:
    static constexpr int kIntervalMs = 30000;

    AgentRunNotice(FrmMain& frame, QStatusBar& statusBar);

    // Asks the run history again.
    void refresh();
    // How often the history is asked while the console runs.
    void setInterval(int milliseconds);

private:
    void onClicked();

    FrmMain& m_frame;
    QPushButton* m_button;
    QTimer* m_timer;
    QList<qint64> m_runIds;
};

} // namespace kvx
