#include "cli_prompter.h"

#include "cli_output.h"

namespace kvx {

void CliPrompter::message(const QString& text, const QString&, Icon) {
    m_messages.append(text);
    CliOutput::error(text);
}

void CliPrompter::displayText(const QString& text) {
    m_reports.append(text);
}

} // namespace kvx
