#include "app/app_context.h"
#include "app/frm_main.h"
#include "app/plan_agent_launcher.h"
#include "app/work_windows.h"
#include "login/frm_http_login.h"
#include "platform/app_folder.h"
#include "platform/gui_prompter.h"
#include "platform/owned_services.h"
#include "platform/shared_texts.h"
#include "platform/single_instance.h"
#include "platform/xml/xml_document.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    kvx::XmlDocument::initializeLibrary();

    const kvx::AppFolder folder = kvx::AppFolder::fromEnvironment();
    const kvx::SingleInstanceGuard instance(folder.root());
    if (!instance.isFirstInstance())
        return 0;

    kvx::OwnedServices<kvx::GuiPrompter> owned(folder);
    kvx::Services& services = owned.services;
    kvx::AppContext context;

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
