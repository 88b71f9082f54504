#pragma once

#include "platform/prompter.h"

#include <QList>
#include <QMetaType>
#include <QString>

namespace kvx {

// A message for the operator that the mail's core work returns and a window shows through
// its Prompter, in the order given.
struct MailNotice {
    QString text;
    QString title;
    Prompter::Icon icon = Prompter::Icon::None;
};

} // namespace kvx

Q_DECLARE_METATYPE(kvx::MailNotice)
