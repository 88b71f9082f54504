#include "login/frm_http_login.h"

#include "login/login_context.h"
#include "login/login_request.h"
#include "login/login_verdict.h"
#include "login/product.h"
#include "login/server_interface.h"
#include "platform/clock.h"
#include "platform/http_client.h"
#include "platform/named_widgets.h"
#include "platform/services.h"
#include "settings/login_settings.h"
#include "settings/settings_file.h"

#include <QDateEdit>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>

namespace kvx {

namespace {

// The date is one stop of the Tab order: Tab leaves the box instead of walking through the
// date's parts, which the arrow keys reach.
class DateBox : public QDateEdit {
public:
    using QDateEdit::QDateEdit;

protected:
    bool focusNextPrevChild(bool next) override { return QWidget::focusNextPrevChild(next); }
};

} // namespace

FrmHttpLogin::FrmHttpLogin(Services& services, LoginContext& context, QWidget* parent)
    : QDialog(parent)
    , m_services(services)
    , m_context(context)
    , m_server(makeBox(QStringLiteral("txtHttpServer"), this))
    , m_user(makeBox(QStringLiteral("txtUser"), this))
    , m_password(makeBox(QStringLiteral("txtPwd"), this))
    , m_date(new DateBox(this))
    , m_sender(makeBox(QStringLiteral("txtSender"), this))
    , m_ok(makeButton(QStringLiteral("登录(&L)"), QStringLiteral("cmdOk"), this))
    , m_exit(makeButton(QStringLiteral("退出"), QStringLiteral("cmdExit"), this))
    , m_cancel(makeButton(QStringLiteral("取消(&C)"), QStringLiteral("cmdCancel"), this))
    , m_animation(new QProgressBar(this)) {
    setWindowTitle(QStringLiteral("远程登录"));
    m_password->setEchoMode(QLineEdit::Password);
    m_password->setStyleSheet(QStringLiteral("QLineEdit { lineedit-password-character: 42; }"));
    m_date->setObjectName(QStringLiteral("dpLogin"));
    m_date->setCalendarPopup(true);
    m_date->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    m_ok->setDefault(true);
    m_cancel->hide();
    // No animation file is needed: an endless progress bar shows that the request runs.
    m_animation->setObjectName(QStringLiteral("aniPlay"));
    m_animation->setRange(0, 0);
    m_animation->setTextVisible(false);
    m_animation->hide();

    auto* grid = new QGridLayout(this);
    grid->addWidget(makeLabel(QStringLiteral("远程服务器："), QStringLiteral("Label1"), this), 0,
                    0);
    grid->addWidget(m_server, 0, 1);
    grid->addWidget(makeLabel(QStringLiteral("用户名："), QStringLiteral("Label2"), this), 1, 0);
    grid->addWidget(m_user, 1, 1);
    grid->addWidget(makeLabel(QStringLiteral("密码："), QStringLiteral("Label3"), this), 2, 0);
    grid->addWidget(m_password, 2, 1);
    grid->addWidget(makeLabel(QStringLiteral("登录日期："), QStringLiteral("Label4"), this), 3, 0);
    grid->addWidget(m_date, 3, 1);
    grid->addWidget(makeLabel(QStringLiteral("注册号"), QStringLiteral("Label5"), this), 4, 0);
    grid->addWidget(m_sender, 4, 1);
    grid->addWidget(m_animation, 5, 0, 1, 2);
    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(m_ok);
    buttons->addWidget(m_cancel);
    buttons->addWidget(m_exit);
    grid->addLayout(buttons, 6, 0, 1, 2);
    setMinimumWidth(380);

    connect(m_ok, &QPushButton::clicked, this, &FrmHttpLogin::onOkClicked);
    connect(m_cancel, &QPushButton::clicked, this, &FrmHttpLogin::onCancelClicked);
    connect(m_exit, &QPushButton::clicked, this, &FrmHttpLogin::reject);

    m_server->setText(Product::defaultServerUrl());
    m_date->setDate(m_services.clock.today());
    loadLogin();
    // With server and user restored, the password is what the operator types first.
    if (!m_server->text().trimmed().isEmpty() && !m_user->text().trimmed().isEmpty())
        m_password->setFocus();
}

FrmHttpLogin::~FrmHttpLogin() {
    if (m_request)
        m_request->cancel();
}

void FrmHttpLogin::loadLogin() {
    const std::optional<LoginSettings> saved = LoginSettings::load(m_services.folder);
    if (!saved)
        return;
    m_server->setText(saved->serverUrl);
    m_user->setText(saved->operatorName);
    const QDate date = LoginSettings::parseDate(saved->businessDate);
    if (date.isValid())
        m_date->setDate(date);
}

void FrmHttpLogin::setBusy(bool busy) {
    m_busy = busy;
    m_ok->setEnabled(!busy);
    m_cancel->setVisible(busy);
    m_exit->setVisible(!busy);
    for (QWidget* field : {static_cast<QWidget*>(m_server), static_cast<QWidget*>(m_user),
                           static_cast<QWidget*>(m_password), static_cast<QWidget*>(m_date),
                           static_cast<QWidget*>(m_sender)})
        field->setEnabled(!busy);
}

void FrmHttpLogin::showFailure(const QString& message, Prompter::Icon icon) {
    m_services.prompter.message(message, Product::applicationTitle(), icon);
}

void FrmHttpLogin::onOkClicked() {
    setBusy(true);
    const QString encryptedPassword = m_services.encryptor.ascPwd(m_password->text().trimmed());
    const QString sender = m_sender->text().trimmed();
    if (sender.isEmpty()) {
        showFailure(QStringLiteral("注册号不能为空!"), Prompter::Icon::Information);
        setBusy(false);
        m_sender->setFocus();
        return;
    }
    // "\LoginWan.ini" could not keep them: refuse before the server is asked.
    if (!SettingsFile::canHold(m_server->text().trimmed()) ||
        !SettingsFile::canHold(m_user->text().trimmed())) {
        showFailure(QStringLiteral("服务器地址和用户名中不能含有双引号！"),
                    Prompter::Icon::Warning);
        setBusy(false);
        return;
    }

    const LoginRequest request{m_user->text().trimmed(), encryptedPassword,
                               LoginSettings::formatDate(m_date->date()), sender};
    m_sentSender = sender;
    m_sentPassword = encryptedPassword;
    m_animation->show();
    m_request = m_services.http.post(
        ServerInterface::address(m_server->text(), ServerInterface::Request::Login),
        request.toBytes(), HttpClient::Limit::Login);
    connect(m_request, &HttpRequest::finished, this, &FrmHttpLogin::onAnswered);
}

void FrmHttpLogin::onAnswered(const HttpResult& result) {
    m_request = nullptr;
    if (m_asking) {
        m_heldAnswer = result;
        return;
    }
    m_animation->hide();
    const LoginVerdict verdict = LoginVerdict::fromResult(result);
    switch (verdict.kind) {
    case LoginVerdict::Kind::Cancelled:
        setBusy(false);
        done(QDialog::Rejected);
        return;
    case LoginVerdict::Kind::Failed:
        showFailure(verdict.message, verdict.icon);
        setBusy(false);
        return;
    case LoginVerdict::Kind::Succeeded:
        acceptLogin(verdict);
        return;
    }
}

void FrmHttpLogin::acceptLogin(const LoginVerdict& verdict) {
    // The file keeps exactly the password value the server accepted.
    const LoginSettings saved{m_server->text().trimmed(), m_user->text().trimmed(), m_sentPassword,
                              LoginSettings::formatDate(m_date->date())};
    QString error;
    if (!saved.save(m_services.folder, &error)) {
        showFailure(error, Prompter::Icon::Warning);
    }
    m_context.acceptLogin(saved, m_sentSender, verdict.canConfigure, verdict.canExecute);
    m_context.canEditSchedules = verdict.canEditSchedules;
    m_loginSucceeded = true;
    setBusy(false);
    accept();
}

// The answer wins over a cancel confirmed after it came, as it always has: the question is
// asked while the request runs on.
void FrmHttpLogin::onCancelClicked() {
    if (!m_request)
        return;
    m_asking = true;
    const bool confirmed =
        m_services.prompter.question(QStringLiteral("连接正在进行，确定想要结束？"),
                                     Product::applicationTitle(), Prompter::Buttons::OkCancel,
                                     Prompter::Icon::Information) == Prompter::Answer::Ok;
    m_asking = false;
    if (m_heldAnswer) {
        const HttpResult answer = *std::exchange(m_heldAnswer, std::nullopt);
        onAnswered(answer);
        return;
    }
    if (confirmed && m_request)
        m_request->cancel();
}

void FrmHttpLogin::reject() {
    if (m_busy)
        onCancelClicked();
    else
        QDialog::reject();
}

} // namespace kvx
