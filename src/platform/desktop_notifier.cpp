#include "platform/desktop_notifier.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QVariantMap>

namespace kvx {

namespace {

const QString kService = QStringLiteral("org.freedesktop.Notifications");
const QString kPath = QStringLiteral("/org/freedesktop/Notifications");
// A note of a failed unattended run stays until the user closes it.
constexpr int kNeverExpires = 0;
// Without an answer by then the service is taken as absent.
constexpr int kAnswerTimeoutMs = 5000;

} // namespace

DesktopNotifier::DesktopNotifier(QString applicationName)
    : m_applicationName(std::move(applicationName)) {}

bool DesktopNotifier::notify(const QString& summary, const QString& body) {
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (!bus.isConnected() || !bus.interface() ||
        !bus.interface()->isServiceRegistered(kService).value())
        return false;
    QDBusMessage call =
        QDBusMessage::createMethodCall(kService, kPath, kService, QStringLiteral("Notify"));
    call << m_applicationName << uint(0) << QString() << summary << body << QStringList()
         << QVariantMap{{QStringLiteral("urgency"), QVariant::fromValue(uchar(2))}}
         << kNeverExpires;
    return bus.call(call, QDBus::Block, kAnswerTimeoutMs).type() == QDBusMessage::ReplyMessage;
}

} // namespace kvx
