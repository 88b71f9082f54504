#include "platform/help_viewer.h"

#include "platform/shell.h"

namespace kvx {

bool ShellHelpViewer::showTopic(const QString& helpFile, int) {
    return m_shell.openDocument(helpFile);
}

} // namespace kvx
