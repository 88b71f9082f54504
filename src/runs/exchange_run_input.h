#pragma once

#include "catalogue/exchange_selection.h"
#include "history/run_history.h"
#include "settings/login_settings.h"

#include <QList>
#include <QString>

namespace kvx {

class AttachmentQueue;
class Catalogue;
class MailHandOver;
class OperationsFile;

// What an import or export run reads when it starts. The window fills it from its controls;
// the plan agent from a schedule. What it points to must stay until the run has finished.
struct ExchangeRunInput {
    QList<SelectedExchangeItem> items;
    QString senderCode; // used trimmed
    // Server address, operator, encrypted password and business date: the window's session
    // login; the plan agent reads them from "\LoginWan.ini".
    LoginSettings login;
    bool conversion = false;
    bool mail = false;
    // The plan agent's runs read the plan condition file instead of the condition file.
    bool planConditions = false;
    // Who runs it, for the run history.
    RunHistory::Origin origin = RunHistory::Origin::Console;
    const Catalogue* catalogue = nullptr;
    // Imports: null or not loaded when the operations file could not be read.
    const OperationsFile* operations = nullptr;
    // Exports with the mail flag: where the saved files are queued and who sends them
    // (null: no mail component connected, nothing is sent).
    AttachmentQueue* attachments = nullptr;
    MailHandOver* mailTransport = nullptr;
};

} // namespace kvx
