#include "app/app_context.h"
#include "app/frm_main.h"
#include "app/plan_agent_launcher.h"
#include "app/work_windows.h"
#include "login/frm_http_login.h"
#include "login/product.h"
#include "platform/gui_prompter.h"
#include "platform/owned_services.h"
#include "platform/shared_texts.h"
#include "platform/single_instance.h"
#include "platform/user_app_folder.h"
#include "platform/xml/xml_document.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    kvx::XmlDocument::initializeLibrary();

    const kvx::UserAppFolder::Outcome folder =
        kvx::UserAppFolder::prepare(QCoreApplication::applicationDirPath());
    if (!folder.error.isEmpty()) {
        kvx::GuiPrompter().message(folder.error, kvx::Product::applicationTitle(),
                                   kvx::Prompter::Icon::Critical);
        return 1;
    }
    const kvx::SingleInstanceGuard instance(folder.folder.root());
    if (!instance.isFirstInstance())
        return 0;

    kvx::OwnedServices<kvx::GuiPrompter> owned(folder.folder);
    kvx::Services& services = owned.services;
    kvx::AppContext context;
    if (folder.created())
        services.prompter.message(folder.createdMessage(), kvx::Product::applicationTitle(),
                                  kvx::Prompter::Icon::Information);

    // Closing the login dialog must not end the event loop the frame is about to run.
    app.setQuitOnLastWindowClosed(false);
    {
        kvx::FrmHttpLogin login(services, context.login);
        login.exec();
        if (!login.loginSucceeded())
            return 0;
    }

    kvx::FrmMain frame(services, context);
    kvx::registerWorkWindows(frame, services, context);
    // "执行计划(&A)" and the command "数据交换计划执行".
    kvx::PlanAgentLauncher launcher(services);
    QObject::connect(&frame, &kvx::FrmMain::planAgentStartRequested, [&] {
        const kvx::PlanAgentLauncher::Outcome outcome = launcher.start();
        services.prompter.message(outcome.message, kvx::SharedText::promptTitle(), outcome.icon);
    });
    frame.show();
    app.setQuitOnLastWindowClosed(true);
    return app.exec();
}
