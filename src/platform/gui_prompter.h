#pragma once

#include "platform/prompter.h"

namespace kvx {

// Message boxes and file dialogs of the desktop, owned by the active window. Each is modal:
// its exec() turns a QEventLoop of its own until the person answers, the one loop of the
// console that runs inside another. Meanwhile timers, network answers and worker results go
// on reaching their objects; a run holds what arrives for it while it asks.
class GuiPrompter : public Prompter {
public:
    void message(const QString& text, const QString& title, Icon icon) override;
    Answer question(const QString& text, const QString& title, Buttons buttons, Icon icon) override;
    QString openFile(const QString& title, const QString& filter, const QString& folder) override;
    QString saveFile(const QString& title, const QString& filter, const QString& folder) override;
    QString chooseFolder(const QString& title, const QString& folder) override;
    void displayText(const QString& text) override;

    // "Xml (*.xml)|*.xml|All Files (*.*)|*.*" to Qt's "Xml (*.xml);;All Files (*.*)".
    static QString toQtFilter(const QString& filter);
};

} // namespace kvx
