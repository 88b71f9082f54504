#include "platform/autostart.h"

#include "platform/app_folder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>

#ifdef Q_OS_WIN
#include <QSettings>
#endif

namespace kvx {

#ifdef Q_OS_WIN

namespace {
const QString kRunKey =
    QStringLiteral("HKEY_CURRENT_USER\\software\\microsoft\\windows\\currentversion\\run");
} // namespace

QString Autostart::commandLine(const QString& program, const QStringList& arguments) {
    QStringList parts;
    for (const QString& part : QStringList{QDir::toNativeSeparators(program)} + arguments)
        parts << (part.contains(QLatin1Char(' ')) || part.isEmpty()
                      ? QLatin1Char('"') + part + QLatin1Char('"')
                      : part);
    return parts.join(QLatin1Char(' '));
}

QString DesktopAutostart::command(const QString& name) const {
    return QSettings(kRunKey, QSettings::NativeFormat).value(name).toString();
}

bool DesktopAutostart::setCommand(const QString& name, const QString& command, QString* error) {
    QSettings run(kRunKey, QSettings::NativeFormat);
    run.setValue(name, command);
    run.sync();
    if (run.status() == QSettings::NoError)
        return true;
    if (error)
        *error = QStringLiteral("无法写入注册表启动项");
    return false;
}

#else

namespace {

QString entryPath(const QString& name) {
    QString config = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (config.isEmpty())
        config = QDir::homePath() + QStringLiteral("/.config");
    return config + QStringLiteral("/autostart/") + name + QStringLiteral(".desktop");
}

// The escapes of a desktop entry's string values.
QString unescapeValue(const QString& value) {
    QString text;
    for (int i = 0; i < value.size(); ++i) {
        const QChar c = value.at(i);
        if (c != QLatin1Char('\\') || i + 1 == value.size()) {
            text += c;
            continue;
        }
        const QChar next = value.at(++i);
        text += next == QLatin1Char('s')   ? QChar(QLatin1Char(' '))
                : next == QLatin1Char('n') ? QChar(QLatin1Char('\n'))
                : next == QLatin1Char('t') ? QChar(QLatin1Char('\t'))
                : next == QLatin1Char('r') ? QChar(QLatin1Char('\r'))
                                           : next;
    }
    return text;
}

} // namespace

// An argument with a reserved character is double-quoted, with ", `, $ and \ escaped inside.
QString Autostart::commandLine(const QString& program, const QStringList& arguments) {
    static const QRegularExpression reserved(QStringLiteral("[\\s\"'\\\\><~|&;$*?#()`]"));
    QStringList parts;
    for (const QString& part : QStringList{program} + arguments) {
        if (!part.isEmpty() && !reserved.match(part).hasMatch()) {
            parts << part;
            continue;
        }
        QString quoted = part;
        quoted.replace(QRegularExpression(QStringLiteral("([\"`$\\\\])")), QStringLiteral("\\\\1"));
        parts << QLatin1Char('"') + quoted + QLatin1Char('"');
    }
    return parts.join(QLatin1Char(' '));
}

QString DesktopAutostart::command(const QString& name) const {
    QFile file(entryPath(name));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    bool inEntry = false;
    for (const QString& line : QString::fromUtf8(file.readAll()).split(QLatin1Char('\n'))) {
        const QString trimmed = line.trimmed();
        if (trimmed.startsWith(QLatin1Char('[')))
            inEntry = trimmed == QLatin1String("[Desktop Entry]");
        else if (inEntry && trimmed.startsWith(QLatin1String("Exec=")))
            return unescapeValue(trimmed.mid(5)).replace(QLatin1String("%%"), QLatin1String("%"));
    }
    return {};
}

bool DesktopAutostart::setCommand(const QString& name, const QString& command, QString* error) {
    const QString path = entryPath(name);
    QString exec = command;
    exec.replace(QLatin1Char('\\'), QLatin1String("\\\\"))
        .replace(QLatin1Char('%'), QLatin1String("%%"));
    const QString entry = QStringLiteral("[Desktop Entry]\nType=Application\nName=") + name +
                          QStringLiteral("\nExec=") + exec +
                          QStringLiteral("\nTerminal=false\nX-GNOME-Autostart-enabled=true\n");
    if (!QDir().mkpath(QFileInfo(path).absolutePath())) {
        if (error)
            *error = QDir::toNativeSeparators(QFileInfo(path).absolutePath()) +
                     QStringLiteral("文件夹无法创建");
        return false;
    }
    return AppFolder::writeAtomically(path, entry.toUtf8(), error);
}

#endif

} // namespace kvx
