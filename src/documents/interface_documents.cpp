#include "documents/interface_documents.h"

#include <QRandomGenerator>

namespace kvx {

namespace {

const QString kCrLf = QStringLiteral("\r\n");

// Text for an attribute value between apostrophes that reads back as the same value. Line
// breaks and tabs would be normalised to blanks by a parser, so they become references too.
QString escapeAttribute(const QString& value) {
    QString escaped;
    escaped.reserve(value.size());
    for (const QChar c : value) {
        switch (c.unicode()) {
        case '&':
            escaped += QLatin1String("&amp;");
            break;
        case '<':
            escaped += QLatin1String("&lt;");
            break;
        case '\'':
            escaped += QLatin1String("&apos;");
            break;
        case '"':
            escaped += QLatin1String("&quot;");
            break;
        case '\t':
            escaped += QLatin1String("&#9;");
            break;
        case '\n':
            escaped += QLatin1String("&#10;");
            break;
        case '\r':
            escaped += QLatin1String("&#13;");
            break;
        default:
            escaped += c;
        }
    }
    return escaped;
}

} // namespace

QString BuildQueryEnvelope(const QString& roottag, const QString& sender,
                           const QString& exportneedexch) {
    return QStringLiteral("<?xml version='1.0' encoding='gb2312' ?>") + kCrLf +
           QStringLiteral("<ztinterface sender='") + escapeAttribute(sender) +
           QStringLiteral("' receiver='m6' roottag='") + escapeAttribute(roottag) +
           QStringLiteral("' docid='") + MakeDocId() +
           QStringLiteral("' proc='Query' codeexchanged='n' exportneedexch='") +
           escapeAttribute(exportneedexch) + QStringLiteral("'>") + kCrLf +
           QStringLiteral("</ztinterface>");
}

QString MakeDocId() {
    // One generator for the process: ids made within one clock tick still differ.
    return QString::number(QRandomGenerator::global()->bounded(1000000000U));
}

void NormalizeDataDocument(XmlDocument& document, const QString& roottag, const QString& sender) {
    XmlElement root = document.root();
    if (root.isNull())
        return;
    root.setAttribute(QStringLiteral("roottag"), roottag);
    root.setAttribute(QStringLiteral("receiver"), QStringLiteral("m6"));
    root.setAttribute(QStringLiteral("sender"), sender.trimmed());
    root.setAttribute(QStringLiteral("codeexchanged"), QStringLiteral("N"));
    root.setAttribute(QStringLiteral("exportneedexch"), QStringLiteral("N"));
    // The declaration is the document's encoding, not a processing instruction; a stray
    // instruction named "xml" cannot stay either.
    document.removeProcessingInstructions(QStringLiteral("xml"));
    document.setEncoding(QStringLiteral("gb2312"));
}

XmlElement appendOpinfo(XmlDocument& document, const OperatorCredentials& credentials) {
    XmlElement opinfo = document.root().appendChild(QStringLiteral("opinfo"));
    opinfo.setAttribute(QStringLiteral("operator"), credentials.operatorName);
    opinfo.setAttribute(QStringLiteral("pwd"), credentials.encryptedPassword);
    opinfo.setAttribute(QStringLiteral("date"), credentials.businessDate);
    return opinfo;
}

} // namespace kvx
