#include "app/work_windows.h"

#include "app/app_context.h"
#include "app/frm_main.h"
#include "conditions/frm_condition.h"
#include "exchange/frm_import.h"
#include "exchange/frm_run_history.h"
#include "mail/frm_mail.h"
#include "platform/services.h"
#include "replace/frm_replace.h"
#include "schedule/frm_schedule.h"

namespace kvx {

namespace {

// Connected as every exchange window loads, as the mail transfer window connects its own.
// What a transfer has to say is shown when it ends, whether or not the window is still open.
AttachmentMail& exchangeMail(Services& services, AppContext& context) {
    if (!context.exchangeMail) {
        context.exchangeMail = std::make_unique<AttachmentMail>(context.attachments);
        QObject::connect(context.exchangeMail.get(), &AttachmentMail::transferred,
                         [&prompter = services.prompter](const QList<MailNotice>& notices) {
                             for (const MailNotice& notice : notices)
                                 prompter.message(notice.text, notice.title, notice.icon);
                         });
    }
    context.mailSettings.load(services.folder);
    context.exchangeMail->initMail(context.mailSettings.configText());
    return *context.exchangeMail;
}

} // namespace

void registerWorkWindows(FrmMain& frame, Services& services, AppContext& context) {
    frame.setWindowFactory(WorkWindow::ExchangeWindow, [&services, &context] {
        auto* window = new FrmImport(services, context.login, context.attachments);
        window->setConditionEditorOpener([window, &services, &context](const QString& code) {
            FrmCondition::openNew(window, services, context.login.senderCode, false, code);
        });
        window->setMailTransport(&exchangeMail(services, context));
        return window;
    });
    frame.setWindowFactory(WorkWindow::MailWindow, [&services, &context] {
        return new FrmMail(services, context.paths, context.mailSettings, context.mailTransport);
    });
    frame.setWindowFactory(
        WorkWindow::ConditionEditor,
        [&services, &context] { return new FrmCondition(services, context.login.senderCode); },
        [](QWidget* window) { static_cast<FrmCondition*>(window)->Sche(false); });
    frame.setWindowFactory(WorkWindow::ReplaceSettings,
                           [&services] { return new FrmReplace(services); });
    frame.setWindowFactory(WorkWindow::RunHistory, [&services, &context] {
        return new FrmRunHistory(services, context.login);
    });
    frame.setWindowFactory(WorkWindow::ScheduleEditor, [&services, &context] {
        return new FrmSchedule(services, context.login.canEditSchedules, context.login.senderCode);
    });
}

} // namespace kvx
