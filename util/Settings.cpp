// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "util/Settings.h"

#include "util/Console.h"
#include "util/Log.h"
#include "util/UniqueFd.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

#include <algorithm>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillmote {

namespace {
bool ownedByOthers(const QByteArray& path)
{
    struct stat st = {};
    return ::lstat(path.constData(), &st) == 0 && st.st_uid != ::geteuid();
}

// Narrows the mode of an existing path to `mode`.
Settings::Privacy narrow(const QByteArray& path, mode_t mode)
{
    struct stat st = {};
    if (::lstat(path.constData(), &st) != 0 || S_ISLNK(st.st_mode) || (st.st_mode & 07777 & ~mode) == 0)
        return Settings::Privacy::Private;
    return ::chmod(path.constData(), mode) == 0 ? Settings::Privacy::Narrowed : Settings::Privacy::Failed;
}

static_assert(
    [] {
        for (std::size_t i = 0; i < Settings::keys.size(); ++i)
            if (static_cast<std::size_t>(Settings::keys[i].key) != i)
                return false;
        return true;
    }(),
    "Settings::keys is indexed by Key");
} // namespace

QString Settings::userFilePath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/Quillmote/Quillmote.conf");
}

Settings::Settings(QString path) : m_path(std::move(path)) {}

bool Settings::isOwn() const
{
    return !ownedByOthers(QFile::encodeName(QFileInfo(m_path).absolutePath())) &&
           !ownedByOthers(QFile::encodeName(m_path));
}

Settings::Privacy Settings::makePrivate() const
{
    const QString folder = QFileInfo(m_path).absolutePath();
    const QByteArray folderBytes = QFile::encodeName(folder);
    const QByteArray fileBytes = QFile::encodeName(m_path);
    if (!QFileInfo::exists(folder)) {
        QDir().mkpath(folder);
        ::chmod(folderBytes.constData(), 0700);
    }
    if (ownedByOthers(folderBytes))
        return Privacy::Foreign;
    const Privacy folderPrivacy = narrow(folderBytes, 0700);
    // O_EXCL: a file that exists is only narrowed, never replaced.
    const UniqueFd created(
        ::open(fileBytes.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC | O_NOFOLLOW, 0600));
    if (ownedByOthers(fileBytes))
        return Privacy::Foreign;
    const Privacy filePrivacy = narrow(fileBytes, 0600);
    return std::max(folderPrivacy, filePrivacy);
}

std::optional<QString> Settings::text(Key key) const
{
    if (keys[static_cast<std::size_t>(key)].secret && !isOwn()) {
        qCDebug(lcSettings).noquote() << "not read from another user's file:" << name(key);
        return std::nullopt;
    }
    const QVariant stored = QSettings(m_path, QSettings::IniFormat).value(name(key));
    if (!stored.isValid())
        return std::nullopt;
    return stored.toString();
}

std::optional<quint16> Settings::port(Key key) const
{
    const std::optional<QString> stored = text(key);
    if (!stored)
        return std::nullopt;
    bool ok = false;
    const uint port = stored->toUInt(&ok);
    if (ok && port <= 65535)
        return static_cast<quint16>(port);
    console::line(QStringLiteral("The setting %1=%2 is not a port number; using the default port")
                      .arg(name(key), *stored));
    return std::nullopt;
}

bool Settings::flag(Key key, bool absent) const
{
    if (keys[static_cast<std::size_t>(key)].secret && !isOwn())
        return absent;
    return QSettings(m_path, QSettings::IniFormat).value(name(key), absent).toBool();
}

Settings::Saved Settings::write(Key key, const QVariant& value) const
{
    if (makePrivate() == Privacy::Foreign)
        return Saved::Foreign;
    QSettings settings(m_path, QSettings::IniFormat);
    settings.setValue(name(key), value);
    settings.sync();
    qCDebug(lcSettings).noquote() << "wrote" << name(key) << "to" << m_path << "status" << settings.status();
    return settings.status() == QSettings::NoError ? Saved::Saved : Saved::Failed;
}

} // namespace quillmote
