#include "app/app_context.h"
#include "app/frm_main.h"
#include "app/work_windows.h"
#include "login/frm_http_login.h"
#include "platform/app_folder.h"
#include "platform/clock.h"
#include "platform/gui_prompter.h"
#include "platform/help_viewer.h"
#include "platform/http_client.h"
#include "platform/services.h"
#include "platform/shell.h"
#include "platform/single_instance.h"
#include "platform/xml_document.h"

#include <QApplication>

int main(int argc, char** argv) {
    QApplication app(argc, argv);
    kvx::XmlDocument::initializeLibrary();

    const kvx::AppFolder folder = kvx::AppFolder::fromEnvironment();
    const kvx::SingleInstanceGuard instance(folder.root());
    if (!instance.isFirstInstance())
        return 0;

    kvx::GuiPrompter prompter;
    kvx::HttpClient http;
    kvx::SystemClock clock;
    kvx::DesktopShell shell;
    kvx::ShellHelpViewer help(shell);
    kvx::Services services{folder, prompter, http, clock, shell, help, kvx::PasswordEncryptor{}};
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
    frame.show();
    app.setQuitOnLastWindowClosed(true);
    return app.exec();
}
