#include "settings/login_settings.h"

#include "platform/app_folder.h"
#include "settings/settings_file.h"

#include <QRegularExpression>

namespace kvx {

std::optional<LoginSettings> LoginSettings::load(const AppFolder& folder) {
    const std::optional<QStringList> items = SettingsFile::read(folder.resolve(relativePath()));
    if (!items)
        return std::nullopt;
    LoginSettings settings;
    settings.serverUrl = items->value(0);
    settings.operatorName = items->value(1);
    settings.encryptedPassword = items->value(2);
    settings.businessDate = items->value(3);
    return settings;
}

bool LoginSettings::save(const AppFolder& folder, QString* error) const {
    return SettingsFile::write(folder.resolve(relativePath()),
                               {serverUrl, operatorName, encryptedPassword, businessDate}, error);
}

QString LoginSettings::formatDate(const QDate& date) {
    return date.toString(QStringLiteral("yyyy-MM-dd"));
}

QDate LoginSettings::parseDate(const QString& text) {
    static const QRegularExpression form(
        QStringLiteral(R"(^\s*(\d{4})\s*[-/.年]\s*(\d{1,2})\s*[-/.月]\s*(\d{1,2})\s*日?\s*$)"));
    const QRegularExpressionMatch match = form.match(text);
    if (!match.hasMatch())
        return {};
    return QDate(match.captured(1).toInt(), match.captured(2).toInt(), match.captured(3).toInt());
}

} // namespace kvx
