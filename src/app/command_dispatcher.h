#pragma once

#include <QString>
#include <QStringList>
#include <functional>

namespace kvx {

class FrmMain;

// The frame's named commands: the Chinese names of the system's functions, each opening its
// work window in the frame's slot or starting the plan agent. A command is refused while a
// modal dialog waits for the operator or, on the Windows 9x family, while system resources
// are short.
class CommandDispatcher {
public:
    // Free system resources in percent: the "SystemResources" property of the resource
    // component "prjSR.clsSR" on the Windows 9x family.
    using ResourceFigure = std::function<int()>;

    explicit CommandDispatcher(FrmMain& frame)
        : m_frame(frame) {}

    // The names of the commands that do something, in the order they are offered.
    static QStringList commandNames();

    // Carries out the named command (compared exactly); an unknown name does nothing.
    void run(const QString& command);

    // A modal dialog is open, so the frame cannot take the focus.
    bool IsBusy() const;
    // Only the Windows 9x family asks the resource component; enough when its figure is
    // above 15. Elsewhere, or without a component to ask, resources are enough.
    bool HasEnoughResources() const;
    void setResourceFigure(ResourceFigure figure) { m_resourceFigure = std::move(figure); }

private:
    FrmMain& m_frame;
    ResourceFigure m_resourceFigure;
};

} // namespace kvx
