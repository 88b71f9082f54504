#include "settings/mail_settings.h"

#include "platform/app_folder.h"
#include "settings/settings_file.h"

namespace kvx {

void MailSettings::load(const AppFolder& folder) {
    if (m_loaded)
        return;
    m_loaded = true;
    const std::optional<QStringList> items = SettingsFile::read(folder.resolve(relativePath()));
    if (items && !items->isEmpty())
        m_configText = items->first().trimmed();
}

} // namespace kvx
