#include "replace/replace_document.h"

#include "platform/shared_texts.h"

namespace kvx {

QString ReplaceDocument::relativePath() {
    return QStringLiteral("\\xml\\operation\\replace.xml");
}

bool ReplaceDocument::load(const AppFolder& folder, QString* error) {
    clear();
    m_path = folder.resolve(relativePath());
    XmlDocument document = XmlDocument::fromFile(m_path);
    if (document.isNull()) {
        *error = AppFolder::toNative(m_path) + QStringLiteral(" 文件不存在或不合法");
        return false;
    }
    const XmlElement replace = document.root().firstChildElement(QStringLiteral("replace"));
    if (replace.isNull()) {
        *error = AppFolder::toNative(m_path) + QStringLiteral(" 文件名不存在或不合法");
        return false;
    }
    m_document = std::move(document);
    m_replace = replace;
    for (const XmlElement& entry : m_replace.childElements()) {
        const QString display = entry.text().trimmed();
        m_displayByName.insert(entry.name(), display);
        m_nameByDisplay.insert(display, entry.name());
    }
    return true;
}

void ReplaceDocument::clear() {
    m_replace = {};
    m_document = {};
    m_displayByName.clear();
    m_nameByDisplay.clear();
}

QStringList ReplaceDocument::replaceableItems() const {
    QStringList items;
    for (const XmlElement& entry : m_replace.childElements()) {
        if (entry.attribute(QStringLiteral("BorI")) == QLatin1String("I"))
            items.append(m_displayByName.value(entry.name()));
    }
    return items;
}

QString ReplaceDocument::interfaceNameOf(const QString& displayName) const {
    return m_nameByDisplay.value(displayName);
}

QString ReplaceDocument::displayNameOf(const QString& interfaceName) const {
    return m_displayByName.value(interfaceName);
}

XmlElement ReplaceDocument::entry(const QString& interfaceName) const {
    return interfaceName.isEmpty() ? XmlElement() : m_replace.firstChildElement(interfaceName);
}

bool ReplaceDocument::save(QString* error) const {
    AppFolder::makeWritable(m_path);
    QString reason;
    if (m_document.save(m_path, &reason))
        return true;
    *error = SharedText::saveFailed(m_path, reason);
    return false;
}

} // namespace kvx
