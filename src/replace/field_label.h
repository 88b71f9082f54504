#pragma once

#include "platform/xml/xml_element.h"

#include <QString>

namespace kvx {

// The label of a reference field of the replace file: the `display` attribute of the field's
// element in the item's structure document (below `structureRoot`), found by the item and
// the field's `HeadorBody`, `RepAttr` and `Access`; a header or body field of any item but
// "voucher" is suffixed "-主表" or "-子表". Without such an element or `display` the label is
// `RepAttr` itself.
QString fieldLabel(const QString& itemName, const XmlElement& field,
                   const XmlElement& structureRoot);

} // namespace kvx
