#pragma once

#include <QString>

class QWidget;

namespace kvx {
class FrmMain;
}

namespace kvx::screenshots {

class ScreenDriver;

// The operator's first exchange, window by window, with a picture of each: login, the frame
// and its command window, an import (while it runs, its report, after it), an export, the
// condition editor, replace settings, schedule editor, mail transfer and run history.
class Tour {
public:
    explicit Tour(ScreenDriver& driver)
        : m_driver(driver) {}

    // Fills in the login dialog that is about to be shown modally and logs in.
    void prepareLogin();
    void visitFrame(FrmMain& frame);

private:
    QWidget* runCommand(FrmMain& frame, const QString& command, const QString& windowName);
    void exchange(FrmMain& frame);
    void runExchange(QWidget* window, const QString& reportPicture,
                     const QString& runningPicture = {});
    void conditions(FrmMain& frame);
    void replaceSettings(FrmMain& frame);
    void schedule(FrmMain& frame);
    void mail(FrmMain& frame);
    void runHistory(FrmMain& frame);
    // The work window with its frame's title bar.
    void picture(QWidget* workWindow, const QString& name);
    template <typename T = QWidget> T* control(QWidget* window, const QString& name);
    bool pickItem(QWidget* window, const QString& label, bool twice);

    ScreenDriver& m_driver;
};

} // namespace kvx::screenshots
