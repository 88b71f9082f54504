#pragma once

#include <QString>
#include <QStringList>

namespace kvx {

// Hands a URL or document to the desktop, or starts a program.
class Shell {
public:
    virtual ~Shell() = default;
    virtual bool openUrl(const QString& url) = 0;
    virtual bool openDocument(const QString& path) = 0;
    virtual bool startProgram(const QString& program, const QStringList& arguments) = 0;
};

class DesktopShell : public Shell {
public:
    bool openUrl(const QString& url) override;
    bool openDocument(const QString& path) override;
    bool startProgram(const QString& program, const QStringList& arguments) override;
};

} // namespace kvx
