#pragma once

#include <QString>

namespace kvx {

class AppFolder;

// "\mail.ini": the configuration text of the mail component (its forms are in MailConfig),
// the file's first item. A missing file means that no mail transport is set up.
class MailSettings {
public:
    static QString relativePath() { return QStringLiteral("\\mail.ini"); }

    // Reads the file once; later calls keep what was read.
    void load(const AppFolder& folder);
    QString configText() const { return m_configText; }

private:
    bool m_loaded = false;
    QString m_configText;
};

} // namespace kvx
