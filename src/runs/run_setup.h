#pragma once

#include "conditions/condition_item_index.h"
#include "documents/interface_documents.h"
#include "platform/app_folder.h"
#include "platform/xml/xml_document.h"
#include "settings/login_settings.h"

#include <QString>

namespace kvx {

// What both runs read when they start: the condition file, loaded afresh for each run and
// never written, and the server address and credentials of the session's login.
class RunSetup {
public:
    explicit RunSetup(AppFolder folder);

    // The condition file, or the plan condition file for the plan agent's runs. False when
    // it is missing or unreadable.
    bool loadConditions(bool planConditions);
    // The full path of the file loaded.
    QString conditionFilePath() const;
    // The item of the sender code, else the item's template; null when there is neither.
    XmlElement conditionItem(const QString& interfaceName, const QString& label,
                             const QString& senderCode) const;

    // Takes the server address and credentials of the login. When it names no address the
    // server can be asked at, *message says so and the result is false.
    bool useLogin(const LoginSettings& login, QString* message);
    QString importUrl() const { return m_url; }
    const OperatorCredentials& credentials() const { return m_credentials; }

private:
    AppFolder m_folder;
    XmlDocument m_conditions;
    bool m_planConditions = false;
    ConditionItemIndex m_index;
    QString m_url;
    OperatorCredentials m_credentials;
};

} // namespace kvx
