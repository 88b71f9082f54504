#pragma once

#include <QDockWidget>

namespace kvx {

class FrmMain;

// The command window of the frame ("命令"): the names of the frame's commands, each carried out
// by the frame's command dispatcher on a double click or Enter. Hidden until the operator shows
// it from the window menu.
class CommandDock : public QDockWidget {
    Q_OBJECT
public:
    explicit CommandDock(FrmMain& frame);
};

} // namespace kvx
