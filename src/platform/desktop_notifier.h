#pragma once

#include <QString>

namespace kvx {

// A note on the desktop of the logged-in user, through the freedesktop notification service
// of the session bus. Where there is no session bus, or no service on it, nothing is shown
// and notify() says so; the caller's log is then the only record.
class DesktopNotifier {
public:
    explicit DesktopNotifier(QString applicationName);

    // False when no notification service took the note.
    bool notify(const QString& summary, const QString& body);

private:
    QString m_applicationName;
};

} // namespace kvx
