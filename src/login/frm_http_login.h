#pragma once

#include "platform/http_request.h"
#include "platform/prompter.h"

#include <QDialog>
#include <QPointer>
#include <optional>

class QDateEdit;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace kvx {

struct LoginContext;
struct LoginVerdict;
struct Services;

// The login to the exchange server. On success it rewrites "\LoginWan.ini", fills the login
// context and closes; the caller reads loginSucceeded() afterwards. While the server is asked
// the dialog stays responsive and only the cancel button is offered.
class FrmHttpLogin : public QDialog {
    Q_OBJECT
public:
    FrmHttpLogin(Services& services, LoginContext& context, QWidget* parent = nullptr);
    ~FrmHttpLogin() override;

    bool loginSucceeded() const { return m_loginSucceeded; }
    bool isBusy() const { return m_busy; }

public Q_SLOTS:
    // Escape and the close box while a request is under way ask like the cancel button.
    void reject() override;

private:
    void onOkClicked();
    void onAnswered(const HttpResult& result);
    void onCancelClicked();

    void loadLogin();
    void setBusy(bool busy);
    void showFailure(const QString& message, Prompter::Icon icon);
    void acceptLogin(const LoginVerdict& verdict);

    Services& m_services;
    LoginContext& m_context;
    QLineEdit* m_server;
    QLineEdit* m_user;
    QLineEdit* m_password;
    QDateEdit* m_date;
    QLineEdit* m_sender;
    QPushButton* m_ok;
    QPushButton* m_exit;
    QPushButton* m_cancel;
    QProgressBar* m_animation;
    bool m_loginSucceeded = false;
    bool m_busy = false;
    // The attempt under way: its request, and what it sent.
    QPointer<HttpRequest> m_request;
    QString m_sentSender;
    QString m_sentPassword;
    // The answer that came while the operator was asked whether to cancel: it is taken up
    // once the question is answered.
    bool m_asking = false;
    std::optional<HttpResult> m_heldAnswer;
};

} // namespace kvx
