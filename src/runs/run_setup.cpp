#include "runs/run_setup.h"

#include "conditions/condition_document.h"
#include "login/server_interface.h"
#include "platform/http_client.h"

namespace kvx {

RunSetup::RunSetup(AppFolder folder)
    : m_folder(std::move(folder)) {}

bool RunSetup::loadConditions(bool planConditions) {
    m_planConditions = planConditions;
    m_conditions = XmlDocument::fromFile(conditionFilePath());
    m_index.rebuild(m_conditions);
    return !m_conditions.isNull();
}

QString RunSetup::conditionFilePath() const {
    return m_folder.resolve(ConditionDocument::relativePath(m_planConditions));
}

XmlElement RunSetup::conditionItem(const QString& interfaceName, const QString& label,
                                   const QString& senderCode) const {
    return m_index.findForSender(interfaceName, label, senderCode);
}

bool RunSetup::useLogin(const LoginSettings& login, QString* message) {
    m_url = ServerInterface::address(login.serverUrl, ServerInterface::Request::Import);
    m_credentials = {login.operatorName, login.encryptedPassword, login.businessDate};
    if (!HttpClient::isRequestableUrl(m_url)) {
        *message = ServerInterface::badAddressMessage();
        return false;
    }
    return true;
}

} // namespace kvx
