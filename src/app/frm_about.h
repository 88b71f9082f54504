#pragma once

#include <QDialog>

namespace kvx {

class Prompter;

// The About box of the help menu.
class FrmAbout : public QDialog {
    Q_OBJECT
public:
    explicit FrmAbout(Prompter& prompter, QWidget* parent = nullptr);

    // Starts the system information tool; where there is none, says so.
    void startSysInfo();

private:
    Prompter& m_prompter;
};

} // namespace kvx
