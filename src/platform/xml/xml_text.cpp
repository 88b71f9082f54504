#include "platform/xml/xml_text.h"

namespace kvx {

QString xmlText(QByteArrayView utf8) {
    static constexpr QByteArrayView kFeff("\xEF\xBB\xBF");
    if (!utf8.startsWith(kFeff))
        return QString::fromUtf8(utf8);
    return QChar(0xFEFF) + xmlText(utf8.sliced(kFeff.size()));
}

} // namespace kvx
