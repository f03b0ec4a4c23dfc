// SPDX-License-Identifier: GPL-3.0-or-later
// SPDX-FileCopyrightText: 2026 Quillmote developers
#include "server/SettingsFile.h"

#include "util/UniqueFd.h"

#include <QDir>

#include <QFileInfo>
#include <algorithm>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace quillmote::settings {

namespace {
bool ownedByOthers(const QByteArray& path)
{
    struct stat st
    {
    };
    return ::lstat(path.constData(), &st) == 0 && st.st_uid != ::geteuid();
}

// Narrows the mode of an existing path to `mode`.
Privacy narrow(const QByteArray& path, mode_t mode)
{
    struct stat st
    {
    };
    if (::lstat(path.constData(), &st) != 0 || S_ISLNK(st.st_mode) || (st.st_mode & 07777 & ~mode) == 0)
        return Privacy::Private;
    return ::chmod(path.constData(), mode) == 0 ? Privacy::Narrowed : Privacy::Failed;
}
} // namespace

bool isOwn(const QString& path)
{
    return !ownedByOthers(QFile::encodeName(QFileInfo(path).absolutePath())) &&
           !ownedByOthers(QFile::encodeName(path));
}

Privacy makePrivate(const QString& path)
{
    const QString folder = QFileInfo(path).absolutePath();
    const QByteArray folderBytes = QFile::encodeName(folder);
    const QByteArray fileBytes = QFile::encodeName(path);
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

} // namespace quillmote::settings
