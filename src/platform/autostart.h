#pragma once

#include <QString>
#include <QStringList>

namespace kvx {

// The programs the operator's desktop starts at logon: on Linux and other Unix desktops an
// XDG autostart entry ($XDG_CONFIG_HOME/autostart/<name>.desktop, by default below
// ~/.config), on Windows a value of the current user's Run key.
class Autostart {
public:
    virtual ~Autostart() = default;
    // The command line registered under the name; empty when there is none.
    virtual QString command(const QString& name) const = 0;
    // Registers the command line under the name, replacing what was there.
    virtual bool setCommand(const QString& name, const QString& command, QString* error) = 0;

    // The program and its arguments as one command line of this platform, each part quoted
    // where it needs to be.
    static QString commandLine(const QString& program, const QStringList& arguments);
};

class DesktopAutostart : public Autostart {
public:
    QString command(const QString& name) const override;
    bool setCommand(const QString& name, const QString& command, QString* error) override;
};

} // namespace kvx
