#include "platform/mail/mail_transport.h"

#include "platform/keyring.h"
#include "platform/mail/drop_folder_carrier.h"
#include "platform/mail/internet_mail_carrier.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QMetaMethod>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <utility>

namespace kvx {

namespace {

QString newMailName(const QString& tag) {
    return tag + QDateTime::currentDateTimeUtc().toString(QStringLiteral("yyyyMMddHHmmsszzz")) +
           QStringLiteral("-%1.db").arg(QRandomGenerator::global()->generate() & 0xffffff, 6, 16,
                                        QLatin1Char('0'));
}

} // namespace

MailTransport::MailTransport(QObject* parent)
    : QObject(parent) {}

MailTransport::~MailTransport() {
    // The work under way stops where it may; the worker threads are waited for.
    m_cancel = true;
}

QString MailTransport::clearPasswordWarning() {
    return QStringLiteral("邮件设置为 tls=none：邮件密码将不加密地传给邮件服务器，请改用 "
                          "starttls 或 ssl。");
}

bool MailTransport::start(QString* error) {
    m_config = MailConfig::parse(m_configText, &m_startError);
    if (m_config.kind == MailConfig::Kind::None && m_startError.isEmpty())
        m_startError = QStringLiteral("未设置邮件传输方式");
    if (error)
        *error = m_config.kind == MailConfig::Kind::None ? m_startError : QString();
    return isStarted();
}

template <typename Call, typename Done> void MailTransport::onWorker(Call call, Done done) {
    m_workers.start(
        this,
        [call] {
            QString error;
            auto value = call(&error);
            return std::make_pair(value, error);
        },
        [done](const auto& answer) { done(answer.first, answer.second); });
}

bool MailTransport::transfer() {
    if (isTransferring())
        return false;
    m_result = MailTransferResult();
    m_cancel = false;
    m_step = Step::Preparing;
    if (!isStarted()) {
        // Without a configuration text nothing is connected and nothing happens.
        if (!m_configText.trimmed().isEmpty())
            m_result.errors.append(m_startError);
        QMetaObject::invokeMethod(this, &MailTransport::end, Qt::QueuedConnection);
    } else if (m_config.usesKeyring()) {
        Q_EMIT progressed(QStringLiteral("正在读取系统密钥环中的邮件密码……"));
        Keyring::read(m_config.keyringKey(), this,
                      [this](const std::optional<QString>& password, const QString& error) {
                          if (!error.isEmpty())
                              m_result.errors.append(
                                  QStringLiteral("无法读取系统密钥环中的邮件密码：") + error);
                          m_result.passwordMissing = error.isEmpty() && !password;
                          if (password)
                              beginWithPassword(*password);
                          else
                              end();
                      });
    } else {
        QMetaObject::invokeMethod(
            this, [this] { beginWithPassword(m_config.password); }, Qt::QueuedConnection);
    }
    return true;
}

void MailTransport::cancel() {
    m_cancel = true;
}

void MailTransport::beginWithPassword(const QString& password) {
    if (m_config.sendsPasswordInClear() && m_warnedFor != m_configText) {
        m_warnedFor = m_configText;
        m_result.notices.append(clearPasswordWarning());
    }
    MailConfig config = m_config;
    config.password = password;
    if (config.kind == MailConfig::Kind::DropFolder)
        m_carrier = std::make_unique<DropFolderCarrier>(config.outbox, config.inbox, m_tag);
    else
        m_carrier = std::make_unique<InternetMailCarrier>(config, m_tag, &m_cancel);
    m_work = std::make_unique<QTemporaryDir>();
    if (!m_work->isValid()) {
        m_result.errors.append(QStringLiteral("无法建立临时目录：") + m_work->errorString());
        end();
        return;
    }
    offerNewMail();
}

void MailTransport::offerNewMail() {
    m_newMailName = newMailName(m_tag);
    const QString path = m_work->filePath(m_newMailName);
    QFile created(path);
    if (!created.open(QIODevice::WriteOnly)) {
        m_result.errors.append(QStringLiteral("无法建立邮件数据库：") + created.errorString());
        listWaiting();
        return;
    }
    created.close();
    m_step = Step::NewMail;
    if (isSignalConnected(QMetaMethod::fromSignal(&MailTransport::AfterNewMail)))
        Q_EMIT AfterNewMail(QDir::toNativeSeparators(path));
    else
        acknowledgeNewMail(true);
}

void MailTransport::acknowledgeNewMail(bool abandon) {
    if (m_step != Step::NewMail)
        return;
    m_step = abandon ? Step::Listing : Step::Sending;
    QMetaObject::invokeMethod(this,
                              abandon ? &MailTransport::listWaiting : &MailTransport::sendNewMail,
                              Qt::QueuedConnection);
}

void MailTransport::sendNewMail() {
    Q_EMIT progressed(QStringLiteral("正在发送邮件……"));
    onWorker([carrier = m_carrier.get(), path = m_work->filePath(m_newMailName),
              name = m_newMailName](QString* error) { return carrier->send(path, name, error); },
             [this](bool sent, const QString& error) {
                 m_result.newMailSent = sent;
                 if (!sent)
                     m_result.errors.append(error);
                 listWaiting();
             });
}

void MailTransport::listWaiting() {
    m_step = Step::Listing;
    if (m_cancel) {
        finish();
        return;
    }
    Q_EMIT progressed(QStringLiteral("正在查看收到的邮件……"));
    onWorker([carrier = m_carrier.get()](QString* error) { return carrier->waitingMails(error); },
             [this](const QStringList& waiting, const QString& error) {
                 if (!error.isEmpty())
                     m_result.errors.append(error);
                 m_waiting = waiting;
                 fetchNext();
             });
}

void MailTransport::fetchNext() {
    if (m_cancel || m_waiting.isEmpty()) {
        finish();
        return;
    }
    m_step = Step::Fetching;
    Q_EMIT progressed(QStringLiteral("正在接收邮件，还有 %1 封……").arg(m_waiting.size()));
    m_key = m_waiting.takeFirst();
    const QString path = m_work->filePath(QStringLiteral("arrived-") + m_key);
    onWorker([carrier = m_carrier.get(), key = m_key,
              path](QString* error) { return carrier->fetch(key, path, error); },
             [this, path](MailCarrier::Fetched fetched, const QString& error) {
                 if (fetched == MailCarrier::Fetched::Failed)
                     m_result.errors.append(error);
                 if (fetched != MailCarrier::Fetched::Database) {
                     fetchNext();
                     return;
                 }
                 m_step = Step::GetFrom;
                 if (isSignalConnected(QMetaMethod::fromSignal(&MailTransport::OnGetFrom)))
                     Q_EMIT OnGetFrom(QDir::toNativeSeparators(path));
                 else
                     acknowledgeGetFrom(true);
             });
}

void MailTransport::acknowledgeGetFrom(bool abandon) {
    if (m_step != Step::GetFrom)
        return;
    QFile::remove(m_work->filePath(QStringLiteral("arrived-") + m_key));
    if (abandon)
        ++m_result.left;
    m_step = abandon ? Step::Fetching : Step::Removing;
    QMetaObject::invokeMethod(this,
                              abandon ? &MailTransport::fetchNext : &MailTransport::removeTaken,
                              Qt::QueuedConnection);
}

void MailTransport::removeTaken() {
    onWorker([carrier = m_carrier.get(),
              key = m_key](QString* error) { return carrier->remove(key, error); },
             [this](bool removed, const QString& error) {
                 if (removed)
                     ++m_result.taken;
                 else
                     m_result.errors.append(error);
                 fetchNext();
             });
}

void MailTransport::finish() {
    m_step = Step::Finishing;
    onWorker([carrier = m_carrier.get()](QString* error) { return carrier->finish(error); },
             [this](bool finished, const QString& error) {
                 if (!finished)
                     m_result.errors.append(error);
                 end();
             });
}

void MailTransport::end() {
    m_carrier.reset();
    m_work.reset();
    m_step = Step::Idle;
    m_result.errors.removeDuplicates();
    const MailTransferResult result = m_result;
    Q_EMIT finished(result);
}

} // namespace kvx
