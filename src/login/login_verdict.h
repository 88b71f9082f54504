#pragma once

#include "platform/prompter.h"

#include <QString>

namespace kvx {

struct HttpResult;

// What a finished login request means for the operator: success with the two rights, a
// failure with the message to show (and its icon), or a wait the operator cancelled.
struct LoginVerdict {
    enum class Kind { Succeeded, Failed, Cancelled };

    Kind kind = Kind::Failed;
    QString message;
    Prompter::Icon icon = Prompter::Icon::None;
    bool canConfigure = false;
    bool canExecute = false;
    bool canEditSchedules = false;

    static LoginVerdict fromResult(const HttpResult& result);
};

} // namespace kvx
