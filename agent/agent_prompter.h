#pragma once

#include "platform/logging_prompter.h"

#include <QStringList>

namespace kvx {

// The plan agent's prompter: nobody is there to answer, so questions get their safe answer
// and file dialogs are cancelled (logged); what a run says and its import report are kept
// for the agent's own report.
class AgentPrompter : public LoggingPrompter {
public:
    void message(const QString& text, const QString& title, Icon icon) override;
    void displayText(const QString& text) override;

    // What was said since the last call.
    QStringList takeLines();

private:
    QStringList m_lines;
};

} // namespace kvx
