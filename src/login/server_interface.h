#pragma once

#include <QString>

namespace kvx {

struct HttpResult;

// What the console sends to the exchange server and the fixed texts of what goes wrong.
// All three requests are POSTs of a document's bytes to an address below the server's.
namespace ServerInterface {

enum class Request { Login, Import, Export };

// The server text, a "/" unless its trimmed form already ends with "/", then the folder and
// page of the request ("M6KVX/login.asp"; "M6Kvx/import.asp" for import and export). The
// text itself is not trimmed: a blank after a final "/" stays inside the address.
QString address(const QString& serverText, Request request);

// The example shown with an address the HTTP layer cannot request.
QString exampleServerAddress();
// "Url地址不正确，请与相关的服务器管理员联系！(类似http://…/)"
QString badAddressMessage();

// Login: no answer at all (refused, unreachable, timed out) or a status other than 200.
QString loginConnectionFailedMessage();
// Login: a success answer without one of the two rights items.
QString loginRightsMissingMessage(const QString& answerXml);

// Import and export: the message for a request that brought no usable HTTP answer (bad
// address, no connection, status other than 200), or an empty text when the status was 200
// and the answer is to be read. A request that was sent but not answered (timed out, dropped,
// cancelled while waiting) gets a message of its own: an import tells the operator that the
// server may have taken the records and to check before importing again.
QString importTransportFailure(const HttpResult& result);
QString exportTransportFailure(const HttpResult& result);

// Import and export: a status 200 answer that is not XML.
QString importNotXmlMessage(const QString& answerText);
QString exportNotXmlMessage(const QString& answerText);
// What those messages show instead of the answer when the answer was refused for its document
// type declaration (it declares an entity or names an external subset).
QString refusedAnswerText(const QString& reason);

// The response text as a person reads it (UTF-8, or the Chinese Windows code page).
QString answerText(const HttpResult& result);

} // namespace ServerInterface

} // namespace kvx
