#pragma once

#include "platform/logging_prompter.h"

#include <QStringList>

namespace kvx {

// The command line's prompter: nobody answers, so questions get their safe answer and file
// dialogs are cancelled. Messages go to the error output as they come, and are kept for the
// --json answer; the report a run shows is kept for the command to print.
class CliPrompter : public LoggingPrompter {
public:
    void message(const QString& text, const QString& title, Icon icon) override;
    void displayText(const QString& text) override;

    const QStringList& messages() const { return m_messages; }
    QString report() const { return m_reports.join(QString()); }

private:
    QStringList m_messages;
    QStringList m_reports;
};

} // namespace kvx
