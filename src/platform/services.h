#pragma once

#include "platform/app_folder.h"
#include "platform/password_encryptor.h"

namespace kvx {

class Autostart;
class Clock;
class HelpViewer;
class HttpClient;
class Prompter;
class Shell;

// The outside world as the windows and runs reach it; built once by the program (or a
// test) and handed down.
struct Services {
    AppFolder folder;
    Prompter& prompter;
    HttpClient& http;
    Clock& clock;
    Shell& shell;
    HelpViewer& help;
    Autostart& autostart;
    PasswordEncryptor encryptor;
};

} // namespace kvx
