#pragma once

#include <QString>

namespace kvx {

class Shell;

// Shows the help file at a numeric topic. Without a viewer that understands topics the file
// itself is opened.
class HelpViewer {
public:
    virtual ~HelpViewer() = default;
    virtual bool showTopic(const QString& helpFile, int topic) = 0;
};

class ShellHelpViewer : public HelpViewer {
public:
    explicit ShellHelpViewer(Shell& shell)
        : m_shell(shell) {}
    bool showTopic(const QString& helpFile, int topic) override;

private:
    Shell& m_shell;
};

} // namespace kvx
