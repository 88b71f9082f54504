#pragma once

#include "platform/prompter.h"

#include <QStringList>

namespace kvx {

// For programs without a window (the plan agent): messages go to the log, questions get
// their safe answer (Cancel or No), file dialogs are cancelled, reports are logged whole.
class LoggingPrompter : public Prompter {
public:
    void message(const QString& text, const QString& title, Icon icon) override;
    Answer question(const QString& text, const QString& title, Buttons buttons, Icon icon) override;
    QString openFile(const QString& title, const QString& filter, const QString& folder) override;
    QString saveFile(const QString& title, const QString& filter, const QString& folder) override;
    QString chooseFolder(const QString& title, const QString& folder) override;
    void displayText(const QString& text) override;
};

} // namespace kvx
