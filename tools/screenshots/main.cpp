#include "app/app_context.h"
#include "app/frm_main.h"
#include "app/work_windows.h"
#include "login/frm_http_login.h"
#include "platform/gui_prompter.h"
#include "platform/owned_services.h"
#include "platform/xml/xml_document.h"
#include "screen_driver.h"
#include "tour.h"

#include <QApplication>
#include <cstdio>

// kvx-screenshots OUTPUT-FOLDER: the console's windows on the application folder of
// KVX_APP_DIR, logged in to the server its LoginWan.ini names as demo/demo with registration
// code 001, each saved as a picture. scripts/demo.sh --screenshots runs it under Xvfb
// against the demo server.
int main(int argc, char** argv) {
    QApplication app(argc, argv);
    kvx::XmlDocument::initializeLibrary();
    if (app.arguments().size() != 2) {
        std::fprintf(stderr, "usage: kvx-screenshots OUTPUT-FOLDER\n");
        return 2;
    }
    kvx::screenshots::ScreenDriver driver(app.arguments().at(1));
    kvx::screenshots::Tour tour(driver);

    kvx::OwnedServices<kvx::GuiPrompter> owned(kvx::AppFolder::fromEnvironment());
    kvx::AppContext context;
    app.setQuitOnLastWindowClosed(false);
    {
        kvx::FrmHttpLogin login(owned.services, context.login);
        tour.prepareLogin();
        login.exec();
        if (!login.loginSucceeded()) {
            std::fprintf(stderr, "screenshots: the login failed\n");
            return 1;
        }
    }
    kvx::FrmMain frame(owned.services, context);
    kvx::registerWorkWindows(frame, owned.services, context);
    frame.show();
    tour.visitFrame(frame);

    for (const QString& failure : driver.failures())
        std::fprintf(stderr, "screenshots: not done: %s\n", qPrintable(failure));
    return driver.failures().isEmpty() ? 0 : 1;
}
