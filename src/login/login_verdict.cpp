#include "login/login_verdict.h"

#include "login/login_answer.h"
#include "login/server_interface.h"
#include "platform/http_request.h"

namespace kvx {

namespace {

// A message box cannot usefully show megabytes of a misbehaving server's answer.
constexpr qsizetype kShownAnswerLength = 2000;

LoginVerdict failure(const QString& message, Prompter::Icon icon) {
    LoginVerdict verdict;
    verdict.message = message;
    verdict.icon = icon;
    return verdict;
}

QString unreadableAnswerMessage(const QString& text) {
    QString shown = text.trimmed().left(kShownAnswerLength);
    if (text.trimmed().size() > kShownAnswerLength)
        shown += QStringLiteral("…");
    return QStringLiteral("登录失败！服务器的应答不是可以识别的登录结果：") + QLatin1Char('\n') +
           (shown.isEmpty() ? QStringLiteral("(空)") : shown);
}

} // namespace

LoginVerdict LoginVerdict::fromResult(const HttpResult& result) {
    switch (result.outcome) {
    case HttpResult::Outcome::Cancelled:
        return {Kind::Cancelled, {}, Prompter::Icon::None, false, false};
    case HttpResult::Outcome::BadUrl:
        return failure(ServerInterface::badAddressMessage(), Prompter::Icon::Warning);
    case HttpResult::Outcome::Failed:
    case HttpResult::Outcome::TimedOut:
        return failure(ServerInterface::loginConnectionFailedMessage(), Prompter::Icon::Warning);
    case HttpResult::Outcome::Completed:
        break;
    }
    if (result.status != 200)
        return failure(ServerInterface::loginConnectionFailedMessage(), Prompter::Icon::Warning);

    const LoginAnswer answer = LoginAnswer::read(result.body);
    switch (answer.kind) {
    case LoginAnswer::Kind::Succeeded:
        return {Kind::Succeeded,      {},
                Prompter::Icon::None, answer.canConfigure,
                answer.canExecute,    answer.canEditSchedules};
    case LoginAnswer::Kind::Refused:
        // An empty reason would show an empty box; say at least that the login failed.
        return failure(answer.description.trimmed().isEmpty() ? QStringLiteral("登录失败！")
                                                              : answer.description,
                       Prompter::Icon::None);
    case LoginAnswer::Kind::RightsMissing:
        return failure(ServerInterface::loginRightsMissingMessage(answer.xmlText),
                       Prompter::Icon::None);
    case LoginAnswer::Kind::Unreadable:
        break;
    }
    return failure(unreadableAnswerMessage(answer.xmlText), Prompter::Icon::Critical);
}

} // namespace kvx
