#pragma once

#include "platform/autostart.h"
#include "platform/clock.h"
#include "platform/help_viewer.h"
#include "platform/http_client.h"
#include "platform/logging_prompter.h"
#include "platform/services.h"
#include "platform/shell.h"

namespace kvx {

// Logs what a run says; a report is kept, not shown (the display window has a benchmark of
// its own).
class BenchPrompter : public LoggingPrompter {
public:
    void displayText(const QString& text) override { report = text; }
    QString report;
};

// The services a program builds, on a benchmark's application folder.
struct BenchServices {
    explicit BenchServices(const QString& folder)
        : services{AppFolder(folder), prompter,           http, clock, shell, help,
                   autostart,         PasswordEncryptor{}} {}

    BenchPrompter prompter;
    HttpClient http;
    SystemClock clock;
    DesktopShell shell;
    ShellHelpViewer help{shell};
    DesktopAutostart autostart;
    Services services;
};

} // namespace kvx
