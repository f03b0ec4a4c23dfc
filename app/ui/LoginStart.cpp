// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "app/ui/LoginStart.h"

#include <QDir>
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

} // namespace quillmote::ui
