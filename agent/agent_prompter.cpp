#include "agent_prompter.h"

namespace kvx {

void AgentPrompter::message(const QString& text, const QString&, Icon) {
    m_lines.append(text);
}

void AgentPrompter::displayText(const QString& text) {
    m_lines.append(text.trimmed());
}

QStringList AgentPrompter::takeLines() {
    QStringList lines;
    lines.swap(m_lines);
    return lines;
}

} // namespace kvx
