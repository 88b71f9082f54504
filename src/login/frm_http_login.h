#pragma once

#include "platform/prompter.h"

#include <QDialog>

class QDateEdit;
class QLineEdit;
class QProgressBar;
class QPushButton;

namespace kvx {

struct LoginContext;
struct LoginVerdict;
struct Services;

// The login to the exchange server. On success it rewrites "\LoginWan.ini", fills the login
// context and closes; the caller reads loginSucceeded() afterwards.
class FrmHttpLogin : public QDialog {
    Q_OBJECT
public:
    FrmHttpLogin(Services& services, LoginContext& context, QWidget* parent = nullptr);

    bool loginSucceeded() const { return m_loginSucceeded; }
    bool isBusy() const { return m_busy; }

public Q_SLOTS:
    // Escape and the close box while a request is under way ask like the cancel button.
    void reject() override;

private:
    void onOkClicked();
    void onCancelClicked();

    void loadLogin();
    void setBusy(bool busy);
    void showFailure(const QString& message, Prompter::Icon icon);
    void acceptLogin(const QString& sender, const QString& encryptedPassword,
                     const LoginVerdict& verdict);
    bool takeCancelRequest();

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
    bool m_cancelRequested = false;
    bool m_busy = false;
};

} // namespace kvx
