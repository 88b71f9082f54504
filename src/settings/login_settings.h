#pragma once

#include <QDate>
#include <QString>
#include <optional>

namespace kvx {

class AppFolder;

// "\LoginWan.ini": the persistent half of the login, rewritten whole after every successful
// login and re-read by whoever needs the server address, user, password or date.
struct LoginSettings {
    QString serverUrl;
    QString operatorName;
    QString encryptedPassword;
    QString businessDate;

    static QString relativePath() { return QStringLiteral("\\LoginWan.ini"); }

    // nullopt when nothing has been saved yet (or the file cannot be read); items missing
    // from a short file read as empty.
    static std::optional<LoginSettings> load(const AppFolder& folder);
    // False (the old file kept) when the file cannot be written or a value cannot be held
    // by the settings form (a double quote or a line break).
    bool save(const AppFolder& folder, QString* error = nullptr) const;

    // The business date is written as yyyy-mm-dd; files of older installations hold the
    // Windows short date form (2024/3/5, 2024-3-5, 2024年3月5日), which is read too.
    static QString formatDate(const QDate& date);
    static QDate parseDate(const QString& text);
};

} // namespace kvx
