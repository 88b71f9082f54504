#include "login/server_interface.h"

#include "platform/http_request.h"
#include "settings/text_decoding.h"

namespace kvx::ServerInterface {

namespace {

const QString kNoAnswerImport = QStringLiteral("连接失败！请检查网络连接(服务器IIS是否启动)");
const QString kServerSays = QStringLiteral("连接失败！服务器信息：");

QString unansweredReason(const HttpResult& result) {
    switch (result.outcome) {
    case HttpResult::Outcome::TimedOut:
        return QStringLiteral("等待应答超过了时限");
    case HttpResult::Outcome::Cancelled:
        return QStringLiteral("等待应答时已取消");
    default:
        return QStringLiteral("应答前连接已中断");
    }
}

} // namespace

QString address(const QString& serverText, Request request) {
    QString url = serverText;
    if (!serverText.trimmed().endsWith(QLatin1Char('/')))
        url += QLatin1Char('/');
    switch (request) {
    case Request::Login:
        return url + QStringLiteral("M6KVX/") + QStringLiteral("login.asp");
    case Request::Import:
    case Request::Export:
        break;
    }
    return url + QStringLiteral("M6Kvx/") + QStringLiteral("import.asp");
}

QString exampleServerAddress() {
    return QStringLiteral("http://192.168.0.1/");
}

QString badAddressMessage() {
    return QStringLiteral("Url地址不正确，请与相关的服务器管理员联系！") + QStringLiteral("(类似") +
           exampleServerAddress() + QStringLiteral(")");
}

QString loginConnectionFailedMessage() {
    return QStringLiteral("登录失败,请检查网络连接(服务器需要IIS支持)！");
}

QString loginRightsMissingMessage(const QString& answerXml) {
    return QStringLiteral("返回xmlError") + answerXml;
}

QString importTransportFailure(const HttpResult& result) {
    if (result.outcome == HttpResult::Outcome::BadUrl)
        return badAddressMessage();
    if (result.ok())
        return {};
    if (result.unanswered())
        return QStringLiteral("导入结果未知：请求已发给服务器，但") + unansweredReason(result) +
               QStringLiteral("。服务器可能已经接收了这些记录，请先在服务器上核对，再决定是否重新"
                              "导入，以免记录重复！");
    const QString text = answerText(result);
    return text.isEmpty() ? kNoAnswerImport : kServerSays + text;
}

QString exportTransportFailure(const HttpResult& result) {
    if (result.outcome == HttpResult::Outcome::BadUrl)
        return badAddressMessage();
    if (result.ok())
        return {};
    if (result.unanswered())
        return QStringLiteral("导出失败：请求已发给服务器，但") + unansweredReason(result) +
               QStringLiteral("，没有收到数据。");
    // Without any answer there is no server information to show: say what to check instead.
    if (!result.answered())
        return kNoAnswerImport;
    return kServerSays + answerText(result);
}

QString importNotXmlMessage(const QString& answerText) {
    return QStringLiteral("导入失败！") + QLatin1Char('\n') + answerText;
}

QString exportNotXmlMessage(const QString& answerText) {
    return QStringLiteral("导出失败！") + QLatin1Char('\n') + answerText;
}

QString refusedAnswerText(const QString& reason) {
    return QStringLiteral("服务器的应答不予接受：") + reason;
}

QString answerText(const HttpResult& result) {
    return decodeUtf8OrGb18030(result.body);
}

} // namespace kvx::ServerInterface
