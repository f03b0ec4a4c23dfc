// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "app/ui/LoginStart.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

namespace quillmote::ui {

QString LoginStart::entryPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/autostart/quillmote.desktop");
}

bool LoginStart::isEnabled()
{
    return QFileInfo::exists(entryPath());
}

QByteArray LoginStart::entry(const QString& program)
{
    QString quoted;
    for (const QChar c : program) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            quoted += u'\\';
        quoted += c;
    }
    return "[Desktop Entry]\n"
           "Type=Application\n"
           "Name=Quillmote\n"
           "Comment=Start Quillmote in the tray at login\n"
           "Exec=\"" +
           quoted.toUtf8() +
           "\" --minimized\n"
           "Icon=quillmote\n"
           "Terminal=false\n"
           "X-GNOME-Autostart-enabled=true\n";
}

bool LoginStart::setEnabled(bool enabled, const QString& program)
{
    const QString path = entryPath();
    if (!enabled)
        return !QFileInfo::exists(path) || QFile::remove(path);
    if (!QDir().mkpath(QFileInfo(path).absolutePath()))
        return false;
    QSaveFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(entry(program)) >= 0 && file.commit();
}

QString LoginStart::programFor(const QString& running)
{
    if (!isInBuildFolder(running))
        return running;
    const QString installed = QStandardPaths::findExecutable(QStringLiteral("quillmote"));
    return installed.isEmpty() || isInBuildFolder(installed) ? running : installed;
}

QString LoginStart::entryProgram()
{
    QFile file(entryPath());
    if (!file.open(QIODevice::ReadOnly))
        return {};
    for (const QByteArray& line : file.readAll().split('\n')) {
        if (!line.startsWith("Exec=\""))
            continue;
        // Undoes the quoting of entry(): a backslash takes the next character as it is.
        QByteArray program;
        for (qsizetype i = 6; i < line.size() && line[i] != '"'; ++i) {
            if (line[i] == '\\' && i + 1 < line.size())
                ++i;
            program += line[i];
        }
        return QString::fromUtf8(program);
    }
    return {};
}

bool LoginStart::isInBuildFolder(const QString& program)
{
    for (QDir dir = QFileInfo(program).absoluteDir();;) {
        if (dir.exists(QStringLiteral("CMakeCache.txt")))
            return true;
        if (!dir.cdUp())
            return false;
    }
}

} // namespace quillmote::ui
